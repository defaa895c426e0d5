// Writes Kes PC-dump files from readable values: sync-framed records (the file header, data
// records of both firmware layouts, setup and GPS records) and damaged bytes where a test
// wants them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"
#include "support/kes_card_log.h"

namespace polvane::testing {

struct KesDumpChannel {
  std::uint16_t code = 0;
  std::uint8_t sample = 0;  // dBm magnitude
  std::uint8_t sat = 0, vmac = 0;
};

struct KesDumpRecord {
  int type = 3;  // measurement type
  std::uint16_t firmware = 105;
  bool gpsLocked = true;
  // Firmware below 103 only: the position block (BCD) and the GPS time of the scan block.
  double latitude = 40.5, longitude = -74.25;
  KesTime gps{12, 0, 0};
  int coordinateMode = 0;
  std::uint16_t odometerOrY = 0, markerOrX = 0;
  // Firmware below 103 only: the frequency plan.
  std::int16_t firstCode = 1, lastCode = 800;
  std::uint16_t baseMhz = 870, fraction = 300;
  std::uint16_t spacing = 300;  // 0.1 kHz
  std::uint8_t flags = 0;       // exactly 0x80: cellular with SAT/VMAC triples
  // Receiver clock.
  KesTime clock{12, 0, 0};
  int day = 15, month = 6, year = 24;
  std::vector<KesDumpChannel> channels;
  int declaredCount = -1;  // the count byte as written; -1 gives channels.size()
  // Types 7 and 15: the paging capture at the place of the channel entries.
  Bytes paging;
};

struct KesDumpSetup {
  std::uint16_t firmware = 105;
  std::int16_t firstCode = 1, lastCode = 800;
  std::uint16_t baseMhz = 870, fraction = 300;
  std::uint16_t spacing = 300;  // 0.1 kHz
  std::uint8_t flags = 0;       // channel numbering: 0x80 cellular, 0x10 offset
};

struct KesDumpGps {
  KesTime gps{12, 0, 0};
  double latitude = 40.5, longitude = -74.25;  // south and west negative
  std::uint32_t altitudeCm = 0;
  std::uint32_t velocity = 0;      // units of 0.022356 mph
  std::uint8_t navigation = 0x20;  // 0x20 or 0x10: valid
};

class KesDumpLogBuilder {
 public:
  // Starts the file with the header frame unless told not to.
  explicit KesDumpLogBuilder(bool fileHeader = true);

  KesDumpLogBuilder& FileHeader();
  KesDumpLogBuilder& Data(const KesDumpRecord& record);
  KesDumpLogBuilder& Setup(const KesDumpSetup& setup);
  KesDumpLogBuilder& Gps(const KesDumpGps& gps);
  // A frame holding `record` (type byte first); `length` overrides the length field.
  KesDumpLogBuilder& Frame(const Bytes& record, int length = -1);
  KesDumpLogBuilder& Garbage(const Bytes& bytes);
  KesDumpLogBuilder& Truncate(std::size_t n);

  const std::vector<std::uint8_t>& Data() const { return log_.Data(); }
  void WriteTo(const std::string& path) const { WriteFile(path, log_.Data()); }

  // The record bytes of a data record, without the frame.
  static Bytes DataRecord(const KesDumpRecord& record);

 private:
  Bytes log_;
};

}  // namespace polvane::testing
