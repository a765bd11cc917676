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
};

// The program named by the device's lock file, when that program still runs.
std::optional<PortHolder> LockFileHolder(const std::string& device,
                                         const std::vector<std::filesystem::path>& lockDirs = {"/var/lock",
                                                                                               "/run/lock"},
                                         const std::filesystem::path& procRoot = "/proc");
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
std::string DiagnosePortFailure(PortFailure failure, const std::string& device);
