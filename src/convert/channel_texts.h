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
  static constexpr std::size_t kPlanWords = kPlanBytes / 8;

  ChannelTexts() : entries_(new Entry[kSlots]()) {}

  // Declares the plan the next look-ups belong to (at most kPlanBytes bytes that decide every
  // frequency and channel text); a changed plan makes every kept text stale.
  void UsePlan(const std::uint8_t* plan, std::size_t n) {
    if (n > kPlanBytes) n = kPlanBytes;
    // The bytes are taken into three words, the bytes past n zero, and compared as words: a
    // reader declares its plan at every line, and comparing a copy of it in memory made the
    // processor wait for the copy's stores before it could load the wider words.
    std::uint64_t words[kPlanWords] = {};
    for (std::size_t w = 0; w < kPlanWords; ++w) {
      const std::size_t at = w * 8;
      if (at >= n) break;
      if (n - at >= 8) {
        std::memcpy(&words[w], plan + at, 8);
      } else {
        std::uint64_t v = 0;
        for (std::size_t k = n - at; k-- > 0;) v = v << 8 | plan[at + k];
        words[w] = v;
      }
    }
    UsePlanWords(words[0], words[1], words[2], n);
  }
  // The same for a plan the reader gives as up to three words of its own making (`tag` tells
  // plans of different sizes apart; a cache is only ever given plans of one form).
  void UsePlanWords(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::size_t tag) {
    if (tag == planLength_ && a == plan_[0] && b == plan_[1] && c == plan_[2]) return;
    plan_[0] = a;
    plan_[1] = b;
    plan_[2] = c;
    planLength_ = tag;
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
  [[gnu::always_inline]] char* Put(char* p, const char* start, char delimiter, bool withFrequency,
                                   bool withChannel, std::uint16_t raw, int precision,
                                   Frequency&& frequency, Channel&& channel) {
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
  std::uint64_t plan_[kPlanWords] = {};
  std::size_t planLength_ = ~std::size_t{0};  // no plan yet
};

// What the entries of one receiver's line share where a reader writes them from its table of
// entries: the columns written, the delimiter, the texts kept for the receiver's plan and the
// table itself.
struct EntryTableParts {
  bool frequency = false, channel = false, rssi = false;
  char delimiter = ',';
  ChannelTexts* texts = nullptr;
  const std::uint8_t* table = nullptr;
};

}  // namespace polvane
