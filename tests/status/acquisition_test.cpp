// Reading the whole status from the simulated unit in virtual time: the five commands and
// their captions, the reply text, the failure mask and messages, a unit at its bootloader, a
// dead unit, broken replies, the save to the current-status file, and the sensor read. What
// each reply's fields hold is pinned by the parser tests.
#include <gtest/gtest.h>

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
  bool Read(bool box = false) { return unit->GetStatus("", TextSpan(replyText), box); }
  char replyText[CTransponder::kReplyTextSize] = {};
};

TEST(GetStatus, FiveReadersInOrderEachFillingItsFields) {
  StatusBench b;
  b.unit->ShowBusy();
  ASSERT_TRUE(b.Read(true));
  EXPECT_EQ(b.wire(), "#HWST\r\n#TPST\r\n#FVFV\r\n#INFO\r\n#STTX\r\n");
  EXPECT_EQ(b.op.busyCaptions,
            (std::vector<std::string>{"Getting status", "Getting hardware status", "Getting transponder status",
                                      "Getting firmware version", "Getting unit information", "Getting serial status",
                                      "Getting current status"}));
  const UnitStatus& s = b.unit->status.currentStatus;
  EXPECT_EQ(s.UnitId, 0x1A2B3C);
  EXPECT_EQ(s.Address * 100 + s.Channel, 1207);
  EXPECT_EQ(s.T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(s.IIFChannel, 15);
  EXPECT_EQ(s.String1.view(), SerialStatusRecord(b.sim().state));

  // The reply text holds the replies with their echoes, the information reply left out, and
  // the serial-status record on a line of its own after the firmware versions.
  const std::string r = b.replyText;
  EXPECT_EQ(r.rfind("#HWST\r\nVelmoor hardware status\r\nTYPE, 7815, MF, 30deg\r\n", 0), 0u);
  EXPECT_NE(r.find("Dcard, V4.20\r\n" + SerialStatusRecord(b.sim().state)), std::string::npos);
  EXPECT_EQ(r.find("IIFReplyCh"), std::string::npos);
}

TEST(GetStatus, DeadUnitCostsThreeCountedExchanges) {
  StatusBench b;
  b.sim().faults.silent = true;
  EXPECT_FALSE(b.Read(true));
  // Three counted exchanges wait their 8 s; the nine attempts after them are refused at once
  // (the port's tests pin the waits).
  EXPECT_EQ(b.wire(), "#HWST\r\n#HWST\r\n#TPST\r\n");
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Comms fault! Check connections"});
  EXPECT_FALSE(std::filesystem::exists(b.unit->paths.CurrentStatusFile())) << "no identity, nothing saved";
}

TEST(GetStatus, PartialReadNamesTheFailedRepliesAndIsSaved) {
  StatusBench b;
  b.bench.port.failuresLeft = 20;
  Silence(b.sim(), "TPST");
  Silence(b.sim(), "INFO");
  EXPECT_FALSE(b.Read(true));
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Only partial status recovered 12"}) << "the failure mask in hex";
  // "#INFO" is sent once more when its exchange got nothing: four sends in all.
  EXPECT_EQ(Count(b.wire(), "#INFO\r\n"), 4u);
  // What did arrive is kept and saved with the time (the fault tests show that what failed
  // keeps its fresh value).
  ASSERT_TRUE(b.unit->LoadCurrentEntry(0x1A2B3C));
  EXPECT_EQ(b.unit->records.storedChecks.LastStatusTime, kReadTime);
  EXPECT_EQ(b.unit->records.storedStatus.T7V, "V3.12.4 12/03/2021");
}

TEST(GetStatus, UnitAtItsBootloader) {
  StatusBench b;
  b.sim().faults.stuckInBootloader = true;
  ASSERT_TRUE(b.bench.port.SendBreak());
  EXPECT_FALSE(b.Read(true));
  EXPECT_TRUE(b.unit->serial.inBootMode);
  EXPECT_EQ(b.op.BoxTexts(), std::vector<std::string>{"Comms fault! Check connections\r\n" + kBootMessage});
  EXPECT_EQ(Count(b.wire(), "Q\r\n"), 5u) << "every reader saw the prompt and asked the bootloader once more";

  // The next read clears the flag again when the unit is back.
  b.sim().faults.stuckInBootloader = false;
  b.sim().StartApplication(b.clock.NowUs());
  b.clock.AdvanceMs(5000);
  EXPECT_TRUE(b.Read());
  EXPECT_FALSE(b.unit->serial.inBootMode);

  // Falling into it half-way: the readers after it fail. Without the box asked for, the
  // message is only kept.
  b.sim().faults.stuckInBootloader = true;
  b.sim().Handle("TPST", [](SimUnit& u, const std::string&, const std::string&) {
    u.EnterBootloader(u.nowUs());
    SimUnit::Reply r;
    r.raw = "Boot>\r\n";
    return r;
  });
  EXPECT_FALSE(b.Read());
  EXPECT_EQ(b.unit->status.statusMessage, "Only partial status recovered 1e\r\n" + kBootMessage);
  EXPECT_EQ(b.op.boxes.size(), 1u);
}

TEST(ReadSensors, PressureSensorValuesOrNone) {
  StatusBench b;
  b.unit->ShowBusy();
  ASSERT_TRUE(b.unit->ReadSensors(b.replyText));
  EXPECT_EQ(b.op.busyCaptions.back(), "Reading sensors");
  EXPECT_EQ(b.unit->status.currentStatus.DepthOffset, static_cast<float>(0.125 * kSensorFactor1 * kSensorFactor2));

  ApplyStatusProfile(b.sim(), SimProfile::ToneOnly);  // no sensor: nothing read
  b.unit->status.currentStatus = UnitStatus{};
  EXPECT_TRUE(b.unit->ReadSensors(b.replyText));
  EXPECT_EQ(b.unit->status.currentStatus.DepthOffset, -9999.0f);
  b.sim().faults.silent = true;
  EXPECT_FALSE(b.unit->ReadSensors(b.replyText));
}

}  // namespace
