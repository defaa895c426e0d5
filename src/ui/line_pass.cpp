#include "ui/line_pass.h"

#include <QMetaObject>
#include <chrono>
#include <filesystem>

#include "app/main_form.h"
#include "convert/output_formats.h"

namespace polvane {

namespace {

// Hands the lines of the run's one output to the pass's sink, and cancels the run from its
// own thread once the sink is full or the pass is stopped.
class PassSink : public LineSink {
 public:
  PassSink(CollectingSink& to, TMainForm& form, const std::atomic<bool>& stop)
      : to_(to), form_(form), stop_(stop) {}
  bool WantsTitles() const override { return to_.WantsTitles(); }
  bool WantsPlace() const override { return to_.WantsPlace(); }
  bool WantsCellDetails() const override { return to_.WantsCellDetails(); }
  std::optional<char> JoinedBy() const override { return to_.JoinedBy(); }
  void Titles(const Line& titles) override { to_.Titles(titles); }
  void Write(const Line& line) override {
    if (done_) return;
    to_.Write(line);
    Check();
  }
  void Message(std::string_view text) override {
    if (done_) return;
    to_.Message(text);
    Check();
  }
  bool EndFile() override { return to_.EndFile(); }

 private:
  void Check() {
    if (to_.Full() || stop_.load(std::memory_order_relaxed)) {
      done_ = true;
      form_.btnCancelClick();
    }
  }
  CollectingSink& to_;
  TMainForm& form_;
  const std::atomic<bool>& stop_;
  bool done_ = false;
};

std::string FileStamp(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  const auto time = std::filesystem::last_write_time(path, ec);
  return std::to_string(ec ? 0 : size) + "@" +
         std::to_string(ec ? 0 : time.time_since_epoch().count());
}

// The file's bytes, at most `limit` of them.
std::string ReadText(const std::string& path, std::size_t limit = std::string::npos) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while (text.size() < limit && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
      text.append(buf, std::min(n, limit - text.size()));
    std::fclose(f);
  }
  return text;
}

// How much of a fixed layout's output the pass reads back, and how long it lets the layout run:
// the start of the output is what the preview shows, and a big log is not converted whole.
constexpr std::size_t kFixedBytes = 256 * 1024;
constexpr auto kFixedTime = std::chrono::milliseconds(400);

}  // namespace

std::string DeselectedSections(const TMainForm& form) {
  std::string list;
  for (const auto& root : form.tvIndex.Roots())
    for (const TreeNode& section : root->Children) {
      if (section.Ordinal == 0 || section.Selected()) continue;
      if (!list.empty()) list += ',';
      list += std::to_string(section.Ordinal);
    }
  return list;
}

PassRequest RequestFromWindow(TMainForm& form, const std::string& config, bool allSections) {
  PassRequest r;
  if (!form.rbSingleFile.Checked()) return r;
  const std::string input = form.InputFilename.Text();
  if (input.empty() || form.InputFormatGroup.ItemIndex() <= 0) return r;
  if (!form.SaveConfigurationFailure(config).empty()) return r;
  ConvertOptions& o = r.Options;
  o.input = input;
  o.config = config;
  o.quiet = true;
  // The configuration keeps the delimiter's item, not the Other character.
  if (form.DelimiterGroup.ItemIndex() == 4) o.delimiter = "other:" + form.OtherDelimiter.Text();
  if (form.rbORPS.Checked() && form.rbORPS.Enabled()) o.perSeconds = form.ORPS_Value.Text();
  if (!allSections) o.deselect = DeselectedSections(form);
  // A fixed layout goes to a scratch file of the pass's own, never beside the log.
  r.FixedScratch = config + ".layout";
  o.output = r.FixedScratch;
  r.Key = ReadText(config) + "\n" + o.delimiter + "\n" + o.perSeconds + "\n" + o.deselect + "\n" +
          FileStamp(input);
  return r;
}

void RunPass(const PassRequest& request, CollectingSink& sink, const std::atomic<bool>& stop) {
  KeptMessagesHost host;
  try {
    TMainForm form(host);
    form.LineSinkFactory = [&](const std::string&) {
      return std::make_unique<PassSink>(sink, form, stop);
    };
    // The map formats' features are the same lines.
    form.GisSinkFactory = [&](const std::string&, int) -> std::unique_ptr<LineSink> {
      return std::make_unique<PassSink>(sink, form, stop);
    };
    PreparedConvert prepared;
    int status = PrepareConvert(form, host, request.Options, prepared);
    const bool fixed = status < 0 && form.FixedLayout;
    if (fixed && (!sink.WantsFixedOutput() || request.FixedScratch.empty())) {
      sink.Failure = QStringLiteral("A fixed layout is not written as lines.");
      return;
    }
    if (status < 0) {
      // A layout runs for a moment at most: its file then holds more than the preview shows,
      // and what a cancel leaves is the start of the file.
      const auto start = std::chrono::steady_clock::now();
      RunHooks hooks;
      hooks.interrupted = &stop;
      hooks.progress = [&](RunStage stage, int) {
        if (stop.load(std::memory_order_relaxed) ||
            (fixed && stage == RunStage::Converting &&
             std::chrono::steady_clock::now() - start > kFixedTime))
          form.btnCancelClick();
      };
      RunStage stopped = RunStage::None;
      if (fixed) std::filesystem::remove(request.FixedScratch);
      RunPrepared(form, request.Options, prepared, hooks, stopped);
      if (fixed && !stop.load()) {
        const OutputFormatRow* row = FindOutputFormat(form.OutputFormatGroup.ItemIndex());
        sink.FixedOutput(ReadText(request.FixedScratch, kFixedBytes), row && row->Binary);
      }
    }
  } catch (const UsageError& e) {
    sink.Failure = QString::fromStdString(e.reason);
  } catch (const std::exception& e) {
    sink.Failure = QString::fromLocal8Bit(e.what());
  }
  if (!sink.Failure.isEmpty()) return;
  // An error or warning of the run says why its lines are missing; a cancel is the pass's own.
  for (const auto& [type, text] : host.Messages())
    if (type == kError || (type == kWarning && text.find("Cancelled") == std::string::npos))
      sink.Failure = QString::fromStdString(text);
}

LinePass::LinePass(MakeSink make, Done done, QObject* parent)
    : QObject(parent), make_(std::move(make)), done_(std::move(done)) {}

LinePass::~LinePass() {
  Cancel();
  Reap(true);
}

void LinePass::Cancel() {
  ++generation_;
  for (auto& job : jobs_) job->stop = true;
  lastKey_.clear();
}

void LinePass::Reap(bool all) {
  for (auto it = jobs_.begin(); it != jobs_.end();) {
    Job& job = **it;
    if (all || !job.thread.joinable()) {
      if (job.thread.joinable()) job.thread.join();
      it = jobs_.erase(it);
    } else {
      ++it;
    }
  }
}

void LinePass::Start(const PassRequest& request) {
  Cancel();
  lastKey_ = request.Key;
  if (request.Empty()) return;
  const std::uint64_t generation = generation_;
  auto job = std::make_unique<Job>();
  Job* j = job.get();
  std::shared_ptr<CollectingSink> sink = make_();
  ++running_;
  j->thread = std::thread([this, j, sink, request, generation] {
    RunPass(request, *sink, j->stop);
    const bool stopped = j->stop.load();
    // Back on the GUI thread: the result, unless a newer pass replaced this one; the thread
    // is joined there.
    QMetaObject::invokeMethod(
        this,
        [this, j, sink, generation, stopped] {
          --running_;
          for (auto& owned : jobs_)
            if (owned.get() == j && owned->thread.joinable()) owned->thread.join();
          Reap(false);
          if (!stopped && generation == generation_) done_(sink);
        },
        Qt::QueuedConnection);
  });
  jobs_.push_back(std::move(job));
}

}  // namespace polvane
