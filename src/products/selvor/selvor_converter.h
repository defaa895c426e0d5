// Reader for Selvor logs: length-prefixed fast and scan records of two receivers, each with the
// receiver clock, a packed BCD GPS position and time, and a marker value.
#pragma once

#include <array>
#include <cstdint>

#include "convert/channel_texts.h"
#include "convert/position.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"

namespace polvane {

// Layout of the Selvor log. Offsets count from the record's type byte; numbers are unsigned
// 16-bit little-endian.
namespace selvor {
inline constexpr int kMaxRecord = 4096;
inline constexpr int kReceivers = 2;
inline constexpr int kHead = 23;
inline constexpr int kMarkerOffset = 21;
// Fast record: the head, then one 530-byte block per receiver.
inline constexpr int kFastRecord = 1083;
inline constexpr int kFastBlock = 530;
inline constexpr int kFastPlanOffset = 2;  // flags, base MHz, fraction, spacing, base code
inline constexpr int kFastSampleOffset = 18;
inline constexpr int kFastSamples = 512;
// Scan record: the head, one 11-byte setup per receiver, then one 80-entry table per receiver.
inline constexpr int kScanRecord = 525;
inline constexpr int kSetupOffset = 23;
inline constexpr int kSetupSize = 11;
inline constexpr int kTableOffset = 45;
inline constexpr int kScanEntries = 80;
// The furthest any record layout reaches.
inline constexpr int kLongestLayout = kFastRecord;
static_assert(kLongestLayout >= kScanRecord && kFastRecord == kHead + kReceivers * kFastBlock);
inline constexpr int kEntrySize = 3;
// Tree slots.
inline constexpr int kSlotFast = 0;
inline constexpr int kSlotScan = 1;
// 40-wavelength window: samples = trunc(kLambdaConstant / (hertz x metres per second)).
inline constexpr double kLambdaConstant = 512.0 * 300000000.0;

// A channel plan as the receiver stores it: flags, base MHz, base fraction and spacing in
// units of 0.0001 MHz, and the code of the channel at the base frequency.
//   flag bit 7: the band lies 1000 MHz higher;
//   flag bit 6: the base lies 0.01 MHz higher and channels use the offset numbering.
inline double PlanFrequency(const std::uint8_t* plan, std::uint16_t code) {
  const std::uint8_t flags = plan[0];
  double base = ReadLE16(plan, 1) + ReadLE16(plan, 3) * 0.0001;
  if (flags & 0x80) base += 1000;
  if (flags & 0x40) base += 0.01;
  const std::int64_t steps = static_cast<std::int64_t>(ReadLE16(plan, 5)) *
                             (static_cast<std::int64_t>(code) - ReadLE16(plan, 7));
  return static_cast<double>(steps) * 0.0001 + base;
}

// The channel number of a channel code. With the offset numbering (flag bit 6) code 34 is
// channel 0 and the codes below 34 wrap to the top of the band (code 0 is 989, 33 is 1022).
inline int ChannelNumber(std::uint16_t code, std::uint8_t flags) {
  if (!(flags & 0x40)) return code;
  const auto d = static_cast<std::int16_t>(code - 34);
  return d >= 0 ? d : code + 989;
}
}  // namespace selvor

class SelvorConverter : public FixedLayoutConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  SelvorConverter();

  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  // 40-wavelength averaging of receiver n's (1 or 2) current fast block.
  int16_t AverageSamples(int16_t receiver) override;
  int16_t LambdaWindow(int16_t receiver) override;

  // The last record head, the fast blocks of the checked receivers and the last scan record.
  // They are kept from one file to the next.
  std::uint8_t Head[selvor::kHead] = {};
  std::uint8_t FastBlocks[selvor::kReceivers][selvor::kFastBlock] = {};
  std::uint8_t ScanRecord[selvor::kScanRecord] = {};
  // Decoded from the head.
  Position Latitude, Longitude;
  std::uint16_t GpsHour = 0, GpsMinute = 0, GpsSecond = 0;

  bool GpsValid() const { return Head[7] & 0x80; }
  std::uint16_t Marker() const { return ReadLE16(Head, selvor::kMarkerOffset); }

  // Fast block of receiver n (1 or 2).
  std::uint16_t FastCode(int n) const { return ReadLE16(FastBlocks[n - 1], 0); }
  double FastFrequency(int n) const;
  int FastChannel(int n) const;
  int FastSignal(int n) const;  // magnitude in dBm
  // The signal written for receiver n on the current output line: its window mean when the
  // fast record is averaged, else the mean of its 512 samples.
  int LineSignal(int n) const;
  // Entry e (0 to 79) of receiver n's scan table.
  std::uint16_t ScanCode(int n, int e) const;
  int ScanChannel(int n, int e) const;
  int ScanLevel(int n, int e) const;
  double ScanFrequency(int n, int e) const;

  // The reading of the fixed layouts: the first checked receiver's fast block, taken only
  // while the Scan Type is "Fast Data". Zero otherwise.
  struct Reading {
    double Frequency = 0;
    std::uint16_t Code = 0;  // channel code as stored
    int Signal = 0;          // magnitude in dBm
  };
  Reading FixedReading() const;
  void Place(LinePlace& place) const override;
  // The GPS time of the layouts' values (and of Place), without working out the position.
  bool RecordSeconds(double& seconds) const final {
    return SecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }
  bool RecordTime(std::uint32_t& seconds) const final {
    return WholeSecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }

 protected:
  // The values of the fixed layouts: clock date, GPS time and position, and the reading.
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(int16_t field, char* p) override;

 private:
  std::array<ChannelTexts, 4> scanTexts_;  // per receiver
  void DecodeHead(const std::uint8_t* record);
  void ChooseBestEntries();
  char* PutScanEntry(char* p, int n, int e, const EntryTableParts& parts);

  bool averagedLine_ = false;  // the last record is a fast record under averaging
  int titleReceiver_ = 0;
  int titleGroups_ = 1;
  int valueReceiver_ = 0;
};

}  // namespace polvane
