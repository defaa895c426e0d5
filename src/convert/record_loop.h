// The record loop: reads the records of one open input through the current converter and writes
// the titles line, the delimited lines or the fixed layout to the output.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
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
  // must already be open on the converter, with the run's settings on it (c.Settings: the
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
  struct Mark {
    std::size_t Begin = 0, End = 0;
    std::int16_t Position = -1;  // selected-list position, -1 before the cell has an origin
    bool Data = false;
    std::uint16_t Chunk = 0;
    std::uint32_t Piece = 0;
  };

  void WriteTitles(ProductConverter& c, LineSink& lines, const Selection& selection);
  void WriteRecord(ProductConverter& c, LineSink& lines, OutputFile* fixed,
                   const Selection& selection);
  // The fixed-layout header, once per output, just before its first record.
  void WriteFixedHeader(ProductConverter& c, OutputFile* out);
  void WriteFixed(const ConversionSettings& settings, OutputFile* out, int n);

  // Building a line: text pieces, cell boundaries and the origin of each cell.
  void BeginLine();
  void Boundary();
  void Origin(std::int16_t position, bool data, std::uint16_t chunk, std::uint32_t piece);
  void Append(const char* text);
  // A data-group chunk, split into cells where the reader put the cell separator.
  void AppendChunk(const char* text, std::int16_t position, std::uint16_t chunk);
  // The cells of the built line; false when no cell holds text.
  bool FinishLine(const ProductConverter& c, const Selection& selection, int receiver, bool titles);
  std::string_view DataTitle(std::uint16_t chunk, std::uint32_t piece, int width);
  int ReadingWidth(const ProductConverter& c, std::size_t titles) const;

  std::unique_ptr<char[]> value_;
  std::unique_ptr<char[]> fixed_;
  std::unique_ptr<std::uint8_t[]> record_;
  bool annotate_ = false;  // the sink or the reduction wants titles, kinds and receivers
  bool place_ = false;     // the sink or the reduction wants the record's place
  LineReducer reducer_;
  std::string text_;
  std::vector<Mark> marks_;
  std::vector<Cell> cells_;
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
