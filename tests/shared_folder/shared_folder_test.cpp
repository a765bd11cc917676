// Several terminals sharing one data folder: every status save holds the status file's lock
// from its reload to its rename, so no terminal's update is lost to another's; a lock that
// cannot be had is reported once and the save goes on; a save that stalled past the others'
// wait for the lock redoes its change on the newer file; the temporary file of a save killed
// part-way is removed at the next start.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "platform/file_ops.h"
#include "records/status_xml.h"
#include "tests/shared_folder/writer/writer_plan.h"
#include "tests/support/test_bench.h"

namespace fs = std::filesystem;

namespace {
constexpr uint32_t kSharedUnit = 0x2FFFFF;
constexpr int kOwnUnits = 3;
constexpr int kSaves = 200;

struct Writer {
  WriterPlan plan;
  pid_t pid = -1;
  std::FILE* out = nullptr;  // the writer's "saved <i>" lines
  int saved = -1;            // the last save it reported done

  // Reads its reports until save `until` is reported or it ends; false when it ended.
  bool ReadUntil(int until) {
    char line[64];
    while (saved < until && std::fgets(line, sizeof line, out)) std::sscanf(line, "saved %d", &saved);
    return saved >= until;
  }
  int Finish() {
    ReadUntil(plan.saves);
    std::fclose(out);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
};

// A writer of `plan` on ROOT, stopping inside save `stallAt` when one is given.
Writer Start(const fs::path& root, const WriterPlan& plan, const char* stallAt = nullptr) {
  Writer w;
  w.plan = plan;
  int fds[2];
  if (pipe(fds) != 0) return w;
  w.pid = fork();
  if (w.pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    const std::string writer = std::to_string(plan.writer), units = std::to_string(plan.units),
                      shared = std::to_string(plan.shared), saves = std::to_string(plan.saves);
    execl(VT_STATUS_WRITER, VT_STATUS_WRITER, root.c_str(), writer.c_str(), units.c_str(), shared.c_str(),
          saves.c_str(), stallAt, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  w.out = fdopen(fds[0], "r");
  return w;
}

std::string DasIdOf(CStatusXml& doc, uint32_t id) { return doc.ReadUnit(std::to_string(id)).status.DasId.c_str(); }
}  // namespace

struct SharingCase {
  int writers;
  bool killOne;  // writer 0 is killed (SIGKILL) after its 50th save
};

class SharedFolder : public ::testing::TestWithParam<SharingCase> {};

TEST_P(SharedFolder, EveryWritersLastRecordIsKeptAndNoFileIsDamaged) {
  const SharingCase c = GetParam();
  // The writers' folder: in memory where the machine has such a folder, since this is about
  // the lock, and a disk's flushes would only make it slow.
  const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path root =
      base / ("vt-shared-" + std::to_string(getpid()) + "-" + std::to_string(c.writers) + (c.killOne ? "-killed" : ""));
  fs::remove_all(root);
  fs::create_directories(root / "T7Status");
  const fs::path file = root / "T7Status" / "Current-Status.xml";
  std::vector<Writer> writers;
  for (int i = 0; i < c.writers; ++i) writers.push_back(Start(root, WriterPlan{i, kOwnUnits, kSharedUnit, kSaves}));
  if (c.killOne) {
    ASSERT_TRUE(writers[0].ReadUntil(50));
    kill(writers[0].pid, SIGKILL);
  }
  for (auto& w : writers) {
    int status = w.Finish();
    if (c.killOne && &w == &writers[0]) continue;
    // A writer ends with 0 only when each of its saves went through and nobody was told anything.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer " << w.plan.writer << " status " << status;
  }

  CStatusXml doc;
  ASSERT_EQ(doc.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
  std::vector<std::string> ids;
  EXPECT_EQ(doc.ListUnitIds(ids), c.writers * kOwnUnits + 1);  // each unit once
  std::set<std::string> sharedCandidates;
  for (const auto& w : writers) {
    SCOPED_TRACE("writer " + std::to_string(w.plan.writer));
    const bool killed = c.killOne && w.plan.writer == 0;
    for (int k = 0; k < kOwnUnits; ++k) {
      // The unit holds this writer's last save of it; or, for a writer killed after reporting
      // save n, a save of it at or after its last before n.
      const uint32_t id = w.plan.OwnUnit(k);
      const std::string held = DasIdOf(doc, id);
      int j = -1;
      ASSERT_EQ(std::sscanf(held.c_str(), ("w" + std::to_string(w.plan.writer) + "-%d").c_str(), &j), 1) << held;
      EXPECT_GE(j, w.plan.LastSaveOf(id, w.saved + 1));
      EXPECT_EQ(w.plan.UnitOf(j), id);
    }
    if (killed)
      for (int i = 0; i < kSaves; ++i) sharedCandidates.insert(w.plan.Mark(i));
    else sharedCandidates.insert(w.plan.Mark(w.plan.LastSaveOf(kSharedUnit, kSaves)));
  }
  EXPECT_TRUE(sharedCandidates.count(DasIdOf(doc, kSharedUnit))) << DasIdOf(doc, kSharedUnit);
  fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Writers, SharedFolder,
                         ::testing::Values(SharingCase{2, false}, SharingCase{4, false}, SharingCase{4, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.writers) + (info.param.killOne ? "OneKilled" : "");
                         });

TEST(SharedFolderLock, ALockNotHadIsToldOnceAndTheSaveGoesOn) {
  UnitOnBench b;
  b.unit->records.statusFileLockWaitMs = 50;
  const fs::path file = b.root / "T7Status" / "Current-Status.xml";
  const std::string lockFile = file.string() + ".lock";
  auto save = [&](int32_t id) {
    b.unit->status.currentStatus.UnitId = id;
    return b.unit->SaveCurrentEntry();
  };
  {
    // Another program holds a plain fcntl write lock on the first byte of the lock file (as
    // lockf does) throughout two saves.
    const pid_t other = fork();
    if (other == 0) {
      struct flock range {};
      range.l_type = F_WRLCK;
      range.l_len = 1;
      if (fcntl(open(lockFile.c_str(), O_RDWR | O_CREAT, 0666), F_SETLKW, &range) == 0) pause();
      _exit(1);
    }
    for (int i = 0; i < 1000 && file_ops::FileLock::Acquire(lockFile, 0).Locked(); ++i) usleep(1000);
    EXPECT_TRUE(save(0x10));
    EXPECT_TRUE(save(0x11));
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    ASSERT_EQ(b.op.boxes.size(), 1u);
    EXPECT_EQ(b.op.boxes[0].caption, "Status file not locked");
    EXPECT_NE(b.op.boxes[0].text.find(lockFile), std::string::npos) << b.op.boxes[0].text;
  }
  EXPECT_TRUE(save(0x12));  // had again: nothing to tell, and the next failure is told again
  EXPECT_EQ(b.op.boxes.size(), 1u);
  file_ops::FileLock other = file_ops::FileLock::Acquire(lockFile, 0);  // another terminal's
  EXPECT_TRUE(save(0x13));
  EXPECT_EQ(b.op.boxes.size(), 2u);
  CStatusXml doc;
  doc.Load(file);
  for (int32_t id : {0x10, 0x11, 0x12, 0x13}) EXPECT_TRUE(doc.FindUnit(std::to_string(id), false)) << id;
}

TEST(SharedFolderLock, ASaveStalledPastTheLockWaitRedoesItsChangeOnTheNewerFile) {
  for (bool inPlace : {false, true}) {
    SCOPED_TRACE(inPlace ? "another program rewrites the file in place" : "another terminal saves");
    UnitOnBench b;  // the other terminal
    b.unit->records.statusFileLockWaitMs = 100;
    const fs::path file = b.root / "T7Status" / "Current-Status.xml";
    b.unit->status.currentStatus.UnitId = 0x70;
    ASSERT_TRUE(b.unit->SaveCurrentEntry());
    // A terminal stops inside its save of its own unit, holding the lock, its new file on disk.
    const WriterPlan plan{1, 1, kSharedUnit, 1};
    Writer stalled = Start(b.root, plan, "0");
    int status = 0;
    ASSERT_EQ(waitpid(stalled.pid, &status, WUNTRACED), stalled.pid);
    ASSERT_TRUE(WIFSTOPPED(status));
    if (inPlace) {
      std::string text;
      std::getline(std::ifstream(file), text);
      text.insert(text.rfind("</Velmoors>"), "<Velmoor><General><UnitId>113</UnitId></General></Velmoor>");
      std::ofstream(file, std::ios::trunc) << text;  // the same file, other bytes
    } else {
      b.unit->status.currentStatus.UnitId = 0x71;
      EXPECT_TRUE(b.unit->SaveCurrentEntry());  // after its wait, without the lock
      ASSERT_EQ(b.op.boxes.size(), 1u);
      EXPECT_EQ(b.op.boxes[0].caption, "Status file not locked");
    }
    kill(stalled.pid, SIGCONT);
    status = stalled.Finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    CStatusXml doc;
    ASSERT_EQ(doc.Load(file).outcome, CStatusXml::LoadOutcome::Loaded);
    std::vector<std::string> ids;
    doc.ListUnitIds(ids);
    EXPECT_EQ(ids, (std::vector<std::string>{"112", "113", std::to_string(plan.OwnUnit(0))}));
    EXPECT_EQ(DasIdOf(doc, plan.OwnUnit(0)), "w1-0");
  }
}

TEST(SharedFolderLock, TheNextStartRemovesOnlyThisProgramsStaleTemporaryFiles) {
  UnitOnBench b;
  const fs::path dir = b.root / "T7Status";
  // A pid that no process has: a child that has ended and been reaped.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended), live = std::to_string(getpid());
  const std::vector<std::string> stale = {".Current-Status.xml.saving-" + dead + "-0",
                                          ".New-Status.xml.saving-" + dead + "-17"};
  const std::vector<std::string> kept = {
      ".Current-Status.xml.saving-" + live + "-3",  // a live process's save
      ".Current-Status.xml.saving-" + dead + "-x",  // not of the form
      "Current-Status.xml.saving-" + dead + "-1",   // not hidden: not ours
      ".Other.xml.saving-" + dead + "-1",           // another file's
  };
  for (const auto& name : stale) std::ofstream(dir / name) << "<Velmoors>";
  for (const auto& name : kept) std::ofstream(dir / name) << "<Velmoors>";
  fs::create_directory(dir / (".Current-Status.xml.saving-" + dead + "-5"));  // a folder: not ours
  CTransponder terminal(b.bench.port, b.op, DataPaths{b.root});               // another terminal starts on the folder
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(dir / name)) << name;
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
  EXPECT_TRUE(fs::is_directory(dir / (".Current-Status.xml.saving-" + dead + "-5")));
}
