// A conversion whose lines go to the window's own views instead of a file: the preview of the
// first lines, the drive map and the signal chart. The pass runs the settings of the window as
// `polvane convert` runs them (the same setup, a reader of its own) on a thread of its own, so
// the window never waits for it; a newer pass replaces an older one, which is stopped.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/convert_command.h"
#include "convert/line_sink.h"

namespace polvane {

class TMainForm;

// A line sink that collects what a view shows, and may have seen enough before the end.
class CollectingSink : public LineSink {
 public:
  // True once the sink wants no more lines: the pass stops the conversion.
  virtual bool Full() const { return false; }
  // The start of a fixed layout's output, which is not written as lines: the bytes of its file
  // (`binary` for a layout of binary records). A sink that shows no layouts ignores it.
  virtual void FixedOutput(std::string_view /*bytes*/, bool /*binary*/) {}
  // Whether the sink takes FixedOutput; a pass of one that does not refuses a fixed layout.
  virtual bool WantsFixedOutput() const { return false; }
  // Set by the pass: the run ended with this message (an error, a refusal), or was stopped.
  QString Failure;
};

// What a pass converts: the options of `polvane convert` that give the window's settings.
struct PassRequest {
  ConvertOptions Options;
  // Where a fixed layout of the pass is written (a scratch file beside the configuration): the
  // pass reads the start of it back for the sink.
  std::string FixedScratch;
  // The text that tells two requests apart: the settings and the input's size and time.
  std::string Key;
  bool Empty() const { return Options.input.empty(); }
};

// The window's settings as options of a conversion: its configuration (written to `config`,
// a scratch file), the Other delimiter, one record per N seconds and the sections left out.
// With `allSections` no section is left out (the map shows them all). Runs on the GUI thread.
PassRequest RequestFromWindow(TMainForm& form, const std::string& config, bool allSections);

// The ordinal in the file of every section the tree leaves out, as --deselect lists them.
std::string DeselectedSections(const TMainForm& form);

class LinePass : public QObject {
  Q_OBJECT

 public:
  using MakeSink = std::function<std::shared_ptr<CollectingSink>()>;
  using Done = std::function<void(std::shared_ptr<CollectingSink>)>;

  LinePass(MakeSink make, Done done, QObject* parent = nullptr);
  ~LinePass() override;

  // Starts a pass of the request, stopping the running one; `done` runs on the GUI thread with
  // the sink once the pass has ended (never for a pass that was replaced).
  void Start(const PassRequest& request);
  // Stops the running pass; its result is dropped.
  void Cancel();
  bool Running() const { return running_ > 0; }
  const std::string& LastKey() const { return lastKey_; }

 private:
  struct Job {
    std::atomic<bool> stop{false};
    std::thread thread;
  };
  void Reap(bool all);

  MakeSink make_;
  Done done_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::atomic<int> running_{0};
  std::uint64_t generation_ = 0;
  std::string lastKey_;
};

// Runs the request on the calling thread into `sink`, as a pass does; the outcome's message
// (if any) goes to sink.Failure. `stop` turning true ends the conversion at the next line.
void RunPass(const PassRequest& request, CollectingSink& sink, const std::atomic<bool>& stop);

}  // namespace polvane
