// The status text report and its helpers.
#include "status/status_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text_numbers.h"

namespace {
// Format is printf for whole numbers and texts; reals go through Fixed so that the decimal
// point does not follow the locale.
using textnum::Fixed;
using textnum::Format;
}  // namespace

std::string ChannelName(int32_t wideband, int32_t channel) {
  const bool wb = wideband != 0;
  switch (channel) {
    case 15: return wb ? "CRS" : "CRF";
    case 16: return wb ? "CIS" : "CIF";
    case 99: return "IRS";
    default: return Format("%d", channel);
  }
}

double BatteryUsedPercent(UnitStatus s) {
  // Wide enough that no stack count can overflow it.
  int64_t capacity = 0;
  if (textnum::Contains(s.Type.c_str(), "Lithium")) capacity = int64_t{s.BatteryStacks} * 100;
  if (textnum::Contains(s.Type.c_str(), "Alkaline")) capacity = int64_t{s.BatteryStacks} * 150;
  if (capacity > 0 && s.Count > 0) return static_cast<double>(s.Count) / static_cast<double>(capacity) * 100.0;
  return -1.0;
}

std::string IdentityText(UnitStatus s) {
  std::string t = Format("Type %s   %s %s", s.TypeNo.c_str(), s.Band.c_str(), s.TdrType.c_str());
  if (s.FunctionLevel & 0x20) t += "  Wideband";
  t += Format("\r\nUnit ID %06X(hex)  Serial No %s\r\n", static_cast<unsigned>(s.UnitId), s.SerialNo.c_str());
  t += Format("Address %d%02d   HPR %d%d\r\n", s.Address, s.Channel, s.HPRms, s.HPRls);
  t += "Batt " + Fixed(s.Voltage, 1) + "V " + Fixed(BatteryUsedPercent(s), 0) + "% used";
  if (s.Warning == 1) t += " Warn";
  if (s.Override == 1) t += " OV";
  t += "\r\n";
  t += Format("   %s %d stacks  Count %d\r\n", s.Type.c_str(), s.BatteryStacks, s.Count);
  t += Format("Firmware %s\r\n", s.T7V.c_str());
  return t;
}

std::string InterrogateText(UnitStatus s) {
  if (textnum::Contains(s.Enabled.c_str(), "DDE")) return Format("Interrogate HPR B%d%d\r\n", s.HPRms, s.HPRls);
  // One letter per ranging mode; a two-letter status leaves the third mode disabled.
  std::string e(s.Enabled.view());
  if (e.size() == 2) e += 'D';
  const bool enabledSomewhere = e.find('W') != std::string::npos || e.find('E') != std::string::npos;
  const int32_t wb = s.WideBandEnabled;
  if (wb == 0) {
    if (e.find("EDD") != std::string::npos)
      return "Interrogate " + ChannelName(wb, s.AltCIFChannel) + "  Reply " + ChannelName(wb, s.CIFReplyCHannel) +
             "\r\n";
    if (e.find("DED") != std::string::npos) {
      if (s.CIFReplyCHannel == 16) return "Interrogate " + ChannelName(wb, s.Channel) + "  Reply CRF\r\n";
      return "Interrogate " + ChannelName(wb, s.Channel) + "  Reply " + ChannelName(wb, s.CIFReplyCHannel) + "\r\n";
    }
    return enabledSomewhere ? "Interrogation/Reply status unknown\r\n" : "Disabled tone\r\n";
  }
  if (wb == 1) {
    if (e.find("WDD") != std::string::npos) {
      if (s.AltCIFChannel == 16) return "Interrogate CIS00  Reply IRS\r\n";
      return Format("Interrogate CIS%02d  Reply IRS\r\n", s.AltCIFChannel);
    }
    if (e.find("DWD") != std::string::npos) return Format("Interrogate IIS  Reply CRS%02d\r\n", s.Address & 15);
    return enabledSomewhere ? "Interrogation/Reply status unknown\r\n" : "Disabled wideband\r\n";
  }
  return std::string();
}

std::string TimingPowerText(UnitStatus s) {
  std::string t = "TAT " + Fixed(s.Tat, 2) + Format(" ms  Rx gain %d\r\n", s.RxGain);
  if (s.CPA > 0) t += Format("CPA %d\r\n", s.CPA);
  else t += Format("CPU %d  CPJ %d  CPT %d  CPS %d  CPL %d\r\n", s.CPU, s.CPJ, s.CPT, s.CPS, s.CPL);
  t += Format("CWT %d  CWR %d  CWC %d  Block %d\r\n", s.CWTIndex, s.CWRIndex, s.CWCIndex, s.BlockIndex);
  t += Format("Function level %02x\r\n", static_cast<unsigned>(s.FunctionLevel));
  if (s.ExternalSync == 1) t += "Responder enabled\r\n";
  return t;
}

std::string DaughterCardText(UnitStatus s) {
  if (s.DaughterCardFitted <= 0) return std::string();
  std::string t =
      Format("Daughter card %s %s fitted\r\nFirmware %s\r\n", s.DcardDraw.c_str(), s.DcardIss.c_str(), s.Dcard.c_str());
  t += "Detect threshold " + Fixed(s.DetectThreshold * 0.1, 1) + "\r\n";
  if (s.LinearGain == 240) t += "Linear gain linked to CG\r\n";
  else if (s.LinearGain == 255) t += "Linear gain Auto\r\n";
  else t += Format("Linear gain %d\r\n", s.LinearGain);
  return t;
}

std::string VersionsSensorsText(UnitStatus s) {
  std::string t = Format("Endcap serial number %s\r\n", s.EndcapSerial.c_str());
  t += Format("Das firmware %s\r\n", s.Das.c_str());
  if (s.GenericFormat >= 0) t += Format(" Generic reply format %d\r\n", s.GenericFormat);
  for (const auto& row : kSensorTable)
    if (s.Fitted & row.bit) t += Format(" %s", row.code);
  t += "\r\n";
  return t;
}

std::string StatusReportText(const UnitStatus& s) {
  return IdentityText(s) + InterrogateText(s) + TimingPowerText(s) + DaughterCardText(s) + VersionsSensorsText(s);
}

std::string SelfTestText(int32_t code, UnitStatus s) {
  std::string t;
  if (code & ~0x08) t = Format("Hardware self test failed error code %d\r\n", code);
  else t = "Hardware self test passed\r\n";
  if (code & 0x80) t += "TX coil overheat warning\r\n";
  t += (code & 0x20) ? "RX error!\r\n" : "RX 1,2,3,4,5,6 OK\r\n";
  t += (code & 0x10) ? "TX error!\r\n" : "TX OK\r\n";
  if (s.DaughterCardFitted > 0) t += (code & 0x40) ? "Wideband RX check failed\r\n" : "Wideband RX check OK\r\n";
  if (code & 0x04) t += "EEPROM error\r\n";
  if (code & 0x02) t += "One wire error\r\n";
  if (code & 0x01) t += "RTC RAM error\r\n";
  return t;
}

std::string DateText(DateTime when) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // The automation date's range: years 100 to 9999. Outside it, or for an invalid date, the
  // month cannot be read and the text says so.
  if (!when.valid || !std::isfinite(when.value) || when.value < -657435.0 || when.value > 2958466.0)
    return "0 ??? 0  00:00";
  const CivilTime c = when.ToCivil();
  const char* month = c.month >= 1 && c.month <= 12 ? kMonths[c.month - 1] : "???";
  return Format("%d %s %d  %02d:%02d", c.day, month, c.year, c.hour, c.minute);
}

std::string TraceLine(const UnitStatus& s) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "UnitId %06X Address %d%02d Band %s Enabled %s Tat %.3f",
                static_cast<unsigned>(s.UnitId), s.Address, s.Channel, s.Band.c_str(), s.Enabled.c_str(),
                static_cast<double>(s.Tat));
  return buf;
}
