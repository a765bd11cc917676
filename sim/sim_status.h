// The simulated unit's status replies ("#HWST", "#TPST", "#FVFV", "#INFO", "#STTX", "#RDSE"),
// written from its SimUnitState as the unit's firmware writes them, and a few unit profiles.
#pragma once
#include <string>

#include "sim/sim_unit.h"

// Teaches the unit its status commands.
void InstallStatusCommands(SimUnit& unit);

enum class SimProfile {
  WidebandWithDaughterCard,  // wideband ranging, daughter card, reply IRS
  ToneOnly,                  // tone signalling, no daughter card, alkaline battery
  Ehf,                       // EHF band, E-series serial number, three packs, HPR interrogation
  OldFirmware,               // type line of one value, "T7Max", no "#STTX", two enable letters
};

// Sets the unit's identity, firmware, settings, battery and sensors to a profile.
void ApplyStatusProfile(SimUnit& unit, SimProfile profile);

// The reply lines (without the echo) the unit gives to each command, from its state.
std::vector<std::string> HardwareStatusLines(const SimUnitState& s);
std::vector<std::string> TransponderStatusLines(const SimUnitState& s);
std::vector<std::string> FirmwareVersionLines(const SimUnitState& s);
std::vector<std::string> UnitInformationLines(const SimUnitState& s);
std::string SerialStatusRecord(const SimUnitState& s);
std::vector<std::string> SensorLines(const SimUnitState& s);
