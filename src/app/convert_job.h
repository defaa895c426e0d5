// The conversion worker: converts every file pair of the run through the current converter,
// splits large outputs for a spreadsheet program and reports the outcome.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/worker.h"
#include "convert/record_loop.h"

namespace polvane {

class TMainForm;

inline constexpr int kSplitLines = 60000;

enum class RunOutcome { kRunning, kCompleted, kFailed };

class TConvert : public Worker {
 public:
  explicit TConvert(TMainForm& form);
  ~TConvert() override { Stop(); }

  int FileCount = 0;
  std::vector<std::string> InputNames;
  std::vector<std::string> OutputNames;
  // Where the delimited lines of each output go instead of the delimited file: a sink made
  // for each output name (the GIS writers, the data frames). Unset, the delimited file is
  // written. Fixed layouts always write their file.
  std::function<std::unique_ptr<LineSink>(const std::string& output)> SinkFactory;

  // Runs the conversion on the calling thread.
  void Run() { Execute(); }
  RunOutcome Outcome() const { return outcome_.load(); }

 protected:
  void Execute() override;

 private:
  // Converts one pair; false ends the run (its message has been shown).
  bool ConvertPair(const std::string& input, const std::string& output, RunState& run);
  bool ConvertToSink(ProductConverter& c, const std::string& input, const std::string& output,
                     RunState& run);
  bool Split(const std::string& output);
  void Message(int type, const char* text);
  void Gauge(int percent);

  TMainForm& form_;
  RecordLoop loop_;
  std::atomic<RunOutcome> outcome_{RunOutcome::kRunning};
};

// Copies an output file into pieces of at most `lines` lines, "<folder>/<base>-<k>.out" in the
// folder named after the output (the output name less its last 4 characters). Returns the
// message of the failure, or nullptr. `progress` receives whole percentages of bytes copied.
const char* SplitOutputFile(const std::string& output, int lines,
                            const std::function<void(int)>& progress);

}  // namespace polvane
