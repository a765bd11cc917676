// The Windows serial backend on a real COM port: VT_TEST_COM names the port on which
// vt-pty-unit serves the simulated unit (scripts/test-windows.sh runs this under Wine with
// COM n linked to the pseudo-terminal). Without it the tests are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/clock.h"
#include "unit/transponder.h"
#include "sim/scripted_operator.h"
#include "tests/support/test_bench.h"
#include "win_serial_port.h"

namespace {
int TestPort() {
  const char* v = std::getenv("VT_TEST_COM");
  return v ? std::atoi(v) : 0;
}

struct UnitOnComPort : ::testing::Test {
  void SetUp() override {
    if (TestPort() <= 0) GTEST_SKIP() << "VT_TEST_COM is not set";
    port.portNumber = TestPort();
    unit = std::make_unique<CTransponder>(port, op, DataPaths{root});
  }
  void TearDown() override {
    unit.reset();
    port.Close();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  SteadyClock clock;
  WinSerialProvider provider;
  CCommPort port{clock, provider};
  ScriptedOperator op;
  std::filesystem::path root = FreshTempDir("winserial");
  std::unique_ptr<CTransponder> unit;
};
}  // namespace

TEST_F(UnitOnComPort, IsListedAndAnswersItsCommands) {
  bool listed = false;
  for (const auto& p : provider.ListPorts()) listed |= p.comNumber == TestPort();
  EXPECT_TRUE(listed);
  EXPECT_TRUE(unit->CheckComms(3));
  char reply[CTransponder::kExchangeBufferSize];
  EXPECT_TRUE(unit->Exchange("#DASP,0", reply, true));
  EXPECT_NE(std::string(reply).find("DASP OK"), std::string::npos) << reply;
}

// The break reaches the unit (its bootloader answers at 9600 bit/s), the load switches both
// ends to 38400 bit/s, and the unit comes back from its bootloader afterwards.
TEST_F(UnitOnComPort, BreakResetAndProgramLoad) {
  char message[200];
  ASSERT_TRUE(unit->BreakReset(message)) << message;
  const std::string file = std::string(VT_SOURCE_DIR) + "/tools/samples/sample-small.a07";
  ASSERT_EQ(unit->StartLoad(file.c_str()), 0);
  int r = 1;
  while (r > 0) r = unit->ContinueLoad(message, 0);
  EXPECT_EQ(r, 0) << message;
  EXPECT_TRUE(unit->FinishLoad());
  EXPECT_TRUE(unit->CheckComms(3));
}
