// Status files that cannot be used are never overwritten: the operator is told once per file
// that it is damaged and was left unchanged, and the terminal goes on. A save puts its new file
// on disk before that file takes the old one's place, so a power cut cannot leave a damaged file.
#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>

#include "tests/records/records_support.h"

using namespace records_test;

namespace {
// While set, the flushes and renames of this program are written down, in order.
std::vector<std::string>* diskCalls = nullptr;

std::string PathOf(int fd) {
  char target[4096];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : "?";
}
}  // namespace

extern "C" int fsync(int fd) {
  static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
  if (diskCalls) diskCalls->push_back("fsync " + PathOf(fd));
  return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
  static auto real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
  if (diskCalls) diskCalls->push_back(std::string("rename ") + from + " " + to);
  return real(from, to);
}

namespace {
struct DamagedCase {
  const char* name;
  std::string content;
  const char* reason;  // part of what the operator is told
};

std::vector<DamagedCase> DamagedCases() {
  std::string binary, deep;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  while (deep.size() < 2000000) deep += "<Velmoors>";
  return {
      {"NotXml", "Status of units, kept by hand\r\n", "not a well-formed XML document"},
      {"Binary", binary, "not a well-formed XML document"},
      {"Truncated", "<Velmoors>" + UnitXml(5, 1).substr(0, 40), "not a well-formed XML document"},
      {"Empty", "", "is empty"},
      {"BlanksOnly", " \r\n\t\r\n", "is empty"},
      {"DeclarationOnly", "<?xml version=\"1.0\"?>", "holds no XML element"},
      {"Doctype", "<!DOCTYPE Velmoors [<!ENTITY x \"SECRET\">]><Velmoors>" + UnitXml(5, 1) + "</Velmoors>",
       "document type declaration"},
      {"OtherRoot", "<Units>" + UnitXml(5, 1) + "</Units>", "its root element is Units, not Velmoors"},
      {"TwoRoots", "<Velmoors>" + UnitXml(5, 1) + "</Velmoors><Velmoors/>", "more than one root element"},
      {"TextAfterTheRoot", "<Velmoors>" + UnitXml(5, 1) + "</Velmoors>Velmoor>", "text outside its root element"},
      {"DeepAndUnclosed", deep, "not a well-formed XML document"},
  };
}

class DamagedFile : public ::testing::TestWithParam<DamagedCase> {};
}  // namespace

TEST_P(DamagedFile, IsLeftUnchangedAndTheOperatorIsToldOnce) {
  const DamagedCase& c = GetParam();
  Terminal t;
  WriteFile(t.Current(), c.content);
  CTransponder& unit = t.Start();
  ASSERT_EQ(t.op.boxes.size(), 1u) << "one box at start-up";
  const ScriptedOperator::Box* box = &t.op.boxes[0];
  EXPECT_EQ(box->caption, "Status file damaged");
  EXPECT_NE(box->text.find(t.Current().string()), std::string::npos) << box->text;
  EXPECT_NE(box->text.find("left unchanged"), std::string::npos) << box->text;
  EXPECT_NE(box->text.find(c.reason), std::string::npos) << box->text;

  // Reads find nothing, saves write nothing, and nobody is told twice.
  unit.status.currentStatus.UnitId = 5;
  unit.records.storedStatus.CPU = 4;
  EXPECT_FALSE(unit.LoadCurrentEntry(5));
  EXPECT_EQ(unit.records.storedStatus.CPU, 4);
  EXPECT_FALSE(unit.SaveCurrentEntry()) << "a save that wrote nothing does not report success";
  EXPECT_FALSE(unit.SaveCurrentEntry());
  std::vector<std::string> lines;
  EXPECT_EQ(unit.ListStoredUnits(lines), 0);
  EXPECT_EQ(ReadFile(t.Current()), c.content);
  EXPECT_EQ(t.op.boxes.size(), 1u);

  // Once the operator removes it, the next save starts a new file; damaged again, told again.
  fs::remove(t.Current());
  EXPECT_TRUE(unit.SaveCurrentEntry());
  WriteFile(t.Current(), c.content);
  EXPECT_FALSE(unit.SaveCurrentEntry());
  EXPECT_EQ(t.op.boxes.size(), 2u);
  EXPECT_EQ(ReadFile(t.Current()), c.content);
}

INSTANTIATE_TEST_SUITE_P(Contents, DamagedFile, ::testing::ValuesIn(DamagedCases()),
                         [](const ::testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

// A status file the system will not let the terminal read is told as not readable, with the
// system's reason, not as damaged, and is left as it is.
TEST(DamagedFiles, AFileThatCannotBeReadIsNotCalledDamaged) {
  Terminal t;
  fs::create_directories(t.Current());  // a folder where the file belongs: reading it fails
  t.Start();
  ASSERT_EQ(t.op.boxes.size(), 1u);
  EXPECT_EQ(t.op.boxes[0].caption, "Status file not readable");
  EXPECT_NE(t.op.boxes[0].text.find(t.Current().string() + " cannot be read ("), std::string::npos)
      << t.op.boxes[0].text;
  EXPECT_EQ(t.op.boxes[0].text.find("damaged"), std::string::npos) << t.op.boxes[0].text;
}

TEST(DamagedFiles, ASaveFlushesTheNewFileBeforeItTakesTheOldOnesPlaceAndThenTheFolder) {
  Terminal t;
  WriteFile(t.Current(), "<Velmoors>" + UnitXml(1, 1) + "</Velmoors>");
  const fs::path folder = fs::canonical(t.Folder());
  const fs::path target = folder / "Current-Status.xml";
  std::vector<std::string> calls;
  diskCalls = &calls;
  const WriteOutcome written = WriteFileAtomically(target, "<Velmoors/>");
  diskCalls = nullptr;
  ASSERT_TRUE(written.ok);
  ASSERT_EQ(calls.size(), 3u);
  const std::string temporary = calls[0].substr(6);
  EXPECT_EQ(fs::path(temporary).parent_path(), folder) << calls[0];
  EXPECT_EQ(calls[1], "rename " + temporary + " " + target.string());
  EXPECT_EQ(calls[2], "fsync " + folder.string());
}

TEST(DamagedFiles, ASaveThatCannotBeWrittenLeavesTheFileWholeAndIsToldOnce) {
  // Its lock file can be locked, or cannot even be made: then the operator is told both in one.
  for (bool lockFails : {false, true}) {
    SCOPED_TRACE(lockFails ? "no lock" : "locked");
    Terminal t;
    const std::string original = "<Velmoors>" + UnitXml(1, 1) + "</Velmoors>";
    WriteFile(t.Current(), original);
    if (lockFails) fs::create_directory(t.Current().string() + ".lock");
    CTransponder& unit = t.Start();
    unit.status.currentStatus.UnitId = 5;
    unit.status.currentStatus.String1.Assign(LongText("x", 999));
    unit.status.currentStatus.String2.Assign(LongText("y", 999));

    // The disk takes no more than 2 KB per file: the write of the new content fails part way.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool first = unit.SaveCurrentEntry();
    bool second = unit.SaveCurrentEntry();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(first || second);
    ASSERT_EQ(t.op.boxes.size(), 1u);
    const std::string& told = t.op.boxes[0].text;
    EXPECT_EQ(t.op.boxes[0].caption, "Status file not saved");
    EXPECT_NE(told.find(t.Current().string()), std::string::npos) << told;
    EXPECT_NE(told.find("000005 was not recorded"), std::string::npos) << told;
    EXPECT_EQ(told.find(".lock could not be locked") != std::string::npos, lockFails) << told;
    EXPECT_EQ(ReadFile(t.Current()), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(t.Folder()), {}), 2) << "the file and its lock: no temporary left";

    // Room again: the save goes through, and the unit is in the file.
    EXPECT_TRUE(unit.SaveCurrentEntry());
    EXPECT_TRUE(unit.LoadCurrentEntry(5));
  }
}
