// Why a serial device will not open, in words the operator can act on: not plugged in, not in
// the group that owns the device (dialout), or held by another program, named with its pid from
// the lock file (LCK..ttyUSB0 in /var/lock or /run/lock) or from the open files in /proc.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

enum class PortFailure { NotFound, Permission, Busy, Other };

struct PortHolder {
  int pid = 0;
  std::string program;
  std::filesystem::path lockFile;  // the lock file that named it (empty: found among the open files)
};

// Where serial programs leave their lock files, and where the running processes are listed.
struct LockPlaces {
  std::vector<std::filesystem::path> dirs = {"/var/lock", "/run/lock"};
  std::filesystem::path procRoot = "/proc";
};

// The lock file's name for a device: "LCK.." and the name of the device itself (ttyUSB0, pts_3),
// a link (a by-id name, a ports/COMn link) followed to the device it leads to.
std::string LockFileName(const std::string& device);
// The program named by the device's lock file, when that program still runs. The pid is read
// in ASCII (the usual form) or as a 4-byte binary int (older programs).
std::optional<PortHolder> LockFileHolder(const std::string& device, const LockPlaces& places = {});
// The programs that have the device open (as far as this user may see).
std::vector<PortHolder> OpenFileHolders(const std::string& device, const std::filesystem::path& procRoot = "/proc");

// The facts about one device that decide the remedy.
struct PortFacts {
  PortFailure failure = PortFailure::Other;
  std::string device;
  std::vector<PortHolder> holders;  // from the lock file or the open files
  bool accessDenied = false;        // this user may not read and write the device
  std::string group;                // the device's group ("dialout")
  bool userInGroup = true;
};
// The usual remedy, one line; empty when there is nothing to suggest.
std::string PortRemedy(const PortFacts& facts);
// Gathers the facts on this machine and returns the remedy.
std::string DiagnosePortFailure(PortFailure failure, const std::string& device, const LockPlaces& places = {});

// A device whose lock file names a program that still runs is that program's: the terminal
// leaves it alone rather than fight it for the replies. The reason and remedy to report, or
// nothing when the device is free to open.
struct LockRefusal {
  PortHolder holder;
  std::string reason;  // "locked by minicom (pid 4242): /run/lock/LCK..ttyUSB0"
  std::string remedy;  // as PortRemedy says for a held device
};
std::optional<LockRefusal> RefuseLockedDevice(const std::string& device, const LockPlaces& places = {});
