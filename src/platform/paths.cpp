#include "platform/paths.h"

#include <system_error>

#include "platform/file_ops.h"

DataPaths DataPaths::Default() {
  DataPaths p;
  p.root = file_ops::DefaultDataRoot();
  return p;
}

void DataPaths::CreateFolders() const {
  std::error_code ec;
  std::filesystem::create_directories(StatusDir(), ec);
}
