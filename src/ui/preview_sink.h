// The preview: the first lines the window's settings would write, as cells under the column
// titles, collected by a line sink that has enough after a few hundred lines.
#pragma once

#include <string>
#include <vector>

#include "ui/line_pass.h"

namespace polvane {

class PreviewSink : public CollectingSink {
 public:
  static constexpr std::size_t kLines = 200;
  explicit PreviewSink(std::size_t lines = kLines) : limit_(lines) {}
  bool WantsPlace() const override { return false; }
  bool Full() const override { return rows_.size() >= limit_; }
  void Titles(const Line& titles) override {
    if (!titles_.empty()) return;  // the columns are those of the first titles line
    for (const Cell& c : titles.Cells) titles_.emplace_back(c.Title);
  }
  void Write(const Line& line) override {
    if (Full()) return;
    std::vector<std::string>& row = rows_.emplace_back();
    for (const Cell& c : line.Cells) row.emplace_back(c.Text);
  }
  // A message line of the product (a paging message) is a row of one cell, without its line end.
  void Message(std::string_view text) override {
    if (Full()) return;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    rows_.push_back({std::string(text)});
    messages_.push_back(rows_.size() - 1);
  }

  const std::vector<std::string>& ColumnTitles() const { return titles_; }
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }
  bool IsMessage(std::size_t row) const {
    for (std::size_t m : messages_)
      if (m == row) return true;
    return false;
  }

 private:
  std::size_t limit_;
  std::vector<std::string> titles_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<std::size_t> messages_;
};

}  // namespace polvane
