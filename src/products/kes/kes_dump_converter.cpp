#include "products/kes/kes_dump_converter.h"

#include <bit>

#include "convert/record_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace polvane {

using namespace kesdump;
namespace tx = text;

namespace {

// Tree slot of a data record's type; -1 for the types that are no data record here (the fast
// fade, 8, among them).
int DataSlot(int type) {
  if (type == kes::kTypeFastFade) return -1;
  return kes::SlotOfType(type, false);
}

}  // namespace

KesDumpConverter::KesDumpConverter() : KesConverter(kProductKesDump) {}

int KesDumpConverter::OpenInput(const std::string& path) {
  if (const int result = ProductConverter::OpenInput(path); result != 0) return result;
  std::memset(GpsRecord, 0, sizeof GpsRecord);
  ClearPosition();
  emptyFrame_ = false;
  recordLength_ = 0;
  return 0;
}

int KesDumpConverter::ReadRecord(std::uint8_t* buffer) {
  emptyFrame_ = false;
  std::uint8_t sync;
  if (!Input.ReadExact(&sync, 1)) return 0;
  if (sync != kSync) {
    emptyFrame_ = true;  // hunting for the next frame, one byte at a time
    return 1;
  }
  std::uint8_t prefix[2];
  if (!Input.ReadExact(prefix, 2)) return 0;
  const int length = ReadLE16(prefix, 0);
  if (length >= kMaxFrameLength || length == 0) {
    // Not a frame (or one without even a type byte): hunt again after the length field.
    emptyFrame_ = true;
    return 3;
  }
  const int size = length - 1;
  // A record longer than the record buffer keeps what fits; the rest is passed over.
  const int kept = std::min(size, kRecordBufferSize);
  // A pass that only follows the records (the index) looks at no more of a record than the
  // values of a GPS record: the rest is passed over, not copied.
  const int taken = Converting() ? kept : std::min(kept, kFollowedBytes);
  if (!Input.ReadExact(buffer, static_cast<std::size_t>(taken))) return 0;
  if (taken < kept && !Input.PassExact(static_cast<std::size_t>(kept - taken))) return 0;
  if (kept < size && !Input.Skip(size - kept)) return 0;
  // A record shorter than its layout decodes as zeros, never as the bytes of an earlier one.
  ZeroRecordTail(buffer, taken, kRecordBufferSize);
  recordLength_ = kept;
  if (kept == 0) emptyFrame_ = true;
  return length + 1;
}

int16_t KesDumpConverter::ParseRecord(std::uint8_t* r) {
  if (emptyFrame_) return kActionNone;
  const std::uint8_t type = r[0];
  if (type == kHeaderType && std::memcmp(r + 1, "QVXKES", 6) == 0) return kActionNone;
  PendingMode = -1;
  if (type == kSetup) {
    const std::uint8_t* s = r + 1;
    std::memcpy(SetupRecord, s, kSetupSize);
    FirmwareNumber = ReadLE16(s, 0);
    FirstCode = static_cast<std::int16_t>(ReadLE16(s, 8));
    LastCode = static_cast<std::int16_t>(ReadLE16(s, 10));
    BaseMhz = ReadLE16(s, 12) + ReadLE16(s, 14) * 0.0001;
    SpacingKhz = ReadLE16(s, 16) * 0.1;
    NumberingFlags = s[18];
    return kActionNone;
  }
  if (type == kGps) {
    const std::uint8_t* g = r + 1;
    std::memcpy(GpsRecord, g, kGpsSize);
    DecodeBinaryGps(g, {.Time = 4,
                        .Latitude = 11,
                        .Longitude = 15,
                        .Altitude = 19,
                        .Velocity = 27,
                        .WideVelocity = true});
    return kActionNone;
  }
  const int slot = DataSlot(type);
  if (slot < 0) return kActionNone;
  PendingMode = static_cast<std::int16_t>(slot);
  const std::uint8_t* scan = r + (ReadLE16(r, 1) < kFirmwareLongLayout ? 23 : 26);
  // The average-information pass counts the data records over their clock's seconds.
  if (Gathering().Active() && !Converting())
    Gathering().Record(scan[22], scan[21], scan[20], scan[19]);
  const bool changed = PendingMode != Sections().Kind();
  averagedLine_ = false;
  const bool write = TrackSection(PendingMode, [scan](char* label, int) {
    tx::End(tx::Put02Triple(label, scan[21], scan[20], scan[19], ':'));
  });
  if (!write) return kActionNone;
  DecodeData(r);
  if (Averaging() && !PagingRecord()) {
    // A line whenever a channel's window closes; a section's titles come at its start all
    // the same.
    averagedLine_ = true;
    if (AverageSamples(1) == 0) {
      RepeatCount = 0;
      return changed ? kActionTitlesThenWrite : kActionNone;
    }
  }
  return changed ? kActionTitlesThenWrite : kActionWrite;
}

int16_t KesDumpConverter::ColumnWindow(int column) const {
  return AverageWindows::Length(Gathering().RecordsPerSecond() * 300000000.0,
                                Frequency(column) * 1e6, LambdaMetresPerSecond);
}

int16_t KesDumpConverter::LambdaWindow(int16_t) {
  return ColumnWindow(0);
}

int16_t KesDumpConverter::AverageSamples(int16_t) {
  const int n = ChannelCount();
  int closed = 0;
  for (int i = 0; i < n && i < AverageWindows::kWindows; ++i) {
    AverageWindows::Window& w = Windows().At(i);
    const auto code = static_cast<std::uint16_t>(Code(i));
    // Another channel in this column: its window starts afresh.
    if (w.Key != code) w = AverageWindows::Window{};
    w.Key = code;
    ++w.Counter;
    w.Sum += static_cast<std::uint32_t>(Sample(i));
    if (w.Counter >= ColumnWindow(i)) {
      w.Mean = static_cast<std::uint8_t>(w.Sum / static_cast<std::uint32_t>(w.Counter));
      w.Closed = true;
      w.Counter = 0;
      w.Sum = 0;
      ++closed;
    }
  }
  return static_cast<int16_t>(closed);
}

int KesDumpConverter::LineSample(int column) const {
  if (!averagedLine_) return Sample(column);
  const AverageWindows::Window& w =
      AverageArea().At(std::clamp(column, 0, AverageWindows::kWindows - 1));
  return w.Closed && w.Key == static_cast<std::uint16_t>(Code(column)) ? w.Mean : Sample(column);
}

void KesDumpConverter::DecodeData(const std::uint8_t* r) {
  RecordType = r[0];
  std::memcpy(RecordStart, r, kRecordStart);
  FirmwareNumber = ReadLE16(r, 1);
  const bool older = FirmwareNumber < kFirmwareLongLayout;
  const int scanOffset = older ? 23 : 26;
  const int b = older ? 49 : 52;  // the channel entries
  std::memcpy(GpsBlock, r + kRecordStart, kShortGpsBlock);
  std::memcpy(ScanBlock, r + scanOffset, kScanBlock);
  const std::uint8_t* scan = ScanBlock;
  if (older) {
    Latitude = DecodeBcdPosition(GpsBlock, static_cast<char>(GpsBlock[4]));
    Longitude = DecodeBcdPosition(GpsBlock + 5, static_cast<char>(GpsBlock[9]));
    GpsHour = static_cast<std::uint16_t>(Bcd2(scan[0]));
    GpsMinute = static_cast<std::uint16_t>(Bcd2(scan[1]));
    GpsSecond = static_cast<std::uint16_t>(Bcd2(scan[2]));
    GpsTimeKnown = true;
    FirstCode = static_cast<std::int16_t>(ReadLE16(scan, 8));
    LastCode = static_cast<std::int16_t>(ReadLE16(scan, 10));
    BaseMhz = ReadLE16(scan, 12) + ReadLE16(scan, 14) * 0.0001;
    SpacingKhz = ReadLE16(scan, 16) * 0.1;
    NumberingFlags = scan[18];
  }
  RtcSecond = scan[19];
  RtcMinute = scan[20];
  RtcHour = scan[21];
  RtcDay = scan[22];
  RtcMonth = scan[23];
  RtcYear = scan[24];
  // The entries and triples of up to 255 channels lie inside the record buffer; 86 are kept.
  const int n = scan[25];
  const int kept = ChannelCount();
  std::memcpy(Entries, r + b, static_cast<std::size_t>(kEntrySize * kept));
  if (Cellular())
    std::memcpy(Triples, r + b + kEntrySize * n, static_cast<std::size_t>(kTripleSize * kept));
  if (RecordType == kes::kTypePocsag) DecodePocsag(r + b);
  if (RecordType == kes::kTypeFlex) DecodeFlex(r + b, std::max(0, recordLength_ - b));
  if (ReductionMode == kReduceBestServer) ChooseBestChannel(Entries, kept, kEntrySize);
  RepeatCount = 1;
}

int KesDumpConverter::ChannelCount() const {
  return std::min<int>(ScanBlock[25], kes::kAverageChannels);
}

unsigned KesDumpConverter::Code(int column) const {
  if (PagingRecord()) return PagerChannel;
  const int i = std::clamp(column, 0, kes::kAverageChannels - 1);
  return ReadLE16(Entries, kEntrySize * i + 3);
}

int KesDumpConverter::Sample(int column) const {
  return Entries[kEntrySize * std::clamp(column, 0, kes::kAverageChannels - 1)];
}

void KesDumpConverter::UseColumnPlan() {
  // The scan's codes, base and spacing and its numbering decide the texts of a code (as words
  // of the values themselves: it is declared for every column).
  const std::uint64_t codes = std::uint64_t{static_cast<std::uint16_t>(FirstCode)} |
                              std::uint64_t{static_cast<std::uint16_t>(LastCode)} << 16 |
                              std::uint64_t{static_cast<std::uint16_t>(NumberingFlags)} << 32 |
                              std::uint64_t{FirmwareNumber < kFirmwareCellular33} << 48;
  ColumnTexts().UsePlanWords(codes, std::bit_cast<std::uint64_t>(BaseMhz),
                             std::bit_cast<std::uint64_t>(SpacingKhz), 3);
}

double KesDumpConverter::Frequency(int column) const {
  const int code = static_cast<std::int16_t>(Code(column));
  if (code < FirstCode || code > LastCode) return 0.0;
  return (code - FirstCode) * SpacingKhz * 0.001 + BaseMhz;
}

long long KesDumpConverter::ChannelNumber(int column) const {
  const long long code = Code(column);
  long long number = code;
  if (NumberingFlags == kes::kOffsetNumberingFlag)
    number = code - 34;
  else if (NumberingFlags == kes::kCellularFlags)
    number = code - (FirmwareNumber < kFirmwareCellular33 ? 34 : 33);
  else
    return code;  // the flags count as a whole: 0x90 numbers nothing
  return number < 1 ? number + 1023 : number;
}

int16_t KesDumpConverter::DataTitles(int16_t next, char* out, char delimiter) {
  return ColumnTitles(next, out, delimiter, ChannelCount(), CheckedParts(Cellular()));
}

[[gnu::always_inline]] inline char* KesDumpConverter::PutColumn(char* out, int column, int signal,
                                                                const KesColumnParts& parts,
                                                                char delimiter) {
  KesColumn v;
  v.signal = signal;
  if (parts.sat) v.sat = Triples[kTripleSize * column];
  if (parts.vmac) v.vmac = Triples[kTripleSize * column + 2];
  return PutColumnValues(
      out, static_cast<std::uint16_t>(Code(column)), [&] { return Frequency(column); },
      [&] { return ChannelNumber(column); }, v, parts, delimiter);
}

DataChunk KesDumpConverter::DataValues(int16_t next, char* out, char delimiter) {
  if (PlainColumns() && !PagingRecord()) {
    return JoinPlainColumns(
        next, out, delimiter, ChannelCount(), kes::kAverageChannels, Cellular(),
        [&] { UseColumnPlan(); },
        [&](int i, char* p, const KesColumnParts& parts) {
          return PutColumn(p, i, parts.signal ? LineSample(i) : 0, parts, delimiter);
        });
  }
  return JoinColumns(next, out, delimiter,
                     [&](std::int16_t n, char* o) { return DataColumn(n, o, delimiter); });
}

char* KesDumpConverter::DataColumn(int16_t next, char* out, char delimiter) {
  const int n = ChannelCount();
  if (NextColumn(next, n, valueColumn_) < 0) return nullptr;
  const KesColumnParts parts = LineParts(next, Cellular(), [&] { UseColumnPlan(); });
  if (ReductionMode != kReduceBestServer && !SkipLeftOutColumns(valueColumn_, n, [](int) {}))
    return nullptr;
  const int i = std::clamp(valueColumn_, 0, kes::kAverageChannels - 1);
  int signal = 0;
  if (parts.signal) signal = PagingRecord() ? PagerRssi : LineSample(i);
  char* end = PutColumn(out, i, signal, parts, delimiter);
  tx::End(end);
  valueColumn_ = ReductionMode == kReduceBestServer ? n : valueColumn_ + 1;
  return end;
}

bool KesDumpConverter::GpsLocked() const {
  return RecordStart[9] & 0x80;
}

KesFieldSources KesDumpConverter::Sources() const {
  KesFieldSources s;
  s.pagingSlot = PendingMode;
  s.gpsLocked = GpsLocked();
  s.coordinateMode = ScanBlock[3];
  s.markerOrX = ReadLE16(ScanBlock, 6);
  s.odometerOrY = ReadLE16(ScanBlock, 4);
  s.typeAbbreviation = kes::TypeAbbreviation(RecordType, true);
  s.speed = RecordType == kes::kTypeFlex ? FlexPhases * 1600LL : PagerBaud;
  return s;
}

char* KesDumpConverter::ProductField(int16_t field, char* p) {
  if (field == 45) return tx::Put(p, GpsRecord[68] & 0x30 ? "VALID" : "INVALID");
  return KesConverter::ProductField(field, p);
}

void KesDumpConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.SetDate(RtcYear, RtcMonth, RtcDay);
  v.SetTime(GpsHour, GpsMinute, GpsSecond);
  v.SetPosition(Latitude, Longitude);
  v.InFielder = true;
  v.X = v.Marker = ReadLE16(ScanBlock, 6);
  v.Y = ReadLE16(ScanBlock, 4);
  // Every channel of the record, in channel order, whatever the receiver boxes say.
  v.ClearReadings();
  const int n = ChannelCount();
  for (int i = 0; i < n; ++i)
    v.AddReading(Frequency(i), static_cast<int>(ChannelNumber(i)), LineSample(i));
}

void KesDumpConverter::Place(LinePlace& place) const {
  PlaceFromRecord(true, place);
  place.HasTime = place.HasTime && GpsTimeKnown;
  // The speed as "GPS Velocity (MPH)" writes it, to a tenth.
  place.HasSpeed = place.HasPosition;
  place.SpeedMph = std::round(GpsVelocity * 0.022356 * 10) / 10;
}

PassResult KesDumpConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                       std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
