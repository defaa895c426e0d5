// Writes the bundled sample logs of samples/ with the test-side log builders:
//   make_samples DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/tarvik_log.h"

namespace {

using namespace polvane::testing;

// A short drive: a scan run, a fast run and another scan run, four receivers each, moving
// north-east with the GPS clock ticking one second per record.
void WriteTarvik(const std::string& path) {
  TarvikLogBuilder log(true);
  log.Identification("QVX TARVIK CW SCANNER", "1.25");
  int second = 0;
  auto header = [&](int i) {
    TarvikHeader h;
    const int t = 14 * 3600 + 5 * 60 + second++;
    h.gps = {t / 3600, t / 60 % 60, t % 60};
    h.rtcHour = h.gps.hour;
    h.rtcMinute = h.gps.minute;
    h.rtcSecond = h.gps.second;
    h.latitude = 40.7128 + i * 0.0003;
    h.longitude = -74.0060 + i * 0.0004;
    h.altitudeCm = 1200 + i * 10;
    h.velocityCmPerS = static_cast<std::uint16_t>(1300 + (i % 7) * 40);
    h.marker = static_cast<std::uint16_t>(i / 10);
    h.gpsValid = i % 13 != 5;
    return h;
  };
  auto scan = [&](int i) {
    std::array<TarvikScanReceiver, 4> rx;
    for (int r = 0; r < 4; ++r) {
      rx[r].plan = {0, static_cast<std::uint16_t>(869 + r), 400, 300, 1};
      const int channels = 12 + 4 * r;
      for (int e = 0; e < channels; ++e) {
        const double level = 60 + 25 * std::fabs(std::sin(0.37 * (i + 1) * (e + 1) + r));
        rx[r].entries.push_back(
            {static_cast<std::uint16_t>(1 + e * 3 + r), static_cast<std::uint8_t>(level)});
      }
    }
    log.Scan(header(i), rx);
  };
  auto fast = [&](int i) {
    std::array<TarvikFastBlock, 4> blocks;
    for (int r = 0; r < 4; ++r) {
      blocks[r].plan = {static_cast<std::uint8_t>(r == 3 ? 0x40 : 0), 870, 300, 300, 1};
      blocks[r].channel = static_cast<std::uint16_t>(r == 3 ? 40 + i % 3 : 100 + 50 * r);
      for (int s = 0; s < 512; ++s)
        blocks[r].samples[s] = static_cast<std::uint8_t>(70 + (s * 7 + i * 3 + r * 11) % 30);
    }
    log.Fast(header(i), blocks);
  };
  int i = 0;
  for (int k = 0; k < 12; ++k) scan(i++);
  for (int k = 0; k < 10; ++k) fast(i++);
  for (int k = 0; k < 8; ++k) scan(i++);
  for (int k = 0; k < 6; ++k) fast(i++);
  log.WriteTo(path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "samples";
  std::filesystem::create_directories(dir);
  WriteTarvik((dir / "drive-tarvik.tvf").string());
  std::printf("samples written to %s\n", dir.string().c_str());
  return 0;
}
