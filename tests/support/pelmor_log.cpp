#include "support/pelmor_log.h"

#include <cmath>

namespace polvane::testing {

namespace {

constexpr std::uint8_t kTitleType = 'T';  // a record type the reader passes over
constexpr std::uint8_t kNoReceiver = 0xFF;

void PutPlan(Bytes& b, const PelmorPlan& p) {
  b.LE32(p.first).LE32(p.last);
  b.LE16(static_cast<std::uint16_t>(std::lround(p.stepKhz * 256)));
  b.U8(p.wrapped ? 1 : 0).U8(0);
}

}  // namespace

PelmorLogBuilder::PelmorLogBuilder(bool pcCard, const std::string& title) : pcCard_(pcCard) {
  Bytes b;
  b.U8(kTitleType).Text(title).U8(0);
  Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::Record(const Bytes& body) {
  log_.LE16(static_cast<std::uint16_t>(body.Size())).Append(body.Data());
  return *this;
}

PelmorLogBuilder& PelmorLogBuilder::Length(std::uint16_t length) {
  log_.LE16(length);
  return *this;
}

PelmorLogBuilder& PelmorLogBuilder::Garbage(const Bytes& bytes) {
  log_.Append(bytes.Data());
  return *this;
}

PelmorLogBuilder& PelmorLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

PelmorLogBuilder& PelmorLogBuilder::Fix(const PelmorFix& f) {
  Bytes b;
  b.U8(0);
  b.Zeros(4).U8(f.month).U8(f.day).BE16(static_cast<std::uint16_t>(f.year));
  b.U8(f.hour).U8(f.minute).U8(f.second).Zeros(4);
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(f.latitude)));
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(f.longitude)));
  b.BE32(static_cast<std::uint32_t>(f.altitudeCm)).Zeros(20);
  b.BE16(static_cast<std::uint16_t>(f.velocityCmPerS)).Zeros(80);
  b.U8(static_cast<std::uint8_t>((f.status & 7) << 5)).Zeros(22);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::Configuration(int flags, const PelmorPlan& plan1,
                                                  const PelmorPlan& plan2) {
  Bytes b;
  b.U8(1).U8(static_cast<std::uint8_t>(flags));
  PutPlan(b, plan1);
  PutPlan(b, plan2);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::Samples(int receiver, const std::vector<int>& rssi) {
  Bytes b;
  b.U8(receiver == 2 ? 3 : 2);
  for (int v : rssi) b.U8(static_cast<std::uint8_t>(v));
  b.U8(0);  // the record's last byte carries no value
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::Clock(const PelmorClock& c) {
  Bytes b;
  b.U8(4).U8(c.second).U8(c.minute).U8(c.hour).U8(c.day).U8(c.month).U8(c.year).U8(c.marker);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::SingleSetup(std::uint32_t frequency1,
                                                std::uint32_t frequency2) {
  Bytes b;
  b.U8(5).LE32(frequency1).LE32(frequency2);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::ListSetup(const std::array<std::uint32_t, 10>& list1,
                                              const std::array<std::uint32_t, 10>& list2) {
  Bytes b;
  b.U8(6);
  for (std::uint32_t f : list1) b.LE32(f);
  for (std::uint32_t f : list2) b.LE32(f);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::ListData(const std::vector<PelmorListEntry>& entries) {
  Bytes b;
  b.U8(7);
  for (std::size_t e = 0; e < 5; ++e) {
    if (e < entries.size())
      b.U8(static_cast<std::uint8_t>(entries[e].receiver))
          .U8(static_cast<std::uint8_t>(entries[e].index))
          .U8(static_cast<std::uint8_t>(entries[e].rssi));
    else
      b.U8(kNoReceiver).U8(0).U8(0);
  }
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::TableData(const std::vector<PelmorTableEntry>& entries) {
  Bytes b;
  b.U8(9);
  for (std::size_t e = 0; e < 4; ++e) {
    if (e < entries.size()) {
      const int stored = entries[e].channel - 1;
      b.U8(static_cast<std::uint8_t>(entries[e].receiver))
          .U8(static_cast<std::uint8_t>(stored & 0xFF))
          .U8(static_cast<std::uint8_t>((stored >> 8) & 0xFF))
          .U8(static_cast<std::uint8_t>(entries[e].rssi));
    } else {
      b.U8(kNoReceiver).Zeros(3);
    }
  }
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::TpPositionTime(const PelmorTpPosition& tp) {
  Bytes b;
  b.U8(0xC0).U8(tp.second).U8(tp.minute).U8(tp.hour).U8(tp.day);
  b.U8(static_cast<std::uint8_t>(tp.month - 1)).U8(static_cast<std::uint8_t>(tp.year - 1900));
  b.U8(static_cast<std::uint8_t>(tp.latHemisphere)).LE16(static_cast<std::uint16_t>(tp.latDegrees));
  b.LE32(tp.latMillionths);
  b.U8(static_cast<std::uint8_t>(tp.lonHemisphere)).LE16(static_cast<std::uint16_t>(tp.lonDegrees));
  b.LE32(tp.lonMillionths);
  return Record(b);
}

PelmorLogBuilder& PelmorLogBuilder::TpMotion(int speedKmh, unsigned directionDeg) {
  Bytes b;
  b.U8(0xC1).Zeros(2).LE16(static_cast<std::uint16_t>(speedKmh));
  b.LE16(static_cast<std::uint16_t>(directionDeg));
  return Record(b);
}

std::vector<std::uint8_t> PelmorLogBuilder::Data() const {
  const std::size_t headerSize = pcCard_ ? 10 : 6;
  const std::uint64_t end = explicitEnd_ ? dataEnd_ : headerSize + log_.Size();
  const std::uint64_t blocks = end / 512, remainder = end % 512;
  Bytes file;
  if (pcCard_)
    file.Zeros(4)
        .LE16(static_cast<std::uint16_t>(remainder))
        .LE32(static_cast<std::uint32_t>(blocks));
  else
    file.Zeros(2)
        .LE16(static_cast<std::uint16_t>(remainder))
        .LE16(static_cast<std::uint16_t>(blocks));
  file.Append(log_.Data());
  return file.Data();
}

}  // namespace polvane::testing
