// The simulated unit's bench-test commands: the hardware self test "#CKHW", the release test
// "#RTST", the tone acoustic query "#GCMD,8", the interrogation report after the channel
// selection between "#ENDB,16" and "#DSDB,16" (one CR-ended line with "R:" or "t/o"), the end
// of the reports "#DSDB,16", and the far end of the status export
// (lines that are not commands: "Export" is answered with "Reply", each piece with "OK",
// "END" ends it). The switches are in SimUnitState::tests.
#pragma once
#include <optional>
#include <string>

#include "sim/sim_unit.h"

void InstallTestCommands(SimUnit& unit);

// The lone "#GCMD" commands of the bench tests; nothing for any other, so that the owner of
// the "#GCMD" pairs can hand these over. "#GCMD,8" is the tone acoustic query ("Tone detect
// 0x<value>"). While the interrogation reports are on ("#ENDB,16" received and no "#DSDB,16"
// since), a lone "#GCMD" selects the test transponder's channel and fires the interrogation:
// the unit answers at once and reports the interrogation a while later as one CR-ended line
// ("R: ..." or "t/o").
std::optional<SimUnit::Reply> TestGcmdCommand(SimUnit& unit, const std::string& args);

// True between "#ENDB,16" and the next "#DSDB,16".
bool InterrogationReportsOn(const SimUnit& unit);

// A device of its own at the far end of a line, in place of the unit while it lives: it
// answers the export as the unit's stand-in does and keeps every piece exactly as it came,
// whatever characters it holds. Its switches and what it received are in state.
class SimExportDevice : public SimFarEnd {
 public:
  explicit SimExportDevice(SimLine& line);
  ~SimExportDevice() override;
  SimExportDevice(const SimExportDevice&) = delete;
  SimExportDevice& operator=(const SimExportDevice&) = delete;

  uint32_t Baud() const override { return 9600; }
  void OnByte(SimLine& line, uint8_t b, uint64_t atUs) override;
  void OnBreak(SimLine&, uint64_t, uint64_t) override {}

  SimUnitState::Tests state;

 private:
  SimLine& line_;
  SimFarEnd* previous_;
  std::string pending_;
};

// The line the unit reports for an interrogation with its current switches (without its CR);
// empty when it reports nothing.
std::string InterrogationReportLine(const SimUnitState& state);
// The value after "0x" of the tone acoustic query with the current switches.
std::string ToneDetectValue(const SimUnitState& state);
