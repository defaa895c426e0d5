#include "products/selvor/selvor_converter.h"

#include "convert/record_pass.h"

#include <algorithm>
#include <cstring>

#include "convert/best_entry.h"

namespace polvane {

using namespace selvor;
namespace tx = text;

namespace {

// Separates the items of one data-group call: a delimiter before every item but the first.
}  // namespace

SelvorConverter::SelvorConverter() : FixedLayoutConverter(kProductSelvor) {
  TitlesPending = true;
}

int SelvorConverter::ReadRecord(std::uint8_t* buffer) {
  std::uint8_t prefix[4];
  if (!Input.ReadExact(prefix, 4)) return 0;
  const auto length = static_cast<std::int32_t>(ReadLE32(prefix, 0));
  if (length <= 0 || length > kMaxRecord) {
    // Not a record length. The four bytes are passed over, and the next four are read as a
    // length again; the buffer is marked so that parsing it yields nothing.
    buffer[0] = 0;
    return 4;
  }
  // A pass that only follows the records (the index) looks at the head of a fast record
  // alone: the rest of it is passed over, not copied.
  const int first = std::min(length, kScanRecord);
  if (!Input.ReadExact(buffer, static_cast<std::size_t>(first))) return 0;
  int kept = length;
  if (first < length) {
    const auto rest = static_cast<std::size_t>(length - first);
    if (!Converting() && buffer[0] == 'F') {
      if (!Input.PassExact(rest)) return 0;
      kept = first;
    } else if (!Input.ReadExact(buffer + first, rest)) {
      return 0;
    }
  }
  // A record shorter than its layout decodes as zeros beyond its end, not as stale bytes.
  ZeroRecordTail(buffer, kept, kLongestLayout);
  return length + 4;
}

void SelvorConverter::DecodeHead(const std::uint8_t* r) {
  std::memcpy(Head, r, kHead);
  Latitude = DecodeBcdPosition(r + 8, static_cast<char>(r[12]));
  Longitude = DecodeBcdPosition(r + 13, static_cast<char>(r[17]));
  GpsHour = static_cast<std::uint16_t>(Bcd2(r[18]));
  GpsMinute = static_cast<std::uint16_t>(Bcd2(r[19]));
  GpsSecond = static_cast<std::uint16_t>(Bcd2(r[20]));
}

int16_t SelvorConverter::ParseRecord(std::uint8_t* r) {
  const std::uint8_t type = r[0];
  if (type != 'F' && type != 'S') return kActionNone;  // the identification record among them
  const bool fast = type == 'F';
  DecodeHead(r);
  if (!fast) std::memcpy(ScanRecord, r, kScanRecord);
  RepeatCount = 1;
  averagedLine_ = false;
  const bool write = TrackSection(fast ? kSlotFast : kSlotScan, [this](char* label, int) {
    tx::End(tx::Put02Triple(label, GpsHour, GpsMinute, GpsSecond, ':'));
  });
  if (!write) return kActionNone;
  if (fast) {
    for (int n = 1; n <= kReceivers; ++n)
      if (ReceiverChecked(n))
        std::memcpy(FastBlocks[n - 1], r + kHead + (n - 1) * kFastBlock, kFastBlock);
    if (Averaging()) {
      // One line per window mean, as many as the receiver that completed the most windows.
      averagedLine_ = true;
      RepeatCount = 0;
      for (int n = 1; n <= kReceivers; ++n) {
        if (!ReceiverChecked(n)) continue;
        const int16_t means = AverageSamples(static_cast<int16_t>(n));
        if (means > RepeatCount) RepeatCount = means;
      }
      if (RepeatCount == 0) return kActionNone;
    }
  } else if (ReductionMode == kReduceBestServer) {
    ChooseBestEntries();
  }
  return kActionWrite;
}

void SelvorConverter::ChooseBestEntries() {
  // Without a channel list only a channel code of 0 leaves an entry out.
  if (KeptChannels.Empty()) {
    for (int n = 1; n <= kReceivers; ++n)
      BestEntry[n - 1] =
          StrongestTableEntry(ScanRecord + kTableOffset + (n - 1) * kScanEntries * kEntrySize,
                              kScanEntries, kEntrySize);
    return;
  }
  for (int n = 1; n <= kReceivers; ++n)
    BestEntry[n - 1] = StrongestEntry(
        kScanEntries, false,
        [&](int e) { return ScanCode(n, e) != 0 && KeptChannels.Contains(ScanChannel(n, e)); },
        [&](int e) { return ScanLevel(n, e); });
}

double SelvorConverter::FastFrequency(int n) const {
  return PlanFrequency(FastBlocks[n - 1] + kFastPlanOffset, FastCode(n));
}

int SelvorConverter::FastChannel(int n) const {
  return ChannelNumber(FastCode(n), FastBlocks[n - 1][kFastPlanOffset]);
}

int SelvorConverter::FastSignal(int n) const {
  return static_cast<int>(SumBytes(FastBlocks[n - 1] + kFastSampleOffset, kFastSamples) >> 9);
}

int SelvorConverter::LineSignal(int n) const {
  return averagedLine_ ? AverageArea().Mean(n - 1, LineIndex(), FastSignal(n)) : FastSignal(n);
}

int16_t SelvorConverter::LambdaWindow(int16_t receiver) {
  if (receiver < 1 || receiver > kReceivers) return 1;
  return AverageWindows::Length(kLambdaConstant, FastFrequency(receiver) * 1e6,
                                LambdaMetresPerSecond);
}

int16_t SelvorConverter::AverageSamples(int16_t receiver) {
  if (receiver < 1 || receiver > kReceivers) return 0;
  return Windows().Average(receiver - 1, receiver - 1, FastBlocks[receiver - 1] + kFastSampleOffset,
                           kFastSamples, LambdaWindow(receiver));
}

std::uint16_t SelvorConverter::ScanCode(int n, int e) const {
  return ReadLE16(ScanRecord, kTableOffset + ((n - 1) * kScanEntries + e) * kEntrySize);
}

int SelvorConverter::ScanLevel(int n, int e) const {
  return ScanRecord[kTableOffset + ((n - 1) * kScanEntries + e) * kEntrySize + 2];
}

int SelvorConverter::ScanChannel(int n, int e) const {
  return ChannelNumber(ScanCode(n, e), ScanRecord[kSetupOffset + (n - 1) * kSetupSize]);
}

double SelvorConverter::ScanFrequency(int n, int e) const {
  return PlanFrequency(ScanRecord + kSetupOffset + (n - 1) * kSetupSize, ScanCode(n, e));
}

int16_t SelvorConverter::DataTitles(int16_t next, char* out, char delimiter) {
  out[0] = '\0';
  if (!TitlesPending) return -1;
  if (next == 0) {
    titleReceiver_ = 0;
    // The titles follow the Scan Type choice, not the kinds of record in the file.
    const int scanType = Settings().ScanType;
    if (scanType == 0) titleGroups_ = kScanEntries;
    if (scanType == 1) titleGroups_ = 1;
  }
  const int n = titleReceiver_ + 1;
  int16_t result = 1;
  if (n <= kReceivers && ReceiverChecked(n)) {
    const bool freq = Settings().Data.Frequency;
    const bool chan = Settings().Data.Channel;
    const bool rssi = Settings().Data.Rssi;
    const int groups = ReductionMode == kReduceBestServer ? 1 : titleGroups_;
    char* p = out;
    auto title = [&](const char* what) {
      p = tx::Put(tx::Join(p, out, delimiter), "\"Rec#");
      p = tx::Put(tx::Put(tx::PutInt(p, n), ' '), what);
      p = tx::Put(p, '"');
    };
    for (int g = 0; g < groups; ++g) {
      if (freq) title("Frequency");
      if (chan) title("Channel");
      if (rssi) title("RSSI");
    }
    tx::End(p);
    result = 0;
  }
  if (++titleReceiver_ > 1) TitlesPending = false;
  return result;
}

[[gnu::always_inline]] inline char* SelvorConverter::PutScanEntry(char* p, int n, int e,
                                                                  const EntryTableParts& parts) {
  char* start = p;
  const std::uint8_t* entry = parts.table + e * kEntrySize;
  p = parts.texts->Put(
      p, start, parts.delimiter, parts.frequency, parts.channel, ReadLE16(entry, 0), 4,
      [&] { return ScanFrequency(n, e); }, [&] { return ScanChannel(n, e); });
  if (parts.rssi) p = tx::PutByteValue(tx::Put(tx::Join(p, start, parts.delimiter), '-'), entry[2]);
  return p;
}

DataChunk SelvorConverter::DataValues(int16_t next, char* out, char delimiter) {
  out[0] = '\0';
  if (next == 0)
    valueReceiver_ = 0;
  else if (valueReceiver_ > 1)
    return {-1, out};
  const int n = ++valueReceiver_;
  if (!ReceiverChecked(n)) return {1, out};
  char* p = out;
  if (Sections().Kind() == kSlotScan) {
    // The receiver's set-up: flags, base frequency, fraction, spacing and base code.
    const std::uint8_t* setup = ScanRecord + kSetupOffset + (n - 1) * kSetupSize;
    scanTexts_[n - 1].UsePlan(setup, 9);
    const DataBoxes& data = Settings().Data;
    const EntryTableParts parts{
        data.Frequency,     data.Channel,
        data.Rssi,          delimiter,
        &scanTexts_[n - 1], ScanRecord + kTableOffset + (n - 1) * kScanEntries * kEntrySize};
    const bool best = ReductionMode == kReduceBestServer;
    const int first = best ? BestEntry[n - 1] : 0;
    for (int e = first; e >= 0 && e < kScanEntries; ++e) {
      const int channel = ChannelNumber(ReadLE16(parts.table, e * kEntrySize), setup[0]);
      if (channel == 0) break;
      if (!KeptChannels.Takes(channel)) continue;
      p = PutScanEntry(tx::Join(p, out, delimiter), n, e, parts);
      if (best) break;
    }
  } else if (Sections().Kind() == kSlotFast && KeptChannels.Takes(FastChannel(n))) {
    const bool boxes[3] = {Settings().Data.Frequency, Settings().Data.Channel,
                           Settings().Data.Rssi};
    for (int k = 0; k < 3; ++k) {
      if (!boxes[k]) continue;
      p = tx::Join(p, out, delimiter);
      p = FieldValue(static_cast<int16_t>(100 * n + k + 1), p);
    }
  }
  return {0, tx::End(p)};
}

void SelvorConverter::FillCommonFields(CommonFields& f) const {
  f.LineFeed = true;
  f.SetPosition(Latitude, Longitude, 4);
  f.SetGps(GpsValid() ? "OK" : "NO", {GpsHour, GpsMinute, GpsSecond});
  f.SetClock({Head[5], Head[4], Head[6]}, {Head[3], Head[2], Head[1]});
}

char* SelvorConverter::ProductField(int16_t field, char* p) {
  switch (field) {
    case 29:
      return tx::PutInt(p, Marker());
    case 101:
    case 201:
      return tx::PutFixed(p, FastFrequency(field / 100), 4);
    case 102:
    case 202:
      return tx::PutInt(p, FastChannel(field / 100));
    case 103:
    case 203:
      return tx::PutByteValue(tx::Put(p, '-'), LineSignal(field / 100));
    default:
      return p;
  }
}

SelvorConverter::Reading SelvorConverter::FixedReading() const {
  Reading reading;
  // The writers look at the Scan Type choice, not at the kind of the current record.
  const int n = FirstCheckedReceiver(*this, kReceivers);
  if (n == 0 || !FastDataChosen(*this)) return reading;
  reading.Frequency = FastFrequency(n);
  reading.Code = FastCode(n);
  reading.Signal = LineSignal(n);
  return reading;
}

void SelvorConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.SetDate(Head[6], Head[5], Head[4]);
  v.SetTime(GpsHour, GpsMinute, GpsSecond);
  v.SetPosition(Latitude, Longitude);
  const Reading r = FixedReading();
  v.SetReading(r.Frequency, r.Code, r.Signal);
}

void SelvorConverter::Place(LinePlace& place) const {
  PlaceFromRecord(GpsValid(), place);
}

PassResult SelvorConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                      std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
