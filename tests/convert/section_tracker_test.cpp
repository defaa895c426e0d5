#include "convert/section_tracker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "convert/section_table.h"

namespace polvane {
namespace {

// A label function that writes `text`, and counts how often it was asked.
struct Labeller {
  const char* text;
  int calls = 0;
  void operator()(char* out, int size) {
    ++calls;
    std::snprintf(out, static_cast<std::size_t>(size), "%s", text);
  }
};

TEST(SectionTrackerIndex, ASectionBeginsWhenTheKindChangesAndIsTakenOnce) {
  SectionTracker t;
  EXPECT_EQ(t.Kind(), -1);
  EXPECT_EQ(t.Ordinal(), 0);
  EXPECT_EQ(t.TakeStarted(), nullptr);

  Labeller first{"10:00:00"};
  EXPECT_TRUE(t.Index(0, first));
  EXPECT_EQ(t.Kind(), 0);
  EXPECT_EQ(t.Ordinal(), 1);
  ASSERT_TRUE(t.Started());
  const char* label = t.TakeStarted();
  ASSERT_NE(label, nullptr);
  EXPECT_STREQ(label, "10:00:00");
  EXPECT_FALSE(t.Started());
  EXPECT_EQ(t.TakeStarted(), nullptr);

  // More records of the same kind stay in the section and ask for no label.
  EXPECT_FALSE(t.Index(0, first));
  EXPECT_FALSE(t.Index(0, first));
  EXPECT_EQ(first.calls, 1);
  EXPECT_EQ(t.Ordinal(), 1);
  EXPECT_EQ(t.TakeStarted(), nullptr);

  Labeller second{"10:05:00"};
  EXPECT_TRUE(t.Index(1, second));
  EXPECT_EQ(t.Kind(), 1);
  EXPECT_EQ(t.Ordinal(), 2);
  EXPECT_STREQ(t.TakeStarted(), "10:05:00");

  // A record that starts a section of its own does so even without a change of kind.
  Labeller third{"10:06:00"};
  EXPECT_TRUE(t.Index(1, third, true));
  EXPECT_EQ(t.Ordinal(), 3);
  EXPECT_STREQ(t.TakeStarted(), "10:06:00");

  // A record of no known kind starts a section too.
  Labeller none{"?"};
  EXPECT_TRUE(t.Index(-1, none));
  EXPECT_EQ(t.Kind(), -1);
  EXPECT_EQ(t.Ordinal(), 4);
}

TEST(SectionTrackerIndex, AnUnlabelledSectionWaitsForItsLabelAndAnUntakenOneIsReplaced) {
  SectionTracker t;
  Labeller empty{""};
  t.Index(0, empty);
  EXPECT_TRUE(t.Started());
  EXPECT_EQ(t.TakeStarted(), nullptr);
  EXPECT_TRUE(t.Started());  // still waiting
  t.SetLabel("GPS 12:00:01");
  EXPECT_STREQ(t.TakeStarted(), "GPS 12:00:01");
  EXPECT_EQ(t.Ordinal(), 1);

  // A new section clears the label of the last before it asks for its own.
  Labeller a{"first"};
  t.Index(1, a);
  t.Index(2, empty);
  EXPECT_EQ(t.TakeStarted(), nullptr);
  EXPECT_EQ(t.Ordinal(), 3);

  t.ClearStarted();
  t.SetLabel("late");
  EXPECT_EQ(t.TakeStarted(), nullptr);
}

TEST(SectionTrackerIndex, ALabelThatFillsTheBufferComesBackTerminated) {
  SectionTracker t;
  t.Index(0, [](char* out, int size) {
    for (int i = 0; i < size; ++i) out[i] = 'x';
  });
  const char* label = t.TakeStarted();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(std::string(label), std::string(kSectionLabelSize - 1, 'x'));
}

TEST(SectionTrackerConvert, SectionsAreSkippedByTheirStatesInTheTableByOrdinal) {
  auto table = std::make_shared<SectionTable>();
  table->Add(1, 0, 0, true);
  table->Add(2, 0, 0, false);
  table->Add(4, 0, 0, false);  // the table has no section 3: converted
  SectionTracker t;
  t.SetTable(table);

  EXPECT_TRUE(t.Convert(0, false));  // section 1
  EXPECT_TRUE(t.Convert(0, false));
  EXPECT_FALSE(t.Convert(1, false));  // section 2, deselected
  EXPECT_TRUE(t.Skipped());
  EXPECT_FALSE(t.Convert(1, false));  // its later records too
  EXPECT_TRUE(t.Convert(0, false));   // section 3
  EXPECT_FALSE(t.Skipped());
  EXPECT_FALSE(t.Convert(0, false, true));  // section 4, begun by the record itself
  EXPECT_TRUE(t.Convert(1, false));         // section 5, beyond the list
  EXPECT_EQ(t.Ordinal(), 5);
  // Converting reports no section to the index.
  EXPECT_FALSE(t.Started());

  // A click on the tree during the run decides the sections that begin after it.
  table->SetSelected(2, true);
  t.Restart();
  EXPECT_TRUE(t.Convert(0, false));
  EXPECT_TRUE(t.Convert(1, false));
}

TEST(SectionTrackerConvert, EverySectionIsConvertedInAFolderRun) {
  auto table = std::make_shared<SectionTable>();
  table->Add(1, 0, 0, false);
  table->Add(2, 1, 0, false);
  SectionTracker t;
  t.SetTable(table);
  EXPECT_TRUE(t.Convert(0, true));
  EXPECT_TRUE(t.Convert(1, true));
  EXPECT_FALSE(t.Skipped());
  // The same table skips both sections of a single-file run.
  t.Restart();
  EXPECT_FALSE(t.Convert(0, false));
  EXPECT_FALSE(t.Convert(1, false));
}

TEST(SectionTrackerTable, RestartKeepsTheTableAndForgetsTheFile) {
  auto table = std::make_shared<SectionTable>();
  table->Add(1, 0, 0, false);
  SectionTracker t;
  t.SetTable(table);
  EXPECT_FALSE(t.Convert(3, false));
  t.Index(2, Labeller{"x"});
  t.Restart();
  EXPECT_EQ(t.Kind(), -1);
  EXPECT_EQ(t.Ordinal(), 0);
  EXPECT_FALSE(t.Skipped());
  EXPECT_FALSE(t.Started());
  EXPECT_EQ(t.Table(), table);
  // The first record of the next file begins a section even of the kind the last file ended in.
  EXPECT_FALSE(t.Convert(2, false));
  EXPECT_EQ(t.Ordinal(), 1);
}

TEST(SectionTrackerTable, SectionsOutsideTheTableAreConvertedAndTheTableIsShared) {
  SectionTracker t;
  EXPECT_TRUE(t.Selected(1));  // no table: every section
  auto table = std::make_shared<SectionTable>();
  table->Add(7, 0, 0, false);
  t.SetTable(table);
  EXPECT_TRUE(t.Selected(0));   // no section 0
  EXPECT_TRUE(t.Selected(-3));  // nor below it
  EXPECT_TRUE(t.Selected(3));
  EXPECT_FALSE(t.Selected(7));
  EXPECT_TRUE(t.Selected(1000000));

  SectionTracker run;
  run.TakeTable(t);
  EXPECT_FALSE(run.Selected(7));
  // A click in the window reaches the run's reader: the table is the same.
  table->SetSelected(7, true);
  EXPECT_TRUE(run.Selected(7));
  table->SetSelected(7, false);
  t.ClearTable();
  EXPECT_EQ(t.Table(), nullptr);
  EXPECT_TRUE(t.Selected(7));
  EXPECT_FALSE(run.Selected(7));  // the run keeps its table
}

}  // namespace
}  // namespace polvane
