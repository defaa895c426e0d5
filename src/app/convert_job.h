// The conversion worker: converts every file pair of the run through the current converter,
// splits large outputs for a spreadsheet program and reports the outcome.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "app/worker.h"
#include "convert/record_loop.h"

namespace polvane {

class TMainForm;

inline constexpr int kSplitLines = 60000;

inline constexpr const char* kInputCannotBeRead = "Input File Cannot Be Read!";
inline constexpr const char* kOutputIsAnInput = "it is an input of this run";

enum class RunOutcome { kRunning, kCompleted, kFailed };

class TConvert : public Worker {
 public:
  explicit TConvert(TMainForm& form);
  ~TConvert() override { Stop(); }

  int FileCount = 0;
  std::vector<std::string> InputNames;
  std::vector<std::string> OutputNames;

  // Runs the conversion on the calling thread.
  void Run() { Execute(); }
  RunOutcome Outcome() const { return outcome_.load(); }

 protected:
  void Execute() override;

 private:
  // Converts one pair; false ends the run (its message has been shown).
  bool ConvertPair(const std::string& input, const std::string& output, RunState& run);
  bool Split(const std::string& output);
  // Every file the run would write: the outputs, their split pieces and side files.
  std::vector<std::string> WrittenNames() const;
  // False, with the message shown, when a file the run writes is one of its inputs.
  bool OutputsAreNotInputs();
  void Message(int type, const char* text);
  // "TEXT (DETAIL)": the detail names the file and the reason.
  void Message(int type, const char* text, const std::string& detail);
  void Gauge(int percent);

  TMainForm& form_;
  RecordLoop loop_;
  std::atomic<RunOutcome> outcome_{RunOutcome::kRunning};
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
