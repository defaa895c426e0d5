// The selection tree: one top-level node per data kind of the product, and under each the
// sections of the file. The Qt tree widget mirrors it.
#pragma once

#include <array>
#include <cstdint>
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
// The same text written at `out` (kUnpackedSize bytes at most, no terminator); its length.
inline constexpr std::size_t kUnpackedSize = 16;
std::size_t UnpackTo(std::uint32_t packed, char* out);
}  // namespace section_labels

// A time of day of a section (TreeNode::Start, TreeNode::End) as "HH:MM:SS".
std::string SectionTime(std::uint32_t seconds);

class SectionTable;

// The sections of one data kind, a view of the tree's section table: their number, a section
// by its row, and the sections in file order. Sections are values (copies of what the table
// keeps); their states change through the tree.
class KindSections {
 public:
  KindSections(std::shared_ptr<SectionTable> table, std::uint8_t position)
      : table_(std::move(table)), position_(position) {}

  class iterator {
   public:
    using value_type = TreeNode;
    iterator(const SectionTable* table, std::uint8_t parent, std::size_t position)
        : table_(table), parent_(parent), position_(position) {}
    TreeNode operator*() const;
    iterator& operator++();
    bool operator!=(const iterator& other) const { return position_ != other.position_; }
    bool operator==(const iterator& other) const { return position_ == other.position_; }

   private:
    const SectionTable* table_;
    std::uint8_t parent_;
    std::size_t position_;
  };

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // The section of row `row` (a node of no parent past the last row).
  TreeNode operator[](std::size_t row) const;
  iterator begin() const;
  iterator end() const;

 private:
  std::shared_ptr<SectionTable> table_;
  std::uint8_t position_;
};

// A top-level node: the name of its data kind and the sections of that kind, in file order.
struct TreeRoot : TreeNode {
  TreeRoot(std::string text, std::shared_ptr<SectionTable> table, std::uint8_t position)
      : TreeNode(kNoStateImage), Text(std::move(text)), Children(std::move(table), position) {}
  const std::string Text;
  const KindSections Children;
};

class SelectionTree {
 public:
  SelectionTree();
  ~SelectionTree();

  // Deletes every node and empties ModeNodes.
  void Clear();
  TreeRoot* AddRoot(const std::string& text);
  // Adds section `ordinal` (its number in the file; ordinals rise) under `parent` with the
  // label `text`. The section returned counts its records until the next AddChild; nullptr
  // when it was not added.
  TreeNode* AddChild(TreeRoot* parent, std::uint32_t ordinal, std::string_view text, int state);
  // Takes every node of `built` (a tree the indexing worker filled on its own) in place of this
  // tree's, in one piece, and Changed is called once.
  void Adopt(SelectionTree&& built);
  // Selects (or deselects) every section of a data kind; other nodes are left alone.
  void SetKind(const TreeRoot* root, bool selected);
  // The click handler's rule: a section node (a copy of one of this tree's sections) toggles
  // between selected and not selected; top-level nodes, other nodes and no node at all are
  // left alone.
  void tvIndexMouseUp(const TreeNode* node);
  // Sets the state of section `ordinal`; whether it changed. Changed is not called.
  bool SetSection(std::uint32_t ordinal, bool selected);
  // The text a node shows: the kind of a top-level node, the label of a section.
  std::string Text(const TreeNode& node) const;
  // The number of sections of a data kind that are selected.
  std::size_t SelectedCount(const TreeRoot& root) const;
  // The section of ordinal `ordinal` (a node of no parent when the tree has none).
  TreeNode Section(std::uint32_t ordinal) const;

  const std::vector<std::unique_ptr<TreeRoot>>& Roots() const { return roots_; }
  std::array<TreeRoot*, kTreeSlots> ModeNodes{};
  // Every section of the tree in file order, with its state: the readers consult it.
  const std::shared_ptr<SectionTable>& Sections() const { return table_; }

  // The view's hook: called after the tree's structure or a state changed.
  std::function<void()> Changed;

 private:
  bool IsModeNode(const TreeNode* node) const;
  std::vector<std::unique_ptr<TreeRoot>> roots_;
  std::shared_ptr<SectionTable> table_;
  // Labels that do not pack, each kept once.
  std::vector<std::string> storedLabels_;
  std::unordered_map<std::string, std::uint32_t> storedIndex_;
};

}  // namespace polvane
