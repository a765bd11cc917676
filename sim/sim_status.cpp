// The simulated unit's status replies. Each is a few lines in the unit's own layout: a
// heading, the values in the order the firmware keeps them, units where the firmware prints
// them, and lines the terminal does not read. SimUnit adds the echo, the CRs and the LF.
#include "sim/sim_status.h"

#include <charconv>
#include <cstdio>

namespace {
std::string Fixed(double v, int decimals) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::string Printf(const char* format, int a, int b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

std::string AssemblyLine(const char* key, const SimUnitState::Assembly& a) {
  return std::string(key) + ", " + a.id + ", " + a.drawing + ", " + a.issue;
}

SimUnit::Reply Lines(std::vector<std::string> lines) {
  SimUnit::Reply r;
  r.lines = std::move(lines);
  return r;
}
}  // namespace

std::vector<std::string> HardwareStatusLines(const SimUnitState& s) {
  std::vector<std::string> l;
  l.push_back("Velmoor hardware status");
  if (s.typeLineHoldsBandAndTdr) l.push_back("TYPE, " + s.typeNo + ", " + s.band + ", " + s.tdrType);
  else l.push_back("TYPE, " + s.typeNo);
  // The E series counts from 1000000000 and shows the raw number.
  l.push_back("S/N, " + Printf(s.serialNumber >= 1000000000 ? "%d-%03d" : "%06d-%03d", s.serialNumber, s.serialSuffix));
  char id[32];
  std::snprintf(id, sizeof id, "UNIT ID, %06X", static_cast<unsigned>(s.unitId));
  l.push_back(id);
  l.push_back("ENDCAP S/N, " + s.endcapSerial);
  l.push_back("BATTERY, " + s.batteryType);
  if (!s.battery1.id.empty()) l.push_back(AssemblyLine("Batt", s.battery1));
  if (!s.battery2.id.empty()) l.push_back(AssemblyLine("Bat2", s.battery2));
  if (!s.battery3.id.empty()) l.push_back(AssemblyLine("Bat3", s.battery3));
  if (!s.daughterCard.id.empty()) l.push_back(AssemblyLine("Dcard", s.daughterCard));
  if (!s.transmitter.id.empty()) l.push_back(AssemblyLine("Tx", s.transmitter));
  char das[80];
  std::snprintf(das, sizeof das, ", %04X", static_cast<unsigned>(s.sensorsFitted));
  l.push_back("DAS, " + s.dasId + das);
  l.push_back("Resets, 3");
  return l;
}

std::vector<std::string> TransponderStatusLines(const SimUnitState& s) {
  std::vector<std::string> l;
  l.push_back("Transponder status");
  char level[40];
  std::snprintf(level, sizeof level, "Function Level = %02X", static_cast<unsigned>(s.functionLevel));
  l.push_back(level);
  if (!s.typeLineHoldsBandAndTdr) {
    l.push_back("FreqBand = " + s.band);
    l.push_back("Tdr Type = " + s.tdrType);
  }
  l.push_back("AD = " + Printf("%d%02d", s.address, s.channel));
  l.push_back("HPR = " + std::to_string(s.hprMs) + std::to_string(s.hprLs));
  // Reply channel (or IRS), interrogate channel, turn-around time, battery flags, timing
  // indices and the enable status.
  std::string ts = "TS = ";
  ts += s.replyChannel == 99 ? std::string("IRS") : Printf("RF%02d", s.replyChannel, 0);
  ts += Printf(" IF%02d", s.interrogateChannel, 0);
  ts += " TAT/" + Fixed(s.tatMs, 2);
  std::string flags;
  if (s.batteryOverride) flags += 'O';
  if (s.batteryWarning) flags += 'B';
  if (!flags.empty()) ts += " " + flags;
  ts += " T" + std::to_string(s.cwt) + "/" + std::to_string(s.cwr) + "/" + std::to_string(s.cwc);
  if (s.reportsBlockIndex) ts += "/" + std::to_string(s.block);
  ts += " " + s.enabled;
  l.push_back(ts);
  l.push_back("PS = U" + std::to_string(s.powerU) + " J" + std::to_string(s.powerJ) + " T" + std::to_string(s.powerT) +
              " S" + std::to_string(s.powerS) + " L" + std::to_string(s.powerL) + " G" + std::to_string(s.rxGain));
  l.push_back("BC = " + std::to_string(s.batteryCount));
  l.push_back("V= " + Fixed(s.batteryVolts, 2) + " V");
  l.push_back("Temp = " + Fixed(s.temperatureC, 1) + " C");
  return l;
}

std::vector<std::string> FirmwareVersionLines(const SimUnitState& s) {
  std::vector<std::string> l;
  l.push_back("Firmware versions");
  if (!s.modelName.empty()) l.push_back("Model " + s.modelName + " transponder");
  l.push_back(s.firmwareLabel + " " + s.mainFirmware);
  l.push_back("DAS, " + s.dasFirmware);
  l.push_back("U4, " + s.u4Firmware);
  l.push_back("U10, " + s.u10Firmware);
  l.push_back("U5, " + s.u5Firmware);
  l.push_back("U8, " + s.u8Firmware);
  l.push_back(s.daughterCardLabel + ", " + (s.daughterCardFirmware.empty() ? "not fitted" : s.daughterCardFirmware));
  return l;
}

std::vector<std::string> UnitInformationLines(const SimUnitState& s) {
  std::vector<std::string> l;
  l.push_back("Unit information");
  l.push_back("Build " + s.mainFirmware);
  l.push_back("Boot V1.02");
  l.push_back("IIFReplyCh = " + std::to_string(s.iifReplyChannel));
  l.push_back("Clock " + s.clockText);
  return l;
}

std::string SerialStatusRecord(const SimUnitState& s) {
  auto f = [](const char* key, int32_t v) { return std::string(key) + std::to_string(v); };
  return f("RT", s.rangingType) + "," + f("TT", s.telemetryType) + "," + f("BR", s.baudRateCode) + "," +
         f("RF", s.replyChannel) + "," + f("EW", s.widebandEnabled) + "," + f("DC", s.daughterCardFitted) + "," +
         f("STX", s.batteryStacks) + "," + f("DR", s.dataTelemetryType) + "," + f("DI", s.downlinkInterPacketTime) +
         "," + f("MD", s.dataDelay) + "," + f("UP", s.uplinkPacketDelay) + "," + f("CW", s.commandWaitDelay) + "," +
         f("CR", s.commandReplyType) + "," + f("IC", s.interCharacterTime) + "," + f("XS", s.externalSync) + "," +
         f("CDT", s.detectThreshold) + "," + f("CLG", s.linearGain) + "," + f("FE", s.feEnabled) + "," +
         f("CDP", s.cpd);
}

std::vector<std::string> SensorLines(const SimUnitState& s) {
  if (!s.pressureSensor) return {"No pressure sensor fitted"};
  std::vector<std::string> l;
  l.push_back("Pressure sensor");
  l.push_back("Offset   = " + Fixed(s.pressureOffset, 3));
  l.push_back("Range    = " + Fixed(s.pressureRange, 3));
  l.push_back("Accuracy = +/-" + Fixed(s.pressureAccuracy, 3));
  l.push_back("Temp     = " + Fixed(s.temperatureC, 2));
  return l;
}

void InstallStatusCommands(SimUnit& unit) {
  unit.Handle("HWST",
              [](SimUnit& u, const std::string&, const std::string&) { return Lines(HardwareStatusLines(u.state)); });
  unit.Handle("TPST", [](SimUnit& u, const std::string&, const std::string&) {
    return Lines(TransponderStatusLines(u.state));
  });
  unit.Handle("FVFV",
              [](SimUnit& u, const std::string&, const std::string&) { return Lines(FirmwareVersionLines(u.state)); });
  unit.Handle("INFO",
              [](SimUnit& u, const std::string&, const std::string&) { return Lines(UnitInformationLines(u.state)); });
  // The serial-status record is meant for machines: firmware that knows the command sends the
  // bare record, without the echo; older firmware only echoes the command.
  unit.Handle("STTX", [](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r;
    if (u.state.knowsSerialStatus) {
      r.noEcho = true;
      r.lines.push_back(SerialStatusRecord(u.state));
    }
    return r;
  });
  // The sensor read takes the unit a while: it samples the pressure sensor first.
  unit.Handle("RDSE", [](SimUnit& u, const std::string&, const std::string&) {
    SimUnit::Reply r = Lines(SensorLines(u.state));
    r.delayMs = u.state.pressureSensor ? 2000 : 0;
    return r;
  });
}

namespace {

// The unit's identity as the wideband unit with a daughter card has it: its type, numbers,
// assemblies and firmware.
void ResetIdentity(SimUnitState& s, const SimUnitState& d) {
  s.typeNo = d.typeNo;
  s.band = d.band;
  s.tdrType = d.tdrType;
  s.typeLineHoldsBandAndTdr = d.typeLineHoldsBandAndTdr;
  s.unitId = d.unitId;
  s.serialNumber = d.serialNumber;
  s.serialSuffix = d.serialSuffix;
  s.endcapSerial = d.endcapSerial;
  s.battery1 = d.battery1;
  s.battery2 = d.battery2;
  s.battery3 = d.battery3;
  s.daughterCard = d.daughterCard;
  s.transmitter = d.transmitter;
  s.dasId = d.dasId;
  s.sensorsFitted = d.sensorsFitted;
  s.firmwareLabel = d.firmwareLabel;
  s.mainFirmware = d.mainFirmware;
  s.dasFirmware = d.dasFirmware;
  s.u4Firmware = d.u4Firmware;
  s.u10Firmware = d.u10Firmware;
  s.u5Firmware = d.u5Firmware;
  s.u8Firmware = d.u8Firmware;
  s.daughterCardLabel = d.daughterCardLabel;
  s.daughterCardFirmware = d.daughterCardFirmware;
  s.knowsSerialStatus = d.knowsSerialStatus;
  s.reportsBlockIndex = d.reportsBlockIndex;
  s.functionLevel = d.functionLevel;
}

// The unit's settings as the wideband unit with a daughter card has them: its address and
// channels, power, battery, telemetry and sensors.
void ResetSettings(SimUnitState& s, const SimUnitState& d) {
  s.address = d.address;
  s.channel = d.channel;
  s.hprMs = d.hprMs;
  s.hprLs = d.hprLs;
  s.enabled = d.enabled;
  s.replyChannel = d.replyChannel;
  s.interrogateChannel = d.interrogateChannel;
  s.iifReplyChannel = d.iifReplyChannel;
  s.tatMs = d.tatMs;
  s.cwt = d.cwt;
  s.cwr = d.cwr;
  s.cwc = d.cwc;
  s.block = d.block;
  s.powerU = d.powerU;
  s.powerJ = d.powerJ;
  s.powerT = d.powerT;
  s.powerS = d.powerS;
  s.powerL = d.powerL;
  s.rxGain = d.rxGain;
  s.batteryType = d.batteryType;
  s.batteryStacks = d.batteryStacks;
  s.batteryCount = d.batteryCount;
  s.batteryVolts = d.batteryVolts;
  s.batteryWarning = d.batteryWarning;
  s.batteryOverride = d.batteryOverride;
  s.rangingType = d.rangingType;
  s.telemetryType = d.telemetryType;
  s.baudRateCode = d.baudRateCode;
  s.widebandEnabled = d.widebandEnabled;
  s.daughterCardFitted = d.daughterCardFitted;
  s.dataTelemetryType = d.dataTelemetryType;
  s.downlinkInterPacketTime = d.downlinkInterPacketTime;
  s.dataDelay = d.dataDelay;
  s.uplinkPacketDelay = d.uplinkPacketDelay;
  s.commandWaitDelay = d.commandWaitDelay;
  s.commandReplyType = d.commandReplyType;
  s.interCharacterTime = d.interCharacterTime;
  s.externalSync = d.externalSync;
  s.detectThreshold = d.detectThreshold;
  s.linearGain = d.linearGain;
  s.feEnabled = d.feEnabled;
  s.cpd = d.cpd;
  s.pressureSensor = d.pressureSensor;
  s.pressureOffset = d.pressureOffset;
  s.pressureRange = d.pressureRange;
  s.pressureAccuracy = d.pressureAccuracy;
  s.temperatureC = d.temperatureC;
}

// Tone signalling, no daughter card, one stack of alkaline batteries, no pressure sensor.
void MakeToneOnly(SimUnitState& s) {
  s.typeNo = "7805";
  s.tdrType = "Omni";
  s.unitId = 0x2B7E05;
  s.serialNumber = 3107;
  s.serialSuffix = 12;
  s.endcapSerial = "EC-11890";
  s.battery1 = {"B-60212", "7805-410", "B"};
  s.battery2 = {};
  s.daughterCard = {};
  s.daughterCardFirmware.clear();
  s.sensorsFitted = 0x0100;
  s.functionLevel = 0x0C;
  s.address = 3;
  s.channel = 12;
  s.hprMs = 2;
  s.hprLs = 7;
  s.enabled = "EDD";
  s.replyChannel = 12;
  s.interrogateChannel = 14;
  s.tatMs = 10.0;
  s.powerU = 2;
  s.batteryType = "Alkaline";
  s.batteryStacks = 1;
  s.batteryCount = 30;
  s.batteryVolts = 9.31;
  s.widebandEnabled = 0;
  s.daughterCardFitted = 0;
  s.detectThreshold = 0;
  s.linearGain = 0;
  s.pressureSensor = false;
}

// The EHF band, an E-series serial number, three packs, a transmitter and a DAS.
void MakeEhf(SimUnitState& s) {
  s.typeNo = "7830";
  s.band = "EHF";
  s.tdrType = "Hemi";
  s.unitId = 0x0C3A91;
  s.serialNumber = 1000000123;
  s.serialSuffix = 45;
  s.endcapSerial = "EC-20417";
  s.battery1 = {"B-71001", "7830-410", "A"};
  s.battery2 = {"B-71002", "7830-410", "A"};
  s.battery3 = {"B-71003", "7830-410", "A"};
  s.daughterCard = {};
  s.daughterCardFirmware.clear();
  s.transmitter = {"TX-30118", "7830-300", "B"};
  s.dasId = "DAS-9120";
  s.sensorsFitted = 0x0045;
  s.functionLevel = 0x04;
  s.address = 5;
  s.channel = 3;
  s.hprMs = 5;
  s.hprLs = 1;
  s.enabled = "DDE";
  s.replyChannel = 16;
  s.interrogateChannel = 15;
  s.tatMs = 20.0;
  s.block = 2;
  s.powerL = 2;
  s.powerU = 2;
  s.powerJ = 2;
  s.batteryStacks = 3;
  s.batteryCount = 240;
  s.batteryVolts = 21.8;
  s.batteryWarning = true;
  s.widebandEnabled = 0;
  s.daughterCardFitted = 0;
  s.detectThreshold = 0;
  s.linearGain = 0;
  s.externalSync = 1;
  s.pressureOffset = -0.210;
  s.pressureRange = 3000.0;
  s.pressureAccuracy = 0.3;
}

// Old firmware: a type line of one value, "T7Max", no serial status record, two enable letters.
void MakeOldFirmware(SimUnitState& s) {
  s.typeNo = "7805";
  s.tdrType = "Omni";
  s.typeLineHoldsBandAndTdr = false;
  s.unitId = 0x00F1A7;
  s.serialNumber = 877;
  s.serialSuffix = 2;
  s.endcapSerial = "EC-00412";
  s.battery1 = {"B-10233", "7805-400", "A"};
  s.battery2 = {"B-10234", "7805-400", "A"};
  s.daughterCard = {};
  s.daughterCardFirmware.clear();
  s.daughterCardLabel = "DCard";
  s.firmwareLabel = "T7Max";
  s.mainFirmware = "V2.05 03/11/2009";
  s.dasFirmware = "V0.91";
  s.knowsSerialStatus = false;
  s.reportsBlockIndex = false;
  s.sensorsFitted = 0x0001;
  s.functionLevel = 0x08;
  s.address = 1;
  s.channel = 1;
  s.hprMs = 1;
  s.hprLs = 1;
  s.enabled = "ED";
  s.replyChannel = 15;
  s.interrogateChannel = 16;
  s.tatMs = 12.5;
  s.batteryType = "Alkaline";
  s.batteryStacks = 2;
  s.batteryCount = 151;
  s.batteryVolts = 8.9;
  s.batteryOverride = true;
  s.widebandEnabled = 0;
  s.daughterCardFitted = 0;
  s.pressureSensor = false;
}

}  // namespace

void ApplyStatusProfile(SimUnit& unit, SimProfile profile) {
  SimUnitState& s = unit.state;
  const SimUnitState defaults;
  // Start every profile from the wideband unit with a daughter card; keep the clock and
  // whatever other subsystems keep.
  ResetIdentity(s, defaults);
  ResetSettings(s, defaults);
  switch (profile) {
    case SimProfile::WidebandWithDaughterCard: break;
    case SimProfile::ToneOnly: MakeToneOnly(s); break;
    case SimProfile::Ehf: MakeEhf(s); break;
    case SimProfile::OldFirmware: MakeOldFirmware(s); break;
  }
}
