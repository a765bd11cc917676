// The simulated unit's status replies as they go over the line: the echo first, every line
// ended by CR, the reply by LF, and every key the terminal reads present in each profile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_status.h"
#include "tests/support/test_bench.h"

namespace {

// The raw reply to a command, as the port collects it (uncounted, no cleaning).
std::string RawReply(UnitOnBench& b, const char* command, int seconds = 10) {
  char buf[1000];
  TextSpan t(buf);
  t.Assign(command);
  EXPECT_TRUE(b.bench.port.SendLine(t, seconds, true)) << command;
  return buf;
}

void ExpectFramed(const std::string& raw, const std::string& echo) {
  if (!echo.empty()) {
    EXPECT_EQ(raw.rfind(echo + "\r", 0), 0u) << raw;
  }
  ASSERT_GE(raw.size(), 2u);
  EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
  EXPECT_EQ(raw.find('\n'), raw.size() - 1);
}

const SimProfile kProfiles[] = {SimProfile::WidebandWithDaughterCard, SimProfile::ToneOnly, SimProfile::Ehf,
                                SimProfile::OldFirmware};

TEST(SimStatusReplies, FramedAsTheUnitSendsThem) {
  UnitOnBench b;
  for (SimProfile p : kProfiles) {
    ApplyStatusProfile(b.sim(), p);
    ExpectFramed(RawReply(b, "#HWST"), "#HWST");
    ExpectFramed(RawReply(b, "#TPST"), "#TPST");
    ExpectFramed(RawReply(b, "#FVFV"), "#FVFV");
    ExpectFramed(RawReply(b, "#INFO"), "#INFO");
    ExpectFramed(RawReply(b, "#RDSE", 40), "#RDSE");
  }
  // The serial-status record is sent bare; firmware that does not know it only echoes it.
  ApplyStatusProfile(b.sim(), SimProfile::WidebandWithDaughterCard);
  const std::string record = RawReply(b, "#STTX");
  ExpectFramed(record, "");
  EXPECT_EQ(record, SerialStatusRecord(b.sim().state) + "\r\n");
  ApplyStatusProfile(b.sim(), SimProfile::OldFirmware);
  EXPECT_EQ(RawReply(b, "#STTX"), "#STTX\r\n");
}

TEST(SimStatusReplies, EveryProfileCarriesEveryKeyTheTerminalReads) {
  UnitOnBench b;
  for (SimProfile p : kProfiles) {
    ApplyStatusProfile(b.sim(), p);
    const std::string hwst = RawReply(b, "#HWST");
    for (const char* key : {"TYPE,", "S/N,", "UNIT ID,", "ENDCAP S/N,", "BATTERY, ", "Batt,", "Tx,", "DAS,"})
      EXPECT_NE(hwst.find(key), std::string::npos) << key;
    // "S/N," must be the unit's own number, not the end cap's.
    EXPECT_LT(hwst.find("S/N,"), hwst.find("ENDCAP S/N,"));
    const std::string tpst = RawReply(b, "#TPST");
    for (const char* key : {"Function Level =", "AD = ", "HPR = ", "TS = ", "PS = ", "BC = ", "V= "})
      EXPECT_NE(tpst.find(key), std::string::npos) << key;
    if (!b.sim().state.typeLineHoldsBandAndTdr) {
      EXPECT_NE(tpst.find("FreqBand ="), std::string::npos);
      EXPECT_NE(tpst.find("Tdr Type ="), std::string::npos);
    }
    const std::string fvfv = RawReply(b, "#FVFV");
    for (const char* key : {"DAS,", "U4,", "U10,", "U5,", "U8,"}) EXPECT_NE(fvfv.find(key), std::string::npos) << key;
    EXPECT_TRUE(fvfv.find("Main") != std::string::npos || fvfv.find("Max") != std::string::npos);
    EXPECT_TRUE(fvfv.find("Dcard,") != std::string::npos || fvfv.find("DCard,") != std::string::npos);
    EXPECT_NE(RawReply(b, "#INFO").find("IIFReplyCh ="), std::string::npos);
    if (b.sim().state.knowsSerialStatus) {
      const std::string sttx = RawReply(b, "#STTX");
      for (const char* key : {"RT", ",TT", "BR", "RF", "EW", "DC", "STX", "DR", "DI", "MD", "UP", "CW", "CR", "IC",
                              "XS", "CDT", "CLG", "FE", "CDP"})
        EXPECT_NE(sttx.find(key), std::string::npos) << key;
    }
    if (b.sim().state.pressureSensor) {
      const std::string rdse = RawReply(b, "#RDSE", 40);
      for (const char* key : {"Offset   = ", "Range    = ", "Accuracy = +/"})
        EXPECT_NE(rdse.find(key), std::string::npos) << key;
    }
  }
}

}  // namespace
