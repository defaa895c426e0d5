#include "app/convert_job.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

#include <cerrno>
#include <unordered_map>
#include <unordered_set>

#include "app/identify.h"
#include "app/main_form.h"
#include "convert/output_formats.h"
#include "convert/section_table.h"
#include "formats/fixed_layouts.h"

namespace polvane {

namespace fs = std::filesystem;

namespace {

// Reads the file through `c` as the index does (every record parsed, nothing written), until its
// end or until `stop` is set. The readers carry what they decode from one pass over a file to the
// next (channel plans, tables, best-server state), so a conversion that starts from this pass
// starts as the window's conversion of a file it has just indexed does, whatever ran before.
void ReadAsIndexed(ProductConverter& c, const std::string& path, const std::atomic<bool>& stop) {
  if (c.OpenInput(path) != 0) return;  // the conversion reports the failure
  c.SetConverting(false);
  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  for (int n = c.ReadRecord(buffer.get()); n != 0 && !stop.load(std::memory_order_relaxed);
       n = c.ReadRecord(buffer.get()))
    c.ParseRecord(buffer.get());
  c.Sections().ClearStarted();
  c.CloseInput();
}

}  // namespace

TConvert::TConvert(TMainForm& form) : form_(form) {
  TakeSettings();
}

void TConvert::TakeSettings() {
  Settings = form_.RunSettings();
  Fields = form_.SnapshotSelection();
}

void TConvert::Message(int type, const char* text) {
  if (type == kError && summary_.Failure.empty()) summary_.Failure = text;
  Host& host = form_.host();
  host.Synchronize([&] { ReportMessage(host, type, "%s", text); });
}

void TConvert::Message(int type, const char* text, const std::string& detail) {
  Message(type, (std::string(text) + " (" + detail + ")").c_str());
}

// The gauge is window state: it is set on the GUI thread like every other change of the window.
// It changes only with the whole percentage, at most 101 times a file.
void TConvert::Gauge(int percent) {
  form_.host().Synchronize([&] { form_.ProgressBar.SetPosition(percent); });
}

// Called with each new whole percentage of the current file, on the run's thread.
void TConvert::Progress(int percent) {
  const std::uint64_t records = recordsBefore_ + loop_.RecordsRead();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const double done =
      bytesTotal_ == 0
          ? 0.0
          : (double(bytesBefore_) + double(bytesNow_) * percent / 100.0) / double(bytesTotal_);
  const std::string text = RunProgressText(records, seconds, done, fileNow_, FileCount);
  form_.host().Synchronize([&] {
    form_.ProgressBar.SetPosition(percent);
    form_.RunStatus.SetCaption(text);
  });
}

void TConvert::Finish() {
  summary_.Outcome = outcome_.load();
  summary_.FilesConverted = filesDone_;
  summary_.FileCount = FileCount;
  const std::string text = summary_.Text();
  form_.host().Synchronize([&] {
    form_.RunStatus.SetCaption(text);
    form_.btnConvert.SetEnabled(true);
    form_.RunActive.SetChecked(false);
  });
}

bool TConvert::ConvertPair(const std::string& input, const std::string& output, RunState& run) {
  ProductConverter& c = *converter_;
  if (c.OpenInput(input) != 0) {
    Message(kError, "Input File Does Not Exist!", PathError(input, c.Source().Error()));
    return false;
  }
  // The progress of the file is of the size it had when it was opened.
  bytesNow_ = c.Source().Size();
  if (SinkFactory && !Settings.FixedLayout) return ConvertToSink(c, input, output, run);
  OutputFile out;
  if (!out.Open(output)) {
    c.CloseInput();
    Message(kError, "Output File Cannot Be Accessed!", out.ErrorText());
    return false;
  }
  c.SetConverting(true);
  c.SetOutputName(output);  // each output of a fixed layout gets its own side file beside it
  const std::uint64_t size = bytesNow_;
  Gauge(0);

  if (const OutputFormatRow* row = FindOutputFormat(Settings.OutputFormat))
    if (!row->PreHeader.empty()) out.WriteText(row->PreHeader);

  const FileResult result = loop_.Run(c, out, Fields, run, size);
  c.SetConverting(false);
  if (c.Source().Failed()) {
    // What was read is not the whole log: the earlier output stays as it was.
    out.Abandon();
    Message(kError, kInputCannotBeRead, PathError(input, c.Source().Error()));
    return false;
  }
  if (SectionsLost(c)) {
    out.Abandon();
    return false;
  }
  if (!(syncer_ ? out.Close(*syncer_) : out.Close())) {
    Message(kError, "Output File Cannot Be Accessed!", out.ErrorText());
    return false;
  }
  summary_.Records = Settings.FixedLayout;
  summary_.Lines += result.Lines;
  summary_.Outputs.push_back(output);
  if (result.Cancelled) {
    // The user asked for the run to end: the partial output stays under its name, is not
    // split, and the gauge stays where the run stopped.
    summary_.LastPartial = true;
    ReportCancelled(output, result.Lines, filesDone_);
    return false;
  }
  if (result.Damaged()) {
    // The reader took damaged or cut-short data for the end of the log: what came before it
    // is converted, and the run says what was left.
    WarnDamaged(input, result);
  }
  Gauge(100);
  if (Settings.Split && c.RecordsWritten() > kSplitLines) {
    if (!Split(output)) return false;
    // The pieces in their order: a shorter name has the smaller number.
    std::vector<std::string> pieces = ExistingSplitPieces(output);
    std::sort(pieces.begin(), pieces.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    summary_.Outputs.insert(summary_.Outputs.end(), pieces.begin(), pieces.end());
  }
  return true;
}

bool TConvert::SectionsLost(const ProductConverter& c) {
  const std::shared_ptr<SectionTable>& table = c.Sections().Table();
  if (!table || !table->Failed()) return false;
  const int error = table->FailureError();
  Message(kError, kSectionsCannotBeRead,
          std::string("its temporary file: ") +
              (error ? std::strerror(error) : "the sections' states could not be read back"));
  return true;
}

bool TConvert::ConvertToSink(ProductConverter& c, const std::string& input,
                             const std::string& output, RunState& run) {
  std::unique_ptr<LineSink> sink = SinkFactory(output);
  if (!sink) {
    c.CloseInput();
    Message(kError, "Output File Cannot Be Accessed!");
    return false;
  }
  c.SetConverting(true);
  Gauge(0);
  const FileResult result = loop_.Run(c, *sink, nullptr, Fields, run, bytesNow_);
  c.SetConverting(false);
  if (c.Source().Failed()) {
    Message(kError, kInputCannotBeRead, PathError(input, c.Source().Error()));
    return false;
  }
  if (SectionsLost(c)) return false;
  // A sink that keeps no part of a cancelled file (a map dataset) is dropped unended: it leaves
  // nothing under the output name.
  if (result.Cancelled && !sink->KeepsPartOnCancel()) {
    ReportCancelled(std::string(), 0, filesDone_);
    return false;
  }
  if (!sink->EndFile()) {
    const std::string reason = sink->ErrorText();
    if (reason.empty())
      Message(kError, "Output File Cannot Be Accessed!");
    else
      Message(kError, "Output File Cannot Be Accessed!", reason);
    return false;
  }
  summary_.Lines += result.Lines;
  summary_.Outputs.push_back(output);
  if (result.Cancelled) {
    summary_.LastPartial = true;
    ReportCancelled(output, result.Lines, filesDone_);
    return false;
  }
  if (result.Damaged()) WarnDamaged(input, result);
  if (std::string note = sink->Note(); !note.empty()) notes_.push_back(std::move(note));
  Gauge(100);
  return true;
}

void TConvert::WarnDamaged(const std::string& input, const FileResult& result) {
  Warn(input + ": reading stopped at byte " + std::to_string(result.StoppedAt) + "; " +
       std::to_string(result.Unread) + " bytes were left unread (damaged or cut-short data).");
}

void TConvert::Warn(std::string text) {
  warnings_.push_back(std::move(text));
}

void TConvert::ShowText(int type, const std::string& text) {
  Host& host = form_.host();
  host.Synchronize([&] { host.ShowMessage(type, text); });
}

void TConvert::ReportCancelled(const std::string& output, std::uint64_t lines, int filesDone) {
  cancelled_ = true;
  std::string text = kCancelledText;
  if (!output.empty()) {
    const bool fixed = Settings.FixedLayout;
    text += "\n" + std::to_string(lines) + (fixed ? " records" : " lines") + " were written to " +
            output + ", which holds only part of its input.";
  }
  if (FileCount > 1)
    text += "\n" + std::to_string(filesDone) + " of " + std::to_string(FileCount) +
            " files were converted in full.";
  else if (output.empty())
    text += "\nNo output file was written.";
  for (const std::string& w : warnings_) text += "\n" + w;
  ShowText(kWarning, text);
}

bool TConvert::Split(const std::string& output) {
  const char* failure = SplitOutputFile(
      output, kSplitLines, [this](int p) { Gauge(p); }, [this] { return Terminated(); });
  if (failure) Message(kError, failure);
  return failure == nullptr;
}

std::vector<std::string> TConvert::WrittenNames() const {
  std::vector<std::string> names;
  const int count = std::min<int>(FileCount, static_cast<int>(OutputNames.size()));
  const bool split = Settings.Split;
  for (int i = 0; i < count; ++i) {
    names.push_back(OutputNames[i]);
    if (split) {
      for (const std::string& piece : ExistingSplitPieces(OutputNames[i])) names.push_back(piece);
    }
  }
  // A PathPro output has its MDF side file beside it.
  if (Settings.OutputFormat == kFixedPathPro) {
    for (int i = 0; i < count; ++i)
      if (const std::string mdf = MdfFileName(OutputNames[i]); !mdf.empty()) names.push_back(mdf);
  }
  return names;
}

bool TConvert::OutputsAreNotInputs() {
  // Each name is looked at once (links followed), not once per pair: a folder of thousands of
  // logs would otherwise cost millions of looks.
  const int count = std::min<int>(FileCount, static_cast<int>(InputNames.size()));
  struct FileId {
    std::uint64_t Device, Inode;
    bool operator==(const FileId&) const = default;
  };
  struct FileIdHash {
    std::size_t operator()(const FileId& id) const {
      return std::hash<std::uint64_t>()(id.Inode * 0x9e3779b97f4a7c15ULL ^ id.Device);
    }
  };
  auto identify = [](const std::string& name, FileId& id) {
    struct stat st {};
    if (name.empty() || ::stat(name.c_str(), &st) != 0) return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
  };
  std::unordered_set<FileId, FileIdHash> inputs;
  for (int i = 0; i < count; ++i)
    if (FileId id; identify(InputNames[i], id)) inputs.insert(id);
  if (inputs.empty()) return true;
  for (const std::string& written : WrittenNames())
    if (FileId id; identify(written, id) && inputs.count(id)) {
      Message(kError, "Output File Cannot Be Accessed!", written + ": " + kOutputIsAnInput);
      return false;
    }
  return true;
}

bool TConvert::PairsCanBeWritten() {
  if (!OutputsAreNotInputs()) return false;
  // Two logs that would write one output: one of them would be lost.
  const int count = std::min<int>(FileCount, static_cast<int>(InputNames.size()));
  std::unordered_map<std::string, int> writer;
  for (int i = 0; i < count; ++i) {
    const auto [at, fresh] = writer.emplace(OutputNames[i], i);
    if (!fresh) {
      Message(
          kError, "Output File Cannot Be Accessed!",
          OutputNames[i] + ": written by both " + InputNames[at->second] + " and " + InputNames[i]);
      return false;
    }
  }
  return true;
}

void TConvert::Execute() {
  outcome_ = RunOutcome::kRunning;
  warnings_.clear();
  notes_.clear();
  cancelled_ = false;
  filesDone_ = 0;
  summary_ = RunSummary{};
  recordsBefore_ = bytesBefore_ = bytesNow_ = bytesTotal_ = 0;
  fileNow_ = 0;
  started_ = std::chrono::steady_clock::now();
  // However the run ends, the window hears of it last.
  struct Finishing {
    TConvert* run;
    ~Finishing() {
      run->SettleOutputs();
      run->Finish();
    }
  } finishing{this};
  if (!PairsCanBeWritten()) {
    outcome_ = RunOutcome::kFailed;
    return;
  }
  const bool folder = form_.CurrentConverter.load()->BatchMode();
  const int count = std::min<int>(FileCount, static_cast<int>(InputNames.size()));
  // Split pieces are cut from the output in place, so a run that splits waits for each.
  syncer_ = nullptr;
  if (!Settings.Split && form_.SharedOutputSyncer) {
    syncer_ = form_.SharedOutputSyncer;
  } else if (!Settings.Split && folder && count > 1) {
    if (!ownSyncer_) ownSyncer_ = std::make_unique<OutputSyncer>();
    syncer_ = ownSyncer_.get();
  }
  // The run's own reader: the same input and settings give the same output, whatever an earlier
  // run or index left in the window's reader. Its state carries from one file of the run to the
  // next.
  converter_ = RunConverter(*form_.CurrentConverter.load(), Settings);
  if (!converter_) {
    outcome_ = RunOutcome::kFailed;
    return;
  }
  // A single file is converted as the window converts the file it indexed when it was chosen:
  // from the reader of its index pass, or, when the file was not indexed with the settings the
  // readers consult while indexing, after an index pass on the run's reader.
  std::error_code ec;
  if (!folder && count == 1 && fs::is_regular_file(InputNames[0], ec)) {
    IndexPassKey key;
    form_.host().Synchronize(
        [&] { key = IndexPassKeyOf(form_, InputNames[0], converter_->ProductCodeValue()); });
    if (std::unique_ptr<ProductConverter> indexed = form_.IndexedReader.Take(key)) {
      TakeWindowSettings(*indexed, *form_.CurrentConverter.load(), Settings);
      converter_ = std::move(indexed);
    } else {
      ReadAsIndexed(*converter_, InputNames[0], TerminatedFlag());
    }
  }
  for (int i = 0; i < count; ++i) bytesTotal_ += FileSize(InputNames[i]);
  RunState run;
  run.Terminated = &TerminatedFlag();
  run.Progress = [this](int p) { Progress(p); };
  int skipped = 0;
  for (int i = 0; i < count; ++i) {
    // A cancel between two files ends the run before the next output is made.
    if (run.Cancelled()) {
      ReportCancelled(std::string(), 0, filesDone_);
      outcome_ = RunOutcome::kCancelled;
      return;
    }
    if (folder) {
      if (const std::string reason = SkipReason(InputNames[i]); !reason.empty()) {
        // Named with its reason in the run's closing message: one message box, however many
        // files were skipped.
        Warn(std::string(kInputSkipped) + " (" + InputNames[i] + ": " + reason + ")");
        ++skipped;
        bytesBefore_ += FileSize(InputNames[i]);
        continue;
      }
    }
    fileNow_ = i + 1;
    bytesNow_ = 0;  // ConvertPair takes it from the opened file
    const bool converted = ConvertPair(InputNames[i], OutputNames[i], run);
    recordsBefore_ += loop_.RecordsRead();
    bytesBefore_ += bytesNow_;
    if (!converted) {
      outcome_ = cancelled_ ? RunOutcome::kCancelled : RunOutcome::kFailed;
      return;
    }
    ++filesDone_;
  }
  if (!SettleOutputs()) return;
  Gauge(100);
  std::string text = kCompletedText;
  if (skipped > 0)
    text +=
        " (converted " + std::to_string(filesDone_) + ", skipped " + std::to_string(skipped) + ")";
  for (const std::string& n : notes_) text += "\n" + n;
  for (const std::string& w : warnings_) text += "\n" + w;
  ShowText(warnings_.empty() ? kInformation : kWarning, text);
  outcome_ = skipped > 0 || !warnings_.empty() ? RunOutcome::kWarned : RunOutcome::kCompleted;
}

bool TConvert::SettleOutputs() {
  // The front end's syncer is settled by the front end.
  if (!syncer_ || syncer_ != ownSyncer_.get()) return true;
  const std::vector<std::string> failures = syncer_->Settle();
  for (const std::string& failure : failures)
    Message(kError, "Output File Cannot Be Accessed!", failure);
  if (failures.empty()) return true;
  outcome_ = RunOutcome::kFailed;
  return false;
}

namespace {

std::string Count(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "0:42", "12:05", "1:02:05".
std::string Duration(double seconds) {
  const auto total = static_cast<std::uint64_t>(std::max(0.0, seconds) + 0.5);
  const std::uint64_t h = total / 3600, m = total / 60 % 60, sec = total % 60;
  char buf[48];
  if (h > 0)
    std::snprintf(buf, sizeof buf, "%llu:%02llu:%02llu", static_cast<unsigned long long>(h),
                  static_cast<unsigned long long>(m), static_cast<unsigned long long>(sec));
  else
    std::snprintf(buf, sizeof buf, "%llu:%02llu", static_cast<unsigned long long>(m),
                  static_cast<unsigned long long>(sec));
  return buf;
}

}  // namespace

std::string RunProgressText(std::uint64_t records, double seconds, double done, int file,
                            int fileCount) {
  std::string text = "Converting";
  if (fileCount > 1) text += " file " + std::to_string(file) + " of " + std::to_string(fileCount);
  if (seconds < 0.5 || records == 0) return text + "...";
  const auto rate = static_cast<std::uint64_t>(double(records) / seconds);
  text += ": " + std::to_string(rate) + " records/s";
  if (done > 0 && done < 1) text += ", " + Duration(seconds * (1 - done) / done) + " left";
  return text;
}

std::string RunSummary::Text() const {
  std::string text;
  switch (Outcome) {
    case RunOutcome::kCompleted:
      text = "Completed";
      break;
    case RunOutcome::kWarned:
      text = "Completed with warnings";
      break;
    case RunOutcome::kCancelled:
      text = "Cancelled";
      break;
    case RunOutcome::kFailed:
      text = "Failed";
      break;
    case RunOutcome::kRunning:
      text = "Converting";
      break;
  }
  if (Outcome == RunOutcome::kFailed && !Failure.empty())
    text += " (" + Failure.substr(0, Failure.find('\n')) + ")";
  text += ": " + Count(Outputs.size(), "file", "files") + " written, " +
          Count(Lines, Records ? "record" : "line", Records ? "records" : "lines");
  if (FileCount > 1)
    text += ", " + std::to_string(FilesConverted) + " of " + std::to_string(FileCount) +
            " logs converted";
  if (LastPartial) text += "; the last file holds only part of its log";
  if (!Outputs.empty()) {
    text += ": " + Outputs.front();
    if (Outputs.size() > 1) text += " and " + Count(Outputs.size() - 1, "other", "others");
  }
  for (const std::string& output : Outputs) text += "\n" + output;
  return text;
}

std::string TConvert::SkipReason(const std::string& input, bool anyProduct) const {
  // Looked at without opening: a FIFO must not block the run.
  struct stat st {};
  if (::stat(input.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  if (st.st_size == 0) return "an empty file";
  // One opening tells whether the file can be read and what product it is from.
  InputFile probe;
  if (!probe.Open(input)) return std::strerror(probe.Error());
  // A file whose first read fails (a failing disk) is unreadable, not a file of no product.
  std::uint8_t first = 0;
  if (!probe.ReadExact(&first, 1) && probe.Failed()) return std::strerror(probe.Error());
  const std::int16_t code = IdentifyProduct(probe);
  probe.Close();
  if (code == kProductNone) return "not from a QVX CW product";
  if (!anyProduct && code != form_.CurrentConverter.load()->ProductCodeValue())
    return "a log of another product";
  return {};
}

namespace {

// The folder of an output's pieces and the base of their names.
bool SplitNames(const std::string& output, std::string& folder, std::string& base) {
  folder = output.size() > 4 ? output.substr(0, output.size() - 4) : "";
  base = fs::path(folder).filename().string();
  return !folder.empty() && !base.empty();
}

std::string PieceName(const std::string& folder, const std::string& base, int k) {
  return (fs::path(folder) / (base + "-" + std::to_string(k) + ".out")).string();
}

// k of a piece named "<base>-<k>.out" (k written without leading zeros), 0 for other names.
int PieceNumber(const std::string& name, const std::string& base) {
  const std::size_t stem = base.size() + 1;
  if (name.size() <= stem + 4 || name.compare(0, base.size(), base) != 0 ||
      name[base.size()] != '-' || name.compare(name.size() - 4, 4, ".out") != 0)
    return 0;
  const std::string digits = name.substr(stem, name.size() - 4 - stem);
  if (digits.empty() || digits.size() > 9 || digits[0] == '0') return 0;
  for (char ch : digits)
    if (ch < '0' || ch > '9') return 0;
  return std::stoi(digits);
}

}  // namespace

std::vector<std::string> ExistingSplitPieces(const std::string& output) {
  std::vector<std::string> pieces;
  std::string folder, base;
  if (!SplitNames(output, folder, base)) return pieces;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (PieceNumber(it->path().filename().string(), base) > 0)
      pieces.push_back(it->path().string());
  return pieces;
}

const char* SplitOutputFile(const std::string& output, int lines,
                            const std::function<void(int)>& progress,
                            const std::function<bool()>& cancelled) {
  std::string folder, base;
  std::error_code ec;
  if (!SplitNames(output, folder, base) ||
      (!fs::is_directory(folder, ec) && !fs::create_directory(folder, ec)))
    return "Cannot create directory.";
  const std::uint64_t total = FileSize(output);
  std::uint64_t bytes = 0;
  int shown = 0;
  if (progress) progress(0);
  std::FILE* in = std::fopen(output.c_str(), "rb");
  if (!in) return "Output File Cannot Be Accessed!";
  if (progress) progress(100);

  char buffer[4096];
  bool atEnd = false;
  int written = 0;  // pieces of this run
  const char* failure = nullptr;
  while (!atEnd && !failure) {
    if (cancelled && cancelled()) {
      std::fclose(in);
      return nullptr;  // stopped as the run was: the pieces written so far stay
    }
    // A piece is opened only once it has a line: no empty piece is written.
    OutputFile out;
    int copied = 0;
    // Whole lines are copied unchanged; a line longer than the buffer is still one line.
    while (copied < lines) {
      bool lineEnded = false, readAny = false;
      while (!lineEnded && std::fgets(buffer, sizeof buffer, in)) {
        if (!readAny && !out.IsOpen() && !out.Open(PieceName(folder, base, written + 1))) {
          failure = "Split File Cannot Be Accessed!";
          break;
        }
        readAny = true;
        const std::size_t n = std::strlen(buffer);
        out.WriteBinary(buffer, n);
        bytes += n;
        lineEnded = n > 0 && buffer[n - 1] == '\n';
      }
      if (failure) break;
      if (!readAny) {
        atEnd = true;
        if (std::ferror(in)) failure = "Output File Cannot Be Accessed!";
        break;
      }
      ++copied;
      if ((copied & 1023) == 0 && cancelled && cancelled()) break;
      const int percent = Percentage(bytes, total);
      if (percent != shown && progress) progress(shown = percent);
    }
    if (failure) break;
    if (out.IsOpen()) {
      if (cancelled && cancelled()) {
        // Stopped inside a piece: that piece is not the split's, the earlier ones stay.
        std::fclose(in);
        return nullptr;
      }
      if (!out.Close()) failure = "Split File Cannot Be Accessed!";
      ++written;
    }
  }
  std::fclose(in);
  if (failure) return failure;
  // Pieces of an earlier, longer split of the same output are not this run's.
  for (const std::string& piece : ExistingSplitPieces(output))
    if (PieceNumber(fs::path(piece).filename().string(), base) > written) fs::remove(piece, ec);
  return nullptr;
}

}  // namespace polvane
