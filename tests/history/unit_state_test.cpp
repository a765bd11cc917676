// One model of a unit's state in a real store: a field a step did not read is no value, the
// checks are the latest of each whatever order they arrive in, the differences name fields as
// the status report shows them, an operation that did not read its unit is filed under the unit
// its port last showed, and a test falls due on the day its interval ends.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history/due_rules.h"
#include "history/record_outcome.h"
#include "history/unit_state.h"
#include "platform/time_ops.h"
#include "tests/history/history_support.h"
#include "tests/support/test_bench.h"

using namespace history;
namespace fs = std::filesystem;

namespace {

DateTime At(int y, int m, int d, int h = 12) { return DateTime::FromCivil({y, m, d, h, 0, 0}); }
size_t F(const char* name) { return static_cast<size_t>(*FieldIndex(name)); }

class UnitState : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(dir_ / "h.sqlite")) << store_.Message(); }
  void TearDown() override {
    store_.Close();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_ = FreshTempDir("unit-state");
  HistoryStore store_;
};

std::vector<std::string> Changed(const StatusDiff& d) {
  std::vector<std::string> out;
  for (const FieldChange& c : d.changes) out.push_back(c.element + " " + c.before + " -> " + c.after);
  return out;
}

}  // namespace

// A test report (status, sensors, checks), then a plain status read that reads no sensors, then
// one whose transponder reader failed: neither shows a "not read" value as a change, and the
// last values read stay the unit's.
TEST_F(UnitState, AFieldAStepDidNotReadIsNoValue) {
  UnitStatus report = AUnit();
  report.PressureFullScale = 5030.83f, report.DepthOffset = 1.26f;
  StatusChecks tested;
  tested.HardwareTime = At(2026, 11, 1), tested.HardwareResult = 0;
  AppendRead(store_, report, At(2026, 11, 1), tested);

  AppendRead(store_, AUnit(), At(2026, 11, 2));  // no sensors, no checks in this bench's file
  StatusDiff d = store_.Diff(report.UnitId);
  ASSERT_TRUE(d.found);
  EXPECT_EQ(Changed(d), std::vector<std::string>{}) << "a plain status read after a test report";

  UnitStatus partial = AUnit();
  partial.Voltage = -1.0f, partial.Count = -1, partial.CPU = -1, partial.T7V = "V3.02";
  AppendRead(store_, partial, At(2026, 11, 3), {}, "", 2);  // the transponder reader failed
  d = store_.Diff(report.UnitId);
  EXPECT_EQ(Changed(d), std::vector<std::string>{"T7V V3.01 -> V3.02"});

  const Dossier dossier = store_.LoadDossier(report.UnitId, At(2026, 11, 4));
  EXPECT_EQ(dossier.latest[F("PressureFullScale")], "5030.83");
  EXPECT_EQ(dossier.latest[F("DepthOffset")], "1.26");
  EXPECT_EQ(dossier.latest[F("Voltage")], "14.50");
  EXPECT_EQ(dossier.latest[F("HardwareTime")], At(2026, 11, 1).ToText());
  EXPECT_FALSE(dossier.flags.selfTestDue);
  EXPECT_EQ(dossier.series[0].points.size(), 2u);  // the voltage: the third read did not read it

  // A text of a reader that answered is the unit's answer: a battery taken out reads empty.
  UnitStatus twoBatteries = AUnit();
  twoBatteries.Batt2Id = "B-77";
  AppendRead(store_, twoBatteries, At(2026, 11, 5));
  AppendRead(store_, AUnit(), At(2026, 11, 6));
  EXPECT_EQ(Changed(store_.Diff(report.UnitId)), std::vector<std::string>{"Batt2Id B-77 -> "});
}

// An event written before the store kept what each event read holds its "not read" values as
// changes: they are no values when it is read back.
TEST_F(UnitState, EventsOfTheEarlierSchemaReadTheSame) {
  AppendRead(store_, AUnit(), At(2026, 1, 1));
  UnitStatus unread = AUnit();
  unread.Voltage = -1.0f, unread.CPU = 5;
  AppendRead(store_, unread, At(2026, 1, 2));
  ASSERT_EQ(sqlite3_exec(store_.Db(),
                         "UPDATE events SET read_mask = NULL, fields = json_set(fields, '$.Voltage', '-1.00')"
                         " WHERE id = 2",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(Changed(store_.Diff(0x1A2B3C)), std::vector<std::string>{"CPU 2 -> 5"});
}

// The checks are the latest of each, whatever order the readings come in: an older check, or a
// reading with none, never sets one back; a later one comes with its result.
TEST(UnitStateModel, ChecksAreTheLatestOfEach) {
  FieldTexts state;
  auto take = [&](DateTime selfTest, int result, bool status) {
    StatusChecks c;
    c.HardwareTime = selfTest, c.HardwareResult = result;
    const FieldTexts r = TextsOf(c, AUnit());
    return TakeReading(state, r, FieldsRead(status, 0, r)).size();
  };
  take(At(2026, 5, 1), 0, true);
  EXPECT_EQ(state[F("HardwareTime")], At(2026, 5, 1).ToText());
  EXPECT_EQ(take(DateTime{}, -1, true), 0u);     // a bench that never tested it
  EXPECT_EQ(take(At(2026, 4, 1), 3, false), 0u);  // an older test reported later
  EXPECT_EQ(state[F("HardwareResult")], "0");
  EXPECT_EQ(take(At(2026, 6, 1), 4, false), 2u);
  EXPECT_EQ(state[F("HardwareResult")], "4");
  EXPECT_EQ(MaskOfText(MaskText(FieldsRead(true, 0, state))), FieldsRead(true, 0, state));
}

// The differences say how the operator reads the field in the status report beside its name in
// the status files.
TEST_F(UnitState, DifferencesNameFieldsAsTheReportShowsThem) {
  UnitStatus s = AUnit();
  s.Address = 12, s.Channel = 7;
  AppendRead(store_, s, At(2026, 2, 1));
  s.Address = 14, s.Channel = 3, s.Voltage = 13.9f;
  AppendRead(store_, s, At(2026, 2, 2));
  std::vector<std::string> shown;
  for (const FieldChange& c : store_.Diff(s.UnitId).changes)
    shown.push_back(c.label + " = " + c.shownBefore + " -> " + c.shownAfter + " | " + c.element);
  EXPECT_EQ(shown, (std::vector<std::string>{"AD = 1207 -> 1403 | Channel", "AD = 1207 -> 1403 | Address",
                                             "Batt = 14.5V -> 13.9V | Voltage"}));
}

// Every operation is in its unit's history, refused, declined and unit-less ones too: an
// operation that did not read its unit goes under the unit this bench last read on the port, or
// the one the command line names, and says so; a port that never showed a unit leaves it
// without one, kept all the same.
TEST_F(UnitState, EveryOperationIsFiledUnderItsUnit) {
  HistoryContext ctx;
  ctx.port = "COM3 (/dev/ttyUSB0)";
  ASSERT_EQ(RecordOutcome(store_, ctx, MakeOutcome(OutcomeKind::Done, "General Status"), AUnit(), {}, true), "");
  UnitStatus none;  // this run did not read the unit
  for (const OutcomeKind kind : {OutcomeKind::Refused, OutcomeKind::Declined, OutcomeKind::NoUnit})
    EXPECT_EQ(RecordOutcome(store_, ctx, MakeOutcome(kind, "Set time", "why"), none, {}, false), "");
  HistoryContext named;
  named.port = "COM9", named.namedUnit = "002345-007";
  UnitStatus sensors;
  sensors.DepthOffset = 2.5f;
  EXPECT_EQ(RecordOutcome(store_, named, MakeOutcome(OutcomeKind::Done, "Read sensors"), sensors, {}, false, true), "");
  HistoryContext elsewhere;
  elsewhere.port = "COM4";
  EXPECT_EQ(RecordOutcome(store_, elsewhere, MakeOutcome(OutcomeKind::Done, "Load program"), none, {}, false), "");

  const auto visits = store_.Visits(0x1A2B3C);
  std::vector<std::string> seen;
  for (const HistoryEvent& e : visits) seen.push_back(e.action + " " + e.outcome + " " + e.unitFrom);
  EXPECT_EQ(seen, (std::vector<std::string>{"Read sensors done option", "Set time no-unit port",
                                            "Set time declined port", "Set time refused port",
                                            "General Status done "}));
  EXPECT_EQ(visits[1].serial, "002345-007");
  EXPECT_EQ(store_.LoadDossier(0x1A2B3C, At(2026, 12, 1)).latest[F("DepthOffset")], "2.50");
  EXPECT_EQ(SqlInt(store_.Db(), "SELECT count(*) FROM events WHERE unit_id IS NULL AND port = 'COM4'"), 1);
}

// A release test (180 days) and a self test (365) fall due on the day their interval ends, from
// the start of that day, not only from the hour of the last test.
TEST(UnitStateModel, ATestFallsDueOnTheDayItsIntervalEnds) {
  UnitRow row;
  row.releaseMs = ToUnixMs(At(2026, 6, 4, 15)), row.selfTestMs = ToUnixMs(At(2025, 12, 10, 15)), row.selfTestResult = 0;
  const HistorySettings set;
  auto flags = [&](DateTime now) { return FlagsOf(row, set, ToUnixMs(now), [](int64_t) { return std::nullopt; }); };
  // Local times: the test's own zone decides the day.
  auto local = [](int y, int m, int d, int h, int min) {
    const DateTime guess = DateTime::FromCivil({y, m, d, h, min, 0});
    const CivilTime c = time_ops::LocalAt(ToUnixMs(guess) / 1000);
    const int64_t shift = ToUnixMs(DateTime::FromCivil(c)) - ToUnixMs(guess);
    return FromUnixMs(ToUnixMs(guess) - shift);
  };
  const DateTime releaseDay = FromUnixMs(row.releaseMs + 180 * int64_t{86400000});
  const CivilTime end = time_ops::LocalAt(ToUnixMs(releaseDay) / 1000);
  EXPECT_TRUE(flags(local(end.year, end.month, end.day, 0, 1)).releaseTestDue);
  EXPECT_FALSE(flags(FromUnixMs(ToUnixMs(local(end.year, end.month, end.day, 0, 0)) - 60000)).releaseTestDue);
  EXPECT_TRUE(flags(releaseDay).releaseTestDue);
  EXPECT_FALSE(flags(releaseDay).selfTestDue);
  EXPECT_TRUE(flags(FromUnixMs(row.selfTestMs + 365 * int64_t{86400000})).selfTestDue);
}
