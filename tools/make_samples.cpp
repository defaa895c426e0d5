// Writes the bundled sample logs of samples/ with the test-side log builders:
//   make_samples DIR
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/drovel_log.h"
#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"
#include "support/paging_encoder.h"
#include "support/pelmor_log.h"
#include "support/selvor_log.h"
#include "support/tarvik_ext_log.h"
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

// A drive of a firmware 1.27 unit: a scan run of single readings (grouped "r" readings on
// receiver 1, grouped "s" readings on receiver 2, voice channels on receiver 3 in a 6.25 kHz
// plan, control channels on receiver 4), a run of fast records (receiver 4 in every other
// one), and a second scan run.
void WriteTarvikExt(const std::string& path) {
  TarvikExtLogBuilder log;
  int second = 0;
  auto header = [&](int i) {
    TarvikExtHeader h;
    const int t = 16 * 3600 + 40 * 60 + second++;
    h.gps = {t / 3600, t / 60 % 60, t % 60};
    h.rtcHour = h.gps.hour;
    h.rtcMinute = h.gps.minute;
    h.rtcSecond = h.gps.second;
    h.latitude = 51.5072 + i * 0.0002;
    h.longitude = -0.1276 - i * 0.0003;
    h.altitudeCm = 3500 + i * 5;
    h.velocityCmPerS = static_cast<std::uint16_t>(1100 + (i % 5) * 60);
    h.headingTenths = static_cast<std::int16_t>((2400 + i * 70) % 3600);
    h.marker = static_cast<std::int16_t>(i / 8);
    h.gpsValid = i % 11 != 4;
    return h;
  };
  std::array<TarvikExtPlan, 4> plans;
  plans[0] = {0, 870, 300, 300, 1, 799, 0x40};      // cellular A side, voice channels
  plans[1] = {0, 879, 9900, 300, 1, 799, 0x80};     // cellular, control channels
  plans[2] = {0, 450, 0, 62, 100, 900, 0x40};       // 6.25 kHz land mobile plan
  plans[3] = {0x40, 869, 100, 300, 1, 1023, 0x80};  // offset numbering
  auto level = [](int i, int k) {
    return static_cast<int>(62 + 28 * std::fabs(std::sin(0.41 * (i + 1) + 0.9 * k)));
  };
  auto readings = [&](int i) {
    log.R(0, 1, 300 + i % 20, level(i, 0));
    for (int k = 1; k < 6; ++k) log.R(0, 2, 300 + (i + k * 7) % 20, level(i, k));
    log.S(1, 1, 330 + i % 12, level(i, 1), i % 3);
    for (int k = 1; k < 4; ++k) log.S(1, 2, 330 + (i + k) % 12, level(i, k + 2), (i + k) % 3);
    log.V(2, 100 + (i * 13) % 800, level(i, 2), i % 3, i % 8);
    log.C(3, 20 + (i * 5) % 30, level(i, 3), (i * 7) % 4);
  };
  auto fast = [&](int i) {
    std::array<TarvikExtFastBlock, 4> blocks;
    for (int r = 0; r < 4; ++r) {
      blocks[r].plan = plans[r];
      blocks[r].present = !(r == 3 && i % 2 == 1);
      blocks[r].channel = static_cast<std::uint16_t>(r == 2 ? 140 + i : 320 + 4 * r + i % 3);
      blocks[r].value1 = static_cast<std::uint8_t>(i % 3);
      blocks[r].value2 = static_cast<std::uint8_t>(i % 8);
      for (int s = 0; s < 512; ++s)
        blocks[r].samples[s] =
            static_cast<std::uint8_t>(58 + (i * 7 + r * 5) % 12 + (s * 5 + i * 3 + r * 13) % 27);
    }
    log.Fast(header(i), blocks);
  };
  // Each second of readings follows a scan record that restates the plans with the position.
  int i = 0;
  for (int k = 0; k < 20; ++k, ++i) {
    log.Scan(header(i), plans);
    readings(i);
  }
  for (int k = 0; k < 8; ++k) fast(i++);
  for (int k = 0; k < 12; ++k, ++i) {
    log.Scan(header(i), plans);
    readings(i);
  }
  log.Length(0);
  log.WriteTo(path);
}

// A short two-receiver drive: scan, fast, scan and fast runs, moving south-west of Lisbon
// with the GPS clock one second per record; receiver 2 uses the offset channel numbering.
void WriteSelvor(const std::string& path) {
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR CW RECEIVER", "2.04");
  int second = 0;
  auto head = [&](int i) {
    SelvorHead h;
    const int t = 9 * 3600 + 41 * 60 + second++;
    h.gpsHour = t / 3600;
    h.gpsMinute = t / 60 % 60;
    h.gpsSecond = t % 60;
    h.rtcYear = 24, h.rtcMonth = 3, h.rtcDay = 8;
    h.rtcHour = h.gpsHour;
    h.rtcMinute = h.gpsMinute;
    h.rtcSecond = h.gpsSecond;
    h.latitude = SelvorDegrees(38.7223 - i * 0.0002, 'N', 'S');
    h.longitude = SelvorDegrees(-9.1393 - i * 0.0003, 'E', 'W');
    h.marker = static_cast<std::uint16_t>(i / 8);
    h.gpsValid = i % 11 != 4;
    return h;
  };
  const SelvorPlan plans[2] = {{0, 935, 2000, 2000, 1}, {0x40, 890, 0, 300, 34}};
  auto scan = [&](int i) {
    std::array<SelvorScanReceiver, 2> rx;
    for (int r = 0; r < 2; ++r) {
      rx[r].plan = plans[r];
      const int channels = 14 + 6 * r;
      for (int e = 0; e < channels; ++e) {
        const double level = 58 + 30 * std::fabs(std::sin(0.41 * (i + 1) * (e + 1) + r));
        rx[r].entries.push_back({static_cast<std::uint16_t>(r == 0 ? 1 + 2 * e : 35 + 3 * e),
                                 static_cast<std::uint8_t>(level)});
      }
    }
    log.Scan(head(i), rx);
  };
  auto fast = [&](int i) {
    std::array<SelvorFastBlock, 2> blocks;
    for (int r = 0; r < 2; ++r) {
      blocks[r].plan = plans[r];
      blocks[r].code = static_cast<std::uint16_t>(r == 0 ? 60 : 40 + i % 4);
      for (int s = 0; s < 512; ++s)
        blocks[r].samples[s] = static_cast<std::uint8_t>(64 + (s * 5 + i * 7 + r * 13) % 28);
    }
    log.Fast(head(i), blocks);
  };
  int i = 0;
  for (int k = 0; k < 12; ++k) scan(i++);
  for (int k = 0; k < 10; ++k) fast(i++);
  for (int k = 0; k < 8; ++k) scan(i++);
  for (int k = 0; k < 6; ++k) fast(i++);
  log.WriteTo(path);
}

// A Drovel survey on a 12.5 kHz UHF plan: one-channel, three-channel, scan and one-channel
// runs, one record a second on the receiver clock, the marker stepping every 40 records.
void WriteDrovel(const std::string& path) {
  DrovelLogBuilder log;
  log.Identification("QVX DROVEL CW RECEIVER", "1.30");
  log.Setup({451, 250, 125, 1});
  int i = 0;
  auto record = [&](std::uint8_t flags, int readings) {
    const int t = 13 * 3600 + 12 * 60 + i;
    DrovelData d;
    d.hour = t / 3600;
    d.minute = t / 60 % 60;
    d.second = t % 60;
    d.marker = static_cast<std::int16_t>(i / 40);
    d.flags = flags;
    for (int e = 0; e < readings; ++e) {
      const double level = 62 + 35 * std::fabs(std::sin(0.23 * i + 1.7 * e));
      d.readings[e] = {static_cast<std::uint16_t>(40 + 16 * e + (i / 25) % 4),
                       static_cast<std::uint8_t>(level)};
    }
    log.Data(d);
    ++i;
  };
  for (int k = 0; k < 120; ++k) record(0x10, 1);
  for (int k = 0; k < 150; ++k) record(0x20, 3);
  for (int k = 0; k < 100; ++k) record(0x40, 3);
  for (int k = 0; k < 130; ++k) record(0x10, 1);
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

// A level that wanders with the drive, as a dBm magnitude.
std::uint8_t KesLevel(int i, int channel) {
  return static_cast<std::uint8_t>(62 + 30 * std::fabs(std::sin(0.29 * (i + 1) + 0.71 * channel)));
}

// A Kes PC-card drive: a 20-channel run with positions and GPS fixes, a cellular C/I run with
// SAT/VMAC codes and two sweeps per record, a fast fade, a POCSAG and a FLEX paging run, and
// an 80-channel sweep (variable sweep at firmware 106).
void WriteKesCard(const std::string& path) {
  KesCardLogBuilder log("QVX KES CW RECEIVER V1.05");
  int i = 0;
  auto gps = [&](int n) {
    KesGpsFix fix;
    fix.clock = fix.gps = KesDriveClock(n);
    fix.latitude = 41.8781 + n * 0.0002;
    fix.longitude = -87.6298 + n * 0.00025;
    fix.altitudeCm = static_cast<std::uint32_t>(18000 + n * 15);
    fix.velocity = static_cast<std::uint16_t>(1200 + (n % 9) * 35);
    fix.locked = n % 17 != 3;
    log.Gps(fix);
  };
  auto data = [&](int n, int channels, int sweeps, bool cellular) {
    std::vector<std::uint8_t> samples;
    std::vector<KesSatVmac> triples;
    for (int s = 0; s < sweeps; ++s)
      for (int c = 0; c < channels; ++c) {
        samples.push_back(KesLevel(n + s, c));
        triples.push_back({static_cast<std::uint8_t>(c % 3), static_cast<std::uint8_t>(c % 8)});
      }
    log.Data(KesDriveClock(n), samples, cellular ? triples : std::vector<KesSatVmac>{});
  };
  log.Clock(KesDriveClock(i));

  KesScan twenty;
  twenty.type = 4;
  for (int c = 0; c < 20; ++c) twenty.codes.push_back(static_cast<std::uint16_t>(101 + 4 * c));
  log.Scan(twenty);
  for (int k = 0; k < 14; ++k, ++i) {
    log.Position(KesDriveClock(i), static_cast<std::uint16_t>(i * 12),
                 static_cast<std::uint16_t>(i / 5));
    gps(i);
    data(i, 20, 1, false);
  }

  KesScan cellular;
  cellular.type = 1;
  cellular.flags = 0x80;
  cellular.baseMhz = 870;
  cellular.fraction = 300;
  cellular.spacing = 300;
  cellular.codes = {334, 335, 336, 337, 338, 339};
  log.Scan(cellular);
  for (int k = 0; k < 10; ++k, ++i) {
    gps(i);
    data(i, 6, 2, true);
  }

  KesScan fade;
  fade.type = 8;
  fade.codes = {212};
  log.Scan(fade);
  for (int k = 0; k < 4; ++k, ++i) data(i, 1, 25, false);

  KesScan pocsag;
  pocsag.type = 7;
  pocsag.baseMhz = 929;
  pocsag.fraction = 125;
  pocsag.codes = {5};
  log.Scan(pocsag);
  for (const Bytes& capture : DrivePocsagCaptures()) {
    gps(i);
    log.Pocsag(capture).Data(KesDriveClock(i++), {1});
  }

  KesScan flex;
  flex.type = 15;
  flex.baseMhz = 929;
  flex.fraction = 125;
  flex.codes = {9};
  log.Scan(flex);
  for (const Bytes& capture : DriveFlexCaptures()) {
    gps(i);
    log.Flex(capture).Data(KesDriveClock(i++), {1});
  }

  KesScan eighty;
  eighty.type = 5;
  eighty.firmware = 106;
  eighty.coordinateMode = 1;
  for (int c = 0; c < 80; ++c) eighty.codes.push_back(static_cast<std::uint16_t>(1 + c));
  log.Scan(eighty);
  for (int k = 0; k < 8; ++k, ++i) {
    log.Position(KesDriveClock(i), static_cast<std::uint16_t>(300 + k),
                 static_cast<std::uint16_t>(500 + 2 * k));
    gps(i);
    data(i, 80, 1, false);
  }
  log.WriteTo(path);
}

// A Kes PC-dump drive: the header frame, a setup record, GPS records between the data records
// of a 20-channel run, a cellular run with SAT/VMAC codes, POCSAG and FLEX paging records, a
// few records of older firmware with their own plan and BCD position, and some stray bytes
// that the reader hunts through.
void WriteKesDump(const std::string& path) {
  KesDumpLogBuilder log;
  KesDumpSetup setup;
  setup.firstCode = 1;
  setup.lastCode = 600;
  setup.baseMhz = 851;
  setup.fraction = 125;
  setup.spacing = 250;  // 25 kHz
  log.Setup(setup);
  int i = 0;
  auto gps = [&](int n) {
    KesDumpGps g;
    g.gps = KesDriveClock(n);
    g.latitude = 33.7490 + n * 0.0002;
    g.longitude = -84.3880 - n * 0.0003;
    g.altitudeCm = static_cast<std::uint32_t>(32000 + n * 20);
    g.velocity = static_cast<std::uint32_t>(1100 + (n % 5) * 60);
    g.navigation = n % 11 == 4 ? 0x00 : 0x20;
    log.Gps(g);
  };
  auto record = [&](int n, int type, int channels, std::uint16_t firstCode, int step) {
    KesDumpRecord r;
    r.type = type;
    r.clock = KesDriveClock(n);
    r.odometerOrY = static_cast<std::uint16_t>(n * 9);
    r.markerOrX = static_cast<std::uint16_t>(n / 6);
    for (int c = 0; c < channels; ++c)
      r.channels.push_back({static_cast<std::uint16_t>(firstCode + step * c), KesLevel(n, c),
                            static_cast<std::uint8_t>(c % 3), static_cast<std::uint8_t>(c % 8)});
    return r;
  };

  for (int k = 0; k < 14; ++k, ++i) {
    gps(i);
    log.Data(record(i, 4, 20, 101, 4));
    if (k == 6) log.Garbage(Bytes().U8(0x00).U8(0xFF).U8(0x13));
  }

  KesDumpSetup amps;
  amps.firstCode = 1;
  amps.lastCode = 799;
  amps.baseMhz = 870;
  amps.fraction = 300;
  amps.spacing = 300;  // 30 kHz
  amps.flags = 0x80;
  log.Setup(amps);
  for (int k = 0; k < 10; ++k, ++i) {
    gps(i);
    KesDumpRecord r = record(i, 1, 6, 334, 1);
    r.flags = 0x80;
    log.Data(r);
  }

  log.Setup(setup);
  for (const Bytes& capture : DrivePocsagCaptures()) {
    gps(i);
    KesDumpRecord r = record(i++, 7, 0, 0, 0);
    r.declaredCount = 1;
    r.paging = capture;
    log.Data(r);
  }
  for (const Bytes& capture : DriveFlexCaptures()) {
    gps(i);
    KesDumpRecord r = record(i++, 15, 0, 0, 0);
    r.declaredCount = 1;
    r.paging = capture;
    r.paging.Zeros(2);
    log.Data(r);
  }

  for (int k = 0; k < 6; ++k, ++i) {
    KesDumpRecord r = record(i, 3, 1, 40, 0);
    r.firmware = 102;
    r.gps = KesDriveClock(i);
    r.latitude = 33.7490 + i * 0.0002;
    r.longitude = -84.3880 - i * 0.0003;
    r.firstCode = 1;
    r.lastCode = 600;
    r.baseMhz = 851;
    r.fraction = 125;
    r.spacing = 250;
    r.flags = 0x10;
    log.Data(r);
  }
  log.WriteTo(path);
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage = "usage: make_samples [FOLDER]  (default: samples)\n";
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // An option is never taken for the folder: "--help" would become a folder of samples.
  if (argc > 2 || (argc > 1 && argv[1][0] == '-')) {
    if (argc > 2)
      std::fprintf(stderr, "make_samples: one FOLDER at most\n");
    else
      std::fprintf(stderr, "make_samples: unknown option %s\n", argv[1]);
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::filesystem::path dir = argc > 1 ? argv[1] : "samples";
  std::filesystem::create_directories(dir);
  WriteTarvik((dir / "drive-tarvik.tvf").string());
  WriteKesCard((dir / "drive-kes-card.bin").string());
  WriteKesDump((dir / "drive-kes-dump.kes").string());
  WriteTarvikExt((dir / "drive-tarvik-ext.tvf").string());
  WriteSelvor((dir / "drive-selvor.svf").string());
  WriteDrovel((dir / "drive-drovel.dvf").string());
  WritePelmor((dir / "drive-pelmor.pvf").string());
  std::printf("samples written to %s\n", dir.string().c_str());
  return 0;
}
