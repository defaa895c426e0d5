#include "products/tarvik/tarvik_converter.h"

#include "convert/record_pass.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "convert/best_entry.h"

namespace polvane {

using namespace tarvik;
namespace tx = text;

namespace {

// The firmware version text as a number times 100, truncated toward zero.
std::int16_t VersionTimes100(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  double v = 0;
  std::from_chars(s, s + std::strlen(s), v);
  double scaled = v * 100;
  if (!(scaled > -32768.0)) return scaled < 0 ? -32768 : 0;  // NaN reads as 0
  if (scaled > 32767.0) return 32767;
  return static_cast<std::int16_t>(scaled);
}

}  // namespace

TarvikConverter::TarvikConverter() : FixedLayoutConverter(kProductTarvik) {
  TitlesPending = true;
}

int TarvikConverter::OpenInput(const std::string& path) {
  FirmwareVersion = -1;
  return ProductConverter::OpenInput(path);
}

int TarvikConverter::ReadRecord(std::uint8_t* buffer) {
  std::int64_t skipped = 0;
  std::uint8_t prefix[4];
  for (;;) {
    if (!Input.ReadExact(prefix, 4)) return 0;
    std::uint32_t length = ReadLE32(prefix, 0);
    if (length == 0 || length > kMaxRecord) {
      // Not a plausible length: try again one byte further on.
      ++skipped;
      Input.Skip(-3);
      continue;
    }
    const std::uint32_t head = length < kNewHeader ? length : kNewHeader;
    if (!Input.ReadExact(buffer, head)) return 0;
    // Indexing classifies fast and scan records by their header alone: the receiver data is
    // stepped over rather than copied.
    const bool headerOnly =
        !Converting() && !Gathering().Active() && (buffer[0] == 'F' || buffer[0] == 'S');
    if (headerOnly ? !Input.Skip(length - head) : !Input.ReadExact(buffer + head, length - head))
      return 0;
    // A record shorter than its layout decodes as zeros beyond its end, not as stale bytes.
    ZeroRecordTail(buffer, static_cast<int>(headerOnly ? head : length), kLongestRecord);
    std::int64_t consumed = static_cast<std::int64_t>(length) + 4 + skipped;
    return consumed > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(consumed);
  }
}

void TarvikConverter::ParseIdentification(const std::uint8_t* r) {
  std::memset(ProductText, 0, sizeof ProductText);
  std::memset(VersionText, 0, sizeof VersionText);
  std::int32_t n1 = static_cast<std::int32_t>(ReadLE32(r, 1));
  if (n1 < 0 || n1 > 511) return;
  std::memcpy(ProductText, r + 5, n1);
  std::int32_t n2 = static_cast<std::int32_t>(ReadLE32(r, 5 + n1));
  if (n2 < 0 || n2 > 63) return;
  std::memcpy(VersionText, r + 9 + n1, n2);
  std::snprintf(MessageText, sizeof MessageText, "%s %s\n", ProductText, VersionText);
  FirmwareVersion = VersionTimes100(VersionText);
}

void TarvikConverter::DecodeHeader(const std::uint8_t* r) {
  const int size = HeaderSize();
  std::memcpy(Header, r, size);
  if (size == kOldHeader) {
    Latitude = DecodeBcdPosition(r + 9, static_cast<char>(r[13]));
    Longitude = DecodeBcdPosition(r + 14, static_cast<char>(r[18]));
    GpsHour = static_cast<std::uint16_t>(Bcd2(r[19]));
    GpsMinute = static_cast<std::uint16_t>(Bcd2(r[20]));
    GpsSecond = static_cast<std::uint16_t>(Bcd2(r[21]));
    return;
  }
  GpsHour = r[25];
  GpsMinute = r[26];
  GpsSecond = r[27];
  Latitude = DecodeBinaryPosition(static_cast<std::int32_t>(ReadBE32(r, 9)), 'N', 'S');
  Longitude = DecodeBinaryPosition(static_cast<std::int32_t>(ReadBE32(r, 13)), 'E', 'W');
  Altitude = static_cast<std::int32_t>(ReadBE32(r, 17)) / 100;
  Velocity =
      static_cast<std::int32_t>(static_cast<std::int64_t>(ReadBE16(r, 21)) * 22356 / 1000000);
}

int16_t TarvikConverter::ParseRecord(std::uint8_t* r) {
  const std::uint8_t type = r[0];
  if (type == 'I') {
    ParseIdentification(r);
    return kActionNone;
  }
  if (type != 'F' && type != 'S') return kActionNone;
  const bool fast = type == 'F';
  DecodeHeader(r);
  RepeatCount = 1;
  averagedLine_ = false;
  const bool write = TrackSection(fast ? kSlotFast : kSlotScan, [this](char* label, int size) {
    if (size > 8) tx::End(tx::Put02Triple(label, GpsHour, GpsMinute, GpsSecond, ':'));
  });
  if (!write) return kActionNone;
  const std::uint8_t* body = r + HeaderSize();
  if (fast) {
    // Only the checked receivers take the record's blocks; with all four checked, in one copy.
    bool all = true;
    for (int n = 1; n <= 4; ++n) all = all && ReceiverChecked(n);
    if (all) {
      std::memcpy(FastBlocks, body, sizeof FastBlocks);
    } else {
      for (int n = 1; n <= 4; ++n)
        if (ReceiverChecked(n))
          std::memcpy(FastBlocks[n - 1], body + (n - 1) * kFastBlock, kFastBlock);
    }
    if (Averaging()) {
      // One line per window mean: as many lines as the receiver that completed the most
      // windows in this sweep; none when no window closed.
      averagedLine_ = true;
      RepeatCount = 0;
      for (int n = 1; n <= 4; ++n) {
        if (!ReceiverChecked(n)) continue;
        const int16_t means = AverageSamples(static_cast<int16_t>(n));
        if (means > RepeatCount) RepeatCount = means;
      }
      if (RepeatCount == 0) return kActionNone;
    }
  } else {
    std::memcpy(ScanBody, body, kScanBody);
    if (ReductionMode == kReduceBestServer) ChooseBestEntries();
  }
  return kActionWrite;
}

void TarvikConverter::ChooseBestEntries() {
  // Without a channel list only a channel word of 0 leaves an entry out.
  if (KeptChannels.Empty()) {
    for (int n = 1; n <= 4; ++n)
      BestEntry[n - 1] = StrongestTableEntry(
          ScanBody + kScanTableOffset + (n - 1) * kScanEntries * 4, kScanEntries, 4);
    return;
  }
  for (int n = 1; n <= 4; ++n)
    BestEntry[n - 1] = StrongestEntry(
        kScanEntries, false,
        [&](int e) {
          return ScanRawChannel(n, e) != 0 && KeptChannels.Contains(ScanChannel(n, e));
        },
        [&](int e) { return ScanRssi(n, e); });
}

std::uint16_t TarvikConverter::Marker() const {
  return ReadLE16(Header, HeaderSize() == kOldHeader ? 22 : 28);
}

double TarvikConverter::FastFrequency(int n) const {
  const std::uint8_t* b = FastBlocks[n - 1];
  return PlanFrequency(ReadLE16(b, 3), ReadLE16(b, 5), ReadLE16(b, 7), ReadLE16(b, 9),
                       ReadLE16(b, 0), b[2]);
}

int TarvikConverter::FastChannel(int n) const {
  const std::uint8_t* b = FastBlocks[n - 1];
  return DisplayedChannel(ReadLE16(b, 0), b[2]);
}

int TarvikConverter::FastRssi(int n) const {
  return static_cast<int>(SumBytes(FastBlocks[n - 1] + kFastSampleOffset, kFastSamples) >> 9);
}

int TarvikConverter::LineRssi(int n) const {
  return averagedLine_ ? AverageArea().Mean(n - 1, LineIndex(), FastRssi(n)) : FastRssi(n);
}

int16_t TarvikConverter::LambdaWindow(int16_t receiver) {
  if (receiver < 1 || receiver > 4) return 1;
  return AverageWindows::Length(kLambdaConstant, FastFrequency(receiver) * 1e6,
                                LambdaMetresPerSecond);
}

int16_t TarvikConverter::AverageSamples(int16_t receiver) {
  if (receiver < 1 || receiver > 4) return 0;
  return Windows().Average(receiver - 1, receiver - 1, FastBlocks[receiver - 1] + kFastSampleOffset,
                           kFastSamples, LambdaWindow(receiver));
}

std::uint16_t TarvikConverter::ScanRawChannel(int n, int e) const {
  return ReadLE16(ScanBody, kScanTableOffset + (n - 1) * kScanEntries * 4 + e * 4);
}

int TarvikConverter::ScanRssi(int n, int e) const {
  return ScanBody[kScanTableOffset + (n - 1) * kScanEntries * 4 + e * 4 + 2];
}

int TarvikConverter::ScanChannel(int n, int e) const {
  return DisplayedChannel(ScanRawChannel(n, e), ScanBody[(n - 1) * 16]);
}

double TarvikConverter::ScanFrequency(int n, int e) const {
  const std::uint8_t* h = ScanBody + (n - 1) * 16;
  return PlanFrequency(ReadLE16(h, 1), ReadLE16(h, 3), ReadLE16(h, 5), ReadLE16(h, 7),
                       ScanRawChannel(n, e), h[0]);
}

void TarvikConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.SetDate(Header[7], Header[6], Header[5]);
  v.SetTime(GpsHour, GpsMinute, GpsSecond);
  v.SetPosition(Latitude, Longitude);
  const int n = FirstCheckedReceiver(*this);
  if (n != 0 && FastDataChosen(*this))
    v.SetReading(FastFrequency(n), ReadLE16(FastBlocks[n - 1], 0), LineRssi(n));
  else
    v.SetReading(0, 0, 0);
}

int16_t TarvikConverter::DataTitles(int16_t next, char* out, char delimiter) {
  if (!TitlesPending) return -1;
  if (next == 0) titleCursor_ = 0;
  if (titleCursor_ > 3) return -1;
  const int n = ++titleCursor_;
  if (n == 4) TitlesPending = false;
  if (!ReceiverChecked(n)) return 1;
  const bool freq = Settings().Data.Frequency;
  const bool chan = Settings().Data.Channel;
  const bool rssi = Settings().Data.Rssi;
  int triples = Settings().ScanType == 0 ? kScanEntries : 1;
  if (ReductionMode == kReduceBestServer) triples = 1;
  char* p = out;
  auto title = [&](const char* what) {
    p = tx::Join(p, out, delimiter);
    p += std::sprintf(p, "\"Rec#%d %s\"", n, what);
  };
  for (int t = 0; t < triples; ++t) {
    if (freq) title("Frequency");
    if (chan) title("Channel");
    if (rssi) title("RSSI");
  }
  tx::End(p);
  return 0;
}

char* TarvikConverter::PutFastValue(char* p, int n, int which) {
  switch (which) {
    case 1:
    case 2: {
      // The block's plan: flags, base frequency, fraction, spacing and base channel.
      ChannelTexts& texts = fastTexts_[n - 1];
      texts.UsePlan(FastBlocks[n - 1] + 2, 9);
      return texts.Put(
          p, p, ',', which == 1, which == 2, ReadLE16(FastBlocks[n - 1], 0), 4,
          [&] { return FastFrequency(n); }, [&] { return FastChannel(n); });
    }
    case 3:
      return tx::PutByteValue(tx::Put(p, '-'), LineRssi(n));
  }
  return p;
}

[[gnu::always_inline]] inline char* TarvikConverter::PutScanEntry(char* p, int n, int e,
                                                                  const EntryTableParts& parts) {
  char* start = p;
  const std::uint8_t* entry = parts.table + e * 4;
  p = parts.texts->Put(
      p, start, parts.delimiter, parts.frequency, parts.channel, ReadLE16(entry, 0), 4,
      [&] { return ScanFrequency(n, e); }, [&] { return ScanChannel(n, e); });
  if (parts.rssi) {
    p = tx::Join(p, start, parts.delimiter);
    *p++ = '-';
    p = tx::PutByteValue(p, entry[2]);
  }
  return p;
}

DataChunk TarvikConverter::DataValues(int16_t next, char* out, char delimiter) {
  if (next == 0) valueCursor_ = 0;
  if (valueCursor_ > 3) return {-1, out};
  const int n = ++valueCursor_;
  if (!ReceiverChecked(n)) return {1, out};
  char* p = out;
  if (Sections().Kind() == kSlotFast) {
    if (!KeptChannels.Takes(FastChannel(n))) return {0, tx::End(p)};
    const bool boxes[3] = {Settings().Data.Frequency, Settings().Data.Channel,
                           Settings().Data.Rssi};
    for (int k = 0; k < 3; ++k)
      if (boxes[k]) p = PutFastValue(tx::Join(p, out, delimiter), n, k + 1);
  } else if (Sections().Kind() == kSlotScan) {
    // The receiver's plan: flags, base frequency, fraction, spacing and base channel.
    const std::uint8_t* plan = ScanBody + (n - 1) * 16;
    scanTexts_[n - 1].UsePlan(plan, 9);
    const DataBoxes& data = Settings().Data;
    const EntryTableParts parts{
        data.Frequency,     data.Channel,
        data.Rssi,          delimiter,
        &scanTexts_[n - 1], ScanBody + kScanTableOffset + (n - 1) * kScanEntries * 4};
    if (ReductionMode == kReduceBestServer) {
      const int e = BestEntry[n - 1];
      if (e >= 0 && e < kScanEntries && ScanChannel(n, e) != 0) p = PutScanEntry(p, n, e, parts);
    } else {
      for (int e = 0; e < kScanEntries; ++e) {
        const int channel = DisplayedChannel(ReadLE16(parts.table, e * 4), plan[0]);
        if (channel == 0) break;
        if (KeptChannels.Takes(channel)) p = PutScanEntry(tx::Join(p, out, delimiter), n, e, parts);
      }
    }
  }
  return {0, tx::End(p)};
}

void TarvikConverter::FillCommonFields(CommonFields& f) const {
  f.LineFeed = true;
  f.SetPosition(Latitude, Longitude, 4);
  f.SetGps(GpsValid() ? "OK" : "NO", {GpsHour, GpsMinute, GpsSecond});
  f.HasRecordNumber = true;
  f.SetClock({Header[6], Header[5], Header[7]}, {Header[4], Header[3], Header[2]});
}

char* TarvikConverter::ProductField(int16_t field, char* p) {
  switch (field) {
    case 26:
      return tx::PutInt(p, Altitude);
    case 27:
      return tx::PutInt(p, Velocity);
    case 29:
      return tx::PutInt(p, Marker());
    default:
      if (field >= 101 && field <= 403 && field % 100 >= 1 && field % 100 <= 3)
        return PutFastValue(p, field / 100, field % 100);
      return p;
  }
}

void TarvikConverter::Place(LinePlace& place) const {
  PlaceFromRecord(GpsValid(), place);
  // Only the 36-byte record header carries the GPS speed.
  place.HasSpeed = GpsValid() && FirmwareVersion >= tarvik::kNewLayoutVersion;
  place.SpeedMph = Velocity;
}

PassResult TarvikConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                      std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
