// The unit's single-purpose set-up commands: its clock, the depth-reading zero, its serial
// number, calibration mode for the data-acquisition board, initialise, enable, factory
// defaults, the synch tests, the two mode commands and disable.
#pragma once
#include "platform/date_time.h"
#include "platform/fixed_text.h"
#include "records/status_files.h"
#include "serial/unit_link.h"
#include "status/status_reader.h"
#include "status/status_state.h"

class SetupCommands : public UnitPart {
 public:
  SetupCommands(UnitLink& unitLink, StatusState& unitStatus, StatusReader& statusReader, StatusFiles& statusFiles)
      : UnitPart(unitLink), status(unitStatus), reader(statusReader), files(statusFiles) {}

  bool SetClock(const DateTime& when, TextSpan reply);
  bool SetDepthOffset(int pressureMillibars, TextSpan reply);
  bool SetSerialNumber(const char* entered, TextSpan reply);
  void EnterDasCalibration(TextSpan reply);
  void InitialiseUnit(TextSpan reply);
  void EnableUnit(TextSpan reply);
  void InstallFactoryDefaults(TextSpan reply);
  void TestSynchOut(TextSpan reply);
  void EnableSynchIn(TextSpan reply);
  // "#GCMD,4" and "#GCMD,3", each followed by a second's pause whatever the reply.
  bool SendGcmd4(TextSpan reply);
  bool SendGcmd3(TextSpan reply);
  void DisableUnit();

  StatusState& status;
  StatusReader& reader;
  StatusFiles& files;
};
