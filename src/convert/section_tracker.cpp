#include "convert/section_tracker.h"

#include <cstring>

#include "convert/section_table.h"

namespace polvane {

void SectionTracker::SetLabel(const char* label) {
  // Cut to the label's size as snprintf would cut it; the readers set it at every fix.
  const std::size_t n = strnlen(label, sizeof label_ - 1);
  std::memmove(label_, label, n);
  label_[n] = '\0';
}

bool SectionTracker::Selected(int ordinal) const {
  return ordinal <= 0 || !table_ || table_->Selected(static_cast<std::uint32_t>(ordinal));
}

}  // namespace polvane
