#include "ui/index_tree.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace polvane {

namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr int kStateRole = Qt::UserRole + 1;

// The state images: the style's check box, checked and not.
QIcon CheckBoxImage(QWidget* widget, bool checked) {
  QStyleOptionButton option;
  option.initFrom(widget);
  const int size = widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
  option.rect = QRect(0, 0, size, size);
  option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
  QPixmap image(size, size);
  image.fill(Qt::transparent);
  QPainter p(&image);
  widget->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p, widget);
  return QIcon(image);
}

}  // namespace

IndexTree::IndexTree(SelectionTree& model, QWidget* parent) : QTreeWidget(parent), model_(model) {
  setObjectName(QStringLiteral("tvIndex"));
  setHeaderHidden(true);
  setColumnCount(1);
  setIndentation(19);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(9);
  font.setBold(true);
  setFont(font);
  selected_ = CheckBoxImage(this, true);
  deselected_ = CheckBoxImage(this, false);
  Rebuild();
}

TreeNode* IndexTree::NodeOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<TreeNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

int IndexTree::StateImageOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kStateRole).toInt() : kNoStateImage;
}

QTreeWidgetItem* IndexTree::NewItem(TreeNode* node) {
  auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(model_.Text(*node))));
  item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
  item->setFlags(Qt::ItemIsEnabled);
  ShowState(item);
  return item;
}

void IndexTree::ShowState(QTreeWidgetItem* item) {
  const int state = NodeOf(item)->StateIndex.load();
  if (item->data(0, kStateRole).isValid() && StateImageOf(item) == state) return;
  item->setData(0, kStateRole, state);
  item->setIcon(0, state == kStateSelected     ? selected_
                   : state == kStateDeselected ? deselected_
                                               : QIcon());
}

void IndexTree::Rebuild() {
  clear();
  AddNewNodes();
}

// Nodes are only ever appended to the model between two clears, so the widget grows by the
// nodes past its own items. Returns whether anything was added.
bool IndexTree::AddNewNodes() {
  bool added = false;
  const auto& roots = model_.Roots();
  for (std::size_t r = 0; r < roots.size(); ++r) {
    TreeRoot* root = roots[r].get();
    QTreeWidgetItem* rootItem = topLevelItem(static_cast<int>(r));
    if (!rootItem) {
      rootItem = NewItem(root);
      addTopLevelItem(rootItem);
      rootItem->setExpanded(true);
      added = true;
    }
    for (std::size_t c = rootItem->childCount(); c < root->Children.size(); ++c) {
      rootItem->addChild(NewItem(&root->Children[c]));
      added = true;
    }
  }
  return added;
}

void IndexTree::RefreshStates() {
  for (int r = 0; r < topLevelItemCount(); ++r) {
    QTreeWidgetItem* root = topLevelItem(r);
    ShowState(root);
    for (int c = 0; c < root->childCount(); ++c) ShowState(root->child(c));
  }
}

void IndexTree::Sync() {
  const auto& roots = model_.Roots();
  // A cleared model has other root nodes (or fewer) than the widget: start again.
  bool same = topLevelItemCount() <= static_cast<int>(roots.size());
  for (int r = 0; same && r < topLevelItemCount(); ++r)
    same = NodeOf(topLevelItem(r)) == roots[r].get();
  if (!same) {
    Rebuild();
    return;
  }
  if (!AddNewNodes()) RefreshStates();
}

void IndexTree::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  // Any button releases into the model's handler; it decides what a node does.
  model_.tvIndexMouseUp(NodeOf(itemAt(event->position().toPoint())));
}

}  // namespace polvane
