// Where the record loop puts the lines of a conversion. Every output line reaches a sink as
// cells: the column title, the kind of value and the text exactly as the delimited output
// writes it. The delimited writer is one sink; the GIS writers, the Python data frames and the
// window's preview and map are others.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace polvane {

class OutputFile;

enum class CellKind : std::uint8_t { Integer, Real, Text, Time };

struct Cell {
  // The column title as the titles line writes it (without quotes). Cells past the titles line
  // (a line wider than its titles) carry the data group's title with the reading's ordinal,
  // for example "Rec#1 Frequency 2".
  std::string_view Title;
  CellKind Kind = CellKind::Text;
  // Exactly the text the delimited output writes for this cell (possibly empty).
  std::string_view Text;
  // 0 for a cell of the line itself; 1..4 for a cell of a receiver's data group.
  std::uint8_t Receiver = 0;
  // 0 for a cell of the line itself; 1.. the ordinal of the data-group reading it belongs to.
  std::uint16_t Reading = 0;
};

// What the reader knows of the record a line comes from, given by the reader, never parsed
// back from the text.
struct LinePlace {
  bool HasPosition = false;
  double Latitude = 0;   // decimal degrees, north positive
  double Longitude = 0;  // decimal degrees, east positive
  bool HasTime = false;
  // Seconds of the GPS day (or of the drive, where the log has no day; of the receiver clock's
  // day, where the product has no GPS).
  double GpsSeconds = 0;
  // The UTC date of the day GpsSeconds counts in, where the record has one (year with century).
  bool HasDate = false;
  std::uint16_t Year = 0;
  std::uint8_t Month = 0, Day = 0;
  std::uint64_t Record = 0;   // ordinal of the record in the file, from 1
  std::uint32_t Section = 0;  // ordinal of the section the record lies in, from 1; 0 unknown
  // The GPS speed of the record in miles per hour, where the product logs one.
  bool HasSpeed = false;
  double SpeedMph = 0;
};

struct Line {
  std::span<const Cell> Cells;
  LinePlace Place;
  // The cells' texts joined by the delimiter the sink asked for (LineSink::JoinedBy), in one
  // piece and without the line end, where the record loop could give them so; otherwise
  // IsJoined is false and the sink joins the cells itself.
  bool IsJoined = false;
  std::string_view Joined;
  // Lines of one nonzero Layout have the same cells but for their texts and kinds: the same
  // titles, receivers and readings in the same order. 0 tells nothing.
  std::uint64_t Layout = 0;
};

class LineSink {
 public:
  virtual ~LineSink() = default;
  // Whether the sink wants the titles line (asking a reader for its titles has a cost), and the
  // record's place with every line (the delimited writer needs neither).
  virtual bool WantsTitles() const { return true; }
  virtual bool WantsPlace() const { return true; }
  // Whether the sink reads the Title, Kind, Receiver and Reading of the cells (working them out
  // has a cost); without them a cell carries its Text alone.
  virtual bool WantsCellDetails() const { return true; }
  // The delimiter a sink that writes the cells joined wants them joined by, in Line::Joined.
  virtual std::optional<char> JoinedBy() const { return std::nullopt; }
  // Whether the sink reads the cells of a line it is handed joined (Line::IsJoined); without
  // them such a line carries no cells, and where the cells end is not kept while it is built.
  // The titles line always carries its cells.
  virtual bool WantsJoinedCells() const { return true; }
  // Where all the sink does with a line handed joined is to write its text and a line end to
  // an output file: that file, which the record loop then writes such lines to itself (without
  // making a Line of them); null otherwise.
  virtual OutputFile* JoinedLinesTo() const { return nullptr; }
  // The titles line, before the first line of a file (or again where a log changes its
  // titles): a cell per column, Title the bare title and Text exactly as the titles line of the
  // delimited output writes it (quotes included). Called whether or not the header is written.
  virtual void Titles(const Line& titles) { (void)titles; }
  virtual void Write(const Line& line) = 0;
  // A message line the product writes into the output (a paging message, a log note), with
  // its line ends.
  virtual void Message(std::string_view text) { (void)text; }
  // The end of one input file; false when the sink could not keep what it was given.
  virtual bool EndFile() { return true; }
  // Why EndFile failed ("PATH: REASON"); empty when there is no more to say.
  virtual std::string ErrorText() const { return {}; }
  // A line for the completion message about the file just ended (lines a format could not
  // place, ...); empty for none.
  virtual std::string Note() const { return {}; }
  // Whether a cancelled file is ended (what came before the cancel kept) or dropped unended.
  virtual bool KeepsPartOnCancel() const { return true; }
};

}  // namespace polvane
