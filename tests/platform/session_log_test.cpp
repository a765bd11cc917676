// The session log's own rules: one file a day, the daily cap, old days removed, a log that
// cannot be written reported once, and the escaping of raw bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sys/stat.h>

#include "platform/session_log.h"
#include "tests/support/test_bench.h"

namespace {

using Clock = std::chrono::system_clock;

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct LogFolder : ::testing::Test {
  std::filesystem::path root = FreshTempDir("log");
  std::filesystem::path folder = root / "logs";
  Clock::time_point now = Clock::now();
  ~LogFolder() override {
    std::error_code ec;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(root, ec);
  }
  SessionLog::Settings Settings() {
    SessionLog::Settings s;
    s.folder = folder;
    s.now = [this] { return now; };
    return s;
  }
};

TEST_F(LogFolder, EachDayHasItsFileAndOldDaysGoAtStart) {
  std::filesystem::create_directories(folder);
  SessionLog log(Settings());
  const auto day = std::chrono::hours(24);
  // Day 30 before today goes; day 29, other files and today stay.
  for (int back : {30, 29}) std::ofstream(log.FileFor(now - back * day)) << "old\n";
  std::ofstream(folder / "notes.txt") << "kept\n";
  log.RemoveOldFiles();
  EXPECT_FALSE(std::filesystem::exists(log.FileFor(now - 30 * day)));
  EXPECT_TRUE(std::filesystem::exists(log.FileFor(now - 29 * day)));
  EXPECT_TRUE(std::filesystem::exists(folder / "notes.txt"));

  log.Write("send", "#RRTC\\r\\n");
  log.Flush();
  const auto today = log.FileFor(now);
  now += day;
  log.Write("recv", "RTC OK\\r\\n");
  log.Flush();
  const std::string first = ReadAll(today), second = ReadAll(log.FileFor(now));
  EXPECT_NE(first.find(" send #RRTC\\r\\n\n"), std::string::npos) << first;
  EXPECT_EQ(first.find("RTC OK"), std::string::npos);
  EXPECT_NE(second.find(" recv RTC OK\\r\\n\n"), std::string::npos) << second;
  EXPECT_EQ(second.size(), std::string("12:00:00.000 recv RTC OK\\r\\n\n").size()) << "ms timestamp";
}

TEST_F(LogFolder, TheDailyCapEndsTheDayWithOneLine) {
  auto s = Settings();
  s.dailyCapBytes = 1000;
  SessionLog log(s);
  for (int i = 0; i < 200; ++i) log.Write("send", "0123456789");
  log.Flush();
  const std::string text = ReadAll(log.FileFor(now));
  EXPECT_LE(text.size(), 1000u + 120u);
  EXPECT_EQ(text.find("cap"), text.rfind("cap")) << "one cap line";
  EXPECT_NE(text.find("log the day's cap of 1000 bytes is reached"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
  now += std::chrono::hours(24);
  log.Write("send", "next day");
  log.Flush();
  EXPECT_NE(ReadAll(log.FileFor(now)).find("next day"), std::string::npos);
}

TEST_F(LogFolder, ALogThatCannotBeWrittenIsReportedOnceAndTheCallerGoesOn) {
  const struct {
    const char* name;
    std::function<void(LogFolder&)> spoil;
  } cases[] = {
      {"a file where the folder should be", [](LogFolder& f) { std::ofstream(f.folder) << "not a folder"; }},
      {"disk full",
       [](LogFolder& f) {
         std::filesystem::create_directories(f.folder);
         SessionLog probe(f.Settings());
         std::filesystem::create_symlink("/dev/full", probe.FileFor(f.now));
       }},
      {"read-only folder",
       [](LogFolder& f) {
         std::filesystem::create_directories(f.folder);
         std::filesystem::permissions(f.folder,
                                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "read-only folder" && ::geteuid() == 0) continue;  // root writes anyway
    std::error_code ec;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(folder, ec);
    c.spoil(*this);
    SessionLog log(Settings());
    for (int i = 0; i < 100; ++i) log.Write("send", "#HWST\\r\\n");
    log.Flush();
    const std::string failure = log.TakeFailure();
    EXPECT_NE(failure.find("The session log cannot be written: " + folder.string()), std::string::npos) << failure;
    EXPECT_NE(failure.find("goes on without it"), std::string::npos);
    log.Write("send", "more");
    log.Flush();
    EXPECT_EQ(log.TakeFailure(), "") << "told once";
  }
}

TEST(SessionLogText, RawBytesAreEscapedAndReadBack) {
  const struct {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"#HWST\r\n", "#HWST\\r\\n"},
      {std::string("Boot>\x07\0", 7), "Boot>\\x07\\x00"},
      {"a\\b\tc\xFF", "a\\\\b\\tc\\xFF"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(EscapeBytes(c.bytes), c.shown);
    EXPECT_EQ(UnescapeBytes(c.shown), c.bytes);
  }
}

TEST(SessionLogText, StartOffLeavesNoLogAndNoFolder) {
  const auto root = FreshTempDir("nolog");
  EXPECT_EQ(SessionLog::Start(DataPaths{root}, false), nullptr);
  EXPECT_FALSE(LogActive());
  EXPECT_FALSE(std::filesystem::exists(root / "T7Status" / "logs"));
  ASSERT_NE(SessionLog::Start(DataPaths{root}, true, "velmoor-terminal 3.00.012"), nullptr);
  SessionLog::Stop();
  EXPECT_FALSE(LogActive());
  const std::string text = ReadAll(SessionLog(SessionLog::Settings{root / "T7Status" / "logs"}).FileFor(Clock::now()));
  EXPECT_NE(text.find(" start velmoor-terminal 3.00.012\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" stop session ends\n"), std::string::npos);
  std::filesystem::remove_all(root);
}

}  // namespace
