// Writes Tarvik logs of firmware 1.27 and later from readable values: the file header, fast
// records with per-receiver channel plans, scan records of plans only, the "r" / "s" / "v" /
// "c" reading records, and damaged framing where a test wants it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/tarvik_log.h"

namespace polvane::testing {

struct TarvikExtHeader {
  // Receiver clock.
  int rtcYear = 24, rtcMonth = 6, rtcDay = 15, rtcHour = 10, rtcMinute = 20, rtcSecond = 30;
  bool gpsValid = true;
  TarvikTime gps{10, 20, 30};
  // Position in degrees, south and west negative (stored as thousandths of an arc-second).
  double latitude = 45.5;
  double longitude = -73.25;
  std::int32_t altitudeCm = 0;
  std::uint16_t velocityCmPerS = 0;
  std::int16_t headingTenths = 0;  // tenths of a degree
  std::int16_t marker = 0;
};

// A receiver's channel plan as the log stores it (frequencies in units of 0.0001 MHz).
struct TarvikExtPlan {
  std::uint8_t flags = 0;  // bit 7: +1000 MHz (fixed layouts); bit 6: offset channel numbering
  std::uint16_t baseMhz = 870;
  std::uint16_t fraction = 300;  // 870.0300 MHz
  std::uint16_t spacing = 300;   // 30 kHz; 62 stands for 6.25 kHz; 0 is no plan
  std::uint16_t lowest = 1;
  std::uint16_t highest = 799;
  std::uint8_t secondFlags = 0;  // bit 6: SAT and VMAC values; bit 7: DCC values
};

struct TarvikExtFastBlock {
  bool present = true;  // the header's present byte of this receiver
  TarvikExtPlan plan;
  std::uint16_t channel = 1;
  std::uint8_t value1 = 0;  // SAT or DCC, as the second flags say
  std::uint8_t value2 = 0;  // VMAC or the second value
  std::vector<std::uint8_t> samples = std::vector<std::uint8_t>(512, 80);  // dBm magnitudes
};

class TarvikExtLogBuilder {
 public:
  // The 6-byte file header; the product is recognised by the "TQL" in it.
  explicit TarvikExtLogBuilder(const std::string& fileHeader = "TQL127");

  TarvikExtLogBuilder& Fast(const TarvikExtHeader& h,
                            const std::array<TarvikExtFastBlock, 4>& blocks);
  TarvikExtLogBuilder& Scan(const TarvikExtHeader& h, const std::array<TarvikExtPlan, 4>& plans);
  // Grouped readings: kind 1 opens a group, 2 continues it. Receivers are 0 to 3.
  TarvikExtLogBuilder& R(int receiver, int kind, int channel, int rssi);
  TarvikExtLogBuilder& S(int receiver, int kind, int channel, int rssi, int sat);
  // Single readings of a voice and a control channel.
  TarvikExtLogBuilder& V(int receiver, int channel, int rssi, int sat, int vmac);
  TarvikExtLogBuilder& C(int receiver, int channel, int rssi, int dcc);
  // A record with the given body behind its 2-byte length.
  TarvikExtLogBuilder& Record(const Bytes& body);
  // A bare length word (0 ends the log; out-of-range values are damage).
  TarvikExtLogBuilder& Length(std::int16_t length);
  TarvikExtLogBuilder& Garbage(const Bytes& bytes);
  // Cuts the log to n bytes less.
  TarvikExtLogBuilder& Truncate(std::size_t n);

  // The record bodies, for tests that cut or alter them.
  static Bytes HeaderBytes(char type, const TarvikExtHeader& h,
                           const std::array<bool, 4>& present = {});
  static Bytes FastBody(const TarvikExtHeader& h, const std::array<TarvikExtFastBlock, 4>& blocks);

  const std::vector<std::uint8_t>& Data() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

 private:
  Bytes log_;
};

// Four blocks of which only the listed receivers (1 to 4) are present.
std::array<TarvikExtFastBlock, 4> PresentBlocks(std::initializer_list<int> receivers,
                                                const TarvikExtFastBlock& block = {});

}  // namespace polvane::testing
