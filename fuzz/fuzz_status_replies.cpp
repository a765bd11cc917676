// The whole status read from arbitrary reply bytes: the five readers of GetStatus ("#HWST",
// "#TPST", "#FVFV", "#INFO", "#STTX"), then the sensor read ("#RDSE"), over the real port and
// exchange code against a line whose far end answers each write with the next piece of the
// input. Then the status report of what was read, and the save of the unit's entry: the
// current-status file must come out sound and hold the unit, whatever the unit sent.
//
// Input: one byte of line faults, then the replies separated by two 0xFF bytes, one per write
// the terminal makes (the comms-check probes, the commands, the readiness probes and the
// bootloader check take their turns).
#include <cstring>

#include "fuzz_support.h"
#include "platform/text_encoding.h"
#include "records/status_xml.h"
#include "status/status_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t faults = data[0];
  fuzz::Root().Reset();
  fuzz::Bench b;
  CTransponder& unit = b.unit;
  b.line.replies = fuzz::Split(data + 1, size - 1);
  // Low bits: a device that vanishes after 1 to 15 writes; next: reads that fail now and then.
  if (faults & 0x80) b.line.vanishAfterWrites = faults & 0x0F;
  if (faults & 0x40) b.line.failEveryRead = 1 + ((faults >> 4) & 3) * 7;

  char output[CTransponder::kReplyTextSize];
  unit.GetStatus("General status", output, true);
  fuzz::Expect(std::strlen(output) < sizeof output, "the status output stays in its buffer");
  unit.ReadSensors(output);
  fuzz::Expect(std::strlen(output) < sizeof output, "the sensor reply stays in its buffer");

  const std::string report = StatusReportText(unit.status.currentStatus);
  fuzz::Expect(report.size() < 64 * 1024, "the status report stays a report", report.substr(0, 200));

  // The entry GetStatus saved: a unit's reply, however odd, must never leave the file damaged.
  unit.SaveCurrentEntry();
  if (unit.status.currentStatus.UnitId != -1) {
    CStatusXml check;
    const CStatusXml::LoadResult loaded = check.Load(fuzz::Root().StatusDir() / "Current-Status.xml");
    fuzz::Expect(loaded.outcome == CStatusXml::LoadOutcome::Loaded, "the saved status file reads back sound",
                 loaded.reason);
    const std::string id = std::to_string(unit.status.currentStatus.UnitId);
    const StatusEntry entry = check.ReadUnit(id);
    fuzz::Expect(entry.status.UnitId == unit.status.currentStatus.UnitId, "the saved unit reads back", id);
    fuzz::Expect(entry.status.SerialNo == unit.status.currentStatus.SerialNo, "the serial number reads back",
                 unit.status.currentStatus.SerialNo.view());
    // As the file keeps it: UTF-8 on the way in, control bytes other than TAB, CR and LF left out.
    const std::string kept =
        text_encoding::Utf8ToCp1252(text_encoding::Cp1252ToUtf8(unit.status.currentStatus.String1.view(), true));
    fuzz::Expect(entry.status.String1.view() == kept, "the serial status text reads back",
                 unit.status.currentStatus.String1.view());
  }
  return 0;
}
