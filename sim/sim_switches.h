// Fault switches for the simulated unit of --simulate, named on the command line
// (--simulate=silent,self-test-fail). They exist for the tests that drive the programs as
// processes; an operator has no use for them.
#pragma once
#include <string>
#include <string_view>

class SimUnit;

struct SimSwitches {
  bool virtualTime = false;  // "fast": the simulated bench runs in virtual time
  std::string error;         // the first switch that was not understood
};

// Applies a comma-separated list of switches to the unit:
//   silent           the application answers nothing (a break still reaches the bootloader)
//   dead             nothing answers at all
//   stuck-boot       the unit does not leave its bootloader
//   no-lf            replies lack their final LF
//   garbage          replies are noise
//   slow             every reply comes 2 s late
//   self-test-fail   "#CKHW" reports error 4
//   release-fail     "#RTST" reports E:3
//   ignore=FIELD     the unit takes every setting but FIELD (RxGain, CPA, Address, ...)
//   mute=CODE        the unit never answers the command CODE (TPST, FVFV, ...)
//   fast             virtual time: the whole run takes no real time
// Returns false (error set) for a switch it does not know; the earlier ones stay applied.
bool ApplySimSwitches(SimUnit& unit, std::string_view list, SimSwitches& out);

// Whether the list asks for virtual time ("fast"); read before the bench is built.
bool SimSwitchesWantVirtualTime(std::string_view list);
