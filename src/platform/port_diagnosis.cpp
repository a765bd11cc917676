#include "platform/port_diagnosis.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/text_numbers.h"

namespace {
std::string ProgramOf(int pid, const std::filesystem::path& procRoot) {
  std::ifstream in(procRoot / std::to_string(pid) / "comm");
  std::string name;
  std::getline(in, name);
  return name;
}

std::string Join(const std::vector<PortHolder>& holders) {
  std::string t;
  for (const auto& h : holders) {
    if (!t.empty()) t += ", ";
    t += (h.program.empty() ? std::string("a program") : h.program) + " (pid " + std::to_string(h.pid) + ")";
  }
  return t;
}
}  // namespace

std::string LockFileName(const std::string& device) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::weakly_canonical(device, ec);
  if (ec || real.filename().empty()) real = device;
  // Under /dev the name is the path below it, any '/' made '_' (LCK..pts_3), as QSerialPort
  // names its own locks; elsewhere the file's name.
  std::string name = real.generic_string();
  if (name.rfind("/dev/", 0) == 0) {
    name.erase(0, 5);
    std::replace(name.begin(), name.end(), '/', '_');
  } else {
    name = real.filename().string();
  }
  return "LCK.." + name;
}

std::optional<PortHolder> LockFileHolder(const std::string& device, const LockPlaces& places) {
  const std::string name = LockFileName(device);
  for (const auto& dir : places.dirs) {
    std::ifstream in(dir / name, std::ios::binary);
    if (!in) continue;
    std::string text;
    char c;
    while (text.size() < 64 && in.get(c)) text += c;
    // Four bytes that are not all digits and blanks: the pid as a binary int of this machine.
    const bool binary = text.size() == 4 && std::any_of(text.begin(), text.end(), [](char b) {
                          return !std::isdigit(static_cast<unsigned char>(b)) && b != ' ' && b != '\n';
                        });
    int32_t pid = 0;
    if (binary) {
      std::memcpy(&pid, text.data(), 4);
    } else {
      size_t i = text.find_first_not_of(" \t");
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && pid < 100000000)
        pid = pid * 10 + (text[i++] - '0');
    }
    // A lock whose program has ended is stale: it names nobody.
    std::error_code ec;
    if (pid > 0 && std::filesystem::is_directory(places.procRoot / std::to_string(pid), ec))
      return PortHolder{pid, ProgramOf(pid, places.procRoot), dir / name};
  }
  return std::nullopt;
}

std::vector<PortHolder> OpenFileHolders(const std::string& device, const std::filesystem::path& procRoot) {
  std::vector<PortHolder> out;
  std::error_code ec;
  const auto target = std::filesystem::weakly_canonical(device, ec);
  if (ec) return out;
  for (std::filesystem::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pidText = it->path().filename().string();
    if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code fdEc;
    for (std::filesystem::directory_iterator fd(it->path() / "fd", fdEc), fdEnd; !fdEc && fd != fdEnd;
         fd.increment(fdEc)) {
      std::error_code linkEc;
      if (std::filesystem::read_symlink(fd->path(), linkEc) == target) {
        const int pid = textnum::LeadingInt(pidText, textnum::Blanks::kCSpace);
        out.push_back({pid, ProgramOf(pid, procRoot), {}});
        break;
      }
    }
  }
  return out;
}

std::string PortRemedy(const PortFacts& f) {
  if (f.failure == PortFailure::NotFound)
    return "the device is not there: is the adapter plugged in? (ls -l /dev/serial/by-id lists the adapters)";
  if (!f.holders.empty()) return "held by another program: " + Join(f.holders) + "; close it and try again";
  if (f.accessDenied && !f.userInGroup && !f.group.empty())
    return "this user is not in the '" + f.group + "' group that owns " + f.device + ": run 'sudo usermod -aG " +
           f.group + " $USER', then log out and in again";
  if (f.accessDenied)
    return "this user may not read and write " + f.device + " (ls -l " + f.device + " shows its owner)";
  if (f.failure == PortFailure::Busy || f.failure == PortFailure::Permission)
    return "another program may have it open ('fuser " + f.device + "' names it)";
  return "";
}

std::optional<LockRefusal> RefuseLockedDevice(const std::string& device, const LockPlaces& places) {
  auto holder = LockFileHolder(device, places);
  if (!holder) return std::nullopt;
  PortFacts facts;
  facts.failure = PortFailure::Busy;
  facts.device = device;
  facts.holders = {*holder};
  LockRefusal r{*holder, "locked by " + Join(facts.holders) + ": " + holder->lockFile.string(), PortRemedy(facts)};
  return r;
}
