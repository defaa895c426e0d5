// Writes Drovel logs from readable values: an identification record, set-up records with a
// channel plan, data records of one or three readings, and damaged framing where a test wants it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

// A channel plan (units of 0.0001 MHz).
struct DrovelPlan {
  std::int16_t baseMhz = 450;
  std::int16_t fraction = 1250;  // 450.1250 MHz
  std::uint16_t spacing = 125;   // 12.5 kHz
  std::int16_t baseChannel = 1;
};

struct DrovelReading {
  std::uint16_t channel = 0;
  std::uint8_t rssi = 0;  // dBm magnitude
};

inline constexpr std::uint8_t kDrovelOneChannel = 0x10;
inline constexpr std::uint8_t kDrovelThreeChannel = 0x20;
inline constexpr std::uint8_t kDrovelScan = 0x40;

struct DrovelData {
  int hour = 10, minute = 20, second = 30;
  std::int16_t marker = 0;
  std::uint8_t flags = kDrovelOneChannel;
  std::array<DrovelReading, 3> readings{};
};

class DrovelLogBuilder {
 public:
  // "I", then the product and version texts, each with a 32-bit little-endian length before it.
  DrovelLogBuilder& Identification(const std::string& product, const std::string& version);
  DrovelLogBuilder& Setup(const DrovelPlan& plan);
  DrovelLogBuilder& Data(const DrovelData& d);
  // A length-prefixed record with the given body.
  DrovelLogBuilder& Record(const Bytes& body);
  // A bare length field (for lengths that are no record length at all).
  DrovelLogBuilder& Length(std::int32_t length);

  static Bytes DataBody(const DrovelData& d);

  const std::vector<std::uint8_t>& Log() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

 private:
  Bytes log_;
};

}  // namespace polvane::testing
