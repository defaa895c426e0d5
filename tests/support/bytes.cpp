#include "support/bytes.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace polvane::testing {

std::uint8_t Bcd(int value) {
  return static_cast<std::uint8_t>((value / 10 % 10) << 4 | value % 10);
}

Bytes BcdPosition(int degrees, int minutes, int thousandths) {
  int digits[8] = {degrees / 100 % 10,    degrees / 10 % 10, degrees % 10,
                   minutes / 10 % 10,     minutes % 10,      thousandths / 100 % 10,
                   thousandths / 10 % 10, thousandths % 10};
  Bytes b;
  for (int i = 0; i < 4; ++i)
    b.U8(static_cast<std::uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]));
  return b;
}

std::int32_t MilliArcSeconds(double degrees) {
  return static_cast<std::int32_t>(std::llround(degrees * 3600000.0));
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("polvane-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace polvane::testing
