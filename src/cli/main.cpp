// polvane: the window's workflow from the command line.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "cli/convert_command.h"
#include "convert/identify.h"
#include "convert/input_file.h"
#include "convert/output_file.h"
#include "convert/output_formats.h"
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

// What an interrupt stops: the passes and conversions of every file being converted (one in a
// single-file or sequential folder run, up to --jobs in a parallel one).
constexpr int kMaxJobs = 64;
std::atomic<TMainForm*> gForms[kMaxJobs];
std::atomic<Worker*> gPasses[kMaxJobs];

std::atomic<bool> gInterrupted{false};

// Set by a map writer whose lines have no attribute of --color-column's name: the run failed
// with the reason, and the command takes it for a usage error.
std::atomic<bool> missingColorColumn{false};

int ColorColumnStatus(const ConvertOptions& o, int status) {
  if (!missingColorColumn) return status;
  std::fprintf(stderr, "polvane: --color-column: these lines have no numeric attribute \"%s\"\n",
               o.colorColumn.c_str());
  return kExitUsage;
}

// Ctrl-C, SIGTERM and SIGHUP stop the run in order. A second one ends the program at once,
// after removing the temporary files of the outputs being written.
extern "C" void OnInterrupt(int sig) {
  if (gInterrupted.exchange(true)) {
    RemoveOpenTemporaries();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  for (int k = 0; k < kMaxJobs; ++k) {
    if (Worker* pass = gPasses[k].load()) pass->Terminate();
    if (TMainForm* f = gForms[k].load()) f->btnCancelClick();
  }
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void CatchStopSignals() {
  for (int sig : kStopSignals) std::signal(sig, OnInterrupt);
}

void ReleaseStopSignals() {
  for (int sig : kStopSignals) std::signal(sig, SIG_DFL);
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
  for (const auto& [index, title] : OfferedFieldList(form))
    std::printf("%d\t%s\n", index, title.c_str());
  return kExitOk;
}

void BuildIndex(TMainForm& form, CliHost& host, bool quiet) {
  const bool bar = !quiet && isatty(fileno(stderr));
  std::function<void(int)> progress;
  if (bar) progress = [&](int percent) { host.Progress(percent); };
  BuildIndex(form, progress, &gPasses[0]);
  if (bar) host.EndProgress();
}

int RunIndex(const std::string& file, bool quiet) {
  CliHost host;
  if (int status = CheckInput(file, host); status >= 0) return status;
  TMainForm form(host);
  form.AutoIndex = false;
  form.ChooseInputFile(file);
  BuildIndex(form, host, quiet);
  // A line per section (a log may have millions): written as printf's "  %d\t%s\n" would,
  // without formatting each.
  ListIndex(
      form, [](const std::string& label) { std::printf("%s\n", label.c_str()); },
      [](int ordinal, const std::string& label) {
        char number[16] = {' ', ' '};
        char* end = std::to_chars(number + 2, number + sizeof number - 1, ordinal).ptr;
        *end++ = '\t';
        std::fwrite(number, 1, static_cast<std::size_t>(end - number), stdout);
        std::fwrite(label.c_str(), 1, std::strlen(label.c_str()), stdout);
        std::fputc('\n', stdout);
      });
  return kExitOk;
}

void ReportInterrupted(RunStage stage) {
  if (stage == RunStage::Indexing)
    std::fprintf(stderr, "polvane: interrupted while indexing; nothing was converted\n");
  else if (stage == RunStage::Converting)
    // The run stopped as "CANCEL" stops it: what was converted so far stays in the output,
    // but a script must not take it for the whole file.
    std::fprintf(stderr,
                 "polvane: interrupted; the output holds only the records converted "
                 "before the interruption\n");
}

// A folder run with --jobs N > 1: every log is converted as a run of its own, with converters of
// its own, exactly as `polvane convert LOG OUT` converts it; N logs at a time. The first failure
// ends the run once the logs being converted are done; an interrupt stops all of them.
int RunFolderJobs(const ConvertOptions& o, TMainForm& folder, CliHost& host) {
  const std::vector<std::string> inputs(folder.InputNames.begin(),
                                        folder.InputNames.begin() + folder.FileCount);
  const std::vector<std::string> outputs(folder.OutputNames.begin(),
                                         folder.OutputNames.begin() + folder.FileCount);
  const int count = static_cast<int>(inputs.size());
  // The files of the whole run are checked as the sequential run checks them, before anything
  // is written: no output (or piece of one) is any log of the run, no two logs write one
  // output; files that are no logs are skipped (each log is a run of its own product).
  TConvert run(folder);
  run.FileCount = count;
  run.InputNames = inputs;
  run.OutputNames = outputs;
  if (!run.PairsCanBeWritten()) return kExitError;
  // What each log left unconverted, for the completion message, in the order of the logs.
  std::vector<std::vector<std::string>> warnings(count);
  std::atomic<int> skipped{0};
  // The logs are taken largest first, so that the last log a worker converts alone is a short
  // one; logs of one size keep the folder's order. Whether a file is a log at all is found out
  // by the worker that takes it, so the first conversion starts at once.
  std::vector<std::uint64_t> sizes(count);
  for (int i = 0; i < count; ++i) sizes[i] = FileSize(inputs[i]);
  std::vector<int> order(count);
  for (int i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return sizes[a] > sizes[b]; });
  const bool bar = !o.quiet && isatty(fileno(stderr));
  std::atomic<int> next{0}, done{0};
  std::atomic<bool> failed{false};
  std::mutex reportMutex;
  int status = kExitOk;
  RunStage stopped = RunStage::None;

  // Every log's output is synced and moved into place here while the workers go on.
  OutputSyncer syncer;

  auto convertFiles = [&](int slot) {
    for (int k; !failed && !gInterrupted && (k = next++) < count;) {
      const int i = order[k];
      if (const std::string reason = run.SkipReason(inputs[i], true); !reason.empty()) {
        // Named in the completion message, in the order of the logs, as the sequential run
        // does.
        {
          std::lock_guard lock(reportMutex);
          warnings[i].push_back(std::string(kInputSkipped) + " (" + inputs[i] + ": " + reason +
                                ")");
        }
        ++skipped;
        const int finished = ++done;
        if (bar) host.Progress(count ? finished * 100 / count : 100);
        continue;
      }
      ConvertOptions one = o;
      one.folder.clear();
      one.outFolder.clear();
      one.saveConfig.clear();
      one.input = inputs[i];
      one.output = outputs[i];
      KeptMessagesHost fileHost;
      int fileStatus = kExitOk;
      RunStage stage = RunStage::None;
      std::string usage;
      try {
        TMainForm form(fileHost);
        InstallGisWriters(form, &missingColorColumn);
        form.SharedOutputSyncer = &syncer;
        PreparedConvert prepared;
        fileStatus = PrepareConvert(form, fileHost, one, prepared);
        if (fileStatus < 0) {
          RunHooks hooks;
          hooks.interrupted = &gInterrupted;
          hooks.pass = &gPasses[slot];
          hooks.converting = &gForms[slot];
          fileStatus = RunPrepared(form, one, prepared, hooks, stage);
        }
      } catch (const UsageError& e) {
        fileStatus = kExitUsage;
        usage = inputs[i] + ": " + e.reason;
      }
      std::lock_guard lock(reportMutex);
      for (const auto& [type, text] : fileHost.Messages())
        if (type == kWarning && text.rfind(kCompletedText, 0) == 0) {
          // The log's completion message lists what it left unconverted, a line each.
          std::istringstream lines(text.substr(std::strlen(kCompletedText)));
          for (std::string line; std::getline(lines, line);)
            if (!line.empty()) warnings[i].push_back(line);
        } else if (type != kInformation) {
          // A message that names neither file of the pair is told which log it is about.
          const bool named = text.find(inputs[i]) != std::string::npos ||
                             text.find(outputs[i]) != std::string::npos;
          host.ShowMessage(type, named ? text : text + " (" + inputs[i] + ")");
        }
      if (!usage.empty()) {
        host.EndProgress();
        std::fprintf(stderr, "polvane: %s\n", usage.c_str());
      }
      if (stage != RunStage::None) stopped = stage;
      if (fileStatus == kExitWarned) {
        // Converted as far as the file allowed: the others go on.
        if (status == kExitOk) status = kExitWarned;
      } else if (fileStatus != kExitOk && !gInterrupted) {
        if (status == kExitOk || status == kExitWarned) status = fileStatus;
        failed = true;
      }
      const int finished = ++done;
      if (bar) host.Progress(count ? finished * 100 / count : 100);
    }
  };
  const int jobs = std::min(o.jobs, std::max(count, 1));
  std::vector<std::thread> workers;
  for (int k = 1; k < jobs; ++k) workers.emplace_back(convertFiles, k);
  convertFiles(0);
  for (std::thread& w : workers) w.join();
  // The outputs of the logs converted, in place (or failed) before the run says how it ended.
  const std::vector<std::string> unsynced = syncer.Settle();
  ReleaseStopSignals();
  if (bar) host.EndProgress();
  for (const std::string& failure : unsynced)
    ReportMessage(host, kError, "%s (%s)", "Output File Cannot Be Accessed!", failure.c_str());
  if (!unsynced.empty() && (status == kExitOk || status == kExitWarned)) status = kExitError;
  if (gInterrupted) {
    ReportInterrupted(stopped == RunStage::None ? RunStage::Converting : stopped);
    return kExitError;
  }
  if (status != kExitOk && status != kExitWarned) return ColorColumnStatus(o, status);
  std::string text = kCompletedText;
  const int skippedFiles = skipped.load();
  if (skippedFiles > 0)
    text += " (converted " + std::to_string(count - skippedFiles) + ", skipped " +
            std::to_string(skippedFiles) + ")";
  bool warned = skippedFiles > 0;
  for (const std::vector<std::string>& lines : warnings)
    for (const std::string& line : lines) {
      text += "\n" + line;
      warned = true;
    }
  host.ShowMessage(warned ? kWarning : kInformation, text);
  return warned ? kExitWarned : kExitOk;
}

int RunConvert(const ConvertOptions& o) {
  if (o.jobs < 1 || o.jobs > kMaxJobs)
    throw UsageError{"--jobs: 1 to " + std::to_string(kMaxJobs) + " logs at a time"};
  if (o.jobs > 1 && o.folder.empty()) throw UsageError{"--jobs goes with --folder"};
  CliHost host;
  TMainForm form(host);
  InstallGisWriters(form, &missingColorColumn);
  PreparedConvert prepared;
  if (int status = PrepareConvert(form, host, o, prepared); status >= 0) return status;
  // From here on Ctrl-C (and SIGTERM, SIGHUP) stops the run in order rather than killing it.
  CatchStopSignals();
  if (prepared.folderMode && o.jobs > 1) return RunFolderJobs(o, form, host);
  const bool bar = !o.quiet && isatty(fileno(stderr));
  RunHooks hooks;
  if (bar) {
    hooks.progress = [&](RunStage, int percent) { host.Progress(percent); };
    hooks.endProgress = [&] { host.EndProgress(); };
  }
  hooks.interrupted = &gInterrupted;
  hooks.pass = &gPasses[0];
  hooks.converting = &gForms[0];
  RunStage stopped = RunStage::None;
  const int status = RunPrepared(form, o, prepared, hooks, stopped);
  ReleaseStopSignals();
  ReportInterrupted(stopped);
  return ColorColumnStatus(o, status);
}

}  // namespace
}  // namespace polvane

int main(int argc, char** argv) {
  using namespace polvane;
  CLI::App app{
      "Polvane CW: converts QVX CW receiver logs into delimited text, fixed layouts or maps."};
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
  convert->add_option("-f,--format", o.format,
                      "output format: 0 to 16, its name, or gpkg, geojson, kml, shp");
  convert->add_option("--layout", o.layout,
                      "GIS outputs: wide (a row per line) or long (a row per reading)");
  convert->add_option("--color-thresholds", o.colorThresholds,
                      "KML colours by strongest RSSI, dBm thresholds (default -70,-85,-100)");
  convert->add_option("--color-column", o.colorColumn,
                      "KML colours by this numeric attribute instead, e.g. \"Rec#2 RSSI\"");
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
  convert->add_option("--per-meters", o.perMeters,
                      "one record per N meters driven, with the stretch's mean levels");
  convert->add_option("--threshold", o.threshold,
                      "keep the lines that meet FIELD COMPARATOR VALUE: RSSI or Velocity, "
                      "> >= = <= <, a number (RSSI>-90)");
  convert->add_option("--channels", o.channels,
                      "keep only these channels in the data group, e.g. 100-120,450; best server "
                      "chooses among them");
  convert->add_option("--traffic", o.traffic,
                      "drop the lines of a stop: D[deg|min],T, not D travelled in T seconds");
  convert->add_option("--lambda", o.lambda,
                      "40-wavelength averaging at the vehicle's average speed, SPEED[mph|kmh] "
                      "(default mph)");
  convert->add_option("--deselect", o.deselect, "section ordinals to leave out");
  convert->add_flag("--split", o.split, "split outputs over 60000 records into pieces");
  convert->add_option("--save-config", o.saveConfig, "save the settings before converting");
  convert->add_flag("-q,--quiet", o.quiet, "no progress bar");
  convert->add_option("--jobs", o.jobs,
                      "in folder mode, convert N logs at once, each as a run of its own");

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
