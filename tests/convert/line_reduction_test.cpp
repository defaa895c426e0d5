// The reductions over the lines of a conversion: threshold, traffic and one line per N metres,
// on Tarvik drives with known levels, speeds, positions and GPS times.
#include "convert/line_reduction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "products/tarvik/tarvik_converter.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"

namespace polvane {
namespace {

using namespace testing;

// One fast record of a drive: where and when, how fast, and the level of receiver 1 (and 2).
struct Fix {
  double latitude = 45.0, longitude = -73.0;
  int second = 0;  // seconds after 10:00:00
  int mph = 0;
  int level = 80;  // dBm magnitude of receiver 1
  int level2 = 0;  // receiver 2, when above 0
};

class LineReductionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ScanTypeGroup.SetItemIndex(1);  // "Fast Data": one reading per receiver
  }
  std::vector<std::string> Run(const std::vector<Fix>& drive, const LineReduction& r,
                               const Selection& fields = Fields({0, 5, 11, 18})) {
    TarvikLogBuilder log;
    log.Identification("QVX TARVIK", "1.25");
    for (const Fix& f : drive) {
      TarvikHeader h;
      h.latitude = f.latitude;
      h.longitude = f.longitude;
      h.gps = {10 + f.second / 3600, f.second / 60 % 60, f.second % 60};
      // The record stores centimetres per second; the reader truncates to whole miles per hour.
      h.velocityCmPerS = static_cast<std::uint16_t>(std::ceil(f.mph * 1000000.0 / 22356));
      std::array<TarvikFastBlock, 4> blocks;
      blocks[0].samples.assign(512, static_cast<std::uint8_t>(f.level));
      if (f.level2 > 0) blocks[1].samples.assign(512, static_cast<std::uint8_t>(f.level2));
      log.Fast(h, blocks);
    }
    const std::string path = dir.File("drive.tvf");
    log.WriteTo(path);
    ConversionSettings s;
    s.Reduction = r;
    form.FieldTitles.SetChecked(false);
    return Lines(Convert(c, form, path, fields, s));
  }
  static LineReduction Limit(ThresholdField field, Comparator cmp, double value) {
    LineReduction r;
    r.Limit = {field, cmp, value};
    return r;
  }

  ScratchDir dir;
  FormControls form;
  TarvikConverter c;
};

// The levels -89, -90 and -91 dBm, one record each.
std::vector<Fix> Levels() {
  std::vector<Fix> d(3);
  for (int i = 0; i < 3; ++i) {
    d[i].level = 89 + i;
    d[i].second = i;
  }
  return d;
}

TEST_F(LineReductionTest, EachComparatorAtTheBoundaryOfAnRssiThreshold) {
  form.FrequencyField.SetChecked(false);
  const Selection fields = Fields({0});
  const struct {
    Comparator cmp;
    std::vector<std::string> kept;
  } cases[] = {
      {Comparator::Greater, {"-89"}}, {Comparator::GreaterEqual, {"-89", "-90"}},
      {Comparator::Equal, {"-90"}},   {Comparator::LessEqual, {"-90", "-91"}},
      {Comparator::Less, {"-91"}},
  };
  for (const auto& k : cases)
    EXPECT_EQ(Run(Levels(), Limit(ThresholdField::Rssi, k.cmp, -90), fields), k.kept)
        << kComparatorTexts[static_cast<int>(k.cmp)];
}

TEST_F(LineReductionTest, AnRssiThresholdJudgesTheLineByItsStrongestReadingAndKeepsItWhole) {
  form.Receiver2.SetChecked(true);
  form.FrequencyField.SetChecked(false);
  std::vector<Fix> d(2);
  d[0].level = 95, d[0].level2 = 85;  // the second receiver hears above -90
  d[1].level = 95, d[1].level2 = 92;
  d[1].second = 1;
  EXPECT_EQ(Run(d, Limit(ThresholdField::Rssi, Comparator::Greater, -90), Fields({0})),
            std::vector<std::string>{"-95,-85"});
  // Below -90 means even the strongest stays below it.
  EXPECT_EQ(Run(d, Limit(ThresholdField::Rssi, Comparator::Less, -90), Fields({0})),
            std::vector<std::string>{"-95,-92"});
}

TEST_F(LineReductionTest, AVelocityThresholdComparesTheGpsSpeedInMilesPerHour) {
  std::vector<Fix> d(3);
  d[0].mph = 29, d[1].mph = 30, d[2].mph = 31;
  d[1].second = 1, d[2].second = 2;
  EXPECT_EQ(Run(d, Limit(ThresholdField::Velocity, Comparator::GreaterEqual, 30), Fields({27})),
            (std::vector<std::string>{"30", "31"}));
  EXPECT_EQ(Run(d, Limit(ThresholdField::Velocity, Comparator::Less, 30), Fields({27})),
            std::vector<std::string>{"29"});
}

// Driving north 0.001 degrees a second, then standing still, then driving again.
std::vector<Fix> StopAndGo(int drive, int stop, int after) {
  std::vector<Fix> d;
  double lat = 45.0;
  int t = 0;
  for (int i = 0; i < drive; ++i, ++t, lat += 0.001) d.push_back({lat, -73.0, t});
  lat -= 0.001;
  for (int i = 0; i < stop; ++i, ++t) d.push_back({lat, -73.0, t});
  for (int i = 0; i < after; ++i, ++t) {
    lat += 0.001;
    d.push_back({lat, -73.0, t});
  }
  return d;
}

std::vector<std::string> Times(const std::vector<std::string>& lines) {
  std::vector<std::string> t;
  for (const std::string& l : lines) t.push_back(l.substr(l.rfind(',') + 1));
  return t;
}

TEST_F(LineReductionTest, TrafficDropsAStopLongerThanTheSpanAndKeepsTheDriveAfterIt) {
  LineReduction r;
  r.Traffic = {true, 0.0005, 10};
  // Three records of driving (10:00:00 to :02), then 10:00:02 stands for 12 seconds (to :14).
  const std::vector<std::string> lines = Times(Run(StopAndGo(3, 12, 2), r, Fields({18})));
  std::vector<std::string> expected;
  // The drive, and the first 10 seconds of the stop since the vehicle last moved (at :02).
  for (int s = 0; s <= 12; ++s)
    expected.push_back("10:00:" + std::string(s < 10 ? "0" : "") + std::to_string(s));
  // :13 and :14 are past the span, dropped; the drive goes on at :15 and :16.
  expected.push_back("10:00:15");
  expected.push_back("10:00:16");
  EXPECT_EQ(lines, expected);
}

TEST_F(LineReductionTest, TrafficKeepsAStopOfTheSpanExactlyAndTakesMinutes) {
  LineReduction r;
  r.Traffic = {true, 0.0005, 10};
  // Stopped from :02 to :12: ten seconds, not more than the span.
  EXPECT_EQ(Run(StopAndGo(3, 10, 1), r, Fields({18})).size(), 14u);
  // 0.03 minutes are 0.0005 degrees.
  r.Traffic.Degrees = 0.03 / 60;
  EXPECT_EQ(Run(StopAndGo(3, 12, 2), r, Fields({18})).size(), 15u);
  // A drive that moves less than D a second, yet D within the span, is never a stop.
  std::vector<Fix> slow;
  for (int i = 0; i < 30; ++i) slow.push_back({45.0 + i * 0.0001, -73.0, i});
  EXPECT_EQ(Run(slow, r, Fields({18})).size(), 30u);
}

// Driving north along a meridian, 0.001 degrees (111.195 m) a record, with the levels given.
std::vector<Fix> Meridian(const std::vector<int>& levels) {
  std::vector<Fix> d;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    Fix f{45.0 + 0.001 * static_cast<double>(i), -73.0, static_cast<int>(i)};
    f.level = levels[i];
    d.push_back(f);
  }
  return d;
}

TEST_F(LineReductionTest, OneLinePerNMetresOnAStraightTrackWithTheStretchesMeanLevels) {
  LineReduction r;
  r.PerMetres = 250;
  form.FrequencyField.SetChecked(false);
  // Eleven fixes: 1111.95 m in all, passing 250, 500, 750 and 1000 m at fixes 3, 5, 7 and 9.
  const std::vector<int> levels = {60, 62, 64, 70, 80, 90, 71, 73, 75, 77, 99};
  const std::vector<std::string> lines = Run(Meridian(levels), r, Fields({0, 5, 18}));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "-64,45.0030,10:00:03",  // (60 + 62 + 64 + 70) / 4
                       "-85,45.0050,10:00:05",  // (80 + 90) / 2
                       "-72,45.0070,10:00:07",  // (71 + 73) / 2
                       "-76,45.0090,10:00:09",  // (75 + 77) / 2; the last 112 m are not written
                   }));
  EXPECT_NEAR(GreatCircleMetres(45.0, -73.0, 45.001, -73.0), 111.195, 0.001);
}

TEST_F(LineReductionTest, MetresAverageEachReceiverOnItsOwnAndRoundToTheNearestDb) {
  LineReduction r;
  r.PerMetres = 200;
  form.Receiver2.SetChecked(true);
  form.FrequencyField.SetChecked(false);
  std::vector<Fix> d = Meridian({60, 61, 70});
  d[0].level2 = 90, d[1].level2 = 91, d[2].level2 = 93;
  // Passing 200 m at the third fix: receiver 1 (60 + 61 + 70) / 3 = 63.67, receiver 2 91.33.
  EXPECT_EQ(Run(d, r, Fields({0})), std::vector<std::string>{"-64,-91"});
}

TEST_F(LineReductionTest, TheThresholdComesBeforeTheAverage) {
  LineReduction r = Limit(ThresholdField::Rssi, Comparator::Greater, -100);
  r.PerMetres = 200;
  form.FrequencyField.SetChecked(false);
  // The -110 reading of the second fix is below the floor: it joins no stretch.
  EXPECT_EQ(Run(Meridian({60, 110, 70}), r, Fields({0})), std::vector<std::string>{"-65"});
}

// Joins the cells of each line as the delimited output does, keeping the place of each line.
class JoiningSink : public LineSink {
 public:
  void Write(const Line& line) override {
    std::string s;
    for (std::size_t i = 0; i < line.Cells.size(); ++i)
      s += (i ? "," : "") + std::string(line.Cells[i].Text);
    lines.push_back(s);
    places.push_back(line.Place);
  }
  std::vector<std::string> lines;
  std::vector<LinePlace> places;
};

TEST_F(LineReductionTest, EverySinkGetsTheSameReducedLines) {
  LineReduction r = Limit(ThresholdField::Rssi, Comparator::Greater, -100);
  r.PerMetres = 250;
  form.FrequencyField.SetChecked(false);
  const std::vector<int> levels = {60, 62, 64, 70, 80, 90, 71, 73, 75, 77, 99};
  const Selection fields = Fields({0, 5, 18});
  const std::vector<std::string> delimited = Run(Meridian(levels), r, fields);
  ASSERT_EQ(delimited.size(), 4u);

  const std::string path = dir.File("drive.tvf");  // the drive Run wrote
  ConversionSettings s;
  s.Reduction = r;
  c.SetSettings(FormSettings(form, s));
  ASSERT_EQ(c.OpenInput(path), 0);
  c.SetConverting(true);
  JoiningSink sink;
  RecordLoop loop;
  RunState run;
  loop.Run(c, sink, nullptr, fields, run, 1);
  c.SetConverting(false);
  EXPECT_EQ(sink.lines, delimited);
  // Each line keeps the place of the record that passed the mark.
  ASSERT_EQ(sink.places.size(), 4u);
  EXPECT_NEAR(sink.places[0].Latitude, 45.003, 1e-9);
  EXPECT_EQ(sink.places[3].GpsSeconds, 10 * 3600 + 9);
}

TEST_F(LineReductionTest, TrafficDropsTheRecordsOfAFixedLayoutToo) {
  LineReduction r;
  r.Traffic = {true, 0.0005, 10};
  form.OutputFormatGroup.SetItemIndex(7);  // MSI Planet: a line per record
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  for (const Fix& f : StopAndGo(3, 12, 2)) {
    TarvikHeader h;
    h.latitude = f.latitude;
    h.longitude = f.longitude;
    h.gps = {10, 0, f.second};
    log.Fast(h, {});
  }
  const std::string path = dir.File("planet.tvf");
  log.WriteTo(path);
  ConversionSettings s;
  s.FixedLayout = true;
  s.OutputFormat = 7;
  const std::size_t all = Lines(Convert(c, form, path, Fields({0}), s)).size();
  s.Reduction = r;
  const std::vector<std::string> reduced = Lines(Convert(c, form, path, Fields({0}), s));
  EXPECT_EQ(all - reduced.size(), 2u);  // 10:00:13 and :14
  for (const std::string& line : reduced) EXPECT_EQ(line.find("10:00:13"), std::string::npos);
}

TEST(LineReductionText, ThresholdsTrafficAndNumbers) {
  Threshold t;
  std::string why;
  ASSERT_TRUE(ParseThreshold("RSSI>-90", t, why));
  EXPECT_EQ(t.Field, ThresholdField::Rssi);
  EXPECT_EQ(t.Compare, Comparator::Greater);
  EXPECT_EQ(t.Value, -90);
  ASSERT_TRUE(ParseThreshold(" velocity <= 30.5 ", t, why));
  EXPECT_EQ(t.Field, ThresholdField::Velocity);
  EXPECT_EQ(t.Compare, Comparator::LessEqual);
  EXPECT_EQ(t.Value, 30.5);
  for (const char* cmp : {">", ">=", "=", "<=", "<"}) {
    ASSERT_TRUE(ParseThreshold(std::string("RSSI") + cmp + "1", t, why)) << cmp;
    EXPECT_STREQ(kComparatorTexts[static_cast<int>(t.Compare)], cmp);
  }
  for (const char* bad : {"RSSI", "Speed>3", "RSSI>>3", "RSSI=>3", "RSSI<", "RSSI>x", "RSSI>3x",
                          ">3", "RSSI>nan", "RSSI>inf"})
    EXPECT_FALSE(ParseThreshold(bad, t, why)) << bad;

  TrafficFilter f;
  ASSERT_TRUE(ParseTraffic(".0005,30", f, why));
  EXPECT_DOUBLE_EQ(f.Degrees, 0.0005);
  EXPECT_EQ(f.Seconds, 30);
  ASSERT_TRUE(ParseTraffic("0.03min,10", f, why));
  EXPECT_TRUE(f.Minutes);
  EXPECT_DOUBLE_EQ(f.Degrees, 0.0005);
  ASSERT_TRUE(ParseTraffic("0.001deg, 5", f, why));
  EXPECT_FALSE(f.Minutes);
  for (const char* bad : {"", "0.001", "0,30", "0.001,0", "-1,30", "x,30", "0.001km,30", "1,2,3"})
    EXPECT_FALSE(ParseTraffic(bad, f, why)) << bad;
}

}  // namespace
}  // namespace polvane
