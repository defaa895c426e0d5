// The window model's workers: indexing, conversion, and the output-format presets.
#include <charconv>
#include <filesystem>
#include <string_view>

#include "app/convert_job.h"
#include "app/converter_registry.h"
#include "app/identify.h"
#include "app/main_form.h"
#include "convert/output_formats.h"
#include "convert/product_rows.h"
#include "index/make_index.h"

namespace polvane {

// A preset's bare output name goes into the input's folder, where the user looks for it.
std::string TMainForm::BesideInput(const std::string& name) const {
  const std::filesystem::path folder = std::filesystem::path(InputFilename.Text()).parent_path();
  return folder.empty() ? name : (folder / name).string();
}

void TMainForm::StartIndexing(std::int16_t code) {
  StopIndexing();
  // The average information of another file is of no use any more.
  GeneratorDlg.StopWorker();
  // One worker drives a converter at a time: a running conversion ends first.
  WaitForConversion();
  // "CONVERT" waits until the index is built: the two workers share the converter. The worker
  // enables it again when it ends.
  btnConvert.SetEnabled(false);
  index_ = std::make_unique<TMakeIndex>(*this, code);
  index_->Start();
}

// The workers hand work to the GUI thread and wait for it, so the GUI thread waits for them
// through the host, which keeps serving those hand-overs.
void TMainForm::StopIndexing() {
  if (!index_) return;
  index_->Terminate();
  host_.WaitFor(*index_);
}

void TMainForm::WaitForIndexing() {
  if (index_) host_.WaitFor(*index_);
}

bool TMainForm::Indexing() const {
  return index_ && index_->Running();
}

void TMainForm::btnConvertClick() {
  // One worker drives a converter at a time: an index still being built, or average information
  // being gathered, is finished first.
  WaitForIndexing();
  GeneratorDlg.WaitForWorker();
  if (convert_) {
    convert_->Terminate();
    host_.WaitFor(*convert_);
  }
  convert_ = std::make_unique<TConvert>(*this);
  if (rbSingleFile.Checked()) {
    if (InputFilename.Text().empty() || OutputFilename.Text().empty()) {
      ReportMessage(host(), kError, "Input and Output Files Must Be Selected.");
      return;
    }
    CurrentConverter.load()->SetBatchMode(false);
    FileCount = 1;
    InputNames.assign(1, InputFilename.Text());
    OutputNames.assign(1, OutputFilename.Text());
  } else {
    if (edInFolder.Text().empty() || edOutFolder.Text().empty()) {
      ReportMessage(host(), kError, "Input and Output Folders Must Be Selected.");
      return;
    }
    CurrentConverter.load()->SetBatchMode(true);
    FileCount = CollectFolderFiles();
    edFileCount.SetText(std::to_string(FileCount));
  }
  // Settings that would give an empty, faked or unaveraged output are refused before anything
  // is written.
  if (const std::string refusal = LayoutRefusal(); !refusal.empty()) {
    ReportMessage(host(), kError, "%s (%s)", kLayoutNotWritten, refusal.c_str());
    return;
  }
  if (!FixedLayout && SelectedBox.Count() == 0 && FileCount > 0) {
    ReportMessage(host(), kError, "%s", kNoFieldSelected);
    return;
  }
  if (CurrentReductionMode() == kReduceLambda && !LambdaDlg.SpeedIsNumber()) {
    ReportMessage(host(), kError, "%s", kSpeedNotANumber);
    return;
  }
  if (const std::string refusal = LineReductionRefusal(); !refusal.empty()) {
    ReportMessage(host(), kError, "%s (%s)", kReductionRefused, refusal.c_str());
    return;
  }
  convert_->FileCount = FileCount;
  if (const std::string refusal = GisRefusal(); !refusal.empty()) {
    ReportMessage(host(), kError, "%s (%s)", kMapNotWritten, refusal.c_str());
    return;
  }
  convert_->SinkFactory = LineSinkFactory;
  if (const OutputFormatRow* row = FindOutputFormat(OutputFormatGroup.ItemIndex());
      row && row->Writer == FormatWriter::kGis)
    convert_->SinkFactory = [factory = GisSinkFactory, index = row->Index](const std::string& out) {
      return factory(out, index);
    };
  convert_->TakeSettings();
  convert_->InputNames.assign(InputNames.begin(), InputNames.begin() + FileCount);
  convert_->OutputNames.assign(OutputNames.begin(), OutputNames.begin() + FileCount);
  // "CONVERT" is closed while its run goes on; the run opens it again and clears RunActive
  // when it ends.
  RunStatus.SetCaption("Converting...");
  btnConvert.SetEnabled(false);
  RunActive.SetChecked(true);
  convert_->Start();
}

void TMainForm::btnCancelClick() {
  if (convert_) convert_->Terminate();
}

void TMainForm::WaitForConversion() {
  if (convert_) host_.WaitFor(*convert_);
}

std::string TMainForm::LayoutRefusal() const {
  const int format = OutputFormatGroup.ItemIndex();
  const auto code = static_cast<std::int16_t>(InputFormatGroup.ItemIndex());
  const ProductRow* product = FindProduct(code);
  if (!FixedLayout || code == kProductNone || (product && product->WritesLayout(format))) return {};
  return std::string(ProductLabel(code)) + " does not write the " + kOutputFormatItems[format] +
         " layout";
}

std::string TMainForm::GisRefusal() const {
  const OutputFormatRow* row = FindOutputFormat(OutputFormatGroup.ItemIndex());
  if (!row || row->Writer != FormatWriter::kGis) return {};
  if (!GisSinkFactory)
    return "this program does not write the " + std::string(row->Name) + " format";
  if (GisWritersMissing)
    if (std::string why = GisWritersMissing(); !why.empty())
      return "the " + std::string(row->Name) + " format cannot be written: " + why;
  const auto code = static_cast<std::int16_t>(InputFormatGroup.ItemIndex());
  const ProductRow* product = FindProduct(code);
  if (code != kProductNone && !(product && product->Positions))
    return std::string(ProductLabel(code)) + " logs hold no position, and every " +
           std::string(row->Name) + " feature is placed by one";
  return {};
}

std::string CheckColorThresholds(const std::array<std::string, 3>& texts, SignalColors& colors) {
  static constexpr const char* kBand[] = {"green", "yellow", "orange"};
  std::array<double, 3> values{};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::string_view text = texts[i];
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), values[i]);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
      return "The " + std::string(kBand[i]) + " threshold is not a number of dBm: \"" +
             std::string(text) + "\".";
    if (!(values[i] >= -200 && values[i] <= 0))
      return "The " + std::string(kBand[i]) + " threshold must lie between -200 and 0 dBm.";
  }
  for (std::size_t i = 1; i < values.size(); ++i)
    if (!(values[i] < values[i - 1]))
      return "The thresholds must ascend from orange to yellow to green (as in -100, -85, -70 "
             "dBm): the " +
             std::string(kBand[i]) + " threshold must be below the " + kBand[i - 1] + " one.";
  SignalColors checked;
  std::string list;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) list += ',';
    list += texts[i];
  }
  std::string why;
  if (!SignalColors::Parse(list, checked, &why)) return why;
  colors = checked;
  return {};
}

SignalColors TMainForm::CurrentColors() const {
  SignalColors colors;
  if (!SignalColors::Parse(ColorThresholds.Text(), colors)) colors = SignalColors();
  return colors;
}

GisOptions TMainForm::CurrentMapOptions() const {
  GisOptions options;
  options.Layout = MapLayout;
  options.Colors = CurrentColors();
  options.ColorColumn = ColorColumn.Text();
  return options;
}

std::string TMainForm::OutputExtension() const {
  const OutputFormatRow* row = FindOutputFormat(OutputFormatGroup.ItemIndex());
  return row && !row->Extension.empty() ? std::string(row->Extension) : std::string(".out");
}

namespace {

// Whether an extension is one the window gives output names: ".out" or a format's own.
bool IsFormatExtension(const std::string& ext) {
  if (ext == ".out") return true;
  for (const OutputFormatRow& row : kOutputFormats)
    if (!row.Extension.empty() && row.Extension == ext) return true;
  return false;
}

}  // namespace

void TMainForm::NameOutputsForFormat() {
  const std::string ext = OutputExtension();
  std::filesystem::path name(OutputFilename.Text());
  if (!name.empty() && IsFormatExtension(name.extension().string()))
    OutputFilename.SetText(name.replace_extension(ext).string());
  if (IsFormatExtension(edOutputExt.Text())) edOutputExt.SetText(ext);
}

bool TMainForm::IsFixedLayout(int format) {
  const OutputFormatRow* row = FindOutputFormat(format);
  return row && row->Writer == FormatWriter::kFixed;
}

void TMainForm::ApplyLayoutState(int format) {
  const bool fixed = IsFixedLayout(format);
  for (Control* c : {static_cast<Control*>(&DelimiterGroup), static_cast<Control*>(&FieldTitles),
                     static_cast<Control*>(&OtherDelimiter)})
    c->SetVisible(!fixed);
  EnableSelectionButtons(!fixed);
  FixedLayout = fixed;
  PreviousOutputFormat = static_cast<std::int16_t>(format);
}

void TMainForm::OutputFormatGroupChange() {
  const int index = OutputFormatGroup.ItemIndex();
  if (index == PreviousOutputFormat) return;
  PreviousOutputFormat = static_cast<std::int16_t>(index);

  {
    std::lock_guard lock(selectionLock_);
    SelectedBox.Clear();
  }
  ApplyLayoutState(index);

  NameOutputsForFormat();
  const OutputFormatRow* row = FindOutputFormat(index);
  if (!row) return;  // a format without a preset: the rest unchanged
  if (row->Writer == FormatWriter::kFixed) {
    EnableSelectionButtons(false);
    DelimiterGroup.SetVisible(false);
    FieldTitles.SetVisible(false);
    OtherDelimiter.SetVisible(false);
    FixedLayout = true;
  }
  const FormatPreset& preset = row->Preset;
  if (preset.SelectsFields) {
    FieldTitles.SetChecked(preset.Header);
    if (preset.Delimiter >= 0) DelimiterGroup.SetItemIndex(preset.Delimiter);
    // A product without positions (the Drovel) takes the preset's list without them.
    const ProductRow* product =
        FindProduct(static_cast<std::int16_t>(InputFormatGroup.ItemIndex()));
    const bool positionless = product && !product->Positions;
    for (std::int16_t f : positionless ? preset.DrovelFields : preset.Fields) AddSelectedField(f);
  }
  if (preset.DataBoxes) {
    FrequencyField.SetChecked(false);
    ChannelField.SetChecked(false);
    RSSIField.SetChecked(true);
    SATField.SetChecked(false);
    VMACField.SetChecked(false);
    Receiver1.SetChecked(true);
    Receiver2.SetChecked(false);
    Receiver3.SetChecked(false);
    Receiver4.SetChecked(false);
  }
  if (!row->DefaultName.empty()) OutputFilename.SetText(BesideInput(std::string(row->DefaultName)));
}

}  // namespace polvane
