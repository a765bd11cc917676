// The state of the line to the unit that serial/ keeps. The exchange, the recovery and the busy
// window's calls write it; the other subsystems read it (and the command files set the time-out).
#pragma once
#include <cstdint>

struct SerialState {
  // The busy window is shown (ShowBusy until HideBusy).
  bool busyShown = false;
  // The unit was last seen at its bootloader prompt.
  bool inBootMode = false;
  // A reply time-out in whole seconds that replaces the command's own; 0 for none.
  int32_t timeoutOverride = 0;
};
