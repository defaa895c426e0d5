#include "convert/section_tracker.h"

#include <cstdio>

#include "convert/tree_node.h"

namespace polvane {

void SectionTracker::SetLabel(const char* label) {
  std::snprintf(label_, sizeof label_, "%s", label);
}

bool SectionTracker::Selected(int ordinal) const {
  const TreeNode* node = Node(ordinal);
  return node == nullptr || node->Selected();
}

void SectionTracker::SetNode(int ordinal, TreeNode* node) {
  if (ordinal <= 0) return;
  if (ordinal >= static_cast<int>(nodes_.size())) nodes_.resize(ordinal + 1, nullptr);
  nodes_[ordinal] = node;
}

TreeNode* SectionTracker::Node(int ordinal) const {
  if (ordinal <= 0 || ordinal >= static_cast<int>(nodes_.size())) return nullptr;
  return nodes_[ordinal];
}

}  // namespace polvane
