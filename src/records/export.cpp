// The export of the current-status file over the unit's serial line.
#include "records/export.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/session_log.h"
#include "records/status_files.h"

namespace {

// Turns the wait cursor off however the export ends.
struct WaitCursorScope {
  explicit WaitCursorScope(IOperator& op) : op_(op) { op_.WaitCursor(true); }
  ~WaitCursorScope() { op_.WaitCursor(false); }
  IOperator& op_;
};

void AddPiece(std::vector<std::string>& lines, const std::string& piece) {
  if (piece.size() <= kExportLineMax) {
    lines.push_back(piece);
    return;
  }
  // Cut between characters: a UTF-8 sequence is never split over two lines.
  for (size_t at = 0; at < piece.size();) {
    size_t n = std::min(kExportLineMax, piece.size() - at);
    while (n > 1 && at + n < piece.size() && (static_cast<unsigned char>(piece[at + n]) & 0xC0) == 0x80) --n;
    lines.push_back(piece.substr(at, n));
    at += n;
  }
}

bool FileSize(const std::filesystem::path& path, uint64_t& size) {
  std::ifstream probe(path, std::ios::binary | std::ios::ate);
  if (!probe) return false;
  const auto end = probe.tellg();
  size = end > 0 ? static_cast<uint64_t>(end) : 0;
  return true;
}

// A long transfer goes ahead only when the operator agrees to its time.
bool TransferTimeAgreed(IOperator& op, IProgress& progress, double seconds) {
  if (seconds <= kExportAskAboveSeconds) return true;
  char message[120];
  std::snprintf(message, sizeof message, "Transfer time approx\r\n %.0f secs\r\nContinue??", seconds);
  const bool wasBusy = progress.Showing();
  progress.Ended();
  if (op.Ask(Question::ExportTransferTime, message, "Transfer time", MbIcon::Question) != MbAnswer::Yes) return false;
  // Shown again only when it was shown before: nothing else would take it down again.
  if (wasBusy) progress.Shown();
  return true;
}

// Sends the pieces one line each. A piece left unanswered stops the export, unless it is the
// last: "END" follows that one all the same.
bool SendPieces(CCommPort& port, TextSpan line, const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    line.Assign(lines[i]);
    const bool answered = port.SendLine(line, 2, true);
    if (LogActive())
      LogEvent("export", "piece " + std::to_string(i + 1) + "/" + std::to_string(lines.size()) +
                             (answered ? " answered" : " not answered"));
    if (!answered && i + 1 < lines.size()) return false;
  }
  return true;
}

}  // namespace

double ExportTransferSeconds(uint64_t fileBytes) { return static_cast<double>(fileBytes) * 2.5e-6 * 289.0; }

std::vector<std::string> ExportLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string piece;
  for (char c : text) {
    if (c == '\n') break;
    if (c == '<' && !piece.empty()) {
      AddPiece(lines, piece);
      piece.clear();
    }
    piece.push_back(c);
  }
  AddPiece(lines, piece);
  return lines;
}

int StatusFiles::ExportStatus() {
  Progress().Step("Exporting XML status log");
  if (!port.Open(true)) return kExportPortFailed;
  WaitCursorScope cursor(op);
  const std::filesystem::path path = paths.CurrentStatusFile();
  uint64_t size = 0;
  if (!FileSize(path, size)) return kExportFileFailed;
  if (!TransferTimeAgreed(op, Progress(), ExportTransferSeconds(size))) return kExportDeclined;

  char buffer[kExchangeBufferSize];
  TextSpan line(buffer);
  line.Assign("Export");
  if (!port.SendLine(line, 5, true)) return kExportNoAnswer;
  if (!std::strstr(buffer, "Reply")) return kExportNoReplyWord;

  // The file as it stands now, read up to its first line break.
  std::string text;
  {
    std::ifstream file(path);
    if (!file) return kExportFileFailed;
    std::getline(file, text, '\n');
  }
  const std::vector<std::string> lines = ExportLines(text);
  if (LogActive()) LogEvent("export", std::to_string(lines.size()) + " pieces of " + path.string());
  if (!SendPieces(port, line, lines)) return kExportNoAnswer;
  line.Assign("END");
  port.SendLine(line, 0, true);
  if (LogActive()) LogEvent("export", "done");
  return kExportDone;
}
