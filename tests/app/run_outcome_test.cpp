// What a run tells the user: it refuses settings that would give an empty or faked output, it
// reports a cancel and a damaged log for what they are, and a loaded configuration converts as
// the same choices made by hand.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "convert/section_table.h"
#include "index/make_list.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/pelmor_log.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr std::int16_t kGpsTime = 11;

// A Kes PC-card drive: one scan header, then `records` data records of one channel.
KesCardLogBuilder KesDrive(int records) {
  KesScan scan;
  scan.codes = {5};
  KesCardLogBuilder log;
  log.Scan(scan);
  for (int i = 0; i < records; ++i)
    log.Data(KesDriveClock(i), {static_cast<std::uint8_t>(60 + i % 30)});
  return log;
}

class RunOutcomeTest : public WindowModelTest {
 protected:
  RunOutcomeTest() { form.AutoIndex = false; }
  std::int16_t Choose(const std::string& path) {
    const std::int16_t code = form.ChooseInputFile(path);
    form.OutputFilename.SetText(dir.File("out.txt"));
    return code;
  }
  RunOutcome Outcome() { return form.ConvertWorker()->Outcome(); }
};

TEST_F(RunOutcomeTest, ALoadedConfigurationConvertsAsTheFormatChosenByHand) {
  const std::string log = dir.File("drive.tvf");
  TarvikScanDrive(3).WriteTo(log);
  Choose(log);
  ChooseFormat(6);  // MLJ PathPro
  form.OutputFilename.SetText(dir.File("byhand.m01"));
  ASSERT_EQ(ConvertNow(), kCompleted);
  const std::string byHand = ReadFile(dir.File("byhand.m01"));
  ASSERT_EQ(byHand.substr(0, 17), "PathView M01 File");
  ASSERT_TRUE(form.SaveConfiguration(dir.File("saved.cfg")));

  TestHost otherHost;
  TMainForm loaded(otherHost);
  loaded.AutoIndex = false;
  loaded.LoadConfiguration(dir.File("saved.cfg"));
  EXPECT_EQ(loaded.OutputFormatGroup.ItemIndex(), 6);
  EXPECT_TRUE(loaded.FixedLayout);
  EXPECT_FALSE(loaded.DelimiterGroup.Visible());
  EXPECT_FALSE(loaded.FieldTitles.Visible());
  EXPECT_FALSE(loaded.SelectAll.Enabled());
  loaded.ChooseInputFile(log);
  loaded.OutputFilename.SetText(dir.File("loaded.m01"));
  loaded.btnConvertClick();
  loaded.WaitForConversion();
  // The records carry the run's clock only in the MDF side file: the M01 files are the same.
  EXPECT_EQ(ReadFile(dir.File("loaded.m01")), byHand);

  // A configuration of delimited text leaves the window in the delimited state again.
  ChooseFormat(kCustomAsciiFormat);
  form.AddSelectedField(kGpsTime);
  ASSERT_TRUE(form.SaveConfiguration(dir.File("text.cfg")));
  loaded.LoadConfiguration(dir.File("text.cfg"));
  EXPECT_FALSE(loaded.FixedLayout);
  EXPECT_TRUE(loaded.DelimiterGroup.Visible());
  EXPECT_TRUE(loaded.SelectAll.Enabled());
}

TEST_F(RunOutcomeTest, ALayoutTheProductDoesNotWriteIsRefusedAndNothingIsWritten) {
  const std::string tarvik = dir.File("drive.tvf");
  TarvikScanDrive(3).WriteTo(tarvik);
  Choose(tarvik);
  ChooseFormat(12);  // Wireless Valley InFielder
  // An earlier output under the name stays as it was.
  WriteFile(dir.File("out.txt"), {'k', 'e', 'e', 'p'});
  EXPECT_EQ(ConvertNow(), (std::vector<std::string>{
                              "Error: Output Format Not Available For This Product! (QVX Tarvik "
                              "does not write the Wireless Valley InFielder layout)"}));
  EXPECT_EQ(ReadFile(dir.File("out.txt")), "keep");

  // The layouts every reader writes are converted, and the Kes readers write InFielder too.
  ChooseFormat(7);  // MSI Planet
  EXPECT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(ReadFile(dir.File("out.txt")).substr(0, 7), "_HEADER");
  const std::string kes = dir.File("drive.bin");
  KesDrive(2).WriteTo(kes);
  Choose(kes);
  ChooseFormat(12);
  EXPECT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(ReadFile(dir.File("out.txt")).substr(0, 13), "Zanrovi, Inc.");
}

TEST_F(RunOutcomeTest, NoFieldSelectedAndASpeedThatIsNoNumberAreRefused) {
  const std::string log = dir.File("drive.tvf");
  TarvikScanDrive(3).WriteTo(log);
  Choose(log);
  ASSERT_EQ(form.SelectedBox.Count(), 0);
  EXPECT_EQ(ConvertNow(),
            (std::vector<std::string>{"Error: At Least One Field Must Be Selected."}));
  EXPECT_FALSE(fs::exists(dir.File("out.txt")));
  // A fixed layout needs no fields.
  ChooseFormat(3);
  form.OutputFilename.SetText(dir.File("out.txt"));
  EXPECT_EQ(ConvertNow(), kCompleted);
  ChooseFormat(kCustomAsciiFormat);
  form.AddSelectedField(kGpsTime);

  form.rbLambdaClick();
  ASSERT_TRUE(form.rbLambda.Checked());
  fs::remove(dir.File("out.txt"));
  for (const char* speed : {"abc", "", "30 mph", "1e999"}) {
    form.LambdaDlg.LambdaSpeed.SetText(speed);
    EXPECT_EQ(ConvertNow(), (std::vector<std::string>{"Error: Average Speed Must Be A Number!"}))
        << speed;
    EXPECT_FALSE(fs::exists(dir.File("out.txt"))) << speed;
  }
  for (const char* speed : {"30", " 42.5 ", "+7", "0"}) {
    form.LambdaDlg.LambdaSpeed.SetText(speed);
    EXPECT_EQ(ConvertNow(), kCompleted) << speed;
  }
  // Only a run that averages needs the speed.
  form.LambdaDlg.LambdaSpeed.SetText("abc");
  form.NoAvg.SetChecked(true);
  EXPECT_EQ(ConvertNow(), kCompleted);
}

TEST_F(RunOutcomeTest, ACancelledRunSaysSoAndTheGaugeStaysWhereItStopped) {
  const std::string log = dir.File("long.tvf");
  TarvikScanDrive(4000).WriteTo(log);
  Choose(log);
  form.AddSelectedField(kGpsTime);
  form.FieldTitles.SetChecked(false);
  // CANCEL once the gauge shows 40 %.
  int highest = 0;
  form.ProgressBar.Changed = [&] {
    highest = std::max(highest, form.ProgressBar.Position());
    if (form.ProgressBar.Position() == 40) form.btnCancelClick();
  };
  const std::vector<std::string> messages = ConvertNow();
  form.ProgressBar.Changed = nullptr;
  EXPECT_EQ(Outcome(), RunOutcome::kCancelled);
  const std::string out = ReadFile(dir.File("out.txt"));
  const std::size_t lines = Lines(out).size();
  EXPECT_GT(lines, 0u);
  EXPECT_LT(lines, 4000u);
  EXPECT_EQ(messages, (std::vector<std::string>{"Warning: Conversion Has Been Cancelled!\n" +
                                                std::to_string(lines) + " lines were written to " +
                                                dir.File("out.txt") +
                                                ", which holds only part of its input."}));
  EXPECT_EQ(form.ProgressBar.Position(), 40);
  EXPECT_EQ(highest, 40);

  // Left to run, the same conversion writes every record and completes.
  EXPECT_EQ(ConvertNow(), kCompleted);
  EXPECT_EQ(Outcome(), RunOutcome::kCompleted);
  EXPECT_EQ(Lines(ReadFile(dir.File("out.txt"))).size(), 4000u);
  EXPECT_EQ(form.ProgressBar.Position(), 100);
}

TEST_F(RunOutcomeTest, ACancelBetweenTheFilesOfAFolderMakesNoFurtherOutput) {
  ScratchDir in, out;
  TarvikScanDrive(2).WriteTo(in.File("a.tvf"));
  TarvikScanDrive(2).WriteTo(in.File("b.tvf"));
  form.AddSelectedField(kGpsTime);
  form.rbMultipleFiles.SetChecked(true);
  form.edInFolder.SetText(in.Path().string());
  form.edOutFolder.SetText(out.Path().string());
  form.cbInputExt.SetText("*.tvf");
  ASSERT_EQ(form.CollectFolderFiles(), 2);
  TConvert job(form);
  job.FileCount = 2;
  job.InputNames = form.InputNames;
  job.OutputNames = form.OutputNames;
  job.Terminate();
  job.Run();
  EXPECT_EQ(job.Outcome(), RunOutcome::kCancelled);
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{
                "Warning: Conversion Has Been Cancelled!\n0 of 2 files were converted in full."}));
  EXPECT_FALSE(fs::exists(out.File("a.out")));
  EXPECT_FALSE(fs::exists(out.File("b.out")));
}

TEST_F(RunOutcomeTest, ADamagedLogIsConvertedUpToTheDamageAndReported) {
  // A zero byte where the next record's type belongs: the framing ends the file there.
  KesCardLogBuilder kes = KesDrive(10);
  const std::size_t damage = kes.Data().size();
  kes.Raw(Bytes().U8(0));
  for (int i = 0; i < 5; ++i) kes.Data(KesDriveClock(i), {70});
  const std::string path = dir.File("drive.bin");
  kes.WriteTo(path);
  const std::size_t size = kes.Data().size();
  Choose(path);
  form.AddSelectedField(0);
  form.FieldTitles.SetChecked(false);
  const std::string unread = std::to_string(size - damage);
  EXPECT_EQ(
      ConvertNow(),
      (std::vector<std::string>{"Warning: Conversion Has Been Completed!\n" + path +
                                ": reading stopped at byte " + std::to_string(damage) + "; " +
                                unread + " bytes were left unread (damaged or cut-short data)."}));
  EXPECT_EQ(Outcome(), RunOutcome::kWarned);
  EXPECT_EQ(form.ConvertWorker()->Warnings().size(), 1u);
  EXPECT_EQ(Lines(ReadFile(dir.File("out.txt"))).size(), 10u);

  // A last record cut short is reported the same way, from where that record began.
  const std::size_t whole = TarvikScanDrive(4).Data().size();
  TarvikLogBuilder cutShort = TarvikScanDrive(5);
  cutShort.Truncate(cutShort.Data().size() - whole - 9).WriteTo(dir.File("cut.tvf"));
  Choose(dir.File("cut.tvf"));
  form.AddSelectedField(kGpsTime);
  const std::vector<std::string> cut = ConvertNow();
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_NE(cut[0].find("reading stopped at byte " + std::to_string(whole) + "; 9 bytes"),
            std::string::npos)
      << cut[0];
  EXPECT_EQ(Outcome(), RunOutcome::kWarned);

  // A whole log is not, nor a Pelmor log whose header ends the data before the file's end.
  TarvikScanDrive(4).WriteTo(dir.File("whole.tvf"));
  Choose(dir.File("whole.tvf"));
  form.AddSelectedField(kGpsTime);
  EXPECT_EQ(ConvertNow(), kCompleted);
  PelmorLogBuilder pelmor;
  pelmor.Fix({}).Samples(1, {70, 71}).Fix({});
  const std::size_t dataEnd = pelmor.Data().size();
  pelmor.Garbage(Bytes().U8(0xFF).U8(0xFF).U8(0xFF).U8(0xFF)).DataEnd(dataEnd);
  pelmor.WriteTo(dir.File("padded.pvf"));
  ASSERT_EQ(Choose(dir.File("padded.pvf")), kProductPelmor);
  form.DeselectAllClick();
  form.SelectAllClick();
  EXPECT_EQ(ConvertNow(), kCompleted);
}

TEST_F(RunOutcomeTest, ASectionIndexThatCannotBeReadEndsTheRunAndKeepsTheEarlierOutput) {
  TarvikScanDrive(4).WriteTo(dir.File("drive.tvf"));
  Choose(dir.File("drive.tvf"));
  form.AddSelectedField(kGpsTime);
  WriteFile(dir.File("out.txt"), {'e', 'a', 'r', 'l', 'y', '\n'});
  // The index of a log of many sections keeps them in its temporary file, which breaks.
  auto table = std::make_shared<SectionTable>(0);
  for (std::uint32_t k = 1; k <= 2 * SectionTable::kChunkSections + 1; ++k)
    ASSERT_NE(table->Add(k, 0, 0, true), nullptr);
  table->BreakFileForTesting();
  form.CurrentConverter.load()->Sections().SetTable(table);
  const std::vector<std::string> messages = ConvertNow();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Error: Section Index Cannot Be Read!", 0), 0u) << messages[0];
  EXPECT_EQ(Outcome(), RunOutcome::kFailed);
  EXPECT_EQ(ReadFile(dir.File("out.txt")), "early\n");
}

TEST_F(RunOutcomeTest, EveryBundledSampleConvertsWithoutAWarning) {
  for (const char* sample :
       {"drive-drovel.dvf", "drive-kes-card.bin", "drive-kes-dump.kes", "drive-pelmor.pvf",
        "drive-selvor.svf", "drive-tarvik-ext.tvf", "drive-tarvik.tvf"}) {
    const std::string path = std::string(POLVANE_SOURCE_DIR) + "/samples/" + sample;
    ASSERT_NE(Choose(path), kProductNone) << sample;
    form.DeselectAllClick();
    form.SelectAllClick();
    EXPECT_EQ(ConvertNow(), kCompleted) << sample;
  }
}

TEST_F(RunOutcomeTest, AMissingInputIsNotAnUnknownProduct) {
  EXPECT_EQ(form.ChooseInputFile(dir.File("MISSING.tvf")), kProductNone);
  EXPECT_EQ(host.MessageLines(),
            (std::vector<std::string>{"Error: Input File Does Not Exist! (" +
                                      dir.File("MISSING.tvf") + ": No such file or directory)"}));
  EXPECT_EQ(form.InputFilename.Text(), "");
}

TEST_F(RunOutcomeTest, FolderModeShowsNoSectionsItWouldNotHonour) {
  form.AutoIndex = true;
  const std::string log = dir.File("drive.tvf");
  TarvikScanDrive(3).WriteTo(log);
  form.ChooseInputFile(log);
  form.WaitForIndexing();
  ASSERT_FALSE(form.tvIndex.Roots().empty());
  form.rbMultipleFiles.SetChecked(true);
  form.FileModeClick();
  EXPECT_TRUE(form.tvIndex.Roots().empty());
  // Back in single-file mode the chosen file's sections are shown again.
  form.rbSingleFile.SetChecked(true);
  form.FileModeClick();
  form.WaitForIndexing();
  ASSERT_EQ(form.tvIndex.Roots().size(), 2u);
  EXPECT_EQ(form.tvIndex.Roots()[0]->Children.size(), 1u);
}

TEST_F(RunOutcomeTest, GatheringAverageInformationEndsAtAHundredPercent) {
  const std::string path = std::string(POLVANE_SOURCE_DIR) + "/samples/drive-kes-dump.kes";
  ASSERT_EQ(Choose(path), kProductKesDump);
  TMakeList pass(form, form.GeneratorDlg);
  pass.Run();
  ASSERT_TRUE(pass.Completed());
  EXPECT_EQ(form.GeneratorDlg.PercentComplete.Caption(), "100% Complete");
}

}  // namespace
}  // namespace polvane
