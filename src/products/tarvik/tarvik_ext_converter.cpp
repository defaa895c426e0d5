#include "products/tarvik/tarvik_ext_converter.h"

#include "convert/record_pass.h"

#include <cstring>
#include <utility>

#include "convert/best_entry.h"
#include "convert/text.h"

namespace polvane {

using namespace tarvik_ext;
namespace tx = text;

namespace {

// Body length of each record type that the reader decodes (type byte included); a shorter
// record is damaged and yields nothing.
constexpr int kGroupedRecord = 7;  // "r": receiver, kind, channel, RSSI
constexpr int kSatRecord = 8;      // "s": as "r", then SAT
constexpr int kSingleRecord = 7;   // "v" and "c": receiver, channel, RSSI, two values

// A coordinate in thousandths of an arc-second, positive north or east.
ExtCoordinate DecodeCoordinate(std::int32_t v, char positive, char negative) {
  ExtCoordinate c;
  std::int32_t whole = v / 1000;
  if (whole < 0) whole = -whole;
  c.Degrees = static_cast<std::int16_t>(whole / 3600);
  c.Minutes = static_cast<std::int16_t>(whole % 3600 / 60);
  c.Seconds = whole % 60;
  c.Decimal = v / 3600000.0;
  c.Hemisphere = c.Decimal > 0 ? positive : negative;
  return c;
}

}  // namespace

const char* tarvik_ext::CompassPoint(std::int16_t tenths) {
  static const char* const kPoints[17] = {"N",  "NNE", "NE", "ENE", "E",  "ESE",
                                          "SE", "SSE", "S",  "SSW", "SW", "WSW",
                                          "W",  "WNW", "NW", "NNW", "N"};
  int index = (tenths + 113) / 225;
  if (index < 0) index = 0;
  if (index > 16) index = 16;
  return kPoints[index];
}

double ChannelPlan::Frequency(unsigned k) const {
  const double spacing = Spacing() == kSpacing6k25 ? 0.00625 : Spacing() * 0.0001;
  const double steps = static_cast<double>(static_cast<std::int64_t>(k) - Lowest());
  return BaseMhz() + Fraction() * 0.0001 + steps * spacing;
}

int ChannelPlan::Displayed(unsigned k) const {
  if (!(Flags() & 0x40)) return static_cast<int>(k);
  return k > 34 ? static_cast<int>(k) - 34 : static_cast<int>(k) + 989;
}

TarvikExtConverter::TarvikExtConverter() : FixedLayoutConverter(kProductTarvikExt) {
  TitlesPending = true;
}

int TarvikExtConverter::OpenInput(const std::string& path) {
  // The plans, lists, fresh flags, decoded values and pending readings stay from the last file.
  RecordCount = 0;
  if (!Input.Open(path)) return -1;
  std::uint8_t fileHeader[kFileHeader];
  Input.Read(fileHeader, sizeof fileHeader);
  TitlesPending = true;
  Sections().Restart();
  recordLength_ = 0;
  dataEnd_ = Input.Size();
  return 0;
}

int TarvikExtConverter::ReadRecord(std::uint8_t* buffer) {
  std::uint8_t prefix[2];
  if (!Input.ReadExact(prefix, 2)) return 0;
  const auto length = static_cast<std::int16_t>(ReadLE16(prefix, 0));
  if (length == 0) {
    // The end of the log. The zero length that closes the file is its end mark; one with
    // bytes after it stands where the log was damaged.
    if (Input.AtEnd()) dataEnd_ = Input.Tell() - 2;
    return 0;
  }
  if (length < 0 || length > kRecordBufferSize) {
    // A length the record buffer cannot hold: only the length bytes are consumed.
    buffer[0] = 0;
    recordLength_ = 0;
    return 2;
  }
  // A pass that only follows the records (the index) looks at a record's header alone: the
  // rest of it is passed over, not copied.
  const int first = Converting() ? length : std::min<int>(length, kHeader);
  if (!Input.ReadExact(buffer, static_cast<std::size_t>(first))) return 0;
  if (first < length && !Input.PassExact(static_cast<std::size_t>(length - first))) return 0;
  recordLength_ = length;
  return length + 2;
}

void TarvikExtConverter::DecodeHeader(const std::uint8_t* r) {
  std::memcpy(Header, r, kHeader);
  Latitude = DecodeCoordinate(static_cast<std::int32_t>(ReadBE32(r, 9)), 'N', 'S');
  Longitude = DecodeCoordinate(static_cast<std::int32_t>(ReadBE32(r, 13)), 'E', 'W');
  Altitude = static_cast<std::int32_t>(ReadBE32(r, 17)) / 100;
  Velocity =
      static_cast<std::int32_t>(static_cast<std::int64_t>(ReadBE16(r, 21)) * 22356 / 1000000);
  Heading = CompassPoint(static_cast<std::int16_t>(ReadBE16(r, 23)));
  GpsHour = r[25];
  GpsMinute = r[26];
  GpsSecond = r[27];
  Marker = static_cast<std::int16_t>(ReadLE16(r, 28));
}

int16_t TarvikExtConverter::ParseRecord(std::uint8_t* r) {
  RepeatCount = 1;
  averagedLine_ = false;
  const std::uint8_t type = recordLength_ > 0 ? r[0] : 0;
  switch (type) {
    case 'F':
    case 'S': {
      const bool fast = type == 'F';
      if (recordLength_ < (fast ? kFastRecord : kScanRecord)) return kActionNone;
      if (!Converting()) DecodeHeader(r);  // the section label needs the GPS time
      const bool write =
          TrackSection(fast ? tarvik::kSlotFast : tarvik::kSlotScan, [this](char* label, int size) {
            if (size > 8) tx::End(tx::Put02Triple(label, GpsHour, GpsMinute, GpsSecond, ':'));
          });
      if (!write) return kActionNone;
      DecodeHeader(r);
      if (fast) return ParseFast(r);
      ParseScan(r);
      return kActionNone;
    }
    case 'r':
    case 's':
    case 'v':
    case 'c':
      // Readings do not start sections. They change the receivers' lists only while
      // converting: an indexing pass must not leave its readings behind for the conversion
      // that follows it.
      if (!Converting() || Sections().Skipped()) return kActionNone;
      if (type == 'r') {
        if (recordLength_ < kGroupedRecord) return kActionNone;
        return ParseGrouped(r, pendingR_, false);
      }
      if (type == 's') {
        if (recordLength_ < kSatRecord) return kActionNone;
        return ParseGrouped(r, pendingS_, true);
      }
      if (recordLength_ < kSingleRecord) return kActionNone;
      return ParseSingle(r, type == 'v');
    default:
      return kActionNone;
  }
}

int16_t TarvikExtConverter::ParseFast(const std::uint8_t* r) {
  bool taken = false;
  const bool averaging = Averaging();
  if (averaging) {
    // A line per window mean of each receiver, as many passes as the most means.
    averagedLine_ = true;
    RepeatCount = 0;
  }
  for (int n = 0; n < 4; ++n) {
    if (r[kPresentOffset + n] == 0 || !ReceiverChecked(n + 1)) continue;
    const std::uint8_t* block = r + kHeader + n * tarvik::kFastBlock;
    std::memcpy(FastBlocks[n], block, tarvik::kFastBlock);
    ChannelPlan& plan = Plans[n];
    std::memcpy(plan.Bytes, block, kPlanSize);
    ReadingList& list = Lists[n];
    list.Clear();
    // A block tuned outside its own plan spoils the whole record; the receivers already
    // taken keep their new readings.
    if (plan.Channel() > plan.Highest() || plan.Channel() < plan.Lowest()) return kActionNone;
    Reading reading;
    reading.Channel = plan.Channel();
    if (plan.SecondFlags() & 0x40) {
      reading.Sat = block[14];
      reading.Vmac = block[15];
    }
    if (plan.SecondFlags() & 0x80) {
      reading.Dcc = block[14];
      reading.Spare = block[15];
    }
    if (averaging) {
      // The readings are the windows this block completed.
      const int16_t means = AverageSamples(static_cast<int16_t>(n + 1));
      for (int m = 0; m < means; ++m) {
        reading.Rssi = Windows().SweepMean(n, m);
        list.Append(reading);
      }
      if (means > RepeatCount) RepeatCount = means;
      FreshData[n] = means > 0;
      taken = taken || means > 0;
      continue;
    }
    list.AppendLevels(reading, block + tarvik::kFastSampleOffset, tarvik::kFastSamples);
    // Only a receiver whose block this record carries has new readings for a line.
    FreshData[n] = true;
    taken = true;
  }
  return taken ? kActionWrite : kActionNone;
}

void TarvikExtConverter::ParseScan(const std::uint8_t* r) {
  for (int n = 0; n < 4; ++n) {
    ChannelPlan& plan = Plans[n];
    plan.Bytes[0] = plan.Bytes[1] = 0;
    std::memcpy(plan.Bytes + 2, r + kHeader + n * kScanPlanSize, kScanPlanSize);
  }
}

int16_t TarvikExtConverter::ParseGrouped(const std::uint8_t* r, std::array<Pending, 4>& pending,
                                         bool withSat) {
  const int n = r[1];
  if (n > 3) return kActionNone;
  const auto kind = static_cast<std::int16_t>(ReadLE16(r, 2));
  Reading reading;
  reading.Channel = ReadLE16(r, 4);
  reading.Rssi = r[6];
  if (withSat) reading.Sat = r[7];
  Pending& p = pending[n];
  ReadingList& list = Lists[n];
  // The group opened by the pending reading is complete: it becomes the list.
  auto closeGroup = [&] {
    if (!p.Set) return;
    list.Clear();
    list.Append(p.Saved);
    p.Set = false;
  };
  if (kind == 1) {
    // A new group begins: the "r" list is the group just completed; the "s" list stays as
    // it is (its pending opener is replaced).
    if (!withSat) closeGroup();
    p.Saved = reading;
    p.Set = true;
    FreshData[n] = true;
    return kActionWrite;
  }
  if (kind == 2) closeGroup();
  list.Append(reading);
  return kActionNone;
}

int16_t TarvikExtConverter::ParseSingle(const std::uint8_t* r, bool voice) {
  const int n = r[1];
  if (n > 3) return kActionNone;
  Reading reading;
  reading.Channel = ReadLE16(r, 2);
  reading.Rssi = r[4];
  if (voice) {
    reading.Sat = r[5];
    reading.Vmac = r[6];
  } else {
    reading.Dcc = r[5];
  }
  Lists[n].Clear();
  Lists[n].Append(reading);
  FreshData[n] = true;
  return kActionWrite;
}

void TarvikExtConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.SetDate(Header[7], Header[6], Header[5]);
  v.SetTime(GpsHour, GpsMinute, GpsSecond);
  // The "G" line: latitude degrees and fraction of a degree, longitude decimal degrees, all
  // as magnitudes; Planet and PathPro take the signed decimal degrees.
  v.GraysonDegrees = Latitude.Degrees;
  v.GraysonMillionths =
      FixedValues::Millionths(Latitude.Minutes / 60.0 + Latitude.Seconds / 3600.0);
  v.GraysonLongitude = Longitude.Decimal < 0 ? -Longitude.Decimal : Longitude.Decimal;
  v.Latitude = Latitude.Decimal;
  v.Longitude = Longitude.Decimal;
  const int n = FirstCheckedReceiver(*this);
  if (n == 0 || !FastDataChosen(*this)) {
    v.SetReading(0, 0, 0);
    return;
  }
  // The fast block as the older Tarvik reads it: flag bit 7 adds 1000 MHz, the stored
  // spacing counts as it is, the raw channel, the mean of the samples.
  const std::uint8_t* b = FastBlocks[n - 1];
  const double frequency = tarvik::PlanFrequency(ReadLE16(b, 3), ReadLE16(b, 5), ReadLE16(b, 7),
                                                 ReadLE16(b, 9), ReadLE16(b, 0), b[2]);
  const int level =
      static_cast<int>(SumBytes(b + tarvik::kFastSampleOffset, tarvik::kFastSamples) >> 9);
  v.SetReading(frequency, ReadLE16(b, 0),
               averagedLine_ ? AverageArea().Mean(n - 1, LineIndex(), level) : level);
}

bool TarvikExtConverter::SelectReceiver(int16_t receiver) {
  if (receiver < 1 || receiver > 4) return false;
  const int n = receiver - 1;
  CurrentReceiver = n;
  if (!Plans[n].Usable() || !ReceiverChecked(receiver) || !FreshData[n]) return false;
  if (averagedLine_) {
    // Line k of an averaged record holds the receiver's k-th mean; its readings are spent
    // with the record's last line.
    const bool hasMean = LineIndex() < Lists[n].Count();
    if (LinesLeft <= 1) FreshData[n] = false;
    return hasMean;
  }
  FreshData[n] = false;
  return true;
}

int16_t TarvikExtConverter::LambdaWindow(int16_t receiver) {
  if (receiver < 1 || receiver > 4) return 1;
  const ChannelPlan& plan = Plans[receiver - 1];
  const double hertz = plan.Frequency(plan.Channel()) * 1e6;
  const double metresPerSecond = ReadBE16(Header, 21) * 0.01;  // centimetres per second
  const int16_t window = AverageWindows::Length(kLambdaConstant, hertz, metresPerSecond);
  return window > kMaxWindow ? static_cast<int16_t>(kMaxWindow) : window;
}

int16_t TarvikExtConverter::AverageSamples(int16_t receiver) {
  if (receiver < 1 || receiver > 4) return 0;
  return Windows().Average(receiver - 1, receiver - 1,
                           FastBlocks[receiver - 1] + tarvik::kFastSampleOffset,
                           tarvik::kFastSamples, LambdaWindow(receiver));
}

int16_t TarvikExtConverter::DataTitles(int16_t, char* out, char delimiter) {
  if (!TitlesPending) return -1;
  char* p = out;
  const std::pair<bool, const char*> titles[] = {{Settings().Data.Frequency, "Frequency"},
                                                 {Settings().Data.Channel, "Channel"},
                                                 {Settings().Data.Rssi, "RSSI"},
                                                 {Settings().Data.SatDcc, "SAT/DCC"},
                                                 {Settings().Data.Vmac, "VMAC"}};
  for (const auto& [checked, title] : titles) {
    if (!checked) continue;
    p = tx::Put(tx::Join(p, out, delimiter), '"');
    p = tx::Put(tx::Put(p, title), '"');
  }
  tx::End(p);
  TitlesPending = false;
  return 0;
}

// A reading's items, after the delimiter where the text already holds one: the frequency and
// channel texts kept for the plan, then the levels the line writes.
[[gnu::always_inline]] inline char* TarvikExtConverter::PutReadingItems(char* p, const char* start,
                                                                        const Reading& r,
                                                                        const ReadingParts& parts) {
  const ChannelPlan& plan = *parts.plan;
  const char delimiter = parts.delimiter;
  p = parts.texts->Put(
      p, start, delimiter, parts.frequency, parts.channel, r.Channel, 5,
      [&] { return plan.Frequency(r.Channel); }, [&] { return plan.Displayed(r.Channel); });
  if (parts.rssi) p = tx::PutByteValue(tx::Put(tx::Join(p, start, delimiter), '-'), r.Rssi);
  if (parts.satDcc) {
    p = tx::PutByteValue(tx::Join(p, start, delimiter), r.Sat);
    p = tx::PutByteValue(tx::Put(p, ','), r.Dcc);
  }
  if (parts.vmac) p = tx::PutByteValue(tx::Join(p, start, delimiter), r.Vmac);
  return p;
}

char* TarvikExtConverter::PutReading(char* p, const char* start, const Reading& r,
                                     const ReadingParts& parts) {
  return PutReadingItems(p, start, r, parts);
}

char* TarvikExtConverter::PutListedReadings(char* p, const char* start, const ReadingList& list,
                                            const ReadingParts& parts) const {
  if (list.Shared()) {
    // One channel, listed or not, with a level per reading.
    Reading r = list.SharedReading();
    if (!Listed(r)) return p;
    const std::uint8_t* levels = list.SharedLevels();
    for (int i = 0; i < list.Count(); ++i) {
      r.Rssi = levels[i];
      p = PutReadingItems(p, start, r, parts);
    }
    return p;
  }
  for (int i = 0; i < list.Count(); ++i)
    if (Listed(list[i])) p = PutReadingItems(p, start, list[i], parts);
  return p;
}

int TarvikExtConverter::BestReading(const ReadingList& list) const {
  // Whether a reading is listed depends on its channel alone, and a fast record's readings
  // share one: the channel list is asked again only where the channel changes.
  int best = -1;
  int bestRssi = 256;  // above any level: the first listed reading is taken
  if (list.Shared()) {
    // One channel: the last of the least magnitudes, when that channel is listed.
    const int n = list.Count();
    if (n == 0 || !Listed(list.SharedReading())) return -1;
    const std::uint8_t* levels = list.SharedLevels();
    return LastPlaceOf(levels, n, LeastMagnitude(levels, n));
  }
  bool listed = false;
  int channel = -1;
  for (int i = 0; i < list.Count(); ++i) {
    const Reading r = list[i];
    if (r.Channel != channel) {
      channel = r.Channel;
      listed = Listed(r);
    }
    if (listed && r.Rssi <= bestRssi) {
      best = i;
      bestRssi = r.Rssi;
    }
  }
  return best;
}

DataChunk TarvikExtConverter::DataValues(int16_t next, char* out, char delimiter) {
  if (next != 0) return {-1, out};
  char* p = out;
  const ReadingList& list = Lists[CurrentReceiver];
  // Flags, base frequency, fraction, spacing and lowest channel decide the texts.
  channelTexts_[CurrentReceiver].UsePlan(Plans[CurrentReceiver].Bytes + 2, 9);
  const DataBoxes& data = Settings().Data;
  const ReadingParts parts{data.Frequency,
                           data.Channel,
                           data.Rssi,
                           data.SatDcc,
                           data.Vmac,
                           delimiter,
                           &Plans[CurrentReceiver],
                           &channelTexts_[CurrentReceiver]};
  // The items of all readings are joined by the delimiter, with none before the first.
  if (ReductionMode == kReduceBestServer) {
    const int best = BestReading(list);
    if (best >= 0) p = PutReading(p, out, list[best], parts);
  } else if (averagedLine_) {
    const int line = LineIndex();
    if (line >= 0 && line < list.Count() && Listed(list[line]))
      p = PutReading(p, out, list[line], parts);
  } else {
    p = PutListedReadings(p, out, list, parts);
  }
  return {0, tx::End(p)};
}

namespace {

// A coordinate of the record header: no decimal minutes, whole arc-seconds.
void SetFields(CoordinateFields& f, const ExtCoordinate& c) {
  f.Decimal = c.Decimal;
  f.DecimalPlaces = 6;
  f.Degrees = c.Degrees;
  f.Minutes = c.Minutes;
  f.Seconds = c.Seconds;
  f.Hemisphere = c.Hemisphere;
}

}  // namespace

void TarvikExtConverter::FillCommonFields(CommonFields& f) const {
  f.LineFeed = true;
  f.HasPosition = true;
  SetFields(f.Latitude, Latitude);
  SetFields(f.Longitude, Longitude);
  f.SetGps(GpsValid() ? "VALID" : "INVALID", {GpsHour, GpsMinute, GpsSecond});
  f.HasRecordNumber = true;
  f.SetClock({Header[6], Header[5], Header[7]}, {Header[4], Header[3], Header[2]});
}

char* TarvikExtConverter::ProductField(int16_t field, char* p) {
  const ChannelPlan& plan = Plans[CurrentReceiver];
  switch (field) {
    case 26:
      return tx::PutInt(p, Altitude);
    case 27:
      return tx::PutInt(p, Velocity);
    case 28:
      return tx::Put(p, Heading);
    case 29:
      return tx::PutInt(p, Marker);
    case 46:
      return tx::PutFixed(p, plan.Frequency(plan.Lowest()), 4);
    case 47:
      return tx::PutFixed(p, plan.Frequency(plan.Highest()), 4);
    case 48:
      return tx::PutFixed(p, plan.Spacing() * 0.1, 1);
    case 49:
      return tx::PutInt(p, CurrentReceiver + 1);
    default:
      return p;
  }
}

void TarvikExtConverter::Place(LinePlace& place) const {
  PlaceFromRecord(GpsValid(), place);
  place.HasSpeed = GpsValid();
  place.SpeedMph = Velocity;
}

PassResult TarvikExtConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer,
                                         const RunState& run, std::uint64_t inputSize,
                                         IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
