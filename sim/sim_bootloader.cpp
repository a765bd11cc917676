#include "sim/sim_bootloader.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_unit.h"

namespace {
constexpr int64_t kPageSize = 0x4000;
constexpr int64_t kPageBase[8] = {0x0000, 0x4000, 0xC000, 0x8000, 0x18000, 0x28000, 0x38000, 0x48000};
constexpr int64_t kProgramStart = 0x2000;  // below it lives the bootloader itself
constexpr size_t kInputBuffer = 100;       // longest line the bootloader takes

// What the bootloader keeps during one load. A load begins with its first record line and
// ends at a rate command, at "X", on leaving the bootloader or at a break.
struct Load {
  int breaksSeen = 0;
  int lines = 0;  // record lines received
  bool erased[8] = {};
  int pageChecks = 0;
  bool pageCheckFailed = false;
  std::string version;

  void Reset(int breaks) {
    *this = Load{};
    breaksSeen = breaks;
  }
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint8_t* FlashAt(SimUnitState& s, int64_t address) {
  const int p = SimFlashPage(address);
  if (p < 0) return nullptr;
  return &s.flash.bytes[static_cast<size_t>(p * kPageSize + (address - kPageBase[p]))];
}

// The version a header record's text names: from the first "V" followed by a digit to the
// next space.
std::string VersionIn(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == 'V' && text[i + 1] >= '0' && text[i + 1] <= '9') {
      size_t end = text.find(' ', i);
      return text.substr(i, end == std::string::npos ? std::string::npos : end - i);
    }
  }
  return std::string();
}

void Complete(SimUnit& u, Load& load) {
  SimUnitState& s = u.state;
  ++s.flash.loadsCompleted;
  if (!load.version.empty()) {
    s.flash.programVersion = load.version;
    s.mainFirmware = load.version;
  }
  // A new program starts with its factory settings: address 10, channel 1 ("1001").
  s.address = 10;
  s.channel = 1;
}

// The bytes of a record line (count, field, checksum) after its "S" and type; returns the
// reply's error digit when the line is not a sound record, else 0.
int RecordBytes(const std::string& line, std::vector<uint8_t>& bytes) {
  if (line.size() > kInputBuffer) return 6;
  if (line.size() < 2 || line[1] < '0' || line[1] > '9') return 5;
  if ((line.size() - 2) % 2 != 0) return 1;
  for (size_t i = 2; i < line.size(); i += 2) {
    const int hi = HexDigit(line[i]), lo = HexDigit(line[i + 1]);
    if (hi < 0 || lo < 0) return 5;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  if (bytes.empty() || bytes[0] + 1u != bytes.size()) return 1;
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  if ((sum & 0xFF) != 0xFF) return 1;
  return 0;
}

// A data record (S1 with a 2-byte address, S2 with a 3-byte one): each page erased as the load
// first reaches it, then the bytes written.
int ProgramData(SimUnit& u, Load& load, char type, const uint8_t* field, size_t fieldBytes) {
  SimUnitState& s = u.state;
  const size_t addressBytes = type == '1' ? 2 : 3;
  if (fieldBytes < addressBytes) return 1;
  int64_t address = 0;
  for (size_t i = 0; i < addressBytes; ++i) address = address * 256 + field[i];
  const size_t n = fieldBytes - addressBytes;
  for (size_t i = 0; i < n; ++i) {
    const int64_t a = address + static_cast<int64_t>(i);
    if (a < kProgramStart || SimFlashPage(a) < 0) return 3;  // outside the programming area
  }
  for (size_t i = 0; i < n; ++i) {
    const int64_t a = address + static_cast<int64_t>(i);
    const int p = SimFlashPage(a);
    if (!load.erased[p]) {
      // Sector erase: page 0 only from the programming area on.
      const int64_t from = p == 0 ? kProgramStart : kPageBase[p];
      for (int64_t e = from; e < kPageBase[p] + kPageSize; ++e) *FlashAt(s, e) = 0xFF;
      load.erased[p] = true;
    }
    if (a != s.flash.stuckAddress) *FlashAt(s, a) = field[addressBytes + i];
  }
  ++s.flash.recordsProgrammed;
  // The marker at 0x2000 after the page checks: the program is whole.
  if (address == kProgramStart && load.pageChecks == 8 && !load.pageCheckFailed) Complete(u, load);
  return 0;
}

// Page check (S6): start (4 bytes), length (4 bytes), 16-bit sum of the bytes programmed.
int CheckPage(SimUnitState& s, Load& load, const uint8_t* field, size_t fieldBytes) {
  if (fieldBytes != 10) return 1;
  const int64_t start = (int64_t{field[0]} << 24) | (field[1] << 16) | (field[2] << 8) | field[3];
  const int64_t length = (int64_t{field[4]} << 24) | (field[5] << 16) | (field[6] << 8) | field[7];
  const unsigned expected = (field[8] << 8) | field[9];
  if (length > 0) {
    unsigned pageSum = 0;
    for (int64_t a = start; a < start + length; ++a) {
      const uint8_t* b = FlashAt(s, a);
      if (!b) {
        load.pageCheckFailed = true;
        return 4;
      }
      pageSum += *b;
    }
    if ((pageSum & 0xFFFF) != expected) {
      load.pageCheckFailed = true;
      return 4;
    }
  }
  ++load.pageChecks;
  return 0;
}

// Programs one record line; returns the reply's error digit, 0 for "OK".
int Program(SimUnit& u, Load& load, const std::string& line) {
  std::vector<uint8_t> bytes;
  if (const int refused = RecordBytes(line, bytes)) return refused;
  const char type = line[1];
  const uint8_t* field = bytes.data() + 1;
  const size_t fieldBytes = bytes.size() - 2;  // between count and checksum

  switch (type) {
    case '0': {
      if (fieldBytes >= 2) load.version = VersionIn(std::string(field + 2, field + fieldBytes));
      return 0;
    }
    case '1':
    case '2': return ProgramData(u, load, type, field, fieldBytes);
    case '6': return CheckPage(u.state, load, field, fieldBytes);
    case '8':
    case '9':
      if (load.pageChecks == 8 && !load.pageCheckFailed) Complete(u, load);
      return 0;
    default: return 5;
  }
}

std::optional<std::string> OnBootLine(SimUnit& u, Load& load, const std::string& received) {
  SimUnitState& s = u.state;
  if (u.breaks != load.breaksSeen) load.Reset(u.breaks);
  // Bytes that arrived at the wrong rate are framing errors, which the bootloader drops.
  std::string line;
  for (char c : received)
    if (static_cast<unsigned char>(c) < 0x80) line.push_back(c);
  const uint64_t now = u.nowUs();

  if (line.size() == 3 && line[0] == 'Z' && line[2] == 'x' && line[1] >= '1' && line[1] <= '4') {
    static const uint32_t kRates[] = {4800, 9600, 19200, 38400};
    const uint32_t rate = kRates[line[1] - '1'];
    load.Reset(u.breaks);
    // The answer goes out at the old rate; only then does the line change.
    u.Send("Baud " + std::to_string(rate) + "\r\n", now);
    u.bootBaud = rate;
    return std::string();
  }
  if (line == "X") {
    load.Reset(u.breaks);
    u.Send("Boot>\r\n", now);
    return std::string();
  }
  if (line == "Y") {
    u.Send("\r\n", now);
    return std::string();
  }
  if (line == "Q" || line == "Wx7") {
    load.Reset(u.breaks);
    return std::nullopt;  // leaving the bootloader is the unit's own business
  }
  if (line.empty() || line[0] != 'S') return std::nullopt;

  const int number = ++load.lines;
  int digit = Program(u, load, line);
  if (s.flash.failLine > 0 && number >= s.flash.failLine && number < s.flash.failLine + s.flash.failTimes)
    digit = s.flash.failDigit;
  std::string reply = digit == 0 ? std::string("OK\r\n") : "ERROR " + std::to_string(digit) + "\r\n";
  if (!s.flash.longReply.empty()) reply = s.flash.longReply;
  if (!(s.flash.silentOnHeader && line[1] == '0')) u.Send(reply, now);
  if (s.flash.deadAfterLine > 0 && number >= s.flash.deadAfterLine) u.faults.dead = true;
  return std::string();
}
}  // namespace

int SimFlashPage(int64_t address) {
  for (int p = 0; p < 8; ++p)
    if (address >= kPageBase[p] && address < kPageBase[p] + kPageSize) return p;
  return -1;
}

uint8_t SimFlashByte(const SimUnitState& state, int64_t address) {
  const int p = SimFlashPage(address);
  if (p < 0) return 0xFF;
  return state.flash.bytes[static_cast<size_t>(p * kPageSize + (address - kPageBase[p]))];
}

void InstallBootloader(SimUnit& unit) {
  auto load = std::make_shared<Load>();
  load->breaksSeen = unit.breaks;
  unit.HandleBoot([load](SimUnit& u, const std::string& line) { return OnBootLine(u, *load, line); });
}
