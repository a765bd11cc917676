// The bench tests: the acoustic check against a test transponder in the tank, the hardware self
// test, the release check and the set-up as test transponder; and their rules that need no unit
// (the wideband selection codes of the test transponder's address and channel, the tone reply
// rule, the test-transponder settings and the text of the test-transponder file).
#pragma once
#include <string>

#include "commands/setup_commands.h"
#include "commands/test_transponder.h"
#include "platform/fixed_text.h"
#include "platform/paths.h"
#include "records/status_files.h"
#include "serial/unit_link.h"
#include "status/status_reader.h"
#include "status/status_state.h"
#include "status/unit_status.h"

// The selection code of the test transponder's address (1..15 or 33..47): the address modulo
// 16, plus 8 from 8 on (1..7 give 1..7, 8..15 give 16..23, 33..39 give 1..7, 40..47 16..23).
int WidebandAddressCode(int address);
// The selection code of its channel: the channel plus 7 below 9, else plus 15 (1..8 give
// 8..15, 9..14 give 24..29).
int WidebandChannelCode(int channel);

// The tone check heard a reply when, in the value after "0x" of the "#GCMD,8" reply, any of
// the 4th to 9th characters (those the value has) is not '0'.
bool ToneReplyHeard(const char* reply);

// Wideband: enable status "DWD" and TAT 250 ms; tone: "EDD", TAT 250 ms, interrogate on 1 and
// reply on the common reply channel 15.
void ApplyTestTransponderSettings(UnitStatus& status, bool wideband);

// The sixteen lines of the test-transponder file, each "\n"-ended.
std::string TestTransponderFileText(const TestTransponderInfo& info);

// A number with a fixed count of decimals and a point, whatever the locale.
std::string FixedDecimals(double value, int decimals);

// What follows the reply of a self test or release test that got no complete reply; the
// result and time of the last real test are kept.
inline constexpr const char* kSelfTestNotAnswered =
    "\r\nNo complete reply from the unit: self test result not recorded\r\n";
inline constexpr const char* kReleaseNotAnswered =
    "\r\nNo complete reply from the unit: release test result not recorded\r\n";

// What the bench tests need of the update engine, which is kept a layer above (update/): the
// required record loaded from the new-status file, and the unit brought to it.
class RequiredStatusUpdate {
 public:
  virtual ~RequiredStatusUpdate() = default;
  virtual bool LoadRequiredStatus(int32_t unitId) = 0;
  virtual void UpdateStatus(TextSpan replyText) = 0;
};

class BenchTests : public UnitPart {
 public:
  BenchTests(UnitLink& unitLink, StatusState& unitStatus, const DataPaths& dataPaths, StatusReader& statusReader,
             StatusFiles& statusFiles, SetupCommands& setupCommands, RequiredStatusUpdate& statusUpdate)
      : UnitPart(unitLink),
        status(unitStatus),
        paths(dataPaths),
        reader(statusReader),
        files(statusFiles),
        setup(setupCommands),
        update(statusUpdate) {}

  void AcousticCheck(TextSpan text, bool wideband, int testAddress, int testChannel);
  // Both return whether the unit answered the test (its result is then in currentChecks).
  bool HardwareSelfCheck(TextSpan text, bool readStatusFirst);
  bool ReleaseCheck(TextSpan text, bool readStatusFirst);
  bool SetAsTestTransponder(TextSpan text, bool wideband);
  bool WidebandAvailable();
  void RecordTestTransponder();
  void WriteTestTransponderFile();

  CommandsState commands;  // the unit last set up as test transponder
  StatusState& status;
  const DataPaths& paths;
  StatusReader& reader;
  StatusFiles& files;
  SetupCommands& setup;
  RequiredStatusUpdate& update;
};
