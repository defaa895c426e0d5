#include "paging/pocsag_decoder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/paging_encoder.h"

namespace polvane {
namespace {

using testing::Bytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::PagingWord;
using testing::PocsagAlphanumeric;
using testing::PocsagCapture;
using testing::PocsagDigits;
using testing::PocsagHead;
using testing::PocsagNumeric;
using testing::PocsagStream;
using testing::PocsagTone;

const std::string kIndent = "\n" + std::string(21, ' ');

// Decodes one capture as the Kes reader does: the non-empty texts, and the carry handed on.
std::vector<std::string> Decode(const Bytes& capture, PocsagCarry& carry,
                                bool* continues = nullptr) {
  PocsagDecoder decoder(capture.Data().data(), capture.Size(), carry);
  std::vector<std::string> texts;
  char text[paging::kTextSize];
  for (int guard = 0; guard < 40; ++guard) {
    bool done = decoder.NextMessage(text, sizeof text);
    if (text[0] != '\0') texts.push_back(text);
    if (done) break;
  }
  if (continues) *continues = decoder.Continues();
  carry = decoder.Carry();
  return texts;
}

std::vector<std::string> Decode(const Bytes& capture) {
  PocsagCarry carry;
  return Decode(capture, carry);
}

PagingWord Message() {
  return PagingWord().Msb(1, 1, 1);
}

// The codewords of a batch as stored, in order.
std::vector<std::uint32_t> WordsOf(const PocsagStream& stream) {
  std::vector<std::uint32_t> words;
  for (const PagingWord& w : stream.Words()) words.push_back(w.Value());
  return words;
}

// ---------------------------------------------------------------- batches as transmitted

TEST(PocsagTransmitted, IdleFillBeforeTheAddressAndAfterTheMessage) {
  // Capcode 1234569 sits in frame 1: two idle codewords fill frame 0, the message ends at the
  // idle codeword after it. The codewords are those that independent encoders send.
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1234569, "HELLO WORLD")).Idle();
  EXPECT_THAT(WordsOf(stream), ElementsAre(0x7A89C197, 0x7A89C197, 0x4B5A3CC9, 0x89A2634D,
                                           0xCCF905DE, 0xDD7CA379, 0xD3244660, 0x7A89C197));
  PocsagCarry carry;
  bool continues = true;
  EXPECT_THAT(Decode(stream.Capture(0), carry, &continues),
              ElementsAre("POCSAG AN 0001234569 HELLO WORLD"));
  EXPECT_FALSE(continues);

  // Idle codewords between messages, and a batch of idle codewords alone.
  stream.Page(PocsagNumeric(1234565, "911")).Idle(3).Page(PocsagTone(1234567));
  EXPECT_THAT(Decode(stream.Capture(0)),
              ElementsAre("POCSAG AN 0001234569 HELLO WORLD", "POCSAG NU 0001234565 911  ",
                          "POCSAG TN 0001234567 "));
  EXPECT_THAT(Decode(PocsagStream().Idle(16).Capture(0)), IsEmpty());
}

TEST(PocsagTransmitted, LongLinesBreakWithoutLosingBits) {
  // 100 characters: the line breaks after character 81 and the text goes on from the next bit,
  // over the three batches the message spans.
  std::string text;
  for (int i = 0; i < 10; ++i) text += "ABCDEFGHIJ";
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1234560, text));
  ASSERT_EQ(stream.Batches(), 3);
  PocsagCarry carry;
  std::vector<std::string> texts;
  for (int b = 0; b < 3; ++b) texts = Decode(stream.Capture(b), carry);
  EXPECT_THAT(
      texts, ElementsAre("POCSAG AN 0001234560 " + text.substr(0, 81) + kIndent + text.substr(81)));
}

// ---------------------------------------------------------------- capture head

TEST(PocsagCapture, HeadFieldsAndTheCountThatMakesABatch) {
  PocsagHead head;
  head.baud = 2400;
  head.errors = 3;
  head.channel = 0x0203;
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, "123"));
  Bytes capture = stream.Capture(0, head);
  ASSERT_EQ(capture.Size(), pocsag::kCaptureSize);
  PocsagDecoder d(capture.Data().data(), capture.Size(), PocsagCarry{});
  EXPECT_EQ(d.Rssi(), head.rssi);
  EXPECT_DOUBLE_EQ(d.Baud(), 2400.0);
  EXPECT_EQ(d.Errors(), 3);
  EXPECT_EQ(d.Channel(), 0x0203);

  for (std::int16_t count : {11, 10, 0, -1, -32768}) {
    head.count = count;
    EXPECT_EQ(Decode(stream.Capture(0, head)).size(), count > 10 ? 1u : 0u) << count;
  }
  // A capture without a batch leaves the carried message alone.
  PocsagCarry carry;
  std::strcpy(carry.Text, "POCSAG AN 0000001000 ABC");
  carry.PendingBits = 3;
  head.count = 10;
  EXPECT_THAT(Decode(stream.Capture(0, head), carry), IsEmpty());
  EXPECT_STREQ(carry.Text, "POCSAG AN 0000001000 ABC");
  EXPECT_EQ(carry.PendingBits, 3);
}

TEST(PocsagCapture, CutCapturesReadOnlyTheirWholeCodewords) {
  Bytes capture = PocsagStream().Page(PocsagNumeric(1000, "0123456789")).Capture(0);
  PocsagCarry carry;
  // Three codewords: the address and both message codewords; the batch ends there.
  PocsagDecoder cut(capture.Data().data(), 13 + 4 * 3 + 2, carry);
  char text[64];
  EXPECT_TRUE(cut.NextMessage(text, sizeof text));
  EXPECT_STREQ(text, "POCSAG NU 0000001000 0123456789");
  EXPECT_TRUE(cut.Continues());
  // No codewords at all, or no capture.
  for (std::size_t size : {0u, 2u, 12u, 16u}) {
    PocsagDecoder d(capture.Data().data(), size, carry);
    EXPECT_TRUE(d.NextMessage(text, sizeof text)) << size;
    EXPECT_STREQ(text, "");
  }
  // A carried character count no character can have starts the continued text afresh.
  PocsagCarry odd;
  std::strcpy(odd.Text, "POCSAG AN 0000001000 AB");
  odd.Type = PocsagType::kAlphanumeric;
  for (std::uint8_t bits : {7, 8, 200, 255}) {
    odd.PendingBits = bits;
    odd.LowBits = 0xFF;
    PocsagCarry in = odd;
    Bytes next = PocsagCapture({Message().Lsb(2, 7, 'C').Lsb(9, 7, 'D').Lsb(16, 6, 0)});
    EXPECT_THAT(Decode(next, in), ElementsAre("POCSAG AN 0000001000 ABCD")) << int(bits);
  }
  PocsagDecoder none(nullptr, 79, carry);
  EXPECT_FALSE(none.Valid());
  EXPECT_TRUE(none.NextMessage(text, sizeof text));
}

// ---------------------------------------------------------------- the batch walk

TEST(PocsagBatch, WalkFromAddressToAddressOverIdleCodewords) {
  // An idle first codeword fills frame 0; the walk goes on to the address in frame 1.
  Bytes capture = PocsagStream().Idle().Page(PocsagNumeric(1001, "55")).Capture(0);
  PocsagDecoder d(capture.Data().data(), capture.Size(), PocsagCarry{});
  char text[64] = "x";
  EXPECT_FALSE(d.NextMessage(text, sizeof text));
  EXPECT_STREQ(text, "POCSAG NU 0000001001 55   ");
  EXPECT_TRUE(d.NextMessage(text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(d.Continues());

  // Each address, and each idle codeword, ends the message before it.
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, "123"))
      .Page(PocsagAlphanumeric(1001, "HI\x03"))
      .Page(PocsagTone(1002))
      .Idle()
      .Page(PocsagNumeric(1007, "999"));
  EXPECT_THAT(Decode(stream.Capture(0)),
              ElementsAre("POCSAG NU 0000001000 123  ", "POCSAG AN 0000001001 HI",
                          "POCSAG TN 0000001002 ", "POCSAG NU 0000001007 999  "));

  // Message codewords before the first address belong to no message. Capcode 125 × 8 + frame
  // 1; the message codeword after it holds 1 and four 0s.
  capture = PocsagCapture(
      {Message().Lsb(2, 4, 7), Message(), PagingWord().Msb(2, 18, 125), Message().Lsb(2, 4, 1)});
  EXPECT_THAT(Decode(capture), ElementsAre("POCSAG NU 0000001001 10000"));
}

// ---------------------------------------------------------------- addresses and types

TEST(PocsagAddress, CapcodeAndFunctionCode) {
  // Address field 42 in frame 3: capcode 42 × 8 + 3.
  std::vector<PagingWord> batch(6, Message().Lsb(2, 20, 0xAAAAA));
  batch.push_back(PagingWord().Msb(2, 18, 42));
  batch.push_back(Message().Lsb(2, 4, 4).Lsb(6, 4, 2).Lsb(10, 4, 10).Lsb(14, 4, 10).Lsb(18, 4, 10));
  EXPECT_THAT(Decode(PocsagCapture(batch)), ElementsAre("POCSAG NU 0000000339 42"));
  EXPECT_THAT(Decode(PocsagStream().Page(PocsagTone(2097151)).Capture(0)),
              ElementsAre("POCSAG TN 0002097151 "));

  // The function code's low bit is position 20.
  PocsagHead head;
  head.typeMap = 0 << 6 | 2 << 4 | 3 << 2 | 0;  // code 2 "NU", code 1 "AN"
  Bytes capture = PocsagCapture(
      {PagingWord().Msb(2, 18, 1).Msb(20, 1, 1), PagingWord().Msb(2, 18, 2).Msb(21, 1, 1)}, head);
  EXPECT_THAT(Decode(capture), ElementsAre("POCSAG AN 0000000008 ", "POCSAG NU 0000000016 "));
}

TEST(PocsagAddress, TypeMapGivesEachFunctionCodeItsType) {
  PocsagHead head;
  head.typeMap = 3 << 6 | 2 << 4 | 1 << 2 | 0;  // 3 "AN", 2 "NU", 1 "TN", 0 "XX"
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, "12", 2))
      .Page(PocsagTone(1001, 1))
      .Page(PocsagAlphanumeric(1002, "OK\x03", 3))
      .Page(PocsagNumeric(1003, "99", 0));
  EXPECT_THAT(Decode(stream.Capture(0, head)),
              ElementsAre("POCSAG NU 0000001000 12   ", "POCSAG TN 0000001001 ",
                          "POCSAG AN 0000001002 OK", "POCSAG XX 0000001003 "));
}

// ---------------------------------------------------------------- numeric messages

TEST(PocsagNumericMessage, FiveDigitsToACodeword) {
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, "0123456789"))
      .Page(PocsagDigits(1001, {1, 10, 11, 12, 13, 14, 15, 2}));
  EXPECT_THAT(Decode(stream.Capture(0)),
              ElementsAre("POCSAG NU 0000001000 0123456789", "POCSAG NU 0000001001 1U -][2  "));

  Bytes capture = PocsagCapture(
      {PagingWord().Msb(2, 18, 0),
       Message().Lsb(2, 4, 3).Lsb(6, 4, 1).Lsb(10, 4, 4).Lsb(14, 4, 1).Lsb(18, 4, 5)});
  EXPECT_THAT(Decode(capture), ElementsAre("POCSAG NU 0000000000 31415"));
}

TEST(PocsagNumericMessage, LineLongerThan80BreaksBeforeTheNextCodeword) {
  std::string digits;
  for (int i = 0; i < 100; ++i) digits += static_cast<char>('0' + i % 10);
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, digits));
  PocsagCarry carry;
  Decode(stream.Capture(0), carry);
  // 17 codewords make 85 digits; the 18th codeword starts the second line.
  EXPECT_THAT(
      Decode(stream.Capture(1), carry),
      ElementsAre("POCSAG NU 0000001000 " + digits.substr(0, 85) + kIndent + digits.substr(85)));
}

// ---------------------------------------------------------------- alphanumeric messages

TEST(PocsagAlphanumericMessage, CharactersAreCompletedFromTheNextCodeword) {
  EXPECT_THAT(Decode(PocsagStream().Page(PocsagAlphanumeric(1000, "Hello, World.\x03")).Capture(0)),
              ElementsAre("POCSAG AN 0000001000 Hello, World."));

  // 'a' (1100001) begins at bit 16 with its low six bits; bit 2 of the next codeword is its
  // high bit, and the next character follows at bit 3.
  Bytes capture = PocsagCapture({PagingWord().Msb(2, 18, 0).Lsb(20, 2, 3),
                                 Message().Lsb(2, 7, 'H').Lsb(9, 7, 'i').Lsb(16, 6, 'a' & 0x3F),
                                 Message().Lsb(2, 1, 'a' >> 6).Lsb(3, 7, '!').Lsb(10, 7, 3)});
  EXPECT_THAT(Decode(capture), ElementsAre("POCSAG AN 0000000000 Hia!"));
}

TEST(PocsagAlphanumericMessage, EtxAndNulEndTheCodewordWithoutCarry) {
  // ETX ends the first codeword: its started character is dropped, not completed from the
  // second, which begins afresh at bit 2 and ends at its NUL.
  Bytes capture = PocsagCapture({PagingWord().Msb(2, 18, 0).Lsb(20, 2, 3),
                                 Message().Lsb(2, 7, 'A').Lsb(9, 7, 3).Lsb(16, 6, 0x3F),
                                 Message().Lsb(2, 7, 'C').Lsb(9, 7, 0).Lsb(16, 6, 0x3F),
                                 Message().Lsb(2, 7, 'D').Lsb(9, 7, 'E').Lsb(16, 6, 0)});
  EXPECT_THAT(Decode(capture), ElementsAre("POCSAG AN 0000000000 ACDE"));
}

TEST(PocsagAlphanumericMessage, LeadingSpacesAndLineFeedsAreSuppressedInEachMessage) {
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1000, "  \n HI \nTHERE\n\x01\x03"))
      .Page(PocsagAlphanumeric(1003, "\n NEXT\x03"));
  EXPECT_THAT(Decode(stream.Capture(0)),
              ElementsAre("POCSAG AN 0000001000 HI " + kIndent + "THERE" + kIndent,
                          "POCSAG AN 0000001003 NEXT"));
}

TEST(PocsagAlphanumericMessage, TheEleventhLineEndsTheMessage) {
  const std::string text = "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\nX\nY\x03";
  std::string lines = "0";
  for (int i = 1; i <= 9; ++i) lines += kIndent + std::to_string(i);
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1000, text)).Page(PocsagNumeric(1005, "7"));
  EXPECT_THAT(Decode(stream.Capture(0)),
              ElementsAre("POCSAG AN 0000001000 " + lines, "POCSAG NU 0000001005 7    "));

  // Filled in the last codeword of the batch (message codeword 6 of an address in frame 4),
  // the message is complete: nothing carries over.
  PocsagStream late;
  late.Page(PocsagAlphanumeric(1004, text));
  PocsagCarry carry;
  bool continues = true;
  EXPECT_THAT(Decode(late.Capture(0), carry, &continues),
              ElementsAre("POCSAG AN 0000001004 " + lines));
  EXPECT_FALSE(continues);
  EXPECT_FALSE(carry.Open());
}

TEST(PocsagAlphanumericMessage, LinePassing80StartsANewLineAfterItsCharacter) {
  // Message characters 18 to 98 make an 81-character line; character 99 shares its codeword
  // (message codeword 34) and opens the next line. The message runs over three captures.
  const std::string first = "First line, here:";
  ASSERT_EQ(first.size(), 17u);
  const std::string second = std::string(80, '=') + ">";
  const std::string text = first + "\n" + second + "#THIRD\x03";
  ASSERT_EQ(text.find('#'), 99u);
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1000, text));
  ASSERT_EQ(stream.Batches(), 3);
  PocsagCarry carry;
  Decode(stream.Capture(0), carry);
  Decode(stream.Capture(1), carry);
  EXPECT_THAT(Decode(stream.Capture(2), carry),
              ElementsAre("POCSAG AN 0000001000 " + first + kIndent + second + kIndent + "#THIRD"));
}

// ---------------------------------------------------------------- messages over two captures

TEST(PocsagContinuation, AlphanumericCutByTheBatchEndContinuesWithoutSeparator) {
  // Address and 15 message codewords: characters 0 to 41, and the low six bits of character
  // 42, fit the first batch; bit 2 of the next capture's first codeword completes it.
  const std::string part = "Crew leaves the depot at six; bring the ra";
  ASSERT_EQ(part.size(), 42u);
  const std::string text = part + "k and the spare lamp";
  PocsagStream stream;
  stream.Page(PocsagAlphanumeric(1000, text + "\x03"));
  PocsagCarry carry;
  bool continues = false;
  EXPECT_THAT(Decode(stream.Capture(0), carry, &continues),
              ElementsAre("POCSAG AN 0000001000 " + part));
  EXPECT_TRUE(continues);
  EXPECT_TRUE(carry.Open());
  EXPECT_EQ(carry.Type, PocsagType::kAlphanumeric);
  EXPECT_EQ(carry.PendingBits, 1);

  EXPECT_THAT(Decode(stream.Capture(1), carry, &continues),
              ElementsAre("POCSAG AN 0000001000 " + text));
  EXPECT_FALSE(continues);
  EXPECT_FALSE(carry.Open());

  // When the cut character is a space it is kept: the message has shown printable characters,
  // so it is no leading space.
  const std::string other = std::string(41, 'a') + "b";
  PocsagStream spaced;
  spaced.Page(PocsagAlphanumeric(1000, other + " d\x03"));
  Decode(spaced.Capture(0), carry);
  EXPECT_EQ(carry.PendingBits, 1);
  EXPECT_THAT(Decode(spaced.Capture(1), carry),
              ElementsAre("POCSAG AN 0000001000 " + other + " d"));
}

TEST(PocsagContinuation, TheTypeTravelsWithTheCarriedText) {
  const std::string digits = std::string(75, '1') + "23456";
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, digits)).Page(PocsagTone(1007, 0));
  PocsagCarry carry;
  Decode(stream.Capture(0), carry);
  EXPECT_EQ(carry.Type, PocsagType::kNumeric);
  // The next capture's map makes every function code alphanumeric; the carried message is
  // still numeric.
  PocsagHead head;
  head.typeMap = 0xFF;
  EXPECT_THAT(Decode(stream.Capture(1, head), carry),
              ElementsAre("POCSAG NU 0000001000 " + digits, "POCSAG AN 0000001007 "));
  // Without the carry the continued codewords belong to no message.
  EXPECT_THAT(Decode(stream.Capture(1)), ElementsAre("POCSAG NU 0000001007 "));
}

TEST(PocsagContinuation, CarriedTextIsRepeatedWhenTheNextBatchStartsWithAnAddress) {
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, std::string(75, '4'))).Page(PocsagTone(1008));
  ASSERT_EQ(stream.Size(), 17);
  PocsagCarry carry;
  bool continues = false;
  Decode(stream.Capture(0), carry, &continues);
  EXPECT_TRUE(continues);
  EXPECT_THAT(Decode(stream.Capture(1), carry, &continues),
              ElementsAre("POCSAG NU 0000001000 " + std::string(75, '4'), "POCSAG TN 0000001008 "));
  EXPECT_FALSE(continues);
  EXPECT_FALSE(carry.Open());
}

TEST(PocsagContinuation, LongMessagesStayWithinTheTextSize) {
  // 1000 digits over 13 captures: ten lines of 85 digits fill the message in the eleventh
  // capture, which ends it there; its text is cut to the message size.
  PocsagStream stream;
  stream.Page(PocsagNumeric(1000, std::string(1000, '8')));
  ASSERT_EQ(stream.Batches(), 13);
  PocsagCarry carry;
  std::vector<std::string> texts;
  for (int i = 0; i < stream.Batches(); ++i) {
    texts = Decode(stream.Capture(i), carry);
    EXPECT_EQ(carry.Open(), i < 10) << i;
    if (i == 10) {
      ASSERT_EQ(texts.size(), 1u);
      EXPECT_EQ(texts[0].size(), paging::kTextSize - 1);
      EXPECT_EQ(std::count(texts[0].begin(), texts[0].end(), '\n'), paging::kMaxLines - 1);
    }
    for (const std::string& t : texts) EXPECT_LT(t.size(), paging::kTextSize);
  }
  EXPECT_THAT(texts, IsEmpty());
}

TEST(PocsagMessage, TextIsCutToTheCallersBuffer) {
  Bytes capture = PocsagStream().Page(PocsagAlphanumeric(1000, "ABCDEFGHIJ\x03")).Capture(0);
  const std::string full = "POCSAG AN 0000001000 ABCDEFGHIJ";
  for (std::size_t size : {0u, 1u, 10u, 40u}) {
    PocsagDecoder d(capture.Data().data(), capture.Size(), PocsagCarry{});
    char text[48];
    std::memset(text, '#', sizeof text);
    d.NextMessage(text, size);
    if (size > 0) {
      EXPECT_EQ(std::string(text), full.substr(0, size - 1));
    }
    for (std::size_t i = std::min(size, full.size() + 1); i < sizeof text; ++i)
      EXPECT_EQ(text[i], '#') << size;
  }
}

}  // namespace
}  // namespace polvane
