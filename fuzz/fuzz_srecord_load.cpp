// A program load from an arbitrary program file against a bootloader that answers arbitrary
// bytes: the file's lines are read and checked record by record (NextRecord), each record goes
// over the port into the 52-character load buffer, the bootloader's reply comes back into the
// same buffer and is judged, the operator answers the error prompts, and the trailer is made
// from the pages. Then the finish (exit, comms-break restart, defaults, initialise). The check
// of the whole file made before a load agrees with the load: a file it passes loads whole when
// the bootloader accepts every record and the operator goes on after each question, and a
// load that ends whole was of a file it passes (or whose fault lies past the end record, which
// no load reads).
//
// Input: one byte of the operator's answers to the error prompts (bit i: the i-th prompt, Yes
// when set; cycled), then pieces separated by two 0xFF bytes: the program file, then the
// bootloader's replies, one per write; when they run out every write is answered "OK".
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/srecord_image.h"
#include "fuzz_support.h"

namespace {
bool Terminated(const char* text, size_t capacity) { return strnlen(text, capacity) < capacity; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t answers = data[0];
  std::vector<std::string> pieces = fuzz::Split(data + 1, size - 1, 4096);
  const std::filesystem::path program = fuzz::Root().path / "program.a07";
  std::ofstream(program, std::ios::binary) << pieces[0];

  fuzz::Bench b;
  b.line.replies.assign(pieces.begin() + 1, pieces.end());
  b.line.afterLast = "OK\r\n";
  CTransponder& unit = b.unit;

  const ProgramFileCheck check = CSRecordImage::CheckFile(program.string());
  CSRecordImage& image = unit.ProgramImage();
  image.path = program.string();
  fuzz::Expect(image.Open(), "the program file opens");
  unit.firmware.loadBuffer[0] = '\0';

  char message[200] = {};
  int prompts = 0;
  int r = 0;
  // Each step reads at most one line or makes one trailer record; an operator who always goes
  // on against a bootloader that refuses every record would loop, so the operator gives up
  // after sixteen prompts, and the steps are bounded by the longest file a fuzzer makes.
  for (int step = 0; step < 5000; ++step) {
    r = unit.ContinueLoad(message, 0);
    fuzz::Expect(Terminated(unit.firmware.loadBuffer, sizeof unit.firmware.loadBuffer),
                 "the load buffer stays terminated");
    if (r > 0) fuzz::Expect(r <= 100, "progress is a percentage");
    if (r < 0) {
      fuzz::Expect(Terminated(message, sizeof message) && message[0] != '\0', "an error is put in words");
      fuzz::Expect(r >= -16, "error numbers are the bootloader's or the terminal's");
      // After sixteen prompts the operator gives up.
      const bool yes = prompts < 16 && ((answers >> (prompts % 8)) & 1);
      ++prompts;
      if (!yes) {
        unit.ContinueLoad(message, -1);  // the load is abandoned
        break;
      }
      r = unit.ContinueLoad(message, 1);
      fuzz::Expect(Terminated(unit.firmware.loadBuffer, sizeof unit.firmware.loadBuffer),
                   "the load buffer stays terminated");
    }
    if (r <= 0) break;
  }
  fuzz::Expect(image.trailerStep <= 9, "the trailer has nine records at most");
  fuzz::Expect(image.dataAcknowledged <= image.dataRecords, "no data record is acknowledged twice");
  const bool whole = r == 0 && image.dataAcknowledged == image.dataRecords;
  if (whole)
    fuzz::Expect(check.ok || check.text == CSRecordImage::kDataAfterEndText,
                 "a load that ends whole is of a file the check passes", check.text);
  if (check.ok && pieces.size() == 1 && answers == 0xFF && check.questions < 16)
    fuzz::Expect(whole, "a file the check passes loads whole when every record is accepted");
  unit.FinishLoad();
  fuzz::Expect(!image.isOpen, "the program file is closed after the load");
  return 0;
}
