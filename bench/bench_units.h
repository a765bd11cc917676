// The units the benchmarks fill their status files with.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "records/status_xml.h"

// A unit as a real bench leaves it: every field read, check times set, the two reply texts.
inline StatusEntry RealisticEntry(int i) {
  StatusEntry e;
  UnitStatus& s = e.status;
  s.UnitId = 0x100000 + i;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%06d-%03d", 100000 + i, i % 1000);
  s.SerialNo = buf;
  s.TypeNo = "7815-11 Wideband Mini Transponder";
  s.DataFormat = 2;
  s.Channel = i % 15;
  s.Address = i % 100;
  s.HPRms = 3;
  s.HPRls = 4;
  s.FunctionLevel = 0x24;
  s.Band = "MF";
  s.TdrType = "Directional 30";
  s.T7V = "T7 V1.2B 2019";
  s.Das = "2.04";
  s.U4 = "1.7";
  s.U10 = "3.1";
  s.U5 = "2.0";
  s.U8 = "1.1";
  s.Dcard = "WB 4.11";
  s.DcardDraw = "A-7420-0113";
  s.DcardIss = "C";
  s.DcardId = "DC-55231";
  s.BattDraw = "A-7400-0210";
  s.BattIss = "B";
  s.BattId = "BP-9931";
  s.TxDraw = "A-7420-0090";
  s.TxIss = "D";
  s.TxId = "TX-10442";
  s.Type = "Lithium";
  s.DasId = "DAS-2231";
  s.EndcapSerial = "EC-4410";
  s.Enabled = "YNYN";
  s.String1 =
      "#STTX\r\nEN = YNYN\r\nCPD = 2\r\nRT = 1\r\nFE = 0\r\nIIF = 7\r\nTT = 3\r\nBR = 2400\r\nRC = 11\r\n"
      "WB = 1\r\nDC = 1\r\nBS = 2\r\nCD = 10\r\nDTT = 1\r\nDIPT = 250\r\nDD = 100\r\nUPD = 50\r\nCWD = 2000\r\n"
      "CRT = 1\r\nICT = 20\r\nES = 0\r\n";
  s.String2 =
      "#INFO\\\\/Velmoor T7 transponder\\\\/Main V1.2B 2019 DAS 2.04\\\\/Wideband card WB 4.11\\\\/"
      "Pressure sensor 3000 m, accuracy 0.01%\\\\/Inclinometer fitted\\\\/Battery Lithium x2\\\\/";
  // clang-format off
  for (int32_t* v : {&s.CPD, &s.DetectThreshold, &s.LinearGain, &s.RxGain, &s.CPU, &s.CPJ, &s.CPT, &s.CPS, &s.CPL,
                     &s.CPA, &s.CWTIndex, &s.CWRIndex, &s.CWCIndex, &s.BlockIndex, &s.AltCIFChannel,
                     &s.CIFReplyCHannel, &s.Warning, &s.Override, &s.Count, &s.RangingType, &s.FEEnabled,
                     &s.IIFChannel, &s.TelemetryType, &s.BaudRate, &s.ReplyChannel, &s.WideBandEnabled,
                     &s.DaughterCardFitted, &s.BatteryStacks, &s.ChirpDuration, &s.DataTelemetryType,
                     &s.DownlinkInterPacketTime, &s.DataDelay, &s.UplinkPacketDelay, &s.CommandWaitDelay,
                     &s.CommandReplyType, &s.InterCharacterTime, &s.ExternalSync, &s.InclinometerInteralScale,
                     &s.InclinometerExternalScale, &s.GenericFormat})
    // clang-format on
    // The field's place in the record (not its address, which moves from run to run) varies
    // the values from field to field, the same in every run.
    *v = (i * 7 + static_cast<int>((reinterpret_cast<const char*>(v) - reinterpret_cast<const char*>(&s)) % 13)) % 10;
  s.Tat = 12.5f;
  s.Voltage = 14.2f;
  s.Fitted = 0x13;
  s.PressureFullScale = 3000.0f;
  s.PressureAccuracy = 0.01f;
  s.DepthOffset = 10.33f;
  DateTime t = DateTime::FromCivil({2025, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0});
  e.checks.LastStatusTime = t;
  e.checks.UpdatedTime = t;
  e.checks.UpdatedResult = 1;
  e.checks.CI1Time = t;
  e.checks.CI1Result = 1;
  e.checks.DepthOffsetTime = t;
  e.checks.DepthOffsetValue = 10.33f;
  e.checks.HardwareTime = t;
  e.checks.HardwareResult = 8;
  e.checks.ReleaseTime = t;
  e.checks.ReleaseResult = 0;
  return e;
}

// A status file of `units` realistic units, written at `path`.
inline void WriteRealisticFile(int units, const std::filesystem::path& path) {
  CStatusXml doc;
  for (int i = 0; i < units; ++i) {
    StatusEntry e = RealisticEntry(i);
    doc.WriteUnit(e.checks, e.status);
  }
  doc.Save(path);
}
