#include "update/update_codes.h"

#include <cmath>
#include <cstdio>

int ReplyChannelCode(int32_t channel) {
  if (channel <= 0) return 31;
  if (channel <= 8) return channel + 7;
  if (channel <= 15) return channel + 15;
  return 63;
}

int TatCode(float tat) {
  const double steps = (static_cast<double>(tat) + 31.25) * 0.016;
  int index = 1;
  if (std::isfinite(steps)) index = steps >= 14.0 ? 14 : (steps < 1.0 ? 1 : static_cast<int>(steps));
  if (index > 8) index += 8;
  return index + 7;
}

int IifCode(int32_t channel) { return channel < 8 ? channel : channel + 8; }

std::string DescribeChecks(const StatusChecks& c) {
  auto when = [](const DateTime& t) { return t.value > 0.0 ? t.ToText() : std::string("never"); };
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "UpdatedResult %d UpdatedTime %s LastStatusTime %s CI1Result %d CI1Time %s DepthOffsetValue %.3f "
                "DepthOffsetTime %s HardwareResult %d HardwareTime %s ReleaseResult %d ReleaseTime %s",
                c.UpdatedResult, when(c.UpdatedTime).c_str(), when(c.LastStatusTime).c_str(), c.CI1Result,
                when(c.CI1Time).c_str(), static_cast<double>(c.DepthOffsetValue), when(c.DepthOffsetTime).c_str(),
                c.HardwareResult, when(c.HardwareTime).c_str(), c.ReleaseResult, when(c.ReleaseTime).c_str());
  return buf;
}
