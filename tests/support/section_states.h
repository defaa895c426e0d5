// A section table for the readers' tests: sections 1, 2, ... of one data kind with the given
// states (true: selected), as an index leaves it on the window's reader.
#pragma once

#include <initializer_list>
#include <memory>

#include "convert/section_table.h"

namespace polvane {

inline std::shared_ptr<SectionTable> SectionStates(std::initializer_list<bool> selected) {
  auto table = std::make_shared<SectionTable>();
  std::uint32_t ordinal = 0;
  for (bool s : selected) table->Add(++ordinal, 0, 0, s);
  return table;
}

}  // namespace polvane
