#include "records/status_file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string ErrorText(int error) { return std::generic_category().message(error); }

#ifndef _WIN32
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
#endif
}  // namespace

FileContents ReadWholeFile(const fs::path& path, uint64_t maxBytes) {
  FileContents result;
  std::FILE* f = std::fopen(path.string().c_str(), "rb");
  if (!f) {
    int error = errno;
    result.outcome = error == ENOENT ? FileContents::Outcome::Missing : FileContents::Outcome::Unreadable;
    result.error = ErrorText(error);
    return result;
  }
  std::error_code ec;
  uint64_t expected = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
  if (ec) expected = 0;
  if (expected > maxBytes) {
    std::fclose(f);
    result.outcome = FileContents::Outcome::TooLarge;
    return result;
  }
  // Room for what the size promises; the read goes on to the real end of the file in case the
  // file grew meanwhile, but never past the limit.
  size_t capacity = static_cast<size_t>(expected) + 1;
  char* buffer = static_cast<char*>(std::malloc(capacity));
  if (!buffer) {
    std::fclose(f);
    result.outcome = FileContents::Outcome::TooLarge;
    result.error = "not enough memory";
    return result;
  }
  result.bytes.reset(buffer);
  size_t size = 0;
  for (;;) {
    if (size == capacity) {
      // Full: the file is longer than its size said. Grow, but never past the limit + 1.
      if (capacity > maxBytes) break;
      size_t grown = capacity * 2 > maxBytes + 1 ? static_cast<size_t>(maxBytes) + 1 : capacity * 2;
      char* bigger = static_cast<char*>(std::realloc(result.bytes.get(), grown));
      if (!bigger) {
        std::fclose(f);
        result.bytes.reset();
        result.outcome = FileContents::Outcome::TooLarge;
        result.error = "not enough memory";
        return result;
      }
      (void)result.bytes.release();
      result.bytes.reset(bigger);
      capacity = grown;
    }
    size_t wanted = capacity - size;
    size_t n = std::fread(result.bytes.get() + size, 1, wanted, f);
    size += n;
    if (n < wanted) {
      if (std::ferror(f)) {
        int error = errno;
        std::fclose(f);
        result.bytes.reset();
        result.outcome = FileContents::Outcome::Unreadable;
        result.error = ErrorText(error ? error : EIO);
        return result;
      }
      break;  // the end of the file
    }
  }
  std::fclose(f);
  if (size > maxBytes) {
    result.bytes.reset();
    result.outcome = FileContents::Outcome::TooLarge;
    return result;
  }
  result.size = size;
  result.outcome = FileContents::Outcome::Read;
  return result;
}

fs::path TemporaryPathFor(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  unsigned long pid = 0;
#else
  unsigned long pid = static_cast<unsigned long>(::getpid());
#endif
  std::string name = "." + path.filename().string() + ".saving-" + std::to_string(pid) + "-" +
                     std::to_string(counter.fetch_add(1));
  return path.parent_path() / name;
}

WriteOutcome WriteFileAtomically(const fs::path& requested, std::string_view data) {
  WriteOutcome result;
  std::error_code ec;
  fs::path path = requested;
  if (fs::is_symlink(fs::symlink_status(requested, ec))) {
    fs::path resolved = fs::canonical(requested, ec);
    if (ec) {
      // A link to a file not yet made: the file is made where the link points.
      resolved = fs::read_symlink(requested, ec);
      if (!ec && resolved.is_relative()) resolved = requested.parent_path() / resolved;
    }
    if (!ec) path = resolved;
  }
  fs::path temporary = TemporaryPathFor(path);
#ifdef _WIN32
  std::FILE* f = std::fopen(temporary.string().c_str(), "wb");
  if (!f) {
    result.error = "cannot create " + temporary.string() + ": " + ErrorText(errno);
    return result;
  }
  bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size() && std::fflush(f) == 0 &&
                 _commit(_fileno(f)) == 0;
  int error = errno;
  if (std::fclose(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    fs::remove(temporary, ec);
    result.error = "cannot write " + temporary.string() + ": " + ErrorText(error);
    return result;
  }
  fs::rename(temporary, path, ec);
  if (ec) {
    fs::remove(temporary, ec);
    result.error = "cannot replace the file: " + ec.message();
    return result;
  }
#else
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    result.error = "cannot create " + temporary.string() + ": " + ErrorText(errno);
    return result;
  }
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
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
    result.error = "cannot write " + temporary.string() + ": " + ErrorText(error);
    return result;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    result.error = "cannot replace the file: " + ErrorText(error);
    return result;
  }
  FlushFolder(path.parent_path());
#endif
  result.ok = true;
  return result;
}

namespace {
constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kP3 = 0x165667B19E3779F9ull;
constexpr uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kP5 = 0x27D4EB2F165667C5ull;

inline uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
inline uint64_t Word(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}
inline uint64_t Round(uint64_t acc, uint64_t w) { return Rotl(acc + w * kP2, 31) * kP1; }
inline uint64_t Merge(uint64_t h, uint64_t acc) { return (h ^ Round(0, acc)) * kP1 + kP4; }
}  // namespace

uint64_t ContentDigest(const char* data, size_t size) {
  const char* p = data;
  const char* end = data + size;
  uint64_t h;
  if (size >= 32) {
    uint64_t a = kP1 + kP2, b = kP2, c = 0, d = 0 - kP1;
    for (; end - p >= 32; p += 32) {
      a = Round(a, Word(p));
      b = Round(b, Word(p + 8));
      c = Round(c, Word(p + 16));
      d = Round(d, Word(p + 24));
    }
    h = Rotl(a, 1) + Rotl(b, 7) + Rotl(c, 12) + Rotl(d, 18);
    h = Merge(Merge(Merge(Merge(h, a), b), c), d);
  } else {
    h = kP5;
  }
  h += static_cast<uint64_t>(size);
  for (; end - p >= 8; p += 8) h = Rotl(h ^ Round(0, Word(p)), 27) * kP1 + kP4;
  for (; p < end; ++p) h = Rotl(h ^ (static_cast<unsigned char>(*p) * kP5), 11) * kP1;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  h *= kP3;
  h ^= h >> 32;
  return h;
}
