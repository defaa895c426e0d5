// Writes Selvor logs from readable values: an identification record, fast and scan records of
// the two receivers, and damaged framing where a test wants it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

// One coordinate as the receiver stores it: packed BCD digits and a hemisphere character.
struct SelvorCoordinate {
  int degrees = 0, minutes = 0, thousandths = 0;
  char hemisphere = 'N';
};

struct SelvorHead {
  // Receiver clock.
  int rtcYear = 24, rtcMonth = 6, rtcDay = 15, rtcHour = 10, rtcMinute = 20, rtcSecond = 30;
  bool gpsValid = true;
  int gpsHour = 10, gpsMinute = 20, gpsSecond = 30;
  SelvorCoordinate latitude{45, 30, 0, 'N'};
  SelvorCoordinate longitude{73, 15, 0, 'W'};
  std::uint16_t marker = 0;
};

// A channel plan (units of 0.0001 MHz).
struct SelvorPlan {
  std::uint8_t flags = 0;  // bit 7: +1000 MHz; bit 6: +0.01 MHz and offset channel numbering
  std::uint16_t baseMhz = 870;
  std::uint16_t fraction = 300;  // 870.0300 MHz
  std::uint16_t spacing = 300;   // 30 kHz
  std::uint16_t baseCode = 1;
};

struct SelvorFastBlock {
  SelvorPlan plan;
  std::uint16_t code = 1;
  std::vector<std::uint8_t> samples = std::vector<std::uint8_t>(512, 80);  // dBm magnitudes
};

struct SelvorScanEntry {
  std::uint16_t code = 0;
  std::uint8_t level = 0;  // dBm magnitude
};

struct SelvorScanReceiver {
  SelvorPlan plan;
  std::vector<SelvorScanEntry> entries;  // at most 80; the rest of the table is zero
};

// A coordinate in degrees as the log stores it: degrees, minutes, thousandths of a minute.
SelvorCoordinate SelvorDegrees(double deg, char positive, char negative);

class SelvorLogBuilder {
 public:
  // The identification record: "I", then each text with a 32-bit length before it.
  SelvorLogBuilder& Identification(const std::string& product, const std::string& version);
  SelvorLogBuilder& Fast(const SelvorHead& h, const std::array<SelvorFastBlock, 2>& blocks);
  SelvorLogBuilder& Scan(const SelvorHead& h, const std::array<SelvorScanReceiver, 2>& rx);
  // A length-prefixed record with the given body.
  SelvorLogBuilder& Record(const Bytes& body);
  // A bare length field (for lengths that are no record length at all).
  SelvorLogBuilder& Length(std::int32_t length);
  // Cuts the log to n bytes less.
  SelvorLogBuilder& Truncate(std::size_t n);

  static Bytes HeadBytes(char type, const SelvorHead& h);
  static Bytes FastBody(const SelvorHead& h, const std::array<SelvorFastBlock, 2>& blocks);
  static Bytes ScanBody(const SelvorHead& h, const std::array<SelvorScanReceiver, 2>& rx);

  const std::vector<std::uint8_t>& Data() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

 private:
  Bytes log_;
};

}  // namespace polvane::testing
