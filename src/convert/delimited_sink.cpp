#include "convert/delimited_sink.h"

namespace polvane {

void DelimitedSink::Cells(const Line& line) {
  if (line.IsJoined) {
    out_.WriteTextLine(line.Joined);
    return;
  }
  bool first = true;
  for (const Cell& c : line.Cells) {
    if (!first) out_.WriteTextChar(delimiter_);
    first = false;
    if (!c.Text.empty()) out_.WriteText(c.Text);
  }
  out_.WriteTextChar('\n');
}

void DelimitedSink::Titles(const Line& titles) {
  if (header_) Cells(titles);
}

void DelimitedSink::Write(const Line& line) {
  Cells(line);
}

void DelimitedSink::Message(std::string_view text) {
  out_.WriteText(text);
}

}  // namespace polvane
