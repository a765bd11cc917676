// Sample program files for the bootloader load, made by the project itself: a header record
// naming the version, data records of 16 bytes spread over the unit's program pages, and the
// S9 end record, with CR LF line ends as the files come from the build machines.
// Used by the tests, the benchmark and tools/make_sample_programs.cpp.
#pragma once
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

struct SampleProgramSpec {
  std::string header = "T7 V3.13.0";  // the header record's text (at most 19 characters)
  int dataRecords = 40;
  int stride = 1;        // a record every stride-th 16-byte slot of the programming area
  bool usePage0 = true;  // page 0 (0x2010 to 0x3FFF) holds data
  uint32_t seed = 1;     // the data bytes are a fixed pseudo-random sequence
};

namespace sample_programs {
inline std::string Record(char type, uint32_t address, int addressBytes, const uint8_t* data, int n) {
  const int count = addressBytes + n + 1;
  char text[8];
  std::string line = std::string("S") + type;
  unsigned sum = static_cast<unsigned>(count);
  std::snprintf(text, sizeof text, "%02X", count);
  line += text;
  for (int i = addressBytes - 1; i >= 0; --i) {
    const unsigned b = (address >> (8 * i)) & 0xFF;
    sum += b;
    std::snprintf(text, sizeof text, "%02X", b);
    line += text;
  }
  for (int i = 0; i < n; ++i) {
    sum += data[i];
    std::snprintf(text, sizeof text, "%02X", data[i]);
    line += text;
  }
  std::snprintf(text, sizeof text, "%02X", 0xFF - (sum & 0xFF));
  line += text;
  return line;
}

// The n-th 16-byte slot of the programming area, in page order 0, 1, 3, 2, 4 to 7 (address
// order); -1 past the last page.
inline int64_t SlotAddress(int slot, bool usePage0) {
  const int64_t windows[][2] = {{0x2010, 0x4000},   {0x4000, 0x10000},  {0x18000, 0x1C000},
                                {0x28000, 0x2C000}, {0x38000, 0x3C000}, {0x48000, 0x4C000}};
  for (int w = usePage0 ? 0 : 1; w < 6; ++w) {
    const int64_t slots = (windows[w][1] - windows[w][0]) / 16;
    if (slot < slots) return windows[w][0] + 16 * static_cast<int64_t>(slot);
    slot -= static_cast<int>(slots);
  }
  return -1;
}
}  // namespace sample_programs

// The whole file's text.
inline std::string MakeSampleProgram(const SampleProgramSpec& spec) {
  using namespace sample_programs;
  std::string file;
  std::string header = spec.header.substr(0, 19);
  file += Record('0', 0, 2, reinterpret_cast<const uint8_t*>(header.data()), static_cast<int>(header.size())) + "\r\n";
  uint32_t x = spec.seed ? spec.seed : 1;
  for (int r = 0; r < spec.dataRecords; ++r) {
    const int64_t a = SlotAddress(r * (spec.stride > 0 ? spec.stride : 1), spec.usePage0);
    if (a < 0) break;
    uint8_t data[16];
    for (uint8_t& b : data) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    const bool wide = a > 0xFFFF;
    file += Record(wide ? '2' : '1', static_cast<uint32_t>(a), wide ? 3 : 2, data, 16) + "\r\n";
  }
  file += "S9030000FC\r\n";
  return file;
}

inline bool WriteSampleProgram(const std::string& path, const SampleProgramSpec& spec) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << MakeSampleProgram(spec);
  return static_cast<bool>(out);
}

// The two sample files kept in tools/samples/.
inline SampleProgramSpec SmallSampleProgram() {
  SampleProgramSpec s;
  s.header = "T7 V3.13.0";
  s.dataRecords = 40;
  s.stride = 150;  // spread over pages 0 to 4
  s.seed = 7;
  return s;
}

inline SampleProgramSpec LargeSampleProgram() {
  SampleProgramSpec s;
  s.header = "T7 V3.14.0";
  s.dataRecords = 3000;
  s.stride = 2;  // pages 0 to 6
  s.seed = 11;
  return s;
}
