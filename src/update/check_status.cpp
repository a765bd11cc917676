// Verification after an update: compares the status just read from the unit with the required
// status, field by field in a fixed order, and lists every difference as
// "<name> is <current> not <required>".
#include <cstdarg>
#include <cstdio>

#include "serial/diagnostic_trace.h"
#include "status/status_report.h"
#include "update/status_updater.h"

namespace {

class Report {
 public:
  explicit Report(TextSpan text) : text_(text) { text_.Clear(); }

  void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char buf[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    text_.Append(buf);
    agrees_ = false;
  }
  void Compare(int32_t current, int32_t required, const char* format) {
    if (current != required) Line(format, current, required);
  }
  bool Agrees() const { return agrees_; }

 private:
  TextSpan text_;
  bool agrees_ = true;
};

}  // namespace

bool StatusUpdater::CheckStatus(TextSpan report) {
  Report r(report);
  Trace().Write("\r\nStart of check current status first");
  Trace().Dump(TraceLine(status.currentStatus));
  Trace().Dump(TraceLine(status.requiredStatus));

  const UnitStatus& cur = status.currentStatus;
  const UnitStatus& req = status.requiredStatus;
  // Worked in 64 bits: values from a status file may be of any size.
  const int64_t curAddress = int64_t{cur.Address} * 100 + cur.Channel;
  const int64_t reqAddress = int64_t{req.Address} * 100 + req.Channel;
  if (curAddress != reqAddress)
    r.Line("Address is %lld not %lld\r\n", static_cast<long long>(curAddress), static_cast<long long>(reqAddress));
  const int64_t curHpr = int64_t{cur.HPRms} * 10 + cur.HPRls;
  const int64_t reqHpr = int64_t{req.HPRms} * 10 + req.HPRls;
  if (curHpr != reqHpr)
    r.Line("HPR is %02lld not %02lld\r\n", static_cast<long long>(curHpr), static_cast<long long>(reqHpr));
  if (!(cur.Enabled == req.Enabled)) r.Line("Enable status is %s not %s\r\n", cur.Enabled.c_str(), req.Enabled.c_str());
  r.Compare(cur.RxGain, req.RxGain, "RXgain is %d not %d\r\n");
  // One power for all is compared through CPA alone; otherwise the five powers one by one.
  if (req.CPA > 0) {
    r.Compare(cur.CPA, req.CPA, "TX power is %d not %d\r\n");
  } else {
    r.Compare(cur.CPU, req.CPU, "CPU power is %d not %d\r\n");
    r.Compare(cur.CPJ, req.CPJ, "CPJ power is %d not %d\r\n");
    r.Compare(cur.CPT, req.CPT, "CPT power is %d not %d\r\n");
    r.Compare(cur.CPS, req.CPS, "CPS power is %d not %d\r\n");
    r.Compare(cur.CPL, req.CPL, "CPL power is %d not %d\r\n");
  }
  r.Compare(cur.CWTIndex, req.CWTIndex, "CWT is %d not %d\r\n");
  r.Compare(cur.CWRIndex, req.CWRIndex, "CWR is %d not %d\r\n");
  r.Compare(cur.CWCIndex, req.CWCIndex, "CWC is %d not %d\r\n");
  r.Compare(cur.AltCIFChannel, req.AltCIFChannel, "AltCif/Cis is %d not %d\r\n");
  // A unit that replies IRS (99) has no reply channel to compare.
  if (cur.CIFReplyCHannel != 99 && req.CIFReplyCHannel != 99)
    r.Compare(cur.CIFReplyCHannel, req.CIFReplyCHannel, "Cif/Cis reply is %d not %d\r\n");
  if (cur.Tat != req.Tat)
    r.Line("TAT is %.3f not %.3f\r\n", static_cast<double>(cur.Tat), static_cast<double>(req.Tat));
  r.Compare(cur.FEEnabled, req.FEEnabled, "FE status is %d not %d\r\n");
  r.Compare(cur.IIFChannel, req.IIFChannel, "IIF/IIS is %d not %d\r\n");
  r.Compare(cur.ExternalSync, req.ExternalSync, "Ext synch status is %d not %d\r\n");
  r.Compare(cur.CPD, req.CPD, " is %d not %d\r\n");
  return r.Agrees();
}
