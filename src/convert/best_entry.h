// Best server's choice among the entries of a sweep, the one rule every reader follows.
#pragma once

#include <cstdint>

namespace polvane {

// The entry (0 to count - 1) with the strongest level among those `takes(e)` keeps, where
// magnitude(e) is the entry's RSSI magnitude in dBm (the smaller, the stronger): the first of
// equals, and entry 0 when none is stronger than -121 dBm. When a channel list is in force
// (`everyChannel` false) and it keeps none of the entries, -1: the sweep has no best entry.
template <class Takes, class Magnitude>
std::int16_t StrongestEntry(int count, bool everyChannel, Takes&& takes, Magnitude&& magnitude) {
  int best = 0, level = -121;
  bool listed = false;
  for (int e = 0; e < count; ++e) {
    if (!takes(e)) continue;
    listed = true;
    const int v = -magnitude(e);
    if (v > level) {
      best = e;
      level = v;
    }
  }
  return static_cast<std::int16_t>(listed || everyChannel ? best : -1);
}

// The same choice for a sweep whose magnitudes are bytes, with no channel list in force:
// `magnitudes[e * stride]` is entry e's, and 255 stands for an entry that takes no part (a
// magnitude of 255 is below the floor either way). The least byte is found 16 at a time, then
// its first place.
std::int16_t StrongestMagnitude(const std::uint8_t* magnitudes, int count, int stride = 1);

// The least of `count` magnitude bytes (255 for none), 16 at a time.
std::uint8_t LeastMagnitude(const std::uint8_t* magnitudes, int count);

// The place of the last of `count` bytes that is `value`; -1 when none is.
int LastPlaceOf(const std::uint8_t* bytes, int count, std::uint8_t value);

// The same for a table of `count` entries of `size` bytes from `table`, each a little-endian
// channel word (0: no channel, the entry takes no part) with its magnitude byte at offset 2.
std::int16_t StrongestTableEntry(const std::uint8_t* table, int count, int size);

}  // namespace polvane
