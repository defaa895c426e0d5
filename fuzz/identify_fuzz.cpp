#include <cstdint>

#include "convert/identify.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = polvane::fuzz::ScratchPath(".id");
  polvane::fuzz::WriteScratch(path, data, size);
  const std::int16_t code = polvane::IdentifyProduct(path);
  if (code < 0 || code > 9 || code == 6) __builtin_trap();
  return 0;
}
