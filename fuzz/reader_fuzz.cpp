// One product's reader driven through the record loop: the first byte of the input chooses the
// settings (output layout, reduction, receivers, data columns, scan type), the rest is the log.
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "app/converter_registry.h"
#include "app/form_controls.h"
#include "convert/output_file.h"
#include "convert/record_loop.h"
#include "fuzz/fuzz_file.h"

using namespace polvane;

namespace {

struct Setup {
  FormControls form;
  ConverterRegistry converters;
  RecordLoop loop;
  ProductConverter* c;
  Setup() : c(converters.ForCode(FUZZ_PRODUCT)) {
    form.OutputFilename.SetText(fuzz::ScratchPath(".M01"));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup s;
  if (size < 2) return 0;
  const std::uint8_t choice = data[0], more = data[1];
  const std::string& input = fuzz::ScratchPath(".log");
  fuzz::WriteScratch(input, data + 2, size - 2);

  static const int kFormats[] = {kCustomAsciiFormat, 3, 6, 7, 12, kCustomAsciiFormat, 1, 9};
  const int format = kFormats[choice & 7];
  s.form.OutputFormatGroup.SetItemIndex(format);
  s.form.ScanTypeGroup.SetItemIndex(choice >> 3 & 1);
  s.form.DrovelMode.SetItemIndex(more % 3);
  for (int r = 0; r < 4; ++r) s.form.ReceiverBoxes[r]->SetChecked(more >> (2 + r) & 1 || r == 0);
  CheckBox* columns[] = {&s.form.FrequencyField, &s.form.ChannelField, &s.form.RSSIField,
                         &s.form.SATField, &s.form.VMACField};
  for (int k = 0; k < 5; ++k) columns[k]->SetChecked(choice >> (3 + k % 5) & 1 || k == 2);
  s.form.ORPS_Value.SetText(std::to_string(more & 3));
  s.c->Gathering().SetRecordsPerSecond(more >> 2 & 15);
  // The data group and every offered field.
  Selection selection;
  for (std::int16_t field : s.c->Offered()) {
    selection.Tags.push_back(field);
    selection.Texts.push_back(CatalogueTitle(field));
  }
  ConversionSettings settings = ControlSettings(s.form);
  settings.OutputFormat = format;
  // Averaging from sample by sample (no speed) to windows longer than a record (a crawl).
  static const double kSpeeds[] = {0, 30, 0.01, 1e9};
  settings.LambdaMetresPerSecond = kSpeeds[more >> 6];
  settings.FixedLayout = format == 3 || format == 6 || format == 7 || format == 12;
  const std::int16_t modes[] = {kReduceNone, kReduceBestServer, kReducePerSeconds, kReduceLambda};
  settings.ReductionMode = modes[choice >> 6];
  s.c->SetSettings(settings);

  // Both passes, as the window runs them: indexing, then conversion.
  for (bool converting : {false, true}) {
    if (s.c->OpenInput(input) != 0) return 0;
    s.c->SetConverting(converting);
    s.c->SetBatchMode(more & 1);
    if (!converting) {
      std::uint8_t buffer[kRecordBufferSize];
      for (int n = 0; (n = s.c->ReadRecord(buffer)) != 0;) {
        s.c->ParseRecord(buffer);
        s.c->Sections().ClearStarted();
      }
      s.c->CloseInput();
      continue;
    }
    static OutputFile out;  // one output buffer for the whole campaign
    if (!out.Open(fuzz::ScratchPath(".out"))) return 0;
    RunState run;
    s.loop.Run(*s.c, out, selection, run, size);
    out.Close();
  }
  return 0;
}
