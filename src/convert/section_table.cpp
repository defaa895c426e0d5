#include "convert/section_table.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace polvane {

namespace {

void PutNumber(std::vector<std::uint8_t>& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}

std::uint64_t GetNumber(const std::uint8_t*& p) {
  std::uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    const std::uint8_t b = *p++;
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
  }
  return v;
}

std::uint64_t Signed(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

std::int64_t Unsigned(std::uint64_t v) {
  return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

// Each section against the one before it in the chunk: the ordinal's step, the parent, the
// label's difference, the records, the start's difference from the last start (0: no time)
// and the span.
void Code(const std::vector<TreeNode>& sections, std::vector<std::uint8_t>& out) {
  std::uint32_t ordinal = 0, label = 0, start = 0;
  for (const TreeNode& s : sections) {
    PutNumber(out, s.Ordinal - ordinal);
    out.push_back(s.Parent);
    PutNumber(out, Signed(static_cast<std::int64_t>(s.Label) - label));
    PutNumber(out, s.Records);
    if (s.HasTimes()) {
      PutNumber(out, Signed(static_cast<std::int64_t>(s.Start) - start) + 1);
      start = s.Start;
    } else {
      PutNumber(out, 0);
    }
    PutNumber(out, s.Span);
    ordinal = s.Ordinal;
    label = s.Label;
  }
}

void Decode(const std::uint8_t* p, std::size_t count, const std::uint8_t* bits,
            std::vector<TreeNode>& out) {
  out.clear();
  std::uint32_t ordinal = 0, label = 0, start = 0;
  for (std::size_t k = 0; k < count; ++k) {
    ordinal += static_cast<std::uint32_t>(GetNumber(p));
    const std::uint8_t parent = *p++;
    label = static_cast<std::uint32_t>(static_cast<std::int64_t>(label) + Unsigned(GetNumber(p)));
    TreeNode& s = out.emplace_back(bits[k / 8] >> (k % 8) & 1 ? kStateSelected : kStateDeselected,
                                   ordinal, label, parent);
    s.Records = static_cast<std::uint32_t>(GetNumber(p));
    if (const std::uint64_t t = GetNumber(p)) {
      start = static_cast<std::uint32_t>(static_cast<std::int64_t>(start) + Unsigned(t - 1));
      s.Start = start;
    }
    s.Span = static_cast<std::uint16_t>(GetNumber(p));
  }
}

void PutBits(const std::vector<TreeNode>& sections, std::uint8_t* bits) {
  std::fill(bits, bits + (sections.size() + 7) / 8, std::uint8_t{0});
  for (std::size_t k = 0; k < sections.size(); ++k)
    if (sections[k].Selected()) bits[k / 8] |= static_cast<std::uint8_t>(1u << (k % 8));
}

bool Seek(std::FILE* file, std::uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

constexpr std::size_t kBitBytes = (SectionTable::kChunkSections + 7) / 8;

}  // namespace

SectionTable::SectionTable(std::size_t memoryBudget) : budget_(memoryBudget) {
  open_.reserve(kChunkSections);
}

SectionTable::~SectionTable() {
  if (file_) std::fclose(file_);
}

bool SectionTable::OpenFile() {
  if (file_) return true;
  if (fileFailed_) return false;
    // An unnamed file in the temporary folder: nothing is left behind, whatever ends the run.
#if defined(__unix__) || defined(__APPLE__)
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  const std::string dir = ec ? std::string("/tmp") : folder.string();
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    std::string name = dir + "/polvane-sections-XXXXXX";
    fd = ::mkstemp(name.data());
    if (fd >= 0) ::unlink(name.c_str());
  }
  if (fd >= 0) {
    file_ = ::fdopen(fd, "w+b");
    if (!file_) ::close(fd);
  }
#else
  file_ = std::tmpfile();
#endif
  // Without a file the chunks stay in memory.
  if (!file_) fileFailed_ = true;
  return file_ != nullptr;
}

TreeNode* SectionTable::Add(std::uint32_t ordinal, std::uint8_t parent, std::uint32_t label,
                            bool selected) {
  if (parent >= kMaxRoots) return nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!open_.empty() ? ordinal <= open_.back().Ordinal
                       : !chunks_.empty() && ordinal <= chunks_.back().Last)
      return nullptr;
    if (open_.size() == kChunkSections) Seal();
    ++count_[parent];
    ++openCount_[parent];
    if (selected) ++selected_[parent];
    open_.emplace_back(selected ? kStateSelected : kStateDeselected, ordinal, label, parent);
  }
  return &open_.back();
}

void SectionTable::Seal() {
  Chunk& chunk = chunks_.emplace_back();
  chunk.First = open_.front().Ordinal;
  chunk.Last = open_.back().Ordinal;
  for (std::size_t r = 0; r < kMaxRoots; ++r)
    chunk.Before[r] = static_cast<std::uint32_t>(count_[r] - openCount_[r]);
  for (const TreeNode& s : open_) chunk.Roots |= 1u << s.Parent;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(open_.size() * 8 + kBitBytes);
  Code(open_, bytes);
  chunk.Coded = static_cast<std::uint32_t>(bytes.size());
  bytes.resize(bytes.size() + (open_.size() + 7) / 8);
  PutBits(open_, bytes.data() + chunk.Coded);
  if (inMemory_ + bytes.size() > budget_ && OpenFile() && Seek(file_, fileBytes_) &&
      std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) {
    chunk.InFile = true;
    chunk.Offset = fileBytes_;
    fileBytes_ += bytes.size();
  } else {
    bytes.shrink_to_fit();
    inMemory_ += bytes.size();
    chunk.Bytes = std::move(bytes);
  }
  openCount_.fill(0);
  open_.clear();
}

SectionTable::Decoded& SectionTable::Load(std::size_t c) const {
  Decoded* slot = &decoded_[0];
  for (Decoded& d : decoded_) {
    if (d.Chunk == c) {
      d.Used = ++uses_;
      return d;
    }
    if (d.Used < slot->Used) slot = &d;
  }
  const Chunk& chunk = chunks_[c];
  const std::size_t count = kChunkSections;
  const std::size_t size = chunk.Coded + (count + 7) / 8;
  const std::uint8_t* bytes = chunk.Bytes.data();
  if (chunk.InFile) {
    scratch_.resize(size);
    errno = 0;
    if (!Seek(file_, chunk.Offset) || std::fread(scratch_.data(), 1, size, file_) != size) {
      std::fill(scratch_.begin(), scratch_.end(), std::uint8_t{0});
      failed_ = true;
      failureError_ = errno;
    }
    bytes = scratch_.data();
  }
  slot->Sections.reserve(kChunkSections);
  Decode(bytes, count, bytes + chunk.Coded, slot->Sections);
  slot->Chunk = c;
  slot->Used = ++uses_;
  return *slot;
}

void SectionTable::StoreBits(std::size_t c, const std::vector<TreeNode>& sections) {
  Chunk& chunk = chunks_[c];
  std::array<std::uint8_t, kBitBytes> bits{};
  PutBits(sections, bits.data());
  const std::size_t n = (sections.size() + 7) / 8;
  if (!chunk.InFile) {
    std::copy(bits.begin(), bits.begin() + n, chunk.Bytes.begin() + chunk.Coded);
  } else {
    errno = 0;
    if (!Seek(file_, chunk.Offset + chunk.Coded) || std::fwrite(bits.data(), 1, n, file_) != n ||
        std::fflush(file_) != 0) {
      failed_ = true;
      failureError_ = errno;
    }
  }
}

std::size_t SectionTable::Size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return chunks_.size() * kChunkSections + open_.size();
}

TreeNode SectionTable::AtLocked(std::size_t position) const {
  const std::size_t c = position / kChunkSections;
  if (c < chunks_.size()) return Load(c).Sections[position % kChunkSections];
  const std::size_t k = position - chunks_.size() * kChunkSections;
  return k < open_.size() ? open_[k] : TreeNode(kNoStateImage);
}

TreeNode SectionTable::At(std::size_t position) const {
  std::lock_guard<std::mutex> hold(lock_);
  return AtLocked(position);
}

std::size_t SectionTable::ChunkOf(std::uint32_t ordinal) const {
  // The conversion asks in file order: most often the chunk of the last question.
  if (lastChunk_ < chunks_.size() && chunks_[lastChunk_].First <= ordinal &&
      ordinal <= chunks_[lastChunk_].Last)
    return lastChunk_;
  const auto it = std::lower_bound(chunks_.begin(), chunks_.end(), ordinal,
                                   [](const Chunk& c, std::uint32_t o) { return c.Last < o; });
  if (it == chunks_.end()) {
    if (!open_.empty() && open_.front().Ordinal <= ordinal && ordinal <= open_.back().Ordinal)
      return chunks_.size();
    return kNone;
  }
  if (it->First > ordinal) return kNone;
  lastChunk_ = static_cast<std::size_t>(it - chunks_.begin());
  return lastChunk_;
}

std::size_t SectionTable::FindLocked(std::uint32_t ordinal) const {
  const std::size_t c = ChunkOf(ordinal);
  if (c == kNone) return kNone;
  const std::vector<TreeNode>& sections = c < chunks_.size() ? Load(c).Sections : open_;
  const auto it =
      std::lower_bound(sections.begin(), sections.end(), ordinal,
                       [](const TreeNode& s, std::uint32_t o) { return s.Ordinal < o; });
  if (it == sections.end() || it->Ordinal != ordinal) return kNone;
  return c * kChunkSections + static_cast<std::size_t>(it - sections.begin());
}

std::size_t SectionTable::Find(std::uint32_t ordinal) const {
  std::lock_guard<std::mutex> hold(lock_);
  return FindLocked(ordinal);
}

bool SectionTable::Selected(std::uint32_t ordinal) const {
  std::lock_guard<std::mutex> hold(lock_);
  const std::size_t position = FindLocked(ordinal);
  if (position == kNone) return !failed_;
  const bool selected = AtLocked(position).Selected();
  return selected && !failed_;
}

bool SectionTable::Failed() const {
  std::lock_guard<std::mutex> hold(lock_);
  return failed_;
}

int SectionTable::FailureError() const {
  std::lock_guard<std::mutex> hold(lock_);
  return failureError_;
}

void SectionTable::BreakFileForTesting() {
  std::lock_guard<std::mutex> hold(lock_);
  if (file_) std::fclose(file_);
  // Reads at the chunks' positions find nothing; writes are refused.
  file_ = std::fopen("/dev/null", "rb");
}

bool SectionTable::SetSelected(std::uint32_t ordinal, bool selected) {
  std::lock_guard<std::mutex> hold(lock_);
  const std::size_t position = FindLocked(ordinal);
  if (position == kNone) return false;
  const std::size_t c = position / kChunkSections, k = position % kChunkSections;
  std::vector<TreeNode>& sections = c < chunks_.size() ? Load(c).Sections : open_;
  TreeNode& s = sections[k];
  if (s.Selected() != selected) {
    s.StateIndex = static_cast<std::int8_t>(selected ? kStateSelected : kStateDeselected);
    if (selected)
      ++selected_[s.Parent];
    else
      --selected_[s.Parent];
    if (c < chunks_.size()) StoreBits(c, sections);
  }
  return true;
}

void SectionTable::SetRoot(std::uint8_t parent, bool selected) {
  if (parent >= kMaxRoots) return;
  std::lock_guard<std::mutex> hold(lock_);
  const auto set = [&](std::vector<TreeNode>& sections) {
    bool changed = false;
    for (TreeNode& s : sections)
      if (s.Parent == parent && s.Selected() != selected) {
        s.StateIndex = static_cast<std::int8_t>(selected ? kStateSelected : kStateDeselected);
        changed = true;
      }
    return changed;
  };
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    if (!(chunks_[c].Roots >> parent & 1)) continue;
    std::vector<TreeNode>& sections = Load(c).Sections;
    if (set(sections)) StoreBits(c, sections);
  }
  set(open_);
  selected_[parent] = selected ? count_[parent] : 0;
}

std::size_t SectionTable::CountOf(std::uint8_t parent) const {
  std::lock_guard<std::mutex> hold(lock_);
  return parent < kMaxRoots ? static_cast<std::size_t>(count_[parent]) : 0;
}

std::size_t SectionTable::SelectedOf(std::uint8_t parent) const {
  std::lock_guard<std::mutex> hold(lock_);
  return parent < kMaxRoots ? static_cast<std::size_t>(selected_[parent]) : 0;
}

std::size_t SectionTable::PositionOfRow(std::uint8_t parent, std::size_t row) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (parent >= kMaxRoots || row >= count_[parent]) return kNone;
  // The last chunk with fewer rows before it than `row` + 1 holds the row.
  const auto it =
      std::upper_bound(chunks_.begin(), chunks_.end(), row,
                       [&](std::size_t r, const Chunk& c) { return r < c.Before[parent]; });
  std::size_t c = static_cast<std::size_t>(it - chunks_.begin());
  std::size_t before = 0;
  if (c > 0) {
    --c;
    before = chunks_[c].Before[parent];
  }
  // A chunk of this kind alone holds its rows one after another.
  if (c < chunks_.size() && chunks_[c].Roots == 1u << parent) {
    if (row - before < kChunkSections) return c * kChunkSections + (row - before);
    before += kChunkSections;
    ++c;
  }
  // Chunk c holds rows from `before` on, up to the next chunk's (or the open chunk's) start.
  // The view asks for rows in turn: a row after the last one asked for is looked for from there.
  std::size_t from = 0;
  if (rowHint_.Parent == parent && rowHint_.Row < row && rowHint_.Position / kChunkSections == c &&
      rowHint_.Row >= before) {
    from = rowHint_.Position % kChunkSections + 1;
    before = rowHint_.Row + 1;
  }
  for (; c <= chunks_.size(); ++c, from = 0) {
    if (c == chunks_.size() && openCount_[parent] == open_.size())
      return c * kChunkSections + (row - before);
    const std::vector<TreeNode>& sections = c < chunks_.size() ? Load(c).Sections : open_;
    for (std::size_t k = from; k < sections.size(); ++k)
      if (sections[k].Parent == parent && before++ == row) {
        rowHint_ = {parent, row, c * kChunkSections + k};
        return rowHint_.Position;
      }
  }
  return kNone;
}

std::size_t SectionTable::RowOf(std::size_t position) const {
  std::lock_guard<std::mutex> hold(lock_);
  const std::size_t c = position / kChunkSections, k = position % kChunkSections;
  if (c > chunks_.size()) return kNone;
  const std::vector<TreeNode>& sections = c < chunks_.size() ? Load(c).Sections : open_;
  if (k >= sections.size()) return kNone;
  const std::uint8_t parent = sections[k].Parent;
  std::size_t row = c < chunks_.size()
                        ? chunks_[c].Before[parent]
                        : static_cast<std::size_t>(count_[parent] - openCount_[parent]);
  for (std::size_t j = 0; j < k; ++j) row += sections[j].Parent == parent;
  return row;
}

std::size_t SectionTable::NextOf(std::uint8_t parent, std::size_t from) const {
  std::lock_guard<std::mutex> hold(lock_);
  const std::size_t size = chunks_.size() * kChunkSections + open_.size();
  for (std::size_t c = from / kChunkSections; c <= chunks_.size(); ++c) {
    if (c < chunks_.size() && !(chunks_[c].Roots >> parent & 1)) continue;
    const std::vector<TreeNode>& sections = c < chunks_.size() ? Load(c).Sections : open_;
    for (std::size_t k = c == from / kChunkSections ? from % kChunkSections : 0;
         k < sections.size(); ++k)
      if (sections[k].Parent == parent) return c * kChunkSections + k;
  }
  return size;
}

void SectionTable::Visit(std::uint8_t parent,
                         const std::function<void(const TreeNode&)>& visit) const {
  std::vector<TreeNode> copy;
  copy.reserve(kChunkSections);
  for (std::size_t c = 0;; ++c) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (c > chunks_.size()) return;
      if (c < chunks_.size() && parent != kAnyRoot &&
          (parent >= kMaxRoots || !(chunks_[c].Roots >> parent & 1)))
        continue;
      copy = c < chunks_.size() ? Load(c).Sections : open_;
    }
    for (const TreeNode& s : copy)
      if (parent == kAnyRoot || s.Parent == parent) visit(s);
  }
}

std::size_t SectionTable::MemoryBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::size_t n = sizeof *this + chunks_.capacity() * sizeof(Chunk) + inMemory_ +
                  open_.capacity() * sizeof(TreeNode) + scratch_.capacity();
  for (const Decoded& d : decoded_) n += d.Sections.capacity() * sizeof(TreeNode);
  return n;
}

std::uint64_t SectionTable::FileBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return fileBytes_;
}

}  // namespace polvane
