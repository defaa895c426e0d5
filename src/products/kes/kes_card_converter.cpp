#include "products/kes/kes_card_converter.h"

#include "convert/record_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace polvane {

using namespace kescard;
namespace tx = text;

KesCardConverter::KesCardConverter() : KesConverter(kProductKesCard) {}

int KesCardConverter::OpenInput(const std::string& path) {
  std::memset(ScanHeader, 0, sizeof ScanHeader);
  std::memset(PositionData, 0, sizeof PositionData);
  std::memset(DataHead, 0, sizeof DataHead);
  std::memset(GpsShort, 0, sizeof GpsShort);
  std::memset(ClockData, 0, sizeof ClockData);
  std::memset(SatVmac, 0, sizeof SatVmac);
  std::memset(ChannelCodes, 0, sizeof ChannelCodes);
  std::memset(Samples, 0, sizeof Samples);
  RtcHour = RtcMinute = RtcSecond = RtcDay = RtcMonth = RtcYear = 0;
  ClearPosition();
  // The measurement mode, the firmware number and the numbering flag follow the scan header,
  // which starts zeroed: both passes over a file then frame and section it alike.
  MeasurementMode = 0;
  FirmwareNumber = 0;
  OffsetNumbering = false;
  if (const int result = ProductConverter::OpenInput(path); result != 0) return result;
  TitlesPending = false;  // the first scan header announces the titles
  Input.Seek(std::min<std::uint64_t>(kFileHeader, Input.Size()));
  return 0;
}

int KesCardConverter::ChannelCount() const {
  return std::min<int>(ScanHeader[24], kes::kMaxChannels);
}

int KesCardConverter::SampleCount() const {
  return std::min<int>(DataHead[3], kes::kMaxChannels);
}

int KesCardConverter::Columns() const {
  const int n = ChannelCount();
  return ReductionMode == kReducePerSeconds ? std::min(n, kes::kAverageChannels) : n;
}

void KesCardConverter::SectionStep() {
  TrackSection(
      MeasurementMode,
      [this](char* label, int) {
        tx::End(tx::Put02Triple(label, RtcHour, RtcMinute, RtcSecond, ':'));
      },
      true);
}

int KesCardConverter::ReadRecord(std::uint8_t* buffer) {
  if (!Input.ReadExact(buffer, 1)) return 0;
  std::uint8_t* body = buffer + 1;
  int size = 0;  // body bytes consumed
  auto read = [&](int n) {
    if (!Input.ReadExact(body + size, static_cast<std::size_t>(n))) return false;
    size += n;
    return true;
  };
  switch (buffer[0]) {
    case kScanHeader: {
      if (!read(kScanHeaderSize)) return 0;
      const int n = body[24];
      // At most 255 codes: they always fit the record buffer, only 100 are kept.
      if (!read(2 * n + kTrailerSize)) return 0;
      std::memcpy(ScanHeader, body, kScanHeaderSize);
      const int kept = std::min(n, kes::kMaxChannels);
      for (int i = 0; i < kes::kMaxChannels; ++i)
        ChannelCodes[i] = i < kept ? ReadLE16(body, kScanHeaderSize + 2 * i) : 0;
      OffsetNumbering = ScanHeader[15] & kes::kOffsetNumberingFlag;
      FirmwareNumber = ReadLE16(ScanHeader, 16);
      const int slot = kes::SlotOfType(ScanHeader[3], FirmwareNumber == kFirmware80Channel);
      if (slot >= 0) MeasurementMode = static_cast<std::int16_t>(slot);
      SectionStep();
      break;
    }
    case kPosition:
      if (!read(kPositionSize + kTrailerSize)) return 0;
      std::memcpy(PositionData, body, kPositionSize);
      break;
    case kData: {
      if (!read(kDataHeadSize)) return 0;
      const int k = body[3];
      if (MeasurementType() == kes::kTypePocsag) {
        if (!read(kPagingDataSize + kTrailerSize)) return 0;
        std::memcpy(DataHead, body, kDataHeadSize);
        break;
      }
      const bool cellular = Cellular();
      const int rest = k + (cellular ? 3 * k : 0) + kTrailerSize;
      // A pass that only follows the records (the index) takes no sample, unless best server
      // chooses among them: they are passed over. The conversion opens the file again, which
      // clears them.
      if (!Converting() && ReductionMode != kReduceBestServer) {
        if (!Input.PassExact(static_cast<std::size_t>(rest))) return 0;
        size += rest;
        std::memcpy(DataHead, body, kDataHeadSize);
        break;
      }
      if (!read(rest)) return 0;
      std::memcpy(DataHead, body, kDataHeadSize);
      const int kept = std::min(k, kes::kMaxChannels);
      // Channels without a sample of this record read as 0, never as the last record's.
      std::memcpy(Samples, body + kDataHeadSize, static_cast<std::size_t>(kept));
      std::memset(Samples + kept, 0, sizeof Samples - static_cast<std::size_t>(kept));
      if (cellular) std::memcpy(SatVmac, body + kDataHeadSize + k, 3 * kept);
      break;
    }
    case kGps:
      // Each form with its size known here, so that its copies are made inline.
      if (FirmwareNumber >= kFirmwareLongGps) {
        if (!read(kGpsLongSize + kTrailerSize)) return 0;
        std::memcpy(GpsLong, body, kGpsLongSize);
      } else {
        if (!read(kGpsShortSize + kTrailerSize)) return 0;
        std::memcpy(GpsShort, body, kGpsShortSize);
      }
      break;
    case kClock:
      if (!read(kClockSize + kTrailerSize)) return 0;
      std::memcpy(ClockData, body, kClockSize);
      break;
    case kFlex: {
      if (!read(kFlexHeadSize)) return 0;
      const int length = ReadLE16(body, 0);
      // Frame data beyond the record buffer cannot be kept: the frame is cut to what fits
      // (the decoder uses far fewer code words than that) and the rest is passed over.
      const int room = kRecordBufferSize - 1 - kFlexHeadSize - kTrailerSize;
      const int kept = std::min(length, room);
      if (!read(kept + kTrailerSize)) return 0;
      if (kept < length) {
        if (!Input.Skip(length - kept)) return 0;
        body[0] = static_cast<std::uint8_t>(kept & 0xFF);
        body[1] = static_cast<std::uint8_t>(kept >> 8);
        size += length - kept;
      }
      if (MeasurementMode != kes::kSlotFlex) {
        MeasurementMode = kes::kSlotFlex;
        SectionStep();
      }
      break;
    }
    case kPocsag:
      if (!read(kPocsagSize)) return 0;
      if (MeasurementMode != kes::kSlotPocsag) {
        MeasurementMode = kes::kSlotPocsag;
        SectionStep();
      }
      break;
    default:
      return 0;  // not a record of this log: the file ends here
  }
  return 1 + size;
}

void KesCardConverter::DecodeGps(const std::uint8_t* g) {
  if (FirmwareNumber < kFirmwareLongGps) {
    // The position only while converting, as DecodeBinaryGps takes it.
    if (Converting()) {
      Latitude = DecodeBcdPosition(g + 4, static_cast<char>(g[8]));
      Longitude = DecodeBcdPosition(g + 9, static_cast<char>(g[13]));
    }
    GpsHour = static_cast<std::uint16_t>(Bcd2(g[17]));
    GpsMinute = static_cast<std::uint16_t>(Bcd2(g[18]));
    GpsSecond = static_cast<std::uint16_t>(Bcd2(g[19]));
    GpsTimeKnown = true;
    return;
  }
  DecodeBinaryGps(g, {.Time = 20,
                      .Latitude = 4,
                      .Longitude = 8,
                      .Altitude = 12,
                      .Velocity = 16,
                      .WideVelocity = false});
}

void KesCardConverter::AddToAverage() {
  const int n = std::min(ChannelCount(), kes::kAverageChannels);
  if (n == 0) return;  // a scan without channels carries nothing to average
  for (int i = 0; i < n; ++i) {
    AverageSums[i] += Samples[i];
    AverageCodes[i] = ChannelCodes[i];
  }
  if (AverageCount < INT16_MAX) ++AverageCount;
}

void KesCardConverter::FormAverages() {
  for (int i = 0; i < kes::kAverageChannels; ++i) {
    // Rounded to the nearest whole number, halves to even, as "%.0f" prints it.
    if (AverageCount != 0)
      AverageValues[i] = static_cast<std::int32_t>(
          std::nearbyint(static_cast<double>(AverageSums[i]) / AverageCount));
    AverageSums[i] = 0;
    AverageCodes[i] = 0;
  }
  AverageCount = 0;
}

int16_t KesCardConverter::ParseRecord(std::uint8_t* buffer) {
  const std::uint8_t* body = buffer + 1;
  auto clock = [&] {
    RtcHour = body[0];
    RtcMinute = body[1];
    RtcSecond = body[2];
  };
  switch (buffer[0]) {
    case kScanHeader:
      RtcDay = body[0];
      RtcMonth = body[1];
      RtcYear = body[2];
      TitlesPending = true;
      return kActionTitles;  // every scan header announces the titles again
    case kPosition:
    case kClock:
      clock();
      return kActionNone;
    case kData: {
      clock();
      if (ReductionMode == kReduceBestServer) ChooseBestChannel(Samples, ChannelCount());
      if (ReductionMode == kReducePerSeconds) {
        // The averages are an output of the conversion: indexing leaves them alone.
        if (Converting()) AddToAverage();
        return kActionNone;
      }
      const int n = ChannelCount();
      if (n == 0) return kActionNone;  // no channel, no sweep to write
      RepeatCount = static_cast<std::int16_t>(SampleCount() / n);
      if (RepeatCount == 0) return kActionNone;
      return Sections().Skipped() ? kActionNone : kActionWrite;
    }
    case kGps:
      clock();
      DecodeGps(body);
      if (ReductionMode == kReducePerSeconds && Converting()) {
        RecordsPerAverage = static_cast<std::int16_t>(
            std::clamp(kes::LeadingInteger(Settings().PerSecondsValue.c_str()),
                       static_cast<int>(INT16_MIN), static_cast<int>(INT16_MAX)));
        if (GpsRecordCount < INT16_MAX) ++GpsRecordCount;
        if (GpsRecordCount >= RecordsPerAverage) {
          RepeatCount = 1;
          if (!Sections().Skipped()) {
            FormAverages();
            GpsRecordCount = 0;
            return kActionWrite;
          }
        }
      }
      return kActionNone;
    case kFlex:
      if (Converting()) DecodeFlex(body, kFlexHeadSize + ReadLE16(body, 0) + kTrailerSize);
      return kActionNone;
    case kPocsag:
      if (Converting()) DecodePocsag(body);
      return kActionNone;
    default:
      return kActionNone;
  }
}

std::uint16_t KesCardConverter::Code(int column) const {
  const int type = MeasurementType();
  return type == kes::kTypePocsag || type == kes::kTypeFlex
             ? PagerChannel
             : ChannelCodes[std::clamp(column, 0, kes::kMaxChannels - 1)];
}

void KesCardConverter::UseColumnPlan() {
  // The base frequency, its fraction and the step (scan header bytes 9 to 14), the first code
  // (5 and 6) and the numbering decide the texts of a code. Taken as words straight from the
  // header (it is declared for every column).
  static_assert(kescard::kScanHeaderSize >= 15);
  std::uint64_t low = 0;  // bytes 5 to 12, of which 7 and 8 say nothing of the plan
  std::memcpy(&low, ScanHeader + 5, 8);
  low &= ~std::uint64_t{0xFFFF0000};
  const std::uint64_t high = ReadLE16(ScanHeader, 13) | std::uint64_t{Cellular()} << 16 |
                             std::uint64_t{FirmwareNumber < kFirmwareCellular33} << 17 |
                             std::uint64_t{OffsetNumbering} << 18;
  ColumnTexts().UsePlanWords(low, high, 0, 2);
}

double KesCardConverter::Frequency(int column) const {
  const unsigned code = Code(column);
  if (code == 0) return 0.0;
  const double base = ReadLE16(ScanHeader, 9) + ReadLE16(ScanHeader, 11) * 0.0001;
  const std::int64_t steps = static_cast<std::int64_t>(ReadLE16(ScanHeader, 13)) *
                             (static_cast<std::int64_t>(code) - ReadLE16(ScanHeader, 5));
  return base + static_cast<double>(steps) * 0.0001;
}

long long KesCardConverter::ChannelNumber(int column) const {
  const unsigned code = Code(column);
  if (code == 0) return 0;
  int offset = 0;
  if (Cellular())
    offset = FirmwareNumber < kFirmwareCellular33 ? 34 : 33;
  else if (OffsetNumbering)
    offset = 34;
  else
    return code;
  // The receiver counts in 16 bits; numbers below 1 wrap into the top of the band.
  int number = static_cast<std::int16_t>(code - offset);
  if (number < 1) number += 1023;
  return number;
}

int16_t KesCardConverter::DataTitles(int16_t next, char* out, char delimiter) {
  return ColumnTitles(next, out, delimiter, Columns(), CheckedParts(Cellular()));
}

[[gnu::always_inline]] inline char* KesCardConverter::PutColumn(char* out, int column, int signal,
                                                                const KesColumnParts& parts,
                                                                char delimiter) {
  KesColumn v;
  v.signal = signal;
  if (parts.sat) v.sat = SatVmac[3 * column];
  if (parts.vmac) v.vmac = SatVmac[3 * column + 2];
  return PutColumnValues(
      out, Code(column), [&] { return Frequency(column); }, [&] { return ChannelNumber(column); },
      v, parts, delimiter);
}

DataChunk KesCardConverter::DataValues(int16_t next, char* out, char delimiter) {
  const int type = MeasurementType();
  if (PlainColumns() && type != kes::kTypeFastFade && type != kes::kTypeFlex &&
      type != kes::kTypePocsag) {
    return JoinPlainColumns(
        next, out, delimiter, Columns(), kes::kMaxChannels, Cellular(), [&] { UseColumnPlan(); },
        [&](int i, char* p, const KesColumnParts& parts) {
          return PutColumn(p, i, parts.signal ? Samples[i] : 0, parts, delimiter);
        });
  }
  return JoinColumns(next, out, delimiter,
                     [&](std::int16_t n, char* o) { return DataColumn(n, o, delimiter); });
}

char* KesCardConverter::DataColumn(int16_t next, char* out, char delimiter) {
  const int n = Columns();
  if (NextColumn(next, n, valueColumn_) < 0) return nullptr;
  const int type = MeasurementType();
  const KesColumnParts parts = LineParts(next, Cellular(), [&] { UseColumnPlan(); });
  // The columns the channel list leaves out; a fast fade's samples go with its columns.
  if (ReductionMode != kReduceBestServer && !SkipLeftOutColumns(valueColumn_, n, [&](int) {
        if (parts.signal && type == kes::kTypeFastFade) ConsumeFastFadeSample();
      }))
    return nullptr;
  const int i = std::clamp(valueColumn_, 0, kes::kMaxChannels - 1);
  int signal = 0;
  if (parts.signal) {
    if (ReductionMode == kReducePerSeconds) {
      signal = AverageValues[std::min(i, kes::kAverageChannels - 1)];
    } else if (type == kes::kTypeFlex || type == kes::kTypePocsag) {
      signal = PagerRssi;
    } else if (type == kes::kTypeFastFade) {
      // A fast fade records successive samples of its channels: each column takes the next.
      signal = Samples[0];
      ConsumeFastFadeSample();
    } else {
      signal = Samples[i];
    }
  }
  char* end = PutColumn(out, i, signal, parts, delimiter);
  tx::End(end);
  valueColumn_ = ReductionMode == kReduceBestServer ? n : valueColumn_ + 1;
  return end;
}

void KesCardConverter::ConsumeFastFadeSample() {
  const int k = SampleCount();
  if (k > 1) std::memmove(Samples, Samples + 1, k - 1);
}

bool KesCardConverter::GpsLocked() const {
  return (FirmwareNumber < kFirmwareLongGps ? GpsShort[3] : GpsLong[3]) & 0x80;
}

KesFieldSources KesCardConverter::Sources() const {
  KesFieldSources s;
  s.pagingSlot = MeasurementMode;
  s.gpsLocked = GpsLocked();
  s.coordinateMode = CoordinateMode();
  s.markerOrX = ReadLE16(PositionData, 5);
  s.odometerOrY = ReadLE16(PositionData, 3);
  s.typeAbbreviation = kes::TypeAbbreviation(MeasurementType());
  s.speed = MeasurementType() == kes::kTypeFlex ? FlexPhases * 1600LL : PagerBaud;
  return s;
}

int KesCardConverter::SelectedChannel() const {
  const int n = FirstCheckedReceiver(*this);
  return n == 0 ? -1 : n - 1;
}

void KesCardConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.SetDate(RtcYear, RtcMonth, RtcDay);
  v.SetTime(GpsHour, GpsMinute, GpsSecond);
  v.SetPosition(Latitude, Longitude);
  v.InFielder = true;
  v.X = v.Marker = ReadLE16(PositionData, 5);
  v.Y = ReadLE16(PositionData, 3);
  if (ChosenOutputFormat(*this) == kFixedInFielder) {
    v.SetReading(0, 0, Samples[0]);  // InFielder shows the first channel's level
    return;
  }
  // The other layouts show the channel of the first checked receiver box, as stored.
  const int i = SelectedChannel();
  if (i >= 0 && i < kes::kMaxChannels)
    v.SetReading(Frequency(i), ChannelCodes[i], Samples[i]);
  else
    v.SetReading(0, 0, 0);
}

void KesCardConverter::Place(LinePlace& place) const {
  PlaceFromRecord(true, place);
  place.HasTime = place.HasTime && GpsTimeKnown;
  // The speed as "GPS Velocity (MPH)" writes it, to a tenth.
  place.HasSpeed = place.HasPosition;
  place.SpeedMph = std::round(GpsVelocity * 0.022356 * 10) / 10;
}

PassResult KesCardConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                       std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
