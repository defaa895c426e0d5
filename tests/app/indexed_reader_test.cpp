// A single-file conversion starts from the reader that the file's index pass left, when that
// pass read the same, unchanged file with the controls the readers consult while indexing as
// they are; otherwise it reads the file as the index does first. Either way the output is the
// same.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/converter_registry.h"
#include "app/indexed_reader.h"
#include "app/main_form.h"
#include "support/bytes.h"
#include "support/pelmor_log.h"
#include "support/test_host.h"

namespace polvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

TEST(IndexedReader, IsTakenOnceAndOnlyForTheSameFileAndControls) {
  ScratchDir dir;
  const std::string log = dir.File("drive.pvf"), other = dir.File("other.pvf");
  PelmorLogBuilder().Clock({}).WriteTo(log);
  PelmorLogBuilder().Clock({}).WriteTo(other);
  FormControls form;
  const IndexPassKey key = IndexPassKeyOf(form, log, kProductPelmor);
  ASSERT_TRUE(key.Found);
  IndexedReaderSlot slot;
  auto keep = [&] { slot.Keep(NewConverter(kProductPelmor), key); };

  keep();
  EXPECT_EQ(slot.Take(IndexPassKeyOf(form, other, kProductPelmor)), nullptr);
  EXPECT_EQ(slot.Take(IndexPassKeyOf(form, log, kProductPelmorCard)), nullptr);
  form.Receiver2.SetChecked(true);
  EXPECT_EQ(slot.Take(IndexPassKeyOf(form, log, kProductPelmor)), nullptr);
  form.Receiver2.SetChecked(false);
  form.ScanTypeGroup.SetItemIndex(0);
  EXPECT_EQ(slot.Take(IndexPassKeyOf(form, log, kProductPelmor)), nullptr);
  form.ScanTypeGroup.SetItemIndex(1);
  EXPECT_NE(slot.Take(IndexPassKeyOf(form, log, kProductPelmor)), nullptr);
  EXPECT_EQ(slot.Take(key), nullptr);  // taken: a second conversion reads the file again

  // A file written again since its index is not the file that was indexed.
  keep();
  PelmorLogBuilder().Clock({}).Clock({}).WriteTo(log);
  EXPECT_EQ(slot.Take(IndexPassKeyOf(form, log, kProductPelmor)), nullptr);
  keep();
  slot.Clear();
  EXPECT_EQ(slot.Take(key), nullptr);
  EXPECT_FALSE(IndexPassKeyOf(form, dir.File("missing.pvf"), kProductPelmor).Found);
}

// A Pelmor list record keeps the levels of the entries it does not carry from the reader's
// table, which the sample records fill: the sample of receiver 2 at the log's end is in the
// table only when receiver 2 was checked while the file was read as the index reads it.
class IndexedConversion : public ::testing::Test {
 protected:
  IndexedConversion() {
    PelmorPlan plan;
    PelmorLogBuilder b;
    b.Configuration(3, plan, plan).Clock({});
    std::array<std::uint32_t, 10> list{};
    list.fill(68000);
    b.ListSetup(list, list).ListData({{0, 0, -45}});
    b.SingleSetup(68000, 68000).Samples(2, {-70});
    b.WriteTo(log);
  }

  // The output of the window's conversion of the log with receivers 1 and 2, the second one
  // checked before the file is indexed or after.
  std::string Convert(bool secondBeforeIndex) {
    TestHost host;
    TMainForm form(host);
    form.ChooseInputFile(log);
    form.WaitForIndexing();
    if (secondBeforeIndex) {
      form.Receiver2.SetChecked(true);
      form.StartIndexing(form.CurrentConverter.load()->ProductCodeValue());
      form.WaitForIndexing();
    } else {
      form.Receiver2.SetChecked(true);
    }
    form.FieldTitles.SetChecked(false);
    form.AddSelectedField(0);  // the data group
    const std::string output = dir.File(secondBeforeIndex ? "before.out" : "after.out");
    form.OutputFilename.SetText(output);
    form.btnConvertClick();
    form.WaitForConversion();
    EXPECT_EQ(host.MessageLines(),
              std::vector<std::string>{"Information: Conversion Has Been Completed!"});
    return ReadFile(output);
  }

  ScratchDir dir;
  const std::string log = dir.File("drive.pvf");
};

TEST_F(IndexedConversion, AReceiverCheckedAfterTheIndexGivesTheOutputOfOneCheckedBefore) {
  const std::string before = Convert(true);
  EXPECT_NE(before.find("-70"), std::string::npos) << before;
  EXPECT_EQ(Convert(false), before);
}

}  // namespace
}  // namespace polvane
