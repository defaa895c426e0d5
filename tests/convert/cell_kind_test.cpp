#include "convert/cell_kind.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/seeded_numbers.h"

namespace polvane {
namespace {

// A text's kind looked at sixteen bytes at a time is the kind read a byte at a time, whatever
// follows the text in its buffer and wherever the buffer ends.
TEST(TextKind, SixteenBytesAtOnceTellTheSameKindAsOneAtATime) {
  std::vector<std::string> texts = {"",
                                    "0",
                                    "-0",
                                    "+7",
                                    "-",
                                    "+",
                                    ".",
                                    "-.",
                                    ".5",
                                    "5.",
                                    "-5.",
                                    "1.2.3",
                                    "870.0300",
                                    "-74.2000",
                                    "12a",
                                    "a12",
                                    "1-2",
                                    "--1",
                                    "1 ",
                                    " 1",
                                    "1e3",
                                    "inf",
                                    "\x1f",
                                    "9.",
                                    "0123456789012345",
                                    "012345678901234.",
                                    "-12345678901234.5",
                                    "01234567890123456",
                                    "/",
                                    ":",
                                    "0/",
                                    "9:"};
  testing::SeededNumbers numbers(99);
  auto next = [&numbers] { return numbers.Next(); };
  const std::string alphabet = "0123456789.-+/:a \x1f";
  for (int i = 0; i < 20000; ++i) {
    std::string t;
    const unsigned n = next() % 19;
    for (unsigned k = 0; k < n; ++k) t += alphabet[next() % alphabet.size()];
    texts.push_back(t);
  }
  // What follows a text in the line: nothing that could be taken for its own bytes.
  for (const char after : {'\0', '5', '.', 'x', '-'}) {
    std::vector<char> buffer(64, after);
    for (const std::string& t : texts) {
      const CellKind want = TextKind(t);
      // Well inside the buffer, and ending just at the end of what may be read.
      for (const std::size_t at : {std::size_t{0}, buffer.size() - t.size()}) {
        std::copy(t.begin(), t.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
        const std::string_view in(buffer.data() + at, t.size());
        ASSERT_EQ(TextKindIn(in, buffer.data() + buffer.size()), want)
            << "\"" << t << "\" followed by '" << after << "' at " << at;
        std::fill(buffer.begin(), buffer.end(), after);
      }
    }
  }
}

}  // namespace
}  // namespace polvane
