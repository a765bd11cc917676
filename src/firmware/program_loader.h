// Loading a new program into the unit through its bootloader: the rate switch, the start, one
// record at a time from the program image, and the finish.
#pragma once
#include "firmware/firmware_state.h"
#include "platform/fixed_text.h"
#include "serial/unit_link.h"

class CSRecordImage;

class ProgramLoader : public UnitPart {
 public:
  explicit ProgramLoader(UnitLink& unitLink) : UnitPart(unitLink) {}

  bool SetBootBaud(int baud);
  bool RestartAfterLoad();
  // 0 when the unit waits at its bootloader for the first record; 2 the port would not open or
  // the watchdog restart failed, 3 no bootloader prompt.
  int StartLoad(const char* path);
  // mode 0 sends the next record, 1 sends the refused one again, -1 gives up on it. The percent
  // loaded (1 to 100), 0 when the image is finished, or minus the image's error code.
  int ContinueLoad(TextSpan message, int mode);
  // Returns whether the unit came back from its bootloader after the load.
  bool FinishLoad();
  // The program image that the load reads from; one for the loader's whole life.
  CSRecordImage& ProgramImage();

  FirmwareState firmware;
};
