// Shared helpers of the status-file tests: files in a fresh data folder, a terminal started on
// them, an entry with every field set away from its fresh value, and a field-by-field picture
// of an entry for comparisons that name the field that differs.
#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "records/status_fields.h"
#include "records/status_xml.h"
#include "tests/support/test_bench.h"

namespace records_test {
namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const fs::path& path) { return ReadText(path); }

// A terminal on a simulated bench whose data folder can be filled before it starts.
struct Terminal : UnitOnBench {
  Terminal() { unit.reset(); }
  CTransponder& Start() {
    unit = std::make_unique<CTransponder>(bench.port, op, DataPaths{root});
    return *unit;
  }
  fs::path Current() const { return DataPaths{root}.CurrentStatusFile(); }
  fs::path Folder() const { return DataPaths{root}.StatusDir(); }
};

// One unit of a status document, as other programs write it.
inline std::string UnitXml(int id, int address, int channel = 1) {
  return "<Velmoor><General><UnitId>" + std::to_string(id) + "</UnitId><Address>" + std::to_string(address) +
         "</Address><Channel>" + std::to_string(channel) + "</Channel></General></Velmoor>";
}

// A text of n characters that shows where it was cut.
inline std::string LongText(const char* tag, size_t n) {
  std::string t;
  while (t.size() < n) t += tag;
  t.resize(n);
  return t;
}

// Every one of the 96 fields away from its fresh value: integers above 32767, a byte above 127,
// all 32 bits of Fitted, reals with two decimals, texts longer than their capacity, and every
// date-time later than the zero date.
inline StatusEntry FilledEntry(int32_t unitId = 1193046) {
  StatusEntry e;
  int n = 0;
  ForEachStatusField(e.checks, e.status, [&](const char*, const char* element, auto&& member) {
    using T = std::remove_cv_t<std::remove_reference_t<decltype(member)>>;
    ++n;
    if constexpr (std::is_same_v<T, int32_t>) member = 40000 + n * 1001;
    else if constexpr (std::is_same_v<T, uint32_t>) member = 4294967295u;
    else if constexpr (std::is_same_v<T, uint8_t>) member = 200;
    else if constexpr (std::is_same_v<T, float>) member = -1234.5f + n * 10.25f;
    else if constexpr (std::is_same_v<T, DateTime>)
      member = At(2020 + n % 7, 1 + n % 12, 1 + n % 28, n % 24, (n * 7) % 60, (n * 13) % 60);
    else if constexpr (requires { T::Capacity(); }) member.Assign(LongText(element, T::Capacity() + 10));
    else member.value = 1;  // a flag
  });
  e.status.UnitId = unitId;
  return e;
}

// "Group/Element=value" for each field in order, for comparisons that name the field; numbers
// with every digit they hold.
inline std::vector<std::string> Describe(const StatusEntry& e) {
  std::vector<std::string> lines;
  ForEachStatusField(e.checks, e.status, [&](const char* group, const char* element, auto&& member) {
    using T = std::remove_cv_t<std::remove_reference_t<decltype(member)>>;
    std::ostringstream s;
    s.precision(17);
    s << group << "/" << element << "=";
    if constexpr (std::is_same_v<T, DateTime>) s << member.value << "/" << member.valid;
    else if constexpr (requires { T::Capacity(); }) s << "'" << member.view() << "'";
    else if constexpr (std::is_same_v<T, uint8_t>) s << static_cast<int>(member);
    else if constexpr (std::is_arithmetic_v<T>) s << member;
    else s << "flag " << member.value;
    lines.push_back(s.str());
  });
  return lines;
}
}  // namespace records_test
