#include "ui/main_controls.h"

namespace {
using K = ControlKind;
using S = Shown;
const ControlSpec kControls[] = {
    {ctl::kPane, "Replies", 20, 15, 220, 264, S::Start, K::Pane},
    {ctl::kProgress, "Program load progress", 20, 285, 220, 14, S::Hidden, K::Progress},
    {ctl::kQuickSet, "Quick set", 250, 15, 270, 21, S::Start, K::Button},
    {ctl::kGeneralStatus, "General Status", 320, 41, 125, 14, S::Start, K::Button},
    {ctl::kTestReport, "Produce test report", 250, 60, 125, 14, S::Unit, K::Button},
    {ctl::kSetAddress, "Set address and channels", 395, 60, 125, 14, S::Unit, K::Button},
    {ctl::kReadSensors, "Read Sensors", 250, 80, 125, 14, S::Unit, K::Button},
    {ctl::kInitialise, "Initialise transponder", 395, 80, 125, 14, S::Unit, K::Button},
    {ctl::kSetTime, "Set time", 250, 100, 125, 14, S::Unit, K::Button},
    {ctl::kReset, "Reset (Comms break)", 250, 120, 125, 14, S::Unit, K::Button},
    {ctl::kFactoryDefaults, "Install Factory Defaults", 395, 120, 125, 14, S::Unit, K::Button},
    {ctl::kSetDepth, "Set depth reading to zero", 250, 140, 125, 14, S::Unit, K::Button},
    {ctl::kAcousticCheck, "Acoustic check", 395, 140, 125, 14, S::Unit, K::Button},
    {ctl::kHardwareSelfTest, "Hardware self test", 250, 160, 125, 14, S::Unit, K::Button},
    {ctl::kSetAsTestTransponder, "Set as test transponder", 395, 160, 125, 14, S::Unit, K::Button},
    {ctl::kReleaseTest, "Release test", 250, 180, 125, 14, S::Unit, K::Button},
    {ctl::kEnable, "Enable Transponder", 395, 180, 125, 14, S::Unit, K::Button},
    {ctl::kDasCalibration, "Enter DAS calibration", 250, 200, 125, 14, S::Unit, K::Button},
    {ctl::kSetSerialNumber, "Set Serial Number", 395, 200, 125, 14, S::Hidden, K::Button},
    {ctl::kSynchOut, "Synch Out test", 250, 220, 125, 14, S::Hidden, K::Button},
    {ctl::kSynchIn, "Enable Synch In", 395, 220, 125, 14, S::Hidden, K::Button},
    {ctl::kCommand1, "Command 1", 250, 240, 125, 14, S::Commands, K::Button},
    {ctl::kCommand2, "Command 2", 395, 240, 125, 14, S::Commands, K::Button},
    {ctl::kCommand3, "Command 3", 250, 260, 125, 14, S::Commands, K::Button},
    {ctl::kCommand4, "Command 4", 395, 260, 125, 14, S::Commands, K::Button},
    {ctl::kCommand5, "Command 5", 250, 280, 125, 14, S::Commands, K::Button},
    {ctl::kCommand6, "Command 6", 395, 280, 125, 14, S::Commands, K::Button},
    {ctl::kGetFileStatus, "Get file status", 250, 300, 125, 14, S::Hidden, K::Button},
    {ctl::kSetNewStatus, "Set new status", 395, 300, 125, 14, S::Hidden, K::Button},
    {ctl::kManualCommand, "Manual command", 7, 300, 69, 14, S::Hidden, K::Button},
    {ctl::kRawReplies, "Display raw replies", 113, 304, 74, 10, S::Hidden, K::CheckBox},
    {ctl::kExportStatus, "Export status", 189, 300, 50, 13, S::Hidden, K::Button},
    {ctl::kManualText, "Manual text", 7, 325, 78, 14, S::Hidden, K::Edit},
    {ctl::kBootload, "Bootload new program", 250, 325, 80, 14, S::Start, K::Button},
    {ctl::kLoadCommands, "Load test commands", 351, 325, 80, 14, S::Start, K::Button},
    {ctl::kExit, "Exit", 440, 325, 80, 14, S::Start, K::Button},
};
}  // namespace

std::span<const ControlSpec> MainControls() { return kControls; }

const ControlSpec* FindControl(int id) {
  for (const auto& c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}

int CommandIndexOf(int id) {
  for (int i = 0; i < 6; ++i)
    if (ctl::kCommandButtons[i] == id) return i;
  return -1;
}
