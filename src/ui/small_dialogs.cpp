#include "ui/small_dialogs.h"

#include <algorithm>
#include <cstdio>

void CPortSelectDlg::SetPresent(const std::vector<bool>& flags) {
  portPresent.fill(false);
  for (int p = 1; p <= kLastPort && static_cast<size_t>(p) < flags.size(); ++p) portPresent[p] = flags[p];
}

std::string CPortSelectDlg::EntryText(int port) {
  char text[16];
  std::snprintf(text, sizeof text, "COMM %2d", port);
  return text;
}

bool CPortSelectDlg::Open() {
  chosenPort = 0;
  entries.clear();
  for (int p = 1; p <= kLastPort; ++p)
    if (portPresent[p]) entries.push_back(EntryText(p));
  if (entries.empty()) {
    chosenPort = -1;
    return false;
  }
  return true;
}

const std::array<const char*, CPortSelectDlg::kColumns> CPortSelectDlg::kColumnTitles = {
    "Port", "Device", "Description", "USB id", "Serial number", "Stable name (by-id)"};

std::array<std::string, CPortSelectDlg::kColumns> CPortSelectDlg::RowFor(const SerialPortInfo& info) {
  char ids[16] = "";
  if (info.vendorId || info.productId) std::snprintf(ids, sizeof ids, "%04x:%04x", info.vendorId, info.productId);
  return {EntryText(info.comNumber), info.device, info.description, ids, info.serialNumber, info.byId};
}

bool CPortSelectDlg::FollowPorts(const std::vector<SerialPortInfo>& listed) {
  std::vector<int> now;
  for (const auto& p : listed)
    if (p.comNumber >= 1 && p.comNumber <= kLastPort) now.push_back(p.comNumber);
  std::sort(now.begin(), now.end());
  if (!listedKnown_) {
    listedKnown_ = true;
    listed_ = now;
    return false;
  }
  if (now == listed_) return false;
  auto has = [](const std::vector<int>& v, int p) { return std::binary_search(v.begin(), v.end(), p); };
  bool changed = false;
  for (int p = 1; p <= kLastPort; ++p) {
    bool present = portPresent[p];
    if (has(now, p) && !has(listed_, p)) present = true;   // appeared
    if (!has(now, p) && has(listed_, p)) present = false;  // vanished
    changed |= present != portPresent[p];
    portPresent[p] = present;
  }
  listed_ = now;
  if (!changed) return false;
  entries.clear();
  for (int p = 1; p <= kLastPort; ++p)
    if (portPresent[p]) entries.push_back(EntryText(p));
  return true;
}

int CPortSelectDlg::PortFromText(const std::string& text) {
  std::string tail = text.size() > 2 ? text.substr(text.size() - 2) : text;
  // The decimal value of the leading part, as the standard conversion reads it.
  size_t i = 0;
  while (i < tail.size() && (tail[i] == ' ' || tail[i] == '\t')) ++i;
  bool negative = false;
  if (i < tail.size() && (tail[i] == '-' || tail[i] == '+')) negative = tail[i++] == '-';
  int value = 0;
  while (i < tail.size() && tail[i] >= '0' && tail[i] <= '9') value = value * 10 + (tail[i++] - '0');
  // A typed minus sign would read as "no ports at all" and end the program: it names no port.
  return negative ? 0 : value;
}

void CPortSelectDlg::Select(const std::string& text) {
  selectedText = text;
  chosenPort = PortFromText(text);
}

std::string CPortSelectDlg::DetailsFor(int port, const std::vector<SerialPortInfo>& ports) {
  for (const auto& info : ports) {
    if (info.comNumber != port) continue;
    std::string text = "Device: " + (info.device.empty() ? std::string("(unknown)") : info.device);
    if (!info.description.empty()) text += "\n" + info.description;
    const auto row = RowFor(info);
    if (!row[3].empty()) text += "\nUSB " + row[3];
    if (!info.serialNumber.empty()) text += "  serial " + info.serialNumber;
    if (!info.byId.empty()) text += "\n" + info.byId;
    return text;
  }
  return port > 0 ? "No device information" : "";
}
