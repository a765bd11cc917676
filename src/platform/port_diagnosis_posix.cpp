// The facts about a device on Linux: its lock file, who has it open, its group and whether this
// user may read and write it.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/port_diagnosis.h"

std::string DiagnosePortFailure(PortFailure failure, const std::string& device, const LockPlaces& places) {
  PortFacts f;
  f.failure = failure;
  f.device = device;
  if (failure == PortFailure::NotFound || device.empty()) return PortRemedy(f);
  if (auto h = LockFileHolder(device, places)) f.holders.push_back(*h);
  if (f.holders.empty()) f.holders = OpenFileHolders(device, places.procRoot);
  f.accessDenied = ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
  struct stat st {};
  if (::stat(device.c_str(), &st) == 0) {
    if (const group* g = ::getgrgid(st.st_gid)) f.group = g->gr_name;
    f.userInGroup = ::getegid() == st.st_gid;
    gid_t groups[256];
    const int n = ::getgroups(256, groups);
    for (int i = 0; i < n; ++i) f.userInGroup |= groups[i] == st.st_gid;
  }
  return PortRemedy(f);
}
