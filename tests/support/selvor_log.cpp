#include "support/selvor_log.h"

#include <cmath>

namespace polvane::testing {

namespace {

void PutPlan(Bytes& b, const SelvorPlan& p) {
  b.U8(p.flags).LE16(p.baseMhz).LE16(p.fraction).LE16(p.spacing).LE16(p.baseCode);
}

void PutCoordinate(Bytes& b, const SelvorCoordinate& c) {
  b.Append(BcdPosition(c.degrees, c.minutes, c.thousandths).Data())
      .U8(static_cast<std::uint8_t>(c.hemisphere));
}

}  // namespace

Bytes SelvorLogBuilder::HeadBytes(char type, const SelvorHead& h) {
  Bytes b;
  b.U8(static_cast<std::uint8_t>(type));
  b.U8(h.rtcSecond).U8(h.rtcMinute).U8(h.rtcHour).U8(h.rtcDay).U8(h.rtcMonth).U8(h.rtcYear);
  b.U8(h.gpsValid ? 0x80 : 0x00);
  PutCoordinate(b, h.latitude);
  PutCoordinate(b, h.longitude);
  b.U8(Bcd(h.gpsHour)).U8(Bcd(h.gpsMinute)).U8(Bcd(h.gpsSecond));
  b.LE16(h.marker);
  return b;
}

Bytes SelvorLogBuilder::FastBody(const SelvorHead& h,
                                 const std::array<SelvorFastBlock, 2>& blocks) {
  Bytes b = HeadBytes('F', h);
  for (const SelvorFastBlock& blk : blocks) {
    const std::size_t start = b.Size();
    b.LE16(blk.code);
    PutPlan(b, blk.plan);
    b.Zeros(7);
    for (int i = 0; i < 512; ++i)
      b.U8(i < static_cast<int>(blk.samples.size()) ? blk.samples[i] : 0);
    b.Resize(start + 530);
  }
  return b;
}

Bytes SelvorLogBuilder::ScanBody(const SelvorHead& h, const std::array<SelvorScanReceiver, 2>& rx) {
  Bytes b = HeadBytes('S', h);
  for (const SelvorScanReceiver& r : rx) {
    PutPlan(b, r.plan);
    b.Zeros(2);
  }
  for (const SelvorScanReceiver& r : rx)
    for (int e = 0; e < 80; ++e) {
      const SelvorScanEntry entry =
          e < static_cast<int>(r.entries.size()) ? r.entries[e] : SelvorScanEntry{};
      b.LE16(entry.code).U8(entry.level);
    }
  return b;
}

SelvorLogBuilder& SelvorLogBuilder::Record(const Bytes& body) {
  log_.LE32(static_cast<std::uint32_t>(body.Size())).Append(body.Data());
  return *this;
}

SelvorLogBuilder& SelvorLogBuilder::Length(std::int32_t length) {
  log_.LE32(static_cast<std::uint32_t>(length));
  return *this;
}

SelvorLogBuilder& SelvorLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

SelvorLogBuilder& SelvorLogBuilder::Identification(const std::string& product,
                                                   const std::string& version) {
  Bytes b;
  b.U8('I').LE32(static_cast<std::uint32_t>(product.size())).Text(product);
  b.LE32(static_cast<std::uint32_t>(version.size())).Text(version);
  return Record(b);
}

SelvorLogBuilder& SelvorLogBuilder::Fast(const SelvorHead& h,
                                         const std::array<SelvorFastBlock, 2>& blocks) {
  return Record(FastBody(h, blocks));
}

SelvorLogBuilder& SelvorLogBuilder::Scan(const SelvorHead& h,
                                         const std::array<SelvorScanReceiver, 2>& rx) {
  return Record(ScanBody(h, rx));
}

SelvorCoordinate SelvorDegrees(double deg, char positive, char negative) {
  const double a = std::fabs(deg);
  const int d = static_cast<int>(a);
  const int thousandths = static_cast<int>(std::lround((a - d) * 60000));
  return {d, thousandths / 1000, thousandths % 1000, deg < 0 ? negative : positive};
}

}  // namespace polvane::testing
