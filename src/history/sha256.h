// SHA-256 (FIPS 180-4), to name exactly which program file went into a unit.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  void Update(std::string_view s) { Update(s.data(), s.size()); }
  std::array<uint8_t, 32> Final();
  // The digest of a text, and of a file's bytes (nothing when it cannot be read), in lower-case hex.
  static std::string Hex(std::string_view data);
  static std::optional<std::string> HexOfFile(const std::filesystem::path& file);

 private:
  void Block(const uint8_t* p);
  uint32_t h_[8];
  uint8_t buf_[64];
  size_t used_ = 0;
  uint64_t bytes_ = 0;
};
