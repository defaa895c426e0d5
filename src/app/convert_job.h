// The conversion worker: converts every file pair of the run through the current converter,
// splits large outputs for a spreadsheet program and reports the outcome.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/worker.h"
#include "convert/record_loop.h"

namespace polvane {

class TMainForm;

inline constexpr int kSplitLines = 60000;

inline constexpr const char* kInputCannotBeRead = "Input File Cannot Be Read!";
inline constexpr const char* kOutputIsAnInput = "it is an input of this run";
inline constexpr const char* kInputSkipped = "Input File Skipped!";
inline constexpr const char* kSectionsCannotBeRead = "Section Index Cannot Be Read!";

// How a run ended. kWarned: it completed, but part of its input could not be converted (it
// said so); kCancelled: CANCEL stopped it, its last output is partial.
enum class RunOutcome { kRunning, kCompleted, kWarned, kCancelled, kFailed };

inline constexpr const char* kCompletedText = "Conversion Has Been Completed!";
inline constexpr const char* kCancelledText = "Conversion Has Been Cancelled!";

// What a run wrote, for the window's status bar: how it ended, the lines and the files.
struct RunSummary {
  RunOutcome Outcome = RunOutcome::kRunning;
  std::uint64_t Lines = 0;  // data lines written; in a fixed layout, records
  bool Records = false;     // a fixed layout: Lines counts records
  // The files written, in order; a split output's pieces follow it.
  std::vector<std::string> Outputs;
  bool LastPartial = false;  // cancelled: the last output holds only part of its input
  int FilesConverted = 0, FileCount = 0;
  std::string Failure;  // the message that ended a failed run

  // One line ("Completed: 1 file, 4512 lines written: drive.out"), then each file written on a
  // line of its own.
  std::string Text() const;
};

// The status of a running conversion: "Converting: 12345 records/s, 0:42 left" (and the file of
// a folder run). Before the rate can be told (less than half a second or nothing read), the time
// left is left out.
std::string RunProgressText(std::uint64_t records, double seconds, double done, int file,
                            int fileCount);

class TConvert : public Worker {
 public:
  explicit TConvert(TMainForm& form);
  // Takes the settings and the selected fields from the window as they stand now.
  void TakeSettings();
  ~TConvert() override { Stop(); }

  int FileCount = 0;
  // The settings and the selected fields of the run, taken from the window when the job is
  // made (and again by "CONVERT" just before it starts); the run reads only these.
  ConversionSettings Settings;
  Selection Fields;
  std::vector<std::string> InputNames;
  std::vector<std::string> OutputNames;
  // Where the delimited lines of each output go instead of the delimited file: a sink made
  // for each output name (the GIS writers, the data frames). Unset, the delimited file is
  // written. Fixed layouts always write their file.
  std::function<std::unique_ptr<LineSink>(const std::string& output)> SinkFactory;

  // Runs the conversion on the calling thread.
  void Run() { Execute(); }
  RunOutcome Outcome() const { return outcome_.load(); }
  // Adds a line to the completion message: something of the input that was not converted. A
  // run with warnings ends as kWarned.
  void Warn(std::string text);
  // The warnings of the last run, in order.
  const std::vector<std::string>& Warnings() const { return warnings_; }
  // What the last run wrote; complete once it has ended.
  const RunSummary& Summary() const { return summary_; }
  // False, with the message shown, when the pairs cannot all be written: a file the run would
  // write (an output, its split pieces, a side file) is one of its inputs, or two inputs would
  // write one output. A run checks its pairs before it writes anything; a front end that
  // converts the pairs as runs of their own checks the whole set first.
  bool PairsCanBeWritten();
  // Why a file of a folder run is not converted ("" when it is): unreadable, empty, not a
  // regular file, not a log, or (unless anyProduct) a log of another product than the run's.
  std::string SkipReason(const std::string& input, bool anyProduct = false) const;

 protected:
  void Execute() override;

 private:
  // Converts one pair; false ends the run (its message has been shown).
  bool ConvertPair(const std::string& input, const std::string& output, RunState& run);
  bool ConvertToSink(ProductConverter& c, const std::string& input, const std::string& output,
                     RunState& run);
  // The warning of a log whose reader stopped at damaged or cut-short data.
  void WarnDamaged(const std::string& input, const FileResult& result);
  bool Split(const std::string& output);
  // Every file the run would write: the outputs, their split pieces and side files.
  std::vector<std::string> WrittenNames() const;
  // False, with the message shown, when a file the run writes is one of its inputs.
  bool OutputsAreNotInputs();
  void Message(int type, const char* text);
  // "TEXT (DETAIL)": the detail names the file and the reason.
  void Message(int type, const char* text, const std::string& detail);
  void Gauge(int percent);
  // The gauge, and the records per second and time left in the window's status.
  void Progress(int percent);
  // The end of the run in the window: its summary in the status, the controls open again.
  void Finish();
  // A message of any length: the completion message lists every warning of the run.
  void ShowText(int type, const std::string& text);
  // The message of a cancelled run: how much its last output holds (output empty: the cancel
  // came between two files), and how many files were converted in full.
  void ReportCancelled(const std::string& output, std::uint64_t lines, int filesDone);
  // Whether the section index lost the states of sections while the run asked for them (its
  // temporary file failed): the output would hold sections nobody chose, so the run ends with
  // the error.
  bool SectionsLost(const ProductConverter& c);
  // Waits for the outputs still being synced and moved into place; false (the failures shown,
  // the run failed) when one of them could not be.
  bool SettleOutputs();

  TMainForm& form_;
  // The reader of this run, made afresh when the run starts.
  std::unique_ptr<ProductConverter> converter_;
  RecordLoop loop_;
  // Where the outputs are synced and moved into place while the next file converts: the
  // front end's (TMainForm::SharedOutputSyncer), or the run's own in a folder run; none, each
  // output is synced as it is closed.
  OutputSyncer* syncer_ = nullptr;
  std::unique_ptr<OutputSyncer> ownSyncer_;
  std::atomic<RunOutcome> outcome_{RunOutcome::kRunning};
  std::vector<std::string> warnings_;
  // What the sinks say of their outputs (lines without a position, ...): in the completion
  // message, without making the run one with warnings.
  std::vector<std::string> notes_;
  bool cancelled_ = false;
  int filesDone_ = 0;
  RunSummary summary_;
  // The run's pace: records read in earlier files, the bytes of every input and of those done,
  // the size of the current one, and when the run started.
  std::uint64_t recordsBefore_ = 0, bytesTotal_ = 0, bytesBefore_ = 0, bytesNow_ = 0;
  int fileNow_ = 0;
  std::chrono::steady_clock::time_point started_;
};

// The split pieces that exist now for an output, "<folder>/<base>-<k>.out", k from 1 on.
std::vector<std::string> ExistingSplitPieces(const std::string& output);

// Copies an output file into pieces of at most `lines` lines, "<folder>/<base>-<k>.out" in the
// folder named after the output (the output name less its last 4 characters). Returns the
// message of the failure, or nullptr. `progress` receives whole percentages of bytes copied. No
// piece is empty; pieces of an earlier, longer split of the same output are removed. When
// `cancelled` turns true the split stops at once, the finished pieces staying.
const char* SplitOutputFile(const std::string& output, int lines,
                            const std::function<void(int)>& progress,
                            const std::function<bool()>& cancelled = nullptr);

}  // namespace polvane
