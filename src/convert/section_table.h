// The sections of a file's index, in file order, in little memory whatever their count.
//
// A log can start a section with every record (a Kes PC-card log of empty scan headers: nine
// million sections in 256 MB). The table keeps its sections in chunks of kChunkSections, each
// coded against the section before it (ordinals, labels and start times as small differences,
// counts as variable-length numbers, a few bytes a section) with the sections' states as a bit
// set after them. Past a memory budget, each new chunk goes to an unnamed temporary file and is
// read back by its position when it is needed; a few chunks are kept decoded for the readers
// that walk the sections in order (the conversion, the listing, the window's visible rows).
//
// The indexing worker fills a table on its own (Add, and the counts of the section just added);
// once handed over, the table is read and its states changed from several threads: every
// reading and every change of state takes the table's lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include "convert/tree_node.h"

namespace polvane {

class SectionTable {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // The top-level nodes a section can hang under (by position).
  static constexpr std::size_t kMaxRoots = 32;
  static constexpr std::size_t kChunkSections = 4096;
  // The coded chunks kept in memory before new chunks go to the file.
  static constexpr std::size_t kMemoryBudget = std::size_t{8} << 20;

  explicit SectionTable(std::size_t memoryBudget = kMemoryBudget);
  ~SectionTable();
  SectionTable(const SectionTable&) = delete;
  SectionTable& operator=(const SectionTable&) = delete;

  // Appends section `ordinal` under top-level node `parent`, with a packed label. Ordinals
  // rise: one not above the last, or a parent past kMaxRoots, adds nothing (nullptr). The
  // section returned takes its records (TreeNode::Count) until the next Add; its state is
  // changed through the table.
  TreeNode* Add(std::uint32_t ordinal, std::uint8_t parent, std::uint32_t label, bool selected);

  // The number of sections.
  std::size_t Size() const;
  // The section at file position `position` (< Size()).
  TreeNode At(std::size_t position) const;
  // The file position of section `ordinal`; kNone when the table has none.
  std::size_t Find(std::uint32_t ordinal) const;
  // Whether section `ordinal` is selected; a section the table does not have is.
  bool Selected(std::uint32_t ordinal) const;
  // Sets the state of section `ordinal`; false when the table has no such section.
  bool SetSelected(std::uint32_t ordinal, bool selected);
  // Sets the state of every section under `parent`.
  void SetRoot(std::uint8_t parent, bool selected);

  // Sections under `parent`, and how many of them are selected.
  std::size_t CountOf(std::uint8_t parent) const;
  std::size_t SelectedOf(std::uint8_t parent) const;
  // The file position of the row-th section under `parent` (kNone past the last), and the
  // row of the section at `position` under its parent.
  std::size_t PositionOfRow(std::uint8_t parent, std::size_t row) const;
  std::size_t RowOf(std::size_t position) const;
  // The first file position at or after `from` of a section under `parent`; Size() if none.
  std::size_t NextOf(std::uint8_t parent, std::size_t from) const;
  // Calls `visit` with every section under `parent` in file order (every section when
  // `parent` is kAnyRoot). The lock is not held while `visit` runs.
  static constexpr std::uint8_t kAnyRoot = 0xFF;
  void Visit(std::uint8_t parent, const std::function<void(const TreeNode&)>& visit) const;

  // A chunk could not be read back from the table's file, or a change of state not written
  // to it: the states of its sections are unknown, so every section counts as left out from
  // then on, and a conversion that asked ends with an error. The system's error number (0 when
  // it gave none).
  bool Failed() const;
  int FailureError() const;
  // Makes every later read and write of the table's file fail, as a broken disk would.
  void BreakFileForTesting();

  // What the table holds in memory (its chunks, their directory, the decoded ones) and in its
  // file, in bytes.
  std::size_t MemoryBytes() const;
  std::uint64_t FileBytes() const;

 private:
  struct Chunk {
    std::uint32_t First = 0, Last = 0;  // ordinals of its first and last section
    std::uint32_t Coded = 0;            // bytes of the coded sections; the state bits follow
    std::uint32_t Roots = 0;            // a bit per parent that has sections in the chunk
    std::uint64_t Offset = 0;           // where it starts in the file, once there
    bool InFile = false;
    std::vector<std::uint8_t> Bytes;  // the coded sections and the state bits, in memory
    // Sections under each parent in the chunks before this one.
    std::array<std::uint32_t, kMaxRoots> Before{};
  };
  struct Decoded {
    std::size_t Chunk = kNone;
    std::uint64_t Used = 0;
    std::vector<TreeNode> Sections;
  };

  void Seal();
  // The decoded sections of chunk `c` (kept among the few most recently used).
  Decoded& Load(std::size_t c) const;
  // The state bits of chunk `c` as the chunk now holds them, and storing them back.
  void StoreBits(std::size_t c, const std::vector<TreeNode>& sections);
  // The chunk whose ordinals take in `ordinal` (chunks_.size() for the open one); kNone.
  std::size_t ChunkOf(std::uint32_t ordinal) const;
  std::size_t FindLocked(std::uint32_t ordinal) const;
  TreeNode AtLocked(std::size_t position) const;
  bool OpenFile();

  const std::size_t budget_;
  mutable std::mutex lock_;
  std::vector<Chunk> chunks_;
  // The sections of the chunk being filled, not yet coded.
  std::vector<TreeNode> open_;
  std::array<std::uint32_t, kMaxRoots> openCount_{};
  std::array<std::uint64_t, kMaxRoots> count_{};
  std::array<std::uint64_t, kMaxRoots> selected_{};
  std::size_t inMemory_ = 0;  // bytes of coded chunks held in memory
  std::FILE* file_ = nullptr;
  bool fileFailed_ = false;
  mutable bool failed_ = false;  // see Failed()
  mutable int failureError_ = 0;
  std::uint64_t fileBytes_ = 0;
  mutable std::array<Decoded, 4> decoded_;
  mutable std::uint64_t uses_ = 0;
  mutable std::size_t lastChunk_ = 0;
  // The row last looked for in a chunk of several kinds.
  struct RowHint {
    std::uint8_t Parent = kAnyRoot;
    std::size_t Row = 0, Position = 0;
  };
  mutable RowHint rowHint_;
  mutable std::vector<std::uint8_t> scratch_;
};

}  // namespace polvane
