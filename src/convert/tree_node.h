// A node of the selection tree. Top-level nodes name a data kind; their children are the
// sections of the file, whose state image tells whether the section is converted.
//
// A section node is a value: the section table (convert/section_table.h) keeps the sections
// coded and hands out copies; a change of state goes through the table. Its label is packed;
// the tree makes the text when it is shown (SelectionTree::Text).
#pragma once

#include <cstdint>

namespace polvane {

inline constexpr int kStateSelected = 2;
inline constexpr int kStateDeselected = 1;
inline constexpr int kNoStateImage = -1;

struct TreeNode {
  // A node of no parent (a top-level node has one of its own kind, TreeRoot).
  static constexpr std::uint8_t kNoParent = 0xFF;
  // Start of a section none of whose records has a time.
  static constexpr std::uint32_t kNoTime = 0xFFFFFFFFu;
  // The longest span a section keeps, in seconds; a longer one is kept as this.
  static constexpr std::uint16_t kLongestSpan = 0xFFFF;

  explicit TreeNode(int state, std::uint32_t ordinal = 0, std::uint32_t label = 0,
                    std::uint8_t parent = kNoParent)
      : Ordinal(ordinal),
        Label(label),
        StateIndex(static_cast<std::int8_t>(state)),
        Parent(parent) {}

  // The section's number in the file, counted from 1; 0 for a top-level node.
  std::uint32_t Ordinal;
  // The section's label, packed (SectionLabels).
  std::uint32_t Label;
  // What the index pass saw of the section: its records, and the time of its first and last
  // record that has one (seconds of the day as the line's place gives it; Span from Start to
  // the last).
  std::uint32_t Records = 0;
  std::uint32_t Start = kNoTime;
  std::uint16_t Span = 0;
  // The state image: kStateSelected, kStateDeselected, or kNoStateImage for a top-level node.
  std::int8_t StateIndex;
  // The position of the node's top-level node in its tree; kNoParent for a top-level node.
  std::uint8_t Parent;

  bool Selected() const { return StateIndex == kStateSelected; }
  bool HasTimes() const { return Start != kNoTime; }
  // The time of the section's last record, in the seconds Start counts (past the day's end
  // where the section runs over midnight).
  std::uint32_t End() const { return Start + Span; }
  // Adds a record of the section; `seconds` < 0 for one without a time.
  void Count(double seconds) {
    if (seconds < 0)
      ++Records;
    else
      CountAt(static_cast<std::uint32_t>(seconds));
  }
  // Adds a record without a time, or one at second `t` of its day.
  void CountUntimed() { ++Records; }
  void CountAt(std::uint32_t t) {
    ++Records;
    if (Start == kNoTime) {
      Start = t;
      return;
    }
    // A time well before the start is past midnight (the section counts on into the next
    // day); one a little before it is a clock that stepped back, and leaves the span alone.
    std::uint32_t since = 0;
    if (t >= Start)
      since = t - Start;
    else if (Start - t > 43200 && t + 86400 >= Start)
      since = t + 86400 - Start;
    if (since > Span)
      Span = since > kLongestSpan ? kLongestSpan : static_cast<std::uint16_t>(since);
  }
};

static_assert(sizeof(TreeNode) <= 20, "a section node stays within 20 bytes");

}  // namespace polvane
