// Reading the whole status from the simulated unit end to end in virtual time: the five
// commands, every field they fill, the reply text, the failure mask and messages, a unit at
// its bootloader, a dead unit, broken replies, the time stamp and the save to the
// current-status file, and the sensor read.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/sim_status.h"
#include "status/reply_parsers.h"
#include "status/status_report.h"
#include "tests/support/test_bench.h"

namespace {

const DateTime kReadTime = DateTime::FromCivil({2026, 3, 6, 10, 30, 0});

struct StatusBench : UnitOnBench {
  StatusBench() {
    unit->utcNow = [] { return kReadTime; };
    bench.port.failuresLeft = 3;  // as the comms check before every action leaves it
  }
  bool Read(bool box = false) { return unit->GetStatus("", TextSpan(unit->status.replyText), box); }
  const UnitStatus& st() { return unit->status.currentStatus; }
  std::string reply() { return unit->status.replyText; }
};

TEST(GetStatus, WidebandUnitWithDaughterCard) {
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
  EXPECT_EQ(s.DataFormat, 2);
  EXPECT_EQ(s.TypeNo, "7815");
  EXPECT_EQ(s.Band, "MF");
  EXPECT_EQ(s.TdrType, "30deg");
  EXPECT_EQ(s.SerialNo, "002345-007");
  EXPECT_EQ(s.UnitId, 0x1A2B3C);
  EXPECT_EQ(s.EndcapSerial, "EC-10442");
  EXPECT_EQ(s.Type, "Lithium");
  EXPECT_EQ(s.BattId, "B-55671");
  EXPECT_EQ(s.BattDraw, "7815-410");
  EXPECT_EQ(s.BattIss, "C");
  EXPECT_EQ(s.Batt2Id, "B-55672");
  EXPECT_EQ(s.Batt3Id, "");
  EXPECT_EQ(s.DcardId, "DC-2231");
  EXPECT_EQ(s.DcardDraw, "7815-520");
  EXPECT_EQ(s.DcardIss, "B");
  EXPECT_EQ(s.TxId, "TX-9921");
  EXPECT_EQ(s.TxIss, "D");
  EXPECT_EQ(s.DasId, "DAS-7731");
  EXPECT_EQ(s.Fitted, 0x0104u);
  EXPECT_EQ(s.FunctionLevel, 0x2C);
  EXPECT_EQ(s.Address, 12);
  EXPECT_EQ(s.Channel, 7);
  EXPECT_EQ(s.HPRms, 3);
  EXPECT_EQ(s.HPRls, 4);
  EXPECT_EQ(s.CIFReplyCHannel, 99);
  EXPECT_EQ(s.AltCIFChannel, 14);
  EXPECT_FLOAT_EQ(s.Tat, 12.5f);
  EXPECT_EQ(s.Warning, 0);
  EXPECT_EQ(s.Override, 0);
  EXPECT_EQ(s.CWTIndex, 3);
  EXPECT_EQ(s.CWRIndex, 2);
  EXPECT_EQ(s.CWCIndex, 1);
  EXPECT_EQ(s.BlockIndex, 4);
  EXPECT_EQ(s.Enabled, "WDD");
  EXPECT_EQ(s.CPU, 3);
  EXPECT_EQ(s.CPL, 3);
  EXPECT_EQ(s.CPA, 3);
  EXPECT_EQ(s.RxGain, 4);
  EXPECT_EQ(s.Count, 57);
  EXPECT_FLOAT_EQ(s.Voltage, 14.62f);
  EXPECT_EQ(s.T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(s.Das, "V1.07");
  EXPECT_EQ(s.U4, "V2.01");
  EXPECT_EQ(s.U10, "V1.10");
  EXPECT_EQ(s.U5, "V1.03");
  EXPECT_EQ(s.U8, "V1.00");
  EXPECT_EQ(s.Dcard, "V4.20");
  EXPECT_EQ(b.unit->status.unitModel, 0);
  EXPECT_EQ(s.IIFChannel, 15);
  EXPECT_EQ(s.String2.view().substr(0, 29), "#INFO\\\\\\/Unit information\\\\\\/");
  EXPECT_EQ(s.String1.view(), SerialStatusRecord(b.sim().state));
  EXPECT_EQ(s.RangingType, 1);
  EXPECT_EQ(s.BaudRate, 4);
  EXPECT_EQ(s.WideBandEnabled, 1);
  EXPECT_EQ(s.DaughterCardFitted, 1);
  EXPECT_EQ(s.BatteryStacks, 2);
  EXPECT_EQ(s.ChirpDuration, 2);
  EXPECT_EQ(s.DetectThreshold, 120);
  EXPECT_EQ(s.LinearGain, 240);
  EXPECT_EQ(s.CPD, 2);
  EXPECT_EQ(s.CommandWaitDelay, 20);

  EXPECT_EQ(StatusReportText(s),
            "Type 7815   MF 30deg  Wideband\r\n"
            "Unit ID 1A2B3C(hex)  Serial No 002345-007\r\n"
            "Address 1207   HPR 34\r\n"
            "Batt 14.6V 28% used\r\n"
            "   Lithium 2 stacks  Count 57\r\n"
            "Firmware V3.12.4 12/03/2021\r\n"
            "Interrogate CIS14  Reply IRS\r\n"
            "TAT 12.50 ms  Rx gain 4\r\n"
            "CPA 3\r\n"
            "CWT 3  CWR 2  CWC 1  Block 4\r\n"
            "Function level 2c\r\n"
            "Daughter card 7815-520 B fitted\r\n"
            "Firmware V4.20\r\n"
            "Detect threshold 12.0\r\n"
            "Linear gain linked to CG\r\n"
            "Endcap serial number EC-10442\r\n"
            "Das firmware V1.07\r\n"
            " DQZ REL\r\n");
}

TEST(GetStatus, ReplyTextHoldsTheRepliesWithTheirEchoesButNotTheInformation) {
  StatusBench b;
  ASSERT_TRUE(b.Read());
  const std::string r = b.reply();
  EXPECT_EQ(r.rfind("#HWST\r\nVelmoor hardware status\r\nTYPE, 7815, MF, 30deg\r\n", 0), 0u);
  EXPECT_NE(r.find("Resets, 3\r\n#TPST\r\nTransponder status\r\n"), std::string::npos);
  EXPECT_NE(r.find("Temp = 21.4 C\r\n#FVFV\r\n"), std::string::npos);
  // The serial-status record follows the firmware versions on a line of its own.
  EXPECT_NE(r.find("Dcard, V4.20\r\n" + SerialStatusRecord(b.sim().state)), std::string::npos);
  EXPECT_EQ(r.find("#INFO"), std::string::npos);
  EXPECT_EQ(r.find("IIFReplyCh"), std::string::npos);

  // A heading comes first, on its own line.
  ASSERT_TRUE(b.unit->GetStatus("Before update", TextSpan(b.unit->status.replyText), false));
  EXPECT_EQ(b.reply().rfind("Before update\r\n#HWST\r\n", 0), 0u);
}

TEST(GetStatus, ToneOnlyUnit) {
  StatusBench b;
  ApplyStatusProfile(b.sim(), SimProfile::ToneOnly);
  ASSERT_TRUE(b.Read());
  const UnitStatus& s = b.st();
  EXPECT_EQ(s.UnitId, 0x2B7E05);
  EXPECT_EQ(s.Address, 3);
  EXPECT_EQ(s.Channel, 12);
  EXPECT_EQ(s.DcardId, "");
  EXPECT_EQ(s.DcardDraw, "");
  EXPECT_EQ(s.Dcard, "");
  EXPECT_EQ(s.Batt2Id, "");
  EXPECT_EQ(s.WideBandEnabled, 0);
  EXPECT_EQ(s.DaughterCardFitted, 0);
  EXPECT_EQ(s.CIFReplyCHannel, 12);
  EXPECT_EQ(s.CPU, 2);
  EXPECT_EQ(s.CPA, -1);
  EXPECT_EQ(IdentityText(s).substr(0, 22), "Type 7805   MF Omni\r\nU");
  EXPECT_NE(IdentityText(s).find("Batt 9.3V 20% used\r\n   Alkaline 1 stacks  Count 30\r\n"), std::string::npos);
  EXPECT_EQ(InterrogateText(s), "Interrogate 14  Reply 12\r\n");
  EXPECT_NE(TimingPowerText(s).find("CPU 2  CPJ 3  CPT 3  CPS 3  CPL 3\r\n"), std::string::npos);
  EXPECT_EQ(DaughterCardText(s), "");
}

TEST(GetStatus, EhfUnitWithESeriesNumberAndThreePacks) {
  StatusBench b;
  ApplyStatusProfile(b.sim(), SimProfile::Ehf);
  ASSERT_TRUE(b.Read());
  const UnitStatus& s = b.st();
  EXPECT_EQ(s.SerialNo, "E00123-045");
  EXPECT_EQ(s.Band, "EHF");
  EXPECT_EQ(s.Batt3Id, "B-71003");
  EXPECT_EQ(s.Batt3Draw, "7830-410");
  EXPECT_EQ(s.Batt3Iss, "A");
  EXPECT_EQ(s.Enabled, "DDE");
  EXPECT_EQ(s.Warning, 1);
  EXPECT_EQ(s.BlockIndex, 2);
  EXPECT_EQ(s.ExternalSync, 1);
  EXPECT_EQ(s.Fitted, 0x0045u);
  EXPECT_EQ(InterrogateText(s), "Interrogate HPR B51\r\n");
  EXPECT_NE(IdentityText(s).find("Address 503   HPR 51\r\nBatt 21.8V 80% used Warn\r\n"), std::string::npos);
  EXPECT_NE(TimingPowerText(s).find("Responder enabled\r\n"), std::string::npos);
  EXPECT_NE(VersionsSensorsText(s).find(" PRT DQZ XINCL\r\n"), std::string::npos);
}

TEST(GetStatus, OldFirmware) {
  StatusBench b;
  ApplyStatusProfile(b.sim(), SimProfile::OldFirmware);
  ASSERT_TRUE(b.Read());
  const UnitStatus& s = b.st();
  EXPECT_EQ(s.DataFormat, 1);
  EXPECT_EQ(s.TypeNo, "7805");
  EXPECT_EQ(s.Band, "MF");  // from "#TPST" for the one-value type line
  EXPECT_EQ(s.TdrType, "Omni");
  EXPECT_EQ(s.T7V, "V2.05 03/11/2009");
  EXPECT_EQ(b.unit->status.unitModel, 0);
  EXPECT_EQ(s.Dcard, "");
  EXPECT_EQ(s.Enabled, "ED");
  EXPECT_EQ(s.Override, 1);
  EXPECT_EQ(s.BlockIndex, s.CWCIndex);
  EXPECT_EQ(s.CIFReplyCHannel, 15);
  EXPECT_EQ(s.AltCIFChannel, 16);
  // "#STTX" only echoed: the text is kept, the serial-status fields stay fresh.
  EXPECT_EQ(s.String1, "#STTX");
  EXPECT_EQ(s.RangingType, -1);
  EXPECT_EQ(s.WideBandEnabled, -1);
  EXPECT_EQ(s.CPD, -1);
  EXPECT_EQ(s.BatteryStacks, -1);
  EXPECT_EQ(InterrogateText(s), "");
  EXPECT_NE(b.reply().find("DCard, not fitted\r\n#STTX"), std::string::npos);
}

TEST(GetStatus, SettingsChangedInTheUnitShowInTheNextRead) {
  StatusBench b;
  ASSERT_TRUE(b.Read());
  b.sim().state.address = 3;
  b.sim().state.channel = 12;
  b.sim().state.enabled = "DWD";
  b.sim().state.powerL = 5;
  b.sim().state.batteryWarning = true;
  ASSERT_TRUE(b.Read());
  EXPECT_EQ(b.st().Address, 3);
  EXPECT_EQ(b.st().Channel, 12);
  EXPECT_EQ(b.st().CPL, 5);
  EXPECT_EQ(b.st().CPA, -1);
  EXPECT_EQ(b.st().Warning, 1);
  EXPECT_EQ(InterrogateText(b.st()), "Interrogate IIS  Reply CRS03\r\n");
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
  // A time-out runs until more than its whole seconds have passed.
  EXPECT_LE(took, 3 * (9000u + 700u) + 9 * 600u);
  EXPECT_EQ(b.unit->status.partialMask, 31);
  EXPECT_EQ(b.unit->status.statusMessage, "Comms fault! Check connections");
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_EQ(b.op.boxes[0].text, "Comms fault! Check connections");
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Exclamation);
  EXPECT_EQ(b.op.boxes[0].buttons, MbButtons::Ok);
  EXPECT_EQ(b.op.boxes[0].caption, kDefaultCaption);
  EXPECT_EQ(b.st().UnitId, -1);
  EXPECT_EQ(b.unit->status.currentChecks.LastStatusTime, kReadTime);
  // No identity: nothing is written to the current-status file.
  EXPECT_FALSE(std::filesystem::exists(b.unit->paths.CurrentStatusFile()));
  // No text from the unit reaches the reply pane.
  EXPECT_EQ(b.reply().find("TYPE"), std::string::npos);
  EXPECT_EQ(b.reply().find("Velmoor"), std::string::npos);
}

TEST(GetStatus, MessageOnlyWhenAsked) {
  StatusBench b;
  b.sim().faults.silent = true;
  EXPECT_FALSE(b.Read(false));
  EXPECT_EQ(b.unit->status.statusMessage, "Comms fault! Check connections");
  EXPECT_TRUE(b.op.boxes.empty());
}

TEST(GetStatus, PartialReadNamesTheFailedRepliesAndIsSaved) {
  StatusBench b;
  b.bench.port.failuresLeft = 20;
  auto silent = [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.silent = true;
    return r;
  };
  b.sim().Handle("TPST", silent);
  b.sim().Handle("INFO", silent);
  b.unit->ShowBusy();
  EXPECT_FALSE(b.Read(true));
  EXPECT_EQ(b.unit->status.partialMask, 2 + 16);
  EXPECT_EQ(b.unit->status.statusMessage, "Only partial status recovered 12");
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_FALSE(b.op.busyVisible);  // the busy window steps aside for the message
  // "#INFO" is sent once more when its exchange got nothing: four sends in all.
  EXPECT_EQ(Count(b.wire(), "#INFO\r\n"), 4u);
  EXPECT_EQ(Count(b.wire(), "#TPST\r\n"), 2u);
  // What did arrive is kept; what failed keeps its fresh value.
  EXPECT_EQ(b.st().UnitId, 0x1A2B3C);
  EXPECT_EQ(b.st().T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(b.st().Address, -1);
  EXPECT_EQ(b.st().IIFChannel, -1);
  EXPECT_EQ(b.st().RangingType, 1);
  // The partial status is saved with its time stamp.
  CTransponder other(b.bench.port, b.op, DataPaths{b.root});
  ASSERT_TRUE(other.LoadCurrentEntry(0x1A2B3C));
  EXPECT_EQ(other.records.storedChecks.LastStatusTime, kReadTime);
  EXPECT_EQ(other.records.storedStatus.T7V, "V3.12.4 12/03/2021");
  EXPECT_EQ(other.records.storedStatus.Address, -1);
}

TEST(GetStatus, UnitStuckAtItsBootloader) {
  StatusBench b;
  b.sim().faults.stuckInBootloader = true;
  ASSERT_TRUE(b.bench.port.SendBreak());
  EXPECT_FALSE(b.Read(true));
  EXPECT_TRUE(b.unit->serial.inBootMode);
  EXPECT_EQ(b.unit->status.partialMask, 31);
  const std::string message =
      "Comms fault! Check connections\r\nUnit is in boot mode, use 'Reset (comms break)' function";
  EXPECT_EQ(b.unit->status.statusMessage, message);
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_EQ(b.op.boxes[0].text, message);
  // Every reader saw the prompt and asked the bootloader once more.
  EXPECT_EQ(Count(b.wire(), "Q\r\n"), 5u);

  // The next read clears the flag again when the unit is back.
  b.sim().faults.stuckInBootloader = false;
  b.sim().StartApplication(b.clock.NowUs());
  b.clock.AdvanceMs(5000);
  EXPECT_TRUE(b.Read());
  EXPECT_FALSE(b.unit->serial.inBootMode);
  EXPECT_EQ(b.unit->status.statusMessage, "");
}

TEST(GetStatus, UnitFallingIntoItsBootloaderHalfWay) {
  StatusBench b;
  b.sim().faults.stuckInBootloader = true;
  b.sim().Handle("TPST", [](SimUnit& u, const std::string&, const std::string&) {
    u.EnterBootloader(u.nowUs());
    SimUnit::Reply r;
    r.raw = "Boot>\r\n";
    return r;
  });
  EXPECT_FALSE(b.Read());
  EXPECT_EQ(b.unit->status.partialMask, 2 + 4 + 8 + 16);
  EXPECT_EQ(b.unit->status.statusMessage,
            "Only partial status recovered 1e\r\nUnit is in boot mode, use 'Reset (comms break)' function");
  EXPECT_EQ(b.st().UnitId, 0x1A2B3C);
}

TEST(GetStatus, RepliesWithoutTheirLfFailButKeepTheirText) {
  StatusBench b;
  b.bench.port.failuresLeft = 20;
  b.sim().faults.noLf = true;
  EXPECT_FALSE(b.Read());
  EXPECT_EQ(b.unit->status.partialMask, 31);
  EXPECT_EQ(b.st().TypeNo, "");
  EXPECT_EQ(b.st().String1, "");
  // The text that did come is shown.
  EXPECT_EQ(b.reply().rfind("#HWST\r\nVelmoor hardware status\r\n", 0), 0u);
}

TEST(GetStatus, GarbageRepliesGiveAClearResult) {
  StatusBench b;
  b.sim().faults.garbage = true;
  EXPECT_FALSE(b.Read());
  // Noise ends with an LF, so each reply is complete; only "#HWST" can tell it is not its reply.
  EXPECT_EQ(b.unit->status.partialMask, 1);
  EXPECT_EQ(b.unit->status.statusMessage, "Only partial status recovered 01");
  EXPECT_EQ(b.st().UnitId, -1);
  EXPECT_EQ(b.st().Address, 0);
  EXPECT_EQ(b.st().T7V, "");
  EXPECT_LT(b.reply().size(), CTransponder::kReplyTextSize);
}

TEST(GetStatus, RepliesLackingKeysOrCarryingOverlongValues) {
  StatusBench b;
  const std::string longText(1500, 'X');
  b.sim().Handle("HWST", [&](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    // What does not fit the exchange's buffer is dropped: the identity must come first.
    r.lines = {"UNIT ID, 42", "TYPE, " + longText, "S/N, 1234-5"};
    return r;
  });
  b.sim().Handle("FVFV", [](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = {"Firmware versions"};
    return r;
  });
  b.sim().Handle("TPST", [&](SimUnit&, const std::string&, const std::string&) {
    SimUnit::Reply r;
    r.lines = {"AD = 312", "Notes " + longText, "Notes " + longText};
    return r;
  });
  ASSERT_TRUE(b.Read());
  EXPECT_EQ(b.st().TypeNo.view(), std::string(39, 'X'));
  EXPECT_EQ(b.st().DataFormat, 1);
  EXPECT_EQ(b.st().UnitId, 0x42);
  EXPECT_EQ(b.st().SerialNo, "000000-000");
  EXPECT_EQ(b.st().Address, 3);
  EXPECT_EQ(b.st().T7V, "");
  EXPECT_EQ(b.st().Das, " ");
  EXPECT_EQ(b.st().Dcard, "");
  EXPECT_LE(b.reply().size(), CTransponder::kReplyTextSize - 1);
}

TEST(GetStatus, ChecksComeFromTheFileAndNeverFromAnotherUnit) {
  StatusBench b;
  ASSERT_TRUE(b.Read());
  b.unit->status.currentChecks.HardwareResult = 5;
  b.unit->status.currentChecks.HardwareTime = kReadTime;
  b.unit->SaveCurrentEntry();

  // Another unit, not yet in the file: it starts with no checks of its own.
  ApplyStatusProfile(b.sim(), SimProfile::ToneOnly);
  ASSERT_TRUE(b.Read());
  EXPECT_EQ(b.unit->status.currentChecks.HardwareResult, -1);
  EXPECT_EQ(b.unit->status.currentChecks.HardwareTime, DateTime::Zero());
  EXPECT_EQ(b.unit->status.currentChecks.LastStatusTime, kReadTime);

  // The first unit again: its checks come back from the file.
  ApplyStatusProfile(b.sim(), SimProfile::WidebandWithDaughterCard);
  ASSERT_TRUE(b.Read());
  EXPECT_EQ(b.unit->status.currentChecks.HardwareResult, 5);
  EXPECT_EQ(b.unit->status.currentChecks.HardwareTime, kReadTime);
}

TEST(ReadSensors, PressureSensorValues) {
  StatusBench b;
  b.unit->ShowBusy();
  ASSERT_TRUE(b.unit->ReadSensors());
  EXPECT_EQ(b.op.busyCaptions.back(), "Reading sensors");
  EXPECT_EQ(b.reply().rfind("#RDSE\r\nPressure sensor\r\nOffset   = 0.125\r\n", 0), 0u);
  EXPECT_EQ(b.st().DepthOffset, static_cast<float>(0.125 * kSensorFactor1 * kSensorFactor2));
  EXPECT_EQ(b.st().PressureFullScale, static_cast<float>(500.0 * kSensorFactor1 * kSensorFactor2));
  EXPECT_EQ(b.st().PressureAccuracy, static_cast<float>(0.05 * kSensorFactor1 * kSensorFactor2));
  // Only the three sensor fields change.
  EXPECT_EQ(b.st().UnitId, -1);

  ApplyStatusProfile(b.sim(), SimProfile::Ehf);
  ASSERT_TRUE(b.unit->ReadSensors());
  EXPECT_EQ(b.st().DepthOffset, static_cast<float>(-0.21 * kSensorFactor1 * kSensorFactor2));
}

TEST(ReadSensors, NoSensorSilentUnitOrBootloader) {
  StatusBench b;
  ApplyStatusProfile(b.sim(), SimProfile::ToneOnly);
  EXPECT_TRUE(b.unit->ReadSensors());
  EXPECT_EQ(b.st().DepthOffset, -9999.0f);

  b.sim().faults.silent = true;
  const uint64_t start = b.nowMs();
  EXPECT_FALSE(b.unit->ReadSensors());
  EXPECT_GE(b.nowMs() - start, 2 * 40000u);

  b.sim().faults.silent = false;
  b.sim().faults.stuckInBootloader = true;
  b.bench.port.failuresLeft = 3;
  ASSERT_TRUE(b.bench.port.SendBreak());
  EXPECT_FALSE(b.unit->ReadSensors());
  EXPECT_TRUE(b.unit->serial.inBootMode);
}

}  // namespace
