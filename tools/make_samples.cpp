// Writes the bundled sample logs of samples/ with the test-side log builders:
//   make_samples DIR
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"
#include "support/paging_encoder.h"
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

// The time of day `i` seconds after 09:30:00.
KesTime KesClockAt(int i) {
  const int t = 9 * 3600 + 30 * 60 + i;
  return {t / 3600, t / 60 % 60, t % 60};
}

// A level that wanders with the drive, as a dBm magnitude.
std::uint8_t KesLevel(int i, int channel) {
  return static_cast<std::uint8_t>(62 + 30 * std::fabs(std::sin(0.29 * (i + 1) + 0.71 * channel)));
}

// Paging traffic of a drive: POCSAG batches (one message runs on into the next batch) and
// FLEX frames of two phases.
std::vector<Bytes> KesPocsagCaptures() {
  PocsagStream stream;
  stream.Page(PocsagNumeric(1200, "5551234"));
  stream.Page(PocsagAlphanumeric(2403, "UNIT 12 REPORT TO THE NORTH DEPOT BEFORE NOON"));
  stream.Page(PocsagTone(3315));
  stream.Page(PocsagAlphanumeric(4412, "GATE CODE 4471"));
  stream.Idle(2);
  PocsagHead head;
  head.rssi = 71;
  head.channel = 5;
  head.errors = 2;
  std::vector<Bytes> captures;
  for (int b = 0; b < stream.Batches(); ++b) captures.push_back(stream.Capture(b, head));
  return captures;
}

std::vector<Bytes> KesFlexCaptures() {
  std::vector<Bytes> captures;
  const char* texts[] = {"MEETING MOVED TO 3PM", "CALL OFFICE", "LOT B IS FULL"};
  for (int f = 0; f < 3; ++f) {
    FlexFrameBuilder b(2);
    b.Head(static_cast<std::uint8_t>(68 + f), 9, static_cast<std::uint16_t>(f));
    b.Page(0, FlexAlphanumeric(100200 + f, texts[f]));
    b.Page(1, FlexNumeric(300400 + f, "8675309"));
    captures.push_back(b.Build().Capture());
  }
  return captures;
}

// A Kes PC-card drive: a 20-channel run with positions and GPS fixes, a cellular C/I run with
// SAT/VMAC codes and two sweeps per record, a fast fade, a POCSAG and a FLEX paging run, and
// an 80-channel sweep (variable sweep at firmware 106).
void WriteKesCard(const std::string& path) {
  KesCardLogBuilder log("QVX KES CW RECEIVER V1.05");
  int i = 0;
  auto gps = [&](int n) {
    KesGpsFix fix;
    fix.clock = fix.gps = KesClockAt(n);
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
    log.Data(KesClockAt(n), samples, cellular ? triples : std::vector<KesSatVmac>{});
  };
  log.Clock(KesClockAt(i));

  KesScan twenty;
  twenty.type = 4;
  for (int c = 0; c < 20; ++c) twenty.codes.push_back(static_cast<std::uint16_t>(101 + 4 * c));
  log.Scan(twenty);
  for (int k = 0; k < 14; ++k, ++i) {
    log.Position(KesClockAt(i), static_cast<std::uint16_t>(i * 12),
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
  for (const Bytes& capture : KesPocsagCaptures()) {
    gps(i);
    log.Pocsag(capture).Data(KesClockAt(i++), {1});
  }

  KesScan flex;
  flex.type = 15;
  flex.baseMhz = 929;
  flex.fraction = 125;
  flex.codes = {9};
  log.Scan(flex);
  for (const Bytes& capture : KesFlexCaptures()) {
    gps(i);
    log.Flex(capture).Data(KesClockAt(i++), {1});
  }

  KesScan eighty;
  eighty.type = 5;
  eighty.firmware = 106;
  eighty.coordinateMode = 1;
  for (int c = 0; c < 80; ++c) eighty.codes.push_back(static_cast<std::uint16_t>(1 + c));
  log.Scan(eighty);
  for (int k = 0; k < 8; ++k, ++i) {
    log.Position(KesClockAt(i), static_cast<std::uint16_t>(300 + k),
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
    g.gps = KesClockAt(n);
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
    r.clock = KesClockAt(n);
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
  for (const Bytes& capture : KesPocsagCaptures()) {
    gps(i);
    KesDumpRecord r = record(i++, 7, 0, 0, 0);
    r.declaredCount = 1;
    r.paging = capture;
    log.Data(r);
  }
  for (const Bytes& capture : KesFlexCaptures()) {
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
    r.gps = KesClockAt(i);
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
  const std::filesystem::path dir = argc > 1 ? argv[1] : "samples";
  std::filesystem::create_directories(dir);
  WriteTarvik((dir / "drive-tarvik.tvf").string());
  WriteKesCard((dir / "drive-kes-card.bin").string());
  WriteKesDump((dir / "drive-kes-dump.kes").string());
  std::printf("samples written to %s\n", dir.string().c_str());
  return 0;
}
