// What the window model needs from its front end: dialogs, message boxes and the hand-over of
// work onto the GUI thread. The Qt window, the command line and the tests each implement it.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

#include "app/worker.h"

namespace polvane {

class Worker;

enum MessageType { kInformation = 0, kWarning = 1, kError = 2 };

// Caption of a message box of the given type.
const char* MessageCaption(int type);

struct FileDialogSpec {
  std::string Title;
  std::string Filter;  // "Label|*.ext|Label|*.ext"
  std::string DefaultExtension;
  bool MustExist = false;
};

class Host {
 public:
  virtual ~Host() = default;
  // Open and save dialogs: false when the user cancels.
  virtual bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) = 0;
  virtual bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) = 0;
  // The folder chooser: false when cancelled.
  virtual bool ChooseFolder(std::string& folder) = 0;
  // A modal message box with one OK button; returns when it is closed.
  virtual void ShowMessage(int type, const std::string& text) = 0;
  // Runs fn on the GUI thread and waits for it.
  virtual void Synchronize(const std::function<void()>& fn) = 0;
  // The wait window of the indexing worker.
  virtual void ShowWaitWindow(bool visible) { (void)visible; }
  // Waits for a worker to end. A front end whose Synchronize hands work to the waiting thread
  // keeps serving it meanwhile, so that a worker blocked in Synchronize can finish.
  virtual void WaitFor(Worker& worker);
};

// Formats like printf into 512 bytes and shows the message box.
void ReportMessage(Host& host, int type, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace polvane
