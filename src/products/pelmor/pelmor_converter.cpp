#include "products/pelmor/pelmor_converter.h"

#include "convert/record_pass.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "convert/identify.h"
#include "convert/text.h"

namespace polvane {

using namespace pelmor;
namespace tx = text;

namespace pelmor {

std::int64_t ChannelPlan::ChannelNumber(std::int64_t steps) const {
  std::int64_t n = steps - static_cast<std::int64_t>(First & 0xFFFF) + 1;
  if (Wrapped()) n = n > 34 ? n - 34 : n + 990;
  return n < 0 ? 0 : n;
}

double ChannelPlan::TableFrequency(std::int64_t channel) const {
  std::int64_t c = channel;
  if (Wrapped()) c = channel < 991 ? channel + 34 : channel - 990;
  return static_cast<double>(c + static_cast<std::int64_t>(First) - 1) * StepKhz * 0.001;
}

ChannelPlan DecodePlan(const std::uint8_t* p) {
  ChannelPlan plan;
  plan.First = ReadLE32(p, 0);
  plan.Last = ReadLE32(p, 4);
  plan.Step = ReadLE16(p, 8);
  plan.Flags = p[10];
  plan.StepKhz = plan.Step / 256.0;
  return plan;
}

Coordinate Coordinate::FromMilliArcSeconds(std::int32_t v) {
  Coordinate c;
  const std::int32_t q1 = v / 3600000;
  const std::int32_t r1 = v % 3600000;
  c.Decimal = q1 + r1 / 3600000.0;
  c.Degrees = q1 < 0 ? -q1 : q1;
  const std::int32_t a = r1 < 0 ? -r1 : r1;
  c.Minutes = a / 60000;
  const std::int32_t r2 = a % 60000;
  c.DecimalMinutes = c.Minutes + r2 / 60000.0;
  c.Seconds = r2 / 1000;
  return c;
}

Coordinate Coordinate::FromDegrees(double v) {
  Coordinate c;
  c.Decimal = v;
  const double a = std::fabs(v);
  const double degrees = std::trunc(a);
  c.Degrees = static_cast<int>(degrees);
  c.DecimalMinutes = (a - degrees) * 60;
  const double minutes = std::trunc(c.DecimalMinutes);
  c.Minutes = static_cast<int>(minutes);
  c.Seconds = static_cast<int>(std::trunc((c.DecimalMinutes - minutes) * 60));
  return c;
}

void GpsFix::DecodeTime(const std::uint8_t* b) {
  Month = b[4];
  Day = b[5];
  Year = ReadBE16(b, 6);
  Hour = b[8];
  Minute = b[9];
  Second = b[10];
}

void GpsFix::Decode(const std::uint8_t* b) {
  DecodeTime(b);
  Latitude = Coordinate::FromMilliArcSeconds(static_cast<std::int32_t>(ReadBE32(b, 15)));
  Longitude = Coordinate::FromMilliArcSeconds(static_cast<std::int32_t>(ReadBE32(b, 19)));
  LatHemisphere = Latitude.Decimal > 0 ? 'N' : 'S';
  LonHemisphere = Longitude.Decimal > 0 ? 'E' : 'W';
  AltitudeCm = static_cast<std::int32_t>(ReadBE32(b, 23));
  VelocityCmPerS = static_cast<std::int16_t>(ReadBE16(b, 47));
  Status = b[129];
}

const char* GpsFix::StatusName() const {
  static const char* const kNames[8] = {
      "Reserved",      "Reserved",       "Bad Geometry", "Acquiring Satellites",
      "Position Hold", "Propogate Mode", "2D Fix",       "3D Fix"};
  return kNames[(Status >> 5) & 7];
}

void BestServerState::Update(int channel, int rssi) {
  if (Hold) {
    Hold = false;
    BestRssi = HeldRssi;
    BestChannel = HeldChannel;
  } else if (channel <= BestChannel) {
    // A channel not above the best one: the receiver has begun a new sweep.
    Hold = true;
    HeldRssi = rssi;
    HeldChannel = channel;
  }
  if (!Hold && rssi >= BestRssi) {
    BestRssi = rssi;
    BestChannel = channel;
  }
}

}  // namespace pelmor

namespace {

// A test-point coordinate: whole degrees and millionths, negative unless the hemisphere is
// `positive`. The sign is written on its own so that a point less than a degree south or west
// keeps it.
char* PutTpCoordinate(char* p, char hemisphere, std::uint16_t degrees, std::uint32_t millionths,
                      char positive) {
  if (hemisphere != positive && (degrees != 0 || millionths != 0)) *p++ = '-';
  p = tx::PutInt(p, degrees);
  return tx::PutPadded(tx::Put(p, '.'), millionths, 6);
}

}  // namespace

PelmorConverter::PelmorConverter()
    : FixedLayoutConverter(kProductPelmor), samples_(new Sample[kMaxSamples]) {
  for (auto& table : RssiTable)
    for (int j = 0; j < kListEntries; ++j) table[j] = -120;
  std::snprintf(timeLabel_, sizeof timeLabel_, "N/A 00:00:00");
  NoteFixTime();
}

int PelmorConverter::OpenInput(const std::string& path) {
  tableTitlesDue_ = false;
  const int result = ProductConverter::OpenInput(path);
  if (result != 0) return result;
  RecordCount = 0;
  FirstFixPending = true;

  // The window's input format says which header the file has; a file opened without it
  // (a converter driven on its own) is probed.
  const int index = Settings().InputFormat;
  if (index == kProductPelmor || index == kProductPelmorCard)
    fileCode_ = static_cast<std::int16_t>(index);
  else
    fileCode_ = IdentifyProduct(path) == kProductPelmorCard ? kProductPelmorCard : kProductPelmor;
  const bool card = fileCode_ == kProductPelmorCard;
  std::uint8_t header[kCardHeaderSize] = {};
  const int headerSize = card ? kCardHeaderSize : kHeaderSize;
  Input.Read(header, headerSize);
  const std::uint64_t remainder = card ? ReadLE16(header, 4) : ReadLE16(header, 2);
  const std::uint64_t blocks = card ? ReadLE32(header, 6) : ReadLE16(header, 4);
  dataEnd_ = blocks * kBlockSize + remainder;
  if (dataEnd_ == 0) dataEnd_ = Input.Size();
  bodyValid_ = false;
  for (pelmor::BestServerState& b : ListedBestServer) b = pelmor::BestServerState{};

  Fix = GpsFix{};
  NoteFixTime();
  for (auto& plan : ChannelPlans) plan = ChannelPlan{};
  TimeSeen = ConfigurationSeen = SingleSetupSeen = ListSetupSeen = false;
  SampleCount = 0;
  valuesWritten_ = false;
  SetTimeLabel("N/A", 0, 0, 0);
  Sections().SetLabel(TimeLabel());
  return 0;
}

void PelmorConverter::CloseInput() {
  Fix = GpsFix{};
  NoteFixTime();
  ProductConverter::CloseInput();
}

int PelmorConverter::ReadRecord(std::uint8_t* buffer) {
  bodyValid_ = false;
  // The records of the receiver's most frequent layouts (samples, clock, list and table data),
  // where the input's buffer holds the length and the body and the record ends within the
  // data, are taken from there in one step, their copies of sizes known here made inline.
  if (const std::uint8_t* at = Input.Peek(2 + 17)) {
    const int length = ReadLE16(at, 0);
    const std::uint64_t end = Input.Tell() + 2 + static_cast<std::uint64_t>(length);
    if ((length == 6 || length == 8 || length == 16 || length == 17) && end <= dataEnd_) {
      switch (length) {
        case 6:
          std::memcpy(buffer, at + 2, 6);
          break;
        case 8:
          std::memcpy(buffer, at + 2, 8);
          break;
        case 16:
          std::memcpy(buffer, at + 2, 16);
          break;
        default:
          std::memcpy(buffer, at + 2, 17);
          break;
      }
      Input.Pass(2 + static_cast<std::size_t>(length));
      ZeroRecordTail(buffer, length, kLayoutSize);
      lastLength_ = length;
      bodyValid_ = true;
      return length + 2;
    }
  }
  std::uint8_t prefix[2];
  if (!Input.ReadExact(prefix, 2)) return 0;
  const std::uint64_t position = Input.Tell();
  if (position > dataEnd_) return 0;
  const int length = ReadLE16(prefix, 0);
  // Not a record this reader can hold: count 4 bytes and take the next two as a length.
  if (length > kMaxRecord) return 4;
  // A record that would run past the end of the data is not delivered; one that ends exactly
  // there is the last record of the log.
  if (position + length > dataEnd_) return 0;
  if (!Input.ReadExact(buffer, static_cast<std::size_t>(length))) return 0;
  if (length == 0) return 2;  // no type byte: nothing to decode
  // A record shorter than its layout decodes as zeros beyond its end, not as stale bytes.
  ZeroRecordTail(buffer, length, kLayoutSize);
  lastLength_ = length;
  bodyValid_ = true;
  return length + 2;
}

bool PelmorConverter::ReadyToWrite() const {
  if (!TimeSeen || !ConfigurationSeen) return false;
  if (DataKind == kKindSamples) return SingleSetupSeen;
  if (DataKind == kKindList) return ListSetupSeen;
  return true;
}

int PelmorConverter::SampleIndex() const {
  int i = RepeatCount - LinesLeft;
  if (i < 0) i = 0;
  if (i >= kMaxSamples) i = kMaxSamples - 1;
  return i;
}

int PelmorConverter::LineReceiver() const {
  if (Interpolated()) return samples_[SampleIndex()].Receiver;
  return CurrentReceiver;
}

void PelmorConverter::SetTimeLabel(const char* source, int hour, int minute, int second) {
  // Kept as it is given (every fix and clock record gives one); the text is made when a
  // section takes it.
  labelSource_ = source;
  labelTime_[0] = hour;
  labelTime_[1] = minute;
  labelTime_[2] = second;
  labelDue_ = true;
}

const char* PelmorConverter::TimeLabel() {
  if (labelDue_) {
    char* p = tx::Put(timeLabel_, labelSource_);
    p = tx::Put(p, ' ');
    tx::End(tx::Put02Triple(p, labelTime_[0], labelTime_[1], labelTime_[2], ':'));
    labelDue_ = false;
  }
  return timeLabel_;
}

void PelmorConverter::PutTimeLabel(char* label, int size) {
  const char* text = TimeLabel();
  const std::size_t n = strnlen(text, static_cast<std::size_t>(size - 1));
  std::memcpy(label, text, n);
  label[n] = '\0';
}

int16_t PelmorConverter::ParseRecord(std::uint8_t* r) {
  if (!bodyValid_) return kActionNone;
  switch (r[0]) {
    case kGpsFix:
      return ParseFix(r);
    case kConfiguration:
      ConfigurationSeen = true;
      ReceiverActive[0] = r[1] & 1;
      ReceiverActive[1] = r[1] & 2;
      ChannelPlans[0] = DecodePlan(r + 2);
      ChannelPlans[1] = DecodePlan(r + 14);
      return kActionNone;
    case kSamples1:
    case kSamples2:
      return ParseSamples(r, r[0] - kSamples1);
    case kClock:
      TimeBase = kTimeClock;
      TimeSeen = true;
      SingleReceiver = true;
      std::memcpy(ClockBytes, r + 1, kClockSize);
      SetTimeLabel("RTC", ClockBytes[2], ClockBytes[1], ClockBytes[0]);
      return kActionNone;
    case kSingleSetup:
      SingleSetupSeen = true;
      return ParseSetup(r, kSlotSingle);
    case kListSetup:
      ListSetupSeen = true;
      return ParseSetup(r, kSlotList);
    case kListData:
      return ParseListData(r);
    case kTableData:
      return ParseTableData(r);
    case kTpPosition:
      std::memcpy(TpPosition, r + 1, kTpPositionSize);
      return kActionNone;
    case kTpMotion:
      std::memcpy(TpMotion, r + 1, kTpMotionSize);
      return kActionNone;
    default:
      return kActionNone;
  }
}

int16_t PelmorConverter::ParseFix(const std::uint8_t* r) {
  if (DataKind == kKindSamples) TimeBase = kTimeGps;
  TimeSeen = true;
  // Following the records needs only the fix's time (a section's label and times); the
  // conversion opens the file again, which clears the fix.
  if (Converting())
    Fix.Decode(r + 1);
  else
    Fix.DecodeTime(r + 1);
  NoteFixTime();
  SetTimeLabel("GPS", Fix.Hour, Fix.Minute, Fix.Second);
  int16_t action = kActionNone;
  if (Converting()) {
    if (FirstFixPending || DataKind != kKindSamples) {
      // Samples buffered before the first fix have no earlier fix to be placed from.
      FirstFixPending = false;
    } else {
      Interpolate();
      if (ReadyToWrite()) {
        RepeatCount = static_cast<std::int16_t>(SampleCount);
        // Each buffered sample is a line of its own receiver.
        SingleReceiver = true;
        action = kActionWrite;
      }
    }
  }
  PreviousFix.Latitude = Fix.Latitude.Decimal;
  PreviousFix.Longitude = Fix.Longitude.Decimal;
  PreviousFix.Hour = Fix.Hour;
  PreviousFix.Minute = Fix.Minute;
  PreviousFix.Second = Fix.Second;
  SampleCount = 0;
  return action;
}

void PelmorConverter::Interpolate() {
  const int n = SampleCount;
  if (n <= 0) return;
  const auto& p = PreviousFix;
  const std::int64_t t0 = p.Hour * 3600 + p.Minute * 60 + p.Second;
  const std::int64_t t1 = Fix.Hour * 3600 + Fix.Minute * 60 + Fix.Second;
  std::int64_t dt = t1 >= t0 ? t1 - t0 : t0 - t1;
  // A fix more than half a day "before" the previous one is the next day's: the GPS clock
  // passed midnight between the two fixes.
  if (t0 - t1 > 43200) dt = t1 + 86400 - t0;
  const double lat0 = p.Latitude, lon0 = p.Longitude;
  const double dLat = Fix.Latitude.Decimal - lat0, dLon = Fix.Longitude.Decimal - lon0;
  for (int i = 0; i < n; ++i) {
    Sample& s = samples_[i];
    const double f = static_cast<double>(i) / n;
    s.Latitude = f * dLat + lat0;
    s.Longitude = f * dLon + lon0;
    // Whole seconds since the previous fix (i × dt / N, exact), carried into minutes and hours.
    std::int64_t m = i * dt / n;
    s.Second = static_cast<std::uint8_t>((m + p.Second) % 60);
    m = (m + p.Second) / 60;
    s.Minute = static_cast<std::uint8_t>(m <= 0 ? p.Minute : (m + p.Minute) % 60);
    m = (m + p.Minute) / 60;
    s.Hour = static_cast<std::uint8_t>(m <= 0 ? p.Hour : (m + p.Hour) % 24);
  }
}

int16_t PelmorConverter::ParseSamples(const std::uint8_t* r, int receiver) {
  if (!ReceiverChecked(receiver + 1) || Sections().Skipped()) return kActionNone;
  DataKind = kKindSamples;
  int n = lastLength_ - 2;
  if (n < 0) n = 0;
  if (n > kSampleValues) n = kSampleValues;  // values beyond the sixteenth are not kept
  for (int j = 0; j < n; ++j) RssiTable[receiver][j] = static_cast<std::int8_t>(r[1 + j]);
  lastSampleIndex_ = n - 1;
  if (TimeBase == kTimeClock) {
    RepeatCount = 1;
    if (!ReadyToWrite()) return kActionNone;
    if (Converting()) FreshData[receiver] = true;
    // The clock gives the sample its time at once: one line, of this record's receiver.
    CurrentReceiver = receiver;
    SingleReceiver = true;
    return kActionWrite;
  }
  // Buffered until the next fix; a sample beyond the store's capacity is dropped. Following
  // the records, nothing reads the buffer (the conversion opens the file again, which empties
  // it).
  if (!Converting()) return kActionNone;
  FreshData[receiver] = true;
  if (SampleCount >= kMaxSamples) return kActionNone;
  Sample& s = samples_[SampleCount++];
  s.Receiver = static_cast<std::uint8_t>(receiver);
  s.LastIndex = static_cast<std::int8_t>(n - 1);
  for (int j = 0; j < n; ++j) s.Values[j] = static_cast<std::int8_t>(r[1 + j]);
  return kActionNone;
}

int16_t PelmorConverter::ParseSetup(const std::uint8_t* r, std::int16_t slot) {
  // Every set-up record begins a section, labelled with the last time the log gave.
  const bool write = TrackSection(
      slot, [this](char* label, int size) { PutTimeLabel(label, size); }, true);
  if (!write) return kActionNone;
  if (slot == kSlotSingle) {
    const auto f1 = static_cast<std::int32_t>(ReadLE32(r, 1));
    const auto f2 = static_cast<std::int32_t>(ReadLE32(r, 5));
    for (int j = 0; j < kSingleEntries; ++j) {
      ChannelList[0][j] = f1;
      ChannelList[1][j] = f2;
    }
    titleKind_ = kKindSamples;
  } else {
    for (int j = 0; j < kListEntries; ++j) {
      ChannelList[0][j] = static_cast<std::int32_t>(ReadLE32(r, 1 + 4 * j));
      ChannelList[1][j] = static_cast<std::int32_t>(ReadLE32(r, 41 + 4 * j));
    }
    titleKind_ = kKindList;
  }
  return kActionTitles;
}

int16_t PelmorConverter::ParseListData(const std::uint8_t* r) {
  if (Sections().Skipped()) return kActionNone;
  DataKind = kKindList;
  for (int e = 0; e < kListDataEntries; ++e) {
    const std::uint8_t* entry = r + 1 + 3 * e;
    const int receiver = entry[0];
    const int index = entry[1];
    if (receiver >= kReceivers || index >= kTableSize) continue;
    RssiTable[receiver][index] = static_cast<std::int8_t>(entry[2]);
  }
  RepeatCount = 1;
  if (!ReadyToWrite()) return kActionNone;
  // A list record holds both receivers: one line per selected receiver.
  SingleReceiver = false;
  return kActionWrite;
}

int16_t PelmorConverter::ParseTableData(const std::uint8_t* r) {
  const bool starts = Sections().Kind() != kSlotTable;
  const bool write =
      TrackSection(kSlotTable, [this](char* label, int size) { PutTimeLabel(label, size); });
  // The titles line is due again at the first record written in a table section.
  if (Converting() && starts) tableTitlesDue_ = true;
  if (!write) return kActionNone;
  DataKind = kKindTable;
  std::memset(ChannelTable, 0, sizeof ChannelTable);
  bool present[kReceivers] = {}, listed[kReceivers] = {};
  const bool list = !KeptChannels.Empty();
  for (int k = 0; k < kTableDataEntries; ++k) {
    const std::uint8_t* entry = r + 1 + 4 * k;
    const int receiver = entry[0];
    if (receiver >= kReceivers) continue;
    const int channel = static_cast<std::int16_t>(ReadLE16(entry, 1)) + 1;
    const auto rssi = static_cast<std::int8_t>(entry[3]);
    ChannelTable[receiver][k] = static_cast<std::uint16_t>(channel);
    RssiTable[receiver][k] = rssi;
    BestServer[receiver].Update(ChannelTable[receiver][k], rssi);
    present[receiver] = true;
    // With a channel list, best server follows the sweeps of its channels alone.
    if (list && KeptChannels.Contains(ChannelTable[receiver][k])) {
      ListedBestServer[receiver].Update(ChannelTable[receiver][k], rssi);
      listed[receiver] = true;
    }
  }
  // Best server writes the record when a receiver's sweep ended in it: the receiver began a
  // new sweep at its last entry here. Only that receiver's line is due; a receiver without
  // entries in this record, or still in its first sweep, has no finished sweep to report.
  for (int rx = 0; rx < kReceivers; ++rx)
    sweepEnded_[rx] = list ? listed[rx] && ListedBestServer[rx].SweepDone()
                           : present[rx] && BestServer[rx].SweepDone();
  if (ReductionMode == kReduceBestServer && !sweepEnded_[0] && !sweepEnded_[1]) {
    RepeatCount = 0;
    return kActionNone;
  }
  RepeatCount = 1;
  if (!ReadyToWrite()) return kActionNone;
  titleKind_ = kKindTable;
  SingleReceiver = false;
  const int16_t action = tableTitlesDue_ ? kActionTitlesThenWrite : kActionWrite;
  tableTitlesDue_ = false;
  return action;
}

bool PelmorConverter::SelectReceiver(int16_t receiver) {
  if (receiver < 1 || receiver > kReceivers) return false;
  const int r = receiver - 1;
  CurrentReceiver = r;
  bool select =
      ReceiverChecked(receiver) && ReceiverActive[r] && (DataKind != kKindSamples || FreshData[r]);
  if (ReductionMode == kReduceBestServer && DataKind == kKindTable && !sweepEnded_[r])
    select = false;
  if (select) FreshData[r] = false;
  return select;
}

int16_t PelmorConverter::DataTitles(int16_t next, char* out, char delimiter) {
  if (next != 0) return -1;
  const std::int16_t kind = titleKind_ != kKindNone ? titleKind_ : DataKind;
  const bool best = ReductionMode == kReduceBestServer;
  int triples = 0;
  if (kind == kKindSamples) triples = 1;
  if (kind == kKindList) triples = best ? 1 : kListEntries;
  if (kind == kKindTable) triples = best ? 1 : kTableDataEntries;
  PutColumnTitles(out, delimiter, triples);
  return 0;
}

void PelmorConverter::UsePlanTexts(int rx, bool table) {
  // The first frequency, the step and the numbering decide every text.
  const ChannelPlan& plan = ChannelPlans[rx];
  (table ? tableTexts_ : listTexts_)[rx].UsePlanWords(
      std::uint64_t{plan.First} | std::uint64_t{plan.Flags} << 32,
      std::bit_cast<std::uint64_t>(plan.StepKhz), 0, 2);
}

[[gnu::always_inline]] inline char* PelmorConverter::PutEntry(char* p, char* start, int rx, int j,
                                                              const EntryParts& parts) {
  const std::int32_t listFrequency = ChannelList[rx][j];
  const bool listed = listFrequency != 0 || parts.table;
  if (ChannelTable[rx][j] == 0 && !listed) return p;
  const ChannelPlan& plan = ChannelPlans[rx];
  const char delimiter = parts.delimiter;
  const bool frequency = listed && parts.frequency, channel = listed && parts.channel;
  const std::int64_t above = std::int64_t{listFrequency} - std::int64_t{plan.First};
  if (parts.table) {
    const std::uint16_t number = ChannelTable[rx][j];
    p = tableTexts_[rx].Put(
        p, start, delimiter, frequency, channel, number, 5,
        [&] { return plan.TableFrequency(number); }, [&] { return number; });
  } else if (above >= 0 && above <= 0xFFFF) {
    p = listTexts_[rx].Put(
        p, start, delimiter, frequency, channel, static_cast<std::uint16_t>(above), 5,
        [&] { return plan.Frequency(listFrequency); },
        [&] { return plan.ChannelNumber(listFrequency); });
  } else {
    if (frequency)
      p = tx::PutFixed(tx::Join(p, start, delimiter), plan.Frequency(listFrequency), 5);
    if (channel) p = tx::PutInt(tx::Join(p, start, delimiter), plan.ChannelNumber(listFrequency));
  }
  if (parts.rssi) {
    if (parts.samples)
      p = tx::PutByteValue(tx::Join(p, start, delimiter), parts.samples[j]);
    else if (listed)
      p = tx::PutByteValue(tx::Join(p, start, delimiter), RssiTable[rx][j]);
  }
  return p;
}

bool PelmorConverter::KeptEntry(int rx, int j) const {
  if (KeptChannels.Empty()) return true;
  std::int64_t channel = 0;
  if (DataKind == kKindTable)
    channel = ChannelTable[rx][j];
  else if (ChannelList[rx][j] != 0)
    channel = ChannelPlans[rx].ChannelNumber(ChannelList[rx][j]);
  else
    return false;
  return channel >= 0 && channel <= 65535 && KeptChannels.Contains(static_cast<int>(channel));
}

DataChunk PelmorConverter::DataValues(int16_t, char* out, char delimiter) {
  if (valuesWritten_) {
    valuesWritten_ = false;
    return {-1, out};
  }
  valuesWritten_ = true;
  char* p = out;
  tx::End(p);
  const int rx = LineReceiver();
  if (ReductionMode == kReduceBestServer && DataKind == kKindTable) {
    const BestServerState& b = KeptChannels.Empty() ? BestServer[rx] : ListedBestServer[rx];
    if (Settings().Data.Frequency)
      p = tx::PutFixed(tx::Join(p, out, delimiter), ChannelPlans[rx].TableFrequency(b.BestChannel),
                       5);
    if (Settings().Data.Channel) p = tx::PutInt(tx::Join(p, out, delimiter), b.BestChannel);
    if (Settings().Data.Rssi) p = tx::PutInt(tx::Join(p, out, delimiter), b.BestRssi);
    return {0, tx::End(p)};
  }
  int first = 0, last = -1;
  switch (DataKind) {
    case kKindSamples:
      last = Interpolated() ? samples_[SampleIndex()].LastIndex : lastSampleIndex_;
      break;
    case kKindList:
      if (ReductionMode == kReduceBestServer) {
        // Only the strongest listed entry; the first of equal levels wins.
        int level = -150;
        for (int j = 0; j < kListEntries; ++j)
          if (ChannelList[rx][j] != 0 && RssiTable[rx][j] > level && KeptEntry(rx, j)) {
            level = RssiTable[rx][j];
            first = last = j;
          }
      } else {
        last = kListEntries - 1;
      }
      break;
    case kKindTable:
      last = kTableDataEntries - 1;
      break;
    default:
      break;
  }
  UsePlanTexts(rx, DataKind == kKindTable);
  // What every entry of the line shares, settled once.
  const DataBoxes& data = Settings().Data;
  EntryParts parts;
  parts.table = DataKind == kKindTable;
  parts.frequency = data.Frequency;
  parts.channel = data.Channel;
  parts.rssi = data.Rssi;
  parts.delimiter = delimiter;
  parts.samples = Interpolated() ? samples_[SampleIndex()].Values : nullptr;
  const bool everyEntry = KeptChannels.Empty();
  for (int j = first; j <= last; ++j)
    if (everyEntry || KeptEntry(rx, j)) p = PutEntry(p, out, rx, j, parts);
  return {0, tx::End(p)};
}

Coordinate PelmorConverter::LineLatitude() const {
  if (Buffered()) return Coordinate::FromDegrees(samples_[SampleIndex()].Latitude);
  return Fix.Latitude;
}

Coordinate PelmorConverter::LineLongitude() const {
  if (Buffered()) return Coordinate::FromDegrees(samples_[SampleIndex()].Longitude);
  return Fix.Longitude;
}

void PelmorConverter::LineTime(int& hour, int& minute, int& second) const {
  if (Buffered()) {
    const Sample& s = samples_[SampleIndex()];
    hour = s.Hour;
    minute = s.Minute;
    second = s.Second;
    return;
  }
  hour = Fix.Hour;
  minute = Fix.Minute;
  second = Fix.Second;
}

namespace {

void SetFields(CoordinateFields& f, const Coordinate& c, char hemisphere) {
  f.Decimal = c.Decimal;
  f.DecimalPlaces = 6;
  f.Degrees = c.Degrees;
  f.Minutes = c.Minutes;
  f.DecimalMinutesForm = CoordinateFields::MinuteForm::kDecimal;
  f.DecimalMinutes = c.DecimalMinutes;
  f.Seconds = c.Seconds;
  f.Hemisphere = hemisphere;
}

}  // namespace

void PelmorConverter::FillCommonFields(CommonFields& f) const {
  f.LineFeed = true;
  f.HasPosition = true;
  SetFields(f.Latitude, LineLatitude(), Fix.LatHemisphere);
  SetFields(f.Longitude, LineLongitude(), Fix.LonHemisphere);
  int hour, minute, second;
  LineTime(hour, minute, second);
  f.SetGps(Fix.StatusName(), {hour, minute, second});
  f.HasRecordNumber = true;
  const std::uint8_t* c = ClockBytes;
  f.SetClock({c[4], c[3], c[5]}, {c[2], c[1], c[0]});
}

char* PelmorConverter::ProductField(int16_t field, char* p) {
  const int rx = LineReceiver();
  const std::uint8_t* tp = TpPosition;
  switch (field) {
    case 22:
      p = tx::Put02(p, Fix.Month);
      p = tx::Put02(tx::Put(p, '/'), Fix.Day);
      p = tx::PutPadded(tx::Put(p, '/'), Fix.Year, 4);
      break;
    case 23:
      p = tx::Put02(p, Fix.Month);
      break;
    case 24:
      p = tx::Put02(p, Fix.Day);
      break;
    case 25:
      p = tx::Put02(p, Fix.Year);
      break;
    case 26:
      p = tx::PutFixed(p, Fix.AltitudeCm * 0.01, 0);
      break;
    case 27:
      p = tx::PutFixed(p, Fix.VelocityCmPerS * 0.02237, 0);
      break;
    case 29:
      p = tx::Put02(p, ClockBytes[6] % 100);
      break;
    case 46:
      p = tx::PutFixed(p, ChannelPlans[rx].Frequency(ChannelPlans[rx].First), 5);
      break;
    case 47:
      p = tx::PutFixed(p, ChannelPlans[rx].Frequency(ChannelPlans[rx].Last), 5);
      break;
    case 48:
      p = tx::PutFixed(p, ChannelPlans[rx].StepKhz, 2);
      break;
    case 49:
      p = tx::PutInt(p, rx + 1);
      break;
    case 50:
      p = PutTpCoordinate(p, static_cast<char>(tp[6]), ReadLE16(tp, 7), ReadLE32(tp, 9), 'N');
      break;
    case 51:
      p = PutTpCoordinate(p, static_cast<char>(tp[13]), ReadLE16(tp, 14), ReadLE32(tp, 16), 'E');
      break;
    case 52:
      p = tx::Put02(p, tp[4] + 1);
      p = tx::Put02(tx::Put(p, '/'), tp[3]);
      p = tx::Put02(tx::Put(p, '/'), tp[5] + 1900);
      break;
    case 53:
      p = tx::Put02Triple(p, tp[2], tp[1], tp[0], ':');
      break;
    case 54:
      p = tx::PutInt(p, static_cast<std::int16_t>(ReadLE16(TpMotion, 2)));
      break;
    case 55:
      p = tx::PutInt(p, ReadLE16(TpMotion, 4));
      break;
    default:
      break;
  }
  return p;
}

void PelmorConverter::FillFixedValues(FixedValues& v, FixedPiece piece) const {
  const bool line = piece == FixedPiece::kRecord;
  v.SetDate(ClockBytes[5], ClockBytes[4], ClockBytes[3]);
  const Coordinate lat = line ? LineLatitude() : Fix.Latitude;
  const Coordinate lon = line ? LineLongitude() : Fix.Longitude;
  if (line) {
    LineTime(v.Hour, v.Minute, v.Second);
  } else {
    v.Hour = Fix.Hour;
    v.Minute = Fix.Minute;
    v.Second = Fix.Second;
  }
  // The "G" line: latitude degrees and fraction as magnitudes, the longitude signed.
  v.GraysonDegrees = lat.Degrees;
  v.GraysonMillionths = FixedValues::Millionths(lat.DecimalMinutes / 60);
  v.GraysonLongitude = lon.Decimal;
  v.Latitude = lat.Decimal;
  v.Longitude = lon.Decimal;
  v.PlanetDecimals = 5;
  // The reading: table entry 0 of the first checked receiver, in "Fast Data" only. The
  // layouts take the level as a magnitude below 0 dBm.
  const int n = FirstCheckedReceiver(*this, kReceivers);
  if (n != 0 && FastDataChosen(*this)) {
    const int channel = ChannelTable[n - 1][0];
    const int rssi = RssiTable[n - 1][0];
    v.SetReading(ChannelPlans[n - 1].TableFrequency(channel), channel, rssi < 0 ? -rssi : 0);
  } else {
    v.SetReading(0, 0, 0);
  }
}

// The record's time as the layouts' values (and Place) have it, without its position.
bool PelmorConverter::RecordSeconds(double& seconds) const {
  if (!TimeSeen) return false;
  int hour = 0, minute = 0, second = 0;
  LineTime(hour, minute, second);
  return SecondsOfDay(hour, minute, second, seconds);
}

bool PelmorConverter::RecordTime(std::uint32_t& seconds) const {
  if (!TimeSeen) return false;
  if (!Buffered()) {
    seconds = fixSeconds_;
    return fixTimeValid_;
  }
  int hour = 0, minute = 0, second = 0;
  LineTime(hour, minute, second);
  return WholeSecondsOfDay(hour, minute, second, seconds);
}

void PelmorConverter::NoteFixTime() {
  fixTimeValid_ = WholeSecondsOfDay(Fix.Hour, Fix.Minute, Fix.Second, fixSeconds_);
}

void PelmorConverter::Place(LinePlace& place) const {
  PlaceFromRecord(true, place);
  // Before the log's first fix or clock record the decoder holds its start values, not a time
  // of the drive (no line is written then; a section that begins there takes its start from
  // its first time).
  if (!TimeSeen) place.HasTime = place.HasDate = false;
  // The speed as "GPS Velocity (MPH)" writes it, in whole miles per hour.
  place.HasSpeed = place.HasPosition;
  place.SpeedMph = std::round(Fix.VelocityCmPerS * 0.02237);
}

PassResult PelmorConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                      std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
