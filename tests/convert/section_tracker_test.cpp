#include "convert/section_tracker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "convert/tree_node.h"

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

TEST(SectionTrackerConvert, SectionsAreSkippedByTheirNodesInTheTreeByOrdinal) {
  TreeNode on(kStateSelected, 1), off(kStateDeselected, 2);
  SectionTracker t;
  t.SetNode(1, &on);
  t.SetNode(2, &off);
  t.SetNode(4, &off);  // section 3 has no node: converted

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
  off.StateIndex = kStateSelected;
  t.Restart();
  EXPECT_TRUE(t.Convert(0, false));
  EXPECT_TRUE(t.Convert(1, false));
}

TEST(SectionTrackerConvert, EverySectionIsConvertedInAFolderRun) {
  TreeNode off(kStateDeselected, 1);
  SectionTracker t;
  t.SetNode(1, &off);
  t.SetNode(2, &off);
  EXPECT_TRUE(t.Convert(0, true));
  EXPECT_TRUE(t.Convert(1, true));
  EXPECT_FALSE(t.Skipped());
  // The same nodes skip both sections of a single-file run.
  t.Restart();
  EXPECT_FALSE(t.Convert(0, false));
  EXPECT_FALSE(t.Convert(1, false));
}

TEST(SectionTrackerNodes, RestartKeepsTheNodesAndForgetsTheFile) {
  TreeNode off(kStateDeselected, 1);
  SectionTracker t;
  t.SetNode(1, &off);
  EXPECT_FALSE(t.Convert(3, false));
  t.Index(2, Labeller{"x"});
  t.Restart();
  EXPECT_EQ(t.Kind(), -1);
  EXPECT_EQ(t.Ordinal(), 0);
  EXPECT_FALSE(t.Skipped());
  EXPECT_FALSE(t.Started());
  EXPECT_EQ(t.Node(1), &off);
  // The first record of the next file begins a section even of the kind the last file ended in.
  EXPECT_FALSE(t.Convert(2, false));
  EXPECT_EQ(t.Ordinal(), 1);
}

TEST(SectionTrackerNodes, TheListGrowsOnDemandAndIsCopiedWhole) {
  TreeNode a(kStateSelected, 1), b(kStateDeselected, 7);
  SectionTracker t;
  EXPECT_EQ(t.Nodes().size(), 1u);
  t.SetNode(0, &a);   // no section 0
  t.SetNode(-3, &a);  // nor below it
  EXPECT_EQ(t.Nodes().size(), 1u);
  EXPECT_EQ(t.Node(0), nullptr);
  t.SetNode(7, &b);
  EXPECT_EQ(t.Nodes().size(), 8u);
  EXPECT_EQ(t.Node(7), &b);
  EXPECT_EQ(t.Node(3), nullptr);
  EXPECT_EQ(t.Node(8), nullptr);
  EXPECT_TRUE(t.Selected(3));
  EXPECT_FALSE(t.Selected(7));
  EXPECT_TRUE(t.Selected(1000000));

  SectionTracker run;
  run.TakeNodes(t);
  EXPECT_EQ(run.Node(7), &b);
  EXPECT_FALSE(run.Selected(7));
  t.ClearNodes();
  EXPECT_EQ(t.Nodes().size(), 1u);
  EXPECT_EQ(run.Node(7), &b);  // the copy stays
}

}  // namespace
}  // namespace polvane
