#include "paging/paging_text.h"

#include "convert/text.h"

namespace polvane::paging {

PageText::PageText(char* out, std::size_t size) : out_(out), size_(size) {
  if (size_ > 0) out_[0] = '\0';
}

void PageText::Put(char c) {
  if (length_ + 1 >= size_) return;
  out_[length_++] = c;
  out_[length_] = '\0';
}

void PageText::Put(const char* s) {
  while (*s) Put(*s++);
}

void PageText::Head(const char* protocol, const char* label, std::uint32_t capcode) {
  char head[48];
  char* p = head;
  int n = 0;
  for (; protocol[n] && n < 16; ++n) *p++ = protocol[n];
  for (; n < 7; ++n) *p++ = ' ';
  int width = label[0] ? (label[1] ? 2 : 1) : 0;
  for (int i = width; i < 2; ++i) *p++ = ' ';
  for (int i = 0; i < width; ++i) *p++ = label[i];
  p = text::Put(p, ' ');
  p = text::PutPadded(p, capcode, 10);
  p = text::Put(p, ' ');
  text::End(p);
  Put(head);
}

void PageText::Resume(const char* text, const LineState& state) {
  Put(text);
  state_ = state;
}

void PageText::Append(char c) {
  if (full_ || state_.Length >= kMaxLineLength) return;
  Put(c);
  ++state_.Length;
}

bool PageText::NewLine() {
  if (full_ || state_.Lines >= kMaxLines) {
    full_ = true;
    return false;
  }
  Put('\n');
  for (int i = 0; i < kIndent; ++i) Put(' ');
  ++state_.Lines;
  state_.Length = 0;
  return true;
}

bool PageText::Alpha(unsigned c) {
  if (c == 10) {
    if (state_.Printable) return NewLine();
  } else if (c == 32) {
    if (state_.Printable) Append(' ');
  } else if (c >= 33 && c <= 126) {
    Append(static_cast<char>(c));
    state_.Printable = true;
  }
  return !full_;
}

}  // namespace polvane::paging
