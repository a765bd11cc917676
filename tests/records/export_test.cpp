// The export of the current-status file: the pieces cut before every "<", the transfer-time
// question, "END", each outcome code, and the far end's view of what went over the line.
#include <gtest/gtest.h>

#include "records/export.h"
#include "sim/sim_tests.h"
#include "tests/records/records_support.h"

namespace {

struct ExportTest : ::testing::Test {
  void File(const std::string& text) { records_test::WriteFile(b.unit->paths.CurrentStatusFile(), text); }
  UnitOnBench b;
};

TEST(ExportPieces, CutBeforeEveryTagOpening) {
  // (Text between tags travels with the tag before it: the wire below shows it.)
  EXPECT_EQ(ExportLines("x<a>"), (std::vector<std::string>{"x", "<a>"}));
  // Reading stops at the first line break; a file that starts with one gives one empty piece.
  EXPECT_EQ(ExportLines("<a>\n<b>"), (std::vector<std::string>{"<a>"}));
  EXPECT_EQ(ExportLines("\n<a>"), (std::vector<std::string>{""}));
  EXPECT_EQ(ExportLines(""), (std::vector<std::string>{""}));
}

TEST_F(ExportTest, PiecesGoOutEachAnsweredThenEnd) {
  File("<Velmoors><Velmoor><General><UnitId>12</UnitId></General></Velmoor></Velmoors>");
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_EQ(b.wire(),
            "Export\r\n<Velmoors>\r\n<Velmoor>\r\n<General>\r\n<UnitId>12\r\n</UnitId>\r\n</General>\r\n"
            "</Velmoor>\r\n</Velmoors>\r\nEND\r\n");
  b.clock.AdvanceMs(100);  // "END" reaches the far end
  b.bench.line().Advance();
  EXPECT_EQ(b.sim().state.tests.exportPieces.size(), 8u);
  EXPECT_TRUE(b.sim().state.tests.exportEnded);
}

TEST_F(ExportTest, LongTransferIsAskedAndCanBeDeclined) {
  File("<Velmoors>" + std::string(27682 - 21, ' ') + "</Velmoors>");  // 27682 bytes
  b.unit->ShowBusy();
  b.op.answers = {MbAnswer::No};
  EXPECT_EQ(b.unit->ExportStatus(), kExportDeclined);
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_EQ(b.op.boxes[0].text, "Transfer time approx\r\n 20 secs\r\nContinue??");
  EXPECT_EQ(b.op.boxes[0].caption, "Transfer time");
  EXPECT_EQ(b.op.boxes[0].buttons, MbButtons::YesNo);
  EXPECT_EQ(b.wire(), "");
  EXPECT_EQ(b.op.busyCaptions.back(), "Exporting XML status log");

  // Yes: the export runs.
  b.op.answers = {MbAnswer::Yes};
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
}

TEST_F(ExportTest, OutcomeCodes) {
  // No file.
  EXPECT_EQ(b.unit->ExportStatus(), kExportFileFailed);
  EXPECT_EQ(b.wire(), "");

  File("<Velmoors><Velmoor></Velmoor></Velmoors>");
  b.sim().state.tests.exportSilent = true;
  EXPECT_EQ(b.unit->ExportStatus(), kExportNoAnswer);
  EXPECT_EQ(b.wire(), "Export\r\n");

  b.wire().clear();
  b.sim().state.tests.exportSilent = false;
  b.sim().state.tests.exportNoReply = true;
  EXPECT_EQ(b.unit->ExportStatus(), kExportNoReplyWord);
  EXPECT_EQ(b.wire(), "Export\r\n");  // nothing more for a device that did not say "Reply"

  // The device stops answering after the first piece: the export ends without "END".
  b.wire().clear();
  b.sim().state.tests.exportNoReply = false;
  b.sim().state.tests.exportPiecesAnswered = 1;
  EXPECT_EQ(b.unit->ExportStatus(), kExportNoAnswer);
  EXPECT_EQ(b.wire(), "Export\r\n<Velmoors>\r\n<Velmoor>\r\n");

  // The last piece's answer is not judged.
  File("<Velmoors></Velmoors>");
  b.wire().clear();
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_EQ(b.wire(), "Export\r\n<Velmoors>\r\n</Velmoors>\r\nEND\r\n");

  // The port will not open.
  b.bench.port.Close();
  b.bench.line().unplugged = true;
  EXPECT_EQ(b.unit->ExportStatus(), kExportPortFailed);
}

}  // namespace
