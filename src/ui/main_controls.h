// The controls of the main window: ids, texts, places in dialog units and when each is shown.
// "Start" controls are visible from start-up; "Unit" ones appear with the first "General
// Status"; "Commands" ones when a command file gives them an entry; "Hidden" ones never show.
#pragma once
#include <cstddef>
#include <span>

namespace ctl {
constexpr int kExit = 1000;
constexpr int kPane = 1001;
constexpr int kBootload = 1003;
constexpr int kProgress = 1021;
constexpr int kLoadCommands = 1022;
constexpr int kCommand1 = 1023;
constexpr int kCommand3 = 1025;
constexpr int kSetTime = 1027;
constexpr int kCommand5 = 1028;
constexpr int kCommand2 = 1034;
constexpr int kCommand6 = 1035;
constexpr int kCommand4 = 1036;
constexpr int kGeneralStatus = 1042;
constexpr int kSetAddress = 1043;
constexpr int kDasCalibration = 1063;
constexpr int kSetDepth = 1064;
constexpr int kReset = 1068;
constexpr int kManualCommand = 1069;
constexpr int kSetNewStatus = 1070;
constexpr int kGetFileStatus = 1071;
constexpr int kAcousticCheck = 1072;
constexpr int kHardwareSelfTest = 1073;
constexpr int kSetAsTestTransponder = 1074;
constexpr int kRawReplies = 1077;
constexpr int kInitialise = 1079;
constexpr int kReadSensors = 1080;
constexpr int kEnable = 1081;
constexpr int kReleaseTest = 1082;
constexpr int kFactoryDefaults = 1083;
constexpr int kSetSerialNumber = 1084;
constexpr int kSynchOut = 1085;
constexpr int kSynchIn = 1086;
constexpr int kTestReport = 1087;
constexpr int kExportStatus = 1088;
constexpr int kManualText = 1089;
constexpr int kQuickSet = 1092;

// The six command buttons, by index 0 to 5.
constexpr int kCommandButtons[6] = {kCommand1, kCommand2, kCommand3, kCommand4, kCommand5, kCommand6};
}  // namespace ctl

enum class ControlKind { Button, CheckBox, Edit, Pane, Progress };
enum class Shown { Start, Unit, Commands, Hidden };

struct ControlSpec {
  int id;
  const char* text;  // the caption; for the pane, edit box and progress bar the accessible name
  int x, y, w, h;    // dialog units
  Shown shown;
  ControlKind kind;
};

// Every control of the main window, in tab order.
std::span<const ControlSpec> MainControls();
// The control with this id, or null.
const ControlSpec* FindControl(int id);
// Index of a command button id (0 to 5), or -1.
int CommandIndexOf(int id);

// The main window's size in dialog units.
constexpr int kMainWindowWidthDu = 527;
constexpr int kMainWindowHeightDu = 350;
