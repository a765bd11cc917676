// The state that firmware/ keeps for a program load: the load buffer and the program image.
#pragma once
#include <memory>

class CSRecordImage;

struct FirmwareState {
  // The load buffer in which the record and the bootloader's reply take turns.
  char loadBuffer[52] = {};
  // File lines of the current load that went to the unit at least once, and the number of the
  // line sent last. The end record counts once the trailer that stands for it is all accepted,
  // so a load that leaves any line unsent ends with fewer lines sent than read.
  int recordsSent = 0;
  int lastLineSent = 0;
  // Made on first use (CTransponder::ProgramImage); a shared_ptr because its type is complete
  // only in firmware/.
  std::shared_ptr<CSRecordImage> programImage;
};
