// Runs a converter the way the conversion job does, for tests of one reader at a time.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/form_controls.h"
#include "convert/product_converter.h"
#include "convert/record_loop.h"

namespace polvane::testing {

// The selected list of the given catalogue fields, with their catalogue titles.
Selection Fields(std::initializer_list<std::int16_t> fields);

// The settings of a run that takes the readers' choices from `form` (receivers, data boxes,
// scan type, input format, header, per-seconds value, output name) and the rest from `loop`
// (delimiter, output format and layout, reduction, channels).
ConversionSettings FormSettings(const FormControls& form, ConversionSettings loop = {});

// Converts `input` through `c` with `settings` into a file and returns the file's bytes.
// `run` carries the run state across several files when a test needs it.
std::string Convert(ProductConverter& c, const std::string& input, const Selection& selection,
                    const ConversionSettings& settings = {}, RunState* run = nullptr);
// The same with the readers' choices from `form`.
std::string Convert(ProductConverter& c, const FormControls& form, const std::string& input,
                    const Selection& selection, const ConversionSettings& loop = {},
                    RunState* run = nullptr);

// The same text with CR LF line ends turned into "\n", split into lines.
std::vector<std::string> Lines(const std::string& crlfText);

// Reads the whole file through the converter as the indexing worker does and returns each
// section that began: its ordinal, tree slot and label.
struct IndexedSection {
  int ordinal;
  int slot;
  std::string label;
  bool operator==(const IndexedSection&) const = default;
};
std::vector<IndexedSection> IndexSections(ProductConverter& c, const std::string& input);
// The same with the settings of `form`.
std::vector<IndexedSection> IndexSections(ProductConverter& c, const FormControls& form,
                                          const std::string& input);

}  // namespace polvane::testing
