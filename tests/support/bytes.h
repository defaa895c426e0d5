// Little helpers for building receiver logs in tests: a growing byte buffer with the number
// layouts the logs use, and a scratch folder that is removed with the test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace polvane::testing {

class Bytes {
 public:
  Bytes& U8(std::uint8_t v) {
    data_.push_back(v);
    return *this;
  }
  Bytes& LE16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  Bytes& LE32(std::uint32_t v) { return LE16(v & 0xFFFF).LE16(v >> 16); }
  Bytes& BE16(std::uint16_t v) { return U8(v >> 8).U8(v & 0xFF); }
  Bytes& BE32(std::uint32_t v) { return BE16(v >> 16).BE16(v & 0xFFFF); }
  Bytes& Text(std::string_view s) {
    data_.insert(data_.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Zeros(std::size_t n) {
    data_.insert(data_.end(), n, 0);
    return *this;
  }
  Bytes& Append(const std::vector<std::uint8_t>& more) {
    data_.insert(data_.end(), more.begin(), more.end());
    return *this;
  }
  // Pads (or cuts) to exactly n bytes.
  Bytes& Resize(std::size_t n) {
    data_.resize(n, 0);
    return *this;
  }
  std::uint8_t& operator[](std::size_t i) { return data_[i]; }
  std::size_t Size() const { return data_.size(); }
  const std::vector<std::uint8_t>& Data() const { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

// Packs degrees, minutes and thousandths of a minute into the 4-byte BCD position form.
Bytes BcdPosition(int degrees, int minutes, int thousandths);
// Two packed BCD digits.
std::uint8_t Bcd(int value);
// Degrees as thousandths of an arc-second, the binary position form.
std::int32_t MilliArcSeconds(double degrees);

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& data);
std::string ReadFile(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed by the destructor.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace polvane::testing
