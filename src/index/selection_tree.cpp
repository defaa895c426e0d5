#include "index/selection_tree.h"

#include <algorithm>

namespace polvane {

const char* SlotText(int slot, std::int16_t productCode) {
  static const char* const kTexts[kTreeSlots] = {
      "Fast Data",        "Scan Data", "1 Channel Data", "3 Channel Data",     "C/I Ratio",
      "Adjacent Channel", "1 Channel", "20 Channel",     "Variable Sweep",     "1 MHz Sweep",
      "POCSAG",           "Fast Fade", "Strongest AB",   "Co-Channel Control", "Group",
      "Follow",           "BER",       "System",         "FLEX Paging",        "Single Frequency",
      "List Data",        "80 Channel"};
  if (slot < 0 || slot >= kTreeSlots) return "";
  if (slot == 1 && (productCode == 8 || productCode == 9)) return "Table Data";
  return kTexts[slot];
}

std::vector<int> ProductSlots(std::int16_t productCode) {
  switch (productCode) {
    case 1:
    case 2:
    case 7:
      return {1, 0};
    case 3:
    case 4:
      return {4, 5, 6, 7, 21, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    case 5:
      return {1, 2, 3};
    case 8:
    case 9:
      return {19, 20, 1};
    default:
      return {};
  }
}

void SelectionTree::Clear() {
  roots_.clear();
  ModeNodes.fill(nullptr);
  if (Changed) Changed();
}

TreeNode* SelectionTree::AddRoot(const std::string& text) {
  roots_.push_back(std::make_unique<TreeNode>(text, nullptr, kNoStateImage));
  if (Changed) Changed();
  return roots_.back().get();
}

TreeNode* SelectionTree::AddChild(TreeNode* parent, const std::string& text, int state) {
  parent->Children.push_back(std::make_unique<TreeNode>(text, parent, state));
  if (Changed) Changed();
  return parent->Children.back().get();
}

bool SelectionTree::IsModeNode(const TreeNode* node) const {
  return node && std::find(ModeNodes.begin(), ModeNodes.end(), node) != ModeNodes.end();
}

void SelectionTree::tvIndexMouseUp(TreeNode* node) {
  if (!node || IsModeNode(node)) return;
  if (!IsModeNode(node->Parent)) return;
  int state = node->StateIndex.load();
  node->StateIndex.store(state == kStateSelected ? kStateDeselected : kStateSelected);
  if (Changed) Changed();
}

}  // namespace polvane
