// Reader for Pelmor logs (the plain log and the PC-card variant with its longer file header):
// a block-counted file of 2-byte framed records holding GPS fixes, real-time-clock records,
// channel plans, single-frequency samples, list data and table data of two receivers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "convert/channel_texts.h"
#include "convert/product_converter.h"
#include "formats/fixed_layouts.h"

namespace polvane {

// Layout of the Pelmor log.
namespace pelmor {
inline constexpr int kHeaderSize = 6;       // plain log: unused word, byte remainder, blocks
inline constexpr int kCardHeaderSize = 10;  // PC card: unused long, byte remainder, blocks
inline constexpr int kBlockSize = 512;
inline constexpr int kMaxRecord = 4096;
// Bytes past the type byte that the longest fixed record layout (the GPS fix) reads.
inline constexpr int kLayoutSize = 160;

inline constexpr int kReceivers = 2;
inline constexpr int kTableSize = 32;  // entries of ChannelList, RssiTable, ChannelTable
inline constexpr int kSingleEntries = 16;
inline constexpr int kListEntries = 10;
inline constexpr int kListDataEntries = 5;
inline constexpr int kTableDataEntries = 4;
inline constexpr int kMaxSamples = 4096;  // sample records buffered between two fixes
inline constexpr int kSampleValues = 16;  // RSSI values kept per sample record
inline constexpr int kGpsBlock = 152;
inline constexpr int kTpPositionSize = 20;
inline constexpr int kTpMotionSize = 6;
inline constexpr int kClockSize = 7;

// Record types.
enum RecordType : std::uint8_t {
  kGpsFix = 0,
  kConfiguration = 1,
  kSamples1 = 2,
  kSamples2 = 3,
  kClock = 4,
  kSingleSetup = 5,
  kListSetup = 6,
  kListData = 7,
  kTableData = 9,
  kTpPosition = 0xC0,
  kTpMotion = 0xC1,
};

// Tree slots of the three data kinds.
inline constexpr int16_t kSlotTable = 1;
inline constexpr int16_t kSlotSingle = 19;
inline constexpr int16_t kSlotList = 20;

// Data kinds of the records being written.
enum Kind : int16_t { kKindNone = 0, kKindSamples = 1, kKindList = 2, kKindTable = 3 };
// Time bases of the sample records.
enum TimeSource : int32_t { kTimeNone = 0, kTimeGps = 1, kTimeClock = 2 };

// One receiver's channel plan from the configuration record.
struct ChannelPlan {
  std::uint32_t First = 0;  // first frequency, in steps
  std::uint32_t Last = 0;   // last frequency, in steps
  std::uint16_t Step = 0;   // step size in 1/256 kHz
  std::uint8_t Flags = 0;   // bit 0: wrapped channel numbering
  double StepKhz = 0;

  bool Wrapped() const { return Flags & 1; }
  // MHz of a frequency given in steps.
  double Frequency(std::int64_t steps) const { return steps * StepKhz * 0.001; }
  // Channel number of a frequency given in steps.
  std::int64_t ChannelNumber(std::int64_t steps) const;
  // MHz of a table channel number.
  double TableFrequency(std::int64_t channel) const;
};

ChannelPlan DecodePlan(const std::uint8_t* p);

// One coordinate in the forms the fields print.
struct Coordinate {
  double Decimal = 0;  // signed decimal degrees
  int Degrees = 0;     // whole degrees, magnitude
  int Minutes = 0;     // whole minutes
  double DecimalMinutes = 0;
  int Seconds = 0;

  // From signed thousandths of an arc-second.
  static Coordinate FromMilliArcSeconds(std::int32_t v);
  // From interpolated decimal degrees; the degree, minute and second forms are magnitudes.
  static Coordinate FromDegrees(double v);
};

// The decoded GPS block of a fix. The defaults are what the reader holds before the first fix.
struct GpsFix {
  int Month = 1, Day = 1, Year = 2000;
  int Hour = 12, Minute = 0, Second = 0;
  Coordinate Latitude, Longitude;
  char LatHemisphere = 'S', LonHemisphere = 'W';
  std::int32_t AltitudeCm = 0;
  std::int16_t VelocityCmPerS = 0;
  std::uint8_t Status = 0;

  // `block` is the 152-byte block after the type byte; its numbers are big-endian.
  void Decode(const std::uint8_t* block);
  // The date and time alone (a pass that only follows the records needs no more of a fix).
  void DecodeTime(const std::uint8_t* block);
  const char* StatusName() const;
};

// A sample record buffered until the next fix gives it a time and position.
struct Sample {
  std::uint8_t Receiver = 0;   // 0 or 1
  std::int8_t LastIndex = -1;  // last entry index, -1 when the record held no value
  std::int8_t Values[kSampleValues] = {};
  double Latitude = 0, Longitude = 0;  // interpolated decimal degrees
  std::uint8_t Hour = 0, Minute = 0, Second = 0;
};

// Best-server tracking of one receiver over the table sweeps.
struct BestServerState {
  static constexpr int kNoChannel = 1000000;
  bool Hold = false;
  int BestRssi = -120;
  int BestChannel = kNoChannel;
  int HeldRssi = -120;
  int HeldChannel = 0;

  // Takes one table entry. The hold flag is set when a new sweep begins at this entry; the
  // best values then describe the sweep just finished.
  void Update(int channel, int rssi);
  // A sweep has just ended and its best values stand (not the very first entry, which opens
  // a sweep with nothing before it).
  bool SweepDone() const { return Hold && BestChannel != kNoChannel; }
};
}  // namespace pelmor

class PelmorConverter : public FixedLayoutConverter {
 public:
  // The index pass with the calls of this reader made directly (they are final).
  PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                       std::uint64_t inputSize, IndexSink& sink) override;
  PelmorConverter();

  int OpenInput(const std::string& path) override;
  void CloseInput() override;
  int16_t DataTitles(int16_t next, char* out, char delimiter) override;
  DataChunk DataValues(int16_t next, char* out, char delimiter) override;
  int ReadRecord(std::uint8_t* buffer) final;
  int16_t ParseRecord(std::uint8_t* buffer) final;
  bool SelectReceiver(int16_t receiver) override;
  // The record's time as Place gives it, without working out the position.
  bool RecordSeconds(double& seconds) const final;
  bool RecordTime(std::uint32_t& seconds) const final;

  // --- Reader state ---
  std::int16_t DataKind = pelmor::kKindNone;
  bool FirstFixPending = true;
  int SampleCount = 0;
  // Apart from DataKind: each record's time looks at both just after one of them is stored,
  // and the compiler reads neighbours in one load, which then waits for the stores.
  std::int32_t TimeBase = pelmor::kTimeNone;  // kept from one pass to the next
  std::int32_t ChannelList[pelmor::kReceivers][pelmor::kTableSize] = {};
  std::int8_t RssiTable[pelmor::kReceivers][pelmor::kTableSize] = {};
  std::uint16_t ChannelTable[pelmor::kReceivers][pelmor::kTableSize] = {};
  pelmor::ChannelPlan ChannelPlans[pelmor::kReceivers];
  bool ReceiverActive[pelmor::kReceivers] = {};
  int CurrentReceiver = 0;
  bool FreshData[pelmor::kReceivers] = {};
  bool TimeSeen = false, ConfigurationSeen = false, SingleSetupSeen = false, ListSetupSeen = false;
  pelmor::GpsFix Fix;
  struct {
    double Latitude = 0, Longitude = 0;
    int Hour = 0, Minute = 0, Second = 0;
  } PreviousFix;
  std::uint8_t ClockBytes[pelmor::kClockSize] =
      {};  // second, minute, hour, day, month, year, marker
  std::uint8_t TpPosition[pelmor::kTpPositionSize] = {};
  std::uint8_t TpMotion[pelmor::kTpMotionSize] = {};
  pelmor::BestServerState BestServer[pelmor::kReceivers];
  // Best server over the channels of the channel list alone, fed while converting with one.
  pelmor::BestServerState ListedBestServer[pelmor::kReceivers];

  // The product code the open file is read as (8 or 9).
  std::int16_t FileCode() const { return fileCode_; }
  std::uint64_t DataEnd() const override { return dataEnd_; }
  const pelmor::Sample& BufferedSample(int i) const { return samples_[i]; }

  // A record can be written once the log has given a time source, a configuration and the
  // set-up of the data kind.
  bool ReadyToWrite() const;
  // The line being written is a buffered sample with a GPS-interpolated time and position.
  bool Interpolated() const {
    return TimeBase == pelmor::kTimeGps && DataKind == pelmor::kKindSamples;
  }
  // The line being written is a buffered sample's, placed between two fixes. A pass that
  // only follows the records (the index) buffers none: its samples and fixes are at the last
  // fix.
  bool Buffered() const { return Interpolated() && Converting(); }
  // Index of the buffered sample of the line being written.
  int SampleIndex() const;
  // Receiver (0 or 1) of the line being written.
  int LineReceiver() const;

 private:
  std::int16_t ParseFix(const std::uint8_t* r);
  std::int16_t ParseSamples(const std::uint8_t* r, int receiver);
  std::int16_t ParseSetup(const std::uint8_t* r, std::int16_t slot);
  std::int16_t ParseListData(const std::uint8_t* r);
  std::int16_t ParseTableData(const std::uint8_t* r);
  void Interpolate();
  // Keeps the fix's time as seconds of the day whenever the fix changes: every record that is
  // not a buffered sample is counted at it.
  void NoteFixTime();
  // The label of the sections that begin from now on: the source and time of day of the last
  // time the log gave, as "GPS 09:41:00".
  void SetTimeLabel(const char* source, int hour, int minute, int second);
  const char* TimeLabel();
  // The label written at `label` (`size` bytes, terminated), for a section that begins.
  void PutTimeLabel(char* label, int size);
  // The line's position and GPS time: interpolated for buffered samples, else the last fix.
  pelmor::Coordinate LineLatitude() const;
  pelmor::Coordinate LineLongitude() const;
  void LineTime(int& hour, int& minute, int& second) const;
  // What the entries of one line share: the columns written, the delimiter, and the levels of
  // the buffered sample the line writes (nullptr for the levels of the receiver's table).
  struct EntryParts {
    bool table = false, frequency = false, channel = false, rssi = false;
    char delimiter = ',';
    const std::int8_t* samples = nullptr;
  };
  char* PutEntry(char* p, char* start, int receiver, int entry, const EntryParts& parts);
  // Declares a receiver's plan to its kept texts of the table or of the other kinds before
  // its entries are written.
  void UsePlanTexts(int receiver, bool table);
  // Whether the channel list keeps entry `entry` of the receiver's data (every entry without
  // a list; an entry whose channel is not known is not kept by one).
  bool KeptEntry(int receiver, int entry) const;
  void Place(LinePlace& place) const override;
  // The values of the fixed layouts: for a record line the line's own time and position, for
  // the header and trailer those of the last fix.
  void FillFixedValues(FixedValues& v, FixedPiece piece) const override;
  // The line's position and GPS time, the hemispheres and status of the last fix, the clock.
  void FillCommonFields(CommonFields& f) const override;
  char* ProductField(int16_t field, char* p) override;

  std::unique_ptr<pelmor::Sample[]> samples_;
  // The frequency and channel texts of each receiver's entries under its plan: of the table
  // channels by channel number, of the list and single-frequency entries by their steps above
  // the plan's first frequency.
  std::array<ChannelTexts, pelmor::kReceivers> tableTexts_, listTexts_;
  std::int16_t fileCode_ = kProductPelmor;
  std::uint64_t dataEnd_ = 0;
  int lastLength_ = 0;
  bool bodyValid_ = false;      // the buffer holds a record body that ParseRecord may decode
  int lastSampleIndex_ = -1;    // last entry index of the last sample record
  bool valuesWritten_ = false;  // DataValues alternates between writing and ending the group
  // Best server: the receivers whose sweep ended in the last table record.
  bool sweepEnded_[pelmor::kReceivers] = {};
  std::int16_t titleKind_ = pelmor::kKindNone;  // data kind of the next titles line
  bool tableTitlesDue_ = false;  // a table section began whose first record is still to come
  char timeLabel_[kSectionLabelSize] = {};
  const char* labelSource_ = "N/A";
  int labelTime_[3] = {};
  bool labelDue_ = false;         // timeLabel_ is still to be made from the source and time
  std::uint32_t fixSeconds_ = 0;  // the fix's time, seconds of the day (NoteFixTime)
  bool fixTimeValid_ = false;
};

}  // namespace polvane
