#include "ui/index_tree.h"

#include <algorithm>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionViewItem>

#include "convert/section_table.h"

namespace polvane {

// A row's internal id: 0 for a data kind, the kind's position plus 1 for its sections.
IndexModel::IndexModel(SelectionTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

const TreeRoot* IndexModel::RootAt(std::size_t position) const {
  // The rows stand for what was shown last; the tree may have moved on before Sync.
  if (position >= shown_.size() || position >= tree_.Roots().size()) return nullptr;
  const TreeRoot* root = tree_.Roots()[position].get();
  return root == shown_[position].first ? root : nullptr;
}

QModelIndex IndexModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= kColumns) return {};
  if (!parent.isValid()) {
    if (static_cast<std::size_t>(row) >= shown_.size()) return {};
    return createIndex(row, column, quintptr{0});
  }
  if (parent.internalId() != 0) return {};
  const auto position = static_cast<std::size_t>(parent.row());
  if (position >= shown_.size() || static_cast<std::size_t>(row) >= shown_[position].second)
    return {};
  return createIndex(row, column, static_cast<quintptr>(position + 1));
}

QModelIndex IndexModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == 0) return {};
  return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr{0});
}

int IndexModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(shown_.size());
  if (parent.internalId() != 0 || parent.column() != 0) return 0;
  const auto position = static_cast<std::size_t>(parent.row());
  return position < shown_.size() ? static_cast<int>(shown_[position].second) : 0;
}

int IndexModel::columnCount(const QModelIndex&) const {
  return kColumns;
}

const TreeRoot* IndexModel::RootOf(const QModelIndex& index) const {
  if (!index.isValid() || index.internalId() != 0) return nullptr;
  return RootAt(static_cast<std::size_t>(index.row()));
}

std::optional<TreeNode> IndexModel::NodeOf(const QModelIndex& index) const {
  if (!index.isValid()) return std::nullopt;
  if (index.internalId() == 0) {
    if (const TreeRoot* root = RootOf(index)) return TreeNode(*root);
    return std::nullopt;
  }
  const TreeRoot* root = RootAt(static_cast<std::size_t>(index.internalId() - 1));
  const auto row = static_cast<std::size_t>(index.row());
  if (!root || row >= root->Children.size()) return std::nullopt;
  return root->Children[row];
}

QModelIndex IndexModel::IndexOf(std::uint32_t ordinal) const {
  const TreeNode node = tree_.Section(ordinal);
  if (node.Parent == TreeNode::kNoParent || !RootAt(node.Parent)) return {};
  const std::size_t row = tree_.Sections()->RowOf(tree_.Sections()->Find(ordinal));
  if (row >= shown_[node.Parent].second) return {};
  return index(static_cast<int>(row), 0, index(static_cast<int>(node.Parent), 0));
}

Qt::CheckState IndexModel::CheckStateOf(const QModelIndex& index) const {
  if (const TreeRoot* root = RootOf(index)) {
    const std::size_t selected = tree_.SelectedCount(*root);
    if (root->Children.empty() || selected == root->Children.size()) return Qt::Checked;
    return selected == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
  }
  const std::optional<TreeNode> node = NodeOf(index);
  return node && node->Selected() ? Qt::Checked : Qt::Unchecked;
}

QVariant IndexModel::data(const QModelIndex& index, int role) const {
  const bool section = index.internalId() != 0;
  const TreeRoot* root = section ? nullptr : RootOf(index);
  const std::optional<TreeNode> copy = section ? NodeOf(index) : std::nullopt;
  const TreeNode* node = section ? (copy ? &*copy : nullptr) : root;
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kLabel:
          return QString::fromStdString(tree_.Text(*node));
        case kStart:
          return section && node->HasTimes() ? QString::fromStdString(SectionTime(node->Start))
                                             : QVariant();
        case kEnd:
          return section && node->HasTimes() ? QString::fromStdString(SectionTime(node->End()))
                                             : QVariant();
        case kRecords:
          if (section) return QString::number(node->Records);
          return QString::number(root->Children.size());
      }
      return {};
    case Qt::CheckStateRole:
      if (index.column() != kLabel) return {};
      // A data kind without sections has nothing to check.
      if (!section && root->Children.empty()) return {};
      return CheckStateOf(index);
    case Qt::TextAlignmentRole:
      if (index.column() == kRecords)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      return {};
    case Qt::ToolTipRole:
      if (!section) return tr("%n section(s)", nullptr, static_cast<int>(root->Children.size()));
      return node->HasTimes() ? tr("Section %1: %2 records, %3 to %4")
                                    .arg(node->Ordinal)
                                    .arg(node->Records)
                                    .arg(QString::fromStdString(SectionTime(node->Start)),
                                         QString::fromStdString(SectionTime(node->End())))
                              : tr("Section %1: %2 records").arg(node->Ordinal).arg(node->Records);
  }
  return {};
}

QVariant IndexModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kLabel:
      return tr("Section");
    case kStart:
      return tr("Start");
    case kEnd:
      return tr("End");
    case kRecords:
      return tr("Records");
  }
  return {};
}

Qt::ItemFlags IndexModel::flags(const QModelIndex& index) const {
  // The boxes are toggled by the view (the click handler's rule), not by the item delegate.
  if (!NodeOf(index)) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool IndexModel::Sync() {
  const auto& roots = tree_.Roots();
  bool same = roots.size() == shown_.size();
  for (std::size_t r = 0; same && r < roots.size(); ++r)
    same = roots[r].get() == shown_[r].first && roots[r]->Children.size() == shown_[r].second;
  if (same) {
    // Only states changed: every box of every row, a range per data kind.
    for (std::size_t r = 0; r < shown_.size(); ++r) {
      const QModelIndex root = index(static_cast<int>(r), 0);
      emit dataChanged(root, root, {Qt::CheckStateRole});
      if (shown_[r].second > 0)
        emit dataChanged(index(0, 0, root), index(static_cast<int>(shown_[r].second) - 1, 0, root),
                         {Qt::CheckStateRole});
    }
    return false;
  }
  beginResetModel();
  shown_.clear();
  for (const auto& root : roots) shown_.emplace_back(root.get(), root->Children.size());
  endResetModel();
  return true;
}

IndexTree::IndexTree(SelectionTree& model, QWidget* parent)
    : QTreeView(parent), tree_(model), model_(new IndexModel(model, this)) {
  setObjectName(QStringLiteral("tvIndex"));
  setModel(model_);
  setIndentation(19);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setFocusPolicy(Qt::StrongFocus);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setAlternatingRowColors(true);
  // Widths from the font rather than from the rows: measuring many thousands of rows would
  // cost what the view saves by making texts only when they are shown. The label column keeps
  // room for a section's box and a label of a data kind's length under its kind; a pane
  // narrower than the columns scrolls rather than squeezing the labels and boxes away, and
  // room to spare goes to the last column.
  const int margin = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
  const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) +
                  style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this);
  const int label = 2 * indentation() + box +
                    fontMetrics().horizontalAdvance(QStringLiteral("Scan Table 000")) + margin;
  const int time = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + margin;
  const int count = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + margin;
  header()->setStretchLastSection(true);
  header()->setMinimumSectionSize(std::min(time, count));
  for (int c = IndexModel::kLabel; c < IndexModel::kColumns; ++c) {
    header()->setSectionResizeMode(c, QHeaderView::Interactive);
    header()->resizeSection(c, c == IndexModel::kLabel     ? label
                               : c == IndexModel::kRecords ? count
                                                           : time);
  }
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            const std::optional<TreeNode> node = NodeOf(current);
            emit CurrentNodeChanged(node ? &*node : nullptr);
          });
  Sync();
}

void IndexTree::Sync() {
  if (model_->Sync()) expandAll();
}

int IndexTree::StateImageOf(const QModelIndex& index) const {
  const std::optional<TreeNode> node = NodeOf(index);
  return node ? node->StateIndex : kNoStateImage;
}

QRect IndexTree::CheckBoxRect(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index.siblingAtColumn(IndexModel::kLabel));
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void IndexTree::ToggleKind(const QModelIndex& index) {
  const TreeRoot* root = model_->RootOf(index);
  if (!root || root->Children.empty()) return;
  tree_.SetKind(root, model_->CheckStateOf(index) != Qt::Checked);
}

void IndexTree::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  const QPoint point = event->position().toPoint();
  const QModelIndex index = indexAt(point);
  // A data kind's box checks or unchecks its sections; the rest of its row does nothing.
  if (model_->RootOf(index)) {
    if (CheckBoxRect(index).contains(point)) ToggleKind(index);
    return;
  }
  // Any button releases into the model's handler; it decides what a node does.
  const std::optional<TreeNode> node = NodeOf(index);
  tree_.tvIndexMouseUp(node ? &*node : nullptr);
}

void IndexTree::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) &&
      event->modifiers() == Qt::NoModifier) {
    const QModelIndex index = currentIndex().siblingAtColumn(IndexModel::kLabel);
    if (model_->RootOf(index))
      ToggleKind(index);
    else if (const std::optional<TreeNode> node = NodeOf(index))
      tree_.tvIndexMouseUp(&*node);
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

}  // namespace polvane
