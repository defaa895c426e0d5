#include "app/main_form.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/convert_job.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;

class MainFormTest : public WindowModelTest {
 protected:
  std::string Browse(const std::string& path) {
    host.OpenAnswers.push_back(path);
    form.InBrowseClick();
    form.WaitForIndexing();
    return path;
  }
};

TEST_F(MainFormTest, StartsWithTarvikCurrentAndItsFieldsOffered) {
  EXPECT_EQ(form.CurrentConverter.load()->ProductCodeValue(), kProductTarvik);
  EXPECT_EQ(form.AvailableBox.Count(), 30);
  EXPECT_EQ(form.AvailableBox.Item(0), "<< DATA >>");
  EXPECT_EQ(form.OutputFormatGroup.ItemIndex(), kCustomAsciiFormat);
  EXPECT_EQ(form.PreviousInputFormat, 1);
  EXPECT_EQ(form.InputFormatLabel.Caption(), "(None)");
}

TEST_F(MainFormTest, BrowsingALogSetsProductNamesAndIndex) {
  const std::string path = dir.File("drive1.tvf");
  TarvikScanDrive(3, 2).WriteTo(path);
  Browse(path);
  EXPECT_EQ(form.InputFormatLabel.Caption(), "QVX Tarvik");
  EXPECT_EQ(form.InputFilename.Text(), path);
  EXPECT_EQ(form.OutputFilename.Text(), dir.File("drive1.out"));
  EXPECT_TRUE(form.ScanTypeGroup.Visible());
  EXPECT_EQ(form.ScanTypeGroup.ItemIndex(), 1);
  EXPECT_FALSE(form.DrovelMode.Visible());
  for (CheckBox* b : form.ReceiverBoxes) EXPECT_TRUE(b->Enabled());
  EXPECT_FALSE(form.SATField.Enabled());
  ASSERT_EQ(form.tvIndex.Roots().size(), 2u);
  EXPECT_EQ(form.tvIndex.Roots()[0]->Text, "Scan Data");
  EXPECT_EQ(form.tvIndex.Roots()[0]->Children.size(), 1u);
  EXPECT_EQ(form.tvIndex.Roots()[1]->Children.size(), 1u);
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(MainFormTest, UnknownFileWarnsAndKeepsTheNames) {
  const std::string good = dir.File("good.tvf");
  TarvikScanDrive(1).WriteTo(good);
  Browse(good);
  const std::string bad = dir.File("bad.tvf");
  WriteFile(bad, {1, 2, 3, 4, 5, 6});
  Browse(bad);
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{"Warning: File is not from a QVX CW product."}));
  EXPECT_EQ(form.InputFilename.Text(), good);
  EXPECT_EQ(form.InputFormatGroup.ItemIndex(), 0);
  EXPECT_EQ(form.InputFormatLabel.Caption(), "QVX Tarvik");
}

TEST_F(MainFormTest, UlvasFallsBackToThePreviousProduct) {
  form.AutoIndex = false;
  form.InputFormatGroup.SetItemIndex(2);
  form.InputFormatGroup.SetItemIndex(6);
  EXPECT_EQ(form.InputFormatGroup.ItemIndex(), 2);
  EXPECT_EQ(form.CurrentConverter.load()->ProductCodeValue(), kProductSelvor);
  EXPECT_EQ(form.PreviousInputFormat, 2);
  EXPECT_EQ(form.InputFormatLabel.Caption(), "QVX Selvor");
}

TEST_F(MainFormTest, ProductSettingsEnableTheirControls) {
  form.AutoIndex = false;
  form.Receiver2.SetChecked(true);
  form.Receiver3.SetChecked(true);
  form.InputFormatGroup.SetItemIndex(kProductDrovel);
  EXPECT_TRUE(form.DrovelMode.Visible() && form.DrovelMode.Enabled());
  EXPECT_FALSE(form.ScanTypeGroup.Visible());
  EXPECT_EQ(form.ScanTypeGroup.ItemIndex(), 0);
  EXPECT_TRUE(form.Receiver1.Checked());  // stays enabled and keeps its mark
  EXPECT_FALSE(form.Receiver2.Checked() || form.Receiver2.Enabled());
  EXPECT_EQ(form.AvailableBox.Count(), 9);
  form.InputFormatGroup.SetItemIndex(kProductKesCard);
  EXPECT_TRUE(form.SATField.Enabled() && form.VMACField.Enabled());
  EXPECT_FALSE(form.DrovelMode.Visible());
  form.SATField.SetChecked(true);
  form.InputFormatGroup.SetItemIndex(kProductPelmorCard);
  EXPECT_FALSE(form.SATField.Checked());
  EXPECT_TRUE(form.Receiver2.Enabled());
  EXPECT_FALSE(form.Receiver3.Enabled());
  EXPECT_EQ(form.CurrentConverter.load(), form.Converters().ForCode(kProductPelmor));
}

TEST_F(MainFormTest, SelectionButtonsKeepTagsInStep) {
  form.AvailableBox.SetItemIndex(2);  // "Latitude (Decimal Degrees)"
  form.SelectClick();
  form.SelectClick();
  EXPECT_EQ(form.SelectedBox.Count(), 2);
  EXPECT_EQ(form.SnapshotSelection().Tags, (std::vector<std::int16_t>{5, 5}));
  form.DeselectAllClick();
  form.AvailableBox.SetItemIndex(0);
  form.SelectClick();
  EXPECT_EQ(form.SnapshotSelection().Tags, (std::vector<std::int16_t>{0}));
  form.SelectAllClick();
  EXPECT_EQ(form.SelectedBox.Count(), 31);
  form.SelectedBox.SetItemIndex(0);
  form.DeselectClick();
  const Selection s = form.SnapshotSelection();
  EXPECT_EQ(s.Tags.front(), 0);
  EXPECT_EQ(s.Tags[1], 4);
  EXPECT_EQ(s.Texts[1], "CR / LF");
}

TEST_F(MainFormTest, ProductSwitchKeepsTheSelectionsTags) {
  form.AutoIndex = false;
  form.AddSelectedField(5);
  form.AddSelectedField(0);
  form.InputFormatGroup.SetItemIndex(kProductPelmor);
  EXPECT_EQ(form.SnapshotSelection().Tags, (std::vector<std::int16_t>{5, 0}));
}

TEST_F(MainFormTest, DelimiterMapping) {
  const std::pair<int, char> cases[] = {{0, ','}, {1, ';'}, {2, '\t'}, {3, ' '}, {-1, '@'}};
  for (auto [item, delimiter] : cases) {
    form.DelimiterGroup.SetItemIndex(item);
    EXPECT_EQ(form.CurrentDelimiter(), delimiter) << item;
  }
  form.DelimiterGroup.SetItemIndex(4);
  EXPECT_EQ(form.CurrentDelimiter(), ':');
  form.OtherDelimiter.SetText("|");
  EXPECT_EQ(form.CurrentDelimiter(), '|');
  form.OtherDelimiter.SetText("");
  EXPECT_EQ(form.CurrentDelimiter(), ':');
}

TEST_F(MainFormTest, ReductionModeFollowsTheButtons) {
  EXPECT_EQ(form.CurrentReductionMode(), kReduceNone);
  form.rbORPS.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReducePerSeconds);
  form.rbORPM.SetChecked(true);
  EXPECT_EQ(form.CurrentReductionMode(), kReducePerMeters);
  form.BSAvg.SetChecked(true);  // best server wins over "1 Rec per"
  EXPECT_EQ(form.CurrentReductionMode(), kReduceBestServer);
  EXPECT_FALSE(form.NoAvg.Checked());
}

TEST_F(MainFormTest, ConvertNeedsNamesOrFolders) {
  EXPECT_EQ(ConvertNow(),
            (std::vector<std::string>{"Error: Input and Output Files Must Be Selected."}));
  form.rbMultipleFiles.SetChecked(true);
  EXPECT_EQ(ConvertNow(),
            (std::vector<std::string>{"Error: Input and Output Folders Must Be Selected."}));
}

TEST_F(MainFormTest, EdxSignalProWritesFiveFirst) {
  const std::string path = dir.File("d.tvf");
  TarvikScanDrive(2).WriteTo(path);
  Browse(path);
  form.OutputFormatGroup.SetItemIndex(1);
  form.OutputFormatGroupChange();
  form.FieldTitles.SetChecked(true);
  EXPECT_EQ(ConvertNow(), kCompleted);
  const auto lines = Lines(ReadFile(form.OutputFilename.Text()));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "5");
  EXPECT_EQ(lines[1],
            "\"Longitude (Decimal Degrees)\",\"Latitude (Decimal Degrees)\",\"Rec#1 RSSI\"");
  EXPECT_EQ(form.ProgressBar.Position(), 100);
}

TEST_F(MainFormTest, MessagesEndTheRunInTheirOrder) {
  const std::string path = dir.File("m.tvf");
  TarvikScanDrive(1).WriteTo(path);
  Browse(path);
  form.AddSelectedField(11);
  form.OutputFilename.SetText(dir.File("no/such/folder/x.out"));
  EXPECT_EQ(ConvertNow(), (std::vector<std::string>{"Error: Output File Cannot Be Accessed! (" +
                                                    dir.File("no/such/folder/x.out") +
                                                    ": No such file or directory)"}));
  form.InputFilename.SetText(dir.File("gone.tvf"));
  EXPECT_EQ(ConvertNow(),
            (std::vector<std::string>{"Error: Input File Does Not Exist! (" + dir.File("gone.tvf") +
                                      ": No such file or directory)"}));
  EXPECT_EQ(form.ConvertWorker()->Outcome(), RunOutcome::kFailed);
}

TEST_F(MainFormTest, FolderRunConvertsEveryMatchingFileAndSkipsAMissingOne) {
  const std::filesystem::path in = dir.Path() / "in", out = dir.Path() / "out";
  std::filesystem::create_directories(in);
  std::filesystem::create_directories(out);
  TarvikScanDrive(1, 1).WriteTo((in / "a.tvf").string());
  TarvikScanDrive(2).WriteTo((in / "b.TVF").string());
  WriteFile(in / "c.txt", {1});
  form.AddSelectedField(32);
  form.rbMultipleFiles.SetChecked(true);
  form.edInFolder.SetText(in.string());
  form.edOutFolder.SetText(out.string());
  form.cbInputExt.SetText("*.tvf");
  form.edOutputExt.SetText(".csv");
  EXPECT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(form.edFileCount.Text(), "2");
  EXPECT_TRUE(form.CurrentConverter.load()->BatchMode());
  EXPECT_EQ(Lines(ReadFile(out / "a.csv")).size(), 3u);
  EXPECT_EQ(Lines(ReadFile(out / "b.csv")).size(), 3u);

  // Cancelled before it starts: no output is made or replaced.
  TConvert job(form);
  job.FileCount = 2;
  job.InputNames = form.InputNames;
  job.OutputNames = form.OutputNames;
  job.Terminate();
  host.ClearMessages();
  job.Run();
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{
                "Warning: Conversion Has Been Cancelled!\n0 of 2 files were converted in full."}));
  EXPECT_EQ(Lines(ReadFile(out / "a.csv")).size(), 3u);

  // A missing input of a folder run is skipped with a warning; the run goes on.
  TConvert broken(form);
  broken.FileCount = 2;
  broken.InputNames = {(in / "gone.tvf").string(), (in / "a.tvf").string()};
  broken.OutputNames = {(out / "gone.csv").string(), (out / "a2.csv").string()};
  host.ClearMessages();
  broken.Run();
  EXPECT_EQ(
      host.MessageLines(),
      (std::vector<std::string>{"Warning: Conversion Has Been Completed! (converted 1, "
                                "skipped 1)\nInput File Skipped! (" +
                                (in / "gone.tvf").string() + ": No such file or directory)"}));
  EXPECT_EQ(broken.Outcome(), RunOutcome::kWarned);
  EXPECT_TRUE(std::filesystem::exists(out / "a2.csv"));
}

TEST_F(MainFormTest, EmptyFolderCompletesWithCountZero) {
  form.rbMultipleFiles.SetChecked(true);
  form.edInFolder.SetText(dir.Path().string());
  form.edOutFolder.SetText(dir.Path().string());
  EXPECT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(form.edFileCount.Text(), "0");
}

TEST_F(MainFormTest, FolderListsGrowPastTheirOldLimit) {
  for (int i = 0; i < 1030; ++i) WriteFile(dir.Path() / ("f" + std::to_string(i) + ".pvf"), {});
  form.AutoIndex = false;
  form.edInFolder.SetText(dir.Path().string());
  form.edOutFolder.SetText(dir.Path().string());
  EXPECT_EQ(form.CollectFolderFiles(), 1030);
  EXPECT_EQ(form.OutputNames.size(), 1030u);
}

// Writes a file of `lines` numbered lines for the split.
std::string WriteLines(const std::string& path, int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i) text += std::to_string(i) + "\r\n";
  WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  return path;
}

int CountLines(const std::filesystem::path& p) {
  const std::string t = ReadFile(p);
  return static_cast<int>(std::count(t.begin(), t.end(), '\n'));
}

TEST(Split, PiecesOfAtMostSixtyThousandLines) {
  ScratchDir dir;
  const std::string out = WriteLines(dir.File("run.out"), 60002);
  ASSERT_EQ(SplitOutputFile(out, kSplitLines, nullptr), nullptr);
  EXPECT_EQ(CountLines(dir.Path() / "run" / "run-1.out"), 60000);
  EXPECT_EQ(CountLines(dir.Path() / "run" / "run-2.out"), 2);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "run" / "run-3.out"));
  EXPECT_TRUE(std::filesystem::exists(out));  // the full output stays
}

TEST(Split, ExactMultipleWritesNoEmptyPiece) {
  ScratchDir dir;
  const std::string out = WriteLines(dir.File("x.out"), 120000);
  ASSERT_EQ(SplitOutputFile(out, kSplitLines, nullptr), nullptr);
  EXPECT_EQ(CountLines(dir.Path() / "x" / "x-2.out"), 60000);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "x" / "x-3.out"));
}

TEST(Split, LongLinesAreCountedOnceAndNeverCut) {
  ScratchDir dir;
  std::string text;
  for (int i = 0; i < 5; ++i) text += std::string(9000, 'a' + i) + "\r\n";
  const std::string out = dir.File("long.out");
  WriteFile(out, std::vector<std::uint8_t>(text.begin(), text.end()));
  ASSERT_EQ(SplitOutputFile(out, 2, nullptr), nullptr);
  EXPECT_EQ(CountLines(dir.Path() / "long" / "long-1.out"), 2);
  EXPECT_EQ(CountLines(dir.Path() / "long" / "long-3.out"), 1);
  EXPECT_EQ(ReadFile(dir.Path() / "long" / "long-3.out"), std::string(9000, 'e') + "\r\n");
}

TEST(Split, FolderThatCannotBeCreated) {
  ScratchDir dir;
  const std::string out = WriteLines(dir.File("y.out"), 3);
  WriteFile(dir.Path() / "y", {1});  // a file stands where the folder would go
  EXPECT_STREQ(SplitOutputFile(out, 2, nullptr), "Cannot create directory.");
}

TEST_F(MainFormTest, SixtyThousandRecordsAreNotSplitButOneMoreIs) {
  const std::string path = dir.File("big.tvf");
  TarvikScanDrive(60000).WriteTo(path);
  Browse(path);
  form.cbSplit.SetChecked(true);
  form.AddSelectedField(32);
  ConvertNow();
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "big"));
  TarvikScanDrive(60001).WriteTo(path);
  ConvertNow();
  EXPECT_EQ(CountLines(dir.Path() / "big" / "big-1.out"), 60000);  // titles and 59999 records
  EXPECT_EQ(CountLines(dir.Path() / "big" / "big-2.out"), 2);
}

TEST_F(MainFormTest, ConfigurationSaveKeepsForeignKeysAndRoundTrips) {
  const std::string log = dir.File("c.tvf");
  TarvikScanDrive(3, 2).WriteTo(log);
  Browse(log);
  form.AddSelectedField(5);
  form.AddSelectedField(0);
  form.AddSelectedField(32);
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.DelimiterGroup.SetItemIndex(1);
  form.BSAvg.SetChecked(true);

  const std::string cfg = dir.File("s.cfg");
  const std::string existing =
      "[Mine]\r\nKeep=yes\r\n[SelectedFields]\r\nCount=9\r\nField7=old\r\n";
  WriteFile(cfg, std::vector<std::uint8_t>(existing.begin(), existing.end()));
  host.SaveAnswers.push_back(cfg);
  form.SaveConfiguration1Click();
  const std::string saved = ReadFile(cfg);
  EXPECT_NE(saved.find("Keep=yes"), std::string::npos);
  EXPECT_NE(saved.find("Field7=old"), std::string::npos);
  EXPECT_NE(saved.find("Count=3"), std::string::npos);
  EXPECT_LT(saved.find("[Product]"), saved.find("[OutputFile]"));
  EXPECT_NE(saved.find("Tag1=0"), std::string::npos);
  ConvertNow();
  const std::string first = ReadFile(form.OutputFilename.Text());

  TestHost otherHost;
  TMainForm other(otherHost);
  otherHost.OpenAnswers.push_back(cfg);
  other.OpenConfiguration1Click();
  other.WaitForIndexing();
  EXPECT_EQ(other.InputFilename.Text(), log);
  EXPECT_EQ(other.SnapshotSelection().Tags, (std::vector<std::int16_t>{5, 0, 32}));
  EXPECT_TRUE(other.BSAvg.Checked());
  other.btnConvertClick();
  other.WaitForConversion();
  EXPECT_EQ(ReadFile(other.OutputFilename.Text()), first);
}

TEST_F(MainFormTest, MissingKeysLoadTheirDefaults) {
  const std::string cfg = dir.File("empty.cfg");
  WriteFile(cfg, {'x', '\n'});
  form.Receiver2.SetChecked(true);
  form.ChannelField.SetChecked(true);
  form.AutoIndex = false;
  form.LoadConfiguration(cfg);
  EXPECT_TRUE(form.Receiver1.Checked());
  EXPECT_FALSE(form.Receiver2.Checked());
  EXPECT_TRUE(form.FrequencyField.Checked() && form.RSSIField.Checked());
  EXPECT_FALSE(form.ChannelField.Checked());
  EXPECT_FALSE(form.FieldTitles.Checked());
  EXPECT_EQ(form.InputFilename.Text(), "Sample.in");
  EXPECT_EQ(form.OutputFilename.Text(), "Sample.out");
  EXPECT_EQ(form.SelectedBox.Count(), 0);
  EXPECT_EQ(form.OutputFormatGroup.ItemIndex(), 0);
}

}  // namespace
}  // namespace polvane
