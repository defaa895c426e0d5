// Reader for Kes PC-dump files: frames of a sync byte, a length and a record. Each data record
// is whole in itself (its clock, scan plan, channel entries and samples); setup records carry
// the frequency plan of newer firmware and GPS records the position.
#pragma once

#include <cstdint>

#include "products/kes/kes_common.h"

namespace polvane {

namespace kesdump {
inline constexpr std::uint8_t kSync = 0xAA;
inline constexpr int kMaxFrameLength = 4196;  // lengths from here on are not frames
// Record types (the measurement types 1 to 20 are data records).
inline constexpr std::uint8_t kHeaderType = 15;  // followed by "QVXKES"
inline constexpr std::uint8_t kSetup = 32;
inline constexpr std::uint8_t kGps = 34;
// Record layout.
inline constexpr int kRecordStart = 10;  // type, firmware number, status byte
inline constexpr int kShortGpsBlock = 13;
inline constexpr int kScanBlock = 26;
inline constexpr int kEntrySize = 5;
inline constexpr int kTripleSize = 3;
inline constexpr int kSetupSize = 19;
inline constexpr int kGpsSize = 71;
inline constexpr int kFirmwareLongLayout = 103;  // no GPS block, plan from setup records
inline constexpr int kFirmwareCellular33 = 101;
// What a pass that only follows the records reads of one: a GPS record's values after the type
// byte, which reach further than a data record's type, firmware and clock or a setup record.
inline constexpr int kFollowedBytes = 1 + kGpsSize;
static_assert(kFollowedBytes >= 26 + 23 && kFollowedBytes >= 1 + kSetupSize);
}  // namespace kesdump

class KesDumpConverter : public KesConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  KesDumpConverter();

  int OpenInput(const std::string& path) override;
  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  // 40-wavelength averaging of the channel entries of the last data record: every channel
  // column has a window of its own, scaled by the records per second of the file.
  int16_t AverageSamples(int16_t receiver) override;
  // The window of the receiver's first channel.
  int16_t LambdaWindow(int16_t receiver) override;
  // Samples per window of channel column `column`.
  int16_t ColumnWindow(int column) const;
  std::uint8_t RecordStart[kesdump::kRecordStart] = {};
  std::uint8_t ScanBlock[kesdump::kScanBlock] = {};
  std::uint8_t Entries[kes::kAverageChannels * kesdump::kEntrySize] = {};
  std::uint8_t Triples[kes::kAverageChannels * kesdump::kTripleSize] = {};
  std::uint8_t GpsBlock[kesdump::kShortGpsBlock] = {};
  std::uint8_t RecordType = 0;
  // The last setup and GPS records.
  std::uint8_t SetupRecord[kesdump::kSetupSize] = {};
  std::uint8_t GpsRecord[kesdump::kGpsSize] = {};

  std::uint16_t FirmwareNumber = 0;
  // Frequency plan: from the setup records, or from each data record of older firmware.
  std::int16_t FirstCode = 0, LastCode = 0;
  double BaseMhz = 0;
  double SpacingKhz = 0;
  std::int16_t NumberingFlags = 0;

  // Tree slot of the record being parsed; -1 when it is not a data record.
  std::int16_t PendingMode = -1;

  bool Cellular() const { return ScanBlock[18] == kes::kCellularFlags; }
  // Channel entries of the last data record as stored (its count cut to the 86 kept).
  int ChannelCount() const;
  double Frequency(int column) const;
  long long ChannelNumber(int column) const override;
  int Sample(int column) const;
  // The level written for a column: its latest window mean on an averaged record, otherwise
  // (and before the column's first mean) the record's own sample.
  int LineSample(int column) const;

 private:
  // One column of the data group at `out`: its end, nullptr once every column is done.
  char* DataColumn(int16_t next, char* out, char delimiter);
  // Column `column` (within the averaged channels) at `out` with its signal, in the parts the
  // line writes; its end.
  char* PutColumn(char* out, int column, int signal, const KesColumnParts& parts, char delimiter);
  void DecodeData(const std::uint8_t* record);
  KesFieldSources Sources() const override;
  bool GpsLocked() const override;
  // "Ext. Navigation Status" of the last GPS record, then the fields of both logs.
  char* ProductField(int16_t field, char* p) override;
  void Place(LinePlace& place) const override;
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  bool PagingRecord() const {
    return RecordType == kes::kTypePocsag || RecordType == kes::kTypeFlex;
  }
  unsigned Code(int column) const;
  // Declares to the column texts the scan's values that decide them.
  void UseColumnPlan();

  bool averagedLine_ = false;  // the last record is a measurement averaged by its windows
  bool emptyFrame_ = false;    // the last ReadRecord passed over bytes that hold no record
  int recordLength_ = 0;       // bytes of the last record in the buffer
};

}  // namespace polvane
