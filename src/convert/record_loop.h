// The record loop: reads the records of one open input through the current converter and writes
// the titles line, the delimited lines or the fixed layout to the output.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/catalogue.h"
#include "convert/conversion_settings.h"
#include "convert/delimited_sink.h"
#include "convert/line_reduction.h"
#include "convert/line_sink.h"
#include "convert/output_file.h"
#include "convert/product_converter.h"
#include "convert/record_pass.h"

namespace polvane {

// The selected list as it stood when the file was started: the texts of SelectedBox and the
// catalogue index of each position.
struct Selection {
  std::vector<std::string> Texts;
  std::vector<std::int16_t> Tags;
  int Count() const { return static_cast<int>(Tags.size()); }
};

struct FileResult : PassResult {
  // Record lines written (in a fixed layout: records).
  std::uint64_t Lines = 0;
  bool Damaged() const { return Unread != 0; }
};

class RecordLoop {
 public:
  RecordLoop();

  // Steps of one file: reduction, early titles, records, fixed trailer, CloseInput. The input
  // must already be open on the converter, with the run's settings on it (c.Settings(): the
  // output format, the reduction, the channels); inputSize drives the progress percentage.
  // Every delimited line, the titles line and the product's message lines go to `lines`; a
  // fixed layout goes to `fixed` (nothing is written for it without one).
  FileResult Run(ProductConverter& c, LineSink& lines, OutputFile* fixed,
                 const Selection& selection, RunState& run, std::uint64_t inputSize);
  // The same into the delimited output `out`, with the settings' delimiter and header.
  FileResult Run(ProductConverter& c, OutputFile& out, const Selection& selection, RunState& run,
                 std::uint64_t inputSize);
  // The records read from the input so far by the running (or the last) Run; for its progress
  // callback, which runs on the same thread.
  std::uint64_t RecordsRead() const { return pass_.Records(); }

 private:
  // Where a cell of the line being built comes from: a field of the selected list, or a
  // piece of the data group (its chunk, as the reader hands them out, and its place in it).
  // Kept only where the cells are annotated.
  struct Mark {
    std::int16_t Position = -1;  // selected-list position, -1 before the cell has an origin
    bool Data = false;
    std::uint16_t Chunk = 0;
    std::uint32_t Piece = 0;
    bool operator==(const Mark&) const = default;
  };

  void WriteTitles(ProductConverter& c, LineSink& lines, const Selection& selection);
  void WriteRecord(ProductConverter& c, LineSink& lines, OutputFile* fixed,
                   const Selection& selection);
  // The fixed-layout header, once per output, just before its first record.
  void WriteFixedHeader(ProductConverter& c, OutputFile* out);
  void WriteFixed(const ConversionSettings& settings, OutputFile* out, int n);

  // Building a line: text pieces, cell boundaries and the origin of each cell.
  void BeginLine();
  void Boundary() {
    // A line joined without cells or marks only needs its join character and the count.
    if (!cuts_ && !annotate_ && lineSize_ < lineRoom_) {
      ++endCount_;
      line_[lineSize_++] = join_;
      return;
    }
    MarkedBoundary();
  }
  void MarkedBoundary();
  void Origin(std::int16_t position, bool data, std::uint16_t chunk, std::uint32_t piece);
  void Append(std::string_view text);
  // The text of a field of the selected list, which the reader writes into the line itself.
  void AppendField(ProductConverter& c, std::int16_t field);
  // AppendField for a line that keeps neither cells nor marks, after a boundary where
  // `afterField`.
  void AppendJoinedField(ProductConverter& c, std::int16_t field, bool afterField);
  // A data-group chunk, split into cells where the reader put the cell separator.
  void AppendChunk(const char* text, std::int16_t position, std::uint16_t chunk) {
    if (!cuts_ && !annotate_) return AppendJoinedChunk(text);
    AppendCutChunk(text, position, chunk);
  }
  // The whole data group of a line that keeps no cells, already holding text: the reader
  // writes its chunks into the line, joined by the line's delimiter (after a boundary where the
  // group follows a field of the line).
  void AppendDataGroupInPlace(ProductConverter& c, bool afterField);
  void AppendCutChunk(const char* text, std::int16_t position, std::uint16_t chunk);
  void AppendJoinedChunk(const char* text);
  // Room for n more bytes of the line.
  void Room(std::size_t n) {
    if (lineRoom_ - lineSize_ < n) Grow(n);
  }
  void Grow(std::size_t n);
  // The end of a cell, where the next one starts after the join character.
  void PushEnd(std::size_t at) {
    if (!cuts_) {
      ++endCount_;
      return;
    }
    if (endCount_ == endRoom_) GrowEnds();
    ends_[endCount_++] = at;
  }
  void GrowEnds();
  std::span<Cell> LineCells() { return std::span<Cell>(cells_.data(), cellCount_); }
  // The cells of the built line; false when no cell holds text.
  bool FinishLine(const ProductConverter& c, const Selection& selection, int receiver, bool titles);
  // The line as the sink is handed it: joined too, where it asked for that.
  Line Joined(std::span<const Cell> cells) const {
    Line line;
    line.Cells = cells;
    if (joined_) {
      line.IsJoined = true;
      line.Joined = std::string_view(line_.get(), lineSize_);
    }
    line.Layout = layout_;
    return line;
  }
  std::string_view DataTitle(std::uint16_t chunk, std::uint32_t piece, int width);
  int ReadingWidth(const ProductConverter& c, std::size_t titles) const;

  std::unique_ptr<char[]> value_;
  std::unique_ptr<char[]> fixed_;
  std::unique_ptr<std::uint8_t[]> record_;
  bool annotate_ = false;  // the sink or the reduction wants titles, kinds and receivers
  bool place_ = false;     // the sink or the reduction wants the record's place
  bool joined_ = false;    // the sink is handed each line's cells joined (Line::Joined)
  // Where the cells of a line end is kept (the sink or the reduction reads the cells); else
  // the cells' ends are only counted, and the lines carry no cells.
  bool cuts_ = true;
  // The output the sink writes its joined lines to, where that is all it does with them and
  // nothing else wants the lines (no place, no reduction): the lines go there directly.
  OutputFile* direct_ = nullptr;
  LineReducer reducer_;
  // The line being built: the cells' texts, each two separated by join_ (the sink's delimiter
  // where it takes the line joined).
  std::unique_ptr<char[]> line_;
  std::size_t lineSize_ = 0, lineRoom_ = 0;
  char join_ = '\x1f';
  // Where each cell of the line but the last ends (the next starts one byte later).
  std::unique_ptr<std::size_t[]> ends_;
  std::size_t endCount_ = 0, endRoom_ = 0;
  std::vector<Mark> marks_;
  // The marks and receiver of the last annotated line and the Layout its cells were given (0
  // while there is none: before the first line and after a titles line).
  std::vector<Mark> layoutMarks_;
  int layoutReceiver_ = 0;
  std::uint64_t layout_ = 0;
  // The cells of the last line built (the first cellCount_; the vector only grows).
  std::vector<Cell> cells_;
  std::size_t cellCount_ = 0;
  // The bare titles of each data-group chunk of the last titles line, and the titles made for
  // the readings past them ("Rec#1 Frequency 2").
  std::vector<std::vector<std::string>> chunkTitles_;
  std::vector<std::deque<std::string>> extraTitles_;  // a deque: the titles never move
  RecordPass pass_;
  std::uint64_t lines_ = 0;
  int passes_ = 1;         // receiver passes of a record of the product
  bool headerDue_ = true;  // the fixed-layout header of the current output is still to come
};

}  // namespace polvane
