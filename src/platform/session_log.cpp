#include "platform/session_log.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/connection_text.h"
#include "platform/file_ops.h"
#include "platform/text_numbers.h"
#include "platform/time_ops.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

std::mutex SessionLog::currentMutex_;
std::shared_ptr<SessionLog> SessionLog::current_;
std::atomic<bool> SessionLog::active_{false};

namespace {

// "YYYY-MM-DD" and "HH:MM:SS.mmm" of a time, local.
void Stamp(SessionLog::TimePoint at, std::string* date, std::string* time) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(at.time_since_epoch()).count();
  const CivilTime t = time_ops::LocalAt(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
  char buf[32];
  if (date) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
    *date = buf;
  }
  if (time) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                  static_cast<int>(((ms % 1000) + 1000) % 1000));
    *time = buf;
  }
}

// Days since 1970 of a "YYYY-MM-DD" text; false when it is not one.
bool DayNumber(std::string_view text, long& days) {
  int y = 0;
  unsigned m = 0, d = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  y = textnum::LeadingInt(text.substr(0, 4), textnum::Blanks::kCSpace);
  m = static_cast<unsigned>(textnum::LeadingInt(text.substr(5, 2), textnum::Blanks::kCSpace));
  d = static_cast<unsigned>(textnum::LeadingInt(text.substr(8, 2), textnum::Blanks::kCSpace));
  const std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
  if (!ymd.ok()) return false;
  days = std::chrono::sys_days(ymd).time_since_epoch().count();
  return true;
}
}  // namespace

long CurrentProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(::getpid());
#endif
}

SessionLog::SessionLog(Settings settings)
    : settings_(std::move(settings)), linePrefix_(" [" + std::to_string(settings_.processId) + "] ") {
  writer_ = std::thread([this] { Run(); });
}

SessionLog::~SessionLog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
}

std::shared_ptr<SessionLog> SessionLog::Start(const DataPaths& paths, bool enabled, const std::string& program,
                                              const std::string& commandLine) {
  Stop();
  if (!enabled) return nullptr;
  Settings s;
  s.folder = paths.StatusDir() / "logs";
  auto log = std::make_shared<SessionLog>(std::move(s));
  log->RemoveOldFiles();
  std::string first = program.empty() ? std::string("session") : program;
  if (!commandLine.empty()) first += ", command line: " + commandLine;
  log->Write("start", first);
  std::lock_guard<std::mutex> lock(currentMutex_);
  current_ = log;
  active_.store(true, std::memory_order_release);
  return log;
}

std::shared_ptr<SessionLog> SessionLog::Get() {
  std::lock_guard<std::mutex> lock(currentMutex_);
  return current_;
}

void SessionLog::Stop(int exitCode) { End("exit code " + std::to_string(exitCode)); }

void SessionLog::Stop() { End("session ends"); }

void SessionLog::End(const std::string& lastLine) {
  std::shared_ptr<SessionLog> log;
  {
    std::lock_guard<std::mutex> lock(currentMutex_);
    log.swap(current_);
    active_.store(false, std::memory_order_release);
  }
  // A writer that took its share before this keeps the log until its line is queued (or
  // dropped); the log itself goes with the last share.
  if (log) log->Close("stop", lastLine);
}

void SessionLog::Close(const std::string& kind, const std::string& lastLine) {
  Entry e{settings_.now(), kind, lastLine};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    queue_.push_back(std::move(e));
    ++queued_;
    stopping_ = true;  // the last line: nothing is queued after it
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
}

void SessionLog::Write(std::string_view kind, std::string_view text) {
  Entry e{settings_.now(), std::string(kind), std::string(text)};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    if (queue_.size() >= settings_.queueLimit) {
      ++dropped_;
      ++droppedTotal_;
      return;
    }
    queue_.push_back(std::move(e));
    ++queued_;
  }
  wake_.notify_one();
}

void SessionLog::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t target = queued_;
  drained_.wait(lock, [&] { return written_ >= target; });
}

std::string SessionLog::TakeFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string f;
  f.swap(failure_);
  return f;
}

void SessionLog::NoteFailure(const std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failureNoted_) return;
  failureNoted_ = true;
  failure_ = "The session log cannot be written: " + why + "\nThe terminal goes on without it.";
}

std::filesystem::path SessionLog::FileFor(TimePoint t) const {
  std::string date;
  Stamp(t, &date, nullptr);
  return settings_.folder / (date + ".log");
}

void SessionLog::RemoveOldFiles() {
  std::string today;
  Stamp(settings_.now(), &today, nullptr);
  long todayDays = 0;
  if (!DayNumber(today, todayDays)) return;
  std::error_code ec;
  std::vector<std::filesystem::path> old;
  for (std::filesystem::directory_iterator it(settings_.folder, ec), end; !ec && it != end; it.increment(ec)) {
    const auto& p = it->path();
    long days = 0;
    if (p.extension() == ".log" && DayNumber(p.stem().string(), days) && todayDays - days >= settings_.keepDays)
      old.push_back(p);
  }
  for (const auto& p : old) std::filesystem::remove(p, ec);
}

void SessionLog::Run() {
  std::vector<Entry> batch;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return !queue_.empty() || stopping_; });
      if (queue_.empty() && stopping_) break;
      batch.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
      queue_.clear();
    }
    for (const auto& e : batch) WriteEntry(e);
    if (const uint64_t lost = dropped_.exchange(0)) {
      WriteEntry({settings_.now(), "log", std::to_string(lost) + " lines dropped: the log could not keep up"});
    }
    WritePending();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      written_ += batch.size();
    }
    drained_.notify_all();
    batch.clear();
  }
  if (file_) std::fclose(file_);
  file_ = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  written_ = queued_;
  drained_.notify_all();
}

void SessionLog::WriteEntry(const Entry& e) {
  std::string date, time;
  Stamp(e.at, &date, &time);
  std::string line;
  line.reserve(time.size() + linePrefix_.size() + e.kind.size() + e.text.size() + 2);
  line.append(time).append(linePrefix_).append(e.kind).append(" ").append(e.text).append("\n");
  WriteLine(date, line);
}

void SessionLog::WriteLine(const std::string& date, const std::string& line) {
  if (date != fileDate_) {
    WritePending();
    if (file_) std::fclose(file_);
    file_ = nullptr;
    fileDate_ = date;
    broken_ = false;
    capReached_ = false;
    std::error_code ec;
    std::filesystem::create_directories(settings_.folder, ec);
    const auto path = settings_.folder / (date + ".log");
    file_ = file_ops::OpenStream(path, "ab");
    if (!file_) {
      broken_ = true;
      NoteFailure(path.string() + ": " + std::strerror(errno));
      return;
    }
    // Lines reach the file only whole, one write for the lines of a batch (WritePending): a
    // stream buffer would cut a line wherever it fills, and another terminal appending to
    // the same file could land in the middle of it.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    const auto size = std::filesystem::file_size(path, ec);
    fileBytes_ = ec ? 0 : size;
    capReached_ = fileBytes_ >= settings_.dailyCapBytes;
  }
  if (broken_ || capReached_) return;
  if (fileBytes_ + line.size() > settings_.dailyCapBytes) {
    capReached_ = true;
    const size_t kindAt = line.find(linePrefix_) + linePrefix_.size();
    const std::string capLine = line.substr(0, kindAt) + "log the day's cap of " +
                                std::to_string(settings_.dailyCapBytes) +
                                " bytes is reached: nothing more is logged today\n";
    pending_ += capLine;
    fileBytes_ += capLine.size();
  } else {
    pending_ += line;
    fileBytes_ += line.size();
  }
  if (pending_.size() >= 64 * 1024) WritePending();
}

void SessionLog::WritePending() {
  if (pending_.empty()) return;
  if (file_ && !broken_ && std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) {
    broken_ = true;
    NoteFailure((settings_.folder / (fileDate_ + ".log")).string() + ": " + std::strerror(errno));
  }
  pending_.clear();
}

std::string EscapeBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() + 8);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string UnescapeBytes(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char n = text[++i];
    if (n == 'r') {
      out += '\r';
    } else if (n == 'n') {
      out += '\n';
    } else if (n == 't') {
      out += '\t';
    } else if (n == 'x' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += n;
    }
  }
  return out;
}

namespace {
// A text as one quoted field: escaped, with its quotes shown as \".
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : EscapeBytes(text)) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}
}  // namespace

void LogOperationStart(const std::string& action, const std::string& options) {
  if (!LogActive()) return;
  LogEvent("op", options.empty() ? Quoted(action) : Quoted(action) + " " + EscapeBytes(options));
}

void LogBox(const std::string& caption, const std::string& text) {
  if (LogActive()) LogEvent("box", Quoted(caption) + " " + EscapeBytes(text));
}

void LogQuestion(const std::string& name, const std::string& text, const std::string& answer,
                 const std::string& answeredBy) {
  if (!LogActive()) return;
  LogEvent("ask", EscapeBytes(name.empty() ? "unnamed" : name) + " " + Quoted(text) + " answered " + Quoted(answer) +
                      " by " + EscapeBytes(answeredBy));
}

void LogOutcome(const std::string& summary) {
  if (LogActive()) LogEvent("outcome", EscapeBytes(summary));
}

std::string CommandLineText(int argc, const char* const* argv) {
  std::string out;
  for (int i = 0; argv && i < argc; ++i) {
    std::string arg = argv[i] ? argv[i] : "";
    // The site's connection text without its secrets.
    if (i > 0 && argv[i - 1] && std::string_view(argv[i - 1]) == "--site") arg = RedactConnection(arg);
    else if (arg.rfind("--site=", 0) == 0) arg = "--site=" + RedactConnection(arg.substr(7));
    if (i) out += ' ';
    out += arg.empty() || arg.find_first_of(" \"") != std::string_view::npos ? Quoted(arg) : EscapeBytes(arg);
  }
  return out;
}
