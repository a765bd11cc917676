// Reading the whole status from the simulated unit in virtual time: the five commands and
// their captions, the reply text, the failure mask and messages, a unit at its bootloader, a
// dead unit, broken replies, the save to the current-status file, and the sensor read. What
// each reply's fields hold is pinned by the parser tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/sim_status.h"
#include "status/reply_parsers.h"
#include "tests/support/test_bench.h"

namespace {

const DateTime kReadTime = At(2026, 3, 6, 10, 30, 0);
const std::string kBootMessage = "Unit is in boot mode, use 'Reset (comms break)' function";

struct StatusBench : UnitOnBench {
  StatusBench() {
    unit->utcNow = [] { return kReadTime; };
    bench.port.failuresLeft = 3;  // as the comms check before every action leaves it
  }
  bool Read(bool box = false) { return unit->GetStatus("", TextSpan(unit->status.replyText), box); }
  const UnitStatus& st() { return unit->status.currentStatus; }
  std::string reply() { return unit->status.replyText; }
};

TEST(GetStatus, FiveReadersInOrderEachFillingItsFields) {
  StatusBench b;
  b.unit->ShowBusy();
  ASSERT_TRUE(b.Read(true));
  EXPECT_EQ(b.unit->status.partialMask, 0);
  EXPECT_EQ(b.unit->status.statusMessage, "");
  EXPECT_TRUE(b.op.boxes.empty());
  EXPECT_EQ(b.wire(), "#HWST\r\n#TPST\r\n#FVFV\r\n#INFO\r\n#STTX\r\n");
  EXPECT_EQ(b.op.busyCaptions,
            (std::vector<std::string>{"Getting status", "Getting hardware status", "Getting transponder status",
                                      "Getting firmware version", "Getting unit information", "Getting serial status",
                                      "Getting current status"}));
  const UnitStatus& s = b.st();
  EXPECT_EQ(s.UnitId, 0x1A2B3C);
  EXPECT_EQ(s.Address * 100 + s.Channel, 1207);
  EXPECT_EQ(s.T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(s.IIFChannel, 15);
  EXPECT_EQ(s.String1.view(), SerialStatusRecord(b.sim().state));
  EXPECT_EQ(b.unit->status.currentChecks.LastStatusTime, kReadTime);

  // The reply text holds the replies with their echoes, the information reply left out, and
  // the serial-status record on a line of its own after the firmware versions.
  const std::string r = b.reply();
  EXPECT_EQ(r.rfind("#HWST\r\nVelmoor hardware status\r\nTYPE, 7815, MF, 30deg\r\n", 0), 0u);
  EXPECT_NE(r.find("Dcard, V4.20\r\n" + SerialStatusRecord(b.sim().state)), std::string::npos);
  EXPECT_EQ(r.find("IIFReplyCh"), std::string::npos);
  ASSERT_TRUE(b.unit->GetStatus("Before update", TextSpan(b.unit->status.replyText), false));
  EXPECT_EQ(b.reply().rfind("Before update\r\n#HWST\r\n", 0), 0u);
}

TEST(GetStatus, DeadUnitCostsAtMostThreeTimeOuts) {
  StatusBench b;
  b.sim().faults.silent = true;
  const uint64_t start = b.nowMs();
  EXPECT_FALSE(b.Read(true));
  const uint64_t took = b.nowMs() - start;
  // Three counted exchanges wait their 8 s; the nine attempts after them are refused at once,
  // each after its 500 ms pause.
  EXPECT_EQ(b.wire(), "#HWST\r\n#HWST\r\n#TPST\r\n");
  EXPECT_GE(took, 3 * 8000u + 12 * 500u);
  EXPECT_LE(took, 3 * (9000u + 700u) + 9 * 600u);
  EXPECT_EQ(b.unit->status.partialMask, 31);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Comms fault! Check connections"});
  EXPECT_EQ(b.reply().find("TYPE"), std::string::npos) << "no text from the unit reaches the pane";
  EXPECT_FALSE(std::filesystem::exists(b.unit->paths.CurrentStatusFile())) << "no identity, nothing saved";
  // Without the box asked for, the message is only kept.
  b.bench.port.failuresLeft = 3;
  EXPECT_FALSE(b.Read(false));
  EXPECT_EQ(b.unit->status.statusMessage, "Comms fault! Check connections");
  EXPECT_EQ(b.op.boxes.size(), 1u);
}

TEST(GetStatus, PartialReadNamesTheFailedRepliesAndIsSaved) {
  StatusBench b;
  b.bench.port.failuresLeft = 20;
  Silence(b.sim(), "TPST");
  Silence(b.sim(), "INFO");
  b.unit->ShowBusy();
  EXPECT_FALSE(b.Read(true));
  EXPECT_EQ(b.unit->status.partialMask, 2 + 16);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Only partial status recovered 12"});
  // "#INFO" is sent once more when its exchange got nothing: four sends in all.
  EXPECT_EQ(Count(b.wire(), "#INFO\r\n"), 4u);
  EXPECT_EQ(Count(b.wire(), "#TPST\r\n"), 2u);
  // What did arrive is kept and saved with the time; what failed keeps its fresh value.
  CTransponder other(b.bench.port, b.op, DataPaths{b.root});
  ASSERT_TRUE(other.LoadCurrentEntry(0x1A2B3C));
  EXPECT_EQ(other.records.storedChecks.LastStatusTime, kReadTime);
  EXPECT_EQ(other.records.storedStatus.T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(other.records.storedStatus.Address, -1);
}

TEST(GetStatus, UnitAtItsBootloader) {
  StatusBench b;
  b.sim().faults.stuckInBootloader = true;
  ASSERT_TRUE(b.bench.port.SendBreak());
  EXPECT_FALSE(b.Read(true));
  EXPECT_TRUE(b.unit->serial.inBootMode);
  EXPECT_EQ(b.unit->status.partialMask, 31);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Comms fault! Check connections\r\n" + kBootMessage});
  EXPECT_EQ(Count(b.wire(), "Q\r\n"), 5u) << "every reader saw the prompt and asked the bootloader once more";

  // The next read clears the flag again when the unit is back.
  b.sim().faults.stuckInBootloader = false;
  b.sim().StartApplication(b.clock.NowUs());
  b.clock.AdvanceMs(5000);
  EXPECT_TRUE(b.Read());
  EXPECT_FALSE(b.unit->serial.inBootMode);

  // Falling into it half-way: the readers after it fail.
  b.sim().faults.stuckInBootloader = true;
  b.sim().Handle("TPST", [](SimUnit& u, const std::string&, const std::string&) {
    u.EnterBootloader(u.nowUs());
    SimUnit::Reply r;
    r.raw = "Boot>\r\n";
    return r;
  });
  EXPECT_FALSE(b.Read());
  EXPECT_EQ(b.unit->status.statusMessage, "Only partial status recovered 1e\r\n" + kBootMessage);
}

TEST(ReadSensors, PressureSensorValuesOrNone) {
  StatusBench b;
  b.unit->ShowBusy();
  ASSERT_TRUE(b.unit->ReadSensors());
  EXPECT_EQ(b.op.busyCaptions.back(), "Reading sensors");
  EXPECT_EQ(b.reply().rfind("#RDSE\r\nPressure sensor\r\nOffset   = 0.125\r\n", 0), 0u);
  EXPECT_EQ(b.st().DepthOffset, static_cast<float>(0.125 * kSensorFactor1 * kSensorFactor2));
  EXPECT_EQ(b.st().UnitId, -1) << "only the sensor fields change";

  ApplyStatusProfile(b.sim(), SimProfile::ToneOnly);  // no sensor: nothing read
  b.unit->status.currentStatus = UnitStatus{};
  EXPECT_TRUE(b.unit->ReadSensors());
  EXPECT_EQ(b.st().DepthOffset, -9999.0f);
  b.sim().faults.silent = true;
  EXPECT_FALSE(b.unit->ReadSensors());
}

}  // namespace
