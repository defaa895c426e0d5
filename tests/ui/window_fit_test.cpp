// The window on a small screen: at 1366x768 with text scaled to 125 % every step shows all its
// controls inside the window, none of them cut by its parent or the window's edge.
#include <QAbstractButton>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QtTest>

#include "ui/index_tree.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

// 768 pixels of screen less a title bar and a task bar.
constexpr int kScreenWidth = 1366;
constexpr int kScreenHeight = 768 - 30 - 40;

// "name: why" of every visible widget of the step that is cut: outside its parent, or outside
// the window.
QStringList CutWidgets(QWidget* window, QWidget* step) {
  QStringList cut;
  const QRect inWindow = window->rect();
  for (QWidget* w : step->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window) || w->isWindow()) continue;
    QWidget* parent = w->parentWidget();
    // Scrolled contents (a list's viewport) are the view's own business.
    if (parent && parent->objectName() == QLatin1String("qt_scrollarea_viewport")) continue;
    const QString name = w->objectName().isEmpty()
                             ? QString::fromLatin1(w->metaObject()->className())
                             : w->objectName();
    if (w->width() <= 0 || w->height() <= 0) {
      cut << name + QStringLiteral(": no room");
      continue;
    }
    if (parent && !parent->rect().contains(w->geometry()))
      cut << name + QStringLiteral(": outside %1").arg(parent->objectName());
    const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    if (!inWindow.contains(r)) cut << name + QStringLiteral(": outside the window");
  }
  return cut;
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace

class WindowFitTest : public QObject {
  Q_OBJECT

 private slots:
  void resizableWithGrowingLists() {
    Window w;
    QVERIFY(w.window->minimumSize() != w.window->maximumSize());
    w.window->resize(1161, 712);
    Settle();
    QWidget* tree = w.window->Tree();
    QWidget* available = w.Get<QWidget>("AvailableBox");
    const QSize treeBefore = tree->size(), listBefore = available->size();
    w.window->resize(1500, 950);
    Settle();
    QVERIFY(tree->width() > treeBefore.width() || tree->height() > treeBefore.height());
    QVERIFY(available->height() > listBefore.height());
  }

  void fitsASmallScreenAtLargeText_data() {
    QTest::addColumn<bool>("drovel");
    QTest::newRow("Tarvik") << false;
    QTest::newRow("Drovel scan modes") << true;
  }
  void fitsASmallScreenAtLargeText() {
    QFETCH(bool, drovel);
    // 125 % of the desktops' usual 9 points; set in full, so that no earlier suite's font counts.
    const qreal before = QApplication::font().pointSizeF();
    QFont font = QApplication::font();
    font.setPointSizeF(9 * 1.25);
    QApplication::setFont(font);
    {
      Window w;
      w.host->OpenAnswers.push_back(SamplePath());
      w.Button("InBrowse")->click();
      QVERIFY(QTest::qWaitFor([&] { return !w.form().Indexing(); }));
      if (drovel) w.form().ApplyProductSettings(*FindProduct(kProductDrovel));
      Settle();
      const QSize least = w.window->minimumSizeHint().expandedTo(w.window->minimumSize());
      QVERIFY2(least.width() <= kScreenWidth && least.height() <= kScreenHeight,
               qPrintable(QStringLiteral("needs %1x%2").arg(least.width()).arg(least.height())));
      w.window->resize(kScreenWidth, kScreenHeight);
      Settle();
      QCOMPARE(w.window->size(), QSize(kScreenWidth, kScreenHeight));
      for (int step = 1; step <= 4; ++step) {
        auto* frame = w.Get<QFrame>(qPrintable(QStringLiteral("Step%1").arg(step)));
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(CutWidgets(w.window.get(), frame), QStringList());
      }
      QCOMPARE(CutOffCaptions(w.window.get()), QStringList());
    }
    font.setPointSizeF(before);
    QApplication::setFont(font);
  }
};

std::unique_ptr<QObject> NewWindowFitTest() {
  return std::make_unique<WindowFitTest>();
}

}  // namespace polvane::testing

#include "window_fit_test.moc"
