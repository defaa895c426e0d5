// How a reader follows the sections of a log: the data kind (tree slot) of the current section,
// how many sections the file has begun, the label of a section that the index has yet to take,
// and, while converting, whether the current section is selected in the selection tree.
#pragma once

#include <cstdint>
#include <memory>

namespace polvane {

class SectionTable;

inline constexpr int kSectionLabelSize = 64;

class SectionTracker {
 public:
  SectionTracker() = default;

  // A new file: no section yet, none begun, nothing skipped.
  void Restart() {
    kind_ = -1;
    ordinal_ = 0;
    skipped_ = false;
    started_ = false;
  }

  // Indexing: a record of tree slot `slot` (-1 for a record of no known kind). A section begins
  // when the kind changes, or always with `newSection`; it then gets its label from
  // label(buffer, kSectionLabelSize) and waits for the index to take it (TakeStarted). Returns
  // whether a section began.
  template <class LabelFn>
  bool Index(std::int16_t slot, LabelFn&& label, bool newSection = false) {
    if (slot == kind_ && !newSection) return false;
    kind_ = slot;
    started_ = true;
    label_[0] = '\0';
    label(label_, kSectionLabelSize);
    ++ordinal_;
    return true;
  }

  // Converting: a record of tree slot `slot`. A section that begins (as Index decides) is
  // skipped when it is deselected in the section table, unless `everySection` (a folder
  // run converts every section). Returns whether the record belongs to a section to write.
  bool Convert(std::int16_t slot, bool everySection, bool newSection = false) {
    if (slot != kind_ || newSection) {
      kind_ = slot;
      skipped_ = everySection ? false : !Selected(ordinal_ + 1);
      ++ordinal_;
    }
    return !skipped_;
  }

  // The tree slot of the current section; -1 before the first.
  std::int16_t Kind() const { return kind_; }
  // The number of the current section in the file, counted from 1; 0 before the first.
  std::int32_t Ordinal() const { return ordinal_; }
  // Whether the current section is left out of the conversion.
  bool Skipped() const { return skipped_; }

  // Whether a section began that the index has not taken yet.
  bool Started() const { return started_; }
  // The label of the section that began, once: null when none began since the last taken, or
  // while its label is still empty (the section then waits for a label, see SetLabel).
  const char* TakeStarted() {
    if (!started_ || label_[0] == '\0') return nullptr;
    started_ = false;
    label_[kSectionLabelSize - 1] = '\0';
    return label_;
  }
  void ClearStarted() { started_ = false; }
  // Replaces the label of the current section (a reader that learns it after the section began).
  void SetLabel(const char* label);
  const char* Label() const { return label_; }

  // --- The sections of the file's index with their states (convert/section_table.h) ---
  // Whether section `ordinal` (counted from 1) is selected; a section the table does not have
  // (or any section, without a table) is.
  bool Selected(int ordinal) const;
  // The table the index made of the file (the selection tree's), shared with the tree.
  void SetTable(std::shared_ptr<SectionTable> table) { table_ = std::move(table); }
  const std::shared_ptr<SectionTable>& Table() const { return table_; }
  void ClearTable() { table_.reset(); }
  // The table of another reader (the window's), for a reader of the run.
  void TakeTable(const SectionTracker& from) { table_ = from.table_; }

 private:
  std::int16_t kind_ = -1;
  std::int32_t ordinal_ = 0;  // 32-bit: a day's log may hold more than 32767 sections
  bool skipped_ = false;
  bool started_ = false;
  char label_[kSectionLabelSize] = {};
  std::shared_ptr<SectionTable> table_;
};

}  // namespace polvane
