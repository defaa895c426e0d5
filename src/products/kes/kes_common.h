// What the two Kes readers share: the measurement types and their tree slots, the decoded
// position, GPS and clock values, the paging values and messages of the last FLEX or POCSAG
// capture, the columns of the data group and the field texts that both logs fill alike.
#pragma once

#include <algorithm>
#include <cstdint>

#include "convert/channel_texts.h"
#include "convert/position.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"
#include "paging/pocsag_decoder.h"

namespace polvane {

namespace kes {

inline constexpr int kMaxChannels = 100;     // channel codes of a scan header, samples of a record
inline constexpr int kAverageChannels = 86;  // time averaging and PC-dump channel entries
inline constexpr int kMaxMessages = 100;     // paging messages kept per capture
inline constexpr int kMessageSize = 1024;    // one paging message text, terminator included
static_assert(kMessageSize == paging::kTextSize);
inline constexpr int kPocsagCut = 73;  // "<< POCSAG DATA >>" shows this many characters

// Measurement types with a meaning of their own in the readers.
inline constexpr int kTypePocsag = 7;
inline constexpr int kTypeFastFade = 8;
inline constexpr int kTypeFlex = 15;
inline constexpr int kTypeVariableSweep = 5;
inline constexpr int kType80Channel = 20;

// Tree slots of the paging kinds.
inline constexpr int kSlotPocsag = 10;
inline constexpr int kSlotFlex = 18;

// The scan whose flag byte is exactly this value is an analogue cellular scan: it carries
// SAT/DCC and VMAC codes and numbers its channels the cellular way.
inline constexpr std::uint8_t kCellularFlags = 0x80;
inline constexpr std::uint8_t kOffsetNumberingFlag = 0x10;

// Tree slot of a measurement type, or -1 for a type that opens no kind of its own.
// Type 5 (variable sweep) is the 80-channel scan on the PC card of firmware 106.
int SlotOfType(int type, bool variableSweepIs80Channel = false);

// Abbreviation shown by "Measurement Type", by the low four bits of the type. The PC-dump
// files name entry 15 "FLX"; the PC card leaves it "UKN".
const char* TypeAbbreviation(int type, bool flexEntry = false);

// The leading whole number of a text ("12 s" gives 12, "x" gives 0), as the receiver's
// "1 Rec per" seconds field is read.
int LeadingInteger(const char* text);

}  // namespace kes

// The checked parts of one data-group column, read from the window once per call.
struct KesColumnParts {
  bool frequency = false, channel = false, signal = false, sat = false, vmac = false;
};

// The values of a column past its frequency and channel.
struct KesColumn {
  int signal = 0;  // magnitude in dBm, written with a leading minus
  int sat = 0, vmac = 0;
};

// Where the fields that the two logs fill differently take their values from.
struct KesFieldSources {
  int pagingSlot = -1;  // tree slot of the record for "<< FLEX DATA >>" / "<< POCSAG DATA >>"
  bool gpsLocked = false;
  int coordinateMode = 0;  // 0: odometer and marker; otherwise Y and X coordinates
  unsigned markerOrX = 0, odometerOrY = 0;
  const char* typeAbbreviation = "";
  long long speed = 0;  // "Speed (BPS)"
};

class KesConverter : public FixedLayoutConverter {
 public:
  using FixedLayoutConverter::FixedLayoutConverter;

  // The GPS time of the layouts' values (and of Place), without working out the position;
  // none before the log has given one.
  bool RecordSeconds(double& seconds) const final {
    seconds = 0;
    return GpsTimeKnown && SecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }
  bool RecordTime(std::uint32_t& seconds) const final {
    seconds = 0;
    return GpsTimeKnown && WholeSecondsOfDay(GpsHour, GpsMinute, GpsSecond, seconds);
  }

  // Receiver clock, updated by every record that carries part of it.
  std::uint8_t RtcHour = 0, RtcMinute = 0, RtcSecond = 0, RtcDay = 0, RtcMonth = 0, RtcYear = 0;
  // Decoded position and GPS values.
  Position Latitude, Longitude;
  std::uint16_t GpsHour = 0, GpsMinute = 0, GpsSecond = 0;
  // A record of the log has given the GPS time: before it, the zero time above is no time.
  bool GpsTimeKnown = false;
  std::uint32_t GpsAltitude = 0;  // centimetres
  std::uint32_t GpsVelocity = 0;  // receiver units; x 0.022356 gives miles per hour

  // Where a block of binary GPS values keeps them: the byte offsets of the hour (the minute and
  // second follow it), the latitude and longitude (signed, big-endian), the altitude and the
  // velocity, and whether the velocity takes four bytes rather than two.
  struct BinaryGpsOffsets {
    int Time, Latitude, Longitude, Altitude, Velocity;
    bool WideVelocity;
  };
  // Takes the GPS time, position, altitude and velocity of block `g` (the time alone while not
  // converting).
  void DecodeBinaryGps(const std::uint8_t* g, const BinaryGpsOffsets& at);

  // Values and messages of the last decoded paging capture.
  std::uint16_t PagerChannel = 0;
  std::uint8_t PagerRssi = 0;
  std::uint16_t PagerBer = 0;
  std::uint16_t PagerBaud = 0;
  std::uint16_t FlexPhases = 0;
  char PagerMessages[kes::kMaxMessages][kes::kMessageSize] = {};
  std::int16_t PagerMessageCount = 0;
  // A POCSAG message still open at the end of the last capture, with its decoding state.
  polvane::PocsagCarry CarriedPocsag;

  // Decodes a FLEX capture: `frame` starts at its length field, `available` bytes of it are
  // in storage (the length field is never trusted beyond them).
  void DecodeFlex(const std::uint8_t* frame, int available);
  // Decodes a POCSAG capture of at least 79 bytes, carrying an open message to the next one.
  void DecodePocsag(const std::uint8_t* block);
  // Stores the text just decoded into the next message slot, when it is not empty.
  template <class Decoder>
  void TakeMessage(Decoder& decoder, bool& done);

 protected:
  void ClearPosition();

  // Where the fields that the two logs fill differently take their values from.
  virtual KesFieldSources Sources() const = 0;
  // Sources(), worked out once for all the fields of the line being written.
  const KesFieldSources& LineSources() {
    const std::uint64_t line = OpenLine();
    if (line == 0 || line != sourcesLine_) {
      sources_ = Sources();
      sourcesLine_ = line;
    }
    return sources_;
  }
  // Sources().gpsLocked alone, which every line asks for.
  virtual bool GpsLocked() const = 0;
  // The fields both logs fill alike: the position, GPS time and clock of the last records.
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(std::int16_t field, char* p) override;

  KesColumnParts CheckedParts(bool cellular) const;
  // One column's titles or values; parts after the first are preceded by the delimiter.
  static char* PutColumnTitles(char* p, int column, const KesColumnParts& parts, char delimiter);
  // The values: the frequency and channel texts of channel code `code`, made by frequency()
  // and channel() and kept for the plan last declared to ColumnTexts(), then those of `v`.
  template <class FrequencyFn, class ChannelFn>
  [[gnu::always_inline]] char* PutColumnValues(char* p, std::uint16_t code, FrequencyFn&& frequency,
                                               ChannelFn&& channel, const KesColumn& v,
                                               const KesColumnParts& parts, char delimiter) {
    const char* start = p;
    p = columnTexts_.Put(p, start, delimiter, parts.frequency, parts.channel, code, 4, frequency,
                         channel);
    return PutColumnLevels(p, start, v, parts, delimiter);
  }
  [[gnu::always_inline]] static char* PutColumnLevels(char* p, const char* start,
                                                      const KesColumn& v,
                                                      const KesColumnParts& parts, char delimiter) {
    if (parts.signal)
      p = text::PutByteValue(text::Put(text::Join(p, start, delimiter), '-'), v.signal);
    if (parts.sat) p = text::PutByteValue(text::Join(p, start, delimiter), v.sat);
    if (parts.vmac) p = text::PutByteValue(text::Join(p, start, delimiter), v.vmac);
    return p;
  }
  // The frequency and channel texts of the scan's channel codes, by code: a reader declares
  // the values that decide them (ChannelTexts::UsePlan) before it writes a column.
  ChannelTexts& ColumnTexts() { return columnTexts_; }

  // The data-group iterators over `columns` columns: the next column of the call (the best
  // channel alone in best server), or -1 once every column is done. ColumnTitles writes that
  // column's titles.
  int NextColumn(std::int16_t next, int columns, int& cursor) const;
  // The data-group values through `column(next, out)`, which writes one column at `out` and
  // returns its end (nullptr once every column is done). While the record loop only joins the
  // chunks, the following columns go into the same chunk, after a delimiter each, as long as
  // the value buffer has room for one more; the columns after that are the next chunks.
  template <class ColumnFn>
  DataChunk JoinColumns(std::int16_t next, char* out, char delimiter, ColumnFn&& column) {
    char* end = column(next, out);
    if (!end) return {-1, out};
    if (JoinedDataGroup) {
      const char* const last = out + kValueBufferSize - kColumnRoom;
      while (end < last) {
        char* more = column(std::int16_t{1}, end + 1);
        if (!more) break;
        *end = delimiter;
        end = more;
      }
    }
    return {0, end};
  }
  // The parts of the line's columns, settled at its first column (next 0), where `plan()`
  // also declares the reader's plan to ColumnTexts(): the settings and the scan do not change
  // within a line.
  template <class PlanFn>
  KesColumnParts LineParts(std::int16_t next, bool cellular, PlanFn&& plan) {
    if (next == 0) {
      lineParts_ = CheckedParts(cellular);
      plan();
    }
    return lineParts_;
  }
  // JoinColumns for a line whose `columns` columns are all written alike, from the cursor on
  // (the first column of the line even where the scan holds none, as the column-by-column path
  // writes it; in best server the best channel's column alone): `column(i, p, parts)` writes column
  // i (clamped to the last of `slots`) at p and returns its end. The loop keeps what the line has
  // settled (its parts, its plan, the reduction) instead of asking again for every column, which
  // cost more than writing it.
  template <class PlanFn, class ColumnFn>
  DataChunk JoinPlainColumns(std::int16_t next, char* out, char delimiter, int columns, int slots,
                             bool cellular, PlanFn&& plan, ColumnFn&& column) {
    if (NextColumn(next, columns, valueColumn_) < 0) return {-1, out};
    const KesColumnParts parts = LineParts(next, cellular, plan);
    // In best server the best channel's column alone, and then no more. (One call of
    // `column` for both, which the compiler then makes inline.)
    const bool best = ReductionMode == kReduceBestServer;
    const char* const last = out + kValueBufferSize - kColumnRoom;
    char* p = out;
    int cursor = valueColumn_;
    for (;;) {
      p = column(std::clamp(cursor, 0, slots - 1), p, parts);
      ++cursor;
      if (best || cursor >= columns || p >= last) break;
      *p++ = delimiter;
    }
    valueColumn_ = best ? columns : cursor;
    return {0, text::End(p)};
  }
  // Whether the line's columns are all written alike (JoinPlainColumns): joined in one chunk,
  // with every column of the scan (or the best channel's alone), none of them averaged.
  bool PlainColumns() const {
    return JoinedDataGroup && KeptChannels.Empty() && ReductionMode != kReducePerSeconds;
  }
  // More than any one column's text needs (a frequency, a channel and three levels).
  static constexpr int kColumnRoom = 512;
  std::int16_t ColumnTitles(std::int16_t next, char* out, char delimiter, int columns,
                            const KesColumnParts& parts);

  // Best-channel search over magnitudes: the strongest channel above -121 dBm, the lower index
  // on a tie, channel 0 when none qualifies. With a channel list only its channels count, and
  // a scan that holds none of them has no best channel (-1).
  void ChooseBestChannel(const std::uint8_t* samples, int count, int stride = 1);

  // The channel number the "Channel" column shows for column `column` of the current scan.
  virtual long long ChannelNumber(int column) const = 0;
  // Whether the channel list keeps column `column` (every column without a list).
  bool KeptColumn(int column) const;
  // Moves `cursor` past the columns the channel list leaves out, calling `skipped` with each;
  // false when no kept column is left. Without a list nothing moves.
  template <class SkipFn>
  bool SkipLeftOutColumns(int& cursor, int columns, SkipFn&& skipped) const {
    if (KeptChannels.Empty()) return true;
    const int last = columns > 1 ? columns : 1;  // a paging capture's one column has no count
    while (cursor < last && !KeptColumn(cursor)) skipped(cursor++);
    return cursor < last;
  }

  // The phase count of the last FLEX capture, for a frame whose speed code keeps it.
  std::uint16_t previousFlexPhases_ = 0;
  char droppedMessage_[kes::kMessageSize] = {};

  int titleColumn_ = 0;
  int valueColumn_ = 0;
  // The data columns' parts as the first column of the line found them: the settings and the
  // scan do not change within a line.
  KesColumnParts lineParts_;
  ChannelTexts columnTexts_;
  // LineSources' values and the line (OpenLine) they were worked out for.
  KesFieldSources sources_;
  std::uint64_t sourcesLine_ = 0;
};

}  // namespace polvane
