#include "support/conversion.h"

#include <filesystem>
#include <memory>
#include <sstream>

#include "convert/catalogue.h"
#include "convert/output_file.h"
#include "convert/record_pass.h"
#include "support/bytes.h"

namespace polvane::testing {

Selection Fields(std::initializer_list<std::int16_t> fields) {
  Selection s;
  for (std::int16_t f : fields) {
    s.Tags.push_back(f);
    s.Texts.push_back(CatalogueTitle(f));
  }
  return s;
}

ConversionSettings FormSettings(const FormControls& form, ConversionSettings loop) {
  const ConversionSettings controls = ControlSettings(form);
  loop.InputFormat = controls.InputFormat;
  loop.ScanType = controls.ScanType;
  loop.Receivers = controls.Receivers;
  loop.Data = controls.Data;
  loop.ReadingCells = controls.ReadingCells;
  loop.FieldTitles = controls.FieldTitles;
  loop.PerSecondsValue = controls.PerSecondsValue;
  loop.OutputFileName = controls.OutputFileName;
  return loop;
}

std::string Convert(ProductConverter& c, const FormControls& form, const std::string& input,
                    const Selection& selection, const ConversionSettings& loop, RunState* run) {
  return Convert(c, input, selection, FormSettings(form, loop), run);
}

std::vector<IndexedSection> IndexSections(ProductConverter& c, const FormControls& form,
                                          const std::string& input) {
  c.SetSettings(FormSettings(form));
  return IndexSections(c, input);
}

std::string Convert(ProductConverter& c, const std::string& input, const Selection& selection,
                    const ConversionSettings& settings, RunState* run) {
  static int counter = 0;
  const std::string output = input + ".test-out-" + std::to_string(counter++);
  RunState own;
  RunState& state = run ? *run : own;
  c.SetSettings(settings);
  if (c.OpenInput(input) != 0) return "<cannot open input>";
  OutputFile out;
  if (!out.Open(output)) return "<cannot open output>";
  c.SetConverting(true);
  RecordLoop loop;
  loop.Run(c, out, selection, state, FileSize(input));
  c.SetConverting(false);
  out.Close();
  std::string text = ReadFile(output);
  std::error_code ec;
  std::filesystem::remove(output, ec);
  return text;
}

std::vector<std::string> Lines(const std::string& crlfText) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < crlfText.size(); ++i) {
    if (crlfText[i] == '\r' && i + 1 < crlfText.size() && crlfText[i + 1] == '\n') {
      lines.push_back(line);
      line.clear();
      ++i;
    } else {
      line += crlfText[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<IndexedSection> IndexSections(ProductConverter& c, const std::string& input) {
  std::vector<IndexedSection> sections;
  if (c.OpenInput(input) != 0) return sections;
  c.SetConverting(false);
  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  RecordPass().Run(c, buffer.get(), RunState{}, FileSize(input), [&](std::int16_t) {
    SectionTracker& s = c.Sections();
    if (const char* label = s.TakeStarted()) sections.push_back({s.Ordinal(), s.Kind(), label});
  });
  c.CloseInput();
  return sections;
}

}  // namespace polvane::testing
