// The main window as the user drives it: its controls mirror the model both ways, its buttons
// run the model's handlers, and conversions started from it match the command line.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>

#include "convert/section_table.h"
#include "support/bytes.h"
#include "support/tarvik_log.h"
#include "ui/gauge.h"
#include "ui/index_tree.h"
#include "ui/wait_dialog.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

constexpr std::int16_t kLatitude = 5, kLongitude = 11, kData = 0, kGpsTime = 18, kMarker = 29;

const char* const kCompleted = "Conversion Has Been Completed!";

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// "Browse" with the sample as the dialog's answer; returns once the file is indexed.
bool ChooseSample(Window& w) {
  w.host->OpenAnswers.push_back(SamplePath());
  w.Button("InBrowse")->click();
  // "CONVERT" waits for the index.
  if (w.Button("btnConvert")->isEnabled()) return false;
  if (!QTest::qWaitFor([&] { return !w.form().Indexing() && w.Button("btnConvert")->isEnabled(); }))
    return false;
  QCoreApplication::processEvents();
  return true;
}

int RowOf(Window& w, std::int16_t field) {
  const ProductConverter& c = *w.form().CurrentConverter.load();
  const std::span<const std::int16_t> offered = c.Offered();
  for (std::size_t i = 0; i < offered.size(); ++i)
    if (offered[i] == field) return static_cast<int>(i);
  return -1;
}

// Highlights the field in "Available Fields" and presses ">"; false when it is not offered.
bool Select(Window& w, std::int16_t field) {
  const int row = RowOf(w, field);
  w.Get<QListWidget>("AvailableBox")->setCurrentRow(row);
  w.Button("SelectField")->click();
  return row >= 0;
}

std::vector<std::int16_t> Tags(Window& w) {
  return w.form().SnapshotSelection().Tags;
}

QStringList Titles(std::initializer_list<std::int16_t> fields) {
  QStringList titles;
  for (std::int16_t f : fields) titles << QString::fromLatin1(CatalogueTitle(f));
  return titles;
}

std::string DropLast4(const std::string& s) {
  return s.substr(0, s.size() - 4);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void frameMenusAndStatusBar() {
    Window w;
    QCOMPARE(w.window->windowTitle(), QStringLiteral("QVX Polvane CW 5.52"));
    QCOMPARE(w.window->size(), QSize(kMainWidth, kMainHeight));
    // Resizable: the lists and the tree take what the screen gives.
    QVERIFY(w.window->minimumSize() != w.window->maximumSize());

    QStringList entries;
    for (QAction* menu : w.window->menuBar()->actions()) {
      entries << menu->text();
      for (QAction* a : menu->menu()->actions()) entries << (a->isSeparator() ? "-" : a->text());
    }
    QCOMPARE(entries, QStringList({"&Application", "Open Configuration", "Save Configuration",
                                   "Recent Files", "Map Output...", "-", "E&xit", "&Help",
                                   "Contents && Index", "-", "About"}));

    QStatusBar* bar = w.window->statusBar();
    QVERIFY(!bar->isSizeGripEnabled());
    QCOMPARE(w.window->ProgressBar()->width(), 950);
    QCOMPARE(w.window->ProgressBar()->FillColor(), QColor(0, 0, 128));
    QCOMPARE(w.window->Clock()->width(), 100);
    QCOMPARE(w.window->Clock()->text(), QStringLiteral("HH:MM:SS"));
    QCOMPARE(w.window->Timer()->interval(), 1000);
    QVERIFY(w.window->Timer()->isActive());
    w.window->TimerTimer();
    QVERIFY(w.window->Clock()->text().contains(QRegularExpression("^\\d{1,2}:\\d\\d:\\d\\d")));
  }

  // What the user sees before choosing anything.
  void initialStates() {
    Window w;
    struct Expect {
      const char* name;
      bool checked, enabled, visible;
    };
    const Expect buttons[] = {
        {"rbSingleFile", true, true, true},
        {"rbMultipleFiles", false, true, true},
        {"cbSplit", false, true, true},
        {"Receiver1", true, true, true},
        {"Receiver2", false, true, true},
        {"Receiver4", false, true, true},
        {"NoAvg", true, true, true},
        {"BSAvg", false, true, true},
        {"RadioButton1", false, false, true},
        {"RadioButton2", false, false, true},
        {"btnChannelList", false, false, true},
        {"btnThreshold", false, false, true},
        {"cbAT_None", true, true, true},
        {"rbORPS", false, false, false},
        {"rbORPM", false, false, false},
        {"FieldTitles", true, true, true},
        {"FrequencyField", true, true, true},
        {"ChannelField", false, true, true},
        {"RSSIField", true, true, true},
        {"SATField", false, false, true},
        {"VMACField", false, false, true},
        {"DelimiterGroup_0", true, true, true},
    };
    for (const Expect& e : buttons) {
      QAbstractButton* b = w.Button(e.name);
      QVERIFY2(b, e.name);
      QVERIFY2(b->isChecked() == e.checked, e.name);
      QVERIFY2(b->isEnabled() == e.enabled, e.name);
      QVERIFY2(b->isVisibleTo(w.window.get()) == e.visible, e.name);
    }
    QVERIFY(w.Button("ScanTypeGroup_1")->isChecked());
    QVERIFY(w.Button("DrovelMode_0")->isChecked());
    for (const char* hidden : {"ScanTypeGroup", "DrovelMode", "InputFormatGroup"})
      QVERIFY2(!w.Get<QGroupBox>(hidden)->isVisibleTo(w.window.get()), hidden);
    QVERIFY(!w.Get<QLineEdit>("ORPS_Value")->isVisibleTo(w.window.get()));
    QCOMPARE(w.Get<QLabel>("InputFormatLabel")->text(), QStringLiteral("(None)"));
    QCOMPARE(w.Get<QLineEdit>("OtherDelimiter")->text(), QStringLiteral(":"));
    QCOMPARE(w.Get<QLineEdit>("OtherDelimiter")->maxLength(), 1);
    QCOMPARE(w.Get<QLineEdit>("edOutputExt")->text(), QStringLiteral(".out"));
    QCOMPARE(w.Get<QLineEdit>("edFileCount")->text(), QStringLiteral("0"));
    QVERIFY(w.Get<QLineEdit>("InputFilename")->isReadOnly());
    QCOMPARE(w.Get<QComboBox>("cbInputExt")->currentText(), QStringLiteral("*.pvf"));
    QCOMPARE(w.Button("cbSplit")->toolTip(),
             QStringLiteral("Split output file into 60000 record files"));
    QCOMPARE(w.Get<QToolButton>("sbHelp")->toolTip(), QStringLiteral("What's This?"));
    // The format selector is offered.
    auto* formats = w.Get<QComboBox>("OutputFormatGroup");
    QVERIFY(formats->isVisibleTo(w.window.get()) && formats->isEnabled());
    QCOMPARE(formats->currentText(), QStringLiteral("Custom ASCII Configuration"));
    QCOMPARE(formats->count(), 17);
    QCOMPARE(w.Items("AvailableBox").size(), 30);
    QCOMPARE(w.Items("SelectedBox"), QStringList());
  }

  // Desktops run their windows at 9 to 11 points; the window fits every caption at each.
  void captionsFitTheFixedWindow_data() {
    QTest::addColumn<qreal>("points");
    QTest::newRow("application font") << 0.0;
    QTest::newRow("10 pt") << 10.0;
    QTest::newRow("11 pt") << 11.0;
  }
  void captionsFitTheFixedWindow() {
    QFETCH(qreal, points);
    const QFont original = QApplication::font();
    QFont font = original;
    if (points > 0) font.setPointSizeF(points);
    QApplication::setFont(font);
    {
      Window w;
      QVERIFY(ChooseSample(w));
      QCOMPARE(CutOffCaptions(w.window.get()), QStringList());
      // The Drovel scan modes take more room than the Tarvik scan types.
      w.form().ApplyProductSettings(*FindProduct(kProductDrovel));
      QCoreApplication::processEvents();
      QVERIFY(w.Get<QGroupBox>("DrovelMode")->isVisible());
      QCOMPARE(CutOffCaptions(w.window.get()), QStringList());
    }
    QApplication::setFont(original);
  }

  void choosingTheSampleThroughTheDialog() {
    Window w;
    QVERIFY(ChooseSample(w));
    // "All logs" first, then the filter of each product.
    QCOMPARE(w.host->LastSpec.Filter,
             "All logs|*.tvf;*.svf;*.bin;*.kes;*.dvf;*.vub;*.pvf|" + std::string(kLogFileFilter));
    QVERIFY(QtNameFilters(w.host->LastSpec.Filter)
                .startsWith("All logs (*.tvf *.svf *.bin *.kes *.dvf *.vub *.pvf);;Tarvik"));
    QCOMPARE(w.Get<QLabel>("InputFormatLabel")->text(), QStringLiteral("QVX Tarvik"));
    QCOMPARE(w.Get<QLineEdit>("InputFilename")->text(), Q(SamplePath()));
    QCOMPARE(w.Get<QLineEdit>("OutputFilename")->text(), Q(DropLast4(SamplePath()) + ".out"));
    for (const char* r : {"Receiver1", "Receiver2", "Receiver3", "Receiver4"})
      QVERIFY2(w.Button(r)->isEnabled(), r);
    QVERIFY(w.Get<QGroupBox>("ScanTypeGroup")->isVisible());
    QVERIFY(w.Button("ScanTypeGroup_1")->isChecked());

    QStringList offered;
    for (std::int16_t f : OfferList(kProductTarvik))
      offered << QString::fromLatin1(CatalogueTitle(f));
    QCOMPARE(w.Items("AvailableBox"), offered);

    // The index: the wait window came and went, and the tree shows the sections checked.
    QCOMPARE(w.host->WaitWindowShown, 1);
    QVERIFY(!w.window->WaitDlg()->isVisible());
    IndexTree* tree = w.window->Tree();
    QCOMPARE(tree->Model()->rowCount(), 2);
    QCOMPARE(tree->Root(0).data().toString(), QStringLiteral("Scan Data"));
    QCOMPARE(tree->Root(1).data().toString(), QStringLiteral("Fast Data"));
    QVERIFY(tree->isExpanded(tree->Root(0)));
    int sections = 0;
    for (int r = 0; r < 2; ++r) {
      QCOMPARE(tree->StateImageOf(tree->Root(r)), kNoStateImage);
      for (int c = 0; c < tree->Model()->rowCount(tree->Root(r)); ++c, ++sections)
        QCOMPARE(tree->StateImageOf(tree->Section(r, c)), kStateSelected);
    }
    QCOMPARE(sections, 4);
    QCOMPARE(w.window->ProgressBar()->Position(), 0);
  }

  void treeClicksToggleSections() {
    Window w;
    QVERIFY(ChooseSample(w));
    IndexTree* tree = w.window->Tree();
    const QModelIndex root = tree->Root(0);
    const QModelIndex section = tree->Section(0, 0);
    auto click = [&](const QModelIndex& index, Qt::MouseButton button) {
      QTest::mouseClick(tree->viewport(), button, {}, tree->visualRect(index).center());
    };
    click(section, Qt::LeftButton);
    QCOMPARE(tree->StateImageOf(section), kStateDeselected);
    QCOMPARE(section.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    // Any button toggles; a data-kind node's text and empty space do nothing.
    click(section, Qt::RightButton);
    QCOMPARE(tree->StateImageOf(section), kStateSelected);
    click(root, Qt::LeftButton);
    QCOMPARE(tree->StateImageOf(root), kNoStateImage);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(5, tree->viewport()->height() - 3));
    for (int c = 0; c < tree->Model()->rowCount(root); ++c)
      QCOMPARE(tree->StateImageOf(tree->Section(0, c)), kStateSelected);
  }

  void selectionButtonsKeepTheTagsInStep() {
    Window w;
    QVERIFY(ChooseSample(w));
    // A field selected twice is listed twice.
    QVERIFY(Select(w, kLatitude));
    QVERIFY(Select(w, kLatitude));
    QCOMPARE(w.Items("SelectedBox"), Titles({kLatitude, kLatitude}));
    QCOMPARE(Tags(w), std::vector<std::int16_t>({kLatitude, kLatitude}));
    QCOMPARE(w.Items("AvailableBox").size(), 30);

    // "<<" then ">" selects at position 0.
    w.Button("DeselectAll")->click();
    QCOMPARE(w.Items("SelectedBox"), QStringList());
    QVERIFY(Select(w, kGpsTime));
    QCOMPARE(Tags(w), std::vector<std::int16_t>({kGpsTime}));

    // ">>" appends the whole offer list after it.
    w.Button("SelectAll")->click();
    std::vector<std::int16_t> expected{kGpsTime};
    for (std::int16_t f : OfferList(kProductTarvik)) expected.push_back(f);
    QCOMPARE(Tags(w), expected);
    QCOMPARE(w.Items("SelectedBox").size(), 31);

    // "<" takes out the highlighted field and its tag.
    w.Get<QListWidget>("SelectedBox")->setCurrentRow(0);
    w.Button("DeselectField")->click();
    expected.erase(expected.begin());
    QCOMPARE(Tags(w), expected);
    QCOMPARE(w.Items("SelectedBox").first(), QString::fromLatin1(CatalogueTitle(expected[0])));
    // Without a highlighted field, ">" and "<" do nothing.
    w.Get<QListWidget>("AvailableBox")->setCurrentRow(-1);
    w.Get<QListWidget>("SelectedBox")->setCurrentRow(-1);
    w.Button("SelectField")->click();
    w.Button("DeselectField")->click();
    QCOMPARE(Tags(w), expected);
  }

  void unknownFileWarnsAndKeepsTheNames() {
    Window w;
    QVERIFY(ChooseSample(w));
    ScratchDir dir;
    const std::string junk = dir.File("notes.tvf");
    WriteFile(junk, std::vector<std::uint8_t>(64, 'x'));
    w.host->OpenAnswers.push_back(junk);
    w.Button("InBrowse")->click();
    QCOMPARE(w.host->BoxLines(), QStringList({"Warning: File is not from a QVX CW product."}));
    QVERIFY(w.host->Boxes()[0].onGuiThread);
    QCOMPARE(w.Get<QLineEdit>("InputFilename")->text(), Q(SamplePath()));
    QCOMPARE(w.Get<QLineEdit>("OutputFilename")->text(), Q(DropLast4(SamplePath()) + ".out"));
    QCOMPARE(w.Get<QLabel>("InputFormatLabel")->text(), QStringLiteral("QVX Tarvik"));
    QVERIFY(w.Button("btnConvert")->isEnabled());

    // A cancelled dialog changes nothing at all.
    w.Button("InBrowse")->click();
    QCOMPARE(w.host->Boxes().size(), std::size_t{1});
  }

  void convertWithoutNamesIsAnError() {
    Window w;
    w.Button("btnConvert")->click();
    QCOMPARE(w.host->BoxLines(), QStringList({"Error: Input and Output Files Must Be Selected."}));
    w.Button("rbMultipleFiles")->click();
    QVERIFY(!w.Button("rbSingleFile")->isChecked());
    w.Button("btnConvert")->click();
    QCOMPARE(w.host->BoxLines().last(),
             QStringLiteral("Error: Input and Output Folders Must Be Selected."));
    QVERIFY(w.host->Boxes().back().onGuiThread);
  }

  void sbHelpExplainsTheSplit() {
    Window w;
    w.Get<QToolButton>("sbHelp")->click();
    QCOMPARE(w.host->BoxLines(), QStringList({QStringLiteral("Information: ") + kSplitHelp}));
  }

  void conversionMatchesTheCommandLine() {
    Window w;
    QVERIFY(ChooseSample(w));
    ScratchDir dir;
    const std::string fromWindow = dir.File("window.csv");
    const std::string fromCli = dir.File("cli.csv");
    w.host->SaveAnswers.push_back(fromWindow);
    w.Button("OutBrowse")->click();
    QCOMPARE(w.Get<QLineEdit>("OutputFilename")->text(), Q(fromWindow));

    for (std::int16_t f : {kLatitude, kLongitude, kData, kMarker}) QVERIFY(Select(w, f));
    w.Button("DelimiterGroup_2")->click();  // Tab
    w.Button("BSAvg")->click();
    QVERIFY(!w.Button("NoAvg")->isChecked());
    w.Button("Receiver2")->click();
    w.Button("ChannelField")->click();
    // Leave out the second scan section.
    IndexTree* tree = w.window->Tree();
    const QModelIndex section = tree->Section(0, 1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(section).center());
    const std::shared_ptr<SectionTable> sections =
        w.form().CurrentConverter.load()->Sections().Table();
    QVERIFY(sections && tree->NodeOf(section));
    const int ordinal = static_cast<int>(tree->NodeOf(section)->Ordinal);
    QVERIFY(ordinal > 0 && !sections->Selected(static_cast<std::uint32_t>(ordinal)));

    w.Button("btnConvert")->click();
    QVERIFY(QTest::qWaitFor([&] { return w.host->Shown(kInformation, kCompleted); }));
    QVERIFY(w.host->Boxes().back().onGuiThread);
    QCOMPARE(w.host->Boxes().size(), std::size_t{1});
    QCOMPARE(w.window->ProgressBar()->Position(), 100);

    const int status = QProcess::execute(
        POLVANE_CLI, {"convert", Q(SamplePath()), Q(fromCli), "--fields", "5,11,0,29", "-d", "tab",
                      "--header", "--best-server", "-r", "1,2", "--data", "freq,channel,rssi",
                      "--deselect", QString::number(ordinal), "-q"});
    QCOMPARE(status, 0);
    const std::string window = ReadFile(fromWindow);
    QVERIFY(window.size() > 100);
    QVERIFY(window == ReadFile(fromCli));
  }

  void cancelStopsALongConversion() {
    ScratchDir in, out;
    constexpr int kRecords = 3000;
    TarvikBusyDrive(kRecords).WriteTo(in.File("long.tvf"));
    Window w;
    w.Button("rbMultipleFiles")->click();
    w.Get<QComboBox>("cbInputExt")->setEditText(QStringLiteral("*.tvf"));
    QCOMPARE(w.form().cbInputExt.Text(), std::string("*.tvf"));
    w.host->FolderAnswers = {in.Path().string(), out.Path().string()};
    w.Button("btnInFolder")->click();
    w.Button("btnOutFolder")->click();
    QCOMPARE(w.Get<QLineEdit>("edInFolder")->text(), Q(in.Path().string()));
    QCOMPARE(w.Get<QLineEdit>("edFileCount")->text(), QStringLiteral("1"));
    QVERIFY(Select(w, kGpsTime));

    w.Button("btnConvert")->click();
    w.Button("btnCancel")->click();
    QVERIFY(QTest::qWaitFor([&] { return w.host->Boxes().size() == 1; }, 20000));
    const std::string text = ReadFile(out.File("long.out"));
    const auto lines = std::count(text.begin(), text.end(), '\n');
    QVERIFY2(lines < kRecords / 2, qPrintable(QString::number(lines)));
    // The message says the run was cancelled and how much the partial output holds; the gauge
    // shows where it stopped.
    const ShownBox cancelled = w.host->Boxes().front();
    QCOMPARE(cancelled.type, static_cast<int>(kWarning));
    QVERIFY2(cancelled.text.startsWith(QStringLiteral("Conversion Has Been Cancelled!\n")),
             qPrintable(cancelled.text));
    // The cancel may come before the worker made the output at all.
    QVERIFY2(cancelled.text.contains(Q(out.File("long.out"))) ||
                 cancelled.text.endsWith(QStringLiteral("No output file was written.")),
             qPrintable(cancelled.text));
    QVERIFY(w.form().ProgressBar.Position() < 100);

    // A conversion left to run writes every record. CONVERT opens again once the cancelled run
    // has ended.
    QVERIFY(QTest::qWaitFor([&] { return w.Button("btnConvert")->isEnabled(); }));
    w.Button("btnConvert")->click();
    QVERIFY(QTest::qWaitFor([&] { return w.host->Boxes().size() == 2; }, 30000));
    QVERIFY(w.host->Shown(kInformation, kCompleted));
    const std::string full = ReadFile(out.File("long.out"));
    QCOMPARE(std::count(full.begin(), full.end(), '\n'), std::ptrdiff_t{kRecords + 1});
  }

  void folderModeEmptiesTheSectionTree() {
    Window w;
    QVERIFY(ChooseSample(w));
    IndexTree* tree = w.window->Tree();
    QCOMPARE(tree->Model()->rowCount(), 2);
    w.Button("rbMultipleFiles")->click();
    QCoreApplication::processEvents();
    QCOMPARE(tree->Model()->rowCount(), 0);
    // Single-file mode shows the chosen file's sections again.
    w.Button("rbSingleFile")->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.form().Indexing(); }));
    QVERIFY(QTest::qWaitFor([&] {
      return tree->Model()->rowCount() == 2 && tree->Model()->rowCount(tree->Root(0)) > 0;
    }));
  }

  void formatTypeReachesPresetsAndFixedLayouts() {
    Window w;
    QVERIFY(ChooseSample(w));
    auto* formats = w.Get<QComboBox>("OutputFormatGroup");
    auto choose = [&](int index) {
      formats->setCurrentIndex(index);
      emit formats->activated(index);
    };
    QWidget* window = w.window.get();
    choose(5);  // Microsoft Excel
    QCOMPARE(w.Items("SelectedBox"), Titles({kLongitude, kLatitude, 18}));
    QCOMPARE(Tags(w), std::vector<std::int16_t>({kLongitude, kLatitude, 18}));
    QVERIFY(w.Button("FieldTitles")->isChecked());
    QVERIFY(w.Button("DelimiterGroup_2")->isChecked());

    choose(6);  // MLJ PathPro: a fixed layout
    QCOMPARE(w.Items("SelectedBox"), QStringList());
    // The preset's name, in the input's folder.
    QVERIFY(
        w.Get<QLineEdit>("OutputFilename")->text().endsWith(QStringLiteral("/samples/MLJ.M01")));
    for (const char* b : {"SelectField", "DeselectField", "SelectAll", "DeselectAll"})
      QVERIFY2(!w.Button(b)->isEnabled(), b);
    QVERIFY(!w.Get<QGroupBox>("DelimiterGroup")->isVisibleTo(window));
    QVERIFY(!w.Button("FieldTitles")->isVisibleTo(window));
    QVERIFY(!w.Get<QLineEdit>("OtherDelimiter")->isVisibleTo(window));
    QVERIFY(w.form().FixedLayout);

    choose(11);  // Custom ASCII: fields again, the "Other" box included
    QVERIFY(w.Button("SelectField")->isEnabled());
    QVERIFY(w.Get<QGroupBox>("DelimiterGroup")->isVisibleTo(window));
    QVERIFY(w.Get<QLineEdit>("OtherDelimiter")->isVisibleTo(window));
    QVERIFY(!w.Button("FieldTitles")->isChecked());
    QVERIFY(!w.form().FixedLayout);

    // The format that is already chosen changes nothing.
    QVERIFY(Select(w, kLatitude));
    choose(11);
    QCOMPARE(w.Items("SelectedBox"), Titles({kLatitude}));
  }

  void configurationRoundTripsThroughTheMenu() {
    Window w;
    QVERIFY(ChooseSample(w));
    ScratchDir dir;
    const std::string cfg = dir.File("drive.cfg");
    for (std::int16_t f : {kLatitude, kData, kMarker}) QVERIFY(Select(w, f));
    w.Button("DelimiterGroup_1")->click();  // Semi-Colon
    w.Button("BSAvg")->click();
    w.Button("Receiver3")->click();
    w.Button("FieldTitles")->click();
    QVERIFY(!w.form().FieldTitles.Checked());

    w.host->SaveAnswers.push_back(cfg);
    w.window->findChild<QAction*>("SaveConfiguration1")->trigger();
    QCOMPARE(w.host->LastSpec.Title, std::string("Save Configuration"));
    QVERIFY(ReadFile(cfg).find("[SelectedTags]") != std::string::npos);

    w.Button("DeselectAll")->click();
    w.Button("DelimiterGroup_0")->click();
    w.Button("NoAvg")->click();
    w.Button("Receiver3")->click();
    w.Button("FieldTitles")->click();
    w.host->OpenAnswers.push_back(cfg);
    w.window->findChild<QAction*>("OpenConfiguration1")->trigger();
    QCOMPARE(w.host->LastSpec.Title, std::string("Open Configuration"));

    QCOMPARE(w.Items("SelectedBox"), Titles({kLatitude, kData, kMarker}));
    QCOMPARE(Tags(w), std::vector<std::int16_t>({kLatitude, kData, kMarker}));
    QVERIFY(w.Button("DelimiterGroup_1")->isChecked());
    QVERIFY(w.Button("BSAvg")->isChecked());
    QVERIFY(!w.Button("NoAvg")->isChecked());
    QVERIFY(w.Button("Receiver3")->isChecked());
    QVERIFY(!w.Button("FieldTitles")->isChecked());
    QCOMPARE(w.Get<QLineEdit>("InputFilename")->text(), Q(SamplePath()));
    QCOMPARE(w.host->Boxes().size(), std::size_t{0});
  }

  void programStartsWithAFileAndRendersScreenshots() {
    ScratchDir dir;
    const QString png = Q(dir.File("window.png"));
    QProcess gui;
    gui.start(POLVANE_GUI_PROGRAM, {"--screenshot", png, Q(SamplePath())});
    QVERIFY(gui.waitForFinished(30000));
    QCOMPARE(gui.exitCode(), 0);
    QCOMPARE(QImage(png).size(), QSize(kMainWidth, kMainHeight));

    // The file argument goes the way "Browse" goes: an unknown file is warned about.
    const std::string junk = dir.File("junk.tvf");
    WriteFile(junk, std::vector<std::uint8_t>(40, 0));
    gui.start(POLVANE_GUI_PROGRAM, {"--screenshot", png, Q(junk)});
    QVERIFY(gui.waitForFinished(30000));
    QCOMPARE(gui.exitCode(), 0);
    QVERIFY(gui.readAllStandardError().contains("Warning: File is not from a QVX CW product."));
    // A file that is not there is said to be missing.
    gui.start(POLVANE_GUI_PROGRAM, {"--screenshot", png, Q(dir.File("MISSING.tvf"))});
    QVERIFY(gui.waitForFinished(30000));
    QCOMPARE(gui.exitCode(), 0);
    const QByteArray missing = gui.readAllStandardError();
    QVERIFY2(missing.contains("Error: Input File Does Not Exist!"), missing.constData());
    QVERIFY(!missing.contains("not from a QVX CW product"));
    // A FIFO given as the log is refused at once, with the reason; nothing waits on it.
    const std::string fifo = dir.File("pipe.tvf");
    QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
    gui.start(POLVANE_GUI_PROGRAM, {"--screenshot", png, Q(fifo)});
    QVERIFY(gui.waitForFinished(30000));
    QCOMPARE(gui.exitCode(), 0);
    const QByteArray special = gui.readAllStandardError();
    const std::string refusal =
        "Error: Input File Does Not Exist! (" + fifo + ": not a regular file)";
    QVERIFY2(special.contains(refusal.c_str()), special.constData());
  }
};

std::unique_ptr<QObject> NewMainWindowTest() {
  return std::make_unique<MainWindowTest>();
}

}  // namespace polvane::testing

#include "main_window_test.moc"
