#include "index/selection_tree.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "convert/product_rows.h"
#include "convert/section_table.h"

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
  char back[kUnpackedSize];
  return std::string_view(back, UnpackTo(packed, back)) == text;
}

std::size_t UnpackTo(std::uint32_t packed, char* out) {
  const std::string_view source = kSources[packed >> 27 & 3];
  char* p = std::copy(source.begin(), source.end(), out);
  // Each part as "%02u" writes it: two digits at least, three from 100 (at most 511).
  const std::uint32_t parts[3] = {packed >> 18 & kPartMax, packed >> 9 & kPartMax,
                                  packed & kPartMax};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) *p++ = ':';
    const std::uint32_t v = parts[i];
    if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
    *p++ = static_cast<char>('0' + v / 10 % 10);
    *p++ = static_cast<char>('0' + v % 10);
  }
  return static_cast<std::size_t>(p - out);
}

std::string Unpack(std::uint32_t packed) {
  char text[kUnpackedSize];
  return std::string(text, UnpackTo(packed, text));
}

}  // namespace section_labels

std::string SectionTime(std::uint32_t seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600 % 24, seconds / 60 % 60,
                seconds % 60);
  return text;
}

TreeNode KindSections::iterator::operator*() const {
  return table_->At(position_);
}

KindSections::iterator& KindSections::iterator::operator++() {
  position_ = table_->NextOf(parent_, position_ + 1);
  return *this;
}

std::size_t KindSections::size() const {
  return table_->CountOf(position_);
}

TreeNode KindSections::operator[](std::size_t row) const {
  const std::size_t at = table_->PositionOfRow(position_, row);
  return at == SectionTable::kNone ? TreeNode(kNoStateImage) : table_->At(at);
}

KindSections::iterator KindSections::begin() const {
  return {table_.get(), position_, table_->NextOf(position_, 0)};
}

KindSections::iterator KindSections::end() const {
  return {table_.get(), position_, table_->Size()};
}

SelectionTree::SelectionTree() : table_(std::make_shared<SectionTable>()) {}

SelectionTree::~SelectionTree() = default;

void SelectionTree::Clear() {
  roots_.clear();
  table_ = std::make_shared<SectionTable>();
  ModeNodes.fill(nullptr);
  storedLabels_.clear();
  storedIndex_.clear();
  if (Changed) Changed();
}

TreeRoot* SelectionTree::AddRoot(const std::string& text) {
  if (roots_.size() >= SectionTable::kMaxRoots) return nullptr;
  roots_.push_back(
      std::make_unique<TreeRoot>(text, table_, static_cast<std::uint8_t>(roots_.size())));
  if (Changed) Changed();
  return roots_.back().get();
}

TreeNode* SelectionTree::AddChild(TreeRoot* parent, std::uint32_t ordinal, std::string_view text,
                                  int state) {
  std::size_t position = 0;
  while (position < roots_.size() && roots_[position].get() != parent) ++position;
  if (position == roots_.size()) return nullptr;
  std::uint32_t label = 0;
  if (!section_labels::Pack(text, label)) {
    const auto [at, added] = storedIndex_.try_emplace(
        std::string(text), static_cast<std::uint32_t>(storedLabels_.size()));
    if (added) storedLabels_.emplace_back(text);
    label = section_labels::kStored | at->second;
  }
  TreeNode* node =
      table_->Add(ordinal, static_cast<std::uint8_t>(position), label, state == kStateSelected);
  if (Changed) Changed();
  return node;
}

void SelectionTree::Adopt(SelectionTree&& built) {
  roots_ = std::move(built.roots_);
  table_ = std::move(built.table_);
  ModeNodes = built.ModeNodes;
  storedLabels_ = std::move(built.storedLabels_);
  storedIndex_ = std::move(built.storedIndex_);
  built.roots_.clear();
  built.table_ = std::make_shared<SectionTable>();
  built.ModeNodes.fill(nullptr);
  if (Changed) Changed();
}

void SelectionTree::SetKind(const TreeRoot* root, bool selected) {
  if (!root || !IsModeNode(root)) return;
  for (std::size_t r = 0; r < roots_.size(); ++r)
    if (roots_[r].get() == root) table_->SetRoot(static_cast<std::uint8_t>(r), selected);
  if (Changed) Changed();
}

std::size_t SelectionTree::SelectedCount(const TreeRoot& root) const {
  for (std::size_t r = 0; r < roots_.size(); ++r)
    if (roots_[r].get() == &root) return table_->SelectedOf(static_cast<std::uint8_t>(r));
  return 0;
}

TreeNode SelectionTree::Section(std::uint32_t ordinal) const {
  const std::size_t at = table_->Find(ordinal);
  return at == SectionTable::kNone ? TreeNode(kNoStateImage) : table_->At(at);
}

bool SelectionTree::SetSection(std::uint32_t ordinal, bool selected) {
  const TreeNode section = Section(ordinal);
  if (section.Parent == TreeNode::kNoParent || section.Selected() == selected) return false;
  return table_->SetSelected(ordinal, selected);
}

std::string SelectionTree::Text(const TreeNode& node) const {
  if (node.Parent != TreeNode::kNoParent && node.Parent < roots_.size()) {
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

void SelectionTree::tvIndexMouseUp(const TreeNode* node) {
  if (!node || node->Parent == TreeNode::kNoParent || node->Parent >= roots_.size()) return;
  if (!IsModeNode(roots_[node->Parent].get())) return;
  const TreeNode section = Section(node->Ordinal);
  if (section.Parent != node->Parent) return;
  table_->SetSelected(section.Ordinal, !section.Selected());
  if (Changed) Changed();
}

}  // namespace polvane
