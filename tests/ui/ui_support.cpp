#include "ui_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

namespace polvane::testing {

QStringList ScriptedHost::BoxLines() const {
  QStringList lines;
  for (const ShownBox& box : Boxes())
    lines << QString::fromLatin1(MessageCaption(box.type)) + QStringLiteral(": ") + box.text;
  return lines;
}

bool ScriptedHost::Shown(int type, const char* text) const {
  for (const ShownBox& box : Boxes())
    if (box.type == type && box.text == QString::fromLatin1(text)) return true;
  return false;
}

Window::Window() {
  auto scripted = std::make_unique<ScriptedHost>();
  host = scripted.get();
  window = std::make_unique<MainWindow>(std::move(scripted));
  window->show();
}

Window::~Window() = default;

QStringList Window::Items(const char* listName) const {
  QStringList items;
  const auto* list = Get<QListWidget>(listName);
  for (int i = 0; list && i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

std::string SamplePath() {
  return POLVANE_SOURCE_DIR "/samples/drive-tarvik.tvf";
}

QStringList CutOffCaptions(QWidget* window) {
  QStringList cut;
  auto check = [&](QWidget* w, const QString& text, int needWidth, int needHeight) {
    if (!w->isVisibleTo(window) || text.isEmpty()) return;
    if (w->width() < needWidth || w->height() < needHeight)
      cut << QStringLiteral("%1: %2 (%3x%4 < %5x%6)")
                 .arg(w->objectName(), text)
                 .arg(w->width())
                 .arg(w->height())
                 .arg(needWidth)
                 .arg(needHeight);
  };
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (label->wordWrap()) continue;
    const QSize need = label->minimumSizeHint();
    check(label, label->text(), need.width(), need.height());
  }
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    // Push buttons have a wide preferred size; their text needs less.
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    const bool push = qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button);
    const QSize need = push ? QSize(button->fontMetrics().horizontalAdvance(text) + 8,
                                    button->fontMetrics().height())
                            : button->sizeHint();
    check(button, text, need.width(), need.height());
  }
  for (QComboBox* combo : window->findChildren<QComboBox*>()) {
    if (combo->isEditable()) continue;
    check(combo, combo->currentText(), combo->sizeHint().width(), combo->sizeHint().height());
  }
  for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
    const int title = group->fontMetrics().horizontalAdvance(group->title());
    check(group, group->title(), title, 0);
  }
  return cut;
}

}  // namespace polvane::testing
