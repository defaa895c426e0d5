// The delimited text output as a line sink: the cells of a line joined by the delimiter, a line
// end after each line, the titles line when the header is on, and the product's message lines.
#pragma once

#include "convert/line_sink.h"
#include "convert/output_file.h"

namespace polvane {

class DelimitedSink : public LineSink {
 public:
  DelimitedSink(OutputFile& out, char delimiter, bool header)
      : out_(out), delimiter_(delimiter), header_(header) {}

  bool WantsTitles() const override { return header_; }
  bool WantsPlace() const override { return false; }
  bool WantsCellDetails() const override { return false; }
  std::optional<char> JoinedBy() const override { return delimiter_; }
  bool WantsJoinedCells() const override { return false; }
  OutputFile* JoinedLinesTo() const override { return &out_; }
  void Titles(const Line& titles) override;
  void Write(const Line& line) override;
  void Message(std::string_view text) override;

 private:
  void Cells(const Line& line);

  OutputFile& out_;
  char delimiter_;
  bool header_;
};

}  // namespace polvane
