// The two main-window actions that configure a unit through the settings dialogs: "Quick set"
// (read the unit, choose in the quickset or advanced dialog, update, read back, verify with
// retries, then leave the unit enabled or disable it) and "Set address and channels" (the
// address dialog, then an update). Toolkit-free: the dialogs run through the transponder's
// operator, and what the actions need of the main window comes in through IMainWindow.
#pragma once
#include <string>

#include <cstdint>

#include "platform/main_window.h"
#include "platform/outcome.h"

class CTransponder;

// The header flag of the main window's ShowReply: with a header the reply text stands above the
// status report (and is the whole pane when raw replies are shown); without, only the report.
// Every non-zero flag acts as kReplyHeader; "Enter DAS calibration" passes its own value, which
// the window keeps as the last header flag.
inline constexpr uint8_t kNoReplyHeader = 0;
inline constexpr uint8_t kReplyHeader = 1;
inline constexpr uint8_t kReplyHeaderDasCalibration = 255;

// Texts of the quick set's message boxes.
namespace quickset_text {
inline constexpr const char* kCaption = "Quickset";
inline constexpr const char* kRecoveryCaption = "Status recovery";
inline constexpr const char* kAborted = "Quickset aborted\r\n";
inline constexpr const char* kRecoveryFault = "Status recovery fault\r\n";
inline constexpr const char* kUncertain = "Unit status uncertain!!";
inline constexpr const char* kSetCorrectly = "Unit set correctly";
inline constexpr const char* kNotSetCorrectly = "Unit NOT set correctly\r\n";
inline constexpr const char* kRetry = "\r\nRetry?";
inline constexpr const char* kEnableOrDisable = "Enable Unit (Yes)\r\nor\r\nDisable unit to save battery power (No)";
}  // namespace quickset_text

// "Quick set" (button 1092). Done when the unit was read back and found set as chosen;
// Refused with the differences (or why it could not be read back); Declined when no settings
// were chosen.
Outcome RunQuickset(CTransponder& unit, IMainWindow& window);

// "Set address and channels" (button 1043). Declined when the dialog changed nothing.
Outcome RunSetAddressAndChannels(CTransponder& unit, IMainWindow& window);
