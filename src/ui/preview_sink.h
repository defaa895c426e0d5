// The preview: the first lines the window's settings would write, as cells under the column
// titles, collected by a line sink that has enough after a few hundred lines. A fixed layout
// shows its text a line to a row; a layout of binary records shows its bytes as a hex view,
// 16 to a row under their offset.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
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

  bool WantsFixedOutput() const override { return true; }
  void FixedOutput(std::string_view bytes, bool binary) override {
    if (binary) {
      titles_ = {"Offset", "Bytes", "Text"};
      static constexpr std::size_t kRow = 16;
      for (std::size_t at = 0; at < bytes.size() && !Full(); at += kRow) {
        const std::string_view piece = bytes.substr(at, kRow);
        char offset[24];
        std::snprintf(offset, sizeof offset, "%08zX", at);
        std::string hex, text;
        for (std::size_t i = 0; i < piece.size(); ++i) {
          char pair[8];
          std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X",
                        static_cast<unsigned char>(piece[i]));
          hex += pair;
          const auto c = static_cast<unsigned char>(piece[i]);
          text += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '.';
        }
        rows_.push_back({offset, hex, text});
      }
      fixed_ = Fixed::Binary;
      shownBytes_ = std::min(bytes.size(), rows_.size() * kRow);
      fixedMore_ = bytes.size() > shownBytes_;
      return;
    }
    titles_ = {"Text"};
    fixed_ = Fixed::Text;
    while (!bytes.empty() && !Full()) {
      const std::size_t end = bytes.find('\n');
      std::string_view line = bytes.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      rows_.push_back({std::string(line)});
      bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    }
    fixedMore_ = !bytes.empty();
  }
  enum class Fixed { None, Text, Binary };
  // What FixedOutput gave: nothing, a layout's text or its bytes.
  Fixed FixedKind() const { return fixed_; }
  // After a fixed layout: its output went on past the rows shown, and the bytes they show.
  bool FixedMore() const { return fixedMore_; }
  std::size_t ShownBytes() const { return shownBytes_; }

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
  Fixed fixed_ = Fixed::None;
  bool fixedMore_ = false;
  std::size_t shownBytes_ = 0;
};

}  // namespace polvane
