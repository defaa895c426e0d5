#include "support/kes_card_log.h"

#include <cmath>

namespace polvane::testing {

namespace {

constexpr std::uint8_t kScanHeader = 0xA1, kPosition = 0xB2, kData = 0xC3, kGps = 0xD4,
                       kClock = 0xE5, kFlex = 0xF6, kPocsag = 0x97;

void PutTime(Bytes& b, KesTime t) {
  b.U8(t.hour).U8(t.minute).U8(t.second);
}

}  // namespace

Bytes KesBcdCoordinate(double deg, bool latitude) {
  double a = std::fabs(deg);
  int d = static_cast<int>(a);
  double m = (a - d) * 60;
  int mi = static_cast<int>(m);
  int th = static_cast<int>(std::lround((m - mi) * 1000));
  if (th == 1000) {
    th = 0;
    ++mi;
  }
  Bytes b = BcdPosition(d, mi, th);
  b.U8(latitude ? (deg < 0 ? 'S' : 'N') : (deg < 0 ? 'W' : 'E'));
  return b;
}

KesCardLogBuilder::KesCardLogBuilder(const std::string& product) {
  // The identification record: length, "I", the text length and the text.
  Bytes id;
  id.U8('I').LE32(static_cast<std::uint32_t>(product.size())).Text(product);
  log_.LE32(static_cast<std::uint32_t>(id.Size())).Append(id.Data());
  log_.Resize(512);
  // Before the first scan header the reader knows no firmware: GPS records take the short form.
  scan_.firmware = 0;
}

KesCardLogBuilder& KesCardLogBuilder::Scan(const KesScan& s) {
  scan_ = s;
  const int count = s.declaredCount >= 0 ? s.declaredCount : static_cast<int>(s.codes.size());
  log_.U8(kScanHeader);
  log_.U8(s.day).U8(s.month).U8(s.year).U8(s.type).U8(s.coordinateMode);
  log_.LE16(s.baseCode).Zeros(2).LE16(s.baseMhz).LE16(s.fraction).LE16(s.spacing);
  log_.U8(s.flags).LE16(s.firmware).Zeros(6).U8(static_cast<std::uint8_t>(count));
  for (int i = 0; i < count; ++i) log_.LE16(i < static_cast<int>(s.codes.size()) ? s.codes[i] : 0);
  log_.Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Position(KesTime t, std::uint16_t odometerOrY,
                                               std::uint16_t markerOrX) {
  log_.U8(kPosition);
  PutTime(log_, t);
  log_.LE16(odometerOrY).LE16(markerOrX).Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Data(KesTime t, const std::vector<std::uint8_t>& samples,
                                           const std::vector<KesSatVmac>& triples) {
  const int k = static_cast<int>(samples.size());
  log_.U8(kData);
  PutTime(log_, t);
  log_.U8(static_cast<std::uint8_t>(k));
  if (scan_.type == 7) {
    log_.Zeros(79).Zeros(2);
    return *this;
  }
  for (std::uint8_t s : samples) log_.U8(s);
  if (scan_.flags == 0x80)
    for (int i = 0; i < k; ++i) {
      KesSatVmac v = i < static_cast<int>(triples.size()) ? triples[i] : KesSatVmac{};
      log_.U8(v.sat).U8(0).U8(v.vmac);
    }
  log_.Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Gps(const KesGpsFix& f) {
  log_.U8(kGps);
  PutTime(log_, f.clock);
  log_.U8(f.locked ? 0x80 : 0x00);
  if (scan_.firmware < 103) {
    log_.Append(KesBcdCoordinate(f.latitude, true).Data());
    log_.Append(KesBcdCoordinate(f.longitude, false).Data());
    log_.Zeros(3).U8(Bcd(f.gps.hour)).U8(Bcd(f.gps.minute)).U8(Bcd(f.gps.second));
  } else {
    log_.BE32(static_cast<std::uint32_t>(MilliArcSeconds(f.latitude)));
    log_.BE32(static_cast<std::uint32_t>(MilliArcSeconds(f.longitude)));
    log_.BE32(f.altitudeCm).BE16(f.velocity).Zeros(2);
    PutTime(log_, f.gps);
  }
  log_.Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Clock(KesTime t) {
  log_.U8(kClock);
  PutTime(log_, t);
  log_.Zeros(4).Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Flex(const Bytes& frame) {
  log_.U8(kFlex).Append(frame.Data()).Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Pocsag(const Bytes& block) {
  Bytes b = block;
  b.Resize(79);
  log_.U8(kPocsag).Append(b.Data()).Zeros(2);
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Raw(const Bytes& bytes) {
  log_.Append(bytes.Data());
  return *this;
}

KesCardLogBuilder& KesCardLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

KesTime KesDriveClock(int i) {
  const int t = 9 * 3600 + 30 * 60 + i;
  return {t / 3600, t / 60 % 60, t % 60};
}

}  // namespace polvane::testing
