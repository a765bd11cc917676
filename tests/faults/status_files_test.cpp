// The status files changed under the terminal between two operations (deleted, replaced by
// another file or by a damaged one, made read-only or unreadable), and a save killed while it
// writes a large file. No unit's history may be lost, a file the terminal cannot trust is never
// overwritten, the operator hears of each problem once, and a killed save leaves the old file
// or the new one whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fault_bench.h"
#include "records/status_file_io.h"

namespace {

using faults::FaultBench;
using faults::FileProblem;
using faults::ReadBytes;
namespace fs = std::filesystem;

const int32_t kUnitA = 0x1A2B3C;
const int32_t kUnitB = 0x00BEEF;

bool Holds(const fs::path& file, int32_t unitId) {
  CStatusXml doc;
  if (doc.Load(file).Damaged()) return false;
  return bool(doc.FindUnit(std::to_string(unitId), false));
}

bool Read(FaultBench& b) { return b.unit->GetStatus("", b.unit->status.replyText, true); }

size_t BoxesCaptioned(const FaultBench& b, const std::string& caption) {
  size_t n = 0;
  for (const auto& box : b.op.boxes) n += box.caption == caption;
  return n;
}

TEST(StatusFilesChanged, DeletedBetweenTwoReads) {
  FaultBench b;
  ASSERT_TRUE(Read(b));
  ASSERT_TRUE(Holds(b.CurrentFile(), kUnitA));
  fs::remove(b.CurrentFile());
  ASSERT_TRUE(Read(b));
  EXPECT_TRUE(Holds(b.CurrentFile(), kUnitA));
  EXPECT_TRUE(b.op.boxes.empty());
}

TEST(StatusFilesChanged, ReplacedByAnotherFileKeepsBothUnits) {
  // Another terminal's file holding only unit B takes the place of ours between two reads.
  std::string other;
  {
    FaultBench elsewhere;
    elsewhere.sim().state.unitId = kUnitB;
    ASSERT_TRUE(Read(elsewhere));
    other = ReadBytes(elsewhere.CurrentFile());
  }
  FaultBench b;
  ASSERT_TRUE(Read(b));
  std::ofstream(b.CurrentFile(), std::ios::binary | std::ios::trunc) << other;
  ASSERT_TRUE(Read(b));
  EXPECT_TRUE(Holds(b.CurrentFile(), kUnitA));
  EXPECT_TRUE(Holds(b.CurrentFile(), kUnitB));
  EXPECT_TRUE(b.op.boxes.empty());
}

TEST(StatusFilesChanged, ReplacedByADamagedFileIsNeverOverwritten) {
  FaultBench b;
  ASSERT_TRUE(Read(b));
  for (const std::string& damaged :
       {std::string("<Velmoors><Velmoor><General><UnitId>1715004</UnitId>"),  // cut short
        std::string("\x00\x01\x02 not a status file", 21), std::string("<Other/>")}) {
    SCOPED_TRACE(damaged);
    std::ofstream(b.CurrentFile(), std::ios::binary | std::ios::trunc) << damaged;
    b.op.boxes.clear();
    Read(b);
    Read(b);
    // Told once, for two reads; the file is exactly as it was put there.
    EXPECT_EQ(BoxesCaptioned(b, "Status file damaged"), 1u);
    EXPECT_EQ(ReadBytes(b.CurrentFile()), damaged);
    // Put right (here: removed), the file takes the next save again.
    fs::remove(b.CurrentFile());
    b.op.boxes.clear();
    ASSERT_TRUE(Read(b));
    EXPECT_TRUE(Holds(b.CurrentFile(), kUnitA));
    EXPECT_TRUE(b.op.boxes.empty());
  }
}

// Permissions bite only for an ordinary user: these run in a child process that gives up root.
TEST(StatusFilesChanged, FolderMadeReadOnlyLeavesTheFileAndTellsOnce) {
  FaultBench b;
  ASSERT_TRUE(Read(b));
  const std::string before = ReadBytes(b.CurrentFile());
  const fs::path folder = b.root / "T7Status";
  const std::string problems = faults::InChildProcess(b.root, [&]() -> std::string {
    std::string p;
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    b.sim().state.address = 3;  // something new to save
    b.sim().state.channel = 4;
    b.op.boxes.clear();
    Read(b);
    Read(b);
    if (BoxesCaptioned(b, "Status file not saved") != 1) p += "not told exactly once; ";
    if (ReadBytes(b.CurrentFile()) != before) p += "the file changed; ";
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().filename().string()[0] == '.') p += "a temporary file was left; ";
    // Writable again: the next save goes through and the unit's new address is recorded.
    fs::permissions(folder, fs::perms::owner_all);
    b.op.boxes.clear();
    Read(b);
    if (!b.op.boxes.empty()) p += "a box after the folder was writable again; ";
    if (!b.unit->LoadCurrentEntry(kUnitA) || b.unit->records.storedStatus.Address != 3) p += "the new entry was not saved; ";
    return p;
  });
  EXPECT_EQ(problems, "");
}

TEST(StatusFilesChanged, FileMadeUnreadableIsNeverOverwritten) {
  FaultBench b;
  ASSERT_TRUE(Read(b));
  const std::string before = ReadBytes(b.CurrentFile());
  const std::string problems = faults::InChildProcess(b.root, [&]() -> std::string {
    std::string p;
    fs::permissions(b.CurrentFile(), fs::perms::none);
    b.op.boxes.clear();
    Read(b);
    Read(b);
    if (BoxesCaptioned(b, "Status file damaged") != 1) p += "not told exactly once; ";
    fs::permissions(b.CurrentFile(), fs::perms::owner_read | fs::perms::owner_write);
    if (ReadBytes(b.CurrentFile()) != before) p += "the unreadable file was replaced; ";
    return p;
  });
  EXPECT_EQ(problems, "");
}

TEST(StatusFilesChanged, FileMadeReadOnlyStaysReadOnlyAndWhole) {
  // The folder is writable, so a save may still replace the file as a whole: it must then keep
  // the file read-only and hold every unit; it must never leave the file half-written.
  FaultBench b;
  ASSERT_TRUE(Read(b));
  const std::string problems = faults::InChildProcess(b.root, [&]() -> std::string {
    std::string p;
    fs::permissions(b.CurrentFile(), fs::perms::owner_read);
    b.sim().state.address = 3;
    Read(b);
    const auto perms = fs::status(b.CurrentFile()).permissions();
    if ((perms & fs::perms::owner_write) != fs::perms::none) p += "the file became writable; ";
    if (!FileProblem(b.CurrentFile()).empty()) p += "the file is damaged; ";
    if (!Holds(b.CurrentFile(), kUnitA)) p += "the unit is gone; ";
    return p;
  });
  EXPECT_EQ(problems, "");
}

// ---- a save killed while it writes ----

// A status document of many units, each carrying a long text, so that a save takes a while.
std::string LargeDocument(const fs::path& path, char fill, int units) {
  CStatusXml doc;
  for (int i = 0; i < units; ++i) {
    UnitStatus s;
    s.UnitId = 100000 + i;
    s.SerialNo = std::to_string(10000 + i) + "-001";
    s.String1 = std::string(900, fill);
    s.String2 = std::string(900, fill);
    StatusChecks c;
    c.LastStatusTime = DateTime::FromCivil({2026, 3, 6, 14, 5, 0});
    doc.WriteUnit(c, s);
  }
  EXPECT_TRUE(doc.Save(path).saved);
  return ReadBytes(path);
}

TEST(KilledSave, LeavesTheOldFileOrTheNewOneWhole) {
  const fs::path root = FreshTempDir("killed-save");
  const fs::path folder = root / "T7Status";
  const fs::path target = folder / "Current-Status.xml";
  const fs::path oldCopy = root / "old.xml";
  const fs::path newCopy = root / "new.xml";
  const std::string oldBytes = LargeDocument(oldCopy, 'a', 2500);
  const std::string newBytes = LargeDocument(newCopy, 'b', 2600);
  ASSERT_GT(oldBytes.size(), 4000000u);
  ASSERT_NE(oldBytes, newBytes);

  // Kill points: at once; once the temporary file holds a share of the new file; and (a share
  // above 1) once the new file has taken the old one's place, while the old one is written again.
  for (double share : {0.0, 0.01, 0.25, 0.5, 0.75, 0.99, 2.0}) {
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
    if (share > 1) {
      std::error_code ec;
      for (int polls = 0; polls < 200000 && fs::file_size(target, ec) != newBytes.size(); ++polls) ::usleep(50);
      ::usleep(2000);
    } else if (share > 0) {
      // Wait for a temporary file of at least that share of the new file's size.
      const uintmax_t want = static_cast<uintmax_t>(share * static_cast<double>(newBytes.size()));
      for (int polls = 0; polls < 200000; ++polls) {
        bool seen = false;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
          if (e.path() == target) continue;
          if (fs::file_size(e.path(), ec) >= want && !ec) seen = true;
        }
        if (seen) break;
        ::usleep(50);
      }
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself";

    const std::string now = ReadBytes(target);
    EXPECT_TRUE(now == oldBytes || now == newBytes) << "the file holds " << now.size() << " bytes of neither";
    EXPECT_EQ(FileProblem(target), "");
    // What the killed save left behind does not stop the next one.
    CStatusXml doc;
    ASSERT_FALSE(doc.Load(target).Damaged());
    EXPECT_TRUE(doc.Save(target).saved);
    EXPECT_EQ(FileProblem(target), "");
  }
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
