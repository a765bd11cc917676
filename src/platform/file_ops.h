// The file calls that differ between platforms, behind one small interface: writing a new file
// durably, replacing a file in one step, which file an open stream reads, advisory locks on a
// lock file, process identities for the temporary files' names, and the default data folder. file_ops_posix.cpp and
// file_ops_win.cpp implement it; CMake builds the one for the platform. file_ops.cpp holds the
// parts that are the same everywhere (the temporary files' names and their clean-up).
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace file_ops {

struct Outcome {
  bool ok = true;
  std::string error;  // why not, in words for the operator
};

// A path from UTF-8 text, and a path as UTF-8 text for messages. On Windows paths are wide;
// elsewhere the bytes are the path.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathText(const std::filesystem::path& path);

// Opens a file with a C stdio mode ("rb", "wb", ...); nullptr and errno set on failure.
std::FILE* OpenStream(const std::filesystem::path& path, const char* mode);

// Which file an open stream reads: its device and file number (on Windows the volume's serial
// number and the file index). The names of one file share it; a file that another takes the
// place of by a rename has another.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};
// Nothing when the system cannot tell.
std::optional<FileIdentity> IdentityOf(std::FILE* stream);

// Creates `temporary` (it must not exist yet), writes data into it and flushes it to disk. When
// `permissionsOf` is a regular file, the new file gets its permissions. On failure the
// temporary file is removed.
Outcome WriteNewFile(const std::filesystem::path& temporary, std::string_view data,
                     const std::filesystem::path& permissionsOf);

// Puts the file `from` in the place of `to` in one step (`to` need not exist) and makes the
// change durable (the folder is flushed, or the move is written through). On failure `to` is
// as it was and `from` is left for the caller to remove.
Outcome ReplaceWith(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes a regular file; a missing file counts as removed.
bool RemoveFile(const std::filesystem::path& path);

// Whether this user may write the file or folder (false when it does not exist). On Windows
// the read-only attribute decides.
bool MayWrite(const std::filesystem::path& path);

// This process's identity, and whether a process of that identity runs on this machine (true
// when that cannot be told, so that nothing of a live process is ever taken for stale).
unsigned long CurrentProcessId();
bool ProcessIsAlive(unsigned long pid);

// The name of the temporary file that a save of `path` writes before the rename: a hidden file
// beside it, ".<name>.saving-<pid>-<n>", unique to this process and save.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

// The temporary files that saves of `path` left behind in processes that no longer run (a save
// killed part-way): regular files of exactly the form above whose pid is not a live process.
std::vector<std::filesystem::path> StaleTemporaries(const std::filesystem::path& path);

// An exclusive advisory lock on a lock file (created when missing, never removed). Other
// processes and other FileLock objects of this process that lock the same file wait for it.
// The lock goes with the object, and with the process when it ends, so a crash leaves nothing
// to clean up.
class FileLock {
 public:
  enum class State {
    Unlocked,  // never tried, or released
    Locked,
    TimedOut,  // another holder kept it for the whole wait
    Failed,    // the lock file cannot be opened or the file system does not lock
  };

  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock, waiting at most waitMs milliseconds for another holder to let it go.
  static FileLock Acquire(const std::filesystem::path& lockFile, uint32_t waitMs);

  bool Locked() const { return state_ == State::Locked; }
  State state() const { return state_; }
  const std::string& error() const { return error_; }  // for TimedOut and Failed
  void Release();

 private:
  State state_ = State::Unlocked;
  std::string error_;
  intptr_t handle_ = -1;  // the open lock file: a descriptor, or a HANDLE on Windows
};

// ROOT of the data folder when no --root is given.
std::filesystem::path DefaultDataRoot();

// The folder for this user's own files on this PC (never a shared one): $XDG_DATA_HOME/velmoor
// (else ~/.local/share/velmoor), %LOCALAPPDATA%\Velmoor on Windows.
std::filesystem::path LocalDataFolder();
// This PC's host name and the login name of who runs the program, as UTF-8 (empty when unknown).
std::string HostName();
std::string LoginName();

}  // namespace file_ops
