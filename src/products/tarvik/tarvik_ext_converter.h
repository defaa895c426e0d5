// Reader for Tarvik logs of firmware 1.27 and later: a 6-byte file header, records framed by a
// 2-byte length, fast and scan records that carry each receiver's channel plan, and single
// reading records for cellular channels. Readings are collected in one list per receiver, and
// a line is written per receiver that has fresh readings.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "convert/channel_texts.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"
#include "products/tarvik/tarvik_converter.h"

namespace polvane {

// Layout of the extended Tarvik log.
namespace tarvik_ext {
inline constexpr int kFileHeader = 6;
inline constexpr int kHeader = 36;
inline constexpr int kPresentOffset = 32;  // one byte per receiver: its fast block is present
inline constexpr int kPlanSize = 14;       // the first bytes of a fast block
inline constexpr int kScanPlanSize = 12;   // a plan without its channel number
inline constexpr int kFastRecord = kHeader + 4 * tarvik::kFastBlock;
inline constexpr int kScanRecord = kHeader + 4 * kScanPlanSize;
// A list holds at most what one fast block adds between two lines; a grouped "r" or "s" list
// is held to the same bound (readings beyond it are dropped).
inline constexpr int kMaxReadings = tarvik::kFastSamples;
inline constexpr std::uint16_t kSpacing6k25 = 62;  // stands for 6.25 kHz
// 40-wavelength window from the record's own GPS velocity: trunc(kLambdaConstant / (hertz x
// metres per second)), held to 1 .. kMaxWindow.
inline constexpr double kLambdaConstant = 512.0 * 300000000.0;
inline constexpr int kMaxWindow = 512;

// Compass point of a heading in tenths of a degree.
const char* CompassPoint(std::int16_t tenths);
}  // namespace tarvik_ext

// One receiver's channel plan, as the fast block's first 14 bytes.
struct ChannelPlan {
  std::uint8_t Bytes[tarvik_ext::kPlanSize] = {};

  std::uint16_t Channel() const { return ReadLE16(Bytes, 0); }
  std::uint8_t Flags() const { return Bytes[2]; }
  std::uint16_t BaseMhz() const { return ReadLE16(Bytes, 3); }
  std::uint16_t Fraction() const { return ReadLE16(Bytes, 5); }
  std::uint16_t Spacing() const { return ReadLE16(Bytes, 7); }
  std::uint16_t Lowest() const { return ReadLE16(Bytes, 9); }
  std::uint16_t Highest() const { return ReadLE16(Bytes, 11); }
  std::uint8_t SecondFlags() const { return Bytes[13]; }

  bool Usable() const { return Spacing() != 0; }
  // Frequency in MHz of channel k: the stored spacing 62 stands for 6.25 kHz.
  double Frequency(unsigned k) const;
  // The channel shown to the user: with flag bit 6, k - 34 above 34, else k + 989.
  int Displayed(unsigned k) const;
};

// One reading of a receiver; the values a record does not carry are 0.
struct Reading {
  std::uint16_t Channel = 0;
  std::uint8_t Rssi = 0;  // magnitude in dBm
  std::uint8_t Sat = 0;
  std::uint8_t Dcc = 0;
  std::uint8_t Vmac = 0;
  std::uint8_t Spare = 0;
};

// The readings of one receiver in a fixed store. A fast block's readings differ only in their
// levels: they are kept as one reading and the levels side by side (copying a whole reading
// for each of 512 levels cost more than the rest of the record), and made whole when asked.
class ReadingList {
 public:
  void Clear() {
    count_ = 0;
    shared_ = false;
  }
  // Appends r; a full list keeps what it holds.
  void Append(const Reading& r) {
    if (shared_) Unshare();
    if (count_ < tarvik_ext::kMaxReadings) items_[count_++] = r;
  }
  // Appends one reading per sample level, each otherwise like r, as far as the list has room.
  void AppendLevels(const Reading& r, const std::uint8_t* levels, int n) {
    const int take = std::min(n, tarvik_ext::kMaxReadings - count_);
    if (take <= 0) return;
    if (count_ == 0) {
      shared_ = true;
      reading_ = r;
      std::memcpy(levels_.data(), levels, static_cast<std::size_t>(take));
      count_ = take;
      return;
    }
    if (shared_) Unshare();
    for (int i = 0; i < take; ++i) {
      Reading& item = items_[count_ + i];
      item = r;
      item.Rssi = levels[i];
    }
    count_ += take;
  }
  int Count() const { return count_; }
  Reading operator[](int i) const {
    if (!shared_) return items_[i];
    Reading r = reading_;
    r.Rssi = levels_[i];
    return r;
  }
  // Whether every reading is the one reading (SharedReading) with a level of its own
  // (SharedLevels, Count() of them).
  bool Shared() const { return shared_; }
  const Reading& SharedReading() const { return reading_; }
  const std::uint8_t* SharedLevels() const { return levels_.data(); }

 private:
  // Makes each reading whole, for a list that takes readings of other kinds after them.
  void Unshare() {
    for (int i = 0; i < count_; ++i) {
      items_[i] = reading_;
      items_[i].Rssi = levels_[i];
    }
    shared_ = false;
  }

  std::array<Reading, tarvik_ext::kMaxReadings> items_{};
  std::array<std::uint8_t, tarvik_ext::kMaxReadings> levels_{};
  Reading reading_;
  int count_ = 0;
  bool shared_ = false;
};

// Decoded coordinate of the record header.
struct ExtCoordinate {
  std::int16_t Degrees = 0;
  std::int16_t Minutes = 0;
  std::int32_t Seconds = 0;
  double Decimal = 0;  // signed, negative south or west
  char Hemisphere = 0;
};

class TarvikExtConverter : public FixedLayoutConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  TarvikExtConverter();

  int OpenInput(const std::string& path) override;
  std::uint64_t DataEnd() const override { return dataEnd_; }
  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  bool SelectReceiver(int16_t receiver) override;
  // 40-wavelength averaging of receiver n's (1 to 4) last fast block.
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
  ExtCoordinate Latitude, Longitude;
  std::int32_t Altitude = 0;  // metres
  std::int32_t Velocity = 0;  // miles per hour
  const char* Heading = "N";
  std::int16_t Marker = 0;
  std::uint8_t GpsHour = 0, GpsMinute = 0, GpsSecond = 0;
  std::uint8_t Header[tarvik_ext::kHeader] = {};
  // The fast blocks last taken, per receiver (the fixed layouts' reading).
  std::uint8_t FastBlocks[4][tarvik::kFastBlock] = {};

  // Per receiver: its plan, its readings and whether they are due for a line.
  std::array<ChannelPlan, 4> Plans{};
  std::array<ReadingList, 4> Lists{};
  std::array<bool, 4> FreshData{};
  int CurrentReceiver = 0;  // 0 to 3: the receiver of the line being written

  bool GpsValid() const { return Header[8] & 0x80; }

 protected:
  // The values the fixed layouts write for the last decoded record: the clock date, the GPS
  // time and position, and the reading of the first checked receiver's last fast block when
  // Scan Type is "Fast Data" (an empty reading otherwise).
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(int16_t field, char* p) override;

 private:
  std::array<ChannelTexts, 4> channelTexts_;  // per receiver
  // Pending group opener of the "r" or "s" readings of one receiver.
  struct Pending {
    bool Set = false;
    Reading Saved;
  };

  void DecodeHeader(const std::uint8_t* r);
  int16_t ParseFast(const std::uint8_t* r);
  void ParseScan(const std::uint8_t* r);
  int16_t ParseGrouped(const std::uint8_t* r, std::array<Pending, 4>& pending, bool withSat);
  int16_t ParseSingle(const std::uint8_t* r, bool voice);
  // The reading written in best-server mode: the strongest, the later one among equals.
  int BestReading(const ReadingList& list) const;
  // Whether the data group keeps a reading of the current receiver: by its displayed channel.
  bool Listed(const Reading& r) const {
    return KeptChannels.TakesChannelOf([&] { return Plans[CurrentReceiver].Displayed(r.Channel); });
  }
  // The checked items of one reading, each joined to the text that starts at `start`.
  // What the readings of one line share: the columns written, the delimiter, and the
  // receiver's plan and the texts kept for it.
  struct ReadingParts {
    bool frequency = false, channel = false, rssi = false, satDcc = false, vmac = false;
    char delimiter = ',';
    const ChannelPlan* plan = nullptr;
    ChannelTexts* texts = nullptr;
  };
  static char* PutReadingItems(char* p, const char* start, const Reading& r,
                               const ReadingParts& parts);
  char* PutReading(char* p, const char* start, const Reading& r, const ReadingParts& parts);
  // Every reading of `list` that the channel list keeps.
  char* PutListedReadings(char* p, const char* start, const ReadingList& list,
                          const ReadingParts& parts) const;

  int recordLength_ = 0;       // body length of the record last read (0 for an empty record)
  std::uint64_t dataEnd_ = 0;  // where the log data ends: its end mark, or the file's end
  // The last record is a fast record under averaging: each of its lines holds one window mean
  // of one receiver.
  bool averagedLine_ = false;
  std::array<Pending, 4> pendingR_{};
  std::array<Pending, 4> pendingS_{};
};

}  // namespace polvane
