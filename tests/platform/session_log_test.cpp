// The session log's own rules: one file a day, the daily cap, old days removed, a log that
// cannot be written reported once, two terminals on one file, the first and last lines, a
// thread that writes while the log ends, the operations' lines and the escaping of raw bytes.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/session_log.h"
#include "tests/support/test_bench.h"

namespace {

using Clock = std::chrono::system_clock;

struct LogFolder : ::testing::Test {
  std::filesystem::path root = FreshTempDir("log");
  std::filesystem::path folder = root / "logs";
  Clock::time_point now = Clock::now();
  ~LogFolder() override {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  SessionLog::Settings Settings() {
    SessionLog::Settings s;
    s.folder = folder;
    s.now = [this] { return now; };
    return s;
  }
};

TEST_F(LogFolder, EachDayHasItsFileAndCapAndOldDaysGoAtStart) {
  std::filesystem::create_directories(folder);
  auto settings = Settings();
  settings.dailyCapBytes = 1000;
  SessionLog log(settings);
  const auto day = std::chrono::hours(24);
  // Day 30 before today goes; day 29, other files and today stay.
  for (int back : {30, 29}) std::ofstream(log.FileFor(now - back * day)) << "old\n";
  std::ofstream(folder / "notes.txt") << "kept\n";
  log.RemoveOldFiles();
  EXPECT_FALSE(std::filesystem::exists(log.FileFor(now - 30 * day)));
  EXPECT_TRUE(std::filesystem::exists(log.FileFor(now - 29 * day)));
  EXPECT_TRUE(std::filesystem::exists(folder / "notes.txt"));

  // The day's cap ends the day's file with one line.
  log.Write("send", "#RRTC\\r\\n");
  for (int i = 0; i < 200; ++i) log.Write("send", "0123456789");
  log.Flush();
  const std::string first = ReadText(log.FileFor(now));
  EXPECT_NE(first.find(" send #RRTC\\r\\n\n"), std::string::npos) << first;
  EXPECT_LE(first.size(), 1000u + 120u);
  EXPECT_EQ(first.find("cap"), first.rfind("cap")) << "one cap line";
  EXPECT_NE(first.find("log the day's cap of 1000 bytes is reached"), std::string::npos);
  EXPECT_EQ(first.back(), '\n');

  // The next day has a file of its own, and the log writes again; a line has its time to the ms.
  now += day;
  log.Write("recv", "RTC OK\\r\\n");
  log.Flush();
  EXPECT_EQ(ReadText(log.FileFor(now)).substr(12), " [" + std::to_string(CurrentProcessId()) + "] recv RTC OK\\r\\n\n");
}

TEST_F(LogFolder, TwoTerminalsOnOneDayFileWriteWholeLinesEachUnderItsId) {
  std::map<std::string, int> lines;
  {
    auto settings = Settings();
    settings.processId = 4711;
    SessionLog first(settings);
    settings.processId = 815;
    SessionLog second(settings);
    // Batches of some 11 kB from each in turn.
    for (int round = 0; round < 4; ++round)
      for (SessionLog* log : {&first, &second}) {
        for (int i = 0; i < 100; ++i) log->Write("send", std::string(90, 'x') + "\\r\\n");
        log->Flush();
      }
  }
  std::istringstream in(ReadText(SessionLog(Settings()).FileFor(now)));
  const std::regex whole(R"(\d\d:\d\d:\d\d\.\d{3} \[(4711|815)\] send x{90}\\r\\n)");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
    ++lines[m[1]];
  }
  EXPECT_EQ(lines, (std::map<std::string, int>{{"4711", 400}, {"815", 400}}));
}

TEST_F(LogFolder, ALogThatCannotBeWrittenIsReportedOnceAndTheCallerGoesOn) {
  for (bool diskFull : {false, true}) {
    SCOPED_TRACE(diskFull ? "disk full" : "a file where the folder should be");
    if (diskFull && !std::filesystem::exists("/dev/full")) continue;  // a full disk is faked with /dev/full
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (diskFull) {
      std::filesystem::create_directories(folder);
      std::filesystem::create_symlink("/dev/full", SessionLog(Settings()).FileFor(now));
    } else {
      std::ofstream(folder) << "not a folder";
    }
    SessionLog log(Settings());
    for (int i = 0; i < 100; ++i) log.Write("send", "#HWST\\r\\n");
    log.Flush();
    const std::string failure = log.TakeFailure();
    EXPECT_NE(failure.find("The session log cannot be written: " + folder.string()), std::string::npos) << failure;
    log.Write("send", "more");
    log.Flush();
    EXPECT_EQ(log.TakeFailure(), "") << "told once";
  }
}

TEST(SessionLogText, RawBytesAreEscapedAndReadBack) {
  // The bytes and how the log shows them.
  const std::pair<std::string, std::string> cases[] = {{"#HWST\r\n", "#HWST\\r\\n"},
                                                       {std::string("Boot>\x07\0", 7), "Boot>\\x07\\x00"},
                                                       {"a\\b\tc\xFF", "a\\\\b\\tc\\xFF"},
                                                       {"", ""}};
  for (const auto& [bytes, shown] : cases) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(EscapeBytes(bytes), shown);
    EXPECT_EQ(UnescapeBytes(shown), bytes);
  }
}

// The lines of the process-wide log's day file, without their time and process id.
std::vector<std::string> LinesOf(const std::filesystem::path& root) {
  std::istringstream in(LoggedText(root));
  std::vector<std::string> out;
  const std::string id = " [" + std::to_string(CurrentProcessId()) + "] ";
  for (std::string line; std::getline(in, line);)
    out.push_back(line.substr(12, id.size()) == id ? line.substr(12 + id.size()) : "no id: " + line);
  return out;
}

// Off, no log at all. On, the first line tells the command line and the last the exit code;
// the window and the command line write a line for each operation's start, box, question and
// outcome, however many lines its texts have.
TEST_F(LogFolder, StartStopAndAnOperationsLinesOneLineEach) {
  EXPECT_EQ(SessionLog::Start(DataPaths{root}, false), nullptr);
  EXPECT_FALSE(std::filesystem::exists(root / "T7Status" / "logs"));
  const char* argv[] = {"velmoor-cli", "--root", "/tmp/a b", "", "say \"hi\"\n", "status"};
  ASSERT_NE(SessionLog::Start(DataPaths{root}, true, "velmoor-cli 3.00.012", CommandLineText(6, argv)), nullptr);
  LogOperationStart("Quick set", "--power 2 --gain High");
  LogOperationStart("General Status", "");
  LogBox("Velmoor", "Unit set correctly\r\nAddress 1207");
  LogQuestion("enable-or-disable", "Leave the unit \"enabled\"?", "Yes", "--yes");
  LogOutcome("done: Quick set\nverified");
  SessionLog::Stop(3);
  EXPECT_FALSE(LogActive());
  EXPECT_EQ(LinesOf(root), (std::vector<std::string>{
                               R"(start velmoor-cli 3.00.012, command line: velmoor-cli --root "/tmp/a b" "" )"
                               R"("say \"hi\"\n" status)",
                               R"(op "Quick set" --power 2 --gain High)",
                               R"(op "General Status")",
                               R"(box "Velmoor" Unit set correctly\r\nAddress 1207)",
                               R"(ask enable-or-disable "Leave the unit \"enabled\"?" answered "Yes" by --yes)",
                               R"(outcome done: Quick set\nverified)",
                               "stop exit code 3",
                           }));
}

// A thread that writes while the program ends the log and starts it again writes into a log
// that is still there: its lines are in their log before its last line, or dropped; a share
// held past the end keeps the log and writes nothing after the last line.
TEST_F(LogFolder, AThreadWritingWhileTheLogEndsWritesIntoALogStillThere) {
  std::atomic<bool> done{false};
  std::thread writer([&] {
    while (!done) LogEvent("site", "sent 1 event");
  });
  for (int i = 0; i < 20; ++i) {
    ASSERT_NE(SessionLog::Start(DataPaths{root}, true), nullptr);
    SessionLog::Stop();
  }
  done = true;
  writer.join();
  const std::shared_ptr<SessionLog> held = SessionLog::Start(DataPaths{root}, true);
  SessionLog::Stop();
  held->Write("site", "after the end");
  // Each log as "[", the writer's lines ("w"), "]".
  std::string shape, expected;
  for (const std::string& line : LinesOf(root))
    shape += line == "start session" ? "[" : line == "stop session ends" ? "]" : "w";
  for (int i = 0; i < 21; ++i) expected += "[]";
  EXPECT_EQ(std::regex_replace(shape, std::regex(R"(\[w*\])"), "[]"), expected) << shape;
}

}  // namespace
