// Saving and loading the window's settings as a profile (INI) file.
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/main_form.h"
#include "convert/output_file.h"

namespace polvane {

namespace {

const FileDialogSpec kSaveSpec{"Save Configuration", "Configuration Files (*.cfg)|*.cfg", ".cfg",
                               false};
const FileDialogSpec kOpenSpec{"Open Configuration", "Configuration Files (*.cfg)|*.cfg", ".cfg",
                               true};

constexpr int kMaxListedFields = 1000;  // a Count beyond this is not a list this program wrote

}  // namespace

class Profile {
 public:
  explicit Profile(const std::string& path) : ini_(false, false, false) {
    ini_.SetSpaces(false);
    // Only a plain file is read: a FIFO or a device is never waited on, and reads as a file
    // that is not there.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      if (std::FILE* f = ::fdopen(fd, "rb")) {
        loaded_ = ini_.LoadFile(f) >= 0;
        std::fclose(f);
      } else {
        ::close(fd);
      }
    } else if (fd >= 0) {
      ::close(fd);
    }
    if (!loaded_) ini_.Reset();
  }
  void Write(const char* section, const std::string& key, const std::string& value) {
    ini_.SetValue(section, key.c_str(), value.c_str());
  }
  void Write(const char* section, const std::string& key, long value) {
    Write(section, key, std::to_string(value));
  }
  void WriteBool(const char* section, const char* key, bool value) {
    Write(section, key, value ? "1" : "0");
  }
  std::string Read(const char* section, const std::string& key, const char* byDefault) const {
    return ini_.GetValue(section, key.c_str(), byDefault);
  }
  long ReadInt(const char* section, const std::string& key, long byDefault) const {
    return ini_.GetLongValue(section, key.c_str(), byDefault);
  }
  bool ReadBool(const char* section, const char* key, bool byDefault) const {
    return ReadInt(section, key, byDefault ? 1 : 0) != 0;
  }
  bool HasSection(const char* section) const { return ini_.GetSection(section) != nullptr; }
  // Written beside the file and moved into place: a failed save leaves the old file whole.
  bool Save(const std::string& path, int& error) {
    std::string text;
    if (ini_.Save(text, false) < 0) {
      error = 0;
      return false;
    }
    OutputFile out;
    if (!out.Open(path)) {
      error = out.Error();
      return false;
    }
    out.WriteBinary(text.data(), text.size());
    const bool ok = out.Close();
    error = out.Error();
    return ok;
  }

 private:
  CSimpleIniA ini_;
  bool loaded_ = false;
};

namespace {

std::string Numbered(const char* word, int i) {
  return word + std::to_string(i);
}

struct BoolKey {
  const char* key;
  CheckBox* box;
  bool byDefault;
};

// The boolean keys of [OutputFilter], in the order they are written and loaded.
std::vector<BoolKey> BoolKeys(FormControls& f) {
  return {{"Receiver1", &f.Receiver1, true},
          {"Receiver2", &f.Receiver2, false},
          {"Receiver3", &f.Receiver3, false},
          {"Receiver4", &f.Receiver4, false},
          {"FrequencyField", &f.FrequencyField, true},
          {"ChannelField", &f.ChannelField, false},
          {"RSSIField", &f.RSSIField, true},
          {"SATField", &f.SATField, false},
          {"VMACField", &f.VMACField, false},
          {"NoAvg", &f.NoAvg, true},
          {"BSAvg", &f.BSAvg, false}};
}

}  // namespace

void TMainForm::SaveConfiguration1Click() {
  std::string path;
  if (!host_.SaveFileDialog(kSaveSpec, path)) return;
  const std::string failure = SaveConfigurationFailure(path);
  if (!failure.empty())
    ReportMessage(host_, kError, "%s (%s)", kConfigurationNotWritten, failure.c_str());
  else if (FileUsed)
    FileUsed(path, true);
}

void TMainForm::OpenConfiguration1Click() {
  std::string path;
  if (!host_.OpenFileDialog(kOpenSpec, path)) return;
  LoadConfiguration(path);
  if (FileUsed) FileUsed(path, true);
}

bool TMainForm::SaveConfiguration(const std::string& path) {
  return SaveConfigurationFailure(path).empty();
}

std::string TMainForm::SaveConfigurationFailure(const std::string& path) {
  // A configuration saved over a log of the run would destroy it.
  std::vector<std::string> inputs = InputNames;
  inputs.push_back(InputFilename.Text());
  for (const std::string& input : inputs)
    if (SameFile(path, input)) return path + ": " + kConfigurationIsAnInput;
  // A configuration is a plain file: a FIFO or a device is neither read nor written.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return path + ": " + (S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : kNotRegularFile);
  Profile p(path);
  p.Write("Product", "InputFormat", InputFormatGroup.ItemIndex());
  p.Write("InputFile", "Filename", InputFilename.Text());
  p.Write("OutputFilter", "DrovelMode", DrovelMode.ItemIndex());
  p.Write("OutputFilter", "ScanType", ScanTypeGroup.ItemIndex());
  for (const auto& [key, box, byDefault] : BoolKeys(*this))
    p.WriteBool("OutputFilter", key, box->Checked());
  p.Write("OutFormat", "Format", OutputFormatGroup.ItemIndex());
  p.Write("OutputFieldSelection", "Delimiter", DelimiterGroup.ItemIndex());
  p.WriteBool("OutputFieldSelection", "FieldTitles", FieldTitles.Checked());
  const std::vector<std::string> available = AvailableBox.Items();
  p.Write("AvailableFields", "Count", static_cast<long>(available.size()));
  for (std::size_t i = 0; i < available.size(); ++i)
    p.Write("AvailableFields", Numbered("Field", static_cast<int>(i)), available[i]);
  const Selection selected = SnapshotSelection();
  p.Write("SelectedFields", "Count", selected.Count());
  for (int i = 0; i < selected.Count(); ++i) {
    p.Write("SelectedFields", Numbered("Field", i), selected.Texts[i]);
    p.Write("SelectedTags", Numbered("Tag", i), selected.Tags[i]);
  }
  p.Write("OutputFile", "Filename", OutputFilename.Text());
  // The line reductions, in a section of their own: files written before it load as they did.
  p.WriteBool("Reduction", "Threshold", RadioButton2.Checked());
  p.Write("Reduction", "ThresholdField", ThresholdDlg.comboField.Text());
  p.Write("Reduction", "ThresholdComparator", ThresholdDlg.comboComparator.Text());
  p.Write("Reduction", "ThresholdValue", ThresholdDlg.edValue.Text());
  p.WriteBool("Reduction", "Traffic", cbTraffic.Checked());
  p.Write("Reduction", "TrafficDistance", TrafficDlg.Distance.Text());
  p.Write("Reduction", "TrafficUnit", TrafficDlg.Minutes.Checked() ? "minutes" : "degrees");
  p.Write("Reduction", "TrafficTime", TrafficDlg.Time.Text());
  p.WriteBool("Reduction", "ChannelList", RadioButton1.Checked());
  p.Write("Reduction", "Channels", ChannelListDlg.edChannels.Text());
  p.WriteBool("Reduction", "PerMeters", rbORPM.Checked());
  p.Write("Reduction", "PerMetersValue", ORPM_Value.Text());
  // The colour bands of the KML output and the map, in a section of their own as well.
  p.Write("MapColors", "Thresholds", CurrentColors().Text());
  // The map formats' table shape and colour column.
  p.Write("Map", "Layout", TableLayoutName(MapLayout));
  p.Write("Map", "ColorColumn", ColorColumn.Text());
  int error = 0;
  if (!p.Save(path, error)) return PathError(path, error);
  return {};
}

void TMainForm::LoadConfiguration(const std::string& path) {
  const Profile p(path);
  // The file name goes in first, so that an index started by the product switch reads the
  // configuration's file.
  InputFilename.SetText(p.Read("InputFile", "Filename", "Sample.in"));
  InputFormatGroup.SetItemIndex(static_cast<int>(p.ReadInt("Product", "InputFormat", 0)));
  DrovelMode.SetItemIndex(static_cast<int>(p.ReadInt("OutputFilter", "DrovelMode", 0)));
  ScanTypeGroup.SetItemIndex(static_cast<int>(p.ReadInt("OutputFilter", "ScanType", 0)));
  for (const auto& [key, box, byDefault] : BoolKeys(*this))
    box->SetChecked(p.ReadBool("OutputFilter", key, byDefault));
  // The file keeps only these two reduction choices: one saved with another choice leaves both
  // off, and the window's choice stands when it is still offered, else "Convert All Data".
  if (!NoAvg.Checked() && !BSAvg.Checked() && !(rbLambda.Checked() && rbLambda.Enabled()))
    NoAvg.SetChecked(true);
  // Assigning the index does not run the format handler: its preset is not applied again (the
  // file holds the fields, delimiter and header), but the window takes the state of the
  // format's layout, as choosing it by hand gives.
  const int format = static_cast<int>(p.ReadInt("OutFormat", "Format", 0));
  OutputFormatGroup.SetItemIndex(format);
  ApplyLayoutState(OutputFormatGroup.ItemIndex());
  DelimiterGroup.SetItemIndex(static_cast<int>(p.ReadInt("OutputFieldSelection", "Delimiter", 0)));
  FieldTitles.SetChecked(p.ReadBool("OutputFieldSelection", "FieldTitles", false));

  AvailableBox.Clear();
  const long available =
      std::clamp(p.ReadInt("AvailableFields", "Count", 0), 0L, static_cast<long>(kMaxListedFields));
  for (int i = 0; i < available; ++i)
    AvailableBox.Add(p.Read("AvailableFields", Numbered("Field", i), ""));
  const long selected =
      std::clamp(p.ReadInt("SelectedFields", "Count", 0), 0L, static_cast<long>(kMaxSelected));
  std::vector<std::string> texts;
  std::vector<std::int16_t> tags;
  for (int i = 0; i < selected; ++i) {
    tags.push_back(static_cast<std::int16_t>(p.ReadInt("SelectedTags", Numbered("Tag", i), 0)));
    texts.push_back(p.Read("SelectedFields", Numbered("Field", i), ""));
  }
  SetSelectedList(texts, tags);
  OutputFilename.SetText(p.Read("OutputFile", "Filename", "Sample.out"));
  if (p.HasSection("Reduction")) LoadReduction(p);
  // A file without the colour bands (or with a list that is none) gives the usual ones.
  SignalColors colors;
  if (!SignalColors::Parse(p.Read("MapColors", "Thresholds", kDefaultColorThresholds), colors))
    colors = SignalColors();
  ColorThresholds.SetText(colors.Text());
  // A file without [Map] (or with a layout that does not read) gives the wide rows and the
  // strongest RSSI.
  MapLayout = TableLayout::Wide;
  ParseTableLayout(p.Read("Map", "Layout", "wide"), MapLayout);
  ColorColumn.SetText(p.Read("Map", "ColorColumn", ""));
}

void TMainForm::LoadReduction(const Profile& p) {
  // A choice the chosen product does not offer stays off.
  const auto item = [&p](ComboBox& box, const char* key) {
    const std::string text = p.Read("Reduction", key, box.Text().c_str());
    const std::vector<std::string>& items = box.Items();
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i] == text) box.SetItemIndex(static_cast<int>(i));
  };
  item(ThresholdDlg.comboField, "ThresholdField");
  item(ThresholdDlg.comboComparator, "ThresholdComparator");
  ThresholdDlg.edValue.SetText(
      p.Read("Reduction", "ThresholdValue", ThresholdDlg.edValue.Text().c_str()));
  RadioButton2.SetChecked(p.ReadBool("Reduction", "Threshold", false) && RadioButton2.Enabled());
  TrafficDlg.Distance.SetText(
      p.Read("Reduction", "TrafficDistance", TrafficDlg.Distance.Text().c_str()));
  (p.Read("Reduction", "TrafficUnit", "degrees") == "minutes" ? TrafficDlg.Minutes
                                                              : TrafficDlg.Degrees)
      .SetChecked(true);
  TrafficDlg.Time.SetText(p.Read("Reduction", "TrafficTime", TrafficDlg.Time.Text().c_str()));
  cbTraffic.SetChecked(p.ReadBool("Reduction", "Traffic", false) && cbTraffic.Enabled());
  ChannelListDlg.edChannels.SetText(
      p.Read("Reduction", "Channels", ChannelListDlg.edChannels.Text().c_str()));
  RadioButton1.SetChecked(p.ReadBool("Reduction", "ChannelList", false) && RadioButton1.Enabled());
  ORPM_Value.SetText(p.Read("Reduction", "PerMetersValue", ORPM_Value.Text().c_str()));
  if (p.ReadBool("Reduction", "PerMeters", false)) {
    if (rbORPM.Enabled()) rbORPM.SetChecked(true);
  } else if (rbORPM.Checked()) {
    cbAT_None.SetChecked(true);
  }
}

}  // namespace polvane
