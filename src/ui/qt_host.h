// The window's side of the model's Host: Qt file dialogs, the folder chooser, message boxes,
// the wait window, and the hand-over of the workers' window changes onto the GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "app/host.h"

class QWidget;

namespace polvane {

class TOpenFolderDlg;
class TWaitDlg;

// "Label|*.ext|Label|*.ext" as a Qt name filter ("Label (*.ext);;Label (*.ext)").
QString QtNameFilters(const std::string& filter);

class QtHost : public QObject, public Host {
  Q_OBJECT

 public:
  QtHost();
  ~QtHost() override;

  // The window the dialogs belong to, and the windows the host shows for the model.
  void Attach(QWidget* window, TWaitDlg* wait, TOpenFolderDlg* folder);

  bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override;
  bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override;
  bool ChooseFolder(std::string& folder) override;
  // Shown on the GUI thread, whichever thread reports it.
  void ShowMessage(int type, const std::string& text) override;
  // A blocking queued call: fn runs on the GUI thread and the caller waits for it to finish.
  // Called on the GUI thread it runs at once.
  void Synchronize(const std::function<void()>& fn) override;
  void ShowWaitWindow(bool visible) override;
  // On the GUI thread, runs the worker's hand-overs while it waits, so that the worker can end.
  void WaitFor(Worker& worker) override;

  static bool OnGuiThread();
  // From now on messages are dropped: the window they belong to is going away.
  void Silence() { silenced_ = true; }

 protected:
  // The message box itself (GUI thread): modal, one OK button, captioned by its type.
  virtual void MessageBox(int type, const QString& text);
  QWidget* Window() const { return window_; }

 private:
  struct PendingCall {
    const std::function<void()>* fn;
    bool done = false;
  };
  // Runs the queued hand-overs (GUI thread).
  void RunPending();

  QWidget* window_ = nullptr;
  std::atomic<bool> silenced_{false};
  TWaitDlg* wait_ = nullptr;
  TOpenFolderDlg* folder_ = nullptr;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PendingCall*> pending_;
};

}  // namespace polvane
