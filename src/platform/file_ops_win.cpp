// The file calls on Windows. Paths are wide everywhere (std::filesystem::path holds UTF-16
// there); texts from and for the operator are UTF-8.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // Windows 10: the precise system time, CancelIoEx
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/file_ops.h"

namespace fs = std::filesystem;

namespace file_ops {

namespace {
std::string Utf8FromWide(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int chars = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring out(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), chars);
  return out;
}

// The system's own words for an error number from GetLastError, in UTF-8.
std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (n > 0 && buffer) {
    while (n > 0 &&
           (buffer[n - 1] == L' ' || buffer[n - 1] == L'.' || buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n'))
      --n;
    text = Utf8FromWide(buffer, static_cast<int>(n));
  }
  if (buffer) ::LocalFree(buffer);
  if (text.empty()) text = "system error " + std::to_string(error);
  return text;
}

// Another program (a reader, a virus scanner, the indexer) may hold the file open for a moment
// without sharing deletion; a replace then fails at once and succeeds a little later.
bool IsTransient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

bool WriteAll(HANDLE h, const char* data, size_t size, DWORD& error) {
  while (size > 0) {
    DWORD chunk = size < (size_t{1} << 30) ? static_cast<DWORD>(size) : (DWORD{1} << 30);
    DWORD written = 0;
    if (!::WriteFile(h, data, chunk, &written, nullptr)) {
      error = ::GetLastError();
      return false;
    }
    if (written == 0) {
      error = ERROR_WRITE_FAULT;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}
}  // namespace

fs::path PathFromUtf8(std::string_view utf8) { return fs::path(WideFromUtf8(utf8)); }

std::string PathText(const fs::path& path) {
  const std::wstring& wide = path.native();
  return Utf8FromWide(wide.c_str(), static_cast<int>(wide.size()));
}

std::FILE* OpenStream(const fs::path& path, const char* mode) {
  std::wstring wideMode = WideFromUtf8(mode);
  return ::_wfopen(path.c_str(), wideMode.c_str());
}

std::optional<FileIdentity> IdentityOf(std::FILE* stream) {
  if (!stream) return std::nullopt;
  const intptr_t osHandle = ::_get_osfhandle(::_fileno(stream));
  if (osHandle == -1) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(reinterpret_cast<HANDLE>(osHandle), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

Outcome WriteNewFile(const fs::path& temporary, std::string_view data, const fs::path& permissionsOf) {
  // The attributes and security of the file that is replaced are kept by ReplaceFileW below.
  (void)permissionsOf;
  Outcome result;
  HANDLE h = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    result.ok = false;
    result.error = "cannot create " + PathText(temporary) + ": " + ErrorText(::GetLastError());
    return result;
  }
  DWORD error = 0;
  bool written = WriteAll(h, data.data(), data.size(), error);
  if (written && !::FlushFileBuffers(h)) {
    written = false;
    error = ::GetLastError();
  }
  if (!::CloseHandle(h) && written) {
    written = false;
    error = ::GetLastError();
  }
  if (!written) {
    ::DeleteFileW(temporary.c_str());
    result.ok = false;
    result.error = "cannot write " + PathText(temporary) + ": " + ErrorText(error);
  }
  return result;
}

Outcome ReplaceWith(const fs::path& from, const fs::path& to) {
  Outcome result;
  DWORD error = 0;
  // Up to about 2 s of retries while another program holds the target open for a moment.
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (attempt > 0) ::Sleep(50);
    // ReplaceFileW keeps the replaced file's attributes, security and creation time; it needs
    // the target to exist. MoveFileExW covers a first save, and a target that ReplaceFileW
    // could not handle (some network shares); MOVEFILE_WRITE_THROUGH returns only when the move
    // is on disk, which is the flush of the folder on this platform.
    if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      return result;
    }
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return result;
    error = ::GetLastError();
    if (!IsTransient(error)) break;
  }
  result.ok = false;
  result.error = "cannot replace the file: " + ErrorText(error);
  return result;
}

bool RemoveFile(const fs::path& path) {
  if (::DeleteFileW(path.c_str())) return true;
  DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool MayWrite(const fs::path& path) { return ::_waccess(path.c_str(), 2) == 0; }

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::GetCurrentProcessId()); }

bool ProcessIsAlive(unsigned long pid) {
  if (pid == 0) return false;
  HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  // No such process gives ERROR_INVALID_PARAMETER; any other refusal (access denied) means it
  // runs under another account.
  if (!h) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  // A process that has ended but whose handle someone still holds is signalled.
  bool alive = ::WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  ::CloseHandle(h);
  return alive;
}

namespace {
// Takes the exclusive lock of the file's first byte, waiting at most waitMs. True when taken;
// else error says why (WAIT_TIMEOUT when another program held it all that time).
bool LockFirstByte(HANDLE h, OVERLAPPED& ov, uint32_t waitMs, DWORD& error) {
  if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov)) return true;
  error = ::GetLastError();
  if (error != ERROR_IO_PENDING) return false;
  DWORD transferred = 0;
  if (::WaitForSingleObject(ov.hEvent, waitMs) == WAIT_OBJECT_0) {
    if (::GetOverlappedResult(h, &ov, &transferred, FALSE) != 0) return true;
    error = ::GetLastError();
    return false;
  }
  // Call the wait off; the lock may still have been granted meanwhile, which the result of the
  // cancelled request tells.
  ::CancelIoEx(h, &ov);
  if (::GetOverlappedResult(h, &ov, &transferred, TRUE) != 0) return true;
  error = ::GetLastError();
  if (error == ERROR_OPERATION_ABORTED) error = WAIT_TIMEOUT;
  return false;
}
}  // namespace

FileLock FileLock::Acquire(const fs::path& lockFile, uint32_t waitMs) {
  FileLock lock;
  // Overlapped, so that the wait for the lock can be bounded and called off.
  HANDLE h = ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    lock.state_ = State::Failed;
    lock.error_ = ErrorText(::GetLastError());
    return lock;
  }
  OVERLAPPED ov{};  // offset 0: the lock covers the first byte, as every terminal's does
  ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) {
    lock.state_ = State::Failed;
    lock.error_ = ErrorText(::GetLastError());
    ::CloseHandle(h);
    return lock;
  }
  DWORD error = 0;
  const bool locked = LockFirstByte(h, ov, waitMs, error);
  ::CloseHandle(ov.hEvent);
  if (locked) {
    lock.state_ = State::Locked;
    lock.handle_ = reinterpret_cast<intptr_t>(h);
    return lock;
  }
  ::CloseHandle(h);
  if (error == WAIT_TIMEOUT) {
    lock.state_ = State::TimedOut;
    lock.error_ = "another program held it for " +
                  (waitMs % 1000 ? std::to_string(waitMs) + " ms" : std::to_string(waitMs / 1000) + " s");
  } else {
    lock.state_ = State::Failed;
    lock.error_ = ErrorText(error);
  }
  return lock;
}

void FileLock::Release() {
  if (handle_ != -1) {
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    OVERLAPPED ov{};
    ::UnlockFileEx(h, 0, 1, 0, &ov);
    ::CloseHandle(h);  // closing the handle would drop the lock too
  }
  handle_ = -1;
  state_ = State::Unlocked;
}

fs::path DefaultDataRoot() { return fs::path(L"C:\\Dranmere"); }

namespace {
std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
  return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}
}  // namespace

fs::path LocalDataFolder() {
  std::wstring base = Environment(L"LOCALAPPDATA");
  if (base.empty()) base = Environment(L"USERPROFILE") + L"\\AppData\\Local";
  return fs::path(base) / L"Velmoor";
}

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &n)) return {};
  return Utf8FromWide(name, static_cast<int>(n));
}

std::string LoginName() {
  const std::wstring user = Environment(L"USERNAME");
  return Utf8FromWide(user.c_str(), static_cast<int>(user.size()));
}

}  // namespace file_ops
