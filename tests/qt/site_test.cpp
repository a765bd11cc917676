// The window with a site server: the status line says how sending goes, a problem is told once,
// and the dossier shows every bench's visits from the site, or this PC's own saying why. The
// server is the test program's own (tests/support/pg_server.h).
#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "site/site_sender.h"
#include "history_window.h"
#include "qt_support.h"
#include "tests/history/history_support.h"
#include "tests/support/pg_server.h"

using namespace history;

namespace {

const char* kUnreachable = "host=127.0.0.1 port=1 connect_timeout=1";

// A fresh database with the site's tables on the test program's own server.
std::string SiteDatabase() {
  static int n = 0;
  const std::string site = PgServer::Get().FreshDatabase("qt_site_" + std::to_string(n++));
  int from = 0;
  const SiteProblem p = SiteServer().Init(ChooseSite(site, false, {}).setting, from);
  EXPECT_FALSE(p) << p.message << " " << p.detail;
  return site;
}

// Waits until the site holds this many events (as site status counts them).
bool SiteHolds(const std::string& site, int64_t expected) {
  SiteServer s;
  int64_t events = -1, units = 0, benches = 0;
  return !s.Connect(ChooseSite(site, false, {}).setting) &&
         WaitUntil([&] { return !s.Counts(events, units, benches) && events == expected; });
}

}  // namespace

TEST(QtSite, TheStatusLineSaysHowSendingGoesAndAProblemIsToldOnce) {
  const struct {
    bool needsServer;
    const char* site;  // empty: the test server's database
    const char* line;  // what the status line comes to say of the site; empty: nothing
    const char* told;  // what the pane tells once, between actions; empty: nothing
  } cases[] = {
      {false, kUnreachable, "site unreachable since ", "cannot be reached"},
      {false, "host=127.0.0.1 password=secret", "", "carries a password"},  // refused at start: no site
      {true, "", "site: up to date", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.site);
    const std::string site = c.needsServer ? SiteDatabase() : c.site;
    ModalAnswerer answerer;
    AppOnBench b(site);
    b.Start();
    // Told once, in the pane, between actions (after the start-up search); never in a box.
    if (*c.told) {
      EXPECT_TRUE(WaitUntil([&] { return b.Pane().find(c.told) != std::string::npos; })) << b.Pane();
    }
    b.Click(ctl::kGeneralStatus);
    if (*c.line) {
      EXPECT_TRUE(WaitUntil([&] { return b.StatusLine().find(c.line) != std::string::npos; })) << b.StatusLine();
    } else {
      EXPECT_EQ(b.app->site(), nullptr);
      EXPECT_EQ(b.StatusLine().find("site"), std::string::npos) << b.StatusLine();
    }
    if (c.needsServer) {
      EXPECT_TRUE(SiteHolds(site, 1));  // the status read's event, sent as the action ended
    }
    QTest::qWait(1500);
    EXPECT_EQ(b.Pane().find(*c.told ? c.told : "site"), std::string::npos) << b.Pane();
    EXPECT_TRUE(answerer.titles.empty()) << answerer.titles.front();
  }
}

TEST(QtSite, TheDossierShowsEveryBenchFromTheSiteOrSaysItShowsThisPcsOwn) {
  const struct {
    bool needsServer;
    int rows;
    const char* source;
  } cases[] = {
      {false, 1, "Site not reachable: this PC's visits only\n"},
      {true, 2, "Every bench's visits, from the site"},
  };
  for (const auto& c : cases) {
    const std::string site = c.needsServer ? SiteDatabase() : kUnreachable;
    ModalAnswerer answerer;
    AppOnBench b(site);
    b.Start();
    b.Click(ctl::kGeneralStatus);
    const int32_t unit = b.dlg().unit.status.currentStatus.UnitId;
    if (c.needsServer) {
      // Another bench's visit of the same unit, sent from its own PC.
      HistoryStore other;
      ASSERT_TRUE(other.Open(b.root / "other.sqlite"));
      UnitStatus s;
      s.UnitId = unit;
      AppendRead(other, s, DateTime::FromCivil({2026, 1, 5, 9, 0, 0}), {}, "bench-other");
      EXPECT_EQ(SiteSender(other.File(), ChooseSite(site, false, {}).setting).PushAll(std::chrono::seconds(20)).waiting,
                0);
      ASSERT_TRUE(SiteHolds(site, 2));
    }
    b.window().historyButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return b.window().historyWindow() != nullptr; }));
    HistoryWindow& w = *b.window().historyWindow();
    ASSERT_NE(w.source(), nullptr);
    EXPECT_TRUE(w.source()->text().startsWith(c.source)) << w.source()->text().toStdString();
    ASSERT_EQ(w.visits()->rowCount(), c.rows);
    EXPECT_EQ(w.visits()->item(c.rows - 1, 1)->text() == "bench-other", c.needsServer);
    w.close();
  }
}
