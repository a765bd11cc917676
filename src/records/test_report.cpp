// The test report's file in the data folder.
#include "records/test_report.h"

#include <cstdio>

#include "platform/file_ops.h"

std::filesystem::path TestReportPath(const DataPaths& paths, std::string_view serialNo) {
  std::string name(serialNo);
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  return paths.StatusDir() / (name + ".txt");
}

std::string TestReportFileText(std::string_view report) {
  std::string text(report);
  for (char& c : text)
    if (c == '\r') c = ' ';
  text += '\n';
  return text;
}

bool WriteTestReportFile(const std::filesystem::path& path, std::string_view report) {
  const std::string text = TestReportFileText(report);
  std::FILE* f = file_ops::OpenStream(path, "w");  // text mode: "\n" is the platform's line end
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}
