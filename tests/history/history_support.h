// A status read of a unit kept in a real history store, as the terminal records one.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "history/history_store.h"

inline history::HistoryEvent AppendRead(history::HistoryStore& store, const UnitStatus& s, DateTime at,
                                        StatusChecks c = {}, const std::string& bench = "") {
  history::HistoryEvent ev;
  ev.time = at;
  ev.unitId = s.UnitId;
  ev.serial = s.SerialNo.str();
  ev.bench = bench;
  ev.action = "General Status";
  ev.outcome = "done";
  ev.statusRead = true;
  c.LastStatusTime = at;
  const history::FieldTexts t = history::TextsOf(c, s);
  EXPECT_TRUE(store.Append(ev, &t)) << store.Message();
  return ev;
}
