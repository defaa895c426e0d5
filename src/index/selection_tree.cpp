#include "index/selection_tree.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "convert/product_rows.h"

namespace polvane {

const char* SlotText(int slot, std::int16_t productCode) {
  static const char* const kTexts[kTreeSlots] = {
      "Fast Data",        "Scan Data", "1 Channel Data", "3 Channel Data",     "C/I Ratio",
      "Adjacent Channel", "1 Channel", "20 Channel",     "Variable Sweep",     "1 MHz Sweep",
      "POCSAG",           "Fast Fade", "Strongest AB",   "Co-Channel Control", "Group",
      "Follow",           "BER",       "System",         "FLEX Paging",        "Single Frequency",
      "List Data",        "80 Channel"};
  if (slot < 0 || slot >= kTreeSlots) return "";
  const ProductRow* product = FindProduct(productCode);
  // The texts are literals, each zero-terminated.
  if (slot == 1 && product && !product->ScanSlotText.empty()) return product->ScanSlotText.data();
  return kTexts[slot];
}

std::vector<int> ProductSlots(std::int16_t productCode) {
  const ProductRow* product = FindProduct(productCode);
  if (!product) return {};
  return {product->TreeSlots.begin(), product->TreeSlots.end()};
}

namespace section_labels {

namespace {

constexpr std::string_view kSources[] = {"", "N/A ", "RTC ", "GPS "};
constexpr std::uint32_t kPartMax = 511;  // nine bits per part

}  // namespace

bool Pack(std::string_view text, std::uint32_t& packed) {
  std::uint32_t source = 0;
  for (std::uint32_t s = 1; s < std::size(kSources); ++s)
    if (text.substr(0, kSources[s].size()) == kSources[s]) source = s;
  std::string_view rest = text.substr(kSources[source].size());
  std::uint32_t parts[3] = {};
  for (int i = 0; i < 3; ++i) {
    std::size_t n = 0;
    while (n < rest.size() && n < 4 && rest[n] >= '0' && rest[n] <= '9')
      parts[i] = parts[i] * 10 + static_cast<std::uint32_t>(rest[n++] - '0');
    if (n == 0 || parts[i] > kPartMax) return false;
    rest.remove_prefix(n);
    if (i < 2) {
      if (rest.empty() || rest[0] != ':') return false;
      rest.remove_prefix(1);
    }
  }
  if (!rest.empty()) return false;
  packed = source << 27 | parts[0] << 18 | parts[1] << 9 | parts[2];
  // Only a text that comes back exactly is packed ("7:05:00" is not what "%02d" writes).
  return Unpack(packed) == text;
}

std::string Unpack(std::uint32_t packed) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%02u:%02u:%02u", kSources[packed >> 27 & 3].data(),
                packed >> 18 & kPartMax, packed >> 9 & kPartMax, packed & kPartMax);
  return text;
}

}  // namespace section_labels

std::string SectionTime(std::uint32_t seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600 % 24, seconds / 60 % 60,
                seconds % 60);
  return text;
}

void SelectionTree::Clear() {
  roots_.clear();
  ModeNodes.fill(nullptr);
  storedLabels_.clear();
  storedIndex_.clear();
  if (Changed) Changed();
}

TreeRoot* SelectionTree::AddRoot(const std::string& text) {
  roots_.push_back(std::make_unique<TreeRoot>(text));
  if (Changed) Changed();
  return roots_.back().get();
}

TreeNode* SelectionTree::AddChild(TreeRoot* parent, std::uint32_t ordinal, std::string_view text,
                                  int state) {
  std::size_t position = 0;
  while (position < roots_.size() && roots_[position].get() != parent) ++position;
  if (position == roots_.size() || position >= TreeNode::kNoParent) return nullptr;
  std::uint32_t label = 0;
  if (!section_labels::Pack(text, label)) {
    const auto [at, added] = storedIndex_.try_emplace(
        std::string(text), static_cast<std::uint32_t>(storedLabels_.size()));
    if (added) storedLabels_.emplace_back(text);
    label = section_labels::kStored | at->second;
  }
  TreeNode& node =
      parent->Children.emplace_back(state, ordinal, label, static_cast<std::uint8_t>(position));
  if (Changed) Changed();
  return &node;
}

void SelectionTree::Adopt(SelectionTree&& built) {
  roots_ = std::move(built.roots_);
  ModeNodes = built.ModeNodes;
  storedLabels_ = std::move(built.storedLabels_);
  storedIndex_ = std::move(built.storedIndex_);
  built.roots_.clear();
  built.ModeNodes.fill(nullptr);
  if (Changed) Changed();
}

void SelectionTree::SetKind(const TreeRoot* root, bool selected) {
  if (!root || !IsModeNode(root)) return;
  for (const auto& r : roots_)
    if (r.get() == root)
      for (TreeNode& section : r->Children)
        section.StateIndex.store(selected ? kStateSelected : kStateDeselected);
  if (Changed) Changed();
}

std::size_t SelectionTree::SelectedCount(const TreeRoot& root) const {
  std::size_t n = 0;
  for (const TreeNode& section : root.Children) n += section.Selected();
  return n;
}

std::string SelectionTree::Text(const TreeNode& node) const {
  if (ParentOf(&node)) {
    if (!(node.Label & section_labels::kStored)) return section_labels::Unpack(node.Label);
    const std::uint32_t k = node.Label & ~section_labels::kStored;
    return k < storedLabels_.size() ? storedLabels_[k] : std::string();
  }
  for (const auto& root : roots_)
    if (root.get() == &node) return root->Text;
  return {};
}

bool SelectionTree::IsModeNode(const TreeNode* node) const {
  return node && std::find(ModeNodes.begin(), ModeNodes.end(), node) != ModeNodes.end();
}

const TreeRoot* SelectionTree::ParentOf(const TreeNode* node) const {
  if (!node || node->Parent >= roots_.size()) return nullptr;
  const TreeRoot* root = roots_[node->Parent].get();
  return root == node ? nullptr : root;
}

void SelectionTree::tvIndexMouseUp(TreeNode* node) {
  if (!node || IsModeNode(node)) return;
  if (!IsModeNode(ParentOf(node))) return;
  int state = node->StateIndex.load();
  node->StateIndex.store(state == kStateSelected ? kStateDeselected : kStateSelected);
  if (Changed) Changed();
}

}  // namespace polvane
