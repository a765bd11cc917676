// The state that firmware/ keeps for a program load: the load buffer and the program image.
#pragma once
#include <memory>

class CSRecordImage;

struct FirmwareState {
  // The load buffer in which the record and the bootloader's reply take turns.
  char loadBuffer[52] = {};
  // Made on first use (CTransponder::ProgramImage); a shared_ptr because its type is complete
  // only in firmware/.
  std::shared_ptr<CSRecordImage> programImage;
};
