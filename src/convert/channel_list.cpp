#include "convert/channel_list.h"

#include <charconv>

namespace polvane {

namespace {

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

bool Channel(std::string_view t, int& out) {
  t = Trim(t);
  if (t.empty()) return false;
  const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && p == t.data() + t.size() && out >= 0 && out <= 65535;
}

}  // namespace

bool ChannelList::Parse(std::string_view text, std::string& why) {
  std::vector<std::pair<int, int>> ranges;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = Trim(text.substr(start, comma - start));
    int first = 0, last = 0;
    const std::size_t dash = item.find('-');
    const bool ok = dash == std::string_view::npos
                        ? Channel(item, first) && (last = first, true)
                        : Channel(item.substr(0, dash), first) &&
                              Channel(item.substr(dash + 1), last) && first <= last;
    if (!ok) {
      why = "channels and ranges FIRST-LAST of channels 0 to 65535, as 100-120,450, not \"" +
            std::string(item) + "\"";
      return false;
    }
    ranges.emplace_back(first, last);
    start = comma + 1;
  }
  ranges_ = std::move(ranges);
  return true;
}

}  // namespace polvane
