// The test report: the unit's status, its hardware self test, its release test (when it has
// a release and the operator agrees), its versions and sensors and its sensor reading, shown
// in the pane and written to ROOT/T7Status/<serial number>.txt.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/fixed_text.h"
#include "platform/outcome.h"
#include "platform/paths.h"

class CTransponder;

// Runs the report (its text in the outcome's pane) and writes its file, telling the operator
// where it went (or that it could not be written: BadFile). NoUnit or Declined when it stopped
// before any report was made (the unit did not answer, or the status was incomplete and the
// operator chose not to go on). Refused when the self test failed. Each step's reply lands in
// replyText (the window's reply text) before the report takes it in: the status read's
// replies, then the self test's, the release test's and the sensor reading's in turn.
Outcome ProduceTestReport(CTransponder& unit, TextSpan replyText);

// The report's file: the serial number and ".txt" in the data folder. A path separator in
// the serial number is written as '_', so the file always lands in that folder.
std::filesystem::path TestReportPath(const DataPaths& paths, std::string_view serialNo);

// What the file holds: the report with every CR turned into a blank, and one line end.
std::string TestReportFileText(std::string_view report);
