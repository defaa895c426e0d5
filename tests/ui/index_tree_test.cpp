// The section tree of step 2: what its rows show of a generated log, the data kind's box, the
// keyboard, the tree handed over in one piece, and the wait window's Cancel.
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "convert/section_table.h"
#include "support/bytes.h"
#include "support/drovel_log.h"
#include "support/tarvik_log.h"
#include "ui/gauge.h"
#include "ui/index_tree.h"
#include "ui/wait_dialog.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

// A Tarvik log whose records follow `kinds` ('S' scan, 'F' fast), one GPS second apart from
// 02:00:00, and the log written.
std::string WriteKinds(ScratchDir& dir, const std::string& kinds) {
  const std::string path = dir.File("kinds.tvf");
  TarvikKindsDrive(kinds).WriteTo(path);
  return path;
}

bool Choose(Window& w, const std::string& path) {
  w.window->ChooseInputFile(QString::fromStdString(path));
  if (!QTest::qWaitFor([&] { return !w.form().Indexing(); }, 20000)) return false;
  QCoreApplication::processEvents();
  return true;
}

QString Cell(const QModelIndex& row, int column) {
  return row.siblingAtColumn(column).data().toString();
}

Qt::CheckState Box(const QModelIndex& row) {
  return static_cast<Qt::CheckState>(row.data(Qt::CheckStateRole).toInt());
}

class IndexTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsShowLabelsTimesAndCounts() {
    ScratchDir dir;
    Window w;
    IndexTree* tree = w.window->Tree();
    QSignalSpy inserted(tree->Model(), &QAbstractItemModel::rowsInserted);
    QVERIFY(Choose(w, WriteKinds(dir, "SSSFFS")));
    // The rows come in one piece, never one by one.
    QCOMPARE(inserted.count(), 0);

    const QModelIndex scan = tree->Root(0), fast = tree->Root(1);
    QCOMPARE(Cell(scan, IndexModel::kLabel), QStringLiteral("Scan Data"));
    QCOMPARE(Cell(scan, IndexModel::kRecords), QStringLiteral("2"));  // its sections
    QCOMPARE(Cell(fast, IndexModel::kLabel), QStringLiteral("Fast Data"));
    QCOMPARE(tree->Model()->rowCount(scan), 2);
    QCOMPARE(tree->Model()->rowCount(fast), 1);
    const auto row = [&](const QModelIndex& s) {
      return QStringList{Cell(s, IndexModel::kLabel), Cell(s, IndexModel::kStart),
                         Cell(s, IndexModel::kEnd), Cell(s, IndexModel::kRecords)};
    };
    QCOMPARE(row(tree->Section(0, 0)), QStringList({"02:00:00", "02:00:00", "02:00:02", "3"}));
    QCOMPARE(row(tree->Section(1, 0)), QStringList({"02:00:03", "02:00:03", "02:00:04", "2"}));
    QCOMPARE(row(tree->Section(0, 1)), QStringList({"02:00:05", "02:00:05", "02:00:05", "1"}));
    QCOMPARE(tree->NodeOf(tree->Section(0, 1))->Ordinal, 3u);
    QStringList titles;
    for (int c = 0; c < IndexModel::kColumns; ++c)
      titles << tree->Model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, QStringList({"Section", "Start", "End", "Records"}));

    // The system's font, as the rest of the window has it.
    QVERIFY(!tree->testAttribute(Qt::WA_SetFont));
    QCOMPARE(tree->font(), QApplication::font(tree));
    QVERIFY(tree->font().family() != QStringLiteral("Courier New"));
  }

  // However narrow the window leaves the tree, a row keeps its box and whole label in view: the
  // times and counts scroll instead.
  void labelsAndBoxesKeepTheirRoomInANarrowTree() {
    ScratchDir dir;
    Window w;
    QVERIFY(Choose(w, WriteKinds(dir, "SSSFFS")));
    // A second view of the window's tree, as narrow as the window lets its own become.
    IndexTree tree(w.form().tvIndex);
    tree.resize(w.window->Tree()->minimumWidth(), 200);
    tree.show();
    QCoreApplication::processEvents();
    for (const QModelIndex& row : {tree.Root(0), tree.Root(1), tree.Section(0, 0)}) {
      const QRect cell = tree.visualRect(row);
      QVERIFY(tree.viewport()->rect().contains(tree.CheckBoxRect(row)));
      const int text = tree.fontMetrics().horizontalAdvance(Cell(row, IndexModel::kLabel));
      QVERIFY2(tree.CheckBoxRect(row).right() + text < cell.right(),
               qPrintable(Cell(row, IndexModel::kLabel)));
    }
    QVERIFY(tree.header()->length() > tree.viewport()->width());
  }

  // A Drovel log has no GPS: its sections take the times of the receiver clock, as their
  // labels do.
  void aDrovelSectionHasItsClockTimes() {
    ScratchDir dir;
    DrovelLogBuilder log;
    log.Identification("QVX DROVEL", "2.0").Setup({});
    const auto data = [&](std::uint8_t kind, int minute, int second) {
      DrovelData d;
      d.flags = kind;
      d.hour = 11;
      d.minute = minute;
      d.second = second;
      d.readings[0] = {3, 80};
      log.Data(d);
    };
    data(kDrovelOneChannel, 5, 0);
    data(kDrovelOneChannel, 5, 9);
    data(kDrovelThreeChannel, 6, 0);
    data(kDrovelThreeChannel, 7, 30);
    data(kDrovelThreeChannel, 7, 31);
    const std::string path = dir.File("drive.dvf");
    log.WriteTo(path);
    Window w;
    QVERIFY(Choose(w, path));
    IndexTree* tree = w.window->Tree();
    const auto row = [&](const QModelIndex& s) {
      return QStringList{Cell(s, IndexModel::kLabel), Cell(s, IndexModel::kStart),
                         Cell(s, IndexModel::kEnd), Cell(s, IndexModel::kRecords)};
    };
    QCOMPARE(Cell(tree->Root(1), IndexModel::kLabel), QStringLiteral("1 Channel Data"));
    QCOMPARE(row(tree->Section(1, 0)), QStringList({"11:05:00", "11:05:00", "11:05:09", "2"}));
    QCOMPARE(row(tree->Section(2, 0)), QStringList({"11:06:00", "11:06:00", "11:07:31", "3"}));
  }

  void aSectionRunsOverMidnight() {
    TreeNode node(kStateSelected, 1);
    node.Count(86398);
    node.Count(-1);  // a record without a time counts, and leaves the times alone
    node.Count(1);
    QCOMPARE(node.Records, 3u);
    QCOMPARE(QString::fromStdString(SectionTime(node.Start)), QStringLiteral("23:59:58"));
    QCOMPARE(QString::fromStdString(SectionTime(node.End())), QStringLiteral("00:00:01"));
    // A clock that steps back a little does not shorten the section.
    node.Count(86397);
    QCOMPARE(node.Span, std::uint16_t{3});
  }

  void theKindsBoxChecksAllItsSections() {
    ScratchDir dir;
    Window w;
    QVERIFY(Choose(w, WriteKinds(dir, "SFSFS")));
    IndexTree* tree = w.window->Tree();
    const QModelIndex scan = tree->Root(0);
    // The states as the window's reader consults them.
    const std::shared_ptr<SectionTable> sections =
        w.form().CurrentConverter.load()->Sections().Table();
    QVERIFY(sections);
    auto states = [&] {
      QList<int> s;
      for (std::size_t k = 0; k < sections->Size(); ++k) s << sections->At(k).StateIndex;
      return s;
    };
    auto clickBox = [&](const QModelIndex& row) {
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->CheckBoxRect(row).center());
    };
    QCOMPARE(Box(scan), Qt::Checked);
    // One section left out: the kind is partly checked.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(tree->Section(0, 1)).center());
    QCOMPARE(Box(scan), Qt::PartiallyChecked);
    QCOMPARE(states(), QList<int>({2, 2, 1, 2, 2}));
    // The box checks every section of the kind, then unchecks them; the other kind stays.
    clickBox(scan);
    QCOMPARE(Box(scan), Qt::Checked);
    QCOMPARE(states(), QList<int>({2, 2, 2, 2, 2}));
    clickBox(scan);
    QCOMPARE(Box(scan), Qt::Unchecked);
    QCOMPARE(states(), QList<int>({1, 2, 1, 2, 1}));
    QCOMPARE(Box(tree->Root(1)), Qt::Checked);
    // The kind's node itself carries no state of its own.
    QCOMPARE(tree->StateImageOf(scan), kNoStateImage);
  }

  void theKeyboardReachesAndTogglesTheTree() {
    ScratchDir dir;
    Window w;
    QVERIFY(Choose(w, WriteKinds(dir, "SSFS")));
    IndexTree* tree = w.window->Tree();
    // Tab reaches the tree: it takes focus from the keyboard and stands in the window's chain.
    QVERIFY(tree->focusPolicy() & Qt::TabFocus);
    bool inChain = false;
    QWidget* start = w.Button("InBrowse");
    for (QWidget* next = start->nextInFocusChain(); next != start && !inChain;
         next = next->nextInFocusChain())
      inChain = next == tree;
    QVERIFY(inChain);
    tree->setFocus();

    const std::shared_ptr<SectionTable> sections =
        w.form().CurrentConverter.load()->Sections().Table();
    QVERIFY(sections);
    const auto state = [&](std::uint32_t ordinal) {
      return int(sections->At(sections->Find(ordinal)).StateIndex);
    };
    tree->setCurrentIndex(tree->Root(0));
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(tree->CurrentNode()->Ordinal, 1u);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(state(1), kStateDeselected);
    QCOMPARE(Box(tree->Section(0, 0)), Qt::Unchecked);
    // The next row is the kind's other section (the third of the file).
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(tree->CurrentNode()->Ordinal, 3u);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(state(3), kStateDeselected);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(state(3), kStateSelected);
    // Space on a data kind checks all its sections (one of them was left out).
    tree->setCurrentIndex(tree->Root(0));
    QTest::keyClick(tree, Qt::Key_Space);
    for (std::uint32_t k = 1; k <= sections->Size(); ++k) QCOMPARE(state(k), kStateSelected);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(state(1), kStateDeselected);
    QCOMPARE(state(3), kStateDeselected);
    QCOMPARE(state(2), kStateSelected);  // the fast section
  }

  void cancelStopsTheIndex() {
    ScratchDir dir;
    std::string kinds;
    for (int i = 0; i < 20000; ++i) kinds += i % 2 ? 'F' : 'S';
    const std::string path = WriteKinds(dir, kinds);
    Window w;
    TWaitDlg* wait = w.window->WaitDlg();
    auto* cancel = wait->findChild<QPushButton*>("btnCancel");
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    // Half way through the file the button is pressed (posted behind the gauge's hand-over,
    // so the worker sees the request within a few more percent).
    bool pressed = false;
    const auto mirror = w.form().ProgressBar.Changed;
    w.form().ProgressBar.Changed = [&] {
      if (mirror) mirror();
      if (!pressed && w.form().ProgressBar.Position() >= 50) {
        pressed = true;
        QMetaObject::invokeMethod(
            cancel, [cancel] { cancel->click(); }, Qt::QueuedConnection);
      }
    };
    QVERIFY(Choose(w, path));
    QVERIFY(pressed);
    QVERIFY(!wait->isVisible());
    QVERIFY(w.Button("btnConvert")->isEnabled());
    QCOMPARE(w.window->ProgressBar()->Position(), 0);
    // The sections read before the stop are shown, in file order.
    IndexTree* tree = w.window->Tree();
    const int shown =
        tree->Model()->rowCount(tree->Root(0)) + tree->Model()->rowCount(tree->Root(1));
    QVERIFY2(shown >= 10000 && shown < 20000, qPrintable(QString::number(shown)));
    const std::shared_ptr<SectionTable> sections =
        w.form().CurrentConverter.load()->Sections().Table();
    QVERIFY(sections);
    QCOMPARE(static_cast<int>(sections->Size()), shown);
    for (int k = 1; k <= shown; ++k)
      QCOMPARE(sections->At(k - 1).Ordinal, static_cast<std::uint32_t>(k));

    // The window goes on: the same file indexed again shows all its sections.
    w.form().ProgressBar.Changed = mirror;
    QVERIFY(Choose(w, path));
    QCOMPARE(tree->Model()->rowCount(tree->Root(0)), 10000);
    QCOMPARE(tree->Model()->rowCount(tree->Root(1)), 10000);
  }
};

}  // namespace

std::unique_ptr<QObject> NewIndexTreeTest() {
  return std::make_unique<IndexTreeTest>();
}

}  // namespace polvane::testing

#include "index_tree_test.moc"
