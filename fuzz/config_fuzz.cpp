// The configuration loader over arbitrary profile text, then a save of what it loaded.
#include <cstdint>

#include "app/main_form.h"
#include "fuzz/fuzz_file.h"
#include "support/test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static polvane::testing::TestHost host;
  static polvane::TMainForm form(host);
  form.AutoIndex = false;
  const std::string& path = polvane::fuzz::ScratchPath(".cfg");
  polvane::fuzz::WriteScratch(path, data, size);
  form.LoadConfiguration(path);
  form.SaveConfiguration(polvane::fuzz::ScratchPath(".saved.cfg"));
  return 0;
}
