#include "cli/convert_command.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/convert_job.h"
#include "convert/identify.h"
#include "convert/input_file.h"
#include "convert/output_file.h"
#include "convert/output_formats.h"
#include "convert/product_rows.h"
#include "convert/section_table.h"
#include "convert/signal_colors.h"
#include "convert/table_shape.h"
#include "index/make_index.h"
#include "index/make_list.h"

namespace polvane {

void KeptMessagesHost::ShowMessage(int type, const std::string& text) {
  std::lock_guard lock(mutex_);
  messages_.emplace_back(type, text);
}

void KeptMessagesHost::Synchronize(const std::function<void()>& fn) {
  std::lock_guard lock(syncMutex_);
  fn();
}

std::vector<std::pair<int, std::string>> KeptMessagesHost::Messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::string Unreadable(const std::string& path) {
  return InputRefusal(path);
}

bool Readable(const std::string& path) {
  return Unreadable(path).empty();
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream s(list);
  std::string item;
  while (std::getline(s, item, ','))
    if (!item.empty()) items.push_back(item);
  return items;
}

int ParseInt(const std::string& text, const char* what) {
  try {
    std::size_t used = 0;
    int v = std::stoi(text, &used);
    if (used == text.size()) return v;
  } catch (const std::exception&) {
  }
  throw UsageError{std::string(what) + ": not a whole number: " + text};
}

int CheckInput(const std::string& path, Host& host) {
  if (const std::string failure = Unreadable(path); !failure.empty()) {
    ReportMessage(host, kError, "Input File Does Not Exist! (%s)", failure.c_str());
    return kExitError;
  }
  if (IdentifyProduct(path) == kProductNone) {
    ReportMessage(host, kWarning, "%s", kNotQvxProduct);
    return kExitUnknownProduct;
  }
  return -1;
}

int FormatIndex(const std::string& text) {
  for (std::size_t i = 0; i < kOutputFormatItems.size(); ++i)
    if (kOutputFormatItems[i] == text) return static_cast<int>(i);
  for (const OutputFormatRow& row : kOutputFormats)
    if (!row.ShortName.empty() && row.ShortName == text) return row.Index;
  int v = ParseInt(text, "--format");
  if (v < 0 || v >= static_cast<int>(kOutputFormatItems.size()))
    throw UsageError{"--format: no output format " + text};
  return v;
}

namespace {

void CheckOnly(CheckBox& box, bool on, const std::string& what) {
  if (on && !box.Enabled()) throw UsageError{what + " is not available for this product"};
  box.SetChecked(on);
}

}  // namespace
void ApplyOptions(TMainForm& form, const ConvertOptions& o) {
  ProductConverter& c = *form.CurrentConverter.load();
  if (!o.fields.empty()) {
    form.DeselectAllClick();
    for (const std::string& item : SplitList(o.fields)) {
      const int field = ParseInt(item, "--fields");
      bool offered = false;
      for (std::int16_t f : c.Offered()) offered = offered || f == field;
      if (!offered) throw UsageError{"--fields: field " + item + " is not offered by this product"};
      form.AddSelectedField(static_cast<std::int16_t>(field));
    }
  }
  if (o.allFields) form.SelectAllClick();
  if (!o.delimiter.empty()) {
    static const std::pair<const char*, int> kNames[] = {
        {"comma", 0}, {"semicolon", 1}, {"tab", 2}, {"space", 3}};
    int index = -1;
    for (const auto& [name, i] : kNames)
      if (o.delimiter == name) index = i;
    if (o.delimiter.rfind("other:", 0) == 0) {
      const std::string ch = o.delimiter.substr(6);
      if (ch.size() != 1) throw UsageError{"--delimiter other: takes exactly one character"};
      form.OtherDelimiter.SetText(ch);
      index = 4;
    }
    if (index < 0) throw UsageError{"--delimiter: unknown delimiter " + o.delimiter};
    form.DelimiterGroup.SetItemIndex(index);
  }
  if (o.header) form.FieldTitles.SetChecked(true);
  if (o.noHeader) form.FieldTitles.SetChecked(false);
  if (!o.receivers.empty()) {
    bool on[4] = {};
    if (o.receivers != "none")
      for (const std::string& item : SplitList(o.receivers)) {
        const int r = ParseInt(item, "--receivers");
        if (r < 1 || r > 4) throw UsageError{"--receivers: no receiver " + item};
        on[r - 1] = true;
      }
    for (int i = 0; i < 4; ++i)
      CheckOnly(*form.ReceiverBoxes[i], on[i], "receiver " + std::to_string(i + 1));
  }
  if (!o.data.empty()) {
    struct Box {
      const char* name;
      CheckBox* box;
      bool on;
    } boxes[] = {{"freq", &form.FrequencyField, false},
                 {"channel", &form.ChannelField, false},
                 {"rssi", &form.RSSIField, false},
                 {"sat", &form.SATField, false},
                 {"vmac", &form.VMACField, false}};
    if (o.data != "none")
      for (const std::string& item : SplitList(o.data)) {
        bool known = false;
        for (Box& b : boxes)
          if (item == b.name) known = b.on = true;
        if (!known) throw UsageError{"--data: unknown column " + item};
      }
    for (Box& b : boxes) CheckOnly(*b.box, b.on, std::string("--data ") + b.name);
  }
  if (!o.scanType.empty()) {
    if (o.scanType != "table" && o.scanType != "fast")
      throw UsageError{"--scan-type: table or fast, not " + o.scanType};
    form.ScanTypeGroup.SetItemIndex(o.scanType == "table" ? 0 : 1);
  }
  if (!o.drovelMode.empty()) {
    const int mode = o.drovelMode == "1ch"     ? 0
                     : o.drovelMode == "3ch"   ? 1
                     : o.drovelMode == "table" ? 2
                                               : -1;
    if (mode < 0) throw UsageError{"--drovel-mode: 1ch, 3ch or table, not " + o.drovelMode};
    form.DrovelMode.SetItemIndex(mode);
  }
  if (!o.lambda.empty()) {
    // SPEED[mph|kmh]: a number, then the unit (miles per hour when none is given).
    std::string speed = o.lambda, unit = "mph";
    for (const char* u : {"mph", "kmh"}) {
      const std::size_t n = std::char_traits<char>::length(u);
      if (speed.size() > n && speed.compare(speed.size() - n, n, u) == 0) {
        unit = u;
        speed.resize(speed.size() - n);
      }
    }
    std::size_t used = 0;
    double value = 0;
    try {
      value = std::stod(speed, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != speed.size() || !(value >= 0) || value > 1e6)
      throw UsageError{"--lambda: SPEED[mph|kmh], not " + o.lambda};
    if (!form.rbLambda.Enabled())
      throw UsageError{"--lambda: this product has no 40-wavelength averaging"};
    form.LambdaDlg.LambdaSpeed.SetText(speed);
    (unit == "mph" ? form.LambdaDlg.MPHchoice : form.LambdaDlg.KMHchoice).SetChecked(true);
    form.rbLambda.SetChecked(true);
  }
  // After "40 Lambda": best server wins, as the conversion's own order has it.
  if (o.bestServer) form.BSAvg.SetChecked(true);
  if (!o.perSeconds.empty()) {
    ParseInt(o.perSeconds, "--per-seconds");
    form.rbORPS.SetChecked(true);
    form.ORPS_Value.SetText(o.perSeconds);
  }
  if (!o.perMeters.empty()) {
    if (ParseInt(o.perMeters, "--per-meters") <= 0)
      throw UsageError{"--per-meters: N is a number of metres above 0, not " + o.perMeters};
    if (!form.rbORPM.Enabled())
      throw UsageError{"--per-meters: this product's logs carry no positions"};
    form.rbORPM.SetChecked(true);
    form.ORPM_Value.SetText(o.perMeters);
  }
  if (!o.threshold.empty()) {
    Threshold t;
    std::string why;
    if (!ParseThreshold(o.threshold, t, why)) throw UsageError{"--threshold: " + why};
    if (!form.RadioButton2.Enabled())
      throw UsageError{"--threshold: not available for this product"};
    form.ThresholdDlg.comboField.SetItemIndex(t.Field == ThresholdField::Velocity ? 1 : 0);
    form.ThresholdDlg.comboComparator.SetItemIndex(static_cast<int>(t.Compare));
    char value[32];
    const auto end = std::to_chars(value, value + sizeof value, t.Value).ptr;
    form.ThresholdDlg.edValue.SetText(std::string(value, end));
    form.RadioButton2.SetChecked(true);
  }
  if (!o.channels.empty()) {
    ChannelList list;
    std::string why;
    if (!list.Parse(o.channels, why)) throw UsageError{"--channels: " + why};
    if (!form.RadioButton1.Enabled())
      throw UsageError{"--channels: this product's reader offers no channel list"};
    form.ChannelListDlg.edChannels.SetText(o.channels);
    form.RadioButton1.SetChecked(true);
  }
  if (!o.traffic.empty()) {
    TrafficFilter t;
    std::string why;
    if (!ParseTraffic(o.traffic, t, why))
      throw UsageError{"--traffic: " + why + ", not " + o.traffic};
    if (!form.cbTraffic.Enabled())
      throw UsageError{"--traffic: this product's logs carry no positions"};
    // The dialog keeps the distance in the unit given.
    char value[32];
    const auto end = std::to_chars(value, value + sizeof value, t.Distance).ptr;
    form.TrafficDlg.Distance.SetText(std::string(value, end));
    (t.Minutes ? form.TrafficDlg.Minutes : form.TrafficDlg.Degrees).SetChecked(true);
    const auto tend = std::to_chars(value, value + sizeof value, t.Seconds).ptr;
    form.TrafficDlg.Time.SetText(std::string(value, tend));
    form.cbTraffic.SetChecked(true);
  }
  if (o.split) form.cbSplit.SetChecked(true);
}

void DefaultFields(TMainForm& form) {
  if (form.SelectedBox.Count() != 0) return;
  const ProductConverter& c = *form.CurrentConverter.load();
  for (std::int16_t field : c.Offered())
    if (field != kFieldCrLf) form.AddSelectedField(field);
}

void Deselect(TMainForm& form, const std::string& list) {
  ProductConverter& c = *form.CurrentConverter.load();
  for (const std::string& item : SplitList(list)) {
    const int ordinal = ParseInt(item, "--deselect");
    const std::shared_ptr<SectionTable>& table = c.Sections().Table();
    if (ordinal < 1 || !table || !table->SetSelected(static_cast<std::uint32_t>(ordinal), false))
      throw UsageError{"--deselect: the file has no section " + item};
  }
}

void BuildIndex(TMainForm& form, const std::function<void(int)>& progress,
                std::atomic<Worker*>* pass) {
  if (progress) form.ProgressBar.Changed = [&] { progress(form.ProgressBar.Position()); };
  TMakeIndex index(form, static_cast<std::int16_t>(form.InputFormatGroup.ItemIndex()));
  if (pass) *pass = &index;
  index.Run();
  if (pass) *pass = nullptr;
  form.ProgressBar.Changed = nullptr;
}

int PrepareConvert(TMainForm& form, Host& host, const ConvertOptions& o,
                   PreparedConvert& prepared) {
  const bool folderMode = !o.folder.empty() || !o.outFolder.empty();
  prepared.folderMode = folderMode;
  if (folderMode && (o.folder.empty() || o.outFolder.empty()))
    throw UsageError{"--folder and --out-folder go together"};
  if (!folderMode && o.input.empty()) throw UsageError{"convert needs an INPUT file"};
  if (folderMode && !o.input.empty()) throw UsageError{"INPUT and --folder exclude each other"};
  // A configuration that is not a plain file (a FIFO, a device) is refused, never waited on.
  if (!o.config.empty())
    if (const std::string refusal = Unreadable(o.config); !refusal.empty())
      throw UsageError{"--config: " + refusal};

  form.AutoIndex = false;
  // 1. The configuration file.
  if (!o.config.empty()) form.LoadConfiguration(o.config);
  // 2. The input, chosen as "Browse" (or the folder buttons) would.
  if (folderMode) {
    form.rbMultipleFiles.SetChecked(true);
    form.edInFolder.SetText(o.folder);
    form.edOutFolder.SetText(o.outFolder);
    form.cbInputExt.SetText(o.ext);
    form.edOutputExt.SetText(o.outExt);
    const int count = form.CollectFolderFiles();
    form.edFileCount.SetText(std::to_string(count));
    // Files that are no log are skipped aloud by the run; a folder with no log at all is not
    // from a QVX CW product.
    bool anyLog = false;
    for (int i = 0; i < count && !anyLog; ++i)
      anyLog = IdentifyProduct(form.InputNames[i]) != kProductNone;
    if (count > 0 && !anyLog) {
      ReportMessage(host, kWarning, "%s", kNotQvxProduct);
      return kExitUnknownProduct;
    }
  } else {
    if (int status = CheckInput(o.input, host); status >= 0) return status;
    form.ChooseInputFile(o.input);
  }
  // 3. The output format and its preset.
  if (!o.format.empty()) {
    form.OutputFormatGroup.SetItemIndex(FormatIndex(o.format));
    form.OutputFormatGroupChange();
    if (const std::string refusal = form.LayoutRefusal(); !refusal.empty())
      throw UsageError{"--format: " + refusal};
    if (const std::string refusal = form.GisRefusal(); !refusal.empty())
      throw UsageError{"--format: " + refusal};
    // The format names the outputs with its extension, unless --out-ext named one.
    if (folderMode) {
      if (o.outExt != ".out") form.edOutputExt.SetText(o.outExt);
      form.edFileCount.SetText(std::to_string(form.CollectFolderFiles()));
    }
  }
  // The map options, over those of the configuration (saved with --save-config).
  if (!o.layout.empty() && !ParseTableLayout(o.layout, form.MapLayout))
    throw UsageError{"--layout: wide or long, not " + o.layout};
  SignalColors colors;
  std::string why;
  if (!o.colorThresholds.empty() && !SignalColors::Parse(o.colorThresholds, colors, &why))
    throw UsageError{"--color-thresholds: " + why};
  if (!o.colorThresholds.empty()) form.ColorThresholds.SetText(colors.Text());
  if (!o.colorColumn.empty()) form.ColorColumn.SetText(o.colorColumn);
  // 4. The options.
  ApplyOptions(form, o);
  const ProductRow* product =
      FindProduct(static_cast<std::int16_t>(form.InputFormatGroup.ItemIndex()));
  prepared.gatherFirst = form.rbLambda.Checked() && product && product->Gathering;
  if (prepared.gatherFirst && folderMode)
    throw UsageError{"--lambda: Kes PC-dump files need the average information of one INPUT file"};
  DefaultFields(form);
  if (const std::string refusal = form.LineReductionRefusal(); !refusal.empty())
    throw UsageError{refusal};
  // 5. The output name.
  if (!o.output.empty()) {
    if (folderMode) throw UsageError{"an OUTPUT name does not go with --folder"};
    form.OutputFilename.SetText(o.output);
  }
  if (!o.saveConfig.empty()) {
    const std::string failure = form.SaveConfigurationFailure(o.saveConfig);
    if (!failure.empty()) {
      ReportMessage(host, kError, "%s (%s)", kConfigurationNotWritten, failure.c_str());
      return kExitError;
    }
  }
  return -1;
}

int RunPrepared(TMainForm& form, const ConvertOptions& o, const PreparedConvert& prepared,
                const RunHooks& hooks, RunStage& stoppedIn) {
  stoppedIn = RunStage::None;
  auto gauge = [&](RunStage stage, Gauge& bar) {
    if (hooks.progress)
      bar.Changed = [&hooks, &bar, stage] { hooks.progress(stage, bar.Position()); };
  };
  // 6. The index of a single file, and the sections left out.
  if (!prepared.folderMode) {
    BuildIndex(form, nullptr, hooks.pass);
    if (hooks.Interrupted()) {
      stoppedIn = RunStage::Indexing;
      return kExitError;
    }
    if (!o.deselect.empty()) Deselect(form, o.deselect);
  } else if (!o.deselect.empty()) {
    throw UsageError{"--deselect needs a single INPUT file"};
  }
  // The averaging of a Kes PC-dump file is scaled by its records per second: the average
  // information is gathered first, as the window's "Generate" does.
  if (prepared.gatherFirst) {
    gauge(RunStage::Gathering, form.GeneratorDlg.ProgressBar);
    TMakeList pass(form, form.GeneratorDlg);
    if (hooks.pass) *hooks.pass = &pass;
    if (!hooks.Interrupted()) pass.Run();
    if (hooks.pass) *hooks.pass = nullptr;
    form.GeneratorDlg.ProgressBar.Changed = nullptr;
    if (hooks.progress && hooks.endProgress) hooks.endProgress();
    if (!pass.Completed() || hooks.Interrupted()) {
      if (hooks.Interrupted()) stoppedIn = RunStage::Gathering;
      return kExitError;
    }
  }
  // 7. The conversion.
  gauge(RunStage::Converting, form.ProgressBar);
  if (hooks.converting) *hooks.converting = &form;
  if (!hooks.Interrupted()) {
    form.btnConvertClick();
    form.WaitForConversion();
  }
  if (hooks.converting) *hooks.converting = nullptr;
  form.ProgressBar.Changed = nullptr;
  if (hooks.Interrupted()) {
    stoppedIn = RunStage::Converting;
    return kExitError;
  }
  TConvert* job = form.ConvertWorker();
  if (!job) return kExitError;
  switch (job->Outcome()) {
    case RunOutcome::kCompleted:
      return kExitOk;
    case RunOutcome::kWarned:
      return kExitWarned;
    default:
      return kExitError;
  }
}

std::vector<std::pair<int, std::string>> OfferedFieldList(const TMainForm& form) {
  const ProductConverter& c = *form.CurrentConverter.load();
  std::vector<std::pair<int, std::string>> fields;
  for (std::int16_t field : c.Offered()) fields.emplace_back(field, CatalogueTitle(field));
  return fields;
}

void ListIndex(const TMainForm& form, const std::function<void(const std::string&)>& kind,
               const std::function<void(int, const std::string&)>& section) {
  const SelectionTree& tree = form.tvIndex;
  for (std::size_t r = 0; r < tree.Roots().size(); ++r) {
    kind(tree.Roots()[r]->Text);
    tree.Sections()->Visit(static_cast<std::uint8_t>(r), [&](const TreeNode& node) {
      section(static_cast<int>(node.Ordinal), tree.Text(node));
    });
  }
}

std::vector<IndexNode> IndexListing(const TMainForm& form) {
  std::vector<IndexNode> nodes;
  ListIndex(
      form, [&](const std::string& label) { nodes.emplace_back().label = label; },
      [&](int ordinal, const std::string& label) {
        nodes.back().sections.emplace_back(ordinal, label);
      });
  return nodes;
}

}  // namespace polvane
