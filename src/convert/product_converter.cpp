#include "convert/product_converter.h"

#include <cstring>

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

void ProductConverter::CloseInput() {
  Input.Close();
}

int16_t ProductConverter::DataTitles(int16_t, char*, char) {
  return 0;
}
int16_t ProductConverter::DataValues(int16_t, char*, char) {
  return 0;
}
CoordinateFields CoordinateFields::Of(const Position& pos, char positive, int decimalPlaces) {
  CoordinateFields c;
  c.Minus = pos.Hemisphere != positive;
  c.Decimal = pos.DecimalDegrees();
  c.DecimalPlaces = decimalPlaces;
  c.Degrees = pos.Degrees;
  c.Minutes = pos.Minutes;
  c.DecimalMinutesForm = MinuteForm::kThousandths;
  c.Thousandths = pos.Thousandths;
  c.Seconds = pos.Thousandths * 60 / 1000;
  c.Hemisphere = pos.Hemisphere;
  return c;
}

namespace {

char* PutCoordinate(char* p, const CoordinateFields& c, int offset) {
  namespace tx = text;
  switch (offset) {
    case 0:
      if (c.Minus) p = tx::Put(p, '-');
      return tx::PutFixed(p, c.Decimal, c.DecimalPlaces);
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

}  // namespace

void ProductConverter::FieldValue(int16_t field, char* out) {
  if (!CommonFields::Holds(field)) {
    text::End(ProductField(field, out));
    return;
  }
  CommonFields f;
  FillCommonFields(f);
  char* p = out;
  if (field == kFieldCrLf) {
    if (f.LineFeed) p = text::Put(p, '\n');
  } else if (field <= 16) {
    const bool latitude = field < kFieldLongitudeDecimal;
    if (f.HasPosition)
      p = PutCoordinate(p, latitude ? f.Latitude : f.Longitude,
                        field - (latitude ? kFieldLatitudeDecimal : kFieldLongitudeDecimal));
  } else if (field == 17) {
    if (f.GpsStatus != nullptr) p = text::Put(p, f.GpsStatus);
  } else if (field <= 21) {
    if (f.HasGpsTime) p = PutGpsTimeField(p, field, f.GpsTime);
  } else if (field == kFieldRecordNumber) {
    if (f.HasRecordNumber) p = text::PutInt(p, RecordCount);
  } else if (field <= 36) {
    if (f.HasRtcDate) p = PutRtcField(p, field, f.RtcDate, {});
  } else if (f.HasRtcTime) {
    p = PutRtcField(p, field, {}, f.RtcTime);
  }
  text::End(p);
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
