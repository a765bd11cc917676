#include "records/status_file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_ops.h"

namespace fs = std::filesystem;

namespace {
std::string ErrorText(int error) { return std::generic_category().message(error); }

// A read that failed: no bytes, its outcome and why.
void Fail(FileContents& r, FileContents::Outcome outcome, std::string error = {}) {
  r.bytes.reset();
  r.outcome = outcome;
  r.error = std::move(error);
}

// Doubles the buffer, but never past the limit + 1. False when the memory is not there.
bool Grow(FileContents& r, size_t& capacity, uint64_t maxBytes) {
  const size_t grown = capacity * 2 > maxBytes + 1 ? static_cast<size_t>(maxBytes) + 1 : capacity * 2;
  char* bigger = static_cast<char*>(std::realloc(r.bytes.get(), grown));
  if (!bigger) return false;
  (void)r.bytes.release();
  r.bytes.reset(bigger);
  capacity = grown;
  return true;
}

// Reads the file to its real end into the buffer (capacity bytes), in case the file grew since
// its size was taken, but never past the limit + 1. The bytes read; none when the read failed
// (its outcome set).
std::optional<size_t> ReadToEnd(std::FILE* f, FileContents& r, size_t capacity, uint64_t maxBytes) {
  size_t size = 0;
  for (;;) {
    if (size == capacity) {
      // Full: the file is longer than its size said.
      if (capacity > maxBytes) break;
      if (!Grow(r, capacity, maxBytes)) {
        Fail(r, FileContents::Outcome::TooLarge, "not enough memory");
        return std::nullopt;
      }
    }
    const size_t wanted = capacity - size;
    const size_t n = std::fread(r.bytes.get() + size, 1, wanted, f);
    size += n;
    if (n < wanted) {
      if (std::ferror(f)) {
        const int error = errno;
        Fail(r, FileContents::Outcome::Unreadable, ErrorText(error ? error : EIO));
        return std::nullopt;
      }
      break;  // the end of the file
    }
  }
  return size;
}
}  // namespace

FileContents ReadWholeFile(const fs::path& path, uint64_t maxBytes) {
  FileContents result;
  std::FILE* f = file_ops::OpenStream(path, "rb");
  if (!f) {
    const int error = errno;
    Fail(result, error == ENOENT ? FileContents::Outcome::Missing : FileContents::Outcome::Unreadable,
         ErrorText(error));
    return result;
  }
  result.identity = file_ops::IdentityOf(f);
  std::error_code ec;
  uint64_t expected = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
  if (ec) expected = 0;
  if (expected > maxBytes) {
    std::fclose(f);
    Fail(result, FileContents::Outcome::TooLarge);
    return result;
  }
  // Room for what the size promises.
  const size_t capacity = static_cast<size_t>(expected) + 1;
  char* buffer = static_cast<char*>(std::malloc(capacity));
  if (!buffer) {
    std::fclose(f);
    Fail(result, FileContents::Outcome::TooLarge, "not enough memory");
    return result;
  }
  result.bytes.reset(buffer);
  const std::optional<size_t> size = ReadToEnd(f, result, capacity, maxBytes);
  std::fclose(f);
  if (!size) return result;
  if (*size > maxBytes) {
    Fail(result, FileContents::Outcome::TooLarge);
    return result;
  }
  result.size = *size;
  result.outcome = FileContents::Outcome::Read;
  return result;
}

FileStamp StampOf(const FileContents& contents) {
  FileStamp stamp;
  if (contents.outcome != FileContents::Outcome::Read) return stamp;
  stamp.present = true;
  stamp.identity = contents.identity;
  stamp.digest = ContentDigest(contents.bytes.get(), contents.size);
  stamp.size = contents.size;
  return stamp;
}

namespace {
std::optional<FileStamp> CurrentStamp(const fs::path& path, uint64_t maxBytes);

// Whether the file at path is still the one stamped: missing if it was missing, else the same
// file with the same bytes. A file that cannot be read now, or has grown, is not.
bool StillAsStamped(const fs::path& path, const FileStamp& expected) {
  const std::optional<FileStamp> now = CurrentStamp(path, expected.size);
  return now && *now == expected;
}
}  // namespace

WriteOutcome WriteFileAtomically(const fs::path& requested, std::string_view data,
                                 const std::optional<FileStamp>& expected) {
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
  const fs::path temporary = file_ops::TemporaryPathFor(path);
  file_ops::Outcome step = file_ops::WriteNewFile(temporary, data, path);
  if (step.ok && expected && !StillAsStamped(path, *expected)) {
    file_ops::RemoveFile(temporary);
    result.changed = true;
    result.error = "another program changed the file during the save";
    return result;
  }
  if (step.ok) {
    step = file_ops::ReplaceWith(temporary, path);
    if (!step.ok) file_ops::RemoveFile(temporary);
  }
  if (!step.ok) {
    result.error = step.error;
    return result;
  }
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

// The digest of bytes that come in pieces: 32-byte stripes into four lanes, then the last
// partial stripe. Pieces of any size give the digest of the whole.
class Digest {
 public:
  void Add(const char* p, size_t n) {
    total_ += n;
    if (pending_ > 0) {
      const size_t take = n < 32 - pending_ ? n : 32 - pending_;
      std::memcpy(stripe_ + pending_, p, take);
      pending_ += take;
      p += take;
      n -= take;
      if (pending_ < 32) return;
      Stripe(stripe_);
      pending_ = 0;
    }
    for (; n >= 32; p += 32, n -= 32) Stripe(p);
    std::memcpy(stripe_, p, n);
    pending_ = n;
  }
  uint64_t Finish() const {
    uint64_t h = kP5;
    if (total_ >= 32) {
      h = Rotl(a_, 1) + Rotl(b_, 7) + Rotl(c_, 12) + Rotl(d_, 18);
      h = Merge(Merge(Merge(Merge(h, a_), b_), c_), d_);
    }
    h += total_;
    const char* p = stripe_;
    const char* end = stripe_ + pending_;
    for (; end - p >= 8; p += 8) h = Rotl(h ^ Round(0, Word(p)), 27) * kP1 + kP4;
    for (; p < end; ++p) h = Rotl(h ^ (static_cast<unsigned char>(*p) * kP5), 11) * kP1;
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    h ^= h >> 32;
    return h;
  }

 private:
  void Stripe(const char* p) {
    a_ = Round(a_, Word(p));
    b_ = Round(b_, Word(p + 8));
    c_ = Round(c_, Word(p + 16));
    d_ = Round(d_, Word(p + 24));
  }
  uint64_t a_ = kP1 + kP2, b_ = kP2, c_ = 0, d_ = 0 - kP1;
  uint64_t total_ = 0;
  char stripe_[32] = {};
  size_t pending_ = 0;
};

// The stamp of the file at path as it is now, read in pieces so that no second copy of a large
// file is held; nothing when it cannot be read or holds more than maxBytes.
std::optional<FileStamp> CurrentStamp(const fs::path& path, uint64_t maxBytes) {
  std::FILE* f = file_ops::OpenStream(path, "rb");
  if (!f) return errno == ENOENT ? std::optional<FileStamp>(FileStamp{}) : std::nullopt;
  FileStamp stamp;
  stamp.present = true;
  stamp.identity = file_ops::IdentityOf(f);
  Digest digest;
  std::vector<char> piece(size_t{1} << 16);
  uint64_t total = 0;
  for (size_t n; (n = std::fread(piece.data(), 1, piece.size(), f)) > 0;) {
    total += n;
    if (total > maxBytes) break;
    digest.Add(piece.data(), n);
  }
  const bool failed = std::ferror(f) || total > maxBytes;
  std::fclose(f);
  if (failed) return std::nullopt;
  stamp.digest = digest.Finish();
  stamp.size = static_cast<size_t>(total);
  return stamp;
}
}  // namespace

uint64_t ContentDigest(const char* data, size_t size) {
  Digest digest;
  digest.Add(data, size);
  return digest.Finish();
}
