// The export of the current-status file: the pieces cut before every "<", the transfer-time
// question, "END", each outcome code, and the far end's view of what went over the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "records/export.h"
#include "sim/sim_tests.h"
#include "tests/support/test_bench.h"

namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct ExportTest : ::testing::Test {
  void File(const std::string& text) { WriteText(b.unit->paths.CurrentStatusFile(), text); }
  UnitOnBench b;
};

TEST(ExportPieces, CutBeforeEveryTagOpening) {
  EXPECT_EQ(ExportLines("<Velmoors><Velmoor><General>"),
            (std::vector<std::string>{"<Velmoors>", "<Velmoor>", "<General>"}));
  // Text between tags travels with the tag before it.
  EXPECT_EQ(ExportLines("<a>12</a>"), (std::vector<std::string>{"<a>12", "</a>"}));
  EXPECT_EQ(ExportLines("x<a>"), (std::vector<std::string>{"x", "<a>"}));
  // Reading stops at the first line break; a file that starts with one gives one empty piece.
  EXPECT_EQ(ExportLines("<a>\n<b>"), (std::vector<std::string>{"<a>"}));
  EXPECT_EQ(ExportLines("\n<a>"), (std::vector<std::string>{""}));
  EXPECT_EQ(ExportLines(""), (std::vector<std::string>{""}));
}

TEST(ExportPieces, LongPieceGoesAsSeveralLinesThatJoinUpUnchanged) {
  const std::string value(2500, 'v');
  const std::vector<std::string> lines = ExportLines("<String1>" + value + "</String1>");
  ASSERT_EQ(lines.size(), 4u);
  std::string joined;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), kExportLineMax);
    joined += lines[i];
  }
  EXPECT_EQ(joined, "<String1>" + value);
  EXPECT_EQ(lines.back(), "</String1>");
}

TEST(ExportTransferTime, AskedOnlyAboveTwentySeconds) {
  EXPECT_NEAR(ExportTransferSeconds(27681), 19.9995, 1e-4);
  EXPECT_FALSE(ExportTransferSeconds(27681) > kExportAskAboveSeconds);
  EXPECT_TRUE(ExportTransferSeconds(27682) > kExportAskAboveSeconds);
}

TEST_F(ExportTest, PiecesGoOutEachAnsweredThenEnd) {
  File("<Velmoors><Velmoor><General><UnitId>12</UnitId></General></Velmoor></Velmoors>");
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_EQ(b.wire(),
            "Export\r\n<Velmoors>\r\n<Velmoor>\r\n<General>\r\n<UnitId>12\r\n</UnitId>\r\n</General>\r\n"
            "</Velmoor>\r\n</Velmoors>\r\nEND\r\n");
  b.clock.AdvanceMs(100);  // "END" reaches the far end
  b.bench.line().Advance();
  const auto& t = b.sim().state.tests;
  EXPECT_EQ(t.exportPieces, (std::vector<std::string>{"<Velmoors>", "<Velmoor>", "<General>", "<UnitId>12",
                                                      "</UnitId>", "</General>", "</Velmoor>", "</Velmoors>"}));
  EXPECT_TRUE(t.exportEnded);
  EXPECT_TRUE(b.op.boxes.empty());
}

TEST_F(ExportTest, FileStartingWithALineBreakSendsOneEmptyLine) {
  File("\n<Velmoors></Velmoors>");
  const uint64_t start = b.nowMs();
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_EQ(b.wire(), "Export\r\n\r\nEND\r\n");
  // The empty piece gets no answer and is waited for, but not judged.
  EXPECT_GT(b.nowMs() - start, 2000u);
}

TEST_F(ExportTest, ExportOfTheTerminalsOwnFileCarriesEveryUnitWhole) {
  for (int32_t id : {1, 2, 3}) {
    b.unit->status.currentStatus = UnitStatus{};
    b.unit->status.currentStatus.UnitId = id;
    b.unit->status.currentStatus.String1 = std::string(990, 'x') + "\r\n#STTX line two";
    ASSERT_TRUE(b.unit->SaveCurrentEntry());
  }
  std::string file;
  {
    std::ifstream in(b.unit->paths.CurrentStatusFile(), std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(file.find('\n'), std::string::npos);  // written without line breaks
  SimExportDevice device(b.bench.line());
  b.op.answers = {MbAnswer::Yes};  // the transfer time question, if the file is that large
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  b.clock.AdvanceMs(100);
  b.bench.line().Advance();
  EXPECT_TRUE(device.state.exportEnded);
  std::string joined;
  size_t longest = 0;
  for (const auto& piece : device.state.exportPieces) {
    joined += piece;
    longest = std::max(longest, piece.size());
  }
  EXPECT_TRUE(joined == file) << "the pieces joined up differ from the file";
  EXPECT_GT(longest, 990u);
  EXPECT_LE(longest, kExportLineMax);
}

TEST_F(ExportTest, LongTransferIsAskedAndCanBeDeclined) {
  std::string big = "<Velmoors>";
  while (big.size() < 27682 - 11) big += "<a>1</a>";
  big.resize(27682 - 11, ' ');
  big += "</Velmoors>";
  ASSERT_EQ(big.size(), 27682u);
  File(big);
  b.unit->ShowBusy();
  b.op.answers = {MbAnswer::No};
  EXPECT_EQ(b.unit->ExportStatus(), kExportDeclined);
  ASSERT_EQ(b.op.boxes.size(), 1u);
  EXPECT_EQ(b.op.boxes[0].text, "Transfer time approx\r\n 20 secs\r\nContinue??");
  EXPECT_EQ(b.op.boxes[0].caption, "Transfer time");
  EXPECT_EQ(b.op.boxes[0].buttons, MbButtons::YesNo);
  EXPECT_EQ(b.op.boxes[0].icon, MbIcon::Question);
  EXPECT_EQ(b.wire(), "");
  EXPECT_EQ(b.op.busyCaptions.back(), "Exporting XML status log");

  // Yes: the busy window comes back and the export runs.
  b.unit->ShowBusy();
  b.op.answers = {MbAnswer::Yes};
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_TRUE(b.op.busyVisible);
  b.unit->HideBusy();
}

TEST_F(ExportTest, AnsweredYesWithoutTheBusyWindowLeavesItDown) {
  File("<Velmoors>" + std::string(28000, ' ') + "</Velmoors>");
  b.op.answers = {MbAnswer::Yes};
  EXPECT_EQ(b.unit->ExportStatus(), kExportDone);
  EXPECT_FALSE(b.op.busyVisible);
  EXPECT_FALSE(b.unit->serial.busyShown);
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
