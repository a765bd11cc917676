// The start-up search reaches the last port of its range.
#include <gtest/gtest.h>

#include "tests/ui/ui_support.h"

TEST(Startup, UnitOnCom10OnlyIsFound) {
  WindowOnBench w(10, 0);
  w.Start();
  EXPECT_EQ(w.dlg->unitPort, 10);
  EXPECT_EQ(w.dlg->paneText, "Velmoor detected on Comm 10");
  EXPECT_TRUE(w.op.portDialogs.empty());
  EXPECT_EQ(w.bench.port.portNumber, 10);
}
