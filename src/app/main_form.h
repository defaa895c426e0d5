// The main window as a headless model: its controls, its state and its handlers. The Qt window
// and the command line both drive it; each run takes its settings from it when it starts.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/converter_registry.h"
#include "app/form_controls.h"
#include "app/host.h"
#include "app/indexed_reader.h"
#include "convert/record_loop.h"
#include "convert/signal_colors.h"
#include "gis/gis_options.h"
#include "index/reduction_dialogs.h"
#include "index/selection_tree.h"

namespace polvane {

class TConvert;
class TMakeIndex;
class Profile;

inline constexpr const char* kMainCaption = "QVX Polvane CW 5.52";
inline constexpr const char* kApplicationTitle = "QVX Polvane CW";
// The products' "Label|*.ext" entries, from the products table.
inline const std::string kLogFileFilter = LogFileFilter();
// The filter of the log dialog: "All logs" with the patterns of every product first, then
// kLogFileFilter's own.
std::string LogDialogFilter();
inline constexpr const char* kNotQvxProduct = "File is not from a QVX CW product.";
inline constexpr const char* kLayoutNotWritten = "Output Format Not Available For This Product!";
inline constexpr const char* kNoFieldSelected = "At Least One Field Must Be Selected.";
inline constexpr const char* kMapNotWritten = "Map Output Not Available!";
inline constexpr const char* kSpeedNotANumber = "Average Speed Must Be A Number!";
inline constexpr const char* kReductionRefused = "Data Reduction Cannot Be Applied!";
inline constexpr const char* kConfigurationNotWritten = "Configuration File Cannot Be Written!";
inline constexpr const char* kConfigurationIsAnInput = "it is an input of this run";
// The usual drive-test bands: green at or above -70 dBm, yellow to -85, orange to -100, red
// below.
inline constexpr const char* kDefaultColorThresholds = "-70,-85,-100";
// The three thresholds of the window's colour dialog, strongest first (green, yellow, orange),
// checked: each a number of dBm from -200 to 0, and each below the one before it. "" when they
// stand, with their bands in `colors`; else the reason, as the dialog shows it.
std::string CheckColorThresholds(const std::array<std::string, 3>& texts, SignalColors& colors);
inline constexpr const char* kSplitHelp =
    "The Excel Split option will split the output file into multiple files of no more than "
    "60000 records if needed. A subfolder with the name of the original output folder will be "
    "created.";

class TMainForm : public FormControls {
 public:
  explicit TMainForm(Host& host);
  ~TMainForm();

  Host& host() { return host_; }
  const ConverterRegistry& Converters() const { return converters_; }

  // Start-up: the Tarvik converter current, its fields offered, receivers bound.
  void FormCreate();

  // --- Product and files ---
  void InBrowseClick();
  // What "Browse" does once a path is chosen (the command line calls it directly).
  // Returns the product code (0: unknown, warned).
  std::int16_t ChooseInputFile(const std::string& path);
  void OutBrowseClick();
  void InputFormatGroupClick();
  // What the window offers for a product (its row of the products table).
  void ApplyProductSettings(const ProductRow& product);
  void ListOfferedFields();
  int CollectFolderFiles();
  void btnInFolderClick();
  void btnOutFolderClick();
  // "Single File" or "Multiple Files" was clicked. Folder mode honours no sections, so the tree
  // is emptied; back in single-file mode the chosen file is indexed again.
  void FileModeClick();

  // --- Fields ---
  void SelectClick();
  void DeselectClick();
  void SelectAllClick();
  void DeselectAllClick();
  // Appends catalogue field `field` to the selected list (as a preset or a stored list does).
  void AddSelectedField(std::int16_t field);
  // Replaces the selected list and the current converter's tags together.
  void SetSelectedList(const std::vector<std::string>& texts,
                       const std::vector<std::int16_t>& tags);
  Selection SnapshotSelection() const;

  // --- Output format ---
  void OutputFormatGroupChange();
  // Whether output-format list index `format` is one of the fixed layouts.
  static bool IsFixedLayout(int format);
  // The window's state for the layout of `format`, without its preset: the delimiter, header
  // and selection controls, and the fixed-layout flag (a loaded configuration restores it).
  void ApplyLayoutState(int format);
  // Gives the output name (and the folder mode's output extension) the chosen format's
  // extension, where it has one of the formats' extensions.
  void NameOutputsForFormat();
  // Why the chosen product's reader cannot write the chosen fixed layout ("QVX Tarvik does not
  // write the Wireless Valley InFielder layout"); empty when it can, or no layout is chosen.
  std::string LayoutRefusal() const;
  // Why the chosen GIS format cannot be written ("QVX Drovel logs hold no position"); empty
  // when it can, or no GIS format is chosen.
  std::string GisRefusal() const;
  // The extension of the output names: the chosen format's own (".gpkg"), else ".out".
  std::string OutputExtension() const;

  // --- Conversion ---
  void btnConvertClick();
  void btnCancelClick();
  // Waits for the running conversion, if any.
  void WaitForConversion();
  TConvert* ConvertWorker() { return convert_.get(); }
  // Checked from "CONVERT" until its run has ended (completed, cancelled or failed): the window
  // closes the controls that would change the run meanwhile.
  CheckBox RunActive{"Converting"};
  // The run in the status bar: records per second and the time left while it converts, its
  // summary (how it ended, lines and files written, then each output on a line) once it ended.
  Control RunStatus{""};
  // Set by a front end that takes the delimited lines itself (the GIS writers, the data
  // frames, the preview): each run's job makes one sink per output name with it. Unset, the
  // delimited file is written.
  std::function<std::unique_ptr<LineSink>(const std::string& output)> LineSinkFactory;
  // The writer of the GIS formats (GeoPackage, GeoJSON, KML, Shapefile), set by the front ends
  // that link it: a sink for an output name in the format of a list index.
  std::function<std::unique_ptr<LineSink>(const std::string& output, int format)> GisSinkFactory;
  // Why that writer cannot be had (the map writers' module is missing); "" when it can. Asked
  // only once a map format is chosen; unset, the writer is taken to be there.
  std::function<std::string()> GisWritersMissing;
  // Set by a front end that runs several single-file runs at once (a folder's logs, a few at a
  // time): their outputs are synced and moved into place there while the runs go on, and the
  // front end waits for them (OutputSyncer::Settle) and reports what failed. Unset, a run syncs
  // its outputs itself (a folder run on a syncer of its own).
  OutputSyncer* SharedOutputSyncer = nullptr;
  // Settings of the record loop as the window's controls stand.
  char CurrentDelimiter() const;
  std::int16_t CurrentReductionMode() const;
  // The settings of a run that starts now: the controls, the fixed-layout state and the
  // reduction dialogs' choices. Made on the thread that drives the window, once per run.
  ConversionSettings RunSettings() const;

  // --- Indexing ---
  // A product switch in single-file mode starts indexing on a worker (the window's way); the
  // command line turns it off and indexes in place when it needs the tree.
  bool AutoIndex = true;
  void StartIndexing(std::int16_t code);
  void WaitForIndexing();
  void StopIndexing();
  bool Indexing() const;
  SelectionTree tvIndex;
  // The reader of the last index pass that read its whole file, for the conversion of that file.
  IndexedReaderSlot IndexedReader;

  // --- Data reduction ---
  // "40 Lambda": for a Kes PC-dump file whose average information has not been gathered, the
  // average-information dialog is offered.
  void rbLambdaClick();
  // "OPTIONS" of "40 Lambda": the Lambda dialog.
  void btnLambdaClick();
  // Whether the chosen file's averaging needs the average information, and it is missing.
  bool AverageInformationNeeded() const;
  // The choices of the product `code`: averaging for the readers that average, one record per
  // N seconds for the Kes PC card.
  void ApplyReductionChoices(std::int16_t code);
  // Threshold for every product; traffic and one record per N metres for the products with
  // positions.
  void ApplyLineReductionChoices(std::int16_t code);
  // "OPTIONS" of "Threshold", "Traffic" and "Channel List": their dialogs.
  void btnThresholdClick();
  void btnTrafficClick();
  void btnChannelListClick();
  // The channels of "Channel List" when it is checked (empty: every channel).
  ChannelList CurrentChannelList() const;
  // The threshold, traffic and metres choices of the window as the record loop applies them,
  // and why they cannot be applied to the chosen product and layout ("" when they can).
  LineReduction CurrentLineReduction() const;
  std::string LineReductionRefusal() const;
  TLambdaDlg LambdaDlg;
  TTrafficDlg TrafficDlg;
  TGeneratorDlg GeneratorDlg{*this};
  TThresholdDlg ThresholdDlg;
  TChannelListDlg ChannelListDlg;

  // --- Configuration ---
  void SaveConfiguration1Click();
  void OpenConfiguration1Click();
  bool SaveConfiguration(const std::string& path);
  // The same; "" when saved, else "PATH: REASON" of the failure.
  std::string SaveConfigurationFailure(const std::string& path);
  std::string BesideInput(const std::string& name) const;
  void LoadConfiguration(const std::string& path);
  // The [Reduction] section of a configuration file.
  void LoadReduction(const Profile& p);

  // --- Map colours ---
  // The signal bands of the KML output and of the window's map: thresholds in dBm, strongest
  // first, separated by commas.
  EditField ColorThresholds{kDefaultColorThresholds};
  // The bands of ColorThresholds; the usual ones when it holds no list of thresholds.
  SignalColors CurrentColors() const;
  // The table shape of the map formats' features (--layout) and the numeric attribute whose
  // value colours each point ("Rec#2 RSSI"; empty: the line's strongest RSSI), kept in a
  // configuration's [Map] section.
  TableLayout MapLayout = TableLayout::Wide;
  EditField ColorColumn{""};
  // The choices of the map writers as the form stands: MapLayout, CurrentColors() and
  // ColorColumn. A writer made by GisSinkFactory takes them when its file starts.
  GisOptions CurrentMapOptions() const;

  // --- Recent files ---
  // Told of each log chosen (of a known product) and each configuration opened or saved.
  std::function<void(const std::string& path, bool configuration)> FileUsed;

  // --- Help ---
  void sbHelpClick();

  // State besides the controls.
  std::atomic<ProductConverter*> CurrentConverter{nullptr};
  std::int16_t PreviousInputFormat = 1;
  std::atomic<bool> FixedLayout{false};
  std::int16_t PreviousOutputFormat = kCustomAsciiFormat;
  int FileCount = 1;
  std::vector<std::string> InputNames;
  std::vector<std::string> OutputNames;

 private:
  ProductConverter& Current() const { return *CurrentConverter.load(); }

  Host& host_;
  ConverterRegistry converters_;
  // Guards SelectedBox together with selectedTags_.
  mutable std::mutex selectionLock_;
  // The catalogue index of each entry of SelectedBox, in its order; the list stays when the
  // product changes.
  std::array<std::int16_t, kMaxSelected> selectedTags_{};
  std::unique_ptr<TConvert> convert_;
  std::unique_ptr<TMakeIndex> index_;
};

}  // namespace polvane
