// What the simulated unit keeps about itself. Each subsystem's commands read and change it,
// and the status replies are written from it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SimUnitState {
  // Real-time clock, as last set (text the unit shows).
  std::string clockText = "12:00:00 01/01/26";

  // ---- update: the settings commands "#STAD", "#ESSI", "#DSSI" and the "#GCMD" pairs ----
  struct Settings {
    // A "#GCMD" parameter command received and waiting for its selection code (0: none).
    int32_t pendingParameter = 0;
    // Fault: the unit answers as usual but ignores this parameter, named like the terminal's
    // status field ("Address" for the whole "#STAD", "RxGain", "CPA", "CPU", "CPT", "CPS",
    // "CPL", "CPJ", "CWTIndex", "CWRIndex", "CWCIndex", "CIFReplyCHannel", "AltCIFChannel",
    // "IIFChannel", "FEEnabled", "Tat", "ExternalSync", "CPD", "Enabled"); empty: none.
    std::string ignored;
    // Every setting the unit took, "RxGain=3" and the like, in order.
    std::vector<std::string> taken;
  } settings;
};
