#include "app/main_form.h"

#include <fnmatch.h>
#include <algorithm>
#include <cctype>

#include <filesystem>

#include "app/convert_job.h"
#include "convert/identify.h"
#include "convert/product_rows.h"
#include "index/make_index.h"

namespace polvane {

namespace {

namespace fs = std::filesystem;

// The stem of a derived output name: the name less its last 4 characters, the extension
// they hold. The cut never reaches into the folder part: a file-name part without a "." among its
// last 4 characters has no extension to cut and is kept whole.
std::string DropLast4(const std::string& s) {
  const std::size_t slash = s.find_last_of('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t length = s.size() - start;
  if (length > 4 && s.find('.', s.size() - 4) != std::string::npos)
    return s.substr(0, s.size() - 4);
  return s;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return (fs::path(folder) / name).string();
}

}  // namespace

TMainForm::TMainForm(Host& host) : host_(host) {
  InputNames.assign(1, "");
  OutputNames.assign(1, "");
  InputFormatGroup.OnClick = [this] { InputFormatGroupClick(); };
  CurrentConverter = converters_.ForCode(kProductTarvik);
  FormCreate();
}

TMainForm::~TMainForm() {
  GeneratorDlg.StopWorker();
  StopIndexing();
  if (convert_) convert_->Terminate();
  WaitForConversion();
}

void TMainForm::FormCreate() {
  CurrentConverter = converters_.ForCode(kProductTarvik);
  ListOfferedFields();
  OutputFormatGroup.SetItemIndex(kCustomAsciiFormat);
}

// ---------------------------------------------------------------------------------------------
// Product and files

std::string LogDialogFilter() {
  const std::string filter = kLogFileFilter;
  std::string patterns;
  // "Label|patterns|Label|patterns": every second piece.
  std::size_t at = 0;
  for (int piece = 0; at <= filter.size(); ++piece) {
    const std::size_t bar = std::min(filter.find('|', at), filter.size());
    if (piece % 2 == 1) patterns += (patterns.empty() ? "" : ";") + filter.substr(at, bar - at);
    at = bar + 1;
  }
  return "All logs|" + patterns + "|" + filter;
}

void TMainForm::InBrowseClick() {
  FileDialogSpec spec{"", LogDialogFilter(), "*.512", true};
  std::string path;
  if (!host_.OpenFileDialog(spec, path)) return;
  ChooseInputFile(path);
}

std::int16_t TMainForm::ChooseInputFile(const std::string& path) {
  // A file that is not there, cannot be read or is no plain file (a FIFO, which is never
  // waited on) is not a file of an unknown product.
  if (const std::string refusal = InputRefusal(path); !refusal.empty()) {
    ReportMessage(host_, kError, "Input File Does Not Exist! (%s)", refusal.c_str());
    return kProductNone;
  }
  StopIndexing();
  Current().SetBatchMode(false);
  const std::int16_t code = IdentifyProduct(path);
  if (code != kProductNone) {
    // The names are in place before the product switch starts indexing, so the index is built
    // for the chosen file.
    InputFilename.SetText(path);
    OutputFilename.SetText(DropLast4(path) + OutputExtension());
    FileCount = 1;
    InputNames.assign(1, InputFilename.Text());
    OutputNames.assign(1, OutputFilename.Text());
  }
  InputFormatGroup.SetItemIndex(0);
  InputFormatGroup.SetItemIndex(code);
  if (code == kProductNone) ReportMessage(host_, kWarning, "%s", kNotQvxProduct);
  if (code != kProductNone && FileUsed) FileUsed(path, false);
  if (rbLambda.Checked() && AverageInformationNeeded()) GeneratorDlg.SetVisible(true);
  return code;
}

void TMainForm::OutBrowseClick() {
  FileDialogSpec spec{"", "", "", false};
  std::string path = OutputFilename.Text();
  if (host_.SaveFileDialog(spec, path)) OutputFilename.SetText(path);
}

void TMainForm::InputFormatGroupClick() {
  const int index = InputFormatGroup.ItemIndex();
  if (index <= 0) {
    PreviousInputFormat = 0;
    return;
  }
  ProductConverter& old = Current();
  const bool batch = old.BatchMode();
  const auto code = static_cast<std::int16_t>(index);
  const ProductRow* row = FindProduct(code);
  // A product without a reader is listed but not taken: the previous product comes back (this
  // runs the handler for it in full).
  const bool taken = !row || row->Make;
  if (!taken)
    InputFormatGroup.SetItemIndex(PreviousInputFormat);
  else if (row)
    ApplyProductSettings(*row);
  if (taken) {
    // The selected list is the form's, so it stays as it is for the new product.
    if (ProductConverter* next = converters_.ForCode(code)) CurrentConverter = next;
    ListOfferedFields();
  }
  Current().SetBatchMode(batch);
  if (taken && !batch && AutoIndex) StartIndexing(code);
  PreviousInputFormat = static_cast<std::int16_t>(InputFormatGroup.ItemIndex());
}

void TMainForm::ApplyProductSettings(const ProductRow& product) {
  InputFormatLabel.SetCaption(ProductLabel(product.Code));
  const bool scanType = product.ScanType;
  ScanTypeGroup.SetEnabled(scanType);
  ScanTypeGroup.SetVisible(scanType);
  ScanTypeGroup.SetItemIndex(scanType ? 1 : 0);
  DrovelMode.SetEnabled(product.ScanModes);
  DrovelMode.SetVisible(product.ScanModes);
  for (int i = 0; i < 4; ++i) {
    CheckBox* box = ReceiverBoxes[i];
    if (i < product.Receivers) {
      box->SetEnabled(true);
    } else {
      box->SetEnabled(false);
      box->SetChecked(false);
    }
  }
  SATField.SetEnabled(product.SatAndVmac);
  if (!product.SatAndVmac) SATField.SetChecked(false);
  VMACField.SetEnabled(product.SatAndVmac);
  if (!product.SatAndVmac) VMACField.SetChecked(false);
  ApplyReductionChoices(product.Code);
}

void TMainForm::ApplyReductionChoices(std::int16_t code) {
  const ProductRow* product = FindProduct(code);
  const bool averages = product && product->Averaging;
  rbLambda.SetEnabled(averages);
  btnLambda.SetEnabled(averages);
  if (!averages && rbLambda.Checked()) NoAvg.SetChecked(true);
  const bool perSeconds = product && product->PerSeconds;
  for (Control* c : {static_cast<Control*>(&rbORPS), static_cast<Control*>(&ORPS_Value)}) {
    c->SetEnabled(perSeconds);
    c->SetVisible(perSeconds);
  }
  if (!perSeconds && rbORPS.Checked()) cbAT_None.SetChecked(true);
  ApplyLineReductionChoices(code);
}

void TMainForm::ListOfferedFields() {
  AvailableBox.Clear();
  const ProductConverter& c = Current();
  for (std::int16_t field : c.Offered()) AvailableBox.Add(CatalogueTitle(field));
}

int TMainForm::CollectFolderFiles() {
  const std::string folder = edInFolder.Text();
  const std::string pattern = cbInputExt.Text();
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) continue;
    std::string name = it->path().filename().string();
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  InputNames.clear();
  OutputNames.clear();
  for (const std::string& name : names) {
    InputNames.push_back(JoinPath(folder, name));
    OutputNames.push_back(JoinPath(edOutFolder.Text(), DropLast4(name) + edOutputExt.Text()));
  }
  if (!names.empty()) {
    // The run's product is that of its first log: files that are no log (empty, unreadable,
    // another kind of file) do not decide it.
    std::int16_t code = kProductNone;
    for (std::size_t i = 0; i < InputNames.size() && code == kProductNone; ++i)
      code = IdentifyProduct(InputNames[i]);
    Current().SetBatchMode(true);
    InputFormatGroup.SetItemIndex(0);
    InputFormatGroup.SetItemIndex(code);
  }
  FileCount = static_cast<int>(names.size());
  return FileCount;
}

void TMainForm::FileModeClick() {
  if (rbMultipleFiles.Checked()) {
    StopIndexing();
    tvIndex.Clear();
    converters_.ForEach([](ProductConverter& c) { c.Sections().ClearTable(); });
    return;
  }
  Current().SetBatchMode(false);
  const auto code = static_cast<std::int16_t>(InputFormatGroup.ItemIndex());
  if (AutoIndex && code != kProductNone && !InputFilename.Text().empty() && tvIndex.Roots().empty())
    StartIndexing(code);
}

void TMainForm::btnInFolderClick() {
  std::string folder = edInFolder.Text();
  if (!host_.ChooseFolder(folder)) return;
  edInFolder.SetText(folder);
  if (!edOutFolder.Text().empty()) edFileCount.SetText(std::to_string(CollectFolderFiles()));
}

void TMainForm::btnOutFolderClick() {
  std::string folder = edOutFolder.Text();
  if (!host_.ChooseFolder(folder)) return;
  edOutFolder.SetText(folder);
  if (!edInFolder.Text().empty()) edFileCount.SetText(std::to_string(CollectFolderFiles()));
}

// ---------------------------------------------------------------------------------------------
// Fields

void TMainForm::AddSelectedField(std::int16_t field) {
  std::lock_guard lock(selectionLock_);
  const int pos = SelectedBox.Count();
  if (pos >= kMaxSelected) return;
  selectedTags_[pos] = field;
  SelectedBox.Add(CatalogueTitle(field));
}

void TMainForm::SetSelectedList(const std::vector<std::string>& texts,
                                const std::vector<std::int16_t>& tags) {
  std::lock_guard lock(selectionLock_);
  SelectedBox.Clear();
  const std::size_t n = std::min<std::size_t>(texts.size(), kMaxSelected);
  for (std::size_t i = 0; i < n; ++i) {
    selectedTags_[i] = i < tags.size() ? tags[i] : 0;
    SelectedBox.Add(texts[i]);
  }
}

Selection TMainForm::SnapshotSelection() const {
  std::lock_guard lock(selectionLock_);
  Selection s;
  s.Texts = SelectedBox.Items();
  if (s.Texts.size() > kMaxSelected) s.Texts.resize(kMaxSelected);
  for (std::size_t i = 0; i < s.Texts.size(); ++i) s.Tags.push_back(selectedTags_[i]);
  return s;
}

void TMainForm::SelectClick() {
  const int i = AvailableBox.ItemIndex();
  const ProductConverter& c = Current();
  if (i < 0 || i >= static_cast<int>(c.Offered().size())) return;
  std::lock_guard lock(selectionLock_);
  const int pos = SelectedBox.Count();
  if (pos >= kMaxSelected) return;
  selectedTags_[pos] = c.Offered()[i];
  SelectedBox.Add(AvailableBox.Item(i));
}

void TMainForm::DeselectClick() {
  std::lock_guard lock(selectionLock_);
  const int i = SelectedBox.ItemIndex();
  const int count = SelectedBox.Count();
  if (i < 0 || i >= count) return;
  auto& tags = selectedTags_;
  for (int k = i; k + 1 < kMaxSelected; ++k) tags[k] = tags[k + 1];
  SelectedBox.Delete(i);
}

void TMainForm::SelectAllClick() {
  const ProductConverter& c = Current();
  std::lock_guard lock(selectionLock_);
  const std::span<const std::int16_t> offered = c.Offered();
  for (int i = 0; i < AvailableBox.Count() && i < static_cast<int>(offered.size()); ++i) {
    const int pos = SelectedBox.Count();
    if (pos >= kMaxSelected) break;
    selectedTags_[pos] = offered[i];
    SelectedBox.Add(AvailableBox.Item(i));
  }
}

void TMainForm::DeselectAllClick() {
  std::lock_guard lock(selectionLock_);
  SelectedBox.Clear();
  selectedTags_.fill(-10);
}

// ---------------------------------------------------------------------------------------------
// Conversion settings

char TMainForm::CurrentDelimiter() const {
  return ChosenDelimiter(*this);
}

std::int16_t TMainForm::CurrentReductionMode() const {
  return ChosenReductionMode(*this);
}

ConversionSettings TMainForm::RunSettings() const {
  ConversionSettings s = ControlSettings(*this);
  s.FixedLayout = FixedLayout.load();
  s.Reduction = CurrentLineReduction();
  s.Channels = CurrentChannelList();
  s.LambdaMetresPerSecond = LambdaDlg.MetresPerSecond();
  return s;
}

void TMainForm::rbLambdaClick() {
  rbLambda.SetChecked(true);
  if (AverageInformationNeeded()) GeneratorDlg.SetVisible(true);
}

void TMainForm::btnLambdaClick() {
  LambdaDlg.SetVisible(true);
}

bool TMainForm::AverageInformationNeeded() const {
  const ProductRow* product = FindProduct(static_cast<std::int16_t>(InputFormatGroup.ItemIndex()));
  if (!product || !product->Gathering || !rbSingleFile.Checked()) return false;
  const std::string file = InputFilename.Text();
  return !file.empty() && GeneratorDlg.GatheredFile() != file;
}

void TMainForm::sbHelpClick() {
  ReportMessage(host_, kInformation, "%s", kSplitHelp);
}

}  // namespace polvane
