// Writes Kes PC-card logs from readable values: the 512-byte file header with its
// identification record, scan headers, position, data, GPS, clock, FLEX and POCSAG records,
// and damaged bytes where a test wants them. The builder remembers the last scan header, as
// the receiver does, to write data and GPS records in the layout that header implies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace polvane::testing {

struct KesTime {
  int hour = 0, minute = 0, second = 0;
};

// The clock of a drive that starts at 09:30:00 and takes one second per record.
KesTime KesDriveClock(int i);

struct KesScan {
  // Receiver clock date.
  int day = 15, month = 6, year = 24;
  int type = 3;            // measurement type: 3 one channel, 7 POCSAG, 8 fast fade, ...
  int coordinateMode = 0;  // 0: odometer and marker; otherwise Y and X coordinates
  std::uint16_t baseCode = 1;
  std::uint16_t baseMhz = 851;
  std::uint16_t fraction = 125;  // 0.0001 MHz
  std::uint16_t spacing = 250;   // 0.0001 MHz (25 kHz)
  std::uint8_t flags = 0;        // exactly 0x80: cellular; bit 0x10: offset numbering
  std::uint16_t firmware = 105;
  std::vector<std::uint16_t> codes;
  int declaredCount = -1;  // the count byte as written; -1 gives codes.size()
};

struct KesSatVmac {
  std::uint8_t sat = 0, vmac = 0;
};

struct KesGpsFix {
  KesTime clock;
  bool locked = true;
  // Degrees, south and west negative. The short form stores BCD with hemisphere characters,
  // the long form signed thousandths of an arc-second.
  double latitude = 40.5;
  double longitude = -74.25;
  KesTime gps;
  std::uint32_t altitudeCm = 0;  // long form only
  std::uint16_t velocity = 0;    // long form only, units of 0.022356 mph
};

class KesCardLogBuilder {
 public:
  // Starts the log with the 512-byte file header naming `product`.
  explicit KesCardLogBuilder(const std::string& product = "QVX KES CW RECEIVER");

  KesCardLogBuilder& Scan(const KesScan& scan);
  KesCardLogBuilder& Position(KesTime t, std::uint16_t odometerOrY, std::uint16_t markerOrX);
  // A data record: one sample (dBm magnitude) per channel and sweep; on a cellular scan the
  // SAT/VMAC triples, one per sample (missing ones are zeros). On a POCSAG scan the record
  // carries `samples.size()` as its count and the 79 unused bytes instead.
  KesCardLogBuilder& Data(KesTime t, const std::vector<std::uint8_t>& samples,
                          const std::vector<KesSatVmac>& triples = {});
  // A GPS record in the form the last scan header's firmware implies.
  KesCardLogBuilder& Gps(const KesGpsFix& fix);
  KesCardLogBuilder& Clock(KesTime t);
  // Paging captures as support/paging_encoder.h writes them: the FLEX frame from its length
  // field on (the record's 2 trailing bytes are added) and the 79-byte POCSAG block.
  KesCardLogBuilder& Flex(const Bytes& frame);
  KesCardLogBuilder& Pocsag(const Bytes& block);
  KesCardLogBuilder& Raw(const Bytes& bytes);
  KesCardLogBuilder& Truncate(std::size_t n);

  const std::vector<std::uint8_t>& Data() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

 private:
  KesScan scan_;
  Bytes log_;
};

// The BCD position form: 8 digits and the hemisphere character of `degrees`.
Bytes KesBcdCoordinate(double degrees, bool latitude);

}  // namespace polvane::testing
