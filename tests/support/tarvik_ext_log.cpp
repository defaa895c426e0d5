#include "support/tarvik_ext_log.h"

namespace polvane::testing {

namespace {

// The plan as the fast block's bytes 2 to 13 and the scan record's plan header.
void PutPlan(Bytes& b, const TarvikExtPlan& p) {
  b.U8(p.flags).LE16(p.baseMhz).LE16(p.fraction).LE16(p.spacing).LE16(p.lowest).LE16(p.highest);
  b.U8(p.secondFlags);
}

}  // namespace

TarvikExtLogBuilder::TarvikExtLogBuilder(const std::string& fileHeader) {
  log_.Text(fileHeader).Resize(6);
}

Bytes TarvikExtLogBuilder::HeaderBytes(char type, const TarvikExtHeader& h,
                                       const std::array<bool, 4>& present) {
  Bytes b;
  b.U8(static_cast<std::uint8_t>(type)).U8(0);
  b.U8(h.rtcSecond).U8(h.rtcMinute).U8(h.rtcHour).U8(h.rtcDay).U8(h.rtcMonth).U8(h.rtcYear);
  b.U8(h.gpsValid ? 0x80 : 0x00);
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(h.latitude)));
  b.BE32(static_cast<std::uint32_t>(MilliArcSeconds(h.longitude)));
  b.BE32(static_cast<std::uint32_t>(h.altitudeCm)).BE16(h.velocityCmPerS);
  b.BE16(static_cast<std::uint16_t>(h.headingTenths));
  b.U8(h.gps.hour).U8(h.gps.minute).U8(h.gps.second);
  b.LE16(static_cast<std::uint16_t>(h.marker)).Zeros(2);
  for (bool p : present) b.U8(p ? 1 : 0);
  return b;
}

Bytes TarvikExtLogBuilder::FastBody(const TarvikExtHeader& h,
                                    const std::array<TarvikExtFastBlock, 4>& blocks) {
  std::array<bool, 4> present{};
  for (int n = 0; n < 4; ++n) present[n] = blocks[n].present;
  Bytes b = HeaderBytes('F', h, present);
  for (const TarvikExtFastBlock& blk : blocks) {
    const std::size_t start = b.Size();
    b.LE16(blk.channel);
    PutPlan(b, blk.plan);
    b.U8(blk.value1).U8(blk.value2).Zeros(6);
    for (int i = 0; i < 512; ++i)
      b.U8(i < static_cast<int>(blk.samples.size()) ? blk.samples[i] : 0);
    b.Resize(start + 708);
  }
  return b;
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Fast(const TarvikExtHeader& h,
                                               const std::array<TarvikExtFastBlock, 4>& blocks) {
  return Record(FastBody(h, blocks));
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Scan(const TarvikExtHeader& h,
                                               const std::array<TarvikExtPlan, 4>& plans) {
  Bytes b = HeaderBytes('S', h);
  for (const TarvikExtPlan& p : plans) PutPlan(b, p);
  return Record(b);
}

TarvikExtLogBuilder& TarvikExtLogBuilder::R(int receiver, int kind, int channel, int rssi) {
  Bytes b;
  b.U8('r').U8(receiver).LE16(static_cast<std::uint16_t>(kind)).LE16(channel).U8(rssi);
  return Record(b);
}

TarvikExtLogBuilder& TarvikExtLogBuilder::S(int receiver, int kind, int channel, int rssi,
                                            int sat) {
  Bytes b;
  b.U8('s').U8(receiver).LE16(static_cast<std::uint16_t>(kind)).LE16(channel).U8(rssi).U8(sat);
  return Record(b);
}

TarvikExtLogBuilder& TarvikExtLogBuilder::V(int receiver, int channel, int rssi, int sat,
                                            int vmac) {
  Bytes b;
  b.U8('v').U8(receiver).LE16(channel).U8(rssi).U8(sat).U8(vmac);
  return Record(b);
}

TarvikExtLogBuilder& TarvikExtLogBuilder::C(int receiver, int channel, int rssi, int dcc) {
  Bytes b;
  b.U8('c').U8(receiver).LE16(channel).U8(rssi).U8(dcc).U8(0);
  return Record(b);
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Record(const Bytes& body) {
  log_.LE16(static_cast<std::uint16_t>(body.Size())).Append(body.Data());
  return *this;
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Length(std::int16_t length) {
  log_.LE16(static_cast<std::uint16_t>(length));
  return *this;
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Garbage(const Bytes& bytes) {
  log_.Append(bytes.Data());
  return *this;
}

TarvikExtLogBuilder& TarvikExtLogBuilder::Truncate(std::size_t n) {
  log_.Resize(log_.Size() > n ? log_.Size() - n : 0);
  return *this;
}

std::array<TarvikExtFastBlock, 4> PresentBlocks(std::initializer_list<int> receivers,
                                                const TarvikExtFastBlock& block) {
  std::array<TarvikExtFastBlock, 4> blocks;
  for (TarvikExtFastBlock& b : blocks) {
    b = block;
    b.present = false;
  }
  for (int n : receivers) blocks[n - 1].present = true;
  return blocks;
}

}  // namespace polvane::testing
