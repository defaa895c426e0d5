// Writes the bundled sample logs of samples/ with the test-side log builders:
//   make_samples DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/pelmor_log.h"
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

// A Pelmor drive in four sections: single-frequency samples placed between GPS fixes, a
// channel list timed by GPS, then (GPS lost) single-frequency samples and a channel-table sweep
// timed by the receiver's clock. Both receivers run on the 30 kHz cellular plan.
void WritePelmor(const std::string& path) {
  PelmorLogBuilder log(false, "QVXPELMOR 2.10");
  PelmorPlan plan;
  plan.first = 28968;  // channel 991 of the wrapped numbering
  plan.last = 29833;
  plan.stepKhz = 30;
  plan.wrapped = true;
  auto steps = [](int channel) {
    return static_cast<std::uint32_t>(28968 + (channel < 991 ? channel + 34 : channel - 990) - 1);
  };
  log.Configuration(3, plan, plan);
  int t = 9 * 3600 + 41 * 60;
  double lat = 51.5007, lon = -0.1246;
  auto fix = [&]() {
    PelmorFix f;
    f.month = 5;
    f.day = 14;
    f.year = 2024;
    f.hour = t / 3600;
    f.minute = t / 60 % 60;
    f.second = t % 60;
    f.latitude = lat;
    f.longitude = lon;
    f.altitudeCm = 2100 + (t % 17) * 10;
    f.velocityCmPerS = static_cast<std::int16_t>(1100 + (t % 9) * 35);
    f.status = t % 23 == 0 ? 6 : 7;
    log.Fix(f);
  };
  auto level = [](int i, int k) {
    return -55 - static_cast<int>(30 * std::fabs(std::sin(0.29 * i + 0.7 * k)));
  };

  // 1. Single frequency, GPS time base: five samples per receiver between fixes 5 s apart.
  fix();
  log.SingleSetup(steps(333), steps(691));
  for (int f = 0; f < 24; ++f) {
    for (int s = 0; s < 10; ++s) {
      std::vector<int> rssi;
      for (int k = 0; k < 4; ++k) rssi.push_back(level(f * 10 + s, k));
      log.Samples(1 + s % 2, rssi);
    }
    t += 5;
    lat += 0.00021;
    lon += 0.00034;
    fix();
  }
  log.TpPositionTime({9, 43, 3, 14, 5, 2024, 'N', 51, 502404, 'W', 0, 116400});
  log.TpMotion(38, 72);

  // 2. Channel list, GPS time base: a list record per second.
  std::array<std::uint32_t, 10> list1{}, list2{};
  for (int j = 0; j < 10; ++j) {
    list1[j] = steps(300 + 3 * j);
    list2[j] = j < 7 ? steps(680 + 3 * j) : 0;  // receiver 2 lists seven channels
  }
  log.ListSetup(list1, list2);
  for (int i = 0; i < 40; ++i) {
    std::vector<PelmorListEntry> entries;
    for (int e = 0; e < 5; ++e) {
      const int j = (i * 5 + e) % 10;
      entries.push_back({(i + e) % 2, j, level(i, j)});
    }
    log.ListData(entries);
    if (i % 2 == 1) {
      t += 1;
      lat += 0.00005;
      lon += 0.00008;
      fix();
    }
  }

  // 3. GPS lost: single frequency on the receiver's clock, one sample per receiver a second.
  PelmorClock clock{t / 3600, t / 60 % 60, t % 60, 14, 5, 24, 3};
  log.Clock(clock).SingleSetup(steps(1015), steps(12));
  for (int i = 0; i < 60; ++i) {
    ++t;
    clock = {t / 3600, t / 60 % 60, t % 60, 14, 5, 24, 3 + i / 20};
    log.Clock(clock);
    log.Samples(1, {level(i, 1), level(i, 2)});
    log.Samples(2, {level(i, 3), level(i, 4)});
  }

  // 4. Channel table on the clock: each receiver sweeps channels 1 to 40 over and over, four
  // entries a record, the two receivers taking turns. The log starts in the last three
  // channels of a sweep, so every new sweep begins at the last entry of a record.
  std::vector<int> stream = {38, 39, 40};
  for (int pass = 0; pass < 6; ++pass)
    for (int ch = 1; ch <= 40; ++ch) stream.push_back(ch);
  for (std::size_t at = 0; at + 4 <= stream.size(); at += 4) {
    for (int rx = 0; rx < 2; ++rx) {
      std::vector<PelmorTableEntry> entries;
      for (std::size_t k = at; k < at + 4; ++k)
        entries.push_back({rx, stream[k], level(static_cast<int>(k), 3 * rx + stream[k] % 5)});
      log.TableData(entries);
    }
    if (at % 20 == 0) {
      ++t;
      clock = {t / 3600, t / 60 % 60, t % 60, 14, 5, 24, 9};
      log.Clock(clock);
    }
  }
  log.WriteTo(path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "samples";
  std::filesystem::create_directories(dir);
  WriteTarvik((dir / "drive-tarvik.tvf").string());
  WritePelmor((dir / "drive-pelmor.pvf").string());
  std::printf("samples written to %s\n", dir.string().c_str());
  return 0;
}
