// Reader for Drovel logs: one receiver without GPS. Set-up records carry the channel plan,
// data records the receiver clock, a marker and up to three channel readings, all big-endian.
#pragma once

#include <cstdint>

#include "convert/channel_texts.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"

namespace polvane {

// Layout of the Drovel log. Offsets count from the record's type byte.
namespace drovel {
inline constexpr int kMaxRecord = 4096;
inline constexpr int kSetupKept = 256;  // set-up bytes kept from offset 1
inline constexpr int kDataRecord = 16;  // bytes of a data record that carry values
inline constexpr int kEntries = 3;
// The furthest any record layout reaches: the identification's two texts (up to 511 and 63
// bytes, each after a 4-byte length) from offset 1, beyond the set-up's kept bytes.
inline constexpr int kLongestLayout = 1 + 4 + 511 + 4 + 63;
static_assert(kLongestLayout >= 1 + kSetupKept && kLongestLayout >= kDataRecord);
// Tree slots.
inline constexpr int kSlotScan = 1;
inline constexpr int kSlotOneChannel = 2;
inline constexpr int kSlotThreeChannel = 3;
// Flag bits of a data record.
inline constexpr std::uint8_t kFlagOneChannel = 0x10;
inline constexpr std::uint8_t kFlagThreeChannel = 0x20;
inline constexpr std::uint8_t kFlagScan = 0x40;

// The tree slot of a data record by its flags: one-channel before three-channel before scan;
// -1 when none of them is set.
inline std::int16_t KindOfFlags(std::uint8_t flags) {
  if (flags & kFlagOneChannel) return kSlotOneChannel;
  if (flags & kFlagThreeChannel) return kSlotThreeChannel;
  if (flags & kFlagScan) return kSlotScan;
  return -1;
}

// Readings a record of the given kind carries.
inline int EntryCount(std::int16_t kind) {
  if (kind == kSlotScan || kind == kSlotThreeChannel) return kEntries;
  return kind == kSlotOneChannel ? 1 : 0;
}
}  // namespace drovel

class DrovelConverter : public FixedLayoutConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  DrovelConverter();

  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  // No position: the record's time is the receiver clock's, in seconds of its day.
  void Place(LinePlace& place) const override;
  // The time alone, as Place gives it.
  bool RecordSeconds(double& seconds) const final {
    if (Hour() >= 24 || Minute() >= 60 || Second() >= 60) return false;
    seconds = Hour() * 3600.0 + Minute() * 60.0 + Second();
    return true;
  }
  bool RecordTime(std::uint32_t& seconds) const final {
    if (Hour() >= 24 || Minute() >= 60 || Second() >= 60) return false;
    seconds = static_cast<std::uint32_t>(Hour() * 3600 + Minute() * 60 + Second());
    return true;
  }

  // The channel plan of the last set-up record; it stays in force across files.
  std::uint8_t Setup[drovel::kSetupKept] = {};
  std::int16_t BaseMhz = 0;
  std::int16_t BaseFraction = 0;  // 0.0001 MHz
  std::uint16_t Spacing = 0;      // 0.0001 MHz
  std::int16_t BaseChannel = 0;
  // The last data record (bytes 0 to 15) and its decoded values.
  std::uint8_t Data[drovel::kDataRecord] = {};
  std::uint16_t Channels[drovel::kEntries] = {};
  // Whether entry i's channel is one the data group keeps.
  bool Listed(int i) const { return KeptChannels.Takes(Channels[i]); }
  std::int16_t Marker = 0;
  // Texts of the identification record (not written anywhere).
  char ProductText[512] = {};
  char VersionText[64] = {};

  int Hour() const { return Data[1]; }
  int Minute() const { return Data[2]; }
  int Second() const { return Data[3]; }
  std::uint8_t Flags() const { return Data[6]; }
  int Rssi(int entry) const { return Data[9 + 3 * entry]; }  // magnitude in dBm
  double Frequency(int entry) const;
  // Readings of the current record: its kind's entry count.
  int EntryCount() const { return drovel::EntryCount(Sections().Kind()); }

 protected:
  // The values of the fixed layouts: the clock time and three readings in three-channel
  // data, one otherwise; no position.
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  // No position or GPS: the line feed, the record number and the clock time.
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(int16_t field, char* p) override;

 private:
  void ParseSetup(const std::uint8_t* record);
  void ParseIdentification(const std::uint8_t* record);
  void ChooseBestEntry();
  char* PutEntry(char* p, int entry, char delimiter);

  int titleCount_ = 1;
  // The frequency and channel texts of the entries, by channel, under the set-up's plan.
  ChannelTexts entryTexts_;
};

}  // namespace polvane
