// What the window keeps from one session to the next, in its own settings file (QSettings): the
// recent files of the Application menu and the last folder of each file dialog. Configuration
// files stay profile files of their own; none of this goes into them.
#pragma once

#include <QString>
#include <memory>
#include <vector>

class QSettings;

namespace polvane {

// The window's settings: an INI file in the user's configuration folder.
std::unique_ptr<QSettings> WindowSettings();

struct RecentFile {
  QString Path;
  bool Configuration = false;  // a configuration file, else a receiver log
  bool operator==(const RecentFile&) const = default;
};

class RecentFiles {
 public:
  static constexpr int kMaxFiles = 8;

  // The recent files, the latest first.
  static std::vector<RecentFile> List();
  // Puts a file at the front of the list (once only), keeping at most kMaxFiles.
  static void Add(const RecentFile& file);
  static void Remove(const QString& path);
  static void Clear();
};

// The folder a file dialog of the kind `key` last took a file from ("" for none yet), and the
// remembering of it.
QString LastFolder(const QString& key);
void RememberFolder(const QString& key, const QString& folder);

}  // namespace polvane
