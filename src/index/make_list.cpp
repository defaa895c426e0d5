#include "index/make_list.h"

#include <cstdio>
#include <memory>

#include "app/main_form.h"
#include "convert/record_pass.h"
#include "index/reduction_dialogs.h"

namespace polvane {

namespace {

void ShowPercent(TGeneratorDlg& dialog, int percent) {
  char text[32];
  std::snprintf(text, sizeof text, "%d%% Complete", percent);
  dialog.ProgressBar.SetPosition(percent);
  dialog.PercentComplete.SetCaption(text);
}

}  // namespace

TMakeList::TMakeList(TMainForm& form, TGeneratorDlg& dialog)
    : form_(form),
      dialog_(dialog),
      settings_(form.RunSettings()),
      path_(form.InputFilename.Text()) {}

void TMakeList::Execute() {
  completed_ = false;
  Host& host = form_.host();
  ProductConverter* c = form_.CurrentConverter.load();
  if (!c) return;
  // The pass reads the file through the window's own reader, which keeps what it gathers.
  c->SetSettings(settings_);
  if (c->OpenInput(path_) != 0) {
    host.Synchronize([&] { ReportMessage(host, kError, "Input File Does Not Exist!"); });
    return;
  }
  const std::uint64_t size = FileSize(path_);
  int shown = 0;
  host.Synchronize([&] { ShowPercent(dialog_, 0); });

  auto buffer = std::make_unique<std::uint8_t[]>(kRecordBufferSize);
  c->SetConverting(false);
  c->Gathering().Begin();
  dialog_.SetGatheredFile("");  // what an earlier pass left no longer stands
  RunState run;
  run.Terminated = &TerminatedFlag();
  run.Progress = [&](int percent) {
    if (percent <= shown) return;  // the dialog starts at 0
    shown = percent;
    host.Synchronize([&] { ShowPercent(dialog_, percent); });
  };
  // The readers that need the information count the records as they parse them.
  RecordPass().Run(*c, buffer.get(), run, size, [](std::int16_t) {});
  if (!Terminated()) {
    // The pass has read the whole file, its header and any bytes the reader passed over too
    // (an empty file stays at 0).
    host.Synchronize([&] { ShowPercent(dialog_, Percentage(size, size)); });
    host.Synchronize([&] { ReportMessage(host, kInformation, "Information Has Been Gathered!"); });
    c->Gathering().End();
    const int records = c->Gathering().Records(), seconds = c->Gathering().Seconds(),
              perSecond = c->Gathering().RecordsPerSecond();
    host.Synchronize([&] {
      ReportMessage(host, kInformation, "%d Records\n%d Seconds\n%d Records Per Second", records,
                    seconds, perSecond);
      dialog_.SetGatheredFile(path_);
    });
    completed_ = true;
  }
  c->CloseInput();
  host.Synchronize([&] { dialog_.ProgressBar.SetPosition(0); });
}

}  // namespace polvane
