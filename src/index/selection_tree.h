// The selection tree: one top-level node per data kind of the product, and under each the
// sections of the file. The Qt tree widget mirrors it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "convert/tree_node.h"

namespace polvane {

inline constexpr int kTreeSlots = 22;

// Text of the top-level node of tree slot `slot` for a product.
const char* SlotText(int slot, std::int16_t productCode);
// The slots a product's tree shows, in the order they are added.
std::vector<int> ProductSlots(std::int16_t productCode);

// Section labels as the readers write them, packed into 32 bits: a time "H:M:S" (each part
// as "%02d" prints it, up to 511), alone or after "N/A ", "RTC " or "GPS ". Any other text is
// kept once in the tree, and the packed value is its number there.
namespace section_labels {
inline constexpr std::uint32_t kStored = 0x80000000u;  // set: a number of a stored text
// Packs `text`; false when it is not of a packed shape (it is stored instead).
bool Pack(std::string_view text, std::uint32_t& packed);
// The text of a packed time (kStored clear).
std::string Unpack(std::uint32_t packed);
}  // namespace section_labels

// A time of day of a section (TreeNode::Start, TreeNode::End) as "HH:MM:SS".
std::string SectionTime(std::uint32_t seconds);

// A top-level node: the name of its data kind and the sections of that kind, in file order.
struct TreeRoot : TreeNode {
  explicit TreeRoot(std::string text) : TreeNode(kNoStateImage), Text(std::move(text)) {}
  const std::string Text;
  // A deque: nodes stay where they are as sections are added (the converters and the window
  // hold their addresses), and a section costs its node and nothing more.
  std::deque<TreeNode> Children;
};

// What the tree keeps per section, all told: the node and the converter's reference to it by
// ordinal. A log of millions of sections stays within a small multiple of their count.
inline constexpr std::size_t kSectionBytes = sizeof(TreeNode) + sizeof(TreeNode*);
static_assert(kSectionBytes <= 32, "a section's bookkeeping is at most 32 bytes");

class SelectionTree {
 public:
  // Deletes every node and empties ModeNodes.
  void Clear();
  TreeRoot* AddRoot(const std::string& text);
  // Adds section `ordinal` (its number in the file) under `parent` with the label `text`.
  TreeNode* AddChild(TreeRoot* parent, std::uint32_t ordinal, std::string_view text, int state);
  // Takes every node of `built` (a tree the indexing worker filled on its own) in place of this
  // tree's, in one piece: the nodes keep their addresses, and Changed is called once.
  void Adopt(SelectionTree&& built);
  // Selects (or deselects) every section of a data kind; other nodes are left alone.
  void SetKind(const TreeRoot* root, bool selected);
  // The click handler's rule: a section node toggles between selected and not selected;
  // top-level nodes, other nodes and no node at all are left alone.
  void tvIndexMouseUp(TreeNode* node);
  // The text a node shows: the kind of a top-level node, the label of a section.
  std::string Text(const TreeNode& node) const;
  // The number of sections of a data kind that are selected.
  std::size_t SelectedCount(const TreeRoot& root) const;

  const std::vector<std::unique_ptr<TreeRoot>>& Roots() const { return roots_; }
  std::array<TreeRoot*, kTreeSlots> ModeNodes{};

  // The view's hook: called after the tree's structure or a state changed.
  std::function<void()> Changed;

 private:
  bool IsModeNode(const TreeNode* node) const;
  // The top-level node a section node of this tree hangs under; nullptr for any other node.
  const TreeRoot* ParentOf(const TreeNode* node) const;
  std::vector<std::unique_ptr<TreeRoot>> roots_;
  // Labels that do not pack, each kept once.
  std::vector<std::string> storedLabels_;
  std::unordered_map<std::string, std::uint32_t> storedIndex_;
};

}  // namespace polvane
