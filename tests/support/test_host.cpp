#include "support/test_host.h"

namespace polvane::testing {

std::vector<std::string> TestHost::MessageLines() const {
  std::vector<std::string> lines;
  for (const ShownMessage& m : Messages())
    lines.push_back(std::string(MessageCaption(m.type)) + ": " + m.text);
  return lines;
}

}  // namespace polvane::testing
