#include "ui/qt_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <chrono>

#include "app/worker.h"
#include "ui/folder_dialog.h"
#include "ui/wait_dialog.h"
#include "ui/window_settings.h"

namespace polvane {

QString QtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString label = parts[i].trimmed();
    // Several patterns, "*.tvf;*.svf", are one filter of Qt's, "*.tvf *.svf".
    const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
    // "Configuration Files (*.cfg)" already names its pattern.
    filters << (label.endsWith(shown) ? label : label + QLatin1Char(' ') + shown);
  }
  return filters.join(QStringLiteral(";;"));
}

namespace {

// "*.cfg", ".cfg" or "cfg" as the suffix a file dialog appends to a bare name.
QString DefaultSuffix(const std::string& extension) {
  QString s = QString::fromStdString(extension);
  while (s.startsWith(QLatin1Char('*')) || s.startsWith(QLatin1Char('.'))) s.remove(0, 1);
  return s;
}

// Each kind of dialog (the log, the output, the configurations) opens in the folder it last
// took a file from.
QString FolderKey(const FileDialogSpec& spec, bool save) {
  QString kind = QString::fromStdString(spec.Title).remove(QLatin1Char(' '));
  if (kind.isEmpty()) kind = save ? QStringLiteral("Output") : QStringLiteral("Log");
  return (save ? QStringLiteral("Save") : QStringLiteral("Open")) + QLatin1Char('/') + kind;
}

bool RunFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save, std::string& path) {
  QFileDialog dialog(parent, QString::fromStdString(spec.Title));
  const QString key = FolderKey(spec, save);
  const QString last = LastFolder(key);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(spec.MustExist || !save ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!spec.Filter.empty()) dialog.setNameFilters(QtNameFilters(spec.Filter).split(";;"));
  dialog.setDefaultSuffix(DefaultSuffix(spec.DefaultExtension));
  // A name without a folder of its own goes into the folder of the last time.
  if (!last.isEmpty() && path.find('/') == std::string::npos) dialog.setDirectory(last);
  if (!path.empty()) dialog.selectFile(QString::fromStdString(path));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const QString chosen = dialog.selectedFiles().first();
  RememberFolder(key, QFileInfo(chosen).absolutePath());
  path = chosen.toStdString();
  return true;
}

}  // namespace

QtHost::QtHost() = default;
QtHost::~QtHost() = default;

void QtHost::Attach(QWidget* window, TWaitDlg* wait, TOpenFolderDlg* folder) {
  window_ = window;
  wait_ = wait;
  folder_ = folder;
}

bool QtHost::OnGuiThread() {
  return qApp && QThread::currentThread() == qApp->thread();
}

bool QtHost::OpenFileDialog(const FileDialogSpec& spec, std::string& path) {
  return RunFileDialog(window_, spec, false, path);
}

bool QtHost::SaveFileDialog(const FileDialogSpec& spec, std::string& path) {
  return RunFileDialog(window_, spec, true, path);
}

bool QtHost::ChooseFolder(std::string& folder) {
  if (!folder_) return false;
  // Closing the chooser by its frame hands back the folder of the last "OK".
  const QString chosen = folder_->Choose();
  if (chosen.isEmpty()) return false;
  folder = chosen.toStdString();
  return true;
}

void QtHost::ShowMessage(int type, const std::string& text) {
  if (silenced_) return;
  const QString message = QString::fromStdString(text);
  if (OnGuiThread())
    MessageBox(type, message);
  else
    Synchronize([&] { MessageBox(type, message); });
}

void QtHost::MessageBox(int type, const QString& text) {
  const QMessageBox::Icon icon = type == kInformation ? QMessageBox::Information
                                 : type == kWarning   ? QMessageBox::Warning
                                                      : QMessageBox::Critical;
  QMessageBox box(icon, QString::fromLatin1(MessageCaption(type)), text, QMessageBox::Ok, window_);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void QtHost::Synchronize(const std::function<void()>& fn) {
  if (OnGuiThread()) {
    fn();
    return;
  }
  PendingCall call{&fn};
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(&call);
  }
  cv_.notify_all();  // a GUI thread waiting in WaitFor runs it at once
  QMetaObject::invokeMethod(
      this, [this] { RunPending(); }, Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [&] { return call.done; });
}

void QtHost::RunPending() {
  for (;;) {
    PendingCall* call = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return;
      call = pending_.front();
      pending_.pop_front();
    }
    // The caller is released even if the work throws.
    struct Release {
      QtHost* host;
      PendingCall* call;
      ~Release() {
        {
          std::lock_guard lock(host->mutex_);
          call->done = true;
        }
        host->cv_.notify_all();
      }
    } release{this, call};
    (*call->fn)();
  }
}

void QtHost::WaitFor(Worker& worker) {
  if (!OnGuiThread()) {
    worker.WaitFor();
    return;
  }
  using namespace std::chrono_literals;
  while (worker.Running()) {
    RunPending();
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, 5ms, [this] { return !pending_.empty(); });
  }
  worker.WaitFor();
}

void QtHost::ShowWaitWindow(bool visible) {
  if (!wait_) return;
  if (visible)
    wait_->ShowCentred();
  else
    wait_->hide();
}

}  // namespace polvane
