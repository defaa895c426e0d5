// The tree of data kinds and sections of step 2, mirroring the model's selection tree: section
// nodes carry a checked box when they are converted and an empty one when they are left out.
// A released mouse button over a node hands the node to the model's click handler.
#pragma once

#include <QIcon>
#include <QTreeWidget>

#include "index/selection_tree.h"

namespace polvane {

class IndexTree : public QTreeWidget {
  Q_OBJECT

 public:
  IndexTree(SelectionTree& model, QWidget* parent = nullptr);

  // Brings the widget in line with the model: new nodes are added as the model grows, a
  // cleared model rebuilds the widget, and otherwise the state images are refreshed.
  void Sync();

  // The model node an item stands for (nullptr for none).
  static TreeNode* NodeOf(const QTreeWidgetItem* item);
  // The state image an item shows: 2 checked, 1 not, -1 none.
  static int StateImageOf(const QTreeWidgetItem* item);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QTreeWidgetItem* NewItem(TreeNode* node);
  void ShowState(QTreeWidgetItem* item);
  void Rebuild();
  bool AddNewNodes();
  void RefreshStates();

  SelectionTree& model_;
  QIcon selected_, deselected_;
};

}  // namespace polvane
