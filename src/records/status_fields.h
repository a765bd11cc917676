// The 96 fields of a unit's entry in a status file, in document order: each with its group,
// its element name and the member that carries it. The kind of a field follows from the
// member's type (see FieldKind); the two check results are flags held in 32-bit slots.
#pragma once
#include <cstddef>
#include <type_traits>

#include "status/unit_status.h"

enum class FieldKind { Integer, Unsigned, Byte, Flag, Real, Text, DateTime };

// A Boolean kept in a 32-bit slot; Int is int32_t or const int32_t.
template <class Int>
struct FlagRef {
  Int& value;
};

inline constexpr int kStatusFieldCount = 96;
inline constexpr int kStatusGroupCount = 11;
// The groups under each unit element, in order.
inline constexpr const char* kStatusGroups[kStatusGroupCount] = {"General", "Version",    "Timing",     "Power",
                                                                 "Battery", "Ranging",    "Telemetry",  "Sensors",
                                                                 "Checks",  "Drawing_ID", "Engineering"};

// Calls f(group, element, member) for each field in document order. Checks and Status may be
// const; member is an int32_t, uint32_t, uint8_t, float, FixedText<N> or DateTime reference, or
// a FlagRef for the two flags.
template <class Checks, class Status, class F>
void ForEachStatusField(Checks& c, Status& s, F&& f) {
  using FlagInt = std::remove_reference_t<decltype((c.UpdatedResult))>;
  f("General", "UnitId", s.UnitId);
  f("General", "DataFormat", s.DataFormat);
  f("General", "SerialNo", s.SerialNo);
  f("General", "TypeNo", s.TypeNo);
  f("General", "Channel", s.Channel);
  f("General", "Address", s.Address);
  f("General", "FunctionLevel", s.FunctionLevel);
  f("General", "Band", s.Band);
  f("General", "TdrType", s.TdrType);
  f("General", "EndcapSerial", s.EndcapSerial);
  f("Version", "T7V", s.T7V);
  f("Version", "Das", s.Das);
  f("Version", "U4", s.U4);
  f("Version", "U10", s.U10);
  f("Version", "U5", s.U5);
  f("Version", "U8", s.U8);
  f("Version", "Dcard", s.Dcard);
  f("Timing", "Tat", s.Tat);
  f("Timing", "CWTIndex", s.CWTIndex);
  f("Timing", "CWRIndex", s.CWRIndex);
  f("Timing", "CWCIndex", s.CWCIndex);
  f("Timing", "BlockIndex", s.BlockIndex);
  f("Power", "RxGain", s.RxGain);
  f("Power", "CPU", s.CPU);
  f("Power", "CPJ", s.CPJ);
  f("Power", "CPT", s.CPT);
  f("Power", "CPS", s.CPS);
  f("Power", "CPL", s.CPL);
  f("Power", "CPA", s.CPA);
  f("Power", "DetectThreshold", s.DetectThreshold);
  f("Power", "LinearGain", s.LinearGain);
  f("Battery", "Warning", s.Warning);
  f("Battery", "Override", s.Override);
  f("Battery", "Count", s.Count);
  f("Battery", "Voltage", s.Voltage);
  f("Battery", "Type", s.Type);
  f("Battery", "BatteryStacks", s.BatteryStacks);
  f("Ranging", "RangingType", s.RangingType);
  f("Ranging", "ReplyChannel", s.ReplyChannel);
  f("Ranging", "WideBandEnabled", s.WideBandEnabled);
  f("Ranging", "DaughterCardFitted", s.DaughterCardFitted);
  f("Ranging", "ChirpDuration", s.ChirpDuration);
  f("Ranging", "ExternalSync", s.ExternalSync);
  f("Ranging", "AltCIFChannel", s.AltCIFChannel);
  f("Ranging", "CIFReplyCHannel", s.CIFReplyCHannel);
  f("Ranging", "HPRms", s.HPRms);
  f("Ranging", "HPRls", s.HPRls);
  f("Ranging", "Enabled", s.Enabled);
  f("Ranging", "IIFChannel", s.IIFChannel);
  f("Ranging", "FEEnabled", s.FEEnabled);
  f("Ranging", "CPD", s.CPD);
  f("Telemetry", "TelemetryType", s.TelemetryType);
  f("Telemetry", "BaudRate", s.BaudRate);
  f("Telemetry", "DataTelemetryType", s.DataTelemetryType);
  f("Telemetry", "DownlinkInterPacketTime", s.DownlinkInterPacketTime);
  f("Telemetry", "DataDelay", s.DataDelay);
  f("Telemetry", "UplinkPacketDelay", s.UplinkPacketDelay);
  f("Telemetry", "CommandWaitDelay", s.CommandWaitDelay);
  f("Telemetry", "CommandReplyType", s.CommandReplyType);
  f("Telemetry", "InterCharacterTime", s.InterCharacterTime);
  f("Sensors", "Fitted", s.Fitted);
  f("Sensors", "PressureFullScale", s.PressureFullScale);
  f("Sensors", "PressureAccuracy", s.PressureAccuracy);
  f("Sensors", "DepthOffset", s.DepthOffset);
  f("Sensors", "InclinometerInteralScale", s.InclinometerInteralScale);
  f("Sensors", "InclinometerExternalScale", s.InclinometerExternalScale);
  f("Sensors", "GenericFormat", s.GenericFormat);
  f("Checks", "LastStatusTime", c.LastStatusTime);
  f("Checks", "UpdatedTime", c.UpdatedTime);
  f("Checks", "UpdatedResult", FlagRef<FlagInt>{c.UpdatedResult});
  f("Checks", "CI1Time", c.CI1Time);
  f("Checks", "CI1Result", FlagRef<FlagInt>{c.CI1Result});
  f("Checks", "DepthOffsetTime", c.DepthOffsetTime);
  f("Checks", "DepthOffsetValue", c.DepthOffsetValue);
  f("Checks", "HardwareTime", c.HardwareTime);
  f("Checks", "HardwareResult", c.HardwareResult);
  f("Checks", "ReleaseTime", c.ReleaseTime);
  f("Checks", "ReleaseResult", c.ReleaseResult);
  f("Drawing_ID", "DcardDraw", s.DcardDraw);
  f("Drawing_ID", "DcardIss", s.DcardIss);
  f("Drawing_ID", "DcardId", s.DcardId);
  f("Drawing_ID", "BattDraw", s.BattDraw);
  f("Drawing_ID", "BattIss", s.BattIss);
  f("Drawing_ID", "BattId", s.BattId);
  f("Drawing_ID", "Batt2Draw", s.Batt2Draw);
  f("Drawing_ID", "Batt2Iss", s.Batt2Iss);
  f("Drawing_ID", "Batt2Id", s.Batt2Id);
  f("Drawing_ID", "Batt3Draw", s.Batt3Draw);
  f("Drawing_ID", "Batt3Iss", s.Batt3Iss);
  f("Drawing_ID", "Batt3Id", s.Batt3Id);
  f("Drawing_ID", "TxDraw", s.TxDraw);
  f("Drawing_ID", "TxIss", s.TxIss);
  f("Drawing_ID", "TxId", s.TxId);
  f("Drawing_ID", "DasId", s.DasId);
  f("Engineering", "String1", s.String1);
  f("Engineering", "String2", s.String2);
}

// One field as a table row: group, element, kind and (for texts) the capacity with the terminator.
struct StatusFieldInfo {
  const char* group;
  const char* element;
  FieldKind kind;
  size_t capacity;
};

// The 96 rows in document order.
const StatusFieldInfo* StatusFieldTable();
