// A terminal killed while it writes its history loses at most the event it was writing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

using namespace history;

TEST(HistoryKill, KeepsEveryEventWrittenBeforeTheKill) {
  const std::filesystem::path dir = FreshTempDir("history-kill");
  const std::filesystem::path file = dir / "history.sqlite";
  auto events = [&](HistoryStore& probe) {
    if (!probe.IsOpen() && !probe.Open(file)) return int64_t{0};
    return SqlInt(probe.Db(), "SELECT count(*) FROM events");
  };
  for (int round = 0; round < 3; ++round) {
    HistoryStore probe;
    const int64_t before = round == 0 ? 0 : events(probe);
    probe.Close();  // no connection crosses the fork
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Status reads of a few units, on and on, each event numbered in its reason.
      HistoryStore store;
      if (!store.Open(file)) _exit(2);
      for (int n = 0;; ++n) {
        UnitStatus s;
        s.UnitId = 100 + n % 7, s.Count = n;
        HistoryEvent ev;
        ev.unitId = s.UnitId, ev.time = DateTime::NowUtc(), ev.statusRead = true;
        ev.reason = std::to_string(round) + ":" + std::to_string(n);
        const FieldTexts t = TextsOf(StatusChecks{}, s);
        if (!store.Append(ev, &t)) _exit(3);
      }
    }
    // Killed at a moment of its own each round, once it has written a few dozen events.
    for (int polls = 0; polls < 4000; ++polls) {
      ::usleep(1000 * (3 + round * 2));
      if (events(probe) >= before + 40 * (round + 1)) break;
    }
    probe.Close();
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
  }
  // Every round's events are there from its first to its last, none missing between, and each
  // unit's state replays to the count of its last event.
  HistoryStore store;
  ASSERT_TRUE(store.Open(file)) << store.Message();
  std::vector<std::vector<int>> seen(3);
  for (int32_t unit = 100; unit < 107; ++unit) {
    const auto states = store.States(unit);
    for (const auto& [ev, texts] : states) {
      const int n = std::stoi(ev.reason.substr(2));
      seen[static_cast<size_t>(std::stoi(ev.reason.substr(0, 1)))].push_back(n);
      EXPECT_EQ(texts[*FieldIndex("Count")], std::to_string(n));
    }
  }
  for (auto& round : seen) {
    std::sort(round.begin(), round.end());
    ASSERT_FALSE(round.empty());
    for (size_t i = 0; i < round.size(); ++i) ASSERT_EQ(round[i], static_cast<int>(i));
  }
  std::filesystem::remove_all(dir);
}
