#include "convert/product_converter.h"

#include <bit>
#include <cstring>

#include "convert/record_pass.h"
#include "convert/text.h"

namespace polvane {

ProductConverter::ProductConverter(int16_t productCode) : productCode_(productCode) {
  SetOffered(OfferList(productCode));
}

ProductConverter::~ProductConverter() = default;

void ProductConverter::SetOffered(std::span<const std::int16_t> fields) {
  OfferedCount = 0;
  for (std::int16_t f : fields)
    if (OfferedCount < kMaxOffered) OfferedFields[OfferedCount++] = f;
}

int ProductConverter::OpenInput(const std::string& path) {
  sections_.Restart();
  RecordCount = 0;
  TitlesPending = true;
  zeroedBuffer_ = nullptr;
  if (!Input.Open(path)) return -1;
  return 0;
}

PassResult ProductConverter::IndexPass(RecordPass& pass, std::uint8_t* buffer, const RunState& run,
                                       std::uint64_t inputSize, IndexSink& sink) {
  return pass.Index(*this, buffer, run, inputSize, sink);
}

void ProductConverter::CloseInput() {
  Input.Close();
}

int16_t ProductConverter::DataTitles(int16_t, char*, char) {
  return 0;
}
DataChunk ProductConverter::DataValues(int16_t, char* out, char) {
  return {-1, out};
}
void CoordinateFields::Set(const Position& pos, char positive, int decimalPlaces) {
  Minus = pos.Hemisphere != positive;
  Decimal = pos.DecimalDegrees();
  DecimalPlaces = decimalPlaces;
  Degrees = pos.Degrees;
  Minutes = pos.Minutes;
  DecimalMinutesForm = MinuteForm::kThousandths;
  Thousandths = pos.Thousandths;
  Seconds = pos.Thousandths * 60 / 1000;
  Hemisphere = pos.Hemisphere;
}

namespace {

// Copies n (at most 32) bytes in blocks of a fixed size, overlapping where n is not one.
inline char* CopyShort(char* d, const char* s, std::size_t n) {
  if (n >= 16) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else if (n > 0) {
    d[0] = s[0];
    d[n / 2] = s[n / 2];
    d[n - 1] = s[n - 1];
  }
  return d + n;
}

// "Decimal Degrees" of a coordinate: the text of the last value is kept, for the lines of one
// record (or of one position) that write it again.
char* PutDecimal(char* p, const CoordinateFields& c, DecimalText& kept) {
  const auto bits = std::bit_cast<std::uint64_t>(c.Decimal);
  if (kept.Length != 0 && kept.Bits == bits && kept.Places == c.DecimalPlaces &&
      kept.Minus == c.Minus)
    return CopyShort(p, kept.Text, kept.Length);
  char* const start = p;
  if (c.Minus) p = text::Put(p, '-');
  p = text::PutFixed(p, c.Decimal, c.DecimalPlaces);
  const auto n = static_cast<std::size_t>(p - start);
  kept.Length = 0;  // a text longer than the room is made again every time
  if (n > 0 && n <= sizeof kept.Text) {
    std::memcpy(kept.Text, start, n);
    kept.Length = static_cast<std::uint8_t>(n);
    kept.Bits = bits;
    kept.Places = c.DecimalPlaces;
    kept.Minus = c.Minus;
  }
  return p;
}

char* PutCoordinate(char* p, const CoordinateFields& c, int offset, DecimalText& kept) {
  namespace tx = text;
  switch (offset) {
    case 0:
      return PutDecimal(p, c, kept);
    case 1:
      return tx::PutInt(p, c.Degrees);
    case 2:
      return tx::PutInt(p, c.Minutes);
    case 3:
      if (c.DecimalMinutesForm == CoordinateFields::MinuteForm::kThousandths)
        return tx::PutPadded(tx::Put(tx::PutInt(p, c.Minutes), '.'), c.Thousandths, 3);
      if (c.DecimalMinutesForm == CoordinateFields::MinuteForm::kDecimal)
        return tx::PutFixed(p, c.DecimalMinutes, 6);
      return p;
    case 4:
      return tx::PutInt(p, c.Seconds);
    default:
      return c.Hemisphere != '\0' ? tx::Put(p, c.Hemisphere) : p;
  }
}

// The text of common field `field` from the line's values `f` (`lines`: the lines written).
char* PutCommonField(char* p, int16_t field, const CommonFields& f, std::int32_t lines,
                     std::array<DecimalText, 2>& kept) {
  if (field == kFieldCrLf) {
    if (f.LineFeed) p = text::Put(p, '\n');
  } else if (field <= 16) {
    const bool latitude = field < kFieldLongitudeDecimal;
    if (f.HasPosition)
      p = PutCoordinate(p, latitude ? f.Latitude : f.Longitude,
                        field - (latitude ? kFieldLatitudeDecimal : kFieldLongitudeDecimal),
                        kept[latitude ? 0 : 1]);
  } else if (field == 17) {
    if (f.GpsStatus != nullptr) p = text::Put(p, f.GpsStatus);
  } else if (field <= 21) {
    if (f.HasGpsTime) p = PutGpsTimeField(p, field, f.GpsTime);
  } else if (field == kFieldRecordNumber) {
    if (f.HasRecordNumber) p = text::PutInt(p, lines);
  } else if (field <= 36) {
    if (f.HasRtcDate) p = PutRtcField(p, field, f.RtcDate, {});
  } else if (f.HasRtcTime) {
    p = PutRtcField(p, field, {}, f.RtcTime);
  }
  return p;
}

}  // namespace

char* ProductConverter::FieldValue(int16_t field, char* out) {
  if (!CommonFields::Holds(field)) return text::End(ProductField(field, out));
  if (!commonFilled_) return UnfilledCommonField(field, out);
  return text::End(PutCommonField(out, field, common_, RecordCount, decimalTexts_));
}

char* ProductConverter::UnfilledCommonField(int16_t field, char* out) {
  if (!lineOpen_) {
    CommonFields fresh;
    FillCommonFields(fresh);
    return text::End(PutCommonField(out, field, fresh, RecordCount, decimalTexts_));
  }
  common_.ClearPresence();
  FillCommonFields(common_);
  commonFilled_ = true;
  return text::End(PutCommonField(out, field, common_, RecordCount, decimalTexts_));
}

void ProductConverter::PutColumnTitles(char* out, char delimiter, int groups) const {
  const DataBoxes& data = settings_.Data;
  char* p = out;
  for (int g = 0; g < groups; ++g) {
    if (data.Frequency) p = text::Put(text::Join(p, out, delimiter), "\"Frequency\"");
    if (data.Channel) p = text::Put(text::Join(p, out, delimiter), "\"Channel\"");
    if (data.Rssi) p = text::Put(text::Join(p, out, delimiter), "\"RSSI\"");
  }
  text::End(p);
}

int ProductConverter::ReadRecord(std::uint8_t*) {
  return 0;
}
int16_t ProductConverter::ParseRecord(std::uint8_t*) {
  return kActionNone;
}
int ProductConverter::FixedHeader(char*) {
  return 0;
}
int ProductConverter::FixedRecord(char*) {
  return 0;
}
int ProductConverter::FixedTrailer(char*) {
  return 0;
}

int ProductConverter::SetReduction(int16_t mode) {
  ReductionMode = mode;
  windows_.Clear();
  // The flag follows the mode of each file, so a later file converted without averaging is
  // not averaged.
  LambdaFlag = mode == kReduceLambda;
  // The run's speed, taken from the dialog when the run started.
  LambdaMetresPerSecond = LambdaFlag ? settings_.LambdaMetresPerSecond : 0;
  return 0;
}

int16_t ProductConverter::AverageSamples(int16_t) {
  return 0;
}
int16_t ProductConverter::LambdaWindow(int16_t) {
  return 0;
}
bool ProductConverter::SelectReceiver(int16_t) {
  return false;
}

}  // namespace polvane
