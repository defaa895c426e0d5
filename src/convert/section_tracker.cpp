#include "convert/section_tracker.h"

#include <cstdio>

#include "convert/section_table.h"

namespace polvane {

void SectionTracker::SetLabel(const char* label) {
  std::snprintf(label_, sizeof label_, "%s", label);
}

bool SectionTracker::Selected(int ordinal) const {
  return ordinal <= 0 || !table_ || table_->Selected(static_cast<std::uint32_t>(ordinal));
}

}  // namespace polvane
