#include "products/kes/kes_common.h"

#include <cstring>

#include "convert/best_entry.h"
#include "convert/bytes.h"
#include "paging/flex_decoder.h"
#include "paging/pocsag_decoder.h"

namespace polvane {

namespace tx = text;

namespace kes {

int SlotOfType(int type, bool variableSweepIs80Channel) {
  if (type == kTypeVariableSweep && variableSweepIs80Channel) return 21;
  if (type >= 1 && type <= 15) return type + 3;  // 1 "C/I Ratio" is slot 4 ... 15 "FLEX Paging" 18
  if (type == kType80Channel) return 21;
  return -1;
}

const char* TypeAbbreviation(int type, bool flexEntry) {
  static const char* const kNames[16] = {"UKN", "C/I", "ADJ", "1CH", "20C", "VAR", "1MH", "POC",
                                         "FF ", "SAB", "COC", "GRP", "FOL", "BER", "SYS", "UKN"};
  const int entry = type & 0x0F;
  if (entry == 15 && flexEntry) return "FLX";
  return kNames[entry];
}

int LeadingInteger(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s)
    if (v < 100000000) v = v * 10 + (*s - '0');
  return static_cast<int>(negative ? -v : v);
}

}  // namespace kes

void KesConverter::ClearPosition() {
  Latitude = Position{};
  Longitude = Position{};
  GpsHour = GpsMinute = GpsSecond = 0;
  GpsTimeKnown = false;
  GpsAltitude = GpsVelocity = 0;
}

template <class Decoder>
void KesConverter::TakeMessage(Decoder& decoder, bool& done) {
  // Messages beyond the 100 slots are decoded (the decoder must walk past them) and dropped.
  const bool room = PagerMessageCount < kes::kMaxMessages;
  char* slot = room ? PagerMessages[PagerMessageCount] : droppedMessage_;
  done = decoder.NextMessage(slot, kes::kMessageSize);
  if (room && slot[0] != '\0') ++PagerMessageCount;
}

void KesConverter::DecodeBinaryGps(const std::uint8_t* g, const BinaryGpsOffsets& at) {
  GpsHour = g[at.Time];
  GpsMinute = g[at.Time + 1];
  GpsSecond = g[at.Time + 2];
  GpsTimeKnown = true;
  // A pass that only follows the records (the index) needs the time alone; the conversion
  // opens the file again, which clears the position.
  if (!Converting()) return;
  Latitude = DecodeBinaryPosition(static_cast<std::int32_t>(ReadBE32(g, at.Latitude)), 'N', 'S');
  Longitude = DecodeBinaryPosition(static_cast<std::int32_t>(ReadBE32(g, at.Longitude)), 'E', 'W');
  GpsAltitude = ReadBE32(g, at.Altitude);
  GpsVelocity = at.WideVelocity ? ReadBE32(g, at.Velocity) : ReadBE16(g, at.Velocity);
}

void KesConverter::DecodeFlex(const std::uint8_t* frame, int available) {
  if (available < static_cast<int>(flex::kHeadSize)) return;
  FlexDecoder decoder(frame, static_cast<std::size_t>(available), previousFlexPhases_);
  PagerChannel = decoder.Channel();
  PagerRssi = decoder.Rssi();
  PagerBer = decoder.Errors();
  FlexPhases = static_cast<std::uint16_t>(decoder.Phases());
  previousFlexPhases_ = FlexPhases;
  PagerMessageCount = 0;
  if (decoder.DataBytes() == 0) return;
  for (int phase = 0; phase < decoder.Phases(); ++phase) {
    decoder.ResetPhase(phase);
    for (bool done = false; !done;) TakeMessage(decoder, done);
  }
}

void KesConverter::DecodePocsag(const std::uint8_t* block) {
  PocsagDecoder decoder(block, pocsag::kCaptureSize, CarriedPocsag);
  PagerChannel = decoder.Channel();
  PagerRssi = decoder.Rssi();
  PagerMessageCount = 0;
  if (!decoder.Valid()) return;  // no batch: the open message waits for the next capture
  PagerBaud = static_cast<std::uint16_t>(decoder.Baud());
  PagerBer = decoder.Errors();
  for (bool done = false; !done;) TakeMessage(decoder, done);
  // The decoder hands on the open message and its state, or an empty carry.
  CarriedPocsag = decoder.Carry();
}

KesColumnParts KesConverter::CheckedParts(bool cellular) const {
  KesColumnParts parts;
  parts.frequency = Settings().Data.Frequency;
  parts.channel = Settings().Data.Channel;
  parts.signal = Settings().Data.Rssi;
  parts.sat = cellular && Settings().Data.SatDcc;
  parts.vmac = cellular && Settings().Data.Vmac;
  return parts;
}

namespace {

char* PutTitle(char* p, const char* start, char delimiter, const char* name, int number) {
  p = tx::Join(p, start, delimiter);
  p = tx::Put(p, '"');
  p = tx::Put(p, name);
  p = tx::PutInt(tx::Put(p, " #"), number);
  return tx::Put(p, '"');
}

}  // namespace

int KesConverter::NextColumn(std::int16_t next, int columns, int& cursor) const {
  if (next == 0)
    cursor = 0;
  else if (cursor >= columns)
    return -1;
  if (ReductionMode == kReduceBestServer) cursor = BestEntry[0];
  return cursor;
}

std::int16_t KesConverter::ColumnTitles(std::int16_t next, char* out, char delimiter, int columns,
                                        const KesColumnParts& parts) {
  if (NextColumn(next, columns, titleColumn_) < 0) {
    // Best server over a channel list that the last scan did not hold: the titles of one
    // reading stand all the same.
    if (!(next == 0 && ReductionMode == kReduceBestServer && columns > 0)) return -1;
    titleColumn_ = 0;
  }
  // The titles name the columns the channel list keeps, by their place in the scan.
  if (ReductionMode != kReduceBestServer && !SkipLeftOutColumns(titleColumn_, columns, [](int) {}))
    return -1;
  text::End(PutColumnTitles(out, titleColumn_, parts, delimiter));
  titleColumn_ = ReductionMode == kReduceBestServer ? columns : titleColumn_ + 1;
  return 0;
}

char* KesConverter::PutColumnTitles(char* p, int column, const KesColumnParts& parts,
                                    char delimiter) {
  const char* start = p;
  const int number = column + 1;
  if (parts.frequency) p = PutTitle(p, start, delimiter, "Freq.", number);
  if (parts.channel) p = PutTitle(p, start, delimiter, "Channel", number);
  if (parts.signal) p = PutTitle(p, start, delimiter, "RSSI", number);
  if (parts.sat) p = PutTitle(p, start, delimiter, "SAT/DCC", number);
  if (parts.vmac) p = PutTitle(p, start, delimiter, "VMAC", number);
  return p;
}

void KesConverter::ChooseBestChannel(const std::uint8_t* samples, int count, int stride) {
  if (KeptChannels.Empty()) {
    BestEntry[0] = StrongestMagnitude(samples, count, stride);
    return;
  }
  BestEntry[0] = StrongestEntry(
      count, false, [&](int i) { return KeptColumn(i); },
      [&](int i) { return static_cast<int>(samples[i * stride]); });
}

bool KesConverter::KeptColumn(int column) const {
  if (KeptChannels.Empty()) return true;
  const long long channel = ChannelNumber(column);
  return channel >= 0 && channel <= 65535 && KeptChannels.Contains(static_cast<int>(channel));
}

void KesConverter::FillCommonFields(CommonFields& f) const {
  f.SetPosition(Latitude, Longitude, 6);
  f.SetGps(GpsLocked() ? "LOCKED" : "UNLOCKED", {GpsHour, GpsMinute, GpsSecond});
  f.HasRecordNumber = true;
  f.SetClock({RtcMonth, RtcDay, RtcYear}, {RtcHour, RtcMinute, RtcSecond});
}

char* KesConverter::ProductField(std::int16_t field, char* p) {
  const KesFieldSources& src = LineSources();
  switch (field) {
    case 1:
      if (src.pagingSlot == kes::kSlotFlex) {
        for (int m = 0; m < PagerMessageCount && m < kes::kMaxMessages; ++m) {
          if (m > 0) p = tx::Put(p, '\n');
          p = tx::Put(p, PagerMessages[m]);
        }
      }
      return p;
    case 2:
      if (src.pagingSlot == kes::kSlotPocsag && PagerMessageCount > 0) {
        const std::size_t n = strnlen(PagerMessages[0], kes::kPocsagCut);
        std::memcpy(p, PagerMessages[0], n);
        p += n;
        PagerMessageCount = 1;
      }
      return p;
    case 3:
      return tx::PutInt(p, PagerBer);
    case 26:
      return tx::PutInt(p, GpsAltitude / 100);
    case 27:
      return tx::PutFixed(p, GpsVelocity * 0.022356, 1);
    case 29:
      return src.coordinateMode == 0 ? tx::PutInt(p, src.markerOrX) : tx::Put(p, "N/A");
    case 30:
      return tx::Put(p, src.typeAbbreviation);
    case 31:
      return src.coordinateMode == 0 ? tx::PutInt(p, src.odometerOrY) : tx::Put(p, "N/A");
    case 41:
      return tx::PutInt(p, src.speed);
    case 42:
      return src.coordinateMode != 0 ? tx::PutInt(p, src.markerOrX) : tx::Put(p, "N/A");
    case 43:
      return src.coordinateMode != 0 ? tx::PutInt(p, src.odometerOrY) : tx::Put(p, "N/A");
    default:
      return p;
  }
}

}  // namespace polvane
