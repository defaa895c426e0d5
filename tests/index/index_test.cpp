#include <gtest/gtest.h>
#include <malloc.h>

#include "app/main_form.h"
#include "convert/section_table.h"
#include "index/make_index.h"
#include "support/bytes.h"
#include "support/conversion.h"
#include "support/kes_card_log.h"
#include "support/tarvik_log.h"
#include "support/test_host.h"

namespace polvane {
namespace {

using namespace testing;

// Writes a Tarvik log whose records follow `kinds` ('S' scan, 'F' fast), one GPS second apart.
void WriteKinds(const std::string& path, const std::string& kinds) {
  TarvikKindsDrive(kinds).WriteTo(path);
}

class IndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ProgressBar.Changed = [this] { gauge.push_back(form.ProgressBar.Position()); };
  }
  void Choose(const std::string& path) {
    form.ChooseInputFile(path);
    form.WaitForIndexing();
  }
  // A Kes PC-card log of `count` empty scan headers, each a section of its own, all at 09:30:00.
  std::string EmptyHeaders(const char* name, int count) {
    KesCardLogBuilder log("QVX KES CW RECEIVER V1.05");
    log.Clock({9, 30, 0});
    KesScan empty;
    empty.type = 3;
    for (int i = 0; i < count; ++i) log.Scan(empty);
    const std::string path = dir.File(name);
    log.WriteTo(path);
    return path;
  }
  TreeRoot& Root(int i) { return *form.tvIndex.Roots()[i]; }
  std::vector<std::string> Seconds() {
    form.AddSelectedField(21);
    form.FieldTitles.SetChecked(false);
    form.btnConvertClick();
    form.WaitForConversion();
    return Lines(ReadFile(form.OutputFilename.Text()));
  }

  ScratchDir dir;
  TestHost host;
  TMainForm form{host};
  std::vector<int> gauge;
};

TEST_F(IndexTest, OneKindGivesOneSection) {
  const std::string path = dir.File("one.tvf");
  WriteKinds(path, "FFFF");
  Choose(path);
  ASSERT_EQ(form.tvIndex.Roots().size(), 2u);
  EXPECT_EQ(Root(0).Text, "Scan Data");
  EXPECT_TRUE(Root(0).Children.empty());
  ASSERT_EQ(Root(1).Children.size(), 1u);
  EXPECT_EQ(form.tvIndex.Text(Root(1).Children[0]), "02:00:00");
  EXPECT_EQ(Root(1).Children[0].StateIndex, kStateSelected);
  EXPECT_FALSE(host.WaitWindowShown);
}

TEST_F(IndexTest, AlternatingKindsAndDeselectingTheThirdSection) {
  const std::string path = dir.File("aba.tvf");
  WriteKinds(path, "SSFFSS");
  Choose(path);
  ASSERT_EQ(Root(0).Children.size(), 2u);
  ASSERT_EQ(Root(1).Children.size(), 1u);
  // The window's reader consults the tree's own sections.
  const ProductConverter& c = *form.CurrentConverter.load();
  EXPECT_EQ(c.Sections().Table(), form.tvIndex.Sections());
  EXPECT_EQ(Root(0).Children[0].Ordinal, 1u);
  EXPECT_EQ(Root(1).Children[0].Ordinal, 2u);
  EXPECT_EQ(Root(0).Children[1].Ordinal, 3u);
  EXPECT_EQ(form.tvIndex.Text(Root(0).Children[1]), "02:00:04");
  const TreeNode third = Root(0).Children[1];
  form.tvIndex.tvIndexMouseUp(&third);
  EXPECT_EQ(Seconds(), (std::vector<std::string>{"00", "01", "02", "03"}));
}

TEST_F(IndexTest, ClicksToggleOnlySectionNodes) {
  const std::string path = dir.File("c.tvf");
  WriteKinds(path, "SF");
  Choose(path);
  const TreeNode section = Root(0).Children[0];
  form.tvIndex.tvIndexMouseUp(form.tvIndex.ModeNodes[1]);
  form.tvIndex.tvIndexMouseUp(nullptr);
  EXPECT_EQ(Root(0).StateIndex, kNoStateImage);
  // A copy of the section under another kind, or of a section the file does not have, is not
  // one of the tree's sections.
  TreeNode elsewhere = section;
  elsewhere.Parent = 1;
  form.tvIndex.tvIndexMouseUp(&elsewhere);
  TreeNode missing = section;
  missing.Ordinal = 9;
  form.tvIndex.tvIndexMouseUp(&missing);
  EXPECT_EQ(Root(0).Children[0].StateIndex, kStateSelected);
  // The click toggles the tree's state, whatever state the copy clicked on shows.
  form.tvIndex.tvIndexMouseUp(&section);
  EXPECT_EQ(Root(0).Children[0].StateIndex, kStateDeselected);
  EXPECT_EQ(form.tvIndex.SelectedCount(Root(0)), 0u);
  form.tvIndex.tvIndexMouseUp(&section);
  EXPECT_EQ(Root(0).Children[0].StateIndex, kStateSelected);
  EXPECT_EQ(form.tvIndex.SelectedCount(Root(0)), 1u);
}

TEST_F(IndexTest, ManyAlternationsAgreeBetweenBothPasses) {
  std::string kinds;
  for (int i = 0; i < 1500; ++i) kinds += i % 2 ? "F" : "S";  // more sections than 1024
  const std::string path = dir.File("many.tvf");
  WriteKinds(path, kinds);
  Choose(path);
  const ProductConverter& c = *form.CurrentConverter.load();
  ASSERT_EQ(c.Sections().Table()->Size(), 1500u);
  const TreeNode section = form.tvIndex.Section(1200);  // the record of second 1199
  form.tvIndex.tvIndexMouseUp(&section);
  const auto lines = Seconds();
  EXPECT_EQ(lines.size(), 1499u);
  EXPECT_EQ(lines[1198], std::to_string(1198 % 60).insert(0, 1198 % 60 < 10 ? "0" : ""));
  EXPECT_EQ(lines[1199], std::to_string(1200 % 60).insert(0, 1200 % 60 < 10 ? "0" : ""));
}

TEST_F(IndexTest, SecondRunRestartsTheGaugeAtZero) {
  const std::string path = dir.File("g.tvf");
  WriteKinds(path, "SSSSSSSSSS");
  Choose(path);
  const std::vector<int> first = gauge;
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(std::is_sorted(first.begin(), first.end() - 1));  // rising while reading
  EXPECT_EQ(first.back(), 0);                                   // back to 0 at the end
  EXPECT_NE(std::find(first.begin(), first.end(), 100), first.end());
  gauge.clear();
  Choose(path);
  EXPECT_EQ(gauge, first);
}

TEST_F(IndexTest, UnopenableAndEmptyFiles) {
  const std::string path = dir.File("e.tvf");
  WriteKinds(path, "S");
  Choose(path);
  form.InputFilename.SetText(dir.File("gone.tvf"));
  form.StartIndexing(kProductTarvik);
  form.WaitForIndexing();
  EXPECT_EQ(host.MessageLines(), (std::vector<std::string>{"Error: Input File Does Not Exist!"}));
  EXPECT_EQ(form.tvIndex.Roots().size(), 2u);
  EXPECT_TRUE(Root(0).Children.empty());
  EXPECT_FALSE(host.WaitWindowShown);

  WriteFile(path, {});
  form.InputFilename.SetText(path);
  TMakeIndex empty(form, kProductTarvik);
  empty.Run();
  EXPECT_EQ(empty.LastShown(), 0);
}

TEST_F(IndexTest, ThePassIndexesTheFileNamedWhenItWasAskedFor) {
  form.AutoIndex = false;
  const std::string asked = dir.File("asked.tvf"), later = dir.File("later.tvf");
  WriteKinds(asked, "SSFFSS");
  WriteKinds(later, "F");
  form.ChooseInputFile(asked);
  TMakeIndex index(form, kProductTarvik);
  form.InputFilename.SetText(later);  // a name typed while the pass waits to run
  index.Run();
  ASSERT_EQ(form.tvIndex.Roots().size(), 2u);
  EXPECT_EQ(Root(0).Children.size(), 2u);
  EXPECT_EQ(Root(1).Children.size(), 1u);
}

TEST_F(IndexTest, FolderModeBuildsNoIndexAndConvertsEverySection) {
  const std::string path = dir.File("f.tvf");
  WriteKinds(path, "SSFF");
  Choose(path);
  const TreeNode first = Root(0).Children[0];
  form.tvIndex.tvIndexMouseUp(&first);
  form.rbMultipleFiles.SetChecked(true);
  form.edInFolder.SetText(dir.Path().string());
  form.edOutFolder.SetText(dir.Path().string());
  form.cbInputExt.SetText("*.tvf");
  form.edOutputExt.SetText(".csv");
  form.AddSelectedField(21);
  form.FieldTitles.SetChecked(false);
  form.btnConvertClick();
  EXPECT_FALSE(form.Indexing());
  form.WaitForConversion();
  EXPECT_EQ(Lines(ReadFile(dir.File("f.csv"))).size(), 4u);
}

// Every label shape the readers write comes back from the tree as it was written, whether it
// packs (a time, bare or after its source) or is kept as text (anything else).
TEST(SectionLabelTest, EveryLabelComesBackAsWritten) {
  SelectionTree tree;
  TreeRoot* root = tree.AddRoot("Scan Data");
  tree.ModeNodes[1] = root;
  const std::vector<std::string> labels = {
      "00:00:00", "23:59:59", "09:05:07", "165:165:165", "255:00:09", "511:511:511", "GPS 12:34:56",
      "RTC 00:00:00", "N/A 00:00:00",
      // Not of the packed shape: kept as written.
      "", "7:05:00", "512:00:00", "-1:00:00", "12:34:56 ", "12:34", "12:34:56:78", "ABC 01:02:03",
      "GPS12:34:56", "00:00:0x", "0000:00:00", "Scan Data"};
  std::uint32_t ordinal = 0;
  for (const std::string& label : labels)
    ASSERT_NE(tree.AddChild(root, ++ordinal, label, 2), nullptr);
  // The same odd text twice is kept once and read back both times.
  ASSERT_NE(tree.AddChild(root, ++ordinal, "7:05:00", 2), nullptr);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(tree.Text(root->Children[i]), labels[i]);
    EXPECT_EQ(root->Children[i].Ordinal, i + 1);
  }
  EXPECT_EQ(tree.Text(root->Children[labels.size()]), "7:05:00");
  EXPECT_EQ(tree.Text(*root), "Scan Data");
  // A node of no tree of its own shows nothing rather than reading out of place.
  TreeNode stray(kStateSelected);
  EXPECT_EQ(tree.Text(stray), "");
  tree.Clear();
  EXPECT_TRUE(tree.Roots().empty());
}

// A Kes PC-card log of empty scan headers starts a section with every record: the index of
// such a log keeps a few bytes per section (the section table, its chunks coded), and every
// section keeps its ordinal and its label.
TEST_F(IndexTest, ASectionPerRecordTakesAFewBytesPerSection) {
  constexpr int kSections = 200000;
  const std::string path = EmptyHeaders("headers.bin", kSections);

  const std::size_t before = mallinfo2().uordblks;
  Choose(path);
  const std::size_t after = mallinfo2().uordblks;
  const ProductConverter& c = *form.CurrentConverter.load();
  ASSERT_EQ(c.Sections().Table()->Size(), static_cast<std::size_t>(kSections));
  const TreeNode last = form.tvIndex.Section(kSections);
  EXPECT_EQ(last.Ordinal, static_cast<std::uint32_t>(kSections));
  EXPECT_EQ(last.Records, 1u);
  EXPECT_EQ(form.tvIndex.Text(last), "09:30:00");
  EXPECT_LE(c.Sections().Table()->MemoryBytes(), 12u * kSections);
  if (before == 0 || after == 0) GTEST_SKIP() << "the allocator reports no figures";
  EXPECT_LE(static_cast<double>(after - before) / kSections, 12.0);
}

// A pass stopped half way leaves the sections read before the stop, in file order, each with
// its records; the converter consults them, and the rest of the file is converted as selected.
TEST_F(IndexTest, AStoppedPassKeepsTheSectionsReadBeforeTheStop) {
  constexpr int kSections = 60000;
  const std::string path = EmptyHeaders("stopped.bin", kSections);
  form.AutoIndex = false;
  form.ChooseInputFile(path);
  TMakeIndex index(form, static_cast<std::int16_t>(form.InputFormatGroup.ItemIndex()));
  form.ProgressBar.Changed = [&] {
    if (form.ProgressBar.Position() >= 50) index.Terminate();
  };
  index.Run();
  form.ProgressBar.Changed = nullptr;
  const std::shared_ptr<SectionTable> table = form.tvIndex.Sections();
  const std::size_t kept = table->Size();
  EXPECT_GT(kept, static_cast<std::size_t>(kSections) / 3);
  EXPECT_LT(kept, static_cast<std::size_t>(kSections));
  EXPECT_EQ(form.CurrentConverter.load()->Sections().Table(), table);
  std::uint32_t expected = 0;
  bool inOrder = true, counted = true;
  table->Visit(SectionTable::kAnyRoot, [&](const TreeNode& s) {
    inOrder = inOrder && s.Ordinal == ++expected;
    counted = counted && s.Records == 1;
  });
  EXPECT_TRUE(inOrder);
  EXPECT_TRUE(counted);
  EXPECT_EQ(expected, kept);
  // Sections past those kept are converted: the table does not have them.
  EXPECT_TRUE(form.CurrentConverter.load()->Sections().Selected(static_cast<int>(kept) + 1));
  EXPECT_TRUE(form.tvIndex.SetSection(static_cast<std::uint32_t>(kept), false));
  EXPECT_FALSE(form.CurrentConverter.load()->Sections().Selected(static_cast<int>(kept)));
}

}  // namespace
}  // namespace polvane
