// Reader for Tarvik logs of firmware before 1.27: length-prefixed identification, fast and
// scan records of up to four receivers.
#pragma once

#include <array>
#include <cstdint>

#include "convert/channel_texts.h"
#include "convert/position.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"

namespace polvane {

// Layout of the Tarvik log.
namespace tarvik {
inline constexpr int kMaxRecord = 4096;
inline constexpr int kOldHeader = 28;
inline constexpr int kNewHeader = 36;
inline constexpr int kNewLayoutVersion = 125;  // firmware 1.25 and later use the 36-byte header
inline constexpr int kFastBlock = 708;
inline constexpr int kFastSamples = 512;
inline constexpr int kFastSampleOffset = 22;
inline constexpr int kScanBody = 1344;
inline constexpr int kScanEntries = 80;
inline constexpr int kScanTableOffset = 64;  // after four 16-byte receiver headers
// The longest layout a record is decoded with: a fast record after the newer header.
inline constexpr int kLongestRecord = kNewHeader + 4 * kFastBlock;
inline constexpr int kSlotFast = 0;
inline constexpr int kSlotScan = 1;
// 40-wavelength window: samples = trunc(kLambdaConstant / (hertz x metres per second)), that is
// 512 samples of a sweep times the speed of light.
inline constexpr double kLambdaConstant = 512.0 * 300000000.0;

// Frequency in MHz of a channel in a plan: base + fraction, 1000 MHz more with flag bit 7,
// plus the channel's distance from the base channel in spacing units (all 0.0001 MHz).
inline double PlanFrequency(unsigned baseMhz, unsigned fraction, unsigned spacing,
                            unsigned baseChannel, unsigned channel, std::uint8_t flags) {
  double f = baseMhz + fraction * 0.0001;
  if (flags & 0x80) f += 1000;
  std::int64_t steps =
      static_cast<std::int64_t>(spacing) *
      (static_cast<std::int64_t>(channel) - static_cast<std::int64_t>(baseChannel));
  return f + static_cast<double>(steps) * 0.0001;
}

// The channel shown to the user: with flag bit 6, raw - 34, wrapped by 1023 below 0.
inline int DisplayedChannel(unsigned raw, std::uint8_t flags) {
  if (!(flags & 0x40)) return static_cast<int>(raw);
  int c = static_cast<int>(raw) - 34;
  return c < 0 ? c + 1023 : c;
}
}  // namespace tarvik

class TarvikConverter : public FixedLayoutConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  TarvikConverter();

  int OpenInput(const std::string& path) override;
  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  // 40-wavelength averaging of receiver n's (1 to 4) current fast block.
  int16_t AverageSamples(int16_t receiver) override;
  int16_t LambdaWindow(int16_t receiver) override;

  void Place(LinePlace& place) const override;
  // The GPS time of the layouts' values (and of Place), without working out the position.
  bool RecordSeconds(double& seconds) const final {
    return SecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }
  bool RecordTime(std::uint32_t& seconds) const final {
    return WholeSecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }

  // Decoded values of the last fast or scan record.
  std::int16_t FirmwareVersion = -1;
  Position Latitude, Longitude;
  std::uint16_t GpsHour = 0, GpsMinute = 0, GpsSecond = 0;
  std::int32_t Altitude = 0;  // metres
  std::int32_t Velocity = 0;  // miles per hour
  std::uint8_t Header[tarvik::kNewHeader] = {};
  std::uint8_t FastBlocks[4][tarvik::kFastBlock] = {};
  std::uint8_t ScanBody[tarvik::kScanBody] = {};
  char ProductText[512] = {};
  char VersionText[64] = {};

  int HeaderSize() const {
    return FirmwareVersion >= tarvik::kNewLayoutVersion ? tarvik::kNewHeader : tarvik::kOldHeader;
  }
  std::uint16_t Marker() const;
  bool GpsValid() const { return Header[8] & 0x80; }

  // Fast block of receiver n (1 to 4).
  double FastFrequency(int n) const;
  int FastChannel(int n) const;
  int FastRssi(int n) const;
  // The level written for receiver n on the current output line: its window mean when the
  // fast record is averaged, else the mean of its 512 samples.
  int LineRssi(int n) const;
  // Scan entry e of receiver n (1 to 4).
  std::uint16_t ScanRawChannel(int n, int e) const;
  int ScanChannel(int n, int e) const;
  int ScanRssi(int n, int e) const;
  double ScanFrequency(int n, int e) const;

 protected:
  // The values the fixed layouts write for the last decoded record: the clock date, the GPS
  // time and position, and the fast reading of the first checked receiver when Scan Type is
  // "Fast Data" (an empty reading otherwise).
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(int16_t field, char* p) override;

 private:
  void ParseIdentification(const std::uint8_t* record);
  void DecodeHeader(const std::uint8_t* record);
  void ChooseBestEntries();
  char* PutScanEntry(char* p, int n, int e, const EntryTableParts& parts);
  // Frequency (which 1), channel (2) or RSSI (3) of fast-record receiver n.
  char* PutFastValue(char* p, int n, int which);

  std::array<ChannelTexts, 4> scanTexts_, fastTexts_;  // per receiver
  bool averagedLine_ = false;  // the last record is a fast record under averaging
  int titleCursor_ = 0;
  int valueCursor_ = 0;
};

}  // namespace polvane
