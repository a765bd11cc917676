// A history its user may not write, read as that user: a process of its own that is nobody
// when the tests run as root.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "history/record_outcome.h"
#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

using namespace history;
namespace fs = std::filesystem;

namespace {

// What run() reports, run in a process of a user who may not write the test's files (nobody,
// when the tests run as root; otherwise this user, kept out by the files' permissions).
std::string AsAnotherUser(const std::function<std::string()>& run) {
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(2);
    const std::string report = run();
    _exit(::write(out[1], report.data(), report.size()) == ssize_t(report.size()) ? 0 : 3);
  }
  ::close(out[1]);
  std::string report;
  char buf[512];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) report.append(buf, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? report : "the other user's process failed";
}

}  // namespace

// A history its user may not write (a read-only file, another user's file or folder, in either
// journal) is read where it is and nothing is left beside it, so that, made writable again, it
// takes events; opened to write it is refused and left as it is.
TEST(HistoryFiles, AReadOnlyHistoryIsReadAndLeftAsItWas) {
  const DateTime now = DateTime::FromCivil({2026, 12, 1, 12, 0, 0});
  const fs::path dir = FreshTempDir("history-read-only"), file = dir / "local" / "history.sqlite";
  const struct {
    bool wal;
    fs::perms file, folder;
  } cases[] = {{true, fs::perms(0444), fs::perms(01777)},
               {true, fs::perms(0644), fs::perms(0555)},
               {false, fs::perms(0444), fs::perms(01777)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(int(c.file)) + (c.wal ? " wal" : " rollback"));
    fs::remove_all(file.parent_path());
    fs::create_directories(file.parent_path());
    FiveUnits(file, now);
    if (!c.wal) Sql(file, "PRAGMA journal_mode = DELETE");
    const std::string before = ReadText(file);
    fs::permissions(file, c.file);
    fs::permissions(file.parent_path(), c.folder);
    const std::string report = AsAnotherUser([&] {
      HistoryStore reader, writer;
      std::string r = reader.Open(file, HistoryStore::Access::Read)
                          ? std::to_string(reader.Due(now).size()) + " due, " + std::to_string(reader.Visits(5).size()) +
                                " visits" + (reader.ReadFailed() ? " (failed)" : "")
                          : reader.Message();
      reader.Close();
      return r + (writer.Open(file) ? "; written" : "; " + writer.Message());
    });
    EXPECT_EQ(report.substr(0, report.find(';')), "4 due, 3 visits");
    EXPECT_NE(report.find("cannot be written:"), std::string::npos) << report;
    EXPECT_NE(report.find("is read-only for this user. It is left as it is"), std::string::npos) << report;
    EXPECT_EQ(ReadText(file), before);
    for (const char* side : {"-wal", "-shm", "-journal"}) EXPECT_FALSE(fs::exists(file.string() + side)) << side;
    fs::permissions(file, fs::perms(0644));
    fs::permissions(file.parent_path(), fs::perms(0755));
    HistoryStore store;
    ASSERT_TRUE(store.Open(file)) << store.Message();
    EXPECT_EQ(RecordOutcome(store, {}, MakeOutcome(OutcomeKind::Done, "General Status"), AUnit(5), {}, true), "");
  }
  fs::remove_all(dir);
}
