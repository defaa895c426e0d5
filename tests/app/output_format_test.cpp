// The output-format presets of the main window (OutputFormatGroupChange).
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "convert/output_formats.h"
#include "convert/record_loop.h"
#include "formats/fixed_layouts.h"
#include "support/test_host.h"

namespace polvane {
namespace {

using testing::TestHost;

struct Preset {
  int index;
  std::optional<bool> header;    // nullopt: left as it was
  std::optional<int> delimiter;  // item of DelimiterGroup; nullopt: left as it was
  std::vector<std::int16_t> fields;
  std::vector<std::int16_t> drovelFields;
  bool dataBoxes = false;
  std::string outputName;  // empty: left as it was
  bool fixed = false;
};

// Test names and failure messages show the format's item, not the struct's bytes.
void PrintTo(const Preset& p, std::ostream* os) {
  *os << "format " << p.index;
}

const std::vector<std::int16_t> kTec = {32, 6, 7, 9, 10, 12, 13, 15, 16, 0, 36, 34, 35, 19, 20, 21};

constexpr auto kSame = std::nullopt;
enum { kComma = 0, kTab = 2 };

// index, "Header", delimiter, fields, Drovel fields, data boxes, output name, fixed
const Preset kPresets[] = {
    {0, kSame, kSame, {}, {}, false, "", false},
    {1, false, kComma, {11, 5, 0}, {0}, true, "", false},
    {2, false, kTab, {5, 11, 0}, {0}, true, "test.sdr", false},
    {3, kSame, kSame, {}, {}, false, "", true},
    {4, false, kTab, {11, 5, 0}, {0}, false, "", false},
    {5, true, kTab, {11, 5, 18}, {}, false, "", false},
    {6, kSame, kSame, {}, {}, false, "MLJ.M01", true},
    {7, kSame, kSame, {}, {}, false, "", true},
    {8, kSame, kSame, {}, {}, false, "", false},
    {9, false, kComma, kTec, {32}, false, "", false},
    {10, false, kTab, {11, 5, 0}, {0}, false, "", false},
    {11, false, kComma, {}, {}, false, "", false},
    {12, kSame, kSame, {}, {}, false, "", true},
};

class OutputFormats : public ::testing::TestWithParam<std::tuple<Preset, bool>> {
 protected:
  OutputFormats() { form.AutoIndex = false; }

  // The window as a user left it: a product chosen, one field selected, settings that no
  // preset would choose.
  void Prepare(bool drovel) {
    form.InputFormatGroup.SetItemIndex(drovel ? kProductDrovel : kProductTarvik);
    form.AvailableBox.SetItemIndex(1);
    form.SelectClick();
    form.FieldTitles.SetChecked(false);
    form.DelimiterGroup.SetItemIndex(3);
    form.FrequencyField.SetChecked(true);
    form.ChannelField.SetChecked(true);
    form.RSSIField.SetChecked(false);
    form.Receiver1.SetChecked(false);
    form.OutputFilename.SetText("chosen.out");
  }

  void Choose(int index) {
    form.OutputFormatGroup.SetItemIndex(index);
    form.OutputFormatGroupChange();
  }

  std::vector<std::int16_t> SelectedTags() {
    std::vector<std::int16_t> tags;
    const Selection s = form.SnapshotSelection();
    for (int i = 0; i < s.Count(); ++i) {
      EXPECT_EQ(s.Texts[i], CatalogueTitle(s.Tags[i]));
      tags.push_back(s.Tags[i]);
    }
    return tags;
  }

  TestHost host;
  TMainForm form{host};
};

TEST_P(OutputFormats, PresetOfTheTable) {
  const auto& [p, drovel] = GetParam();
  if (p.index == kCustomAsciiFormat) Choose(0);  // leave the initial format first
  Prepare(drovel);
  Choose(p.index);

  EXPECT_EQ(form.PreviousOutputFormat, p.index);
  EXPECT_EQ(SelectedTags(), drovel ? p.drovelFields : p.fields);
  EXPECT_EQ(form.FieldTitles.Checked(), p.header.value_or(false));
  EXPECT_EQ(form.DelimiterGroup.ItemIndex(), p.delimiter.value_or(3));
  EXPECT_EQ(form.OutputFilename.Text(), p.outputName.empty() ? "chosen.out" : p.outputName);
  // The data boxes, or the user's choice untouched.
  EXPECT_EQ(form.FrequencyField.Checked(), !p.dataBoxes);
  EXPECT_EQ(form.ChannelField.Checked(), !p.dataBoxes);
  EXPECT_EQ(form.RSSIField.Checked(), p.dataBoxes);
  EXPECT_EQ(form.Receiver1.Checked(), p.dataBoxes);
  // Fixed layouts hide the field settings and lock the selection buttons.
  EXPECT_EQ(form.FixedLayout.load(), p.fixed);
  EXPECT_EQ(form.SelectField.Enabled(), !p.fixed);
  EXPECT_EQ(form.DeselectAll.Enabled(), !p.fixed);
  EXPECT_EQ(form.DelimiterGroup.Visible(), !p.fixed);
  EXPECT_EQ(form.FieldTitles.Visible(), !p.fixed);
  EXPECT_EQ(form.OtherDelimiter.Visible(), !p.fixed);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, OutputFormats,
                         ::testing::Combine(::testing::ValuesIn(kPresets), ::testing::Bool()),
                         [](const auto& info) {
                           return "Format" + std::to_string(std::get<0>(info.param).index) +
                                  (std::get<1>(info.param) ? "Drovel" : "Tarvik");
                         });

class OutputFormatChange : public ::testing::Test {
 protected:
  OutputFormatChange() { form.AutoIndex = false; }
  void Choose(int index) {
    form.OutputFormatGroup.SetItemIndex(index);
    form.OutputFormatGroupChange();
  }
  TestHost host;
  TMainForm form{host};
};

TEST_F(OutputFormatChange, ChoosingTheChosenFormatChangesNothing) {
  // At start the chosen format is "Custom ASCII Configuration".
  form.AvailableBox.SetItemIndex(2);
  form.SelectClick();
  form.FieldTitles.SetChecked(true);
  Choose(kCustomAsciiFormat);
  EXPECT_EQ(form.SelectedBox.Count(), 1);
  EXPECT_TRUE(form.FieldTitles.Checked());

  Choose(5);  // Microsoft Excel
  form.AvailableBox.SetItemIndex(2);
  form.SelectClick();
  form.FieldTitles.SetChecked(false);
  Choose(5);
  EXPECT_EQ(form.SelectedBox.Count(), 4);
  EXPECT_FALSE(form.FieldTitles.Checked());
}

TEST_F(OutputFormatChange, LeavingAFixedLayoutRestoresTheFieldSettings) {
  Choose(6);
  ASSERT_TRUE(form.FixedLayout.load());
  Choose(8);  // SAFCO OPAS32
  EXPECT_FALSE(form.FixedLayout.load());
  EXPECT_TRUE(form.SelectAll.Enabled());
  EXPECT_TRUE(form.DelimiterGroup.Visible());
  EXPECT_TRUE(form.FieldTitles.Visible());
  EXPECT_TRUE(form.OtherDelimiter.Visible());
  EXPECT_EQ(form.SelectedBox.Count(), 0);
  // The name that PathPro chose stays.
  EXPECT_EQ(form.OutputFilename.Text(), "MLJ.M01");
}

TEST_F(OutputFormatChange, PresetFieldsAreTheRunsFields) {
  // The preset's tags are the selection a run takes.
  Choose(1);  // EDX SignalPro
  const Selection s = form.SnapshotSelection();
  ASSERT_GE(s.Count(), 3);
  EXPECT_EQ(s.Tags[0], 11);
  EXPECT_EQ(s.Tags[1], 5);
  EXPECT_EQ(s.Tags[2], 0);
}

// The table and the list agree: one row per item, in list order, under the list's name; the
// fixed layouts are the formats the layouts know, and PathPro alone is binary.
TEST(OutputFormatTable, RowsFollowTheList) {
  int rows = 0;
  for (const OutputFormatRow& row : kOutputFormats) {
    ASSERT_EQ(row.Index, rows++);
    ASSERT_LT(row.Index, static_cast<int>(kOutputFormatItems.size()));
    EXPECT_EQ(row.Name, kOutputFormatItems[row.Index]);
    const bool fixed = row.Index == kFixedGrayson || row.Index == kFixedPathPro ||
                       row.Index == kFixedPlanet || row.Index == kFixedInFielder;
    EXPECT_EQ(row.Writer == FormatWriter::kFixed, fixed) << row.Name;
    const bool gis = row.Index >= 13;  // the map formats, appended after the thirteen
    EXPECT_EQ(row.Writer == FormatWriter::kGis, gis) << row.Name;
    EXPECT_EQ(row.Binary, row.Index == kFormatPathPro || gis) << row.Name;
    EXPECT_EQ(!row.Extension.empty(), gis) << row.Name;
    EXPECT_EQ(FindOutputFormat(row.Index), &row);
  }
  EXPECT_EQ(rows, 17);
  EXPECT_EQ(FindOutputFormat(-1), nullptr);
  EXPECT_EQ(FindOutputFormat(rows), nullptr);
}

}  // namespace
}  // namespace polvane
