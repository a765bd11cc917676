// A save killed while it writes a large status file leaves the old file or the new one whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "fault_bench.h"

namespace {

using faults::FaultBench;
using faults::FileProblem;
namespace fs = std::filesystem;

// A status document of many units, each carrying a long text, so that a save takes a while.
std::string LargeDocument(const fs::path& path, char fill, int units) {
  CStatusXml doc;
  for (int i = 0; i < units; ++i) {
    UnitStatus s;
    s.UnitId = 100000 + i;
    s.String1 = std::string(900, fill);
    s.String2 = std::string(900, fill);
    doc.WriteUnit(StatusChecks{}, s);
  }
  EXPECT_TRUE(doc.Save(path).saved);
  return ReadText(path);
}

TEST(KilledSave, LeavesTheOldFileOrTheNewOneWhole) {
  const fs::path root = FreshTempDir("killed-save");
  const fs::path folder = root / "T7Status";
  const fs::path target = folder / "Current-Status.xml";
  const fs::path oldCopy = root / "old.xml";
  const fs::path newCopy = root / "new.xml";
  const std::string oldBytes = LargeDocument(oldCopy, 'a', 300);
  const std::string newBytes = LargeDocument(newCopy, 'b', 330);

  // Kill points: at once; once the temporary file holds a share of the new file; and (a share
  // above 1) once the new file has taken the old one's place, while the old one is written again.
  for (double share : {0.0, 0.5, 2.0}) {
    SCOPED_TRACE("killed at " + std::to_string(share));
    fs::copy_file(oldCopy, target, fs::copy_options::overwrite_existing);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The child saves the two documents in turn, on and on, until it is killed.
      CStatusXml a, n;
      if (a.Load(oldCopy).Damaged() || n.Load(newCopy).Damaged()) _exit(2);
      for (;;) {
        n.Save(target);
        a.Save(target);
      }
    }
    // Polls until the kill point: the target holding the new file, or a temporary file of at
    // least that share of the new file's size.
    const uintmax_t want = static_cast<uintmax_t>(share * static_cast<double>(newBytes.size()));
    for (int polls = 0; share > 0 && polls < 200000; ++polls) {
      bool seen = false;
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(folder, ec))
        seen |= share > 1 ? e.path() == target && fs::file_size(target, ec) == newBytes.size()
                          : e.path() != target && fs::file_size(e.path(), ec) >= want && !ec;
      if (seen) break;
      ::usleep(50);
    }
    if (share > 1) ::usleep(2000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself";

    const std::string now = ReadText(target);
    EXPECT_TRUE(now == oldBytes || now == newBytes) << "the file holds " << now.size() << " bytes of neither";
    // What the killed save left behind does not stop the next one.
    CStatusXml doc;
    ASSERT_FALSE(doc.Load(target).Damaged());
    EXPECT_TRUE(doc.Save(target).saved);
    EXPECT_EQ(FileProblem(target), "");
  }
  fs::remove_all(root);
}

}  // namespace
