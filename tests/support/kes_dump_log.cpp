#include "support/kes_dump_log.h"

namespace polvane::testing {

KesDumpLogBuilder::KesDumpLogBuilder(bool fileHeader) {
  if (fileHeader) FileHeader();
}

KesDumpLogBuilder& KesDumpLogBuilder::Frame(const Bytes& record, int length) {
  const int l = length >= 0 ? length : static_cast<int>(record.Size()) + 1;
  log_.U8(0xAA).LE16(static_cast<std::uint16_t>(l)).Append(record.Data());
  return *this;
}

KesDumpLogBuilder& KesDumpLogBuilder::FileHeader() {
  return Frame(Bytes().U8(15).Text("QVXKES").Text(" 1.05").Zeros(4));
}

Bytes KesDumpLogBuilder::DataRecord(const KesDumpRecord& d) {
  const bool older = d.firmware < 103;
  const int n = d.declaredCount >= 0 ? d.declaredCount : static_cast<int>(d.channels.size());
  Bytes b;
  b.U8(static_cast<std::uint8_t>(d.type)).LE16(d.firmware).Zeros(6);
  b.U8(d.gpsLocked ? 0x80 : 0x00);
  if (older) {
    b.Append(KesBcdCoordinate(d.latitude, true).Data());
    b.Append(KesBcdCoordinate(d.longitude, false).Data());
    b.Zeros(3);
  } else {
    b.Zeros(16);
  }
  // The scan block.
  b.U8(Bcd(d.gps.hour)).U8(Bcd(d.gps.minute)).U8(Bcd(d.gps.second));
  b.U8(d.coordinateMode).LE16(d.odometerOrY).LE16(d.markerOrX);
  b.LE16(static_cast<std::uint16_t>(d.firstCode)).LE16(static_cast<std::uint16_t>(d.lastCode));
  b.LE16(d.baseMhz).LE16(d.fraction).LE16(d.spacing).U8(d.flags);
  b.U8(d.clock.second).U8(d.clock.minute).U8(d.clock.hour);
  b.U8(d.day).U8(d.month).U8(d.year).U8(static_cast<std::uint8_t>(n));
  if (d.type == 7 || d.type == 15) {
    b.Append(d.paging.Data());
    return b;
  }
  for (const KesDumpChannel& c : d.channels) b.U8(c.sample).Zeros(2).LE16(c.code);
  if (d.flags == 0x80)
    for (const KesDumpChannel& c : d.channels) b.U8(c.sat).U8(0).U8(c.vmac);
  return b;
}

KesDumpLogBuilder& KesDumpLogBuilder::Data(const KesDumpRecord& record) {
  return Frame(DataRecord(record));
}

KesDumpLogBuilder& KesDumpLogBuilder::Setup(const KesDumpSetup& s) {
  Bytes b;
  b.U8(32).LE16(s.firmware).Zeros(6);
  b.LE16(static_cast<std::uint16_t>(s.firstCode)).LE16(static_cast<std::uint16_t>(s.lastCode));
  b.LE16(s.baseMhz).LE16(s.fraction).LE16(s.spacing).U8(s.flags);
  return Frame(b);
}

KesDumpLogBuilder& KesDumpLogBuilder::Gps(const KesDumpGps& g) {
  Bytes b;
  b.U8(34).Zeros(4).U8(g.gps.hour).U8(g.gps.minute).U8(g.gps.second).Zeros(4);
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(g.latitude)));
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(g.longitude)));
  b.BE32(g.altitudeCm).Zeros(4).BE32(g.velocity);
  b.Resize(1 + 68).U8(g.navigation).Zeros(2);
  return Frame(b);
}

KesDumpLogBuilder& KesDumpLogBuilder::Garbage(const Bytes& bytes) {
  log_.Append(bytes.Data());
  return *this;
}

KesDumpLogBuilder& KesDumpLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

}  // namespace polvane::testing
