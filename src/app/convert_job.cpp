#include "app/convert_job.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/main_form.h"

namespace polvane {

namespace fs = std::filesystem;

TConvert::TConvert(TMainForm& form) : form_(form) {}

void TConvert::Message(int type, const char* text) {
  Host& host = form_.host();
  host.Synchronize([&] { ReportMessage(host, type, "%s", text); });
}

// The gauge is window state: it is set on the GUI thread like every other change of the window.
// It changes only with the whole percentage, at most 101 times a file.
void TConvert::Gauge(int percent) {
  form_.host().Synchronize([&] { form_.ProgressBar.SetPosition(percent); });
}

bool TConvert::ConvertPair(const std::string& input, const std::string& output, RunState& run) {
  ProductConverter& c = *form_.CurrentConverter.load();
  if (c.OpenInput(input) != 0) {
    Message(kError, "Input File Does Not Exist!");
    return false;
  }
  OutputFile out;
  if (!out.Open(output)) {
    c.CloseInput();
    Message(kError, "Output File Cannot Be Accessed!");
    return false;
  }
  c.Converting = true;
  const std::uint64_t size = FileSize(input);
  Gauge(0);

  LoopSettings settings;
  settings.Delimiter = form_.CurrentDelimiter();
  settings.OutputFormat = form_.OutputFormatGroup.ItemIndex();
  settings.FixedLayout = form_.FixedLayout.load();
  settings.ReductionMode = form_.CurrentReductionMode();
  if (settings.OutputFormat == 1) out.WriteText("5\n", 2);  // EDX SignalPro

  const FileResult result = loop_.Run(c, out, settings, form_.SnapshotSelection(), run, size);
  c.Converting = false;
  if (!out.Close()) {
    Message(kError, "Output File Cannot Be Accessed!");
    return false;
  }
  if (result.Cancelled) {
    // The user asked for the run to end: the partial output stays under its name, is not
    // split, and the gauge stays where the run stopped.
    ReportCancelled(output, result.Lines, filesDone_);
    return false;
  }
  if (result.Damaged()) {
    // The reader took damaged or cut-short data for the end of the log: what came before it
    // is converted, and the run says what was left.
    Warn(input + ": reading stopped at byte " + std::to_string(result.StoppedAt) + "; " +
         std::to_string(result.Unread) + " bytes were left unread (damaged or cut-short data).");
  }
  Gauge(100);
  if (form_.cbSplit.Checked() && c.RecordCount > kSplitLines) return Split(output);
  return true;
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
    const bool fixed = form_.FixedLayout.load();
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
  const char* failure = SplitOutputFile(output, kSplitLines, [this](int p) { Gauge(p); });
  if (failure) Message(kError, failure);
  return failure == nullptr;
}

void TConvert::Execute() {
  outcome_ = RunOutcome::kRunning;
  warnings_.clear();
  cancelled_ = false;
  filesDone_ = 0;
  RunState run;
  run.FirstHeader = true;
  run.Terminated = &TerminatedFlag();
  run.Progress = [this](int p) { Gauge(p); };
  for (int i = 0; i < FileCount && i < static_cast<int>(InputNames.size()); ++i) {
    // A cancel between two files ends the run before the next output is made.
    if (run.Cancelled()) {
      ReportCancelled(std::string(), 0, filesDone_);
      outcome_ = RunOutcome::kCancelled;
      return;
    }
    if (!ConvertPair(InputNames[i], OutputNames[i], run)) {
      outcome_ = cancelled_ ? RunOutcome::kCancelled : RunOutcome::kFailed;
      return;
    }
    ++filesDone_;
  }
  Gauge(100);
  if (warnings_.empty()) {
    Message(kInformation, kCompletedText);
    outcome_ = RunOutcome::kCompleted;
    return;
  }
  std::string text = kCompletedText;
  for (const std::string& w : warnings_) text += "\n" + w;
  ShowText(kWarning, text);
  outcome_ = RunOutcome::kWarned;
}

const char* SplitOutputFile(const std::string& output, int lines,
                            const std::function<void(int)>& progress) {
  const std::string folder = output.size() > 4 ? output.substr(0, output.size() - 4) : "";
  std::error_code ec;
  if (folder.empty() || (!fs::is_directory(folder, ec) && !fs::create_directory(folder, ec)))
    return "Cannot create directory.";
  const std::uint64_t total = FileSize(output);
  std::uint64_t bytes = 0;
  int shown = 0;
  if (progress) progress(0);
  std::FILE* in = std::fopen(output.c_str(), "rb");
  if (!in) return "Output File Cannot Be Accessed!";
  const std::string base = fs::path(folder).filename().string();
  if (progress) progress(100);

  char buffer[4096];
  bool atEnd = false;
  for (int k = 1; !atEnd; ++k) {
    const std::string piece =
        (fs::path(folder) / (base + "-" + std::to_string(k) + ".out")).string();
    OutputFile out;
    if (!out.Open(piece)) {
      std::fclose(in);
      return "Split File Cannot Be Accessed!";
    }
    // Whole lines are copied unchanged; a line longer than the buffer is still one line.
    int copied = 0;
    while (copied < lines) {
      bool lineEnded = false, readAny = false;
      while (!lineEnded && std::fgets(buffer, sizeof buffer, in)) {
        readAny = true;
        const std::size_t n = std::strlen(buffer);
        out.WriteBinary(buffer, n);
        bytes += n;
        lineEnded = n > 0 && buffer[n - 1] == '\n';
      }
      if (!readAny) {
        atEnd = true;
        break;
      }
      ++copied;
      const int percent = Percentage(bytes, total);
      if (percent != shown && progress) progress(shown = percent);
    }
    if (!out.Close()) {
      std::fclose(in);
      return "Split File Cannot Be Accessed!";
    }
  }
  std::fclose(in);
  return nullptr;
}

}  // namespace polvane
