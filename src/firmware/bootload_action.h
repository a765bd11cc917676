// The main window's "Bootload new program" action, free of any toolkit: the file choice, the
// check of the whole file, the load with its progress bar and per-record error prompt, and the
// closing report.
#pragma once
#include <string>

#include "firmware/srecord_image.h"
#include "platform/outcome.h"

class ProgramLoader;

// The action as its button names it.
inline constexpr const char* kBootloadAction = "Bootload new program";

// Runs the whole action on the unit's operator. When a load ran, the outcome's pane holds the
// closing report ("Programming complete" with the times, or "Programming error!!") for the
// window to show; the outcome is Done when every line that carries part of the program was
// sent and accepted and the unit came back, Refused otherwise (blank lines and count records
// that the operator passed over carry none). It stops before loading, the pane empty and the
// operator told in a box, when no file was chosen (Declined), when the file will not open or
// fails its check (BadFile: nothing has been sent to the unit; reason "line N: <error text>"),
// or when the unit did not reach its bootloader (NoUnit).
Outcome BootloadNewProgram(ProgramLoader& unit);

// What the operator is told of a program file that failed its check: the error's text, the
// line and file, and that nothing was sent.
std::string ProgramFileRefusal(const ProgramFileCheck& check, const std::string& file);
