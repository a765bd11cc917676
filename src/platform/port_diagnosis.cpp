#include "platform/port_diagnosis.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

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

std::optional<PortHolder> LockFileHolder(const std::string& device, const std::vector<std::filesystem::path>& lockDirs,
                                         const std::filesystem::path& procRoot) {
  const std::string name = "LCK.." + std::filesystem::path(device).filename().string();
  for (const auto& dir : lockDirs) {
    std::ifstream in(dir / name, std::ios::binary);
    if (!in) continue;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The pid in ASCII (the usual form); old programs wrote it as a binary int.
    int pid = 0;
    size_t i = text.find_first_not_of(" ");
    if (i != std::string::npos && std::isdigit(static_cast<unsigned char>(text[i]))) {
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && pid < 100000000)
        pid = pid * 10 + (text[i++] - '0');
    } else if (text.size() == 4) {
      std::memcpy(&pid, text.data(), 4);
    }
    std::error_code ec;
    if (pid > 0 && std::filesystem::exists(procRoot / std::to_string(pid), ec))
      return PortHolder{pid, ProgramOf(pid, procRoot)};
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
        const int pid = std::stoi(pidText);
        out.push_back({pid, ProgramOf(pid, procRoot)});
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
