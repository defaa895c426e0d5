// The abstract product converter that every receiver reader implements, with the state that the
// record loop, the indexing worker and the readers share.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "convert/average_windows.h"
#include "convert/bytes.h"
#include "convert/catalogue.h"
#include "convert/channel_list.h"
#include "convert/clock_fields.h"
#include "convert/codes.h"
#include "convert/conversion_settings.h"
#include "convert/gather_pass.h"
#include "convert/input_file.h"
#include "convert/line_sink.h"
#include "convert/position.h"
#include "convert/section_tracker.h"

namespace polvane {

class IndexSink;
class RecordPass;
struct PassResult;
struct RunState;

inline constexpr int kRecordBufferSize = 4096;    // one raw record body
inline constexpr int kValueBufferSize = 1000000;  // one field value or data-group chunk
inline constexpr int kFixedBufferSize = 16384;    // one fixed-layout header, record or trailer
inline constexpr int kMessageSize = 1024;
inline constexpr int kAverageAreaSize = 20560;

static_assert(sizeof(AverageWindows) <= kAverageAreaSize);

// What one DataValues call wrote at `out`, zero-terminated: Status -1 when the line's data
// group has no more chunks (the text is not used), 0 for a chunk of cells of its own, 1 for a
// chunk that goes on from what the line holds; End is where the chunk's text ends.
struct DataChunk {
  std::int16_t Status = -1;
  char* End = nullptr;
};

// What ParseRecord asks the record loop to do.
enum Action : int16_t {
  kActionNone = 0,
  kActionWrite = 1,
  kActionMessage = 2,
  kActionTitles = 3,
  kActionTitlesThenWrite = 4,
};

// One coordinate as its position fields write it: catalogue 5 to 10 for the latitude, 11 to 16
// for the longitude, by offset decimal degrees, degrees, minutes, decimal minutes, seconds and
// hemisphere.
struct CoordinateFields {
  // How "Decimal Minutes" is written: not at all, as the minutes, "." and the thousandths of a
  // minute in three digits, or as DecimalMinutes with six decimals.
  enum class MinuteForm : std::uint8_t { kNone, kThousandths, kDecimal };

  bool Minus = false;  // "Decimal Degrees" is a minus and then Decimal
  double Decimal = 0;
  int DecimalPlaces = 4;
  long long Degrees = 0, Minutes = 0;
  MinuteForm DecimalMinutesForm = MinuteForm::kNone;
  long long Thousandths = 0;
  double DecimalMinutes = 0;
  long long Seconds = 0;
  char Hemisphere = 0;  // written unless 0

  // Sets it from a receiver position: the decimal degrees as a magnitude after a minus unless
  // the hemisphere is `positive`, the minutes with their thousandths, the seconds from the
  // thousandths.
  void Set(const Position& pos, char positive, int decimalPlaces);
};

// The values of the fields that every product writes alike, for the line being written: "CR /
// LF", the position, "GPS Status", the GPS time, "Record Number" and the receiver clock. A field
// whose value the product does not have is written empty. A reader fills them in place
// (building a coordinate apart and copying it in costs more than the rest of the filling).
struct CommonFields {
  bool LineFeed = false;
  bool HasPosition = false;
  CoordinateFields Latitude, Longitude;
  const char* GpsStatus = nullptr;
  bool HasGpsTime = false;
  ClockTime GpsTime{};
  bool HasRecordNumber = false;  // the count of lines written (RecordCount)
  bool HasRtcDate = false;
  ClockDate RtcDate{};
  bool HasRtcTime = false;
  ClockTime RtcTime{};

  // A receiver position, north and east positive.
  void SetPosition(const Position& latitude, const Position& longitude, int decimalPlaces) {
    HasPosition = true;
    Latitude.Set(latitude, 'N', decimalPlaces);
    Longitude.Set(longitude, 'E', decimalPlaces);
  }
  void SetGps(const char* status, const ClockTime& time) {
    GpsStatus = status;
    HasGpsTime = true;
    GpsTime = time;
  }
  void SetClock(const ClockDate& date, const ClockTime& time) {
    HasRtcDate = HasRtcTime = true;
    RtcDate = date;
    RtcTime = time;
  }

  // Forgets which values the line has, keeping the values themselves: a reader fills the same
  // values every line, each with the flag that says it has it, so clearing the flags gives
  // every field written what CommonFields{} would. (Clearing all 272 bytes for every line made
  // a Drovel best-server run a third slower.)
  void ClearPresence() {
    LineFeed = HasPosition = HasGpsTime = HasRecordNumber = HasRtcDate = HasRtcTime = false;
    GpsStatus = nullptr;
  }

  // Whether catalogue field `field` is one of them.
  static bool Holds(int field) {
    return field == kFieldCrLf || (field >= kFieldLatitudeDecimal && field <= 21) ||
           field == kFieldRecordNumber || (field >= 33 && field <= 40);
  }
};

// The text of a coordinate's "Decimal Degrees" as last written, and what it was made from.
struct DecimalText {
  std::uint64_t Bits = 0;  // the value's bits
  int Places = 0;
  bool Minus = false;
  std::uint8_t Length = 0;  // 0: nothing kept
  char Text[32];
};

class ProductConverter {
 public:
  explicit ProductConverter(int16_t productCode);
  virtual ~ProductConverter();
  ProductConverter(const ProductConverter&) = delete;
  ProductConverter& operator=(const ProductConverter&) = delete;

  // The operations every reader provides.
  virtual int OpenInput(const std::string& path);
  virtual void CloseInput();
  virtual int16_t DataTitles(int16_t next, char* out, char delimiter);
  virtual DataChunk DataValues(int16_t next, char* out, char delimiter);
  // Writes at `out` the text of field `field` for the line being written, the common fields
  // from FillCommonFields, every other from ProductField; terminates it and returns its end.
  virtual char* FieldValue(int16_t field, char* out);
  virtual int ReadRecord(std::uint8_t* buffer);
  virtual int16_t ParseRecord(std::uint8_t* buffer);
  virtual int FixedHeader(char* out);
  virtual int FixedRecord(char* out);
  virtual int FixedTrailer(char* out);
  virtual int SetReduction(int16_t mode);
  virtual int16_t AverageSamples(int16_t receiver);
  virtual int16_t LambdaWindow(int16_t receiver);
  virtual bool SelectReceiver(int16_t receiver);
  // The position, time and date of the record the current line comes from, where the product
  // has them (nothing by default).
  virtual void Place(LinePlace& place) const { (void)place; }
  // The time of day of that record in seconds, as Place gives it; false when it has none. The
  // index keeps it of every record (a section's start and end): a reader whose place is costly
  // to work out gives the time on its own.
  virtual bool RecordSeconds(double& seconds) const {
    LinePlace place;
    Place(place);
    seconds = place.GpsSeconds;
    return place.HasTime;
  }
  // The same time in whole seconds, as the index keeps it; false when the record has none (or
  // a negative one). The readers whose time is a clock's give it without the floating-point
  // way of RecordSeconds: the index asks for it with every record.
  virtual bool RecordTime(std::uint32_t& seconds) const {
    double s = 0;
    if (!RecordSeconds(s) || !(s >= 0)) return false;
    seconds = static_cast<std::uint32_t>(s);
    return true;
  }
  // The index pass over the open input (RecordPass::Index): the records' sections and times to
  // `sink`. A reader gives it with its own calls made directly (the instance of
  // RecordPass::Index for its own class, whose calls of the pass are final); by default they go
  // through the virtual calls.
  virtual PassResult IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                               std::uint64_t inputSize, IndexSink& sink);
  // Where the log data of the open input ends: the file's end, unless the product's file header
  // says the data ends earlier. A record loop that stops before it left part of the log unread.
  virtual std::uint64_t DataEnd() const { return Input.Size(); }

  // Makes buffer[length, horizon) zero, so that a record shorter than its layout (horizon: the
  // furthest any of the product's layouts reaches) decodes as zeros, never as the bytes of an
  // earlier record. Only what an earlier, longer record of the same buffer, horizon and file
  // left there is cleared again; anything else starts with a full clear.
  void ZeroRecordTail(std::uint8_t* buffer, int length, int horizon) {
    if (length < 0) length = 0;
    if (buffer != zeroedBuffer_ || horizon != zeroedHorizon_) {
      zeroedBuffer_ = buffer;
      zeroedHorizon_ = horizon;
      dirtyLength_ = horizon;
    }
    if (length < dirtyLength_)
      std::memset(buffer + length, 0, static_cast<std::size_t>(dirtyLength_ - length));
    dirtyLength_ = length < horizon ? length : horizon;
  }

  int16_t ProductCodeValue() const { return productCode_; }
  // The line being written (LineFields), told apart from every line before it: a reader may
  // keep what all fields of one line share under it. 0 outside a line.
  std::uint64_t OpenLine() const { return lineOpen_ ? lineSerial_ : 0; }

  // The sections of the open input as the reader has followed them, and the selection tree's
  // node of each.
  SectionTracker& Sections() { return sections_; }
  const SectionTracker& Sections() const { return sections_; }

  // --- The run ---
  // The settings of the run, constant while it goes on: the run that drives the reader sets
  // them before it opens the first file (the record loop hands them on for each file).
  const ConversionSettings& Settings() const { return settings_; }
  void SetSettings(const ConversionSettings& settings) { settings_ = settings; }
  // Whether receiver n (1 to 4) is checked in the run's settings.
  bool ReceiverChecked(int n) const { return settings_.ReceiverChecked(n); }
  // Whether the records read are converted (the record loop) or only followed (the index and
  // gathering passes, the reading of a file as indexed).
  bool Converting() const { return converting_; }
  void SetConverting(bool converting) { converting_ = converting; }
  // A folder run: every section is converted, whatever the selection tree holds.
  bool BatchMode() const { return batchMode_; }
  void SetBatchMode(bool batch) { batchMode_ = batch; }
  // The output being written; the side file of a layout (the PathPro MDF file) is named from
  // it. Empty: the output name of the settings.
  const std::string& OutputName() const { return outputName_; }
  void SetOutputName(const std::string& name) { outputName_ = name; }
  // The catalogue fields the product offers, in offer order.
  std::span<const std::int16_t> Offered() const {
    return {OfferedFields.data(), static_cast<std::size_t>(OfferedCount)};
  }

  // --- 40-wavelength averaging ---
  // Whether the record just parsed is averaged: mode 1 with the lambda flag set.
  bool Averaging() const { return ReductionMode == kReduceLambda && LambdaFlag; }
  // The windows of the run, cleared by SetReduction.
  const AverageWindows& AverageArea() const { return windows_; }
  // Output line of the current record: 0 for the first of RepeatCount lines.
  int LineIndex() const { return RepeatCount - LinesLeft; }

  // --- Average-information pass ---
  // TMakeList starts and ends the pass; its records per second stay with the reader.
  GatherPass& Gathering() { return gather_; }
  const GatherPass& Gathering() const { return gather_; }

  // The lines written from the open input so far (the record loop counts them).
  std::int32_t RecordsWritten() const { return RecordCount; }

  // The input being read, for the run to see where it stands and why a read failed.
  const InputFile& Source() const { return Input; }

 protected:
  // The record loop and the record pass drive the line state below with the reader.
  friend class RecordLoop;
  friend class RecordPass;

  // The input being read: the readers read their records from it.
  InputFile Input;

  // --- The line state, shared by the readers and the record loop ---
  // The message line of a kActionMessage record.
  char MessageText[kMessageSize] = {};
  // Lines written from the open input ("Record Number").
  std::int32_t RecordCount = 0;
  // The titles line is due before the next line.
  bool TitlesPending = true;
  // Lines of the current record (RepeatCount) and those still to write (LinesLeft).
  std::int16_t LinesLeft = 1;
  std::int16_t RepeatCount = 1;
  // Pelmor: only the first receiver pass runs.
  bool SingleReceiver = false;
  // The channels the data group keeps (and best server chooses among), by the number the
  // "Channel" column shows; empty: every channel. The record loop sets it for a conversion.
  ChannelList KeptChannels;
  // The reduction of the file, set by SetReduction.
  std::int16_t ReductionMode = 0;
  // Set by the record loop while its lines keep neither cells nor marks: the chunks of a data
  // group are then only joined, so a reader that hands out a chunk per reading may put as many
  // of them as the value buffer holds into one chunk, divided by the delimiter (the same text
  // as chunks joined one after the other).
  bool JoinedDataGroup = false;

  void SetOffered(std::span<const std::int16_t> fields);

  // The scope of one output line: while it lasts, the common fields are worked out once, at
  // the first common field the line writes, and kept for its other ones. The record loop opens
  // one for each line it builds (every line may come from another record or another reading of
  // one: best server, averaging, a line per receiver); outside a line each FieldValue works
  // them out afresh.
  class LineFields {
   public:
    explicit LineFields(ProductConverter& c) : c_(c) {
      c_.lineOpen_ = true;
      c_.commonFilled_ = false;
      ++c_.lineSerial_;
    }
    ~LineFields() { c_.lineOpen_ = c_.commonFilled_ = false; }
    LineFields(const LineFields&) = delete;
    LineFields& operator=(const LineFields&) = delete;

   private:
    ProductConverter& c_;
  };

  // --- Members of the readers ---
  std::array<std::int16_t, kMaxOffered> OfferedFields{};
  std::int16_t OfferedCount = 0;
  bool LambdaFlag = false;
  // The run's speed for 40-wavelength averaging, taken when mode 1 is set.
  double LambdaMetresPerSecond = 0;
  // Best server: the entry of each receiver's sweep that its line writes.
  std::array<std::int16_t, 4> BestEntry{};

  // The section protocol every reader's ParseRecord follows for a record of tree slot `slot`
  // (-1 for a record of no known kind), as SectionTracker's Index while indexing and its Convert
  // while converting (every section selected in a folder run). Returns true when the record is
  // to be written: never while indexing, and not while the current section is deselected.
  template <class LabelFn>
  bool TrackSection(int16_t slot, LabelFn&& label, bool newSection = false) {
    if (!converting_) {
      sections_.Index(slot, label, newSection);
      return false;
    }
    return sections_.Convert(slot, batchMode_, newSection);
  }
  AverageWindows& Windows() { return windows_; }
  // Writes at `out` the titles of the data columns the settings check ("Frequency", "Channel",
  // "RSSI"), `groups` times over, with `delimiter` between them, and ends the text.
  void PutColumnTitles(char* out, char delimiter, int groups) const;
  // The values of the common fields for the line being written, set in `fields`; asked once
  // per line, and only when one of them is written. `fields` comes with every flag clear and
  // its values as the reader's last call left them (as CommonFields{} makes them at first):
  // a reader sets the same values every time, whatever the record, each with its flag.
  // Nothing by default.
  virtual void FillCommonFields(CommonFields& fields) const { (void)fields; }
  // Writes the text of a field of the product's own at p and returns its end (no terminator);
  // nothing by default.
  virtual char* ProductField(int16_t field, char* p) {
    (void)field;
    return p;
  }

 private:
  // FieldValue of a common field before the line has them (or outside a line): kept out of
  // the way of the fields that follow, which find them filled.
  [[gnu::noinline]] char* UnfilledCommonField(int16_t field, char* out);

  const std::int16_t productCode_;
  ConversionSettings settings_;
  std::string outputName_;
  bool converting_ = false;
  bool batchMode_ = false;
  // ZeroRecordTail's record buffer and how far its last record reached; forgotten per file.
  const std::uint8_t* zeroedBuffer_ = nullptr;
  int zeroedHorizon_ = 0;
  int dirtyLength_ = 0;
  // The common fields of the open line (LineFields), once commonFilled_.
  CommonFields common_;
  // The latitude's and longitude's "Decimal Degrees" texts last written: the lines of one
  // record, or of one position, write the same again.
  std::array<DecimalText, 2> decimalTexts_{};
  bool lineOpen_ = false;
  bool commonFilled_ = false;
  std::uint64_t lineSerial_ = 0;  // counts the lines opened (LineFields)
  AverageWindows windows_;
  GatherPass gather_;
  SectionTracker sections_;
};

}  // namespace polvane
