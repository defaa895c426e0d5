#include "paging/flex_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/paging_encoder.h"

namespace polvane {
namespace {

using ::testing::ElementsAre;
using testing::FlexAlphanumeric;
using testing::FlexDigits;
using testing::FlexFrame;
using testing::FlexFrameBuilder;
using testing::FlexNumeric;
using testing::FlexOther;
using ::testing::IsEmpty;
using testing::PagingWord;

const std::string kIndent = "\n" + std::string(21, ' ');

// Every text that each phase yields, empty ones included, as a Kes reader takes them.
std::vector<std::vector<std::string>> DecodePhases(const testing::Bytes& capture,
                                                   int previousPhases = 1) {
  FlexDecoder decoder(capture.Data().data(), capture.Size(), previousPhases);
  std::vector<std::vector<std::string>> phases;
  for (int h = 0; h < decoder.Phases(); ++h) {
    decoder.ResetPhase(h);
    phases.emplace_back();
    char text[1024];
    for (int guard = 0; guard < 200 && !decoder.NextMessage(text, sizeof text); ++guard)
      phases.back().push_back(text);
  }
  return phases;
}

// The non-empty texts of all phases in phase order.
std::vector<std::string> Decode(const testing::Bytes& capture, int previousPhases = 1) {
  std::vector<std::string> all;
  for (const auto& phase : DecodePhases(capture, previousPhases))
    for (const auto& t : phase)
      if (!t.empty()) all.push_back(t);
  return all;
}

std::vector<std::string> Decode(const FlexFrame& frame) {
  return Decode(frame.Capture());
}

// The first `count` words of phase 0 as stored.
std::vector<std::uint32_t> WordsOf(const FlexFrame& frame, int count) {
  std::vector<std::uint32_t> words;
  for (int i = 0; i < count; ++i) words.push_back(frame.words[0][i].Value());
  return words;
}

// ---------------------------------------------------------------- frames as transmitted
// The codewords are those that independent encoders send for the same pages.

TEST(FlexTransmitted, ShortAddressAlphanumericBeginsWithItsSignature) {
  // Block information word, address, vector, header word, then the signature and the text.
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexAlphanumeric(1234567, "HELLO WORLD")).Build();
  EXPECT_THAT(WordsOf(frame, 8), ElementsAre(0xE0100298, 0xE16ACC09, 0x3B828322, 0xC5D804AB,
                                             0xC62688F7, 0x3267CED0, 0x05D7CD29, 0x4A648CFD));
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   AN 0001234567 HELLO WORLD"));

  // A signature of 3 is no ETX: "A;" gives the signature 3.
  ASSERT_EQ(~('A' + ';') & 0x7F, 3);
  EXPECT_THAT(Decode(FlexFrameBuilder().Page(0, FlexAlphanumeric(1001, "A;")).Build()),
              ElementsAre("FLEX   AN 0000001001 A;"));
}

TEST(FlexTransmitted, LongAddressAlphanumericTextStartsAtTheMessagesFirstWord) {
  // The header is the vector's second word; the message field holds the text alone.
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexAlphanumeric(123456789, "HELLO WORLD")).Build();
  EXPECT_THAT(WordsOf(frame, 9),
              ElementsAre(0xC03002AD, 0xA8BC0524, 0xE18FFBD8, 0xDB428241, 0xC5D804AB, 0xC62688F7,
                          0x3267CED0, 0x05D7CD29, 0x4A648CFD));
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   AN 0123456789 HELLO WORLD"));
}

TEST(FlexTransmitted, NumericDigitsStartInTheMessagesFirstWord) {
  // No header word: the digits begin at bit 3 of the first message word; the last word is
  // filled with spaces.
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexNumeric(1234567, "12345678")).Build();
  EXPECT_THAT(WordsOf(frame, 5),
              ElementsAre(0xE0100298, 0xE16ACC09, 0xAD82506B, 0x2130A823, 0x37099FDC));
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0001234567 12345678  "));

  // A long address: the vector's second word holds the first digits. (The check character
  // in the vector word is left out of the comparison.)
  frame = FlexFrameBuilder().Page(0, FlexNumeric(123456789, "5551234")).Build();
  std::vector<std::uint32_t> words = WordsOf(frame, 6);
  words[3] = 0;
  EXPECT_THAT(words, ElementsAre(0xC03002AD, 0xA8BC0524, 0xE18FFBD8, 0, 0xAAAA1247, 0x611999BE));
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0123456789 5551234   "));
}

// ---------------------------------------------------------------- capture head and phases

TEST(FlexCapture, HeadFieldsAndThePhaseCountOfEachSpeedCode) {
  testing::Bytes capture = FlexFrameBuilder(2).Head(87, 0x1234, 17).Build().Capture(40);
  FlexDecoder d(capture.Data().data(), capture.Size(), 1);
  EXPECT_EQ(d.DataBytes(), 160);
  EXPECT_EQ(d.Rssi(), 87);
  EXPECT_EQ(d.Channel(), 0x1234);
  EXPECT_EQ(d.Errors(), 17);
  EXPECT_EQ(d.Codewords(), 40);
  // {speed code, previous count, phases}; code 0 keeps a previous count of 1 to 4.
  const int cases[][3] = {{1, 4, 1}, {4, 1, 2}, {6, 1, 2}, {8, 1, 4}, {3, 4, 1}, {255, 2, 1},
                          {0, 2, 2}, {0, 4, 4}, {0, 0, 1}, {0, 9, 1}, {0, -1, 1}};
  for (const auto& c : cases) {
    capture[4] = static_cast<std::uint8_t>(c[0]);
    EXPECT_EQ(FlexDecoder(capture.Data().data(), capture.Size(), c[1]).Phases(), c[2])
        << "speed " << c[0] << " previous " << c[1];
  }
}

TEST(FlexCapture, FourPhasesAreDeinterleavedWordByWord) {
  FlexFrameBuilder b(4);
  for (int h = 0; h < 4; ++h) b.Page(h, FlexNumeric(1000 + h, std::to_string(h) + "00"));
  FlexFrame frame = b.Build();
  testing::Bytes capture = frame.Capture();
  ASSERT_EQ(capture.Size(), 18u + 4 * 352);
  EXPECT_EQ(FlexDecoder(capture.Data().data(), capture.Size(), 1).Codewords(), 352);
  auto phases = DecodePhases(capture);
  ASSERT_EQ(phases.size(), 4u);
  for (int h = 0; h < 4; ++h)
    EXPECT_THAT(phases[h], ElementsAre("FLEX   NS 000000100" + std::to_string(h) + " " +
                                       std::to_string(h) + "00 "));

  // Codeword 5 of the capture is word 1 of phase 1, the address of that phase's page.
  PagingWord address = PagingWord().Lsb(1, 21, 32768 + 4321);
  for (int k = 0; k < 4; ++k) capture[18 + 4 * 5 + k] = address.Value() >> (24 - 8 * k) & 0xFF;
  phases = DecodePhases(capture);
  EXPECT_THAT(phases[0], ElementsAre("FLEX   NS 0000001000 000 "));
  EXPECT_THAT(phases[1], ElementsAre("FLEX   NS 0000004321 100 "));
  EXPECT_THAT(phases[2], ElementsAre("FLEX   NS 0000001002 200 "));
}

TEST(FlexCapture, SpeedCodeZeroDeinterleavesWithThePreviousCount) {
  FlexFrameBuilder b(4);
  for (int h = 0; h < 4; ++h) b.Page(h, FlexNumeric(2000 + h, "5"));
  testing::Bytes capture = b.SpeedCode(0).Build().Capture();
  EXPECT_EQ(Decode(capture, 4),
            (std::vector<std::string>{"FLEX   NS 0000002000 5   ", "FLEX   NS 0000002001 5   ",
                                      "FLEX   NS 0000002002 5   ", "FLEX   NS 0000002003 5   "}));
  // Taken as one phase, word 1 is phase 1's block information word: nothing decodes.
  EXPECT_THAT(Decode(capture, 0), IsEmpty());
}

// ---------------------------------------------------------------- addresses

TEST(FlexAddress, ShortAndLongAddressCapcodes) {
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexNumeric(7, "0123")).Build();
  frame.Word(0, frame.placed[0].address).Lsb(1, 21, 32769 + 1000);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0000001001 0123"));
  // A zero field is short: the capcode wraps as an unsigned 32-bit count, still ten digits.
  frame.Word(0, frame.placed[0].address).Lsb(1, 21, 0);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 4294934528 0123"));

  // Long: first word 256, second word the complement of 3, so 3 × 32768 + 256 + 0x1F9000.
  frame = FlexFrameBuilder().Page(0, FlexNumeric(2068481, "9")).Build();
  ASSERT_TRUE(frame.placed[0].longAddress);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0002068481 9   "));
  frame.Word(0, frame.placed[0].address).Lsb(1, 21, 256);
  frame.Word(0, frame.placed[0].address + 1).Lsb(1, 21, ~3u & 0x1FFFFF);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0002167040 9   "));

  frame = FlexFrameBuilder()
              .Page(0, FlexNumeric(1001, "1"))
              .Page(0, FlexAlphanumeric(2100000, "LONG"))
              .Page(0, FlexNumeric(1933312, "3"))
              .Page(0, FlexNumeric(4291000000u, "4"))
              .Build();
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0000001001 1   ", "FLEX   AN 0002100000 LONG",
                                         "FLEX   NS 0001933312 3   ", "FLEX   NS 4291000000 4   "));
}

TEST(FlexAddress, LongAddressRangesHaveExactEnds) {
  for (std::uint32_t f : {1u, 0x8000u, 0x1E0001u, 0x1F0000u, 0x1F7FFFu, 0x1FFFFEu})
    EXPECT_TRUE(flex::IsLongAddress(f)) << std::hex << f;
  for (std::uint32_t f : {0u, 0x8001u, 0x1E0000u, 0x1F0001u, 0x1F7FFEu, 0x1FFFFFu})
    EXPECT_FALSE(flex::IsLongAddress(f)) << std::hex << f;
}

TEST(FlexAddress, ExtraBlockInformationWordsPrecedeTheAddresses) {
  FlexFrame frame = FlexFrameBuilder()
                        .ExtraWords(0, 3)
                        .Page(0, FlexNumeric(1001, "12"))
                        .Page(0, FlexNumeric(1002, "34"))
                        .Build();
  EXPECT_EQ(frame.placed[0].address, 4);
  // Date and time words that would read as addresses of their own.
  for (int i = 1; i <= 3; ++i) frame.Word(0, i).Lsb(1, 21, 32768 + 555);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0000001001 12  ", "FLEX   NS 0000001002 34  "));
}

// ---------------------------------------------------------------- numeric messages

TEST(FlexNumericMessage, StandardAndNumberedNumericAndDigitsTenToFifteen) {
  FlexFrame frame = FlexFrameBuilder()
                        .Page(0, FlexNumeric(1001, "0123456789"))
                        .Page(0, FlexNumeric(1002, "5551234", testing::kFlexNumberedNumeric))
                        .Page(0, FlexNumeric(1003, ""))
                        .Page(0, FlexDigits(1004, {1, 10, 11, 12, 13, 14, 15, 2}))
                        .Build();
  EXPECT_THAT(Decode(frame),
              ElementsAre("FLEX   NS 0000001001 0123456789", "FLEX   NN 0000001002 5551234 ",
                          "FLEX   NS 0000001003     ", "FLEX   NS 0000001004 1U -][2  "));
}

TEST(FlexNumericMessage, DigitsRunAcrossWordsAtBit21) {
  // Word 1 from bit 3: digits 1 to 4, then the low three bits of 5 at bits 19 to 21; word 2
  // completes the 5 at bit 1, then holds 6 to 0 ending exactly at bit 21; word 3 starts with 7
  // at bit 1.
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexNumeric(1001, std::string(15, '0'))).Build();
  const int m = frame.placed[0].messageStart;
  ASSERT_EQ(frame.placed[0].messageWords, 3);
  frame.Word(0, m) =
      PagingWord().Lsb(3, 4, 1).Lsb(7, 4, 2).Lsb(11, 4, 3).Lsb(15, 4, 4).Lsb(19, 3, 5 & 7);
  frame.Word(0, m + 1) = PagingWord()
                             .Lsb(1, 1, 5 >> 3)
                             .Lsb(2, 4, 6)
                             .Lsb(6, 4, 7)
                             .Lsb(10, 4, 8)
                             .Lsb(14, 4, 9)
                             .Lsb(18, 4, 0);
  frame.Word(0, m + 2) =
      PagingWord().Lsb(1, 4, 7).Lsb(5, 4, 10).Lsb(9, 4, 10).Lsb(13, 4, 10).Lsb(17, 4, 10);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0000001001 12345678907"));

  // A numbered numeric message starts at bit 11 of the same words.
  frame.Word(0, frame.placed[0].vector).Lsb(5, 3, 7);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NN 0000001001 345678907"));
}

TEST(FlexNumericMessage, LongAddressBeginsInTheVectorsSecondWord) {
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexNumeric(2100000, "0123456789012")).Build();
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0002100000 0123456789012  "));

  // The vector's second word carries the first digits from bit 3.
  const int x = frame.placed[0].vector;
  frame.Word(0, x + 1) =
      PagingWord().Lsb(3, 4, 9).Lsb(7, 4, 8).Lsb(11, 4, 7).Lsb(15, 4, 6).Lsb(19, 3, 3);
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   NS 0002100000 9876356789012  "));
}

// ---------------------------------------------------------------- alphanumeric messages

TEST(FlexAlphanumericMessage, CharacterRules) {
  FlexFrame frame =
      FlexFrameBuilder()
          .Page(0, FlexAlphanumeric(1001, "Meet at 10:30, gate B!"))
          .Page(0, FlexAlphanumeric(2100000, "Long address text"))
          // Text word 1 holds the signature, A and B; word 2 ETX, C and D: C and D are lost;
          // word 3 holds E and F.
          .Page(0, FlexAlphanumeric(1003, std::string("AB\x03") + "CDEF"))
          .Page(0, FlexAlphanumeric(1004, std::string("\x01") + "A\x7F" + "B\x1B" + "C\x04"))
          .Page(0, FlexAlphanumeric(1005, "  \n \nHELLO  \nWORLD\n\nEND"))
          .Page(0, FlexAlphanumeric(1006, "\n  NEXT"))
          .Page(0, FlexOther(1007, 2))
          .Build();
  EXPECT_THAT(
      DecodePhases(frame.Capture())[0],
      ElementsAre("FLEX   AN 0000001001 Meet at 10:30, gate B!",
                  "FLEX   AN 0002100000 Long address text", "FLEX   AN 0000001003 ABEF",
                  "FLEX   AN 0000001004 ABC",
                  "FLEX   AN 0000001005 HELLO  " + kIndent + "WORLD" + kIndent + kIndent + "END",
                  "FLEX   AN 0000001006 NEXT", ""));
}

TEST(FlexAlphanumericMessage, LineLongerThan80BreaksBeforeTheNextWord) {
  // The first text word holds the signature and two leading spaces, which are dropped; 27
  // more words make 81 characters, and the 29th text word starts the second line.
  FlexFrame frame =
      FlexFrameBuilder().Page(0, FlexAlphanumeric(1001, "  " + std::string(90, 'A'))).Build();
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   AN 0000001001 " + std::string(81, 'A') + kIndent +
                                         std::string(9, 'A')));

  // Without them the line is 80 long before text word 28 (two characters, then 26 words of
  // three): not longer than 80, so that word still joins it.
  frame = FlexFrameBuilder().Page(0, FlexAlphanumeric(1001, std::string(90, 'B'))).Build();
  EXPECT_THAT(Decode(frame), ElementsAre("FLEX   AN 0000001001 " + std::string(83, 'B') + kIndent +
                                         std::string(7, 'B')));
}

TEST(FlexAlphanumericMessage, TheEleventhLineEndsTheMessage) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += "L" + std::to_string(i) + (i < 11 ? "\n" : "");
  FlexFrame frame = FlexFrameBuilder()
                        .Page(0, FlexAlphanumeric(1001, text))
                        .Page(0, FlexNumeric(1002, "7"))
                        .Build();
  std::string expected = "FLEX   AN 0000001001 L0";
  for (int i = 1; i < 10; ++i) expected += kIndent + "L" + std::to_string(i);
  EXPECT_THAT(Decode(frame), ElementsAre(expected, "FLEX   NS 0000001002 7   "));

  // A line broken at 80 characters counts the same way: here it would be the eleventh.
  FlexFrame wide =
      FlexFrameBuilder()
          .Page(0, FlexAlphanumeric(1001, "1\n2\n3\n4\n5\n6\n7\n8\n9\n" + std::string(90, 'X')))
          .Build();
  expected = "FLEX   AN 0000001001 1";
  for (int i = 2; i <= 9; ++i) expected += kIndent + std::to_string(i);
  EXPECT_THAT(Decode(wide), ElementsAre(expected + kIndent + std::string(83, 'X')));
}

TEST(FlexMessage, TextIsCutToTheCallersBuffer) {
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexAlphanumeric(1001, "ABCDEFGHIJ")).Build();
  testing::Bytes capture = frame.Capture();
  for (std::size_t size : {0u, 1u, 10u, 25u}) {
    FlexDecoder d(capture.Data().data(), capture.Size(), 1);
    char text[40];
    std::memset(text, '#', sizeof text);
    EXPECT_FALSE(d.NextMessage(text, size));
    if (size > 0) {
      EXPECT_EQ(std::string(text),
                std::string("FLEX   AN 0000001001 ABCDEFGHIJ").substr(0, size - 1));
    }
    for (std::size_t i = size; i < sizeof text; ++i) EXPECT_EQ(text[i], '#') << size;
  }
}

// ---------------------------------------------------------------- bad input

TEST(FlexBadInput, CountsNeverReachBeyondTheCapture) {
  FlexFrame frame = FlexFrameBuilder().Page(0, FlexNumeric(1001, "12")).Build();
  // No codeword bytes: no messages, whatever the words would say.
  EXPECT_THAT(DecodePhases(frame.Capture(88, 0)), ElementsAre(IsEmpty()));
  EXPECT_THAT(DecodePhases(frame.Capture(88, 3)), ElementsAre(IsEmpty()));
  // A length beyond the capture: only the stored words are read.
  testing::Bytes capture = frame.Capture(10, 0xFFFF);
  EXPECT_EQ(FlexDecoder(capture.Data().data(), capture.Size(), 1).Codewords(), 10);
  EXPECT_THAT(Decode(capture), ElementsAre("FLEX   NS 0000001001 12  "));
  // A head cut short, no capture, and phases the frame does not have.
  char text[64];
  FlexDecoder shortHead(capture.Data().data(), 5, 1);
  EXPECT_TRUE(shortHead.NextMessage(text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(FlexDecoder(nullptr, 0, 1).NextMessage(text, sizeof text));
  FlexDecoder d(capture.Data().data(), capture.Size(), 1);
  for (int h : {-1, 1, 4}) {
    d.ResetPhase(h);
    EXPECT_TRUE(d.NextMessage(text, sizeof text)) << h;
  }
}

TEST(FlexBadInput, AddressesEndWhereTheVectorFieldBegins) {
  FlexFrame frame = FlexFrameBuilder()
                        .Page(0, FlexAlphanumeric(1001, "ONE"))
                        .Page(0, FlexNumeric(1002, "22"))
                        .Build();
  // Vector and message words are never taken for addresses: exactly two messages.
  auto phases = DecodePhases(frame.Capture());
  EXPECT_THAT(phases[0], ElementsAre("FLEX   AN 0000001001 ONE", "FLEX   NS 0000001002 22  "));

  // A vector field that would begin inside the block information words leaves no addresses.
  frame.Word(0, 0).Lsb(11, 6, 1);
  EXPECT_THAT(DecodePhases(frame.Capture()), ElementsAre(IsEmpty()));

  // A long address whose second word would be the first vector word ends the phase.
  FlexFrame cut = FlexFrameBuilder().Page(0, FlexNumeric(1001, "5")).Build();
  cut.Word(0, 1).Lsb(1, 21, 100);  // a long address's first word
  EXPECT_THAT(DecodePhases(cut.Capture()), ElementsAre(IsEmpty()));
}

TEST(FlexBadInput, VectorsAndMessageWordsPastWord87AreNotRead) {
  // Vector start 63 with 62 addresses: the vectors of addresses 25 and after would lie past
  // word 87.
  FlexFrame frame = FlexFrameBuilder().Build();
  frame.Word(0, 0) = PagingWord().Lsb(11, 6, 63);
  for (int q = 0; q < 62; ++q) frame.Word(0, 1 + q) = PagingWord().Lsb(1, 21, 32768 + 100 + q);
  // Numeric vectors whose messages would start past word 87.
  for (int i = 63; i < 87; ++i) frame.Word(0, i) = PagingWord().Lsb(5, 3, 3).Lsb(8, 7, 100);
  // The last vector: alphanumeric, message words from 121 on.
  frame.Word(0, 87) = PagingWord().Lsb(5, 3, 5).Lsb(8, 7, 120).Lsb(15, 7, 127);
  auto phases = DecodePhases(frame.Capture());
  ASSERT_EQ(phases[0].size(), 62u);
  EXPECT_EQ(phases[0][0], "FLEX   NS 0000000100 ");
  EXPECT_EQ(phases[0][24], "FLEX   AN 0000000124 ");
  for (int q = 25; q < 62; ++q) EXPECT_EQ(phases[0][q], "") << q;

  // A long address whose numeric vector is word 87: its second word would be word 88.
  frame.Word(0, 25) = PagingWord().Lsb(1, 21, 1);
  frame.Word(0, 26) = PagingWord().Lsb(1, 21, 0x1FFFFF);
  frame.Word(0, 87) = PagingWord().Lsb(5, 3, 3).Lsb(15, 3, 7);
  phases = DecodePhases(frame.Capture());
  ASSERT_EQ(phases[0].size(), 61u);
  EXPECT_EQ(phases[0][24], "FLEX   NS 0002068481 ");

  // A message that starts near the end of the phase stops after word 87 (the first slot of
  // its first text word, word 85, is the signature).
  FlexFrame tail = FlexFrameBuilder().Page(0, FlexAlphanumeric(1001, "X")).Build();
  tail.Word(0, tail.placed[0].vector).Lsb(8, 7, 84).Lsb(15, 7, 100);
  for (int i = 85; i < 88; ++i)
    tail.Word(0, i) = PagingWord().Lsb(1, 7, 'a' + i - 85).Lsb(8, 7, '.').Lsb(15, 7, ' ');
  EXPECT_THAT(Decode(tail), ElementsAre("FLEX   AN 0000001001 . b. c. "));
}

}  // namespace
}  // namespace polvane
