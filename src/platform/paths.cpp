#include "platform/paths.h"

#include <cstdlib>
#include <system_error>

DataPaths DataPaths::Default() {
  DataPaths p;
#ifdef _WIN32
  p.root = "C:\\Dranmere";
#else
  const char* home = std::getenv("HOME");
  p.root = std::filesystem::path(home && *home ? home : ".") / "Dranmere";
#endif
  return p;
}

void DataPaths::CreateFolders() const {
  std::error_code ec;
  std::filesystem::create_directories(StatusDir(), ec);
}
