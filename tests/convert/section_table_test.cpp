#include "convert/section_table.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

namespace polvane {
namespace {

constexpr std::size_t kChunk = SectionTable::kChunkSections;

auto Fields(const TreeNode& s) {
  return std::make_tuple(s.Ordinal, s.Parent, s.Label, s.Records, s.Start, s.Span, s.StateIndex);
}

// Sections of three kinds with what the readers give: ordinals mostly one apart (some far),
// labels of times and of stored texts, counts of every size, sections with and without
// times (starting anywhere in the day), some left out.
std::vector<TreeNode> Build(SectionTable& table, std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<TreeNode> model;
  std::uint32_t ordinal = 0;
  for (std::size_t k = 0; k < count; ++k) {
    ordinal += random() % 50 == 0 ? 1 + random() % 100000 : 1 + random() % 2;
    const auto parent = static_cast<std::uint8_t>(random() % 7 < 4 ? 0 : 1 + random() % 2);
    const std::uint32_t label =
        random() % 9 == 0 ? (0x80000000u | random() % 300) : static_cast<std::uint32_t>(random());
    const bool selected = random() % 5 != 0;
    TreeNode* added = table.Add(ordinal, parent, label, selected);
    EXPECT_NE(added, nullptr);
    if (!added) break;
    added->Records = random() % 3 == 0 ? static_cast<std::uint32_t>(random()) : random() % 200;
    if (random() % 4 != 0) {
      added->Start = random() % 90000;
      added->Span = static_cast<std::uint16_t>(random() % 3 == 0 ? random() : random() % 10);
    }
    model.push_back(*added);
  }
  return model;
}

void ExpectSame(const SectionTable& table, const std::vector<TreeNode>& model) {
  ASSERT_EQ(table.Size(), model.size());
  for (std::size_t k = 0; k < model.size(); ++k) {
    ASSERT_EQ(Fields(table.At(k)), Fields(model[k])) << "section at " << k;
    ASSERT_EQ(table.Find(model[k].Ordinal), k);
    ASSERT_EQ(table.Selected(model[k].Ordinal), model[k].Selected());
  }
  std::size_t k = 0;
  table.Visit(SectionTable::kAnyRoot, [&](const TreeNode& s) {
    ASSERT_LT(k, model.size());
    EXPECT_EQ(Fields(s), Fields(model[k++]));
  });
  EXPECT_EQ(k, model.size());
  for (std::uint8_t r = 0; r < 3; ++r) {
    std::size_t count = 0, selected = 0;
    for (const TreeNode& s : model) {
      count += s.Parent == r;
      selected += s.Parent == r && s.Selected();
    }
    EXPECT_EQ(table.CountOf(r), count);
    EXPECT_EQ(table.SelectedOf(r), selected);
  }
}

// The budgets: every chunk in memory, every chunk in the file, and the first three in memory
// with the rest in the file.
class SectionTableTest : public ::testing::TestWithParam<std::size_t> {};

INSTANTIATE_TEST_SUITE_P(Budgets, SectionTableTest,
                         ::testing::Values(SectionTable::kMemoryBudget, std::size_t{0},
                                           std::size_t{3 * kChunk * 9}));

TEST_P(SectionTableTest, EverySectionComesBackAsAdded) {
  SectionTable table(GetParam());
  // Seven chunks and an open one not yet coded.
  const std::vector<TreeNode> model = Build(table, 7 * kChunk + 1234, 7);
  ExpectSame(table, model);
  if (GetParam() == SectionTable::kMemoryBudget)
    EXPECT_EQ(table.FileBytes(), 0u);
  else
    EXPECT_GT(table.FileBytes(), 0u);
  // Ordinals between those of sections, before the first and after the last are not found;
  // such a section is converted.
  for (std::size_t k = 1; k < model.size(); ++k)
    if (model[k].Ordinal > model[k - 1].Ordinal + 1) {
      EXPECT_EQ(table.Find(model[k].Ordinal - 1), SectionTable::kNone);
      EXPECT_TRUE(table.Selected(model[k].Ordinal - 1));
    }
  EXPECT_EQ(table.Find(0), SectionTable::kNone);
  EXPECT_EQ(table.Find(model.back().Ordinal + 1), SectionTable::kNone);
  EXPECT_FALSE(table.SetSelected(model.back().Ordinal + 1, false));
}

TEST_P(SectionTableTest, StatesRoundTripAcrossChunksAndTheFile) {
  SectionTable table(GetParam());
  std::vector<TreeNode> model = Build(table, 5 * kChunk + 100, 11);
  const auto set = [&](std::size_t k, bool selected) {
    ASSERT_TRUE(table.SetSelected(model[k].Ordinal, selected));
    model[k].StateIndex = selected ? kStateSelected : kStateDeselected;
  };
  // Both sides of every chunk's edge, the open chunk, and sections here and there.
  for (std::size_t edge = 0; edge <= 5 * kChunk; edge += kChunk) {
    if (edge > 0) set(edge - 1, false);
    set(edge, !model[edge].Selected());
  }
  set(model.size() - 1, false);
  std::mt19937 random(3);
  for (int i = 0; i < 2000; ++i) set(random() % model.size(), random() % 2 == 0);
  ExpectSame(table, model);
  // A kind as a whole, then one of its sections back.
  table.SetRoot(1, false);
  for (TreeNode& s : model)
    if (s.Parent == 1) s.StateIndex = kStateDeselected;
  ExpectSame(table, model);
  table.SetRoot(0, true);
  for (TreeNode& s : model)
    if (s.Parent == 0) s.StateIndex = kStateSelected;
  for (std::size_t k = 0; k < model.size(); ++k)
    if (model[k].Parent == 1 && k > 3 * kChunk) {
      set(k, true);
      break;
    }
  ExpectSame(table, model);
}

TEST_P(SectionTableTest, RowsOfAKindInFileOrder) {
  SectionTable table(GetParam());
  const std::vector<TreeNode> model = Build(table, 4 * kChunk + 777, 5);
  for (std::uint8_t r = 0; r < 4; ++r) {
    std::vector<std::size_t> positions;
    for (std::size_t k = 0; k < model.size(); ++k)
      if (model[k].Parent == r) positions.push_back(k);
    for (std::size_t row = 0; row < positions.size(); ++row) {
      ASSERT_EQ(table.PositionOfRow(r, row), positions[row]);
      ASSERT_EQ(table.RowOf(positions[row]), row);
    }
    EXPECT_EQ(table.PositionOfRow(r, positions.size()), SectionTable::kNone);
    std::vector<std::size_t> walked;
    for (std::size_t k = table.NextOf(r, 0); k < table.Size(); k = table.NextOf(r, k + 1))
      walked.push_back(k);
    EXPECT_EQ(walked, positions);
    std::size_t visited = 0;
    table.Visit(r, [&](const TreeNode& s) {
      ASSERT_LT(visited, positions.size());
      EXPECT_EQ(s.Ordinal, model[positions[visited++]].Ordinal);
    });
    EXPECT_EQ(visited, positions.size());
  }
}

TEST(SectionTableRules, OrdinalsRiseAndParentsStayWithinTheTable) {
  SectionTable table;
  ASSERT_NE(table.Add(5, 0, 0, true), nullptr);
  EXPECT_EQ(table.Add(5, 0, 0, true), nullptr);
  EXPECT_EQ(table.Add(4, 0, 0, true), nullptr);
  EXPECT_EQ(table.Add(6, SectionTable::kMaxRoots, 0, true), nullptr);
  for (std::uint32_t k = 6; k < 6 + kChunk; ++k) ASSERT_NE(table.Add(k, 1, 0, true), nullptr);
  // Past a chunk's edge the last ordinal is that of the coded chunk.
  EXPECT_EQ(table.Add(6 + kChunk - 1, 0, 0, true), nullptr);
  ASSERT_NE(table.Add(7 + kChunk, 0, 0, true), nullptr);
  EXPECT_EQ(table.Size(), kChunk + 2);
  EXPECT_EQ(table.CountOf(0), 2u);
  EXPECT_EQ(table.CountOf(1), kChunk);
  EXPECT_EQ(table.CountOf(SectionTable::kMaxRoots), 0u);
}

// Whatever the count of sections, the table holds its budget, its directory and a few decoded
// chunks in memory; the rest is in its file.
TEST(SectionTableRules, MemoryStaysWithinTheBudgetWhateverTheCount) {
  constexpr std::size_t kBudget = 256 * 1024, kSections = 1000000;
  SectionTable table(kBudget);
  for (std::uint32_t k = 1; k <= kSections; ++k) {
    TreeNode* s = table.Add(k, 0, 0x1000000u + k / 3, true);
    ASSERT_NE(s, nullptr);
    s->Count(34200 + k / 3);
  }
  EXPECT_LT(table.MemoryBytes(), kBudget + 800 * 1024);
  EXPECT_GT(table.FileBytes(), 4u * 1024 * 1024);
  table.SetRoot(0, false);
  EXPECT_TRUE(table.SetSelected(kSections / 2, true));
  EXPECT_EQ(table.SelectedOf(0), 1u);
  EXPECT_TRUE(table.Selected(kSections / 2));
  EXPECT_FALSE(table.Selected(kSections / 2 + 1));
  const TreeNode last = table.At(kSections - 1);
  EXPECT_EQ(last.Ordinal, kSections);
  EXPECT_EQ(last.Records, 1u);
  EXPECT_EQ(last.Start, 34200 + kSections / 3);
  EXPECT_LT(table.MemoryBytes(), kBudget + 800 * 1024);
}

// A table whose file breaks: the sections it can no longer read count as left out, and so
// does every other from then on, so that a conversion never takes states nobody chose; the
// table says it failed. A change of state it cannot write is a failure too.
TEST(SectionTableRules, AFileThatFailsLeavesNoSectionSelectedAndSaysSo) {
  for (const bool writing : {false, true}) {
    SCOPED_TRACE(writing ? "a state written" : "a chunk read");
    SectionTable table(0);  // every coded chunk in the file
    for (std::uint32_t k = 1; k <= 3 * kChunk; ++k) ASSERT_NE(table.Add(k, 0, 0, true), nullptr);
    ASSERT_TRUE(table.Selected(1));
    ASSERT_GT(table.FileBytes(), 0u);
    if (writing) {
      ASSERT_TRUE(table.Selected(kChunk + 1));  // its chunk read while it could be
    }
    table.BreakFileForTesting();
    if (writing) {
      table.SetSelected(kChunk + 1, false);
    } else {
      EXPECT_FALSE(table.Selected(kChunk + 1));  // its chunk read from the file
    }
    EXPECT_TRUE(table.Failed());
    EXPECT_FALSE(table.Selected(1));
    EXPECT_FALSE(table.Selected(3 * kChunk));   // the chunk still being filled
    EXPECT_FALSE(table.Selected(10 * kChunk));  // one the table does not have
  }
}

}  // namespace
}  // namespace polvane
