// A status read of a unit kept in a real history store, as the terminal records one.
#pragma once
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "history/history_store.h"
#include "tests/support/test_bench.h"

// A unit as the history tests read it: its firmware, a Lithium battery, 10 counts used.
inline UnitStatus AUnit(int32_t id = 0x1A2B3C) {
  UnitStatus s;
  s.UnitId = id, s.SerialNo = "002345-007", s.T7V = "V3.01", s.CPU = 2, s.Voltage = 14.5f, s.Count = 10;
  s.Type = "Lithium", s.BatteryStacks = 1;
  return s;
}

// A general status read of the unit at that time; one whose readers failed (their bits) is refused.
inline history::HistoryEvent AppendRead(history::HistoryStore& store, const UnitStatus& s, DateTime at,
                                        StatusChecks c = {}, const std::string& bench = "", int32_t failed = 0) {
  history::HistoryEvent ev;
  ev.time = at, ev.unitId = s.UnitId, ev.serial = s.SerialNo.str(), ev.bench = bench;
  ev.action = "General Status", ev.outcome = failed ? "refused" : "done", ev.statusRead = true;
  ev.failedReaders = failed, c.LastStatusTime = at;
  const history::FieldTexts t = history::TextsOf(c, s);
  EXPECT_TRUE(store.Append(ev, &t)) << store.Message();
  return ev;
}

// Five units whose due flags differ, as status reads days before now: unit 1 nothing due (1
// count in 3 days, 60 to go), 2 release test due (its self test result 8 is a pass), 3 never
// released and its self test old and failed, 4 battery past 80% of one Lithium stack, 5 heading
// there (1 count a day over 39 days: 80 in about 9 days). each(unitId, checks, at, count, i)
// gets every read, i counting a unit's reads from 0.
template <class Each>
void ForEachDueRead(DateTime now, Each each) {
  const struct {
    int32_t id;
    int releaseAgo, selfAgo, selfResult;
    std::vector<std::pair<int, int>> counts;  // (days ago, battery count)
  } units[] = {
      {1, 10, 10, 0, {{30, 10}, {1, 20}}},
      {2, 200, 10, 8, {{1, 10}}},
      {3, -1, 400, 3, {{1, 10}}},
      {4, 10, 10, 0, {{1, 85}}},
      {5, 10, 10, 0, {{60, 20}, {40, 30}, {1, 70}}},
  };
  auto ago = [&](int days) { return history::FromUnixMs(history::ToUnixMs(now) - int64_t{days} * 86400000); };
  for (const auto& u : units) {
    StatusChecks c;
    if (u.releaseAgo >= 0) c.ReleaseTime = ago(u.releaseAgo), c.ReleaseResult = 0;
    if (u.selfAgo >= 0) c.HardwareTime = ago(u.selfAgo);
    c.HardwareResult = u.selfResult;
    for (size_t i = 0; i < u.counts.size(); ++i) each(u.id, c, ago(u.counts[i].first), u.counts[i].second, i);
  }
}

// A page of random bytes in place of the first page of a table or index.
inline void PlantRandomPage(const std::filesystem::path& file, const char* object) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  const std::string sql = std::string("SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master") +
                          " WHERE name = '" + object + "'";
  ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  const int64_t page = sqlite3_column_int64(s, 0), size = sqlite3_column_int64(s, 1);
  sqlite3_finalize(s);
  sqlite3_close(db);
  std::mt19937 random(7);
  std::string bytes(static_cast<size_t>(size), '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp((page - 1) * size);
  f.write(bytes.data(), size);
}

// Runs SQL on a file through a connection of its own.
inline void Sql(const std::filesystem::path& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// The first column of the first row of a query (0 without one).
inline int64_t SqlInt(sqlite3* db, const char* sql) {
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &q, nullptr);
  const int64_t n = q && sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : 0;
  sqlite3_finalize(q);
  return n;
}

// Five units' status reads (ForEachDueRead) in a new store.
inline void FiveUnits(const std::filesystem::path& file, DateTime now) {
  history::HistoryStore store;
  ASSERT_TRUE(store.Open(file)) << store.Message();
  ForEachDueRead(now, [&](int32_t id, const StatusChecks& c, DateTime at, int count, size_t) {
    UnitStatus s = AUnit(id);
    s.Count = count;
    AppendRead(store, s, at, c);
  });
}
