// The parts of the file calls that are the same on every platform: the temporary files' names
// and the clean-up of those that a killed save left behind.
#include "platform/file_ops.h"

#include <atomic>
#include <charconv>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace file_ops {

namespace {
std::string TemporaryPrefix(const fs::path& path) { return "." + PathText(path.filename()) + ".saving-"; }

// The pid of a name "<prefix><pid>-<n>", or 0 when the name is not of that form.
unsigned long PidOfTemporary(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return 0;
  std::string_view rest = name.substr(prefix.size());
  size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return 0;
  auto allDigits = [](std::string_view s) {
    for (char c : s)
      if (c < '0' || c > '9') return false;
    return true;
  };
  if (!allDigits(rest.substr(0, dash)) || !allDigits(rest.substr(dash + 1))) return 0;
  unsigned long pid = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + dash, pid);
  if (ec != std::errc() || end != rest.data() + dash) return 0;
  return pid;
}
}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : state_(std::exchange(other.state_, State::Unlocked)),
      error_(std::move(other.error_)),
      handle_(std::exchange(other.handle_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::exchange(other.state_, State::Unlocked);
    error_ = std::move(other.error_);
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

fs::path TemporaryPathFor(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  std::string name =
      TemporaryPrefix(path) + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
  return path.parent_path() / PathFromUtf8(name);
}

std::vector<fs::path> StaleTemporaries(const fs::path& path) {
  const std::string prefix = TemporaryPrefix(path);
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  std::vector<fs::path> stale;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = PathText(it->path().filename());
    unsigned long pid = PidOfTemporary(name, prefix);
    if (pid == 0 || ProcessIsAlive(pid)) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
    stale.push_back(it->path());
  }
  return stale;
}

}  // namespace file_ops
