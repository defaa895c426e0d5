// polvane: the window's workflow from the command line.
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <unordered_map>

#include "app/convert_job.h"
#include "app/identify.h"
#include "app/main_form.h"
#include "index/make_index.h"
#include "index/make_list.h"

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace polvane {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnknownProduct = 3;
constexpr int kExitWarned = 4;

struct UsageError {
  std::string reason;
};

// Messages go to standard error as "CAPTION: TEXT"; dialogs are never shown.
class CliHost : public Host {
 public:
  bool OpenFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool SaveFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool ChooseFolder(std::string&) override { return false; }
  void ShowMessage(int type, const std::string& text) override {
    std::lock_guard lock(mutex_);
    if (progressShown_) std::fputc('\n', stderr);
    progressShown_ = false;
    std::fprintf(stderr, "%s: %s\n", MessageCaption(type), text.c_str());
  }
  void Synchronize(const std::function<void()>& fn) override {
    std::lock_guard lock(syncMutex_);
    fn();
  }
  // A progress bar on standard error.
  void Progress(int percent) {
    std::lock_guard lock(mutex_);
    char bar[41];
    int filled = percent * 40 / 100;
    for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
    bar[40] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
    progressShown_ = true;
  }
  void EndProgress() {
    std::lock_guard lock(mutex_);
    if (progressShown_) std::fputc('\n', stderr);
    progressShown_ = false;
  }

 private:
  std::mutex mutex_;
  std::recursive_mutex syncMutex_;
  bool progressShown_ = false;
};

std::atomic<TMainForm*> gForm{nullptr};
// The index or average-information pass that an interrupt stops.
std::atomic<Worker*> gPass{nullptr};

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
  gInterrupted = true;
  if (Worker* pass = gPass.load()) pass->Terminate();
  if (TMainForm* f = gForm.load()) f->btnCancelClick();
}

bool Readable(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
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

// Reports the product of a single input as the window would; returns an exit status or -1.
int CheckInput(const std::string& path, CliHost& host) {
  if (!Readable(path)) {
    ReportMessage(host, kError, "Input File Does Not Exist!");
    return kExitError;
  }
  if (IdentifyProduct(path) == kProductNone) {
    ReportMessage(host, kWarning, "%s", kNotQvxProduct);
    return kExitUnknownProduct;
  }
  return -1;
}

int RunIdentify(const std::vector<std::string>& files) {
  bool allKnown = true;
  for (const std::string& f : files) {
    const std::int16_t code = IdentifyProduct(f);
    allKnown = allKnown && code != kProductNone;
    std::printf("%s\t%d\t%s\n", f.c_str(), code, ProductLabel(code));
  }
  return allKnown ? kExitOk : kExitUnknownProduct;
}

int RunFields(const std::string& file) {
  CliHost host;
  if (int status = CheckInput(file, host); status >= 0) return status;
  TMainForm form(host);
  form.AutoIndex = false;
  form.ChooseInputFile(file);
  const ProductConverter& c = *form.CurrentConverter.load();
  for (int i = 0; i < c.OfferedCount; ++i)
    std::printf("%d\t%s\n", c.OfferedFields[i], CatalogueTitle(c.OfferedFields[i]));
  return kExitOk;
}

void BuildIndex(TMainForm& form, CliHost& host, bool quiet) {
  const bool bar = !quiet && isatty(fileno(stderr));
  if (bar) form.ProgressBar.Changed = [&] { host.Progress(form.ProgressBar.Position()); };
  TMakeIndex index(form, static_cast<std::int16_t>(form.InputFormatGroup.ItemIndex()));
  gPass = &index;
  index.Run();
  gPass = nullptr;
  form.ProgressBar.Changed = nullptr;
  if (bar) host.EndProgress();
}

int RunIndex(const std::string& file, bool quiet) {
  CliHost host;
  if (int status = CheckInput(file, host); status >= 0) return status;
  TMainForm form(host);
  form.AutoIndex = false;
  form.ChooseInputFile(file);
  BuildIndex(form, host, quiet);
  // Each section's number in the file, looked up by node: a day's log has many thousands.
  const ProductConverter& c = *form.CurrentConverter.load();
  std::unordered_map<const TreeNode*, int> ordinals;
  ordinals.reserve(c.SectionNodes.size());
  for (std::size_t k = 1; k < c.SectionNodes.size(); ++k)
    if (c.SectionNodes[k]) ordinals.emplace(c.SectionNodes[k], static_cast<int>(k));
  for (const auto& root : form.tvIndex.Roots()) {
    std::printf("%s\n", root->Text.c_str());
    for (const auto& section : root->Children) {
      const auto found = ordinals.find(section.get());
      std::printf("  %d\t%s\n", found == ordinals.end() ? 0 : found->second, section->Text.c_str());
    }
  }
  return kExitOk;
}

struct ConvertOptions {
  std::string input, output, config, format, fields, delimiter, receivers, data, scanType,
      drovelMode, perSeconds, perMeters, lambda, deselect, saveConfig, folder, outFolder;
  std::string ext = "*.pvf", outExt = ".out";
  bool allFields = false, header = false, noHeader = false, bestServer = false, split = false,
       quiet = false;
};

int FormatIndex(const std::string& text) {
  for (std::size_t i = 0; i < kOutputFormatItems.size(); ++i)
    if (kOutputFormatItems[i] == text) return static_cast<int>(i);
  int v = ParseInt(text, "--format");
  if (v < 0 || v >= static_cast<int>(kOutputFormatItems.size()))
    throw UsageError{"--format: no output format " + text};
  return v;
}

void CheckOnly(CheckBox& box, bool on, const std::string& what) {
  if (on && !box.Enabled()) throw UsageError{what + " is not available for this product"};
  box.SetChecked(on);
}

void ApplyOptions(TMainForm& form, const ConvertOptions& o) {
  ProductConverter& c = *form.CurrentConverter.load();
  if (!o.fields.empty()) {
    form.DeselectAllClick();
    for (const std::string& item : SplitList(o.fields)) {
      const int field = ParseInt(item, "--fields");
      bool offered = false;
      for (int i = 0; i < c.OfferedCount; ++i) offered = offered || c.OfferedFields[i] == field;
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
    ParseInt(o.perMeters, "--per-meters");
    form.rbORPM.SetChecked(true);
    form.ORPM_Value.SetText(o.perMeters);
  }
  if (o.split) form.cbSplit.SetChecked(true);
}

// Every offered field except "CR / LF", when nothing else selected a field.
void DefaultFields(TMainForm& form) {
  if (form.SelectedBox.Count() != 0) return;
  const ProductConverter& c = *form.CurrentConverter.load();
  for (int i = 0; i < c.OfferedCount; ++i)
    if (c.OfferedFields[i] != kFieldCrLf) form.AddSelectedField(c.OfferedFields[i]);
}

void Deselect(TMainForm& form, const std::string& list) {
  ProductConverter& c = *form.CurrentConverter.load();
  for (const std::string& item : SplitList(list)) {
    const int ordinal = ParseInt(item, "--deselect");
    if (ordinal < 1 || ordinal >= static_cast<int>(c.SectionNodes.size()) ||
        !c.SectionNodes[ordinal])
      throw UsageError{"--deselect: the file has no section " + item};
    c.SectionNodes[ordinal]->StateIndex = kStateDeselected;
  }
}

int RunConvert(const ConvertOptions& o) {
  CliHost host;
  const bool folderMode = !o.folder.empty() || !o.outFolder.empty();
  if (folderMode && (o.folder.empty() || o.outFolder.empty()))
    throw UsageError{"--folder and --out-folder go together"};
  if (!folderMode && o.input.empty()) throw UsageError{"convert needs an INPUT file"};
  if (folderMode && !o.input.empty()) throw UsageError{"INPUT and --folder exclude each other"};
  if (!o.config.empty() && !Readable(o.config))
    throw UsageError{"--config: no such file " + o.config};

  TMainForm form(host);
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
    if (count > 0 && IdentifyProduct(form.InputNames[0]) == kProductNone) {
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
  }
  // 4. The options.
  ApplyOptions(form, o);
  const bool gatherFirst =
      form.rbLambda.Checked() && form.InputFormatGroup.ItemIndex() == kProductKesDump;
  if (gatherFirst && folderMode)
    throw UsageError{"--lambda: Kes PC-dump files need the average information of one INPUT file"};
  DefaultFields(form);
  // 5. The output name.
  if (!o.output.empty()) {
    if (folderMode) throw UsageError{"an OUTPUT name does not go with --folder"};
    form.OutputFilename.SetText(o.output);
  }
  if (!o.saveConfig.empty() && !form.SaveConfiguration(o.saveConfig)) {
    ReportMessage(host, kError, "Configuration File Cannot Be Written!");
    return kExitError;
  }
  // 6. The index of a single file, and the sections left out. From here on Ctrl-C stops the
  // run in order rather than killing it.
  std::signal(SIGINT, OnInterrupt);
  if (!folderMode) {
    BuildIndex(form, host, true);
    if (gInterrupted) {
      std::signal(SIGINT, SIG_DFL);
      std::fprintf(stderr, "polvane: interrupted while indexing; nothing was converted\n");
      return kExitError;
    }
    if (!o.deselect.empty()) Deselect(form, o.deselect);
  } else if (!o.deselect.empty()) {
    throw UsageError{"--deselect needs a single INPUT file"};
  }
  const bool bar = !o.quiet && isatty(fileno(stderr));
  // The averaging of a Kes PC-dump file is scaled by its records per second: the average
  // information is gathered first, as the window's "Generate" does.
  if (gatherFirst) {
    if (bar)
      form.GeneratorDlg.ProgressBar.Changed = [&] {
        host.Progress(form.GeneratorDlg.ProgressBar.Position());
      };
    TMakeList pass(form, form.GeneratorDlg);
    gPass = &pass;
    pass.Run();
    gPass = nullptr;
    form.GeneratorDlg.ProgressBar.Changed = nullptr;
    if (bar) host.EndProgress();
    if (!pass.Completed()) {
      std::signal(SIGINT, SIG_DFL);
      return kExitError;
    }
  }
  // 7. The conversion.
  if (bar) form.ProgressBar.Changed = [&] { host.Progress(form.ProgressBar.Position()); };
  gForm = &form;
  form.btnConvertClick();
  form.WaitForConversion();
  std::signal(SIGINT, SIG_DFL);
  gForm = nullptr;
  form.ProgressBar.Changed = nullptr;
  TConvert* job = form.ConvertWorker();
  if (gInterrupted) {
    // The run stopped as "CANCEL" stops it: what was converted so far stays in the output,
    // but a script must not take it for the whole file.
    std::fprintf(stderr,
                 "polvane: interrupted; the output holds only the records converted "
                 "before the interruption\n");
    return kExitError;
  }
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

}  // namespace
}  // namespace polvane

int main(int argc, char** argv) {
  using namespace polvane;
  CLI::App app{"Polvane CW: converts QVX CW receiver logs into delimited text or fixed layouts."};
  app.require_subcommand(1);

  std::vector<std::string> identifyFiles;
  auto* identify = app.add_subcommand("identify", "Print the product of each file");
  identify->add_option("FILE", identifyFiles, "log files")->required();

  std::string fieldsFile;
  auto* fields = app.add_subcommand("fields", "List the fields the file's product offers");
  fields->add_option("FILE", fieldsFile, "log file")->required();

  std::string indexFile;
  bool indexQuiet = false;
  auto* index = app.add_subcommand("index", "Print the sections of the file");
  index->add_option("FILE", indexFile, "log file")->required();
  index->add_flag("-q,--quiet", indexQuiet, "no progress bar");

  ConvertOptions o;
  auto* convert = app.add_subcommand("convert", "Convert a log file, or every log of a folder");
  convert->add_option("INPUT", o.input, "the log file");
  convert->add_option("OUTPUT,-o,--output", o.output,
                      "output name (default: INPUT less its last 4 characters, plus .out)");
  convert->add_option("--folder", o.folder, "convert every matching file of this folder");
  convert->add_option("--out-folder", o.outFolder, "folder of the outputs in folder mode");
  convert->add_option("--ext", o.ext, "input pattern in folder mode (default *.pvf)");
  convert->add_option("--out-ext", o.outExt, "output extension in folder mode (default .out)");
  convert->add_option("-c,--config", o.config, "load a configuration file first");
  convert->add_option("-f,--format", o.format, "output format: 0 to 12 or its name");
  convert->add_option("--fields", o.fields, "selected fields: catalogue indices, comma-separated");
  convert->add_flag("--all-fields", o.allFields, "select every offered field");
  convert->add_option("-d,--delimiter", o.delimiter, "comma|semicolon|tab|space|other:C");
  convert->add_flag("--header", o.header, "write the titles line");
  convert->add_flag("--no-header", o.noHeader, "no titles line");
  convert->add_option("-r,--receivers", o.receivers, "receivers to convert: 1,2,.. or none");
  convert->add_option("--data", o.data, "data columns: freq,channel,rssi,sat,vmac or none");
  convert->add_option("--scan-type", o.scanType, "table|fast");
  convert->add_option("--drovel-mode", o.drovelMode, "1ch|3ch|table");
  convert->add_flag("--best-server", o.bestServer, "reduce to the best server");
  convert->add_option("--per-seconds", o.perSeconds, "one record per N seconds");
  convert->add_option("--per-meters", o.perMeters, "one record per N meters");
  convert->add_option("--lambda", o.lambda,
                      "40-wavelength averaging at the vehicle's average speed, SPEED[mph|kmh] "
                      "(default mph)");
  convert->add_option("--deselect", o.deselect, "section ordinals to leave out");
  convert->add_flag("--split", o.split, "split outputs over 60000 records into pieces");
  convert->add_option("--save-config", o.saveConfig, "save the settings before converting");
  convert->add_flag("-q,--quiet", o.quiet, "no progress bar");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::fprintf(stderr, "polvane: %s\n", e.what());
    return kExitUsage;
  }
  try {
    if (*identify) return RunIdentify(identifyFiles);
    if (*fields) return RunFields(fieldsFile);
    if (*index) return RunIndex(indexFile, indexQuiet);
    if (*convert) return RunConvert(o);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "polvane: %s\n", e.reason.c_str());
    return kExitUsage;
  }
  return kExitUsage;
}
