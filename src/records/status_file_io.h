// Reading a status file whole, with a size limit, and replacing one atomically: the new
// content goes to a temporary file beside the target, is flushed to disk, renamed over the
// target, and the folder is flushed, so a crash or power cut during a save leaves either the
// old file or the new one, never half of one. A replace can be made to depend on the target
// still being the file that was read (the same file holding the same bytes), so that a save
// never puts an older copy over a newer one that another program wrote meanwhile.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_ops.h"

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

struct FileContents {
  enum class Outcome { Read, Missing, Unreadable, TooLarge };
  Outcome outcome = Outcome::Missing;
  // The bytes (from malloc, so the XML parser can take them over) and their count.
  std::unique_ptr<char, FreeDeleter> bytes;
  size_t size = 0;
  // Why the file could not be read, in words for the operator.
  std::string error;
  // Which file was read (Read only; nothing when the system cannot tell).
  std::optional<file_ops::FileIdentity> identity;
};

// Reads the whole file. A file larger than maxBytes is not read at all (TooLarge).
FileContents ReadWholeFile(const std::filesystem::path& path, uint64_t maxBytes);

// What a read found: no file, or which file it was and a digest of its bytes.
struct FileStamp {
  bool present = false;
  std::optional<file_ops::FileIdentity> identity;
  uint64_t digest = 0;
  size_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of a read that found the file (Read) or found none (Missing).
FileStamp StampOf(const FileContents& contents);

struct WriteOutcome {
  bool ok = false;
  // The target was no longer as expected, so it was left alone (the error says so too).
  bool changed = false;
  std::string error;  // in words for the operator
};

// Makes data the whole content of path, atomically. A path that is a symbolic link is followed,
// so the link stays and its target is replaced. The permissions of a file that is replaced are
// kept. With `expected`, the target is first read again once the new content is on disk, just
// before the rename, and replaced only if its stamp is still the expected one. On failure the
// target is left as it was and the temporary file is removed.
WriteOutcome WriteFileAtomically(const std::filesystem::path& path, std::string_view data,
                                 const std::optional<FileStamp>& expected = std::nullopt);

// A 64-bit digest of a file's bytes, to tell whether a file still holds what was last read or
// written. Not cryptographic; it tells accidental changes apart.
uint64_t ContentDigest(const char* data, size_t size);
