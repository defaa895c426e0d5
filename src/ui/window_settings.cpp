#include "ui/window_settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace polvane {

namespace {

const QString kRecent = QStringLiteral("RecentFiles");
const QString kFolders = QStringLiteral("Folders/");

void Store(QSettings& settings, const std::vector<RecentFile>& files) {
  settings.remove(kRecent);
  settings.beginWriteArray(kRecent, static_cast<int>(files.size()));
  for (int i = 0; i < static_cast<int>(files.size()); ++i) {
    settings.setArrayIndex(i);
    settings.setValue(QStringLiteral("Path"), files[i].Path);
    settings.setValue(QStringLiteral("Configuration"), files[i].Configuration);
  }
  settings.endArray();
}

}  // namespace

std::unique_ptr<QSettings> WindowSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("Polvane"), QStringLiteral("polvane-gui"));
}

std::vector<RecentFile> RecentFiles::List() {
  const std::unique_ptr<QSettings> settings = WindowSettings();
  std::vector<RecentFile> files;
  const int count = settings->beginReadArray(kRecent);
  for (int i = 0; i < count && static_cast<int>(files.size()) < kMaxFiles; ++i) {
    settings->setArrayIndex(i);
    RecentFile file{settings->value(QStringLiteral("Path")).toString(),
                    settings->value(QStringLiteral("Configuration")).toBool()};
    if (!file.Path.isEmpty()) files.push_back(file);
  }
  settings->endArray();
  return files;
}

void RecentFiles::Add(const RecentFile& file) {
  if (file.Path.isEmpty()) return;
  std::vector<RecentFile> files{file};
  for (const RecentFile& f : List())
    if (f.Path != file.Path && static_cast<int>(files.size()) < kMaxFiles) files.push_back(f);
  Store(*WindowSettings(), files);
}

void RecentFiles::Remove(const QString& path) {
  std::vector<RecentFile> files;
  for (const RecentFile& f : List())
    if (f.Path != path) files.push_back(f);
  Store(*WindowSettings(), files);
}

void RecentFiles::Clear() {
  Store(*WindowSettings(), {});
}

QString LastFolder(const QString& key) {
  return WindowSettings()->value(kFolders + key).toString();
}

void RememberFolder(const QString& key, const QString& folder) {
  if (!folder.isEmpty()) WindowSettings()->setValue(kFolders + key, folder);
}

}  // namespace polvane
