// The options of a conversion as the command line names them, and the setup of a run from them:
// the configuration, the input, the output format and its preset, the controls, the default
// fields and the output name, in the order the command line applies them. The `polvane`
// command and the Python module both prepare their runs here, so both take the same options to
// the same settings.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/host.h"
#include "app/main_form.h"

namespace polvane {

constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitUnknownProduct = 3;
// The run completed, but part of the input could not be converted (with a warning).
constexpr int kExitWarned = 4;

// A front end without dialogs that keeps the messages of a run for its caller to report: a file
// of a parallel folder run, a call of the Python module.
class KeptMessagesHost : public Host {
 public:
  bool OpenFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool SaveFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool ChooseFolder(std::string&) override { return false; }
  void ShowMessage(int type, const std::string& text) override;
  void Synchronize(const std::function<void()>& fn) override;
  // (type, text) of every message so far, in order.
  std::vector<std::pair<int, std::string>> Messages();

 private:
  std::mutex mutex_;
  std::recursive_mutex syncMutex_;
  std::vector<std::pair<int, std::string>> messages_;
};

// A bad option: the command line prints the reason and exits 2.
struct UsageError {
  std::string reason;
};

struct ConvertOptions {
  std::string input, output, config, format, fields, delimiter, receivers, data, scanType,
      drovelMode, perSeconds, perMeters, lambda, deselect, saveConfig, folder, outFolder, threshold,
      traffic, channels;
  // The GIS outputs: the table shape ("wide" or "long"), the KML colour thresholds and the
  // attribute that colours the points.
  std::string layout, colorThresholds, colorColumn;
  std::string ext = "*.pvf", outExt = ".out";
  bool allFields = false, header = false, noHeader = false, bestServer = false, split = false,
       quiet = false;
  // Logs of a folder converted at once; above 1 each is a run of its own.
  int jobs = 1;
};

// "" when path is a regular file that can be read, else "PATH: REASON". A FIFO or device is
// refused without opening it for reading, so nothing blocks on it.
std::string Unreadable(const std::string& path);
bool Readable(const std::string& path);
std::vector<std::string> SplitList(const std::string& list);
// A whole number, else a usage error naming `what`.
int ParseInt(const std::string& text, const char* what);
// The index of an output format given by number or by its name in the list.
int FormatIndex(const std::string& text);

// Reports a missing input or an unknown product as the window would; returns an exit status,
// or -1 when the file can be converted.
int CheckInput(const std::string& path, Host& host);

// Sets the controls from the options (step 4 of a conversion's setup).
void ApplyOptions(TMainForm& form, const ConvertOptions& o);
// Every offered field except "CR / LF", when nothing else selected a field.
void DefaultFields(TMainForm& form);
// Leaves out the sections of the file index with the listed ordinals.
void Deselect(TMainForm& form, const std::string& list);

// Builds the file index as the window does whenever a file is chosen. `progress` (when set)
// receives the gauge's percentages; `pass` holds the running worker so that an interrupt can
// stop it.
void BuildIndex(TMainForm& form, const std::function<void(int)>& progress,
                std::atomic<Worker*>* pass = nullptr);

struct PreparedConvert {
  bool folderMode = false;
  // The Kes PC-dump averaging needs the average information gathered before the conversion.
  bool gatherFirst = false;
};

// Steps 1 to 5 of a conversion: validates the options, loads the configuration, chooses the
// input (or the folder's files), the format and its preset, applies the options, the default
// fields, the output name, and saves the configuration when asked. Returns -1 when the run can
// go on, else the exit status (its message has been reported through `host`). Usage errors are
// thrown as UsageError.
int PrepareConvert(TMainForm& form, Host& host, const ConvertOptions& o, PreparedConvert& prepared);

// Where a run was when it was interrupted.
enum class RunStage { None, Indexing, Gathering, Converting };

// What a front end gives a run: progress of its passes and the places an interrupt reaches.
struct RunHooks {
  // Percentages of the average-information pass and of the conversion (when set), and the end
  // of each pass's gauge.
  std::function<void(RunStage, int)> progress;
  std::function<void()> endProgress;
  // Set by the front end when the run is to stop; the run looks at it between its passes.
  const std::atomic<bool>* interrupted = nullptr;
  // The running index or average-information pass, and the form while it converts, so that an
  // interrupt can stop them.
  std::atomic<Worker*>* pass = nullptr;
  std::atomic<TMainForm*>* converting = nullptr;
  bool Interrupted() const { return interrupted && interrupted->load(); }
};

// Steps 6 and 7 of a prepared conversion: the index of a single file and the sections left out,
// the average information where the averaging needs it, and the conversion, waited for. Returns
// the exit status; `stoppedIn` says where an interrupt stopped the run.
int RunPrepared(TMainForm& form, const ConvertOptions& o, const PreparedConvert& prepared,
                const RunHooks& hooks, RunStage& stoppedIn);

// Lets the form write the map formats (GeoPackage, GeoJSON, KML, Shapefile) with its map
// options (set by the configuration and the options). A run whose lines have no attribute of
// the chosen colour column sets `missingColorColumn` (when given) and fails.
void InstallGisWriters(TMainForm& form, std::atomic<bool>* missingColorColumn = nullptr);

// The offered fields of the chosen file's product, in offer order: (catalogue index, title).
std::vector<std::pair<int, std::string>> OfferedFieldList(const TMainForm& form);

// The built index: each top-level node with its sections as (ordinal in the file, label).
struct IndexNode {
  std::string label;
  std::vector<std::pair<int, std::string>> sections;
};
std::vector<IndexNode> IndexListing(const TMainForm& form);
// The same, one node at a time: `kind` for each top-level node, then `section` for each of its
// sections. Nothing is gathered, so a log of millions of sections lists in constant memory.
void ListIndex(const TMainForm& form, const std::function<void(const std::string&)>& kind,
               const std::function<void(int, const std::string&)>& section);

}  // namespace polvane
