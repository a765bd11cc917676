// The test report's file: ROOT/T7Status/<serial number>.txt, and what it holds.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/paths.h"

// The report's file: the serial number and ".txt" in the data folder. A path separator in
// the serial number is written as '_', so the file always lands in that folder.
std::filesystem::path TestReportPath(const DataPaths& paths, std::string_view serialNo);

// What the file holds: the report with every CR turned into a blank, and one line end.
std::string TestReportFileText(std::string_view report);

// Writes the report's file text to path; false when the file cannot be created or the write
// fails.
bool WriteTestReportFile(const std::filesystem::path& path, std::string_view report);
