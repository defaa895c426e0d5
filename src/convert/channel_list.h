// The channels a user names for the data group: single channels and ranges, "100-120,450".
// An empty list names every channel.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace polvane {

class ChannelList {
 public:
  // Comma-separated channels and ranges FIRST-LAST (blanks allowed around the parts); channels
  // are whole numbers from 0 to 65535. False with `why` set, and the list unchanged, otherwise.
  bool Parse(std::string_view text, std::string& why);
  bool Empty() const { return ranges_.empty(); }
  bool Contains(int channel) const {
    for (const auto& [first, last] : ranges_)
      if (channel >= first && channel <= last) return true;
    return false;
  }
  // Whether the data group takes `channel`: every channel when the list is empty.
  bool Takes(int channel) const { return Empty() || Contains(channel); }
  // The same for the channel that channel() makes, made only when the list is not empty: a
  // sweep asks for every entry, and most runs have no list.
  template <class ChannelFn>
  bool TakesChannelOf(ChannelFn&& channel) const {
    return Empty() || Contains(channel());
  }
  void Clear() { ranges_.clear(); }

 private:
  std::vector<std::pair<int, int>> ranges_;
};

}  // namespace polvane
