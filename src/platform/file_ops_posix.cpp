// The file calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>

#include "platform/file_ops.h"
#include "platform/time_ops.h"

namespace fs = std::filesystem;

namespace file_ops {

namespace {
std::string ErrorText(int error) { return std::generic_category().message(error); }

bool WriteAll(int fd, const char* data, size_t size, int& error) {
  while (size > 0) {
    size_t chunk = size < (size_t{1} << 30) ? size : (size_t{1} << 30);
    ssize_t n = ::write(fd, data, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Flushes a folder's entries to disk, so that a rename in it survives a power cut. File systems
// that cannot flush a folder are not an error.
void FlushFolder(const fs::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

enum class TryResult { Locked, Busy, Failed };

// One attempt at the lock, without waiting. Open-file-description locks belong to the open
// file, not to the process, so two locks of one process on the same file exclude each other
// and closing some other descriptor of the file does not drop them. Where the kernel has no
// such locks, flock() gives the same semantics.
TryResult TryLock(int fd, int& error) {
  for (;;) {
#ifdef F_OFD_SETLK
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return TryResult::Locked;
    error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EACCES) return TryResult::Busy;
    if (error != EINVAL) return TryResult::Failed;
#endif
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return TryResult::Locked;
    error = errno;
    if (error == EINTR) continue;
    return error == EWOULDBLOCK ? TryResult::Busy : TryResult::Failed;
  }
}
}  // namespace

fs::path PathFromUtf8(std::string_view utf8) { return fs::path(std::string(utf8)); }
std::string PathText(const fs::path& path) { return path.string(); }

std::FILE* OpenStream(const fs::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::optional<FileIdentity> IdentityOf(std::FILE* stream) {
  struct stat st {};
  if (!stream || ::fstat(::fileno(stream), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

Outcome WriteNewFile(const fs::path& temporary, std::string_view data, const fs::path& permissionsOf) {
  Outcome result;
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    result.ok = false;
    result.error = "cannot create " + temporary.string() + ": " + ErrorText(errno);
    return result;
  }
  struct stat old {};
  if (::stat(permissionsOf.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  int error = 0;
  bool written = WriteAll(fd, data.data(), data.size(), error);
  if (written && ::fsync(fd) != 0) {
    written = false;
    error = errno;
  }
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    result.ok = false;
    result.error = "cannot write " + temporary.string() + ": " + ErrorText(error);
  }
  return result;
}

Outcome ReplaceWith(const fs::path& from, const fs::path& to) {
  Outcome result;
  if (::rename(from.c_str(), to.c_str()) != 0) {
    result.ok = false;
    result.error = "cannot replace the file: " + ErrorText(errno);
    return result;
  }
  FlushFolder(to.parent_path());
  return result;
}

bool RemoveFile(const fs::path& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool MayWrite(const fs::path& path) { return ::access(path.c_str(), W_OK) == 0; }

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessIsAlive(unsigned long pid) {
  if (pid == 0 || pid > static_cast<unsigned long>(INT32_MAX)) return false;
  if (::kill(static_cast<pid_t>(pid), 0) == 0) return true;
  return errno != ESRCH;  // EPERM: it runs, under another user
}

FileLock FileLock::Acquire(const fs::path& lockFile, uint32_t waitMs) {
  FileLock lock;
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    lock.state_ = State::Failed;
    lock.error_ = ErrorText(errno);
    return lock;
  }
  // The wait polls: a try every 1 to 3 ms (a little random, so that waiters do not wake in
  // step), which costs one system call each and keeps the bound exact without signals.
  const uint64_t deadline = time_ops::MonotonicUs() + uint64_t{waitMs} * 1000;
  std::minstd_rand jitter(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(deadline));
  for (;;) {
    int error = 0;
    TryResult tried = TryLock(fd, error);
    if (tried == TryResult::Locked) {
      lock.state_ = State::Locked;
      lock.handle_ = fd;
      return lock;
    }
    if (tried == TryResult::Failed) {
      ::close(fd);
      lock.state_ = State::Failed;
      lock.error_ = ErrorText(error);
      return lock;
    }
    const uint64_t now = time_ops::MonotonicUs();
    if (now >= deadline) break;
    const uint64_t next = now + 1000 + jitter() % 2000;
    time_ops::SleepUntilMonotonicUs(next < deadline ? next : deadline);
  }
  ::close(fd);
  lock.state_ = State::TimedOut;
  lock.error_ = "another program held it for " +
                (waitMs % 1000 ? std::to_string(waitMs) + " ms" : std::to_string(waitMs / 1000) + " s");
  return lock;
}

void FileLock::Release() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing the file drops its lock
  handle_ = -1;
  state_ = State::Unlocked;
}

fs::path DefaultDataRoot() {
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / "Dranmere";
}

fs::path LocalDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // The XDG rules ignore a relative path.
  if (xdg && *xdg == '/') return fs::path(xdg) / "velmoor";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".local" / "share" / "velmoor";
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string LoginName() {
  for (const char* var : {"LOGNAME", "USER"})
    if (const char* v = std::getenv(var); v && *v) return v;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
  return {};
}

}  // namespace file_ops
