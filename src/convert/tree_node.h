// A node of the selection tree. Top-level nodes name a data kind; their children are the
// sections of the file, whose state image tells whether the section is converted.
//
// A log can hold millions of sections (a Kes PC-card log of empty scan headers starts one with
// every record), so a section node keeps its label packed and small; the tree makes the text
// when it is shown (SelectionTree::Text).
#pragma once

#include <atomic>
#include <cstdint>

namespace polvane {

inline constexpr int kStateSelected = 2;
inline constexpr int kStateDeselected = 1;
inline constexpr int kNoStateImage = -1;

struct TreeNode {
  // A node of no parent (a top-level node has one of its own kind, TreeRoot).
  static constexpr std::uint8_t kNoParent = 0xFF;

  explicit TreeNode(int state, std::uint32_t ordinal = 0, std::uint32_t label = 0,
                    std::uint8_t parent = kNoParent)
      : Ordinal(ordinal), Label(label), StateIndex(state), Parent(parent) {}

  // The section's number in the file, counted from 1; 0 for a top-level node.
  const std::uint32_t Ordinal;
  // The section's label, packed (SectionLabels).
  const std::uint32_t Label;
  // Read by the conversion worker while the user may click: atomic.
  std::atomic<int> StateIndex;
  // The position of the node's top-level node in its tree; kNoParent for a top-level node.
  const std::uint8_t Parent;

  bool Selected() const { return StateIndex.load(std::memory_order_relaxed) == kStateSelected; }
};

}  // namespace polvane
