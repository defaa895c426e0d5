// A node of the selection tree. Top-level nodes name a data kind; their children are the
// sections of the file, whose state image tells whether the section is converted.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace polvane {

inline constexpr int kStateSelected = 2;
inline constexpr int kStateDeselected = 1;
inline constexpr int kNoStateImage = -1;

struct TreeNode {
  TreeNode(std::string text, TreeNode* parent, int state)
      : Text(std::move(text)), Parent(parent), StateIndex(state) {}

  const std::string Text;
  TreeNode* const Parent;
  // Read by the conversion worker while the user may click: atomic.
  std::atomic<int> StateIndex;
  std::vector<std::unique_ptr<TreeNode>> Children;

  bool Selected() const { return StateIndex.load(std::memory_order_relaxed) == kStateSelected; }
};

}  // namespace polvane
