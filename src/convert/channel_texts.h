// The frequency and channel texts of one receiver's channels under its current channel plan.
// A scan table writes the same few hundred channels sweep after sweep, and the exact
// fixed-point text of each frequency costs far more than copying it: the texts are kept per
// raw channel and made again only when the plan changes or another channel takes the slot.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "convert/text.h"

namespace polvane {

class ChannelTexts {
 public:
  struct Entry {
    std::uint32_t Generation = 0;  // the plan the texts belong to; 0 = empty
    std::uint16_t Raw = 0;
    std::uint8_t FrequencyLength = 0, ChannelLength = 0;
    // Fixed-size fields, so that a text is copied as one block of its field's size: the
    // destination needs that much room.
    char Frequency[16];  // any plan frequency fits: at most 13 characters
    char Channel[8];
  };
  static constexpr std::size_t kPlanBytes = 24;

  ChannelTexts() : entries_(new Entry[kSlots]()) {}

  // Declares the plan the next look-ups belong to (at most kPlanBytes bytes that decide every
  // frequency and channel text); a changed plan makes every kept text stale.
  void UsePlan(const std::uint8_t* plan, std::size_t n) {
    if (n > kPlanBytes) n = kPlanBytes;
    // Compared as a whole block of kPlanBytes, the bytes past n zero: a reader declares its
    // plan at every line.
    std::uint8_t padded[kPlanBytes] = {};
    std::memcpy(padded, plan, n);
    if (n == planLength_ && std::memcmp(padded, plan_, kPlanBytes) == 0) return;
    std::memcpy(plan_, padded, kPlanBytes);
    planLength_ = n;
    if (++generation_ == 0) {  // wrapped: forget everything rather than trust old entries
      for (std::size_t i = 0; i < kSlots; ++i) entries_[i].Generation = 0;
      generation_ = 1;
    }
  }

  // Writes the frequency text ("%.Nf" with the given precision: one precision per cache) and
  // the channel text of raw channel `raw`, each joined by the delimiter unless p is still at
  // start, making them with frequency() and channel() when they are not kept. The destination
  // needs room for a whole field beyond each text.
  template <typename Frequency, typename Channel>
  char* Put(char* p, const char* start, char delimiter, bool withFrequency, bool withChannel,
            std::uint16_t raw, int precision, Frequency&& frequency, Channel&& channel) {
    if (!withFrequency && !withChannel) return p;
    const Entry& t = Find(raw, [&](Entry& e) {
      char made[64];
      e.FrequencyLength = Keep(e.Frequency, made, text::PutFixed(made, frequency(), precision));
      e.ChannelLength = Keep(e.Channel, made, text::PutInt(made, channel()));
    });
    if (withFrequency) {
      p = text::Join(p, start, delimiter);
      std::memcpy(p, t.Frequency, sizeof t.Frequency);
      p += t.FrequencyLength;
    }
    if (withChannel) {
      p = text::Join(p, start, delimiter);
      std::memcpy(p, t.Channel, sizeof t.Channel);
      p += t.ChannelLength;
    }
    return p;
  }

  // Copies a made text into its field; a text longer than the field (which the plans cannot
  // produce) is cut rather than written past it.
  template <std::size_t N>
  static std::uint8_t Keep(char (&field)[N], const char* text, const char* end) {
    std::size_t n = static_cast<std::size_t>(end - text);
    if (n > N) n = N;
    std::memcpy(field, text, n);
    return static_cast<std::uint8_t>(n);
  }

  // The entry of raw channel `raw`, made by make(entry) when it is not kept for this plan.
  template <typename Make>
  const Entry& Find(std::uint16_t raw, Make&& make) {
    Entry& e = entries_[raw % kSlots];
    if (e.Generation != generation_ || e.Raw != raw) {
      make(e);
      e.Generation = generation_;
      e.Raw = raw;
    }
    return e;
  }

 private:
  static constexpr std::size_t kSlots = 1024;
  std::unique_ptr<Entry[]> entries_;
  std::uint32_t generation_ = 1;
  std::uint8_t plan_[kPlanBytes] = {};
  std::size_t planLength_ = kPlanBytes + 1;  // no plan yet
};

}  // namespace polvane
