#include "support/paging_encoder.h"

#include <stdexcept>
#include <string>

namespace polvane::testing {

PagingWord& PagingWord::Lsb(int position, int width, std::uint32_t v) {
  for (int k = 0; k < width; ++k) {
    std::uint32_t mask = 1u << (32 - (position + k));
    value_ = (v >> k & 1) ? value_ | mask : value_ & ~mask;
  }
  return *this;
}

PagingWord& PagingWord::Msb(int position, int width, std::uint32_t v) {
  for (int k = 0; k < width; ++k) {
    std::uint32_t mask = 1u << (32 - (position + k));
    value_ = (v >> (width - 1 - k) & 1) ? value_ | mask : value_ & ~mask;
  }
  return *this;
}

PagingWord PagingWord::Sealed() const {
  // Positions 1 to 21 are the high coefficients of the message polynomial; the remainder of
  // its division by the generator x^10 + x^9 + x^8 + x^6 + x^5 + x^3 + 1 fills positions 22 to
  // 31.
  constexpr std::uint32_t kGenerator = 0x769;
  const std::uint32_t data = value_ >> 11;
  std::uint32_t r = data << 10;
  for (int i = 30; i >= 10; --i)
    if (r >> i & 1) r ^= kGenerator << (i - 10);
  std::uint32_t word = data << 11 | r << 1;
  std::uint32_t ones = word;
  ones ^= ones >> 16;
  ones ^= ones >> 8;
  ones ^= ones >> 4;
  ones ^= ones >> 2;
  ones ^= ones >> 1;
  return PagingWord(word | (ones & 1));
}

namespace {

std::uint32_t LsbOf(PagingWord w, int position, int width) {
  std::uint32_t v = 0;
  for (int k = 0; k < width; ++k) v |= (w.Value() >> (32 - (position + k)) & 1) << k;
  return v;
}

std::uint8_t DigitValue(char c) {
  switch (c) {
    case 'U':
      return 11;
    case ' ':
      return 12;
    case '-':
      return 13;
    case ']':
      return 14;
    case '[':
      return 15;
    default:
      if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
      throw std::invalid_argument(std::string("not a numeric page character: ") + c);
  }
}

std::vector<std::uint8_t> DigitValues(std::string_view digits) {
  std::vector<std::uint8_t> v;
  for (char c : digits) v.push_back(DigitValue(c));
  return v;
}

std::vector<std::uint8_t> CharacterCodes(std::string_view text) {
  std::vector<std::uint8_t> v;
  for (char c : text) v.push_back(static_cast<std::uint8_t>(c) & 0x7F);
  return v;
}

constexpr std::uint32_t kLongBase = 0x1F9000;
constexpr std::uint32_t kShortMax = 0x1E0000 - 32768;

bool NeedsLongAddress(std::uint32_t capcode) {
  if (capcode >= 1 && capcode <= kShortMax) return false;
  if (capcode > kLongBase) return true;
  throw std::invalid_argument("capcode " + std::to_string(capcode) + " has no FLEX address");
}

constexpr std::uint8_t kFillDigit = 12;  // a space: the fill of a numeric message's last word
constexpr std::uint8_t kEtx = 3;

// FLEX numeric digits from bit `start` of the first word, bits 1 to 21 of the words after it;
// the whole digit places left in the last word hold the fill digit.
std::vector<PagingWord> PackFlexDigits(const std::vector<std::uint8_t>& digits, int start) {
  std::vector<PagingWord> words;
  if (digits.empty()) return words;
  words.emplace_back();
  int p = start;
  auto put = [&](std::uint8_t d) {
    for (int b = 0; b < 4; ++b) {
      if (p > 21) {
        words.emplace_back();
        p = 1;
      }
      words.back().Lsb(p++, 1, d >> b & 1);
    }
  };
  for (std::uint8_t d : digits) put(d);
  while (p + 3 <= 21) put(kFillDigit);
  return words;
}

// The sum of a word's information bits taken as groups of 8, 8 and 5 bits.
std::uint32_t GroupSum(PagingWord w) {
  const std::uint32_t v = LsbOf(w, 1, 21);
  return (v & 0xFF) + (v >> 8 & 0xFF) + (v >> 16 & 0x1F);
}

// A numeric message's check character: the complement of the group sums of its words, low four
// bits at bits 18 to 21 of the vector word, high two bits at bits 1 and 2 of the first word.
void PutNumericCheck(std::vector<PagingWord>& words, PagingWord& vector) {
  std::uint32_t sum = 0;
  for (const PagingWord& w : words) sum += GroupSum(w);
  const std::uint32_t k = ~sum & 0x3F;
  vector.Lsb(18, 4, k & 0xF);
  words.front().Lsb(1, 2, k >> 4);
}

// An alphanumeric message's text words: the signature (the complement of the sum of the
// characters) in the first slot, then three characters a word at bits 1, 8 and 15; the last
// word is filled with ETX.
std::vector<PagingWord> PackFlexCharacters(const std::vector<std::uint8_t>& chars) {
  std::uint32_t sum = 0;
  for (std::uint8_t c : chars) sum += c;
  std::vector<std::uint8_t> slots{static_cast<std::uint8_t>(~sum & 0x7F)};
  slots.insert(slots.end(), chars.begin(), chars.end());
  std::vector<PagingWord> words;
  for (std::size_t i = 0; i < slots.size(); i += 3) {
    PagingWord w;
    for (std::size_t k = 0; k < 3; ++k)
      w.Lsb(1 + 7 * static_cast<int>(k), 7, i + k < slots.size() ? slots[i + k] : kEtx);
    words.push_back(w);
  }
  return words;
}

// The header word of an alphanumeric message: fragment number 3 (the whole message in this
// frame), message number `number`, and the fragment check, the complement of the group sums of
// the text words and of the header itself.
PagingWord FlexHeader(const std::vector<PagingWord>& text, int number) {
  PagingWord header = PagingWord().Lsb(11, 1, 0).Lsb(12, 2, 3).Lsb(14, 6, number & 0x3F);
  std::uint32_t sum = GroupSum(header);
  for (const PagingWord& w : text) sum += GroupSum(w);
  return header.Lsb(1, 10, ~sum & 0x3FF);
}

// Sets the 4-bit check of a block information or vector word: the 4-bit groups of the
// information bits then add up to 15.
PagingWord WithNibbleCheck(PagingWord w) {
  const std::uint32_t v = LsbOf(w, 1, 21) & ~0xFu;
  std::uint32_t sum = 0;
  for (int k = 0; k < 21; k += 4) sum += v >> k & 0xF;
  return w.Lsb(1, 4, (0xF - sum) & 0xF);
}

}  // namespace

FlexPage FlexNumeric(std::uint32_t capcode, std::string_view digits, int type) {
  return FlexPage{capcode, type, DigitValues(digits)};
}

FlexPage FlexDigits(std::uint32_t capcode, std::vector<std::uint8_t> values, int type) {
  return FlexPage{capcode, type, std::move(values)};
}

FlexPage FlexAlphanumeric(std::uint32_t capcode, std::string_view text) {
  return FlexPage{capcode, kFlexAlphanumeric, CharacterCodes(text)};
}

FlexPage FlexOther(std::uint32_t capcode, int type) {
  return FlexPage{capcode, type, {}};
}

FlexFrameBuilder::FlexFrameBuilder(int phases) {
  if (phases != 1 && phases != 2 && phases != 4) throw std::invalid_argument("phases");
  frame_.phases = phases;
  frame_.speedCode = phases == 1 ? 1 : phases == 2 ? 4 : 8;
}

FlexFrameBuilder& FlexFrameBuilder::SpeedCode(std::uint8_t code) {
  frame_.speedCode = code;
  return *this;
}

FlexFrameBuilder& FlexFrameBuilder::Head(std::uint8_t rssi, std::uint16_t channel,
                                         std::uint16_t errors) {
  frame_.rssi = rssi;
  frame_.channel = channel;
  frame_.errors = errors;
  return *this;
}

FlexFrameBuilder& FlexFrameBuilder::ExtraWords(int phase, int count) {
  if (count < 0 || count > 3) throw std::invalid_argument("extra words");
  extra_.at(phase) = count;
  return *this;
}

FlexFrameBuilder& FlexFrameBuilder::Page(int phase, FlexPage page) {
  if (phase < 0 || phase >= frame_.phases) throw std::invalid_argument("phase");
  pages_.emplace_back(phase, std::move(page));
  return *this;
}

FlexFrame FlexFrameBuilder::Build() const {
  FlexFrame frame = frame_;
  for (int h = 0; h < frame.phases; ++h) {
    auto& w = frame.words[h];
    const int extra = extra_[h];
    int addressWords = 0;
    for (const auto& [phase, page] : pages_)
      if (phase == h) addressWords += NeedsLongAddress(page.capcode) ? 2 : 1;
    const int vectorStart = extra + 1 + addressWords;
    if (vectorStart > 63) throw std::invalid_argument("too many FLEX addresses in one phase");
    w[0] = WithNibbleCheck(PagingWord().Lsb(5, 4, 0).Lsb(9, 2, extra).Lsb(11, 6, vectorStart));

    int q = 0;
    int number = 0;                         // message number of the next alphanumeric page
    int next = vectorStart + addressWords;  // first free message word
    for (const auto& [phase, page] : pages_) {
      if (phase != h) continue;
      FlexPlacement at;
      at.phase = h;
      at.address = extra + 1 + q;
      at.vector = vectorStart + q;
      at.longAddress = NeedsLongAddress(page.capcode);
      if (at.longAddress) {
        std::uint32_t c = page.capcode - kLongBase - 1;
        w[at.address].Lsb(1, 21, c % 32768 + 1);
        w[at.address + 1].Lsb(1, 21, ~(c / 32768) & 0x1FFFFF);
        q += 2;
      } else {
        w[at.address].Lsb(1, 21, page.capcode + 32768);
        q += 1;
      }

      std::vector<PagingWord> field;  // the page's words in the message field
      PagingWord vector = PagingWord().Lsb(5, 3, page.type);
      if (page.type == kFlexNumeric || page.type == kFlexNumberedNumeric) {
        std::vector<PagingWord> digits =
            PackFlexDigits(page.symbols, page.type == kFlexNumeric ? 3 : 11);
        if (digits.empty()) digits = PackFlexDigits({kFillDigit}, 3);
        if (digits.size() > 8) throw std::invalid_argument("numeric FLEX page too long");
        PutNumericCheck(digits, vector);
        vector.Lsb(15, 3, static_cast<std::uint32_t>(digits.size() - 1));
        if (at.longAddress) {
          w[at.vector + 1] = digits.front();
          digits.erase(digits.begin());
        }
        field = digits;
      } else if (page.type == kFlexAlphanumeric) {
        std::vector<PagingWord> text = PackFlexCharacters(page.symbols);
        if (text.size() + 1 > 127) throw std::invalid_argument("alphanumeric FLEX page too long");
        const PagingWord header = FlexHeader(text, number++);
        vector.Lsb(15, 7, static_cast<std::uint32_t>(text.size() + 1));
        if (at.longAddress)
          w[at.vector + 1] = header;
        else
          field.push_back(header);
        field.insert(field.end(), text.begin(), text.end());
      }
      if (next + static_cast<int>(field.size()) > 88)
        throw std::invalid_argument("FLEX phase overfull");
      if (page.type == kFlexNumeric || page.type == kFlexNumberedNumeric ||
          page.type == kFlexAlphanumeric)
        vector.Lsb(8, 7, static_cast<std::uint32_t>(next));
      w[at.vector] = WithNibbleCheck(vector);
      at.messageStart = field.empty() ? -1 : next;
      at.messageWords = static_cast<int>(field.size());
      for (const PagingWord& d : field) w[next++] = d;
      frame.placed.push_back(at);
    }
    // The words after the last message carry idle codewords, all ones and all zeros in turn.
    for (int i = next; i < 88; ++i) w[i] = PagingWord(i % 2 == 0 ? 0xFFFFFFFF : 0);
    for (PagingWord& word : w) word = word.Sealed();
  }
  return frame;
}

Bytes FlexFrame::Capture(int codewords, int dataBytes) const {
  const int n = codewords < 0 ? phases * 88 : codewords;
  Bytes b;
  b.LE16(static_cast<std::uint16_t>(dataBytes < 0 ? 4 * n : dataBytes));
  b.U8(rssi).U8(0).U8(speedCode).Zeros(9).LE16(channel).LE16(errors);
  for (int i = 0; i < n; ++i) {
    int index = i / phases;
    (index < 88 ? words[i % phases][index] : PagingWord()).AppendTo(b);
  }
  return b;
}

// ---------------------------------------------------------------- POCSAG

PocsagPage PocsagNumeric(std::uint32_t capcode, std::string_view digits, int function) {
  return PocsagPage{capcode, function, PocsagContent::kNumeric, DigitValues(digits)};
}

PocsagPage PocsagDigits(std::uint32_t capcode, std::vector<std::uint8_t> values, int function) {
  return PocsagPage{capcode, function, PocsagContent::kNumeric, std::move(values)};
}

PocsagPage PocsagAlphanumeric(std::uint32_t capcode, std::string_view text, int function) {
  return PocsagPage{capcode, function, PocsagContent::kAlphanumeric, CharacterCodes(text)};
}

PocsagPage PocsagTone(std::uint32_t capcode, int function) {
  return PocsagPage{capcode, function, PocsagContent::kNone, {}};
}

namespace {

PagingWord MessageWord() {
  return PagingWord().Msb(1, 1, 1);
}

std::vector<PagingWord> PocsagMessageWords(const PocsagPage& page) {
  std::vector<PagingWord> words;
  if (page.content == PocsagContent::kNumeric) {
    for (std::size_t i = 0; i < page.symbols.size(); i += 5) {
      PagingWord w = MessageWord();
      for (std::size_t k = 0; k < 5; ++k)
        w.Lsb(2 + 4 * static_cast<int>(k), 4,
              i + k < page.symbols.size() ? page.symbols[i + k] : kFillDigit);
      words.push_back(w);
    }
  } else if (page.content == PocsagContent::kAlphanumeric) {
    // 7-bit characters, least significant bit first, as one stream over bits 2 to 21.
    int p = 22;
    for (std::uint8_t c : page.symbols)
      for (int b = 0; b < 7; ++b) {
        if (p > 21) {
          words.push_back(MessageWord());
          p = 2;
        }
        words.back().Lsb(p++, 1, c >> b & 1);
      }
  }
  return words;
}

}  // namespace

PocsagStream& PocsagStream::Page(const PocsagPage& page) {
  const int frame = static_cast<int>(page.capcode % 8);
  while (Size() % 16 / 2 != frame) words_.emplace_back(kPocsagIdle);
  words_.push_back(PagingWord()
                       .Msb(1, 1, 0)
                       .Msb(2, 18, page.capcode >> 3)
                       .Lsb(20, 2, static_cast<std::uint32_t>(page.function))
                       .Sealed());
  for (const PagingWord& w : PocsagMessageWords(page)) words_.push_back(w.Sealed());
  return *this;
}

PocsagStream& PocsagStream::Idle(int count) {
  for (int i = 0; i < count; ++i) words_.emplace_back(kPocsagIdle);
  return *this;
}

PocsagStream& PocsagStream::Word(PagingWord word) {
  words_.push_back(word);
  return *this;
}

Bytes PocsagStream::Capture(int batch, const PocsagHead& head) const {
  std::vector<PagingWord> words;
  for (int k = 16 * batch; k < 16 * batch + 16 && k < Size(); ++k) words.push_back(words_[k]);
  return PocsagCapture(words, head);
}

Bytes PocsagCapture(const std::vector<PagingWord>& batch, const PocsagHead& head) {
  Bytes b;
  b.LE16(static_cast<std::uint16_t>(head.count)).U8(head.rssi).U8(head.typeMap).U8(0);
  b.LE16(head.baud).LE16(head.errors).Zeros(4);
  for (std::size_t k = 0; k < 16; ++k)
    (k < batch.size() ? batch[k] : PagingWord(kPocsagIdle)).AppendTo(b);
  b.LE16(head.channel);
  return b;
}

std::vector<Bytes> DrivePocsagCaptures() {
  PocsagStream stream;
  stream.Page(PocsagNumeric(1200, "5551234"));
  stream.Page(PocsagAlphanumeric(2403, "UNIT 12 REPORT TO THE NORTH DEPOT BEFORE NOON"));
  stream.Page(PocsagTone(3315));
  stream.Page(PocsagAlphanumeric(4412, "GATE CODE 4471"));
  stream.Idle(2);
  PocsagHead head;
  head.rssi = 71;
  head.channel = 5;
  head.errors = 2;
  std::vector<Bytes> captures;
  for (int b = 0; b < stream.Batches(); ++b) captures.push_back(stream.Capture(b, head));
  return captures;
}

std::vector<Bytes> DriveFlexCaptures() {
  std::vector<Bytes> captures;
  const char* texts[] = {"MEETING MOVED TO 3PM", "CALL OFFICE", "LOT B IS FULL"};
  for (int f = 0; f < 3; ++f) {
    FlexFrameBuilder b(2);
    b.Head(static_cast<std::uint8_t>(68 + f), 9, static_cast<std::uint16_t>(f));
    b.Page(0, FlexAlphanumeric(100200 + f, texts[f]));
    b.Page(1, FlexNumeric(300400 + f, "8675309"));
    captures.push_back(b.Build().Capture());
  }
  return captures;
}

}  // namespace polvane::testing
