// What the simulated unit keeps about itself. Each subsystem's commands read and change it,
// and the status replies are written from it.
#pragma once
#include <cstdint>
#include <string>

struct SimUnitState {
  // Real-time clock, as last set (text the unit shows).
  std::string clockText = "12:00:00 01/01/26";
};
