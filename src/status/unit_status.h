// The record of everything known about a unit, and its companion record of check results.
// Plain values, copied whole; integers -1, reals -1.0 and empty texts mean "not read".
// Field names are the element names of the status files.
#pragma once
#include <cstdint>

#include "platform/date_time.h"
#include "platform/fixed_text.h"

struct UnitStatus {
  int32_t UnitId = -1;
  FixedText<20> SerialNo;
  FixedText<40> TypeNo;
  int32_t DataFormat = -1;
  int32_t Channel = -1;
  int32_t Address = -1;
  int32_t HPRms = -1;
  int32_t HPRls = -1;
  uint8_t FunctionLevel = 0;
  FixedText<10> Band;
  FixedText<20> TdrType;
  FixedText<30> T7V;
  FixedText<10> Das;
  FixedText<10> U4;
  FixedText<10> U10;
  FixedText<10> U5;
  FixedText<10> U8;
  FixedText<20> Dcard;
  FixedText<20> DcardDraw;
  FixedText<5> DcardIss;
  FixedText<25> DcardId;
  FixedText<20> BattDraw;
  FixedText<5> BattIss;
  FixedText<25> BattId;
  FixedText<20> Batt2Draw;
  FixedText<5> Batt2Iss;
  FixedText<25> Batt2Id;
  FixedText<20> Batt3Draw;
  FixedText<5> Batt3Iss;
  FixedText<25> Batt3Id;
  FixedText<20> TxDraw;
  FixedText<5> TxIss;
  FixedText<25> TxId;
  FixedText<15> Type;
  FixedText<25> DasId;
  FixedText<20> EndcapSerial;
  FixedText<10> Enabled;
  FixedText<1000> String1;
  FixedText<1000> String2;
  int32_t CPD = -1;
  int32_t DetectThreshold = -1;
  int32_t LinearGain = -1;
  int32_t RxGain = -1;
  int32_t CPU = -1;
  int32_t CPJ = -1;
  int32_t CPT = -1;
  int32_t CPS = -1;
  int32_t CPL = -1;
  int32_t CPA = -1;
  int32_t CWTIndex = -1;
  int32_t CWRIndex = -1;
  int32_t CWCIndex = -1;
  int32_t BlockIndex = -1;
  int32_t AltCIFChannel = -1;
  int32_t CIFReplyCHannel = -1;
  float Tat = -1.0f;
  int32_t Warning = -1;
  int32_t Override = -1;
  int32_t Count = -1;
  float Voltage = -1.0f;
  int32_t RangingType = -1;
  int32_t FEEnabled = -1;
  int32_t IIFChannel = -1;
  int32_t TelemetryType = -1;
  int32_t BaudRate = -1;
  int32_t ReplyChannel = -1;
  int32_t WideBandEnabled = -1;
  int32_t DaughterCardFitted = -1;
  int32_t BatteryStacks = -1;
  int32_t ChirpDuration = -1;
  int32_t DataTelemetryType = -1;
  int32_t DownlinkInterPacketTime = -1;
  int32_t DataDelay = -1;
  int32_t UplinkPacketDelay = -1;
  int32_t CommandWaitDelay = -1;
  int32_t CommandReplyType = -1;
  int32_t InterCharacterTime = -1;
  int32_t ExternalSync = -1;
  uint32_t Fitted = 0xFFFFFFFFu;
  float PressureFullScale = -1.0f;
  float PressureAccuracy = -1.0f;
  float DepthOffset = -9999.0f;
  int32_t InclinometerInteralScale = -1;
  int32_t InclinometerExternalScale = -1;
  int32_t GenericFormat = -1;

  // A fresh record: the values above.
  static UnitStatus Fresh() { return UnitStatus{}; }
  // The record that reading a status file starts from: fresh, but with Fitted 0.
  static UnitStatus ForReading() {
    UnitStatus s;
    s.Fitted = 0;
    return s;
  }
};

struct StatusChecks {
  int32_t UpdatedResult = 0;  // bool in a 32-bit slot
  DateTime UpdatedTime;
  DateTime LastStatusTime;
  int32_t CI1Result = 0;  // bool in a 32-bit slot
  DateTime CI1Time;
  DateTime DepthOffsetTime;
  float DepthOffsetValue = -1.0f;
  DateTime HardwareTime;
  int32_t HardwareResult = -1;
  DateTime ReleaseTime;
  int32_t ReleaseResult = -1;

  static StatusChecks Fresh() { return StatusChecks{}; }
};
