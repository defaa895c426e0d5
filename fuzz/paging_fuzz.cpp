// The FLEX and POCSAG decoders over arbitrary captures, with the state a reader carries.
#include <cstdint>
#include <cstring>
#include <vector>

#include "paging/flex_decoder.h"
#include "paging/pocsag_decoder.h"

using namespace polvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static int previousPhases = 0;
  static PocsagCarry carry;
  if (size < 1) return 0;
  // Exact-size copies, so that a read past the capture is caught.
  std::vector<std::uint8_t> capture(data + 1, data + size);
  char text[1024];
  if (data[0] & 1) {
    FlexDecoder flex(capture.data(), capture.size(), previousPhases);
    previousPhases = flex.Phases();
    for (int h = 0; h < flex.Phases(); ++h) {
      flex.ResetPhase(h);
      for (int guard = 0; guard < 10000 && !flex.NextMessage(text, sizeof text); ++guard)
        if (std::strlen(text) >= sizeof text) __builtin_trap();
    }
  } else {
    PocsagDecoder pocsag(capture.data(), capture.size(), carry);
    if (pocsag.Valid())
      for (int guard = 0; guard < 10000 && !pocsag.NextMessage(text, sizeof text); ++guard)
        if (std::strlen(text) >= sizeof text) __builtin_trap();
    carry = pocsag.Carry();
  }
  return 0;
}
