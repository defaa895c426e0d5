#include "support/drovel_log.h"

namespace polvane::testing {

DrovelLogBuilder& DrovelLogBuilder::Record(const Bytes& body) {
  log_.LE32(static_cast<std::uint32_t>(body.Size())).Append(body.Data());
  return *this;
}

DrovelLogBuilder& DrovelLogBuilder::Length(std::int32_t length) {
  log_.LE32(static_cast<std::uint32_t>(length));
  return *this;
}

DrovelLogBuilder& DrovelLogBuilder::Identification(const std::string& product,
                                                   const std::string& version) {
  Bytes b;
  b.U8('I').LE32(static_cast<std::uint32_t>(product.size())).Text(product);
  b.LE32(static_cast<std::uint32_t>(version.size())).Text(version);
  return Record(b);
}

DrovelLogBuilder& DrovelLogBuilder::Setup(const DrovelPlan& plan) {
  Bytes b;
  b.U8('U').U8(0);
  b.BE16(static_cast<std::uint16_t>(plan.baseMhz)).BE16(static_cast<std::uint16_t>(plan.fraction));
  b.BE16(plan.spacing).BE16(static_cast<std::uint16_t>(plan.baseChannel));
  b.Resize(64);
  return Record(b);
}

Bytes DrovelLogBuilder::DataBody(const DrovelData& d) {
  Bytes b;
  b.U8('D').U8(d.hour).U8(d.minute).U8(d.second);
  b.BE16(static_cast<std::uint16_t>(d.marker)).U8(d.flags);
  for (const DrovelReading& r : d.readings) b.BE16(r.channel).U8(r.rssi);
  return b;
}

DrovelLogBuilder& DrovelLogBuilder::Data(const DrovelData& d) {
  return Record(DataBody(d));
}

}  // namespace polvane::testing
