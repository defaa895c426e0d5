#include "formats/fixed_layouts.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "support/bytes.h"
#include "support/fixed_layout_reader.h"

namespace polvane {
namespace {

using testing::GraysonLines;
using testing::M01Records;

const std::string kZeros42(42, '0');

// A record at 10:20:30 on 15 June 2024, at 40 deg 30.500' S, 74 deg 7.407' W, with one reading
// of 870.03 MHz, channel 1, -85 dBm.
FixedValues Sample() {
  FixedValues v;
  v.Year = 24;
  v.Month = 6;
  v.Day = 15;
  v.Hour = 10;
  v.Minute = 20;
  v.Second = 30;
  v.SetPosition({40, 30, 500, 'S'}, {74, 7, 407, 'W'});
  v.SetReading(870.03, 1, 85);
  return v;
}

class FixedLayouts : public ::testing::Test {
 protected:
  std::string Header(int format, const FixedValues& v, std::string_view name = "") {
    return Piece(WriteFixedHeader(format, v, name, out_.get()));
  }
  std::string Record(int format, const FixedValues& v) {
    return Piece(WriteFixedRecord(format, v, out_.get()));
  }
  std::string Trailer(int format, const FixedValues& v) {
    return Piece(WriteFixedTrailer(format, v, out_.get()));
  }
  std::string Piece(int n) {
    EXPECT_GE(n, 0);
    EXPECT_LT(n, kFixedBufferSize);
    return std::string(out_.get(), n);
  }
  std::unique_ptr<char[]> out_{new char[kFixedBufferSize]};
};

// --- Grayson IQ Analyzer ---

TEST_F(FixedLayouts, GraysonHeaderRecordAndTrailerLines) {
  const FixedValues v = Sample();
  EXPECT_EQ(GraysonLines(Header(kFixedGrayson, v)),
            (std::vector<std::string>{"D2024061510", "m203000RCRD" + kZeros42}));
  EXPECT_EQ(
      GraysonLines(Record(kFixedGrayson, v)),
      (std::vector<std::string>{"r203000087003000085", "G203000+040.508333+74.123451020300000"}));
  EXPECT_EQ(Trailer(kFixedGrayson, v), "m203000IDLE" + kZeros42 + "\r");
  // Every line ends in a lone carriage return: no line feed anywhere.
  EXPECT_EQ(Record(kFixedGrayson, v).find('\n'), std::string::npos);
  EXPECT_EQ(Record(kFixedGrayson, v).back(), '\r');
}

TEST_F(FixedLayouts, GraysonYearHasFourDigitsAroundTheCentury) {
  FixedValues v = Sample();
  v.Year = 90;
  EXPECT_EQ(Header(kFixedGrayson, v).substr(0, 5), "D2090");
  v.Year = 91;
  EXPECT_EQ(Header(kFixedGrayson, v).substr(0, 5), "D1991");
  v.Year = 0;
  EXPECT_EQ(Header(kFixedGrayson, v).substr(0, 5), "D2000");
  v.Year = 99;
  EXPECT_EQ(Header(kFixedGrayson, v).substr(0, 5), "D1999");
}

TEST_F(FixedLayouts, GraysonGLineWritesMagnitudesWithPlusSigns) {
  FixedValues v = Sample();
  const std::string south = GraysonLines(Record(kFixedGrayson, v))[1];
  v.SetPosition({40, 30, 500, 'N'}, {74, 7, 407, 'E'});
  EXPECT_EQ(GraysonLines(Record(kFixedGrayson, v))[1], south);
  EXPECT_EQ(south.substr(7, 20), "+040.508333+74.12345");
  // The signed decimal degrees go to Planet and PathPro only.
  FixedValues s = Sample();
  EXPECT_DOUBLE_EQ(s.Latitude, -(40 + 30.5 / 60));
  EXPECT_DOUBLE_EQ(s.Longitude, -(74 + 7.407 / 60));
}

TEST_F(FixedLayouts, GraysonGLineTakesTheSignsAReaderHandsOver) {
  // Pelmor writes the signed longitude; a negative degree value keeps its sign and padding.
  FixedValues v = Sample();
  v.GraysonLongitude = -74.12345;
  v.GraysonDegrees = -5;
  v.GraysonMillionths = 42;
  EXPECT_EQ(GraysonLines(Record(kFixedGrayson, v))[1].substr(7, 20), "-005.000042-74.12345");
  v.GraysonDegrees = 123;
  v.GraysonLongitude = -0.0;
  EXPECT_EQ(GraysonLines(Record(kFixedGrayson, v))[1].substr(7, 19), "+123.000042-0.00000");
}

TEST_F(FixedLayouts, GraysonFractionFromMinutesAndSeconds) {
  // Tarvik extended: (minutes/60 + seconds/3600) x 1,000,000, truncated.
  EXPECT_EQ(FixedValues::Millionths(30 / 60.0 + 30 / 3600.0), 508333);
  EXPECT_EQ(FixedValues::Millionths(0.9999999), 999999);
  EXPECT_EQ(FixedValues::Millionths(-0.5), -500000);
  EXPECT_EQ(FixedValues::Millionths(std::nan("")), 0);
  EXPECT_GT(FixedValues::Millionths(1e300), 0);
}

TEST_F(FixedLayouts, GraysonWritesEmptyReadingAsZeros) {
  FixedValues v = Sample();
  v.SetReading(0, 0, 0);
  EXPECT_EQ(GraysonLines(Record(kFixedGrayson, v))[0], "r203000000000000000");
}

TEST_F(FixedLayouts, GraysonWideValuesAreWrittenInFull) {
  FixedValues v = Sample();
  v.SetReading(10000.0, 1, 1234);
  v.Minute = 123;
  v.GraysonMillionths = 1666650;  // 99 minutes of garbage BCD
  const auto lines = GraysonLines(Record(kFixedGrayson, v));
  EXPECT_EQ(lines[0],
            "r12330001000000000"
            "1234");
  EXPECT_EQ(lines[1].substr(0, 20), "G1233000+040.1666650");
  v.SetReading(1e300, 1, 85);
  const std::string huge = GraysonLines(Record(kFixedGrayson, v))[0];
  EXPECT_EQ(huge.size(), 1u + 3 + 2 + 2 + 19 + 3);  // held at the 64-bit limit, not wrapped
}

TEST_F(FixedLayouts, GraysonOneRLinePerReadingThenOneGLine) {
  // Kes PC dump: every channel of the record.
  FixedValues v = Sample();
  v.ClearReadings();
  ASSERT_TRUE(v.AddReading(870.03, 1, 85));
  ASSERT_TRUE(v.AddReading(870.06, 2, 90));
  ASSERT_TRUE(v.AddReading(870.09, 3, 95));
  ASSERT_TRUE(v.AddReading(870.12, 4, 100));
  const auto lines = GraysonLines(Record(kFixedGrayson, v));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "r203000087003000085");
  EXPECT_EQ(lines[1], "r203000087006000090");
  EXPECT_EQ(lines[3], "r203000087012000100");
  EXPECT_EQ(lines[4][0], 'G');
  // No channels at all: the "G" line alone.
  v.ClearReadings();
  EXPECT_EQ(GraysonLines(Record(kFixedGrayson, v)).size(), 1u);
}

TEST_F(FixedLayouts, GraysonDrovelHasClockOnlyHeaderAndZeroPosition) {
  FixedValues v;
  v.Style = FixedStyle::kDrovel;
  v.Hour = 7;
  v.Minute = 8;
  v.Second = 9;
  v.ClearReadings();
  v.AddReading(451.0125, 10, 70);
  v.AddReading(451.0250, 11, 71);
  v.AddReading(451.0375, 12, 72);
  EXPECT_EQ(GraysonLines(Header(kFixedGrayson, v)),
            (std::vector<std::string>{"D00000000007", "m080900RCRD" + kZeros42}));
  const auto lines = GraysonLines(Record(kFixedGrayson, v));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "r080900045101250070");
  EXPECT_EQ(lines[2], "r080900045103750072");
  EXPECT_EQ(lines[3], "G0000000000.000000000.000000708090000");
  EXPECT_EQ(Trailer(kFixedGrayson, v), "m080900IDLE" + kZeros42 + "\r");
}

// --- MLJ PathPro ---

class ScopedClock {
 public:
  explicit ScopedClock(FixedClock clock) { SetFixedClock(clock); }
  ~ScopedClock() { SetFixedClock(nullptr); }
};

std::int64_t FixedNow() {
  return 0x12345678;
}

TEST_F(FixedLayouts, PathProHeaderWritesTheMdfFileBesideTheOutput) {
  testing::ScratchDir dir;
  ScopedClock clock(FixedNow);
  const std::string header = Header(kFixedPathPro, Sample(), dir.File("out.m01"));
  EXPECT_EQ(header, testing::kM01Header);
  const std::string mdf = testing::ReadFile(dir.File("out.MDF"));
  EXPECT_EQ(mdf, std::string("PathView MDF File\x1A\x63\x63\x78\x56\x34\x12\x01", 25) +
                     std::string(1, '\0'));
}

TEST_F(FixedLayouts, PathProHeaderWithoutMdfFileStillComes) {
  testing::ScratchDir dir;
  EXPECT_EQ(Header(kFixedPathPro, Sample(), dir.File("missing/OUT")), testing::kM01Header);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_EQ(Header(kFixedPathPro, Sample(), ""), testing::kM01Header);
}

TEST(MdfName, CutAtTheLastDotOfTheFileName) {
  EXPECT_EQ(MdfFileName("OUT"), "OUT.MDF");
  EXPECT_EQ(MdfFileName("out.m01"), "out.MDF");
  EXPECT_EQ(MdfFileName("MLJ.M01"), "MLJ.MDF");
  EXPECT_EQ(MdfFileName("a.b.c"), "a.b.MDF");
  EXPECT_EQ(MdfFileName("/data/run.1/OUT"), "/data/run.1/OUT.MDF");
  EXPECT_EQ(MdfFileName("C:\\run.1\\out.m01"), "C:\\run.1\\out.MDF");
  EXPECT_EQ(MdfFileName(""), "");
  EXPECT_EQ(MdfFileName("/data/"), "");
}

TEST_F(FixedLayouts, PathProRecordDecodesBackIntoTheValues) {
  const std::string bytes = Record(kFixedPathPro, Sample());
  ASSERT_EQ(bytes.size(), 28u);
  const auto r = M01Records(bytes);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].kind, 1);
  EXPECT_EQ(r[0].rssi, -85.0);
  EXPECT_DOUBLE_EQ(r[0].longitude, -(74 + 7.407 / 60));
  EXPECT_DOUBLE_EQ(r[0].latitude, -(40 + 30.5 / 60));
  EXPECT_EQ(r[0].hour, 10);
  EXPECT_EQ(r[0].minute, 20);
  EXPECT_EQ(r[0].second, 30);
  // No reading: RSSI 0.0, a positive zero.
  FixedValues v = Sample();
  v.SetReading(0, 0, 0);
  const double rssi = M01Records(Record(kFixedPathPro, v))[0].rssi;
  EXPECT_EQ(rssi, 0.0);
  EXPECT_FALSE(std::signbit(rssi));
}

TEST_F(FixedLayouts, PathProRecordKeepsLineFeedBytes) {
  FixedValues v = Sample();
  v.Latitude = std::bit_cast<double>(0x400A0A0A0A0A0A0AULL);
  const std::string bytes = Record(kFixedPathPro, v);
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(bytes.substr(17, 7), std::string(7, 0x0A));
  EXPECT_EQ(M01Records(bytes)[0].latitude, v.Latitude);
}

TEST_F(FixedLayouts, PathProOneRecordPerReadingOrTheLastForDrovel) {
  FixedValues v = Sample();
  v.ClearReadings();
  v.AddReading(870.03, 1, 81);
  v.AddReading(870.06, 2, 82);
  v.AddReading(870.09, 3, 83);
  auto r = M01Records(Record(kFixedPathPro, v));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].rssi, -81.0);
  EXPECT_EQ(r[2].rssi, -83.0);
  v.Style = FixedStyle::kDrovel;
  r = M01Records(Record(kFixedPathPro, v));
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].rssi, -83.0);
  EXPECT_EQ(r[0].latitude, 0.0);
  EXPECT_EQ(r[0].longitude, 0.0);
  EXPECT_EQ(r[0].second, 30);
  EXPECT_EQ(Trailer(kFixedPathPro, v), "");
}

// --- MSI Planet ---

TEST_F(FixedLayouts, PlanetHeaderAndReportLine) {
  EXPECT_EQ(Header(kFixedPlanet, Sample()),
            "_HEADER\nVERSION: 1.00\nSYSTEM: Generic\n_DEFINITIONS\nDEF_FIELD: Frequency "
            "FLOAT\nDEF_FIELD: Channel INT\nDEF_FIELD: RSSI INT\nDEF_REPORT: Report Frequency "
            "Channel RSSI\n_MAIN\n");
  EXPECT_EQ(Record(kFixedPlanet, Sample()),
            "10:20:30:00 -40.508333 -74.123450 REPORT::Report: 870.0300 1 -85\n");
  FixedValues v = Sample();
  v.SetReading(0, 0, 0);
  EXPECT_EQ(Record(kFixedPlanet, v),
            "10:20:30:00 -40.508333 -74.123450 REPORT::Report: 0.0000 0 -0\n");
  EXPECT_EQ(Trailer(kFixedPlanet, v), "");
}

TEST_F(FixedLayouts, PlanetFiveDecimalsAndOneLinePerChannel) {
  FixedValues v = Sample();
  v.PlanetDecimals = 5;  // Pelmor
  v.ClearReadings();
  v.AddReading(870.03, 1, 85);
  v.AddReading(870.06, 2, 90);
  EXPECT_EQ(Record(kFixedPlanet, v),
            "10:20:30:00 -40.508333 -74.123450 REPORT::Report: 870.03000 1 -85\n"
            "10:20:30:00 -40.508333 -74.123450 REPORT::Report: 870.06000 2 -90\n");
  v.ClearReadings();
  EXPECT_EQ(Record(kFixedPlanet, v), "");
}

// A record of many reports in pieces of every size: each piece is the first whole lines of the
// record that fit with the terminating zero, whether its lines were made in the piece or, near
// its end, apart; with a damaged fix's long coordinates too, whose text is made again for every
// report.
TEST_F(FixedLayouts, PlanetPieceKeepsTheWholeLinesThatFit) {
  for (const double latitude : {-40.508333, 1e300}) {
    FixedValues v = Sample();
    v.Latitude = latitude;
    v.Longitude = latitude > 1 ? -1e300 : -74.12345;
    v.ClearReadings();
    for (int i = 0; i < kMaxFixedReadings; ++i) v.AddReading(870.03 + i * 0.03, i, 40 + i % 60);
    // As much of the record as the whole buffer takes.
    const std::string whole = Record(kFixedPlanet, v);
    const std::size_t line = whole.find('\n') + 1;
    EXPECT_EQ(whole.substr(line, 11), "10:20:30:00");  // the second report has the start too
    std::vector<char> out(kFixedBufferSize + 1, '#');
    for (const int capacity : {1, 40, 2049, 2100, 3000, 5000, kFixedBufferSize}) {
      const int n = WriteFixedRecord(kFixedPlanet, v, out.data(), capacity);
      const std::string kept(out.data(), static_cast<std::size_t>(n));
      ASSERT_EQ(kept, whole.substr(0, kept.size())) << capacity;
      EXPECT_EQ(out[static_cast<std::size_t>(n)], '\0') << capacity;
      if (n > 0) {
        EXPECT_EQ(kept.back(), '\n') << capacity;
      }
      // The next line would not have fitted.
      if (kept.size() < whole.size()) {
        const std::size_t next = whole.find('\n', kept.size()) + 1;
        EXPECT_GT(next + 1, static_cast<std::size_t>(capacity)) << capacity;
      }
    }
  }
}

TEST_F(FixedLayouts, PlanetDrovelWritesTimeOnceThenOnePiecePerReading) {
  FixedValues v;
  v.Style = FixedStyle::kDrovel;
  v.Hour = 7;
  v.Minute = 8;
  v.Second = 9;
  v.ClearReadings();
  v.AddReading(451.0125, 10, 70);
  v.AddReading(451.025, 11, 71);
  v.AddReading(451.0375, 12, 72);
  EXPECT_EQ(Record(kFixedPlanet, v),
            "07:08:09:00 000.000000 000.000000 REPORT::Report: 451.0125 10 -70\n"
            " REPORT::Report: 451.0250 11 -71\n"
            " REPORT::Report: 451.0375 12 -72\n");
}

// --- Wireless Valley InFielder ---

TEST_F(FixedLayouts, InFielderOnlyForProductsThatWriteIt) {
  FixedValues v = Sample();
  EXPECT_EQ(Header(kFixedInFielder, v), "");
  EXPECT_EQ(Record(kFixedInFielder, v), "");
  v.InFielder = true;
  v.X = 1234;
  v.Y = 56;
  v.Marker = 1234;
  EXPECT_EQ(Header(kFixedInFielder, v),
            "Zanrovi, Inc.\nTYPE:\tMANUAL_DATA_ENTRY\nMEASUREMENT RUN:\t\nNOTES: Kes File\n"
            "TRANSMITTER:\tT1\nTX LOCATION:\t0\t0\t0\nX\tY\tZ\tMARKER\tRSSI(dBm)\tNOTES\n" +
                std::string(47, '_') + "\n");
  EXPECT_EQ(Record(kFixedInFielder, v), "1234.00\t56.00\t0.00\t1234\t-85\tXXX\n");
  v.ClearReadings();
  v.AddReading(0, 0, 70);
  v.AddReading(0, 0, 71);
  EXPECT_EQ(Record(kFixedInFielder, v),
            "1234.00\t56.00\t0.00\t1234\t-70\tXXX\n1234.00\t56.00\t0.00\t1234\t-71\tXXX\n");
  EXPECT_EQ(Trailer(kFixedInFielder, v), "");
}

// --- Everything else ---

TEST_F(FixedLayouts, FieldBasedFormatsWriteNothing) {
  const FixedValues v = Sample();
  for (int format : {-1, 0, 1, 2, 4, 5, 8, 9, 10, 11, 13}) {
    EXPECT_EQ(WriteFixedHeader(format, v, "x.out", out_.get()), 0) << format;
    EXPECT_EQ(WriteFixedRecord(format, v, out_.get()), 0) << format;
    EXPECT_EQ(WriteFixedTrailer(format, v, out_.get()), 0) << format;
  }
}

TEST_F(FixedLayouts, PiecesStayInsideTheBufferAndKeepWholeLines) {
  FixedValues v = Sample();
  v.ClearReadings();
  for (int i = 0; i < kMaxFixedReadings; ++i) ASSERT_TRUE(v.AddReading(1e9 + i, 100000 + i, 120));
  EXPECT_FALSE(v.AddReading(1, 1, 1));
  // Each Planet line here is over 70 bytes: 256 of them cannot all fit.
  const int n = WriteFixedRecord(kFixedPlanet, v, out_.get());
  ASSERT_GT(n, 0);
  ASSERT_LT(n, kFixedBufferSize);
  EXPECT_EQ(out_[n], '\0');
  EXPECT_EQ(out_[n - 1], '\n');
  const std::string text(out_.get(), n);
  const std::string first = text.substr(0, text.find('\n') + 1);
  EXPECT_EQ(first,
            "10:20:30:00 -40.508333 -74.123450 REPORT::Report: 1000000000.0000 100000 -120\n");
  // A buffer too small for even one line stays empty.
  EXPECT_EQ(WriteFixedRecord(kFixedGrayson, Sample(), out_.get(), 10), 0);
  EXPECT_EQ(out_[0], '\0');
  EXPECT_EQ(WriteFixedRecord(kFixedPathPro, Sample(), out_.get(), 28), 0);
  EXPECT_EQ(WriteFixedRecord(kFixedPathPro, Sample(), out_.get(), 29), 28);
  // Readings past the array are never read.
  v.ReadingCount = 100000;
  EXPECT_LT(WriteFixedRecord(kFixedGrayson, v, out_.get()), kFixedBufferSize);
}

}  // namespace
}  // namespace polvane
