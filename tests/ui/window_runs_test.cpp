// A run in the window and the habits of desktop tools: the controls that would change a run are
// closed while it goes on and open again however it ends, with its summary beside the gauge; a
// dropped log is opened, the files opened are listed under "Recent Files", the file dialogs
// open where they last took a file from; the colour bands of the dialog reach the map and the
// KML output, and configuration files.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <cmath>

#include "app/convert_job.h"
#include "support/bytes.h"
#include "support/tarvik_log.h"
#include "ui/color_dialog.h"
#include "ui/drive_map.h"
#include "ui/index_tree.h"
#include "ui/views_pane.h"
#include "ui/window_settings.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

bool Indexed(Window& w) {
  return QTest::qWaitFor(
      [&] { return !w.form().Indexing() && w.Button("btnConvert")->isEnabled(); }, 20000);
}

// "Browse" with `path` as the dialog's answer; true once the file is indexed.
bool Choose(Window& w, const std::string& path) {
  w.host->OpenAnswers.push_back(path);
  w.Button("InBrowse")->click();
  return Indexed(w);
}

bool SelectFields(Window& w, std::initializer_list<const char*> titles) {
  auto* list = w.Get<QListWidget>("AvailableBox");
  for (const char* title : titles) {
    const auto found = list->findItems(QString::fromLatin1(title), Qt::MatchExactly);
    if (found.isEmpty()) return false;
    list->setCurrentItem(found.first());
    w.Button("SelectField")->click();
  }
  return true;
}

// What a run closes, and whether each is open now.
struct Openness {
  bool steps = true, convert = true, cancel = true, openConfiguration = true, recent = true,
       colors = true;
};

Openness Open(Window& w) {
  Openness o;
  o.steps = true;
  for (const char* step : {"Step1", "Step2", "Step3"})
    o.steps = o.steps && w.Get<QWidget>(step)->isEnabled();
  o.convert = w.Button("btnConvert")->isEnabled();
  o.cancel = w.Button("btnCancel")->isEnabled();
  o.openConfiguration = w.Get<QAction>("OpenConfiguration1")->isEnabled();
  o.recent = w.window->RecentMenu()->menuAction()->isEnabled();
  o.colors = w.Get<QAction>("ColorThresholds1")->isEnabled();
  return o;
}

bool AllClosedButCancel(const Openness& o) {
  return !o.steps && !o.convert && o.cancel && !o.openConfiguration && !o.recent && !o.colors;
}

bool AllOpen(const Openness& o) {
  return o.steps && o.convert && o.cancel && o.openConfiguration && o.recent && o.colors;
}

QString Status(Window& w) {
  return w.window->RunStatusLabel()->text();
}

void Drop(QWidget* target, const QString& path, bool& entered) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  entered = enter.isAccepted();
  if (!entered) return;
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

std::vector<RecentFile> RecentEntries(Window& w) {
  std::vector<RecentFile> entries;
  for (QAction* a : w.window->RecentMenu()->actions())
    if (a->data().isValid())
      entries.push_back({a->data().toString(), a->data().toString().endsWith(".cfg")});
  return entries;
}

}  // namespace

class WindowRunsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { RecentFiles::Clear(); }

  void aRunClosesWhatWouldChangeItAndSumsItselfUp() {
    Window w;
    QVERIFY(Choose(w, SamplePath()));
    QVERIFY(SelectFields(w, {"GPS Time (HH:MM:SS)", "<< DATA >>"}));
    ScratchDir dir;
    const std::string out = dir.File("drive.csv");
    w.host->SaveAnswers.push_back(out);
    w.Button("OutBrowse")->click();
    QVERIFY(AllOpen(Open(w)));

    w.Button("btnConvert")->click();
    // Closed at once, before the run can tell anything; CANCEL stays open.
    QVERIFY(AllClosedButCancel(Open(w)));
    QVERIFY(Status(w).startsWith(QStringLiteral("Converting")));
    QVERIFY(QTest::qWaitFor([&] { return w.host->Boxes().size() == 1; }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return AllOpen(Open(w)); }));
    QVERIFY(w.host->Shown(kInformation, "Conversion Has Been Completed!"));
    // The summary counts the data lines of the output, the titles line aside.
    const std::string text = ReadFile(out);
    const auto lines = std::count(text.begin(), text.end(), '\n') - 1;
    QVERIFY(lines > 10);
    QCOMPARE(Status(w),
             QStringLiteral("Completed: 1 file written, %1 lines: %2").arg(lines).arg(Q(out)));
    QVERIFY(w.window->RunStatusLabel()->toolTip().endsWith(QLatin1Char('\n') + Q(out)));

    // A run that cannot write its output opens the controls again too.
    w.host->SaveAnswers.push_back(dir.File("gone/drive.csv"));
    w.Button("OutBrowse")->click();
    w.Button("btnConvert")->click();
    QVERIFY(AllClosedButCancel(Open(w)));
    QVERIFY(QTest::qWaitFor([&] { return w.host->Boxes().size() == 2; }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return AllOpen(Open(w)); }));
    QVERIFY2(Status(w).startsWith(QStringLiteral("Failed (Output File Cannot Be Accessed! (")),
             qPrintable(Status(w)));
  }

  void aCancelledRunOpensTheControlsAgain() {
    ScratchDir in, out;
    for (const char* name : {"a.tvf", "b.tvf", "c.tvf"})
      TarvikBusyDrive(3000).WriteTo(in.File(name));
    Window w;
    w.Button("rbMultipleFiles")->click();
    w.Get<QComboBox>("cbInputExt")->setEditText(QStringLiteral("*.tvf"));
    w.host->FolderAnswers = {in.Path().string(), out.Path().string()};
    w.Button("btnInFolder")->click();
    w.Button("btnOutFolder")->click();
    QVERIFY(SelectFields(w, {"GPS Time (HH:MM:SS)"}));
    w.Button("btnConvert")->click();
    QVERIFY(AllClosedButCancel(Open(w)));
    // Nor is a log dropped meanwhile taken.
    bool entered = true;
    Drop(w.window.get(), Q(SamplePath()), entered);
    QVERIFY(!entered);
    w.Button("btnCancel")->click();
    QVERIFY(QTest::qWaitFor([&] { return w.host->Boxes().size() == 1; }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return AllOpen(Open(w)); }));
    QVERIFY(
        w.host->Boxes().front().text.startsWith(QStringLiteral("Conversion Has Been Cancelled!")));
    QVERIFY2(Status(w).startsWith(QStringLiteral("Cancelled: ")), qPrintable(Status(w)));
    QVERIFY2(Status(w).contains(QStringLiteral("of 3 logs converted")), qPrintable(Status(w)));
  }

  void aDroppedLogIsOpenedAsBrowseOpensIt() {
    Window w;
    // In folder mode too: a log is one file.
    w.Button("rbMultipleFiles")->click();
    bool entered = false;
    Drop(w.window.get(), Q(SamplePath()), entered);
    QVERIFY(entered);
    QVERIFY(QTest::qWaitFor(
        [&] { return w.Get<QLineEdit>("InputFilename")->text() == Q(SamplePath()); }));
    QVERIFY(Indexed(w));
    QVERIFY(w.form().rbSingleFile.Checked());
    QCOMPARE(w.Get<QLabel>("InputFormatLabel")->text(), QStringLiteral("QVX Tarvik"));
    QCOMPARE(w.window->Tree()->Model()->rowCount(), 2);
    QCOMPARE(w.host->Boxes().size(), std::size_t{0});
    // A drop on a field goes to the window: no field takes it as text.
    for (QLineEdit* edit : w.window->findChildren<QLineEdit*>())
      if (edit->window() == w.window.get())
        QVERIFY2(!edit->acceptDrops(), qPrintable(edit->objectName()));

    // A folder is not a log; a file that is no log is warned about as "Browse" warns.
    ScratchDir dir;
    Drop(w.window.get(), Q(dir.Path().string()), entered);
    QVERIFY(!entered);
    const std::string junk = dir.File("junk.tvf");
    WriteFile(junk, std::vector<std::uint8_t>(40, 0));
    Drop(w.window.get(), Q(junk), entered);
    QVERIFY(entered);
    QVERIFY(QTest::qWaitFor([&] { return w.host->Shown(kWarning, kNotQvxProduct); }));

    // A dropped configuration is opened as "Open Configuration" opens it.
    QVERIFY(Choose(w, SamplePath()));
    QVERIFY(SelectFields(w, {"GPS Time (HH:MM:SS)"}));
    const std::string cfg = dir.File("drive.cfg");
    QVERIFY(w.form().SaveConfiguration(cfg));
    w.Button("DeselectAll")->click();
    Drop(w.window.get(), Q(cfg), entered);
    QVERIFY(QTest::qWaitFor([&] { return w.Items("SelectedBox").size() == 1; }));
    QCOMPARE(w.Items("SelectedBox"), QStringList{QStringLiteral("GPS Time (HH:MM:SS)")});
  }

  void recentFilesListWhatWasOpenedLatestFirst() {
    ScratchDir dir;
    const std::string copy = dir.File("copy.tvf");
    WriteFile(copy, [] {
      const std::string s = ReadFile(SamplePath());
      return std::vector<std::uint8_t>(s.begin(), s.end());
    }());
    const std::string cfg = dir.File("drive.cfg");
    {
      Window w;
      QVERIFY(RecentEntries(w).empty());
      QVERIFY(Choose(w, SamplePath()));
      QVERIFY(Choose(w, copy));
      w.host->SaveAnswers.push_back(cfg);
      w.Get<QAction>("SaveConfiguration1")->trigger();
      QVERIFY(Choose(w, SamplePath()));
      QCoreApplication::processEvents();
      // Each file once, the latest first; a configuration knows it is one.
      const std::vector<RecentFile> want{
          {Q(SamplePath()), false}, {Q(cfg), true}, {Q(copy), false}};
      QVERIFY(RecentEntries(w) == want);
      QVERIFY(RecentFiles::List() == want);
    }
    // The next session has them, and choosing one opens it.
    Window w;
    QCOMPARE(RecentEntries(w).size(), std::size_t{3});
    QAction* entry = w.window->RecentMenu()->actions().at(2);
    QCOMPARE(entry->text(), QStringLiteral("&3 ") + Q(copy));
    entry->trigger();
    QVERIFY(Indexed(w));
    QCOMPARE(w.Get<QLineEdit>("InputFilename")->text(), Q(copy));
    QCoreApplication::processEvents();
    QCOMPARE(RecentEntries(w).front().Path, Q(copy));

    // A file that has gone is dropped from the list, with the message of a missing file.
    std::filesystem::remove(copy);
    std::filesystem::remove(cfg);
    w.window->RecentMenu()->actions().at(0)->trigger();
    QVERIFY(w.host->BoxLines().last().startsWith("Error: Input File Does Not Exist! (" + Q(copy)));
    QCoreApplication::processEvents();
    QCOMPARE(RecentEntries(w).front().Path, Q(SamplePath()));
    w.window->RecentMenu()->actions().at(1)->trigger();
    QCOMPARE(w.host->BoxLines().last(),
             "Error: Configuration File Does Not Exist! (" + Q(cfg) + QLatin1Char(')'));
    QCoreApplication::processEvents();
    QCOMPARE(RecentEntries(w).size(), std::size_t{1});
    w.Get<QAction>("ClearRecentFiles1")->trigger();
    QCoreApplication::processEvents();
    QVERIFY(RecentEntries(w).empty());
  }

  void fileDialogsOpenWhereTheyLastTookAFile() {
    ScratchDir dir;
    const std::string log = dir.File("drive.tvf");
    WriteFile(log, [] {
      const std::string s = ReadFile(SamplePath());
      return std::vector<std::uint8_t>(s.begin(), s.end());
    }());
    // The window's own dialogs, answered as a user would.
    MainWindow window(std::make_unique<QtHost>());
    QString opened;
    auto answer = [&](const QString& file) {
      QTimer::singleShot(0, [&, file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
          if (QWidget* other = QApplication::activeModalWidget()) other->close();
          return;
        }
        opened = dialog->directory().absolutePath();
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
      });
    };
    answer(Q(log));
    window.Form().InBrowseClick();
    QCOMPARE(window.Form().InputFilename.Text(), log);
    window.Form().WaitForIndexing();
    QCOMPARE(LastFolder(QStringLiteral("Open/Log")), Q(dir.Path().string()));
    answer(Q(log));
    window.Form().InBrowseClick();
    QCOMPARE(opened, Q(dir.Path().string()));
    window.Form().WaitForIndexing();
  }

  void theColourBandsOfTheDialogColourTheMapAndTheKml() {
    Window w;
    QVERIFY(Choose(w, SamplePath()));
    QVERIFY(SelectFields(
        w, {"Latitude (Decimal Degrees)", "Longitude (Decimal Degrees)", "<< DATA >>"}));
    ViewsPane* views = w.window->Views();
    views->setCurrentIndex(1);
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy() && views->Map()->Track(); }, 20000));
    DriveMap* map = views->Map();
    // A point of the drive above -100 dBm that no later point covers, clear of the legend
    // (top right) and the scale bar (bottom left).
    const DriveTrack& track = *map->Track();
    QPointF at;
    float level = 0;
    bool found = false;
    for (std::size_t i = track.Lines.size(); i-- > 0 && !found;) {
      const DriveLine& l = track.Lines[i];
      if (!l.HasPosition || !l.HasLevel() || l.Strongest < -99) continue;
      at = map->ToPixel(l.Latitude, l.Longitude);
      if (at.x() < 10 || at.x() > map->width() * 0.6 || at.y() < 10 || at.y() > map->height() - 50)
        continue;
      found = true;
      for (std::size_t j = i + 1; j < track.Lines.size() && found; ++j) {
        if (!track.Lines[j].HasPosition) continue;
        const QPointF d = map->ToPixel(track.Lines[j].Latitude, track.Lines[j].Longitude) - at;
        found = d.x() * d.x() + d.y() * d.y() > 100;
      }
      level = l.Strongest;
    }
    QVERIFY(found);
    const auto pixel = [&] {
      return map->grab().toImage().pixelColor(int(std::floor(at.x())), int(std::floor(at.y())));
    };
    const SignalColors usual;
    const Rgb before = usual.Color(usual.Band(level));
    QCOMPARE(pixel(), QColor(before.Red, before.Green, before.Blue));
    QVERIFY(pixel() != QColor(255, 0, 0));

    // The dialog refuses thresholds out of order, and says why.
    ColorThresholdsDialog* dialog = w.window->ColorDlg();
    QString refused;
    QStringList shown;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
      for (int band = 0; band < 3; ++band) shown << dialog->Field(band)->text();
      dialog->Field(0)->setText(QStringLiteral("-2"));
      dialog->Field(1)->setText(QStringLiteral("-1"));
      dialog->Field(2)->setText(QStringLiteral("-3"));
      auto* buttons = dialog->findChild<QDialogButtonBox*>("ColorThresholdsButtons");
      buttons->button(QDialogButtonBox::Ok)->click();
      refused = dialog->Problem();
      stayedOpen = dialog->isVisible();
      dialog->Field(0)->setText(QStringLiteral("-1"));
      dialog->Field(1)->setText(QStringLiteral("-2"));
      buttons->button(QDialogButtonBox::Ok)->click();
    });
    w.Get<QAction>("ColorThresholds1")->trigger();
    QCOMPARE(shown, QStringList({"-70", "-85", "-100"}));
    QVERIFY(stayedOpen);
    QVERIFY2(refused.contains(QStringLiteral("must ascend")), qPrintable(refused));
    QCOMPARE(w.form().ColorThresholds.Text(), std::string("-1,-2,-3"));
    // Every level of the drive is now below the orange threshold: red, and so says the legend.
    QCOMPARE(map->Colors().Text(), std::string("-1,-2,-3"));
    QCOMPARE(pixel(), QColor(255, 0, 0));

    // A KML written afterwards has the same bands.
    ScratchDir dir;
    const std::string kml = dir.File("drive.kml");
    auto* formats = w.Get<QComboBox>("OutputFormatGroup");
    const int index = formats->findText(QStringLiteral("KML"));
    QVERIFY(index > 12);
    formats->setCurrentIndex(index);
    emit formats->activated(index);
    // The format's preset empties the selected list.
    QVERIFY(SelectFields(w, {"Latitude (Decimal Degrees)", "<< DATA >>"}));
    w.host->SaveAnswers.push_back(kml);
    w.Button("OutBrowse")->click();
    w.Button("btnConvert")->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.host->Boxes().empty(); }, 20000));
    QVERIFY2(w.host->Boxes().front().type == kInformation,
             qPrintable(w.host->BoxLines().join("|")));
    QVERIFY(QTest::qWaitFor([&] { return AllOpen(Open(w)); }));
    const std::string text = ReadFile(kml);
    QVERIFY(text.find("-1 to -2 dBm") != std::string::npos);
    QVERIFY(text.find("-2 to -3 dBm") != std::string::npos);
    QVERIFY(text.find("-70 to -85 dBm") == std::string::npos);
    // Every placemark of the drive is red: the other bands are used by their legend entry only.
    const auto uses = [&](const std::string& style) {
      const std::string url = "<styleUrl>#" + style + "</styleUrl>";
      int n = 0;
      for (std::size_t at = text.find(url); at != std::string::npos; at = text.find(url, at + 1))
        ++n;
      return n;
    };
    QVERIFY(uses("band3") > 10);
    for (const char* band : {"band0", "band1", "band2"}) QVERIFY2(uses(band) == 1, band);
    const std::size_t red = text.find("<Style id=\"band3\">");
    QVERIFY(red != std::string::npos);
    QVERIFY(text.find("ff0000ff", red) < text.find("</Style>", red));

    // Saved and opened again with the configuration.
    const std::string cfg = dir.File("bands.cfg");
    w.host->SaveAnswers.push_back(cfg);
    w.Get<QAction>("SaveConfiguration1")->trigger();
    QVERIFY(ReadFile(cfg).find("Thresholds=-1,-2,-3") != std::string::npos);
    w.form().ColorThresholds.SetText(kDefaultColorThresholds);
    QVERIFY(pixel() != QColor(255, 0, 0));
    w.host->OpenAnswers.push_back(cfg);
    w.Get<QAction>("OpenConfiguration1")->trigger();
    QCOMPARE(map->Colors().Text(), std::string("-1,-2,-3"));

    // The dialog's colour column and table layout reach the writer: a column the lines lack is
    // refused with the reason and leaves no file; the long layout names the reading's columns
    // without the receiver, and a colour column of it takes the bands.
    const std::string refusedKml = dir.File("refused.kml");
    const auto mapRun = [&](const QString& column, int layout, const std::string& output) {
      QTimer::singleShot(0, [&, column, layout] {
        dialog->ColorColumnField()->setText(column);
        dialog->LayoutChoice()->setCurrentIndex(layout);
        dialog->findChild<QDialogButtonBox*>("ColorThresholdsButtons")
            ->button(QDialogButtonBox::Ok)
            ->click();
      });
      w.Get<QAction>("ColorThresholds1")->trigger();
      w.host->ClearBoxes();
      w.host->SaveAnswers.push_back(output);
      w.Button("OutBrowse")->click();
      w.Button("btnConvert")->click();
      return QTest::qWaitFor([&] { return !w.host->Boxes().empty() && AllOpen(Open(w)); }, 20000);
    };
    QVERIFY(mapRun(QStringLiteral("Nope"), 0, refusedKml));
    QVERIFY2(w.host->BoxLines().join("|").contains(QStringLiteral("no attribute \"Nope\"")),
             qPrintable(w.host->BoxLines().join("|")));
    QVERIFY(!std::filesystem::exists(refusedKml));
    QCOMPARE(w.form().ColorColumn.Text(), std::string("Nope"));

    const std::string longKml = dir.File("long.kml");
    QVERIFY(mapRun(QStringLiteral("RSSI"), 1, longKml));
    QVERIFY2(w.host->Boxes().front().type == kInformation,
             qPrintable(w.host->BoxLines().join("|")));
    QCOMPARE(w.form().MapLayout, TableLayout::Long);
    const std::string longText = ReadFile(longKml);
    QVERIFY(longText.find("name=\"Reading\"") != std::string::npos);
    QVERIFY(longText.find("name=\"RSSI\"") != std::string::npos);
    QVERIFY(longText.find("name=\"Rec#1 RSSI\"") == std::string::npos);
    w.host->SaveAnswers.push_back(cfg);
    w.Get<QAction>("SaveConfiguration1")->trigger();
    QVERIFY(ReadFile(cfg).find("Layout=long") != std::string::npos);
    QVERIFY(ReadFile(cfg).find("ColorColumn=RSSI") != std::string::npos);
  }
};

std::unique_ptr<QObject> NewWindowRunsTest() {
  return std::make_unique<WindowRunsTest>();
}

}  // namespace polvane::testing

#include "window_runs_test.moc"
