// Writes Tarvik logs (firmware before 1.27) from readable values: an identification record,
// fast records and scan records of four receivers, and damaged bytes where a test wants them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

struct TarvikTime {
  int hour = 0, minute = 0, second = 0;
};

struct TarvikHeader {
  // Receiver clock.
  int rtcYear = 24, rtcMonth = 6, rtcDay = 15, rtcHour = 10, rtcMinute = 20, rtcSecond = 30;
  bool gpsValid = true;
  TarvikTime gps{10, 20, 30};
  // Position in degrees (south and west negative). The older layout stores it as BCD with a
  // hemisphere character; the newer one as signed thousandths of an arc-second.
  double latitude = 45.5;
  double longitude = -73.25;
  // Older layout only: the hemisphere characters as stored (0 = from the sign).
  char latHemisphere = 0, lonHemisphere = 0;
  // Newer layout only.
  std::int32_t altitudeCm = 0;
  std::uint16_t velocityCmPerS = 0;
  std::uint16_t marker = 0;
};

// A channel plan as the receiver stores it (units of 0.0001 MHz).
struct TarvikPlan {
  std::uint8_t flags = 0;  // bit 7: +1000 MHz; bit 6: offset channel numbering
  std::uint16_t baseMhz = 870;
  std::uint16_t fraction = 300;  // 870.0300 MHz
  std::uint16_t spacing = 300;   // 30 kHz
  std::uint16_t baseChannel = 1;
};

struct TarvikFastBlock {
  TarvikPlan plan;
  std::uint16_t channel = 1;
  std::vector<std::uint8_t> samples = std::vector<std::uint8_t>(512, 80);  // dBm magnitudes
};

struct TarvikScanEntry {
  std::uint16_t channel = 0;  // 0 ends the receiver's list
  std::uint8_t rssi = 0;
};

struct TarvikScanReceiver {
  TarvikPlan plan;
  std::vector<TarvikScanEntry> entries;  // at most 80
};

class TarvikLogBuilder {
 public:
  // newLayout: write the 36-byte record header (firmware 1.25 and later).
  explicit TarvikLogBuilder(bool newLayout = true) : newLayout_(newLayout) {}

  TarvikLogBuilder& Identification(const std::string& product, const std::string& version);
  TarvikLogBuilder& Fast(const TarvikHeader& h, const std::array<TarvikFastBlock, 4>& blocks);
  TarvikLogBuilder& Scan(const TarvikHeader& h, const std::array<TarvikScanReceiver, 4>& rx);
  // A length-prefixed record with the given body.
  TarvikLogBuilder& Record(const Bytes& body);
  // Bytes that are not a record at all.
  TarvikLogBuilder& Garbage(const Bytes& bytes);
  // Cuts the log to n bytes less.
  TarvikLogBuilder& Truncate(std::size_t n);

  Bytes HeaderBytes(char type, const TarvikHeader& h) const;
  const std::vector<std::uint8_t>& Data() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

 private:
  bool newLayout_;
  Bytes log_;
};

// A firmware 1.25 drive of `scans` scan records, one a second from 01:00:00 GPS time, in which
// receiver 1 hears channel 5 at -70 dBm and channel 6 at -60 dBm; then `fasts` fast records
// without readings.
TarvikLogBuilder TarvikScanDrive(int scans, int fasts = 0);

// A firmware 1.25 drive whose records follow `kinds` ('S' a scan record in which receiver 1
// hears channel 5 at -70 dBm, anything else a fast record without readings), one GPS second
// apart from 02:00:00.
TarvikLogBuilder TarvikKindsDrive(std::string_view kinds);

// A drive long enough that its conversion takes a while: `records` scan records one a second
// from 10:00:00 GPS time, each receiver hearing 40 channels.
TarvikLogBuilder TarvikBusyDrive(int records);

// A firmware 1.25 drive north along the meridian 73 W from 45 N: `records` fast records 0.001
// degrees (111 m) and one second apart from 10:00:00 GPS time, record i at -(70 + 10 i) dBm on
// every sample and (i + 1) * 10 MPH.
TarvikLogBuilder TarvikMeridianDrive(int records);

}  // namespace polvane::testing
