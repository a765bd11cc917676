// The session log of the wire: every line the terminal sends and every reply it reads (raw
// bytes, escaped), opens, closes, rate changes, breaks, the busy captions, the trace lines, the
// program load, the export and the operations, one line per event with a millisecond timestamp
// and the process id ("14:02:07.512 [4711] send #HWST\r\n"), in ROOT/T7Status/logs/YYYY-MM-DD.log
// (local date). Two terminals may write the same day's file: each hands the file whole lines
// only, so their lines interleave but never mix, and the id tells them apart. A writer thread
// owns the file; callers only queue a line, so an exchange never waits on the disk. When the
// queue is full the line is counted as dropped and the count is logged later. At most 20 MB a
// day (then one line says the cap was reached) and 30 days kept (older files are removed when
// the log starts). The process-wide log is shared: whoever writes a line holds a share of it
// for that moment, so a thread still writing when the program ends the log writes into a log
// that is still there (its line is dropped once the last line is written), never into freed
// memory.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/paths.h"

// This process's id, as the log shows it.
long CurrentProcessId();

class SessionLog {
 public:
  using TimePoint = std::chrono::system_clock::time_point;
  struct Settings {
    std::filesystem::path folder;                  // where the day files go
    uint64_t dailyCapBytes = 20ull * 1024 * 1024;  // per day file
    int keepDays = 30;
    size_t queueLimit = 20000;            // lines waiting for the writer
    long processId = CurrentProcessId();  // shown on every line
    std::function<TimePoint()> now = [] { return std::chrono::system_clock::now(); };
  };

  explicit SessionLog(Settings settings);
  ~SessionLog();  // writes what is queued, then stops the writer
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;

  // The process-wide log, set up by one call that any main() makes: on (enabled) in
  // paths' StatusDir()/logs, removing day files older than 30 days; off does nothing.
  // The first line names the program and the command line it was started with (see
  // CommandLineText): "start velmoor-cli 3.00.012, command line: velmoor-cli status".
  // Returns the log, or null when off.
  static std::shared_ptr<SessionLog> Start(const DataPaths& paths, bool enabled, const std::string& program = "",
                                           const std::string& commandLine = "");
  // Ends the process-wide log with the program's exit code ("stop exit code 3") as its last
  // line, and returns once everything queued is written; also safe when none was started. A
  // line another thread writes after it is dropped.
  static void Stop(int exitCode);
  // The same, where there is no exit code to tell ("stop session ends").
  static void Stop();
  // A share of the process-wide log (null when none runs): the log lives while it is held.
  static std::shared_ptr<SessionLog> Get();
  static bool Active() { return active_.load(std::memory_order_acquire); }

  // Queues one event; never waits on the disk. kind is one word ("send", "recv", "open" ...).
  void Write(std::string_view kind, std::string_view text);
  // Waits until everything queued so far is on disk (or given up as unwritable).
  void Flush();
  // Why the log cannot be written, once: empty until then, and empty after it was taken.
  std::string TakeFailure();
  uint64_t Dropped() const { return droppedTotal_.load(); }
  const std::filesystem::path& Folder() const { return settings_.folder; }
  // The day file for a time (local date).
  std::filesystem::path FileFor(TimePoint t) const;
  // Removes day files (YYYY-MM-DD.log) dated keepDays or more before the day of now.
  void RemoveOldFiles();

 private:
  struct Entry {
    TimePoint at;
    std::string kind;
    std::string text;
  };
  static void End(const std::string& lastLine);
  // Queues the last line, takes no more, and waits until the writer has written everything.
  void Close(const std::string& kind, const std::string& lastLine);
  void Run();
  void WriteEntry(const Entry& e);
  void WriteLine(const std::string& date, const std::string& line);
  void WritePending();
  void NoteFailure(const std::string& why);

  Settings settings_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::deque<Entry> queue_;
  uint64_t queued_ = 0;   // entries ever queued
  uint64_t written_ = 0;  // entries the writer has finished with
  bool stopping_ = false;
  std::atomic<uint64_t> dropped_{0};       // not yet reported in the log
  std::atomic<uint64_t> droppedTotal_{0};  // ever
  std::string failure_;
  bool failureNoted_ = false;
  // Writer thread only.
  std::FILE* file_ = nullptr;
  std::string fileDate_;
  uint64_t fileBytes_ = 0;
  std::string pending_;  // whole lines not yet handed to the file
  bool capReached_ = false;
  bool broken_ = false;     // this day's file cannot be written
  std::string linePrefix_;  // " [pid] "
  std::thread writer_;

  static std::mutex currentMutex_;
  static std::shared_ptr<SessionLog> current_;
  static std::atomic<bool> active_;
};

// Into the process-wide log, when there is one.
inline void LogEvent(std::string_view kind, std::string_view text) {
  if (const std::shared_ptr<SessionLog> log = SessionLog::Get()) log->Write(kind, text);
}
inline bool LogActive() { return SessionLog::Active(); }

// The operations, as the window and the command line run them (each line one event, texts
// escaped to one line; quoted texts have their quotes shown as \"):
//   op "Quick set" --power 2 --gain High       the operation starts, with its options
//   box "Velmoor" Unit is enabled\r\n          a message box and its text
//   ask enable-or-disable "Leave the unit enabled?" answered "Yes" by --yes
//   outcome done: Quick set                     how the operation ended
void LogOperationStart(const std::string& action, const std::string& options);
void LogBox(const std::string& caption, const std::string& text);
void LogQuestion(const std::string& name, const std::string& text, const std::string& answer,
                 const std::string& answeredBy);
void LogOutcome(const std::string& summary);

// A program's whole command line for the log's first line: each argument escaped, and quoted
// ("...", with \" for a quote) when it is empty or holds a space or a quote; the value of --site
// without its secrets (RedactConnection).
std::string CommandLineText(int argc, const char* const* argv);

// Bytes as the log shows them: printable ASCII as it is, backslash doubled, CR, LF and TAB as
// \r \n \t, everything else as \xHH.
std::string EscapeBytes(std::string_view bytes);
// The reverse of EscapeBytes (for reading a log back).
std::string UnescapeBytes(std::string_view text);
