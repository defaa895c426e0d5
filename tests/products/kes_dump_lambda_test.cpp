// 40-wavelength averaging in the Kes PC-dump reader, scaled by the records per second that the
// average-information pass counts.
#include <gtest/gtest.h>

#include "app/main_form.h"
#include "index/make_list.h"
#include "products/kes/kes_dump_converter.h"
#include "support/conversion.h"
#include "support/kes_dump_log.h"
#include "support/test_host.h"

namespace polvane {
namespace {

using namespace testing;

// Codes 1 and 15001 of this plan lie at 450 and 900 MHz.
KesDumpSetup Plan() {
  KesDumpSetup s;
  s.baseMhz = 450;
  s.fraction = 0;
  s.spacing = 300;  // 30 kHz
  s.firstCode = 1;
  s.lastCode = 20000;
  return s;
}

constexpr std::uint16_t k900 = 15001, k450 = 1;

KesDumpRecord Scan(std::vector<KesDumpChannel> channels, int second = 0) {
  KesDumpRecord r;
  r.channels = std::move(channels);
  r.clock = {12, 0, second};
  return r;
}

class KesDumpLambda : public ::testing::Test {
 protected:
  KesDumpLambda() {
    form.FrequencyField.SetChecked(false);
    form.FieldTitles.SetChecked(false);
  }
  std::vector<std::string> Run(const KesDumpLogBuilder& log) {
    const std::string path = dir.File("drive.kes");
    log.WriteTo(path);
    ConversionSettings s;
    s.ReductionMode = kReduceLambda;
    s.LambdaMetresPerSecond = dialog.MetresPerSecond();
    return Lines(Convert(c, form, path, Fields({0}), s));
  }
  ScratchDir dir;
  FormControls form;
  TLambdaDlg dialog;
  KesDumpConverter c;
};

TEST_F(KesDumpLambda, EveryChannelAveragesOverItsOwnWindow) {
  // 100 records a second at 30 MPH: 2 records per window at 900 MHz, 4 at 450 MHz.
  c.Gathering().SetRecordsPerSecond(100);
  KesDumpLogBuilder log;
  log.Setup(Plan());
  for (int i = 0; i < 4; ++i)
    log.Data(Scan({{k900, static_cast<std::uint8_t>(60 + 2 * i)},
                   {k450, static_cast<std::uint8_t>(70 + 2 * i)}}));
  const auto lines = Run(log);
  EXPECT_EQ(c.ColumnWindow(0), 2);
  EXPECT_EQ(c.ColumnWindow(1), 4);
  EXPECT_EQ(c.LambdaWindow(1), 2);
  // A line when a window closes; a channel without a mean yet shows the record's own sample.
  EXPECT_EQ(lines, (std::vector<std::string>{"-61,-72", "-65,-73"}));
}

TEST_F(KesDumpLambda, WithoutAverageInformationEveryRecordIsItsOwnWindow) {
  ASSERT_EQ(c.Gathering().RecordsPerSecond(), 1);
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(Scan({{k900, 60}})).Data(Scan({{k900, 64}}));
  EXPECT_EQ(Run(log), (std::vector<std::string>{"-60", "-64"}));
}

TEST_F(KesDumpLambda, ANewChannelInAColumnStartsItsWindowAfresh) {
  c.Gathering().SetRecordsPerSecond(100);
  KesDumpLogBuilder log;
  log.Setup(Plan());
  log.Data(Scan({{k900, 60}})).Data(Scan({{k900 + 1, 80}})).Data(Scan({{k900 + 1, 82}}));
  // 60 is not averaged with the other channel's 80.
  EXPECT_EQ(Run(log), (std::vector<std::string>{"-81"}));
}

TEST_F(KesDumpLambda, ASectionStillOpensWithItsTitles) {
  form.FieldTitles.SetChecked(true);
  c.Gathering().SetRecordsPerSecond(100);
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(Scan({{k900, 60}})).Data(Scan({{k900, 62}}));
  const auto lines = Run(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "\"RSSI #1\"");
  EXPECT_EQ(lines[1], "-61");
}

TEST_F(KesDumpLambda, PagingCapturesAreNotAveraged) {
  c.Gathering().SetRecordsPerSecond(100);
  KesDumpRecord pocsag = Scan({});
  pocsag.type = 7;
  pocsag.paging.Zeros(120);
  KesDumpLogBuilder log;
  log.Setup(Plan()).Data(pocsag);
  EXPECT_EQ(Run(log).size(), 1u);
}

TEST(KesDumpGathering, CountsDataRecordsOverTheirClockSeconds) {
  ScratchDir dir;
  TestHost host;
  TMainForm form{host};
  form.AutoIndex = false;
  KesDumpLogBuilder log;
  log.Setup(Plan()).Gps({});
  for (int second : {0, 0, 0, 1, 1, 1, 1, 2, 2}) log.Data(Scan({{k900, 60}}, second));
  log.Gps({});
  const std::string path = dir.File("drive.kes");
  log.WriteTo(path);
  ASSERT_EQ(form.ChooseInputFile(path), kProductKesDump);
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  // Nine data records in three seconds; the setup and GPS records are no data.
  EXPECT_EQ(host.MessageLines().back(), "Information: 9 Records\n3 Seconds\n3 Records Per Second");
  EXPECT_EQ(form.CurrentConverter.load()->Gathering().RecordsPerSecond(), 3);

  // The pass reads the file named when it was asked for, whatever the window names by the time
  // it runs.
  TMakeList again(form, form.GeneratorDlg);
  form.InputFilename.SetText(dir.File("elsewhere.kes"));
  again.Run();
  EXPECT_TRUE(again.Completed());
  EXPECT_EQ(form.GeneratorDlg.GatheredFile(), path);
}

}  // namespace
}  // namespace polvane
