// The status text report that the reply pane shows after every action and the test report
// writes to its file: five pieces, always in this order (StatusReportText), and four small
// helpers. Every function takes the record by value and changes nothing. Numbers are written
// the same in every locale (a point before the decimals).
#pragma once
#include <cstdint>
#include <string>

#include "platform/date_time.h"
#include "status/unit_status.h"

// Type, identity, address, battery and firmware.
std::string IdentityText(UnitStatus status);
// The interrogate/reply line, or nothing when the ranging mode is not known.
std::string InterrogateText(UnitStatus status);
// Turn-around time, gains, power, timing, function level, responder.
std::string TimingPowerText(UnitStatus status);
// Daughter card, detect threshold and linear gain; empty without a daughter card.
std::string DaughterCardText(UnitStatus status);
// End-cap serial number, data-processor firmware, generic reply format, fitted sensors.
std::string VersionsSensorsText(UnitStatus status);
// The five pieces in their order.
std::string StatusReportText(const UnitStatus& status);

// A channel number as shown: 15, 16 and 99 by name (tone or wideband names), others as numbers.
std::string ChannelName(int32_t wideband, int32_t channel);
// Percentage of the battery used, or -1.0 when it cannot be known.
double BatteryUsedPercent(UnitStatus status);
// The record in one line, as the diagnostic trace dumps it ("UnitId 12D687 Address 1207 ...").
std::string TraceLine(const UnitStatus& status);
// The hardware self-test result, line by line.
std::string SelfTestText(int32_t code, UnitStatus status);
// Whether a self-test result code is a pass: every bit but 0x08 clear (0x08 alone is not
// reported as a failure).
inline bool SelfTestPassed(int32_t code) { return code >= 0 && (code & ~0x08) == 0; }
// "6 Mar 2026  14:05": day, month name, year, hour and minute.
std::string DateText(DateTime when);

// One row of the sensor table: the bit of Fitted, the code the report prints, what it is.
struct SensorRow {
  uint32_t bit;
  const char* code;
  const char* description;
};
inline constexpr SensorRow kSensorTable[16] = {
    {0x0001, "PRT", "Int PRT"},
    {0x0002, "STR", "Int Strain"},
    {0x0004, "DQZ", "Int DQZ"},
    {0x0008, "COND", "Int Conductivity"},
    {0x0010, "SQI", "Int SQ inclinometer"},
    {0x0020, "INCL", "Int Inclinometer"},
    {0x0040, "XINCL", "Ext Inclinometer"},
    {0x0080, "XSTR", "Ext 2-20 Strain"},
    {0x0100, "REL", "Release"},
    {0x0200, "STR", "Int RS485 Strain"},
    {0x0400, "SV", "Int RS232 Sound vel"},
    {0x0800, "SV", "Ext RS232 Sound vel"},
    {0x1000, "HRP", "Ext HRP Gyro"},
    {0x2000, "SDQZ", "Ext RS232 DQZ"},
    {0x4000, "XGNPW", "Ext General power"},
    {0x8000, "QRNI", "QRNI inclinomter"},
};
