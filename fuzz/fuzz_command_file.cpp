// Command files: arbitrary bytes read as a "*.T7d" file into the six button entries, each line
// checked against the rules written out plainly here: the caption up to the first '^', the
// command from there to its terminator (a second '^', or any byte below 32 or above 127), then
// an optional '-' and up to three digits of time-out (3 without digits).
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "ui/command_file.h"

namespace {

struct Expected {
  std::string caption, command;
  int timeout = 3;
};

// The rules for one line as read (newline included when it had one), as plainly as they read.
Expected Rules(std::string_view line) {
  Expected e;
  line = line.substr(0, line.find('\0'));  // the line is a C text
  const size_t caret = line.find('^');
  if (caret == std::string_view::npos) return e;
  e.caption = std::string(line.substr(0, std::min<size_t>(caret, 49)));
  size_t end = caret + 1;
  auto ends = [](unsigned char c) { return c < 32 || c > 127 || c == '^'; };
  while (end < line.size() && !ends(static_cast<unsigned char>(line[end]))) ++end;
  if (end >= line.size()) return e;  // ran to the end of the text: no command
  e.command = std::string(line.substr(caret + 1, std::min<size_t>(end - caret - 1, 199)));
  const bool negative = end + 1 < line.size() && line[end + 1] == '-';
  size_t i = end + 1 + negative;
  int digits = 0, value = 0;
  while (i < line.size() && digits < 3 && line[i] >= '0' && line[i] <= '9')
    value = value * 10 + (line[i++] - '0'), ++digits;
  e.timeout = (digits ? value : 3) * (negative ? -1 : 1);
  return e;
}

void Compare(const CommandEntry& got, std::string_view line) {
  const Expected want = Rules(line);
  fuzz::Expect(got.caption.view() == want.caption, "the caption follows the rules", line);
  fuzz::Expect(got.command.view() == want.command, "the command follows the rules", line);
  fuzz::Expect(got.timeout == want.timeout, "the time-out follows the rules", line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The file as the load reads it: lines of at most 249 characters, the rest of a longer line
  // counting as the next one.
  std::vector<std::string> lines;
  for (size_t at = 0; at < bytes.size() && lines.size() < kCommandButtons;) {
    const size_t last = std::min({bytes.find('\n', at), bytes.size() - 1, at + kCommandLineMax - 1});
    lines.push_back(bytes.substr(at, last - at + 1));
    at = last + 1;
  }

  CommandEntry entries[kCommandButtons];
  for (auto& e : entries) e.caption = "untouched";
  // An empty file: no file at all.
  std::FILE* file = size ? fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r") : nullptr;
  const int read = ReadCommandFile(file, entries);
  if (file) std::fclose(file);
  fuzz::Expect(read == static_cast<int>(lines.size()), "one entry per line read");
  for (int i = 0; i < read; ++i) Compare(entries[i], lines[static_cast<size_t>(i)]);
  for (int i = read; i < kCommandButtons; ++i)
    fuzz::Expect(entries[i].caption == "untouched", "the buttons past the file's end keep their entries");
  for (const std::string& line : lines) Compare(ParseCommandLine(line.c_str()), line);
  return 0;
}
