#include "index/make_index.h"

#include <memory>

#include "app/main_form.h"
#include "convert/line_sink.h"
#include "convert/record_pass.h"

namespace polvane {

TMakeIndex::TMakeIndex(TMainForm& form, std::int16_t productCode)
    : form_(form),
      code_(productCode),
      settings_(form.RunSettings()),
      path_(form.InputFilename.Text()) {}

void TMakeIndex::Execute() {
  Host& host = form_.host();
  // The window's reader keeps the section nodes; the file is read by a reader of its own, so the
  // sections and their labels do not depend on what an earlier run left in the window's reader.
  ProductConverter* target = form_.CurrentConverter.load();
  if (!target) return;
  std::unique_ptr<ProductConverter> reader = RunConverter(*target, settings_);
  ProductConverter* c = reader ? reader.get() : target;
  form_.IndexedReader.Clear();
  host.Synchronize([&] { host.ShowWaitWindow(true); });

  // The tree of the product's data kinds, rebuilt from scratch. The sections are gathered in a
  // tree of the worker's own and handed to the window's in one piece at the end: a log of many
  // thousands of sections is shown at once, not node by node.
  SelectionTree built;
  host.Synchronize([&] {
    form_.tvIndex.Clear();
    for (int slot : ProductSlots(code_)) {
      form_.tvIndex.ModeNodes[slot] = form_.tvIndex.AddRoot(SlotText(slot, code_));
      built.ModeNodes[slot] = built.AddRoot(SlotText(slot, code_));
    }
    target->Sections().ClearTable();
    c->Sections().ClearTable();
  });
  c->Sections().Restart();

  // What this pass depends on, taken before the file is read: a file changed while it is read
  // matches no conversion.
  IndexPassKey key;
  host.Synchronize([&] { key = IndexPassKeyOf(form_, path_, target->ProductCodeValue()); });
  if (c->OpenInput(path_) != 0) {
    host.Synchronize([&] {
      ReportMessage(host, kError, "Input File Does Not Exist!");
      host.ShowWaitWindow(false);
      form_.btnConvert.SetEnabled(true);
    });
    return;
  }
  lastShown_ = 0;
  host.Synchronize([&] { form_.ProgressBar.SetPosition(0); });

  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  c->SetConverting(false);
  RunState run;
  run.Terminated = &TerminatedFlag();
  run.Progress = [&](int percent) {
    if (percent <= lastShown_) return;  // the gauge starts at 0
    host.Synchronize([&] { form_.ProgressBar.SetPosition(percent); });
    lastShown_ = percent;
  };
  // The sections go to the worker's tree; the table takes each one's counts until the next
  // section is added.
  struct TreeSink final : IndexSink {
    SelectionTree& built;
    explicit TreeSink(SelectionTree& tree) : built(tree) {}
    TreeNode* Began(SectionTracker& sections) override {
      const char* label = sections.TakeStarted();
      if (!label) return nullptr;
      const int slot = sections.Kind();
      TreeRoot* parent = slot >= 0 && slot < kTreeSlots ? built.ModeNodes[slot] : nullptr;
      // A section of no known kind has no top-level node to hang under: it gets no node, and
      // its records are converted.
      if (!parent) return nullptr;
      return built.AddChild(parent, static_cast<std::uint32_t>(sections.Ordinal()), label,
                            kStateSelected);
    }
  } sink(built);
  RecordPass pass;
  const PassResult result = c->IndexPass(pass, buffer.get(), run, FileSize(path_), sink);
  c->CloseInput();
  // A pass that read the whole file leaves its reader for the conversion of the file.
  if (!result.Cancelled && !Terminated() && reader) {
    reader->Sections().ClearStarted();
    form_.IndexedReader.Keep(std::move(reader), std::move(key));
  }
  host.Synchronize([&] {
    // The sections found (all of them, or those before the pass was stopped), in one piece.
    form_.tvIndex.Adopt(std::move(built));
    target->Sections().SetTable(form_.tvIndex.Sections());
    form_.ProgressBar.SetPosition(0);
    host.ShowWaitWindow(false);
    form_.btnConvert.SetEnabled(true);
  });
}

}  // namespace polvane
