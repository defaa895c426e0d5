// Generated pages decoded twice: by the paging decoders from the captures, and by multimon-ng,
// an independent decoder of the POCSAG and FLEX standards, from the same codewords sent as
// audio. Capcodes and texts must agree. Skipped when multimon-ng is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "paging/flex_decoder.h"
#include "paging/pocsag_decoder.h"
#include "support/paging_audio.h"
#include "support/paging_encoder.h"

namespace polvane {
namespace {

using namespace testing;

const char* MultimonProgram() {
#ifdef POLVANE_MULTIMON_NG
  if (::access(POLVANE_MULTIMON_NG, X_OK) == 0) return POLVANE_MULTIMON_NG;
#endif
  return nullptr;
}

std::vector<std::string> RunMultimon(const char* program, const char* demodulator,
                                     const std::string& file) {
  const std::string command = std::string(program) + " -q -t raw -a " + demodulator + " " + file;
  std::vector<std::string> lines;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return lines;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  ::pclose(pipe);
  return lines;
}

// A decoded page as both sides report it.
struct Decoded {
  std::uint32_t capcode = 0;
  std::string kind;  // "AN", "NU" (FLEX "NS" and "NN" alike), or the function code
  std::string text;
  bool operator==(const Decoded&) const = default;
};

void PrintTo(const Decoded& d, std::ostream* os) {
  *os << d.capcode << " " << d.kind << " \"" << d.text << "\"";
}

// Both lists page by page; the first difference is reported with its place.
void ExpectSamePages(const std::vector<Decoded>& theirs, const std::vector<Decoded>& ours) {
  EXPECT_EQ(theirs.size(), ours.size());
  for (std::size_t i = 0; i < theirs.size() && i < ours.size(); ++i)
    if (!(theirs[i] == ours[i])) {
      ADD_FAILURE() << "page " << i << ": " << ::testing::PrintToString(theirs[i]) << " vs "
                    << ::testing::PrintToString(ours[i]);
      return;
    }
}

// The text of a decoder's message without its head and with its lines joined.
std::string MessageText(const std::string& message) {
  std::string text = message.size() > 21 ? message.substr(21) : "";
  const std::string indent = "\n" + std::string(21, ' ');
  for (std::size_t at; (at = text.find(indent)) != std::string::npos;)
    text.erase(at, indent.size());
  return text;
}

std::string RightTrimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class Pages {
 public:
  explicit Pages(unsigned seed) : random_(seed) {}
  int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  // Printable text that does not begin with a space (the decoders drop leading spaces).
  std::string Text(int length) {
    std::string s;
    for (int i = 0; i < length; ++i)
      s += static_cast<char>(i > 0 && Int(0, 5) == 0 ? ' ' : Int(33, 126));
    return s;
  }
  // Digits of the numeric table; 10, which prints nothing, is left out.
  std::vector<std::uint8_t> Digits(int length, bool withSpace) {
    std::vector<std::uint8_t> d;
    while (static_cast<int>(d.size()) < length) {
      const int v = Int(0, 15);
      if (v != 10 && (withSpace || v != 12)) d.push_back(static_cast<std::uint8_t>(v));
    }
    return d;
  }

 private:
  std::mt19937 random_;
};

// ---------------------------------------------------------------- POCSAG

// multimon-ng's line: "POCSAG1200: Address: 1234569  Function: 3  Alpha:   HELLO WORLD".
bool ParsePocsagLine(const std::string& line, Decoded& d) {
  unsigned address = 0, function = 0;
  int used = 0;
  if (std::sscanf(line.c_str(), "POCSAG1200: Address: %u Function: %u%n", &address, &function,
                  &used) != 2)
    return false;
  d.capcode = address;
  d.kind = std::to_string(function);
  std::string rest = line.substr(static_cast<std::size_t>(used));
  for (const char* key : {"  Alpha:   ", "  Numeric: "})
    if (rest.rfind(key, 0) == 0) rest = rest.substr(std::string(key).size());
  // The unused bits that end an alphanumeric message's last codeword show as NUL characters;
  // a tone page shows an empty text.
  const std::string nul = "<NUL>";
  while (rest.size() >= nul.size() && rest.compare(rest.size() - nul.size(), nul.size(), nul) == 0)
    rest.erase(rest.size() - nul.size());
  d.text = function == 1 || function == 2 ? RightTrimmed(rest) : rest;
  return true;
}

TEST(MultimonCrossCheck, PocsagPagesAgreeWithAnIndependentDecoder) {
  const char* program = MultimonProgram();
  if (!program) GTEST_SKIP() << "multimon-ng is not installed";

  // Numeric pages on function code 0, alphanumeric ones on 3, tone pages on 1 and 2; every
  // frame, idle fill of every length, messages that run over several batches.
  Pages pages(20261208);
  PocsagStream stream;
  std::vector<Decoded> sent;
  for (int i = 0; i < 300; ++i) {
    const std::uint32_t capcode = static_cast<std::uint32_t>(pages.Int(8, (1 << 21) - 1));
    const int kind = pages.Int(0, 9);
    if (kind < 4) {
      stream.Page(PocsagDigits(capcode, pages.Digits(pages.Int(1, 40), true), 0));
    } else if (kind < 9) {
      const std::string text = pages.Text(pages.Int(1, kind == 8 ? 240 : 40));
      stream.Page(PocsagAlphanumeric(capcode, text, 3));
    } else {
      stream.Page(PocsagTone(capcode, pages.Int(1, 2)));
    }
    if (pages.Int(0, 2) == 0) stream.Idle(pages.Int(1, 20));
  }
  stream.Idle();

  // The decoders, batch after batch as a Kes reader hands them over: a message that the end
  // of a batch cuts is taken when it is complete.
  std::vector<Decoded> ours;
  PocsagCarry carry;
  for (int b = 0; b < stream.Batches(); ++b) {
    Bytes capture = stream.Capture(b);
    PocsagDecoder decoder(capture.Data().data(), capture.Size(), carry);
    std::vector<std::string> texts;
    char text[paging::kTextSize];
    for (bool done = false; !done;) {
      done = decoder.NextMessage(text, sizeof text);
      if (text[0] != '\0') texts.push_back(text);
    }
    if (decoder.Continues()) texts.pop_back();
    carry = decoder.Carry();
    for (const std::string& t : texts) {
      // The receiver's type map: 3 "AN", 2 "XX", 1 "TN", 0 "NU"; the function code's low bit
      // is bit 20, which the standard takes as its high bit.
      const std::string label = t.substr(7, 2);
      const int code = label == "AN" ? 3 : label == "XX" ? 2 : label == "TN" ? 1 : 0;
      const int standard = (code & 1) << 1 | code >> 1;
      ours.push_back({static_cast<std::uint32_t>(std::stoul(t.substr(10, 10))),
                      std::to_string(standard), MessageText(t)});
    }
  }
  ASSERT_EQ(ours.size(), 300u);

  ScratchDir dir;
  WriteRawAudio(dir.File("pocsag.raw"), PocsagAudio(stream.Words()));
  std::vector<Decoded> theirs;
  for (const std::string& line : RunMultimon(program, "POCSAG1200", dir.File("pocsag.raw"))) {
    Decoded d;
    if (ParsePocsagLine(line, d)) theirs.push_back(d);
  }
  ExpectSamePages(theirs, ours);
}

// ---------------------------------------------------------------- FLEX

// multimon-ng's line: "FLEX_NEXT|1600/2|00.000.A|0001234567|SS|5|ALN|3.0.K|HELLO WORLD".
bool ParseFlexLine(const std::string& line, Decoded& d) {
  if (line.rfind("FLEX_NEXT|", 0) != 0) return false;
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t bar; (bar = line.find('|', from)) != std::string::npos;) {
    fields.push_back(line.substr(from, bar - from));
    from = bar + 1;
    // The text, last, may hold bars of its own.
    if (fields.size() == 8 || (fields.size() == 7 && fields[6] == "NUM")) break;
  }
  fields.push_back(line.substr(from));
  if (fields.size() < 8) return false;
  d.capcode = static_cast<std::uint32_t>(std::stoul(fields[3]));
  d.kind = fields[6] == "ALN" ? "AN" : fields[6] == "NUM" ? "NU" : fields[6];
  d.text = fields.back();
  return true;
}

TEST(MultimonCrossCheck, FlexPagesAgreeWithAnIndependentDecoder) {
  const char* program = MultimonProgram();
  if (!program) GTEST_SKIP() << "multimon-ng is not installed";

  // Frames of one to six pages: short and long addresses, alphanumeric, numeric and numbered
  // numeric messages.
  Pages pages(1600);
  std::vector<FlexFrame> frames;
  std::vector<Decoded> ours;
  int total = 0;
  while (total < 300) {
    FlexFrameBuilder builder;
    const int count = pages.Int(1, 6);
    for (int i = 0; i < count; ++i) {
      const bool longAddress = pages.Int(0, 2) == 0;
      const std::uint32_t capcode = longAddress
                                        ? static_cast<std::uint32_t>(pages.Int(2101249, 1075843072))
                                        : static_cast<std::uint32_t>(pages.Int(1, 1933312));
      const int kind = pages.Int(0, 5);
      if (kind < 3) {
        builder.Page(0, FlexAlphanumeric(capcode, pages.Text(pages.Int(1, 30))));
      } else {
        const int type = kind == 5 ? kFlexNumberedNumeric : kFlexNumeric;
        // Three to eight words of digits: the independent decoder reads a numeric vector's
        // word count together with the check bits above it as one 7-bit length, and takes the
        // vector of a two-word message for invalid when those check bits are 0.
        builder.Page(0, FlexDigits(capcode, pages.Digits(pages.Int(12, 30), false), type));
      }
    }
    FlexFrame frame = builder.Build();
    Bytes capture = frame.Capture();
    FlexDecoder decoder(capture.Data().data(), capture.Size(), 1);
    decoder.ResetPhase(0);
    char text[paging::kTextSize];
    while (!decoder.NextMessage(text, sizeof text)) {
      const std::string t = text;
      const std::string label = t.substr(7, 2);
      // The decoders print the fill digit 12 as a space; the independent decoder drops it.
      ours.push_back({static_cast<std::uint32_t>(std::stoul(t.substr(10, 10))),
                      label == "AN" ? "AN" : "NU",
                      label == "AN" ? MessageText(t) : RightTrimmed(MessageText(t))});
      ++total;
    }
    frames.push_back(std::move(frame));
  }

  ScratchDir dir;
  WriteRawAudio(dir.File("flex.raw"), FlexAudio(frames));
  std::vector<Decoded> theirs;
  for (const std::string& line : RunMultimon(program, "FLEX_NEXT", dir.File("flex.raw"))) {
    Decoded d;
    if (ParseFlexLine(line, d)) theirs.push_back(d);
  }
  ExpectSamePages(theirs, ours);
}

}  // namespace
}  // namespace polvane
