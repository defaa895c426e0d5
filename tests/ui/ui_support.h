// Helpers of the window tests: a Qt host with scripted dialog answers that records the message
// boxes it is asked to show, and small lookups into the window.
#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QStringList>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/main_window.h"

namespace polvane::testing {

// The test suites of the window, run one after another by the test program.
std::unique_ptr<QObject> NewMainWindowTest();
std::unique_ptr<QObject> NewAuxiliaryWindowsTest();
std::unique_ptr<QObject> NewReductionWindowsTest();
std::unique_ptr<QObject> NewWindowFitTest();
std::unique_ptr<QObject> NewDriveViewsTest();
std::unique_ptr<QObject> NewWindowRunsTest();
std::unique_ptr<QObject> NewIndexTreeTest();

struct ShownBox {
  int type;
  QString text;
  bool onGuiThread;
};

class ScriptedHost : public QtHost {
 public:
  // Answers of the next dialogs, in order; an empty answer cancels.
  std::deque<std::string> OpenAnswers, SaveAnswers, FolderAnswers;
  FileDialogSpec LastSpec;
  int WaitWindowShown = 0;

  bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override {
    LastSpec = spec;
    return Answer(OpenAnswers, path);
  }
  bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override {
    LastSpec = spec;
    return Answer(SaveAnswers, path);
  }
  bool ChooseFolder(std::string& folder) override { return Answer(FolderAnswers, folder); }
  void ShowWaitWindow(bool visible) override {
    if (visible) ++WaitWindowShown;
    QtHost::ShowWaitWindow(visible);
  }

  std::vector<ShownBox> Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  void ClearBoxes() {
    std::lock_guard lock(mutex_);
    boxes_.clear();
  }
  // "Caption: text" of every box shown so far.
  QStringList BoxLines() const;
  bool Shown(int type, const char* text) const;

 protected:
  void MessageBox(int type, const QString& text) override {
    std::lock_guard lock(mutex_);
    boxes_.push_back({type, text, OnGuiThread()});
  }

 private:
  static bool Answer(std::deque<std::string>& answers, std::string& out) {
    if (answers.empty()) return false;
    const std::string answer = answers.front();
    answers.pop_front();
    if (answer.empty()) return false;
    out = answer;
    return true;
  }
  mutable std::mutex mutex_;
  std::vector<ShownBox> boxes_;
};

// A shown main window on a scripted host.
struct Window {
  Window();
  ~Window();
  ScriptedHost* host;
  std::unique_ptr<MainWindow> window;
  TMainForm& form() { return window->Form(); }

  template <class T>
  T* Get(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  QAbstractButton* Button(const char* name) const { return Get<QAbstractButton>(name); }
  QStringList Items(const char* listName) const;
};

// The bundled sample log.
std::string SamplePath();

// Widgets whose caption does not fit them: "objectName: text" of each.
QStringList CutOffCaptions(QWidget* window);

}  // namespace polvane::testing
