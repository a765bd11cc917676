// The export of the current-status file over the serial line to the device connected there:
// "Export" (answered with "Reply"), then the file cut before every "<", each piece answered,
// then "END".
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ExportStatus's outcome codes.
enum ExportOutcome : int {
  kExportDone = 0,
  kExportNoAnswer = 1,     // the device did not answer in time
  kExportNoReplyWord = 2,  // its answer to "Export" lacked "Reply"
  kExportFileFailed = 3,   // the current-status file would not open
  kExportPortFailed = 4,   // the serial port would not open
  kExportDeclined = 5,     // the operator declined the transfer time
};

// Seconds the operator is told the transfer takes: size x 2.5e-6 x 289.0.
double ExportTransferSeconds(uint64_t fileBytes);
// Above this the operator is asked whether to go on.
inline constexpr double kExportAskAboveSeconds = 20.0;

// The longest piece that goes out as one line: the port formats a line and its CR LF into a
// buffer of 1000 characters. A longer piece goes out as several lines of at most this length,
// each answered in turn; joined up, the lines give the piece unchanged.
inline constexpr size_t kExportLineMax = 996;

// The lines that carry a text: cut before every "<" (text between tags travels with the tag
// before it), longer pieces split at kExportLineMax. Reading stops at the first line break.
// A text that holds nothing before its first line break gives one empty line.
std::vector<std::string> ExportLines(std::string_view fileText);
