#include "platform/port_names.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <tuple>

#include "platform/text_numbers.h"

namespace {
// (family rank, number, name) for sorting.
std::tuple<int, long, std::string> Key(const std::string& dev) {
  std::string base = std::filesystem::path(dev).filename().string();
  static const char* const kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};
  int rank = 3;
  std::string rest = base;
  for (int i = 0; i < 3; ++i) {
    std::string f = kFamilies[i];
    if (base.rfind(f, 0) == 0) {
      rank = i;
      rest = base.substr(f.size());
      break;
    }
  }
  long number = 0;
  bool digits = !rest.empty() && std::all_of(rest.begin(), rest.end(), [](unsigned char c) { return std::isdigit(c); });
  if (digits && rest.size() < 9) number = textnum::LeadingInt(rest, textnum::Blanks::kCSpace);
  return {rank, digits ? number : 0, base};
}
}  // namespace

std::vector<std::string> OrderSerialDevices(std::vector<std::string> devices) {
  std::stable_sort(devices.begin(), devices.end(),
                   [](const std::string& a, const std::string& b) { return Key(a) < Key(b); });
  return devices;
}

std::string ByIdLinkFor(const std::string& device, const std::filesystem::path& byIdDir) {
  std::error_code ec;
  const auto target = std::filesystem::weakly_canonical(device, ec);
  if (ec || device.empty()) return "";
  for (std::filesystem::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code linkEc;
    if (std::filesystem::weakly_canonical(it->path(), linkEc) == target && !linkEc) return it->path().string();
  }
  return "";
}

std::optional<std::string> ResolveComPort(int n, const std::filesystem::path& portsDir,
                                          const std::vector<std::string>& orderedDevices) {
  if (n <= 0) return std::nullopt;
  std::error_code ec;
  auto link = portsDir / ("COM" + std::to_string(n));
  if (std::filesystem::is_symlink(link, ec)) {
    auto target = std::filesystem::read_symlink(link, ec);
    if (!ec) {
      if (target.is_relative()) target = portsDir / target;
      return target.string();
    }
  } else if (std::filesystem::exists(link, ec)) {
    return link.string();
  }
  if (static_cast<size_t>(n) <= orderedDevices.size()) return orderedDevices[n - 1];
  return std::nullopt;
}

int ComNumberOfName(std::string_view name) {
  if (name.size() < 4 || name.size() > 6) return 0;
  for (size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  int n = 0;
  for (char c : name.substr(3)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    n = n * 10 + (c - '0');
  }
  return name[3] == '0' || n > 255 ? 0 : n;
}

std::vector<SerialPortInfo> ComPortList(std::vector<SerialPortInfo> found) {
  std::stable_sort(found.begin(), found.end(),
                   [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.comNumber < b.comNumber; });
  std::vector<SerialPortInfo> out;
  for (auto& p : found) {
    if (p.comNumber <= 0 || (!out.empty() && out.back().comNumber == p.comNumber)) continue;
    if (p.description.empty()) p.description = "serial device";
    out.push_back(std::move(p));
  }
  return out;
}
