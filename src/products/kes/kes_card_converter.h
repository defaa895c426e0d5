// Reader for the logs that the Kes scanning receiver writes to its PC card: a 512-byte file
// header, then records framed by a type byte. Scan headers set the channel plan and open the
// runs; data records carry one sample per channel (and SAT/VMAC codes on cellular scans);
// position, GPS and clock records update what the next lines show; FLEX and POCSAG records
// hold captured paging traffic.
#pragma once

#include <cstdint>

#include "products/kes/kes_common.h"

namespace polvane {

namespace kescard {
inline constexpr int kFileHeader = 512;
// Type bytes.
inline constexpr std::uint8_t kScanHeader = 0xA1;
inline constexpr std::uint8_t kPosition = 0xB2;
inline constexpr std::uint8_t kData = 0xC3;
inline constexpr std::uint8_t kGps = 0xD4;
inline constexpr std::uint8_t kClock = 0xE5;
inline constexpr std::uint8_t kFlex = 0xF6;
inline constexpr std::uint8_t kPocsag = 0x97;
// Body sizes (before the 2 trailing bytes that most records carry).
inline constexpr int kScanHeaderSize = 25;
inline constexpr int kPositionSize = 7;
inline constexpr int kDataHeadSize = 4;
inline constexpr int kPagingDataSize = 79;  // a data record of a POCSAG scan
inline constexpr int kGpsShortSize = 20;
inline constexpr int kGpsLongSize = 23;
inline constexpr int kClockSize = 7;
inline constexpr int kFlexHeadSize = 18;  // length field and frame head
inline constexpr int kPocsagSize = 81;
inline constexpr int kTrailerSize = 2;
// Firmware numbers the reader compares with.
inline constexpr int kFirmwareCellular33 = 101;  // cellular channels count from code 33
inline constexpr int kFirmwareLongGps = 103;     // GPS records in the long binary form
inline constexpr int kFirmware80Channel = 106;   // variable sweep is the 80-channel scan
}  // namespace kescard

class KesCardConverter : public KesConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  KesCardConverter();

  int OpenInput(const std::string& path) override;
  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;

  // Copies of the last record of each kind.
  std::uint8_t ScanHeader[kescard::kScanHeaderSize] = {};
  std::uint8_t PositionData[kescard::kPositionSize] = {};
  std::uint8_t DataHead[kescard::kDataHeadSize] = {};
  std::uint8_t GpsShort[kescard::kGpsShortSize] = {};
  std::uint8_t GpsLong[kescard::kGpsLongSize] = {};
  std::uint8_t ClockData[kescard::kClockSize] = {};
  std::uint16_t ChannelCodes[kes::kMaxChannels] = {};
  std::uint8_t Samples[kes::kMaxChannels] = {};
  std::uint8_t SatVmac[3 * kes::kMaxChannels] = {};

  // Tree slot of the last scan header or paging record.
  std::int16_t MeasurementMode = 0;
  bool OffsetNumbering = false;
  std::uint16_t FirmwareNumber = 0;

  // Time averaging (one line per N GPS records), kept across files.
  std::int16_t AverageCount = 0;
  std::int32_t AverageSums[kes::kAverageChannels] = {};
  std::uint16_t AverageCodes[kes::kAverageChannels] = {};
  std::int32_t AverageValues[kes::kAverageChannels] = {};
  std::int16_t GpsRecordCount = 0;
  std::int16_t RecordsPerAverage = 0;

  int MeasurementType() const { return ScanHeader[3]; }
  int CoordinateMode() const { return ScanHeader[4]; }
  std::uint8_t ScanFlags() const { return ScanHeader[15]; }
  bool Cellular() const { return ScanFlags() == kes::kCellularFlags; }
  // Channels of the scan as stored (the header's count cut to the 100 codes kept).
  int ChannelCount() const;
  // Samples of the last data record as stored.
  int SampleCount() const;

  double Frequency(int column) const;
  // The channel code of column `column` (the capture's channel for a paging record).
  std::uint16_t Code(int column) const;
  // Declares to the column texts the scan header's values that decide them.
  void UseColumnPlan();
  long long ChannelNumber(int column) const override;

 private:
  void SectionStep();
  void DecodeGps(const std::uint8_t* body);
  void AddToAverage();
  void FormAverages();
  // The channel of the first checked receiver box (only receiver 1 exists): -1 for none.
  int SelectedChannel() const;
  KesFieldSources Sources() const override;
  bool GpsLocked() const override;
  // Moves a fast fade's samples on by one: each column of the sweep takes the next.
  void ConsumeFastFadeSample();
  // One column of the data group at `out`: its end, nullptr once every column is done.
  char* DataColumn(int16_t next, char* out, char delimiter);
  // Column `column` (within the scan's channels) at `out` with its signal, in the parts the
  // line writes; its end.
  char* PutColumn(char* out, int column, int signal, const KesColumnParts& parts, char delimiter);
  void Place(LinePlace& place) const override;
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  int Columns() const;
};

}  // namespace polvane
