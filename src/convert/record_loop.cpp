#include "convert/record_loop.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <charconv>
#include <cstring>

#include "convert/cell_kind.h"
#include "convert/product_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace polvane {

namespace {

// What the readers put between the cells of a data-group chunk. The record loop splits the
// chunk there; the sink joins the cells with the delimiter the user chose.
constexpr char kCellSeparator = '\x1f';

// The set bits of a 16-bit mask. Where the build may not assume the processor's popcnt,
// std::popcount is a library call, which costs more than these few steps for every chunk.
inline unsigned SetBits16(unsigned x) {
#if defined(__POPCNT__)
  return static_cast<unsigned>(std::popcount(x));
#else
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
#endif
}

#if defined(__SSE2__)
// Sixteen bytes of a chunk, stored at `d` with its cell separators replaced by the join
// character (what follows the terminator too, which the line's size leaves out): the
// separators before the terminator as bits, and the bytes up to it (16 when it is not there).
struct ChunkBlock {
  unsigned Cuts;
  int Length;
  bool Last;
};

inline ChunkBlock CopyChunkBlock(const char* text, char* d, __m128i joins) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i cuts = _mm_cmpeq_epi8(v, _mm_set1_epi8(kCellSeparator));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                   _mm_or_si128(_mm_andnot_si128(cuts, v), _mm_and_si128(cuts, joins)));
  const auto stops =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
  const auto marks = static_cast<unsigned>(_mm_movemask_epi8(cuts));
  if (!stops) return {marks, 16, false};
  const int n = std::countr_zero(stops);
  return {marks & ((1u << n) - 1), n, true};
}
#endif

// A Layout number no line of any conversion of the process has had.
std::uint64_t NewLayout() {
  static std::atomic<std::uint64_t> layouts{0};
  return layouts.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The kind of a field's cell; `readable` is how far the buffer its text lies in can be read.
CellKind FieldKind(std::int16_t field, std::string_view text, const char* readable) {
  switch (field) {
    case 10:  // hemispheres and the GPS status are words
    case 16:
    case 17:
      return CellKind::Text;
    case 18:  // GPS time and date, receiver-clock date and time
    case 22:
    case 33:
    case 37:
      return CellKind::Time;
    default:
      return TextKindIn(text, readable);
  }
}

// The kind of a line's cell: a data-group cell's by its text, a field's by the field and its
// text (`position` in the selection).
CellKind CellKindOf(bool data, std::int16_t position, const Selection& selection,
                    std::string_view text, const char* readable) {
  return data ? TextKindIn(text, readable)
              : FieldKind(selection.Tags[static_cast<std::size_t>(position)], text, readable);
}

// The bare title inside the quotes of a titles-line cell.
std::string_view Bare(std::string_view t) {
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t.substr(1, t.size() - 2);
  return t;
}

// The receiver a data-group title names ("Rec#3 RSSI"), or 1.
int TitleReceiver(std::string_view t) {
  if (t.size() > 4 && t.compare(0, 4, "Rec#") == 0 && t[4] >= '1' && t[4] <= '4') return t[4] - '0';
  return 1;
}

}  // namespace

RecordLoop::RecordLoop()
    : value_(new char[kValueBufferSize]),
      fixed_(new char[kFixedBufferSize]),
      record_(new std::uint8_t[kRecordBufferSize]) {
  Grow(2 * static_cast<std::size_t>(kValueBufferSize));
  GrowEnds();
  marks_.reserve(256);
  cells_.resize(256);
}

void RecordLoop::Grow(std::size_t n) {
  std::size_t room = std::max<std::size_t>(lineRoom_ * 2, 1 << 16);
  while (room - lineSize_ < n) room *= 2;
  std::unique_ptr<char[]> line(new char[room]);
  if (lineSize_) std::memcpy(line.get(), line_.get(), lineSize_);
  line_ = std::move(line);
  lineRoom_ = room;
}

void RecordLoop::GrowEnds() {
  const std::size_t room = std::max<std::size_t>(endRoom_ * 2, 1024);
  std::unique_ptr<std::size_t[]> ends(new std::size_t[room]);
  if (endCount_) std::memcpy(ends.get(), ends_.get(), endCount_ * sizeof(std::size_t));
  ends_ = std::move(ends);
  endRoom_ = room;
}

void RecordLoop::BeginLine() {
  lineSize_ = 0;
  endCount_ = 0;
  if (annotate_) {
    marks_.clear();
    marks_.push_back(Mark{});
  }
}

void RecordLoop::MarkedBoundary() {
  Room(1);
  PushEnd(lineSize_);
  line_[lineSize_++] = join_;
  if (annotate_) marks_.push_back(Mark{});
}

void RecordLoop::Origin(std::int16_t position, bool data, std::uint16_t chunk,
                        std::uint32_t piece) {
  if (!annotate_) return;
  Mark& m = marks_.back();
  if (m.Position >= 0) return;
  m.Position = position;
  m.Data = data;
  m.Chunk = chunk;
  m.Piece = piece;
}

void RecordLoop::Append(std::string_view text) {
  const std::size_t n = text.size();
  Room(n);
  char* d = line_.get() + lineSize_;
  const char* s = text.data();
  // Most field values are a few characters: copied in two overlapping blocks of a fixed size,
  // which cost less than a call of memcpy of a length it has to look at first.
  if (n > 16) {
    std::memcpy(d, s, n);
  } else if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else if (n > 0) {
    d[0] = s[0];
    d[n / 2] = s[n / 2];
    d[n - 1] = s[n - 1];
  }
  lineSize_ += n;
}

void RecordLoop::AppendField(ProductConverter& c, std::int16_t field) {
  // The reader writes the field's text where it goes in the line: a value buffer's worth of
  // room is left, as the value buffer would have had.
  Room(static_cast<std::size_t>(kValueBufferSize));
  char* const line = line_.get();
  lineSize_ = static_cast<std::size_t>(c.FieldValue(field, line + lineSize_) - line);
}

[[gnu::always_inline]] inline void RecordLoop::AppendJoinedField(ProductConverter& c,
                                                                 std::int16_t field,
                                                                 bool afterField) {
  // A line that keeps no cells only counts its boundaries: the join character goes before the
  // field's text, in the room left for both.
  Room(static_cast<std::size_t>(kValueBufferSize) + 1);
  char* const line = line_.get();
  if (afterField) {
    line[lineSize_++] = join_;
    ++endCount_;
  }
  lineSize_ = static_cast<std::size_t>(c.FieldValue(field, line + lineSize_) - line);
}

[[gnu::always_inline]] inline void RecordLoop::AppendDataGroupInPlace(ProductConverter& c,
                                                                      bool afterField) {
  // Each chunk is written one byte past the line's end: a boundary before it takes that byte,
  // and a chunk without one (the line's first, or one the reader continues) moves back to it.
  for (std::int16_t next = 0;; next = 1) {
    Room(static_cast<std::size_t>(kValueBufferSize) + 1);
    char* const line = line_.get();
    char* const d = line + lineSize_ + 1;
    d[0] = '\0';
    const DataChunk chunk = c.DataValues(next, d, join_);
    if (chunk.Status < 0) return;
    // The reader says where its text ends: looking for the terminator would wait for the
    // bytes it has just written.
    const auto n = static_cast<std::size_t>(chunk.End - d);
    assert(n == std::strlen(d));
    if (chunk.Status == 0 && (next != 0 || afterField)) {
      line[lineSize_] = join_;
      ++endCount_;
      lineSize_ += n + 1;
    } else {
      std::memmove(line + lineSize_, d, n);
      lineSize_ += n;
    }
  }
}

void RecordLoop::AppendCutChunk(const char* text, std::int16_t position, std::uint16_t chunk) {
  // One pass over the chunk: its bytes are copied to the line, each cell separator becoming
  // the line's own join character. The chunk lies at the start of the value buffer and is
  // zero-terminated within it; the line has room for all of it and a block more.
  Room(static_cast<std::size_t>(kValueBufferSize) + 16);
  const bool annotate = annotate_;
  if (annotate) Origin(position, true, chunk, 0);
  char* const line = line_.get();
  char* d = line + lineSize_;
  const char join = join_;
  std::uint32_t piece = 0;
  auto cut = [&](std::size_t at) {
    PushEnd(at);
    if (annotate) {
      marks_.push_back(Mark{});
      Origin(position, true, chunk, ++piece);
    }
  };
  const char* const end = text + kValueBufferSize;
#if defined(__SSE2__)
  // Sixteen bytes at a time; the separators of each block cut the cells.
  const __m128i joins = _mm_set1_epi8(join);
  while (end - text >= 16) {
    const ChunkBlock b = CopyChunkBlock(text, d, joins);
    const auto at = static_cast<std::size_t>(d - line);
    for (unsigned marks = b.Cuts; marks != 0; marks &= marks - 1)
      cut(at + static_cast<std::size_t>(std::countr_zero(marks)));
    d += b.Length;
    text += b.Length;
    if (b.Last) {
      lineSize_ = static_cast<std::size_t>(d - line);
      return;
    }
  }
#endif
  for (; text != end; ++text) {
    const char ch = *text;
    if (ch == '\0') break;
    if (ch != kCellSeparator) {
      *d++ = ch;
      continue;
    }
    cut(static_cast<std::size_t>(d - line));
    *d++ = join;
  }
  lineSize_ = static_cast<std::size_t>(d - line);
}

void RecordLoop::AppendJoinedChunk(const char* text) {
  // The chunk as AppendCutChunk copies it, for a line that keeps no cells or marks: only the
  // number of separators is counted.
  Room(static_cast<std::size_t>(kValueBufferSize) + 16);
  char* d = line_.get() + lineSize_;
  const char* const end = text + kValueBufferSize;
  std::size_t count = endCount_;
#if defined(__SSE2__)
  const __m128i joins = _mm_set1_epi8(join_);
  while (end - text >= 16) {
    const ChunkBlock b = CopyChunkBlock(text, d, joins);
    count += SetBits16(b.Cuts);
    d += b.Length;
    text += b.Length;
    if (b.Last) {
      endCount_ = count;
      lineSize_ = static_cast<std::size_t>(d - line_.get());
      return;
    }
  }
#endif
  for (; text != end && *text != '\0'; ++text) {
    const bool cut = *text == kCellSeparator;
    count += cut;
    *d++ = cut ? join_ : *text;
  }
  endCount_ = count;
  lineSize_ = static_cast<std::size_t>(d - line_.get());
}

int RecordLoop::ReadingWidth(const ProductConverter& c, std::size_t titles) const {
  int width = c.Settings().ReadingCells;
  if (width <= 0 || static_cast<std::size_t>(width) > titles) width = static_cast<int>(titles);
  return width > 0 ? width : 1;
}

std::string_view RecordLoop::DataTitle(std::uint16_t chunk, std::uint32_t piece, int width) {
  if (chunk >= chunkTitles_.size()) return {};
  const std::vector<std::string>& titles = chunkTitles_[chunk];
  if (piece < titles.size()) return titles[piece];
  if (titles.empty()) return {};
  if (extraTitles_.size() < chunkTitles_.size()) extraTitles_.resize(chunkTitles_.size());
  std::deque<std::string>& extra = extraTitles_[chunk];
  const std::size_t at = piece - titles.size();
  while (extra.size() <= at) {
    // A reading past the titles line: the first reading's title with the reading's ordinal,
    // "Rec#1 Frequency 2", or "Freq. #21" where the titles number the readings themselves.
    const std::size_t p = titles.size() + extra.size();
    const std::string& base = titles[p % static_cast<std::size_t>(width)];
    const std::string reading = std::to_string(p / static_cast<std::size_t>(width) + 1);
    if (base.size() >= 2 && base.compare(base.size() - 2, 2, "#1") == 0)
      extra.push_back(base.substr(0, base.size() - 1) + reading);
    else
      extra.push_back(base + " " + reading);
  }
  return extra[at];
}

bool RecordLoop::FinishLine(const ProductConverter& c, const Selection& selection, int receiver,
                            bool titles) {
  // Each boundary put one byte between two cells: any more is a cell's text.
  const bool any = lineSize_ > endCount_;
  const std::string_view text(line_.get(), lineSize_);
  // The cells' kinds may read up to the end of the line's buffer.
  const char* const readable = line_.get() + lineRoom_;
  cellCount_ = endCount_ + 1;
  if (cells_.size() < cellCount_) cells_.resize(cellCount_);
  if (!cuts_) {
    cellCount_ = 0;  // only the joined text is handed on
    return any;
  }
  const std::size_t* ends = ends_.get();
  if (!annotate_) {
    // The cells carry their texts alone (their other members stay as Run left them).
    Cell* cell = cells_.data();
    std::size_t begin = 0;
    for (std::size_t i = 0; i < endCount_; ++i) {
      cell[i].Text = std::string_view(text.data() + begin, ends[i] - begin);
      begin = ends[i] + 1;
    }
    cell[endCount_].Text = std::string_view(text.data() + begin, lineSize_ - begin);
    return any;
  }
  if (!titles && layout_ != 0 && receiver == layoutReceiver_ && marks_ == layoutMarks_) {
    // The marks of the last line, under the same titles: the cells keep its titles, receivers
    // and readings, and take their texts and the kinds of these.
    std::size_t begin = 0;
    for (std::size_t i = 0; i < cellCount_; ++i) {
      const Mark& m = marks_[i];
      const std::size_t end = i < endCount_ ? ends[i] : lineSize_;
      Cell& cell = cells_[i];
      cell.Text = text.substr(begin, end - begin);
      begin = end + 1;
      if (m.Position >= 0)
        cell.Kind = CellKindOf(m.Data, m.Position, selection, cell.Text, readable);
    }
    return any;
  }
  const int passes = passes_;
  // Readings are numbered across the chunks of one receiver's data group: a reader that hands
  // out a chunk per reading (the Kes scans, a chunk per channel) numbers them as one that hands
  // out all of a receiver's readings in one chunk does.
  std::int16_t groupPosition = -1;
  std::uint8_t groupReceiver = 0;
  std::uint16_t groupChunk = 0;
  std::uint32_t piecesBefore = 0, chunkPieces = 0;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < cellCount_; ++i) {
    const Mark& m = marks_[i];
    const std::size_t end = i < endCount_ ? ends[i] : lineSize_;
    Cell cell;
    cell.Text = text.substr(begin, end - begin);
    begin = end + 1;
    if (m.Position >= 0) {
      if (!m.Data) {
        cell.Title = selection.Texts[static_cast<std::size_t>(m.Position)];
        cell.Kind = titles ? CellKind::Text
                           : CellKindOf(m.Data, m.Position, selection, cell.Text, readable);
      } else {
        const std::size_t count = m.Chunk < chunkTitles_.size() ? chunkTitles_[m.Chunk].size() : 0;
        const int width = ReadingWidth(c, count);
        cell.Title = titles ? Bare(cell.Text) : DataTitle(m.Chunk, m.Piece, width);
        cell.Kind = titles ? CellKind::Text
                           : CellKindOf(m.Data, m.Position, selection, cell.Text, readable);
        cell.Receiver = static_cast<std::uint8_t>(
            passes > 1 ? receiver : TitleReceiver(count ? chunkTitles_[m.Chunk][0] : cell.Title));
        if (m.Position != groupPosition || cell.Receiver != groupReceiver) {
          groupPosition = m.Position;
          groupReceiver = cell.Receiver;
          groupChunk = m.Chunk;
          piecesBefore = chunkPieces = 0;
        } else if (m.Chunk != groupChunk) {
          groupChunk = m.Chunk;
          piecesBefore += chunkPieces;
          chunkPieces = 0;
        }
        chunkPieces = std::max(chunkPieces, m.Piece + 1);
        cell.Reading = static_cast<std::uint16_t>(
            (piecesBefore + m.Piece) / static_cast<std::uint32_t>(width) + 1);
      }
    }
    cells_[i] = cell;
  }
  // A titles line leaves no cells for the next line to keep.
  layout_ = titles ? 0 : NewLayout();
  layoutMarks_ = marks_;
  layoutReceiver_ = receiver;
  return any;
}

void RecordLoop::WriteTitles(ProductConverter& c, LineSink& lines, const Selection& selection) {
  if (!c.TitlesPending) return;
  if (annotate_ || lines.WantsTitles()) {
    char* v = value_.get();
    // The titles line carries its cells whatever the sink reads of the other lines.
    const bool cuts = cuts_;
    cuts_ = true;
    BeginLine();
    if (annotate_) {
      chunkTitles_.clear();
      extraTitles_.clear();
    }
    for (int pos = 0; pos < selection.Count(); ++pos) {
      const auto p = static_cast<std::int16_t>(pos);
      if (selection.Tags[pos] != kFieldData) {
        if (pos > 0) Boundary();
        Origin(p, false, 0, 0);
        Append("\"");
        Append(std::string_view(selection.Texts[pos]));
        Append("\"");
        continue;
      }
      std::uint16_t chunk = 0;
      v[0] = '\0';
      std::int16_t r = c.DataTitles(0, v, kCellSeparator);
      if (pos > 0 && v[0] != '\0') Boundary();
      while (r >= 0) {
        AppendChunk(v, p, chunk);
        ++chunk;
        v[0] = '\0';
        r = c.DataTitles(1, v, kCellSeparator);
        if (v[0] != '\0') Boundary();
      }
    }
    // The bare titles of each data-group chunk, for the cells of the lines that follow.
    if (annotate_) {
      const std::string_view text(line_.get(), lineSize_);
      std::size_t begin = 0;
      for (std::size_t i = 0; i < marks_.size(); ++i) {
        const std::size_t end = i < endCount_ ? ends_[i] : lineSize_;
        const Mark& m = marks_[i];
        if (m.Position >= 0 && m.Data) {
          if (chunkTitles_.size() <= m.Chunk) chunkTitles_.resize(m.Chunk + 1u);
          chunkTitles_[m.Chunk].emplace_back(Bare(text.substr(begin, end - begin)));
        }
        begin = end + 1;
      }
    }
    FinishLine(c, selection, 0, true);
    cuts_ = cuts;
    if (lines.WantsTitles()) lines.Titles(Joined(LineCells()));
  }
  c.TitlesPending = false;
}

void RecordLoop::WriteFixed(const ConversionSettings& settings, OutputFile* out, int n) {
  if (n <= 0 || !out) return;
  if (n > kFixedBufferSize) n = kFixedBufferSize;
  if (settings.BinaryLayout())
    out->WriteBinary(fixed_.get(), n);
  else
    out->WriteTextPiece(fixed_.get(), static_cast<std::size_t>(n));
}

void RecordLoop::WriteFixedHeader(ProductConverter& c, OutputFile* out) {
  if (!headerDue_ || !c.TitlesPending) return;
  const ConversionSettings& settings = c.Settings();
  char* f = fixed_.get();
  f[0] = '\0';
  int n = c.FixedHeader(f);
  if (settings.BinaryLayout()) {
    WriteFixed(settings, out, n);
  } else if (out) {
    f[kFixedBufferSize - 1] = '\0';
    out->WriteTextZ(f);
  }
  headerDue_ = false;
}

void RecordLoop::WriteRecord(ProductConverter& c, LineSink& lines, OutputFile* fixed,
                             const Selection& selection) {
  const ConversionSettings& settings = c.Settings();
  const int passes = passes_;
  const bool place = place_;
  // Lines that keep neither cells nor marks: each field only adds its text (after the join
  // character) to the line.
  const bool joinedOnly = !cuts_ && !annotate_;
  // The selection stays as it is for the whole run.
  const int fields = selection.Count();
  const std::int16_t* const tags = selection.Tags.data();
  char* v = value_.get();
  for (c.LinesLeft = c.RepeatCount; c.LinesLeft != 0; --c.LinesLeft) {
    if (settings.FixedLayout) {
      if (reducer_.Active()) {
        LinePlace where;
        c.Place(where);
        if (!reducer_.PassRecord(where)) continue;
      }
      WriteFixedHeader(c, fixed);
      const int n = c.FixedRecord(fixed_.get());
      WriteFixed(settings, fixed, n);
      if (n > 0) ++lines_;
      continue;
    }
    for (int i = 1; i <= passes; ++i) {
      // A line per receiver the reader selects, or the first pass alone where it says so.
      if (passes > 1) {
        if (c.SingleReceiver) {
          if (i > 1) continue;
        } else if (!c.SelectReceiver(static_cast<std::int16_t>(i))) {
          continue;
        }
      }
      ++c.RecordCount;
      BeginLine();
      const ProductConverter::LineFields common(c);
      for (int pos = 0; pos < fields; ++pos) {
        const std::int16_t tag = tags[pos];
        const auto p = static_cast<std::int16_t>(pos);
        if (tag != kFieldData) {
          if (joinedOnly) {
            AppendJoinedField(c, tag, pos > 0);
            continue;
          }
          if (pos > 0) Boundary();
          Origin(p, false, 0, 0);
          AppendField(c, tag);
          continue;
        }
        // Where the line already holds text and keeps no cells, the reader joins the data
        // group's cells by the line's own delimiter and writes them into the line.
        if (joinedOnly && lineSize_ > endCount_) {
          AppendDataGroupInPlace(c, pos > 0);
          continue;
        }
        std::uint16_t chunk = 0;
        v[0] = '\0';
        std::int16_t r = c.DataValues(0, v, kCellSeparator).Status;
        if (pos > 0 && r == 0) Boundary();
        while (r >= 0) {
          AppendChunk(v, p, chunk++);
          v[0] = '\0';
          r = c.DataValues(1, v, kCellSeparator).Status;
          if (r == 0) Boundary();
        }
      }
      // A line that holds no text is not written at all, not even its delimiters.
      if (!FinishLine(c, selection, i, false)) continue;
      if (direct_) {
        direct_->WriteTextLine(std::string_view(line_.get(), lineSize_));
        ++lines_;
        continue;
      }
      Line line = Joined(LineCells());
      if (place) {
        c.Place(line.Place);
        line.Place.Record = pass_.Records();
        // The section the record lies in: the reader counts the sections it entered.
        line.Place.Section =
            c.Sections().Ordinal() > 0 ? static_cast<std::uint32_t>(c.Sections().Ordinal()) : 0;
      }
      if (reducer_.Active() && !reducer_.Pass(LineCells(), line.Place)) continue;
      lines.Write(line);
      ++lines_;
    }
  }
  c.LinesLeft = 1;
}

FileResult RecordLoop::Run(ProductConverter& c, OutputFile& out, const Selection& selection,
                           RunState& run, std::uint64_t inputSize) {
  DelimitedSink sink(out, c.Settings().Delimiter, c.Settings().FieldTitles);
  return Run(c, sink, &out, selection, run, inputSize);
}

FileResult RecordLoop::Run(ProductConverter& c, LineSink& lines, OutputFile* fixed,
                           const Selection& selection, RunState& run, std::uint64_t inputSize) {
  const ConversionSettings& settings = c.Settings();
  lines_ = 0;
  headerDue_ = true;  // every output of a fixed layout is a whole file: header, records, trailer
  const ProductRow* product = FindProduct(c.ProductCodeValue());
  passes_ = product ? product->Passes : 1;
  c.KeptChannels = settings.Channels;
  reducer_.Begin(settings.Reduction);
  annotate_ = (lines.WantsTitles() && lines.WantsCellDetails()) || reducer_.NeedsLevels();
  place_ = lines.WantsPlace() || reducer_.Active();
  // A reduction may change the cells of a line (averaged levels): the sink joins them then.
  const std::optional<char> joinedBy = lines.JoinedBy();
  joined_ = joinedBy.has_value() && !reducer_.Active();
  join_ = joined_ ? *joinedBy : kCellSeparator;
  cuts_ = !joined_ || annotate_ || lines.WantsJoinedCells();
  direct_ = joined_ && !cuts_ && !place_ && !reducer_.Active() ? lines.JoinedLinesTo() : nullptr;
  chunkTitles_.clear();
  extraTitles_.clear();
  layout_ = 0;
  // A cell of a line not annotated keeps the members other than its text as they are here.
  std::fill(cells_.begin(), cells_.end(), Cell{});
  c.SetReduction(settings.ReductionMode);
  if (!settings.FixedLayout && !(product && product->TitlesFromLog))
    WriteTitles(c, lines, selection);

  // Lines without cells or marks only join the data group's chunks.
  c.JoinedDataGroup = !cuts_ && !annotate_;
  const PassResult pass = pass_.Run(c, record_.get(), run, inputSize, [&](std::int16_t action) {
    switch (action) {
      case kActionWrite:
        WriteRecord(c, lines, fixed, selection);
        break;
      case kActionMessage:
        c.MessageText[kMessageSize - 1] = '\0';
        lines.Message(std::string_view(c.MessageText));
        break;
      case kActionTitles:
        if (settings.FixedLayout)
          WriteFixedHeader(c, fixed);
        else
          WriteTitles(c, lines, selection);
        break;
      case kActionTitlesThenWrite:
        if (settings.FixedLayout) {
          WriteFixedHeader(c, fixed);
        } else {
          c.TitlesPending = true;
          WriteTitles(c, lines, selection);
        }
        WriteRecord(c, lines, fixed, selection);
        break;
      default:
        break;
    }
  });
  c.JoinedDataGroup = false;
  if (settings.FixedLayout) {
    WriteFixed(settings, fixed, c.FixedTrailer(fixed_.get()));
  }
  c.CloseInput();
  return FileResult{pass, lines_};
}

}  // namespace polvane
