// The selection tree: one top-level node per data kind of the product, and under each the
// sections of the file. The Qt tree widget mirrors it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "convert/tree_node.h"

namespace polvane {

inline constexpr int kTreeSlots = 22;

// Text of the top-level node of tree slot `slot` for a product.
const char* SlotText(int slot, std::int16_t productCode);
// The slots a product's tree shows, in the order they are added.
std::vector<int> ProductSlots(std::int16_t productCode);

class SelectionTree {
 public:
  // Deletes every node and empties ModeNodes.
  void Clear();
  TreeNode* AddRoot(const std::string& text);
  TreeNode* AddChild(TreeNode* parent, const std::string& text, int state);
  // The click handler's rule: a section node toggles between selected and not selected;
  // top-level nodes, other nodes and no node at all are left alone.
  void tvIndexMouseUp(TreeNode* node);

  const std::vector<std::unique_ptr<TreeNode>>& Roots() const { return roots_; }
  std::array<TreeNode*, kTreeSlots> ModeNodes{};

  // The view's hook: called after the tree's structure or a state changed.
  std::function<void()> Changed;

 private:
  bool IsModeNode(const TreeNode* node) const;
  std::vector<std::unique_ptr<TreeNode>> roots_;
};

}  // namespace polvane
