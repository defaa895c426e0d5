#include "convert/catalogue.h"

namespace polvane {

namespace {

const char* const kTitles[kCatalogueSize] = {
    "<< DATA >>",
    "<< FLEX DATA >>",
    "<< POCSAG DATA >>",
    "BER",
    "CR / LF",
    "Latitude (Decimal Degrees)",
    "Latitude (Degrees)",
    "Latitude (Minutes)",
    "Latitude (Decimal Minutes)",
    "Latitude (Seconds)",
    "Latitude Hemisphere",
    "Longitude (Decimal Degrees)",
    "Longitude (Degrees)",
    "Longitude (Minutes)",
    "Longitude (Decimal Minutes)",
    "Longitude (Seconds)",
    "Longitude Hemisphere",
    "GPS Status",
    "GPS Time (HH:MM:SS)",
    "GPS Hour (HH)",
    "GPS Minute (MM)",
    "GPS Second (SS)",
    "GPS Date (MM/DD/YY)",
    "GPS Month (MM)",
    "GPS Day (DD)",
    "GPS Year (YY)",
    "GPS Altitude (Meters)",
    "GPS Velocity (MPH)",
    "GPS Heading",
    "Marker Value",
    "Measurement Type",
    "Odometer Reading",
    "Record Number",
    "RTC Date (MM-DD-YY)",
    "RTC Month (MM)",
    "RTC Day (DD)",
    "RTC Year (YY)",
    "RTC Time (HH:MM:SS)",
    "RTC Hour (HH)",
    "RTC Minute (MM)",
    "RTC Second (SS)",
    "Speed (BPS)",
    "X Coordinate",
    "Y_Coordinate",
    "Scan Mode",
    "Ext. Navigation Status",
    "Min. Frequency (MHz)",
    "Max. Frequency (MHz)",
    "Step Size (KHz)",
    "Receiver",
    "TP Latitude (Dec Deg)",
    "TP Longitude (Dec Deg)",
    "TP Date (MM-DD-YY)",
    "TP Time (HH:MM:SS)",
    "TP Speed (km/h)",
    "TP Direction (deg from N)",
    "",
    "",
    "",
    "",
};

constexpr int16_t kTarvik[] = {0,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 18,
                               19, 20, 21, 26, 27, 17, 29, 33, 36, 34, 35, 37, 38, 39, 40};
constexpr int16_t kSelvor[] = {0,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                               18, 19, 20, 21, 17, 29, 33, 36, 34, 35, 37, 38, 39, 40};
constexpr int16_t kKesCard[] = {0,  1,  2,  3,  17, 5,  6,  7,  8,  9,  10, 11, 12,
                                13, 14, 15, 16, 18, 19, 20, 21, 26, 27, 29, 30, 31,
                                32, 33, 36, 34, 35, 37, 38, 39, 40, 41, 42, 43};
constexpr int16_t kKesDump[] = {0,  1,  2,  3,  17, 5,  6,  7,  8,  9,  10, 11, 12,
                                13, 14, 15, 16, 18, 19, 20, 21, 26, 27, 29, 30, 31,
                                32, 33, 36, 34, 35, 37, 38, 39, 40, 41, 42, 43, 45};
constexpr int16_t kDrovel[] = {0, 4, 29, 37, 38, 39, 40, 44, 32};
constexpr int16_t kTarvikExt[] = {0,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                  15, 16, 18, 19, 20, 21, 26, 27, 28, 17, 29, 33,
                                  36, 34, 35, 37, 38, 39, 40, 46, 47, 48, 49};
constexpr int16_t kPelmor[] = {0,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 18,
                               19, 20, 21, 22, 23, 24, 25, 26, 27, 17, 29, 33, 36, 34, 35,
                               37, 38, 39, 40, 46, 47, 48, 49, 32, 50, 51, 52, 53};

static_assert(std::size(kTarvik) == 30 && std::size(kSelvor) == 28 && std::size(kKesCard) == 38 &&
              std::size(kKesDump) == 39 && std::size(kDrovel) == 9 && std::size(kTarvikExt) == 35 &&
              std::size(kPelmor) == 43);

}  // namespace

const char* CatalogueTitle(int i) {
  return i >= 0 && i < kCatalogueSize ? kTitles[i] : "";
}

std::span<const int16_t> OfferList(int16_t productCode) {
  switch (productCode) {
    case 1:
      return kTarvik;
    case 2:
      return kSelvor;
    case 3:
      return kKesCard;
    case 4:
      return kKesDump;
    case 5:
      return kDrovel;
    case 7:
      return kTarvikExt;
    case 8:
    case 9:
      return kPelmor;
    default:
      return {};
  }
}

}  // namespace polvane
