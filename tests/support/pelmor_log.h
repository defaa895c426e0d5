// Writes Pelmor logs from readable values: the file header with its data length, the title
// record that carries the product tag, and every record type the receiver logs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

// A GPS fix. Position in degrees (south and west negative).
struct PelmorFix {
  int month = 6, day = 15, year = 2024;
  int hour = 10, minute = 20, second = 30;
  double latitude = 45.5, longitude = -73.25;
  std::int32_t altitudeCm = 0;
  std::int16_t velocityCmPerS = 0;
  int status = 7;  // 0..7, the value of bits 7 to 5 of the status byte
};

// A receiver's channel plan: frequencies in steps of the plan's step size.
struct PelmorPlan {
  std::uint32_t first = 68000;  // 850.000 MHz at 12.5 kHz
  std::uint32_t last = 68400;   // 855.000 MHz
  double stepKhz = 12.5;        // stored in 1/256 kHz
  bool wrapped = false;         // wrapped channel numbering
};

struct PelmorClock {
  int hour = 10, minute = 20, second = 30;
  int day = 15, month = 6, year = 24;  // two-digit year
  int marker = 0;
};

struct PelmorListEntry {
  int receiver = 0;  // 0 or 1 (other values are written as given)
  int index = 0;     // list index 0..9
  int rssi = -120;   // dBm
};

struct PelmorTableEntry {
  int receiver = 0;  // 0 or 1
  int channel = 1;   // as the reader numbers it (stored as channel - 1)
  int rssi = -120;   // dBm
};

struct PelmorTpPosition {
  int hour = 0, minute = 0, second = 0;
  int day = 1, month = 1, year = 2024;  // month 1..12 and four-digit year, as readable values
  char latHemisphere = 'N';
  int latDegrees = 0;
  std::uint32_t latMillionths = 0;
  char lonHemisphere = 'E';
  int lonDegrees = 0;
  std::uint32_t lonMillionths = 0;
};

class PelmorLogBuilder {
 public:
  // pcCard: the PC-card variant with the 10-byte file header. The title record with the
  // product tag comes first, right after the header, where the product probe looks for it.
  explicit PelmorLogBuilder(bool pcCard = false, const std::string& title = "QVXPELMOR V1.0");

  PelmorLogBuilder& Fix(const PelmorFix& fix);
  // flags: bit 0 receiver 1 active, bit 1 receiver 2 active.
  PelmorLogBuilder& Configuration(int flags, const PelmorPlan& plan1, const PelmorPlan& plan2);
  // One sample record of receiver 1 or 2: an RSSI value (dBm) per channel-list entry.
  PelmorLogBuilder& Samples(int receiver, const std::vector<int>& rssi);
  PelmorLogBuilder& Clock(const PelmorClock& clock);
  // Frequencies in plan steps.
  PelmorLogBuilder& SingleSetup(std::uint32_t frequency1, std::uint32_t frequency2);
  PelmorLogBuilder& ListSetup(const std::array<std::uint32_t, 10>& list1,
                              const std::array<std::uint32_t, 10>& list2);
  // At most five entries; the rest of the record is padded with entries of no receiver.
  PelmorLogBuilder& ListData(const std::vector<PelmorListEntry>& entries);
  // At most four entries; padded likewise.
  PelmorLogBuilder& TableData(const std::vector<PelmorTableEntry>& entries);
  PelmorLogBuilder& TpPositionTime(const PelmorTpPosition& tp);
  PelmorLogBuilder& TpMotion(int speedKmh, unsigned directionDeg);

  // A framed record with the given body (type byte first).
  PelmorLogBuilder& Record(const Bytes& body);
  // A bare 2-byte length word (for lengths the reader cannot hold).
  PelmorLogBuilder& Length(std::uint16_t length);
  PelmorLogBuilder& Garbage(const Bytes& bytes);
  // Cuts the log to n bytes less.
  PelmorLogBuilder& Truncate(std::size_t n);

  // The header's data length: by default the whole log; DataEnd(0) writes C = 0 and B = 0
  // ("to the end of the file"); any other value is written as blocks and remainder.
  PelmorLogBuilder& DataEnd(std::uint64_t end) {
    dataEnd_ = end;
    explicitEnd_ = true;
    return *this;
  }
  std::size_t Size() const { return log_.Size(); }

  std::vector<std::uint8_t> Data() const;
  void WriteTo(const std::string& path) const { WriteFile(path, Data()); }

 private:
  bool pcCard_;
  bool explicitEnd_ = false;
  std::uint64_t dataEnd_ = 0;
  Bytes log_;  // everything after the header
};

}  // namespace polvane::testing
