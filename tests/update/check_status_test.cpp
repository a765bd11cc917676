// Verification: which fields are compared, in which order, and the exact lines.
#include <gtest/gtest.h>

#include "serial/diagnostic_trace.h"
#include "tests/support/test_bench.h"

namespace {

// A status as a wideband unit reports it after a quick set.
UnitStatus Typical() {
  UnitStatus s;
  s.UnitId = 0x1A2B3C;
  s.Band = "MF";
  s.Address = 15, s.Channel = 5, s.HPRms = 0, s.HPRls = 0;
  s.Enabled = "WDD";
  s.RxGain = 4;
  s.CPU = s.CPT = s.CPS = s.CPL = s.CPA = 1;
  s.CPJ = 3;
  s.CWTIndex = 2, s.CWRIndex = 3, s.CWCIndex = 4;
  s.AltCIFChannel = 6, s.CIFReplyCHannel = 15, s.Tat = 500.0f;
  s.FEEnabled = 0, s.IIFChannel = 3, s.ExternalSync = 0, s.CPD = 2;
  return s;
}

struct CheckStatusTest : ::testing::Test {
  UnitOnBench b;
  char report[1000] = {};
  bool Check(const UnitStatus& current, const UnitStatus& required) {
    b.unit->status.currentStatus = current;
    b.unit->status.requiredStatus = required;
    return b.unit->CheckStatus(TextSpan(report));
  }
};

TEST_F(CheckStatusTest, EveryDifferenceIsListedInOrderCurrentFirst) {
  UnitStatus cur = Typical();
  UnitStatus req = Typical();
  req.CPA = 0;  // the five powers one by one
  cur.Address = 5, cur.Channel = 4, req.Address = 5, req.Channel = 3;
  cur.HPRms = 0, cur.HPRls = 9, req.HPRms = 5, req.HPRls = 7;
  req.Enabled = "wDD";  // letter case counts
  req.RxGain = 3;
  req.CPU = 2, req.CPJ = 4, req.CPT = 2, req.CPS = 3, req.CPL = 2;
  req.CWTIndex = 5, req.CWRIndex = 6, req.CWCIndex = 7;
  req.AltCIFChannel = 16;
  req.CIFReplyCHannel = 8;
  req.Tat = 500.0001f;  // prints as 500.000 on both sides, yet differs
  req.FEEnabled = 1;
  req.IIFChannel = 9;
  req.ExternalSync = 1;
  req.CPD = 4;
  EXPECT_FALSE(Check(cur, req));
  EXPECT_STREQ(report,
               "Address is 504 not 503\r\n"
               "HPR is 09 not 57\r\n"
               "Enable status is WDD not wDD\r\n"
               "RXgain is 4 not 3\r\n"
               "CPU power is 1 not 2\r\n"
               "CPJ power is 3 not 4\r\n"
               "CPT power is 1 not 2\r\n"
               "CPS power is 1 not 3\r\n"
               "CPL power is 1 not 2\r\n"
               "CWT is 2 not 5\r\n"
               "CWR is 3 not 6\r\n"
               "CWC is 4 not 7\r\n"
               "AltCif/Cis is 6 not 16\r\n"
               "Cif/Cis reply is 15 not 8\r\n"
               "TAT is 500.000 not 500.000\r\n"
               "FE status is 0 not 1\r\n"
               "IIF/IIS is 3 not 9\r\n"
               "Ext synch status is 0 not 1\r\n"
               " is 2 not 4\r\n");
}

}  // namespace
