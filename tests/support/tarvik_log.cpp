#include "support/tarvik_log.h"

#include <cmath>
#include <vector>

namespace polvane::testing {

namespace {

void PutPlan(Bytes& b, const TarvikPlan& p) {
  b.LE16(p.baseMhz).LE16(p.fraction).LE16(p.spacing).LE16(p.baseChannel);
}

// Degrees as the BCD form's degrees, minutes and thousandths of a minute.
Bytes BcdFromDegrees(double deg) {
  double a = std::fabs(deg);
  int d = static_cast<int>(a);
  double m = (a - d) * 60;
  int mi = static_cast<int>(m);
  int th = static_cast<int>(std::lround((m - mi) * 1000));
  if (th == 1000) {
    th = 0;
    ++mi;
  }
  return BcdPosition(d, mi, th);
}

}  // namespace

Bytes TarvikLogBuilder::HeaderBytes(char type, const TarvikHeader& h) const {
  Bytes b;
  b.U8(static_cast<std::uint8_t>(type)).U8(0);
  b.U8(h.rtcSecond).U8(h.rtcMinute).U8(h.rtcHour).U8(h.rtcDay).U8(h.rtcMonth).U8(h.rtcYear);
  b.U8(h.gpsValid ? 0x80 : 0x00);
  if (!newLayout_) {
    char latH = h.latHemisphere ? h.latHemisphere : (h.latitude < 0 ? 'S' : 'N');
    char lonH = h.lonHemisphere ? h.lonHemisphere : (h.longitude < 0 ? 'W' : 'E');
    b.Append(BcdFromDegrees(h.latitude).Data()).U8(latH);
    b.Append(BcdFromDegrees(h.longitude).Data()).U8(lonH);
    b.U8(Bcd(h.gps.hour)).U8(Bcd(h.gps.minute)).U8(Bcd(h.gps.second));
    b.LE16(h.marker).Zeros(4);
    return b;
  }
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(h.latitude)));
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(h.longitude)));
  b.BE32(static_cast<std::uint32_t>(h.altitudeCm)).BE16(h.velocityCmPerS).Zeros(2);
  b.U8(h.gps.hour).U8(h.gps.minute).U8(h.gps.second);
  b.LE16(h.marker).Zeros(6);
  return b;
}

TarvikLogBuilder& TarvikLogBuilder::Record(const Bytes& body) {
  log_.LE32(static_cast<std::uint32_t>(body.Size())).Append(body.Data());
  return *this;
}

TarvikLogBuilder& TarvikLogBuilder::Garbage(const Bytes& bytes) {
  log_.Append(bytes.Data());
  return *this;
}

TarvikLogBuilder& TarvikLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

TarvikLogBuilder& TarvikLogBuilder::Identification(const std::string& product,
                                                   const std::string& version) {
  Bytes b;
  b.U8('I').LE32(static_cast<std::uint32_t>(product.size())).Text(product);
  b.LE32(static_cast<std::uint32_t>(version.size())).Text(version);
  return Record(b);
}

TarvikLogBuilder& TarvikLogBuilder::Fast(const TarvikHeader& h,
                                         const std::array<TarvikFastBlock, 4>& blocks) {
  Bytes b = HeaderBytes('F', h);
  for (const TarvikFastBlock& blk : blocks) {
    std::size_t start = b.Size();
    b.LE16(blk.channel).U8(blk.plan.flags);
    PutPlan(b, blk.plan);
    b.Zeros(11);
    for (int i = 0; i < 512; ++i)
      b.U8(i < static_cast<int>(blk.samples.size()) ? blk.samples[i] : 0);
    b.Resize(start + 708);
  }
  return Record(b);
}

TarvikLogBuilder& TarvikLogBuilder::Scan(const TarvikHeader& h,
                                         const std::array<TarvikScanReceiver, 4>& rx) {
  Bytes b = HeaderBytes('S', h);
  for (const TarvikScanReceiver& r : rx) {
    b.U8(r.plan.flags);
    PutPlan(b, r.plan);
    b.Zeros(7);
  }
  for (const TarvikScanReceiver& r : rx)
    for (int e = 0; e < 80; ++e) {
      TarvikScanEntry entry =
          e < static_cast<int>(r.entries.size()) ? r.entries[e] : TarvikScanEntry{};
      b.LE16(entry.channel).U8(entry.rssi).U8(0);
    }
  return Record(b);
}

TarvikLogBuilder TarvikScanDrive(int scans, int fasts) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  rx[0].entries = {{5, 70}, {6, 60}};
  for (int i = 0; i < scans; ++i) {
    TarvikHeader h;
    h.gps = {1, i / 60 % 60, i % 60};
    log.Scan(h, rx);
  }
  for (int i = 0; i < fasts; ++i) log.Fast({}, {});
  return log;
}

TarvikLogBuilder TarvikMeridianDrive(int records) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  for (int i = 0; i < records; ++i) {
    TarvikHeader h;
    h.latitude = 45.0 + 0.001 * i;
    h.longitude = -73.0;
    h.gps = {10, i / 60 % 60, i % 60};
    h.velocityCmPerS = static_cast<std::uint16_t>(std::ceil((i + 1) * 10 * 1000000.0 / 22356));
    TarvikFastBlock b;
    b.samples.assign(512, static_cast<std::uint8_t>(70 + 10 * i));
    log.Fast(h, {b});
  }
  return log;
}

TarvikLogBuilder TarvikBusyDrive(int records) {
  TarvikLogBuilder log(true);
  log.Identification("QVX TARVIK CW SCANNER", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  for (int r = 0; r < 4; ++r)
    for (int e = 0; e < 40; ++e)
      rx[r].entries.push_back(
          {static_cast<std::uint16_t>(1 + e), static_cast<std::uint8_t>(60 + e)});
  for (int i = 0; i < records; ++i) {
    TarvikHeader h;
    h.gps = {10 + i / 3600 % 10, i / 60 % 60, i % 60};
    h.latitude = 45.0 + i * 1e-5;
    log.Scan(h, rx);
  }
  return log;
}

TarvikLogBuilder TarvikKindsDrive(std::string_view kinds) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  std::array<TarvikScanReceiver, 4> rx;
  rx[0].entries = {{5, 70}};
  int second = 0;
  for (char k : kinds) {
    TarvikHeader h;
    h.gps = {2 + second / 3600, second / 60 % 60, second % 60};
    ++second;
    if (k == 'S')
      log.Scan(h, rx);
    else
      log.Fast(h, {});
  }
  return log;
}

}  // namespace polvane::testing
