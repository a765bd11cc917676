// The main window's "Bootload new program" action, free of any toolkit: the file choice, the
// load with its progress bar and per-record error prompt, and the closing report.
#pragma once
#include <string>

class CTransponder;

// Runs the whole action on the unit's operator. Call it after pulling the window's fields:
// it empties paneText first. Returns true when a load ran; paneText then holds the closing
// report ("Programming complete" with the times, or "Programming error!!") and the window
// pushes it. Returns false when it stopped before loading (no file chosen, the unit did not
// reach its bootloader); the operator has been told in a box and paneText stays empty.
// programmed, when given, is set to whether the load completed and the unit came back.
bool BootloadNewProgram(CTransponder& unit, std::string& paneText, bool* programmed = nullptr);
