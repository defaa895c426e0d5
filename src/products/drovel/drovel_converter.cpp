#include "products/drovel/drovel_converter.h"

#include <cstring>

#include "convert/best_entry.h"
#include "convert/record_pass.h"
#include "convert/text.h"

namespace polvane {

using namespace drovel;
namespace tx = text;

namespace {}  // namespace

DrovelConverter::DrovelConverter() : FixedLayoutConverter(kProductDrovel) {
  TitlesPending = true;
}

int DrovelConverter::ReadRecord(std::uint8_t* buffer) {
  // Nearly every record of a log is a data record: where the input's buffer holds its length
  // and its body, both are taken from there in one step.
  if (const std::uint8_t* at = Input.Peek(4 + kDataRecord);
      at && ReadLE32(at, 0) == static_cast<std::uint32_t>(kDataRecord)) {
    std::memcpy(buffer, at + 4, kDataRecord);
    Input.Pass(4 + kDataRecord);
    ZeroRecordTail(buffer, kDataRecord, kLongestLayout);
    return kDataRecord + 4;
  }
  std::uint8_t prefix[4];
  if (!Input.ReadExact(prefix, 4)) return 0;
  const auto length = static_cast<std::int32_t>(ReadLE32(prefix, 0));
  // A negative length is no record at all: the data ends here.
  if (length < 0) return 0;
  if (length == 0 || length > kMaxRecord) {
    // The four bytes are passed over and the next four are read as a length. An empty record
    // reads no body, so the buffer is marked to keep the previous record from being parsed
    // a second time.
    buffer[0] = 0;
    return 4;
  }
  if (!Input.ReadExact(buffer, static_cast<std::size_t>(length))) return 0;
  // A record shorter than its layout decodes as zeros beyond its end, not as stale bytes.
  ZeroRecordTail(buffer, length, kLongestLayout);
  return length + 4;
}

void DrovelConverter::ParseSetup(const std::uint8_t* r) {
  std::memcpy(Setup, r + 1, kSetupKept);
  BaseMhz = static_cast<std::int16_t>(ReadBE16(r, 2));
  BaseFraction = static_cast<std::int16_t>(ReadBE16(r, 4));
  Spacing = ReadBE16(r, 6);
  BaseChannel = static_cast<std::int16_t>(ReadBE16(r, 8));
}

void DrovelConverter::ParseIdentification(const std::uint8_t* r) {
  std::memset(ProductText, 0, sizeof ProductText);
  std::memset(VersionText, 0, sizeof VersionText);
  const auto n1 = static_cast<std::int32_t>(ReadLE32(r, 1));
  if (n1 < 0 || n1 >= static_cast<std::int32_t>(sizeof ProductText)) return;
  std::memcpy(ProductText, r + 5, static_cast<std::size_t>(n1));
  const auto n2 = static_cast<std::int32_t>(ReadLE32(r, 5 + n1));
  if (n2 < 0 || n2 >= static_cast<std::int32_t>(sizeof VersionText)) return;
  std::memcpy(VersionText, r + 9 + n1, static_cast<std::size_t>(n2));
}

int16_t DrovelConverter::ParseRecord(std::uint8_t* r) {
  switch (r[0]) {
    case 'U':
      ParseSetup(r);
      return kActionNone;
    case 'I':
      ParseIdentification(r);
      return kActionNone;
    case 'D':
      break;
    default:
      return kActionNone;
  }
  std::memcpy(Data, r, kDataRecord);
  const bool write = TrackSection(KindOfFlags(Flags()), [this](char* label, int) {
    char* p = tx::Put02(label, Hour());
    p = tx::Put02(tx::Put(p, ':'), Minute());
    tx::End(tx::Put02(tx::Put(p, ':'), Second()));
  });
  if (!write) return kActionNone;
  // The channels and the marker are what a line writes (and best server chooses among): a
  // pass that only follows the records takes its sections and times from the record alone.
  // The conversion reads every data record again before its first line.
  RepeatCount = 1;
  const bool best = ReductionMode == kReduceBestServer;
  if (!Converting() && !best) return kActionWrite;
  for (int i = 0; i < kEntries; ++i) Channels[i] = ReadBE16(r, 7 + 3 * i);
  Marker = static_cast<std::int16_t>(ReadBE16(r, 4));
  if (best) ChooseBestEntry();
  return kActionWrite;
}

void DrovelConverter::ChooseBestEntry() {
  // Only the readings the record's kind carries take part: a one-channel record has no second
  // or third reading to choose.
  BestEntry[0] = StrongestEntry(
      EntryCount(), KeptChannels.Empty(), [&](int i) { return Channels[i] != 0 && Listed(i); },
      [&](int i) { return Rssi(i); });
}

double DrovelConverter::Frequency(int entry) const {
  const std::int64_t steps =
      (static_cast<std::int64_t>(static_cast<std::int16_t>(Channels[entry])) - BaseChannel) *
      Spacing;
  return static_cast<double>(steps) * 0.0001 + (BaseMhz + BaseFraction * 0.0001);
}

int16_t DrovelConverter::DataTitles(int16_t next, char* out, char delimiter) {
  out[0] = '\0';
  if (!TitlesPending) return -1;
  // The count follows the record at hand; before any record it stays as it was.
  if (next == 0 && EntryCount() > 0) titleCount_ = EntryCount();
  PutColumnTitles(out, delimiter, ReductionMode == kReduceBestServer ? 1 : titleCount_);
  TitlesPending = false;
  return 0;
}

char* DrovelConverter::PutEntry(char* p, int entry, char delimiter) {
  char* start = p;
  const DataBoxes& data = Settings().Data;
  const std::uint16_t channel = Channels[entry];
  p = entryTexts_.Put(
      p, start, delimiter, data.Frequency, data.Channel, channel, 4,
      [&] { return Frequency(entry); }, [&] { return channel; });
  if (data.Rssi) p = tx::PutByteValue(tx::Put(tx::Join(p, start, delimiter), '-'), Rssi(entry));
  return p;
}

DataChunk DrovelConverter::DataValues(int16_t next, char* out, char delimiter) {
  out[0] = '\0';
  if (next != 0) return {-1, out};
  char* p = out;
  const int count = EntryCount();
  // The base frequency, its fraction, the spacing and the base channel decide the texts.
  const std::int16_t plan[4] = {BaseMhz, BaseFraction, static_cast<std::int16_t>(Spacing),
                                BaseChannel};
  entryTexts_.UsePlan(reinterpret_cast<const std::uint8_t*>(plan), sizeof plan);
  if (ReductionMode == kReduceBestServer) {
    const int e = BestEntry[0];
    if (count > 0 && e >= 0 && e < count) p = PutEntry(p, e, delimiter);
  } else {
    for (int i = 0; i < count; ++i)
      if (Listed(i)) p = PutEntry(tx::Join(p, out, delimiter), i, delimiter);
  }
  return {0, tx::End(p)};
}

void DrovelConverter::FillCommonFields(CommonFields& f) const {
  f.LineFeed = true;
  f.HasRecordNumber = true;
  f.HasRtcTime = true;
  f.RtcTime = {Hour(), Minute(), Second()};
}

char* DrovelConverter::ProductField(int16_t field, char* p) {
  switch (field) {
    case 29:
      return tx::PutInt(p, Marker);
    case 44:
      switch (Flags() & 0x70) {
        case kFlagOneChannel:
          return tx::Put(p, "1CH");
        case kFlagThreeChannel:
          return tx::Put(p, "3CH");
        case kFlagScan:
          return tx::Put(p, "SCAN");
        default:
          return p;
      }
    default:
      return p;
  }
}

void DrovelConverter::FillFixedValues(FixedValues& v, FixedPiece) const {
  v.Style = FixedStyle::kDrovel;
  v.SetTime(Hour(), Minute(), Second());
  v.ClearReadings();
  const int readings = Sections().Kind() == kSlotThreeChannel ? kEntries : 1;
  for (int i = 0; i < readings; ++i) v.AddReading(Frequency(i), Channels[i], Rssi(i));
}

void DrovelConverter::Place(LinePlace& place) const {
  place.HasTime = Hour() < 24 && Minute() < 60 && Second() < 60;
  if (place.HasTime) place.GpsSeconds = Hour() * 3600.0 + Minute() * 60.0 + Second();
}

PassResult DrovelConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                      std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

}  // namespace polvane
