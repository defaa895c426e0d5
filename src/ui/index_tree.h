// The tree of data kinds and sections of step 2, a view of the model's selection tree: each
// section shows its label, the time of its first and last record and its record count, with a
// checked box when it is converted and an empty one when it is left out; a data kind's box
// shows whether all, none or some of its sections are converted.
//
// The view reads a row's section from the tree's table and makes its texts only when the row is
// shown, so a log of many thousands of sections is shown at once. A released mouse button over a
// section hands the node to the model's click handler; the keyboard moves with the arrows and
// Space checks or unchecks the current section, or every section of the current data kind.
#pragma once

#include <QAbstractItemModel>
#include <QTreeView>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "index/selection_tree.h"

namespace polvane {

// The selection tree as Qt's views see it. Column 0 holds the label and the check box; then
// the start, the end and the record count.
class IndexModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  enum Column { kLabel, kStart, kEnd, kRecords, kColumns };

  explicit IndexModel(SelectionTree& tree, QObject* parent = nullptr);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Brings the view in line with the tree: a tree of other nodes is shown afresh in one piece,
  // otherwise the check boxes are refreshed. Returns whether the rows were made afresh.
  bool Sync();

  // The node a row stands for (none for none): a copy of the section, or of a data kind's
  // node; and the top-level node of a data-kind row.
  std::optional<TreeNode> NodeOf(const QModelIndex& index) const;
  const TreeRoot* RootOf(const QModelIndex& index) const;
  // The row of section `ordinal` (invalid for none).
  QModelIndex IndexOf(std::uint32_t ordinal) const;
  // The check box of a row: a section's state, a kind's state over its sections.
  Qt::CheckState CheckStateOf(const QModelIndex& index) const;

 private:
  const TreeRoot* RootAt(std::size_t position) const;

  SelectionTree& tree_;
  // What the rows were made from: each top-level node and its number of sections.
  std::vector<std::pair<const TreeRoot*, std::size_t>> shown_;
};

class IndexTree : public QTreeView {
  Q_OBJECT

 public:
  IndexTree(SelectionTree& model, QWidget* parent = nullptr);

  // Brings the view in line with the model (see IndexModel::Sync); new rows are expanded.
  void Sync();

  IndexModel* Model() const { return model_; }
  // The node of a row (none for none); a row's state image: 2 checked, 1 not, -1 none.
  std::optional<TreeNode> NodeOf(const QModelIndex& index) const { return model_->NodeOf(index); }
  int StateImageOf(const QModelIndex& index) const;
  // The row of data kind `r`, and of its section `s`.
  QModelIndex Root(int r) const { return model_->index(r, 0); }
  QModelIndex Section(int r, int s) const { return model_->index(s, 0, Root(r)); }
  // The node of the current row (none for none).
  std::optional<TreeNode> CurrentNode() const { return NodeOf(currentIndex()); }
  // Where a row's check box is drawn, in the viewport.
  QRect CheckBoxRect(const QModelIndex& index) const;

 signals:
  // The current row changed to the row of `node` (nullptr for none; the node lasts as long as
  // the signal).
  void CurrentNodeChanged(const TreeNode* node);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // A data kind's box: checks every section unless all are checked, then unchecks them.
  void ToggleKind(const QModelIndex& index);

  SelectionTree& tree_;
  IndexModel* model_;
};

}  // namespace polvane
