// A front end for tests: scripted dialog answers, recorded message boxes, and work handed to
// the "GUI thread" run in place.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/host.h"

namespace polvane::testing {

struct ShownMessage {
  int type;
  std::string text;
};

class TestHost : public Host {
 public:
  // Answers of the next dialogs, in order; an empty answer cancels the dialog.
  std::deque<std::string> OpenAnswers, SaveAnswers, FolderAnswers;

  bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override {
    LastSpec = spec;
    return Answer(OpenAnswers, path);
  }
  bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override {
    LastSpec = spec;
    return Answer(SaveAnswers, path);
  }
  bool ChooseFolder(std::string& folder) override { return Answer(FolderAnswers, folder); }
  void ShowMessage(int type, const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({type, text});
  }
  void Synchronize(const std::function<void()>& fn) override {
    std::lock_guard lock(sync_);
    fn();
  }
  void ShowWaitWindow(bool visible) override { WaitWindowShown = visible; }

  std::vector<ShownMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // The texts of the messages shown so far, "Caption: text" each.
  std::vector<std::string> MessageLines() const;
  void ClearMessages() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

  FileDialogSpec LastSpec;
  bool WaitWindowShown = false;

 private:
  static bool Answer(std::deque<std::string>& answers, std::string& out) {
    if (answers.empty()) return false;
    std::string a = answers.front();
    answers.pop_front();
    if (a.empty()) return false;
    out = a;
    return true;
  }
  mutable std::mutex mutex_;
  std::recursive_mutex sync_;
  std::vector<ShownMessage> messages_;
};

}  // namespace polvane::testing
