// The views beside the four steps: the preview of the first lines the settings would write,
// and the drive map over the signal chart, each fed by a conversion of the chosen file with
// the window's settings into a line sink. The conversion runs on a
// thread of its own whenever the file or the settings change (not while the file is indexed
// or converted), so the window never waits for it.
#pragma once

#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "convert/tree_node.h"
#include "ui/drive_track.h"
#include "ui/line_pass.h"

class QLabel;
class QTableWidget;
class QTimer;

namespace polvane {

class DriveMap;
class IndexTree;
class SignalChart;
class TMainForm;
struct TreeNode;

// Each section of the tree with its ordinal in the file, in the tree's order.
std::vector<std::pair<int, TreeNode>> SectionList(const TMainForm& form);

class ViewsPane : public QTabWidget {
  Q_OBJECT

 public:
  ViewsPane(TMainForm& form, IndexTree& tree, QWidget* parent = nullptr);
  ~ViewsPane() override;

  // Something of the window changed: the views look again shortly (a burst of changes makes
  // one pass).
  void SettingsChanged();
  // The tree changed: the sections left out are shown at once, the drive looked at again.
  void TreeChanged();
  // Starts the pass at once if one is due; for tests and screenshots.
  void RefreshNow();
  // Whether a pass is running or due.
  bool Busy() const;

  DriveMap* Map() const { return map_; }
  SignalChart* Chart() const { return chart_; }
  QTableWidget* Preview() const { return table_; }

 private:
  void Look();
  void DriveDone(std::shared_ptr<CollectingSink> sink);
  void PreviewDone(std::shared_ptr<CollectingSink> sink);
  void ChosenNode(const TreeNode* node);
  void Outlined(const std::vector<std::uint32_t>& sections);
  bool WindowBusy() const;

  TMainForm& form_;
  IndexTree& tree_;
  QTemporaryDir scratch_;
  QTimer* timer_ = nullptr;
  DriveMap* map_ = nullptr;
  SignalChart* chart_ = nullptr;
  QLabel* driveNote_ = nullptr;
  std::unique_ptr<LinePass> drivePass_;
  QTableWidget* table_ = nullptr;
  QLabel* previewNote_ = nullptr;
  std::unique_ptr<LinePass> previewPass_;
  std::string driveInput_;
};

}  // namespace polvane
