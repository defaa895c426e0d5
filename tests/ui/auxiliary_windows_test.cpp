// The windows around the main window: folder chooser, help, about box, wait window and the
// percentage gauge, and the host's hand-over of work onto the GUI thread.
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>

#include "app/worker.h"
#include "support/bytes.h"
#include "ui/about_dialog.h"
#include "ui/folder_dialog.h"
#include "ui/gauge.h"
#include "ui/help_window.h"
#include "ui/wait_dialog.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

// A host that only records message boxes; the folder chooser is the real one.
class RecordingHost : public QtHost {
 public:
  QStringList Lines;

 protected:
  void MessageBox(int type, const QString& text) override {
    Lines << QString::fromLatin1(MessageCaption(type)) + QStringLiteral(": ") + text;
  }
};

// A worker that hands `count` pieces of work to the GUI thread.
class HandingWorker : public Worker {
 public:
  HandingWorker(Host& host, int count) : host_(host), count_(count) {}
  ~HandingWorker() override { Stop(); }
  std::atomic<int> onGui{0};

 protected:
  void Execute() override {
    for (int i = 0; i < count_; ++i)
      host_.Synchronize([this] {
        if (QThread::currentThread() == qApp->thread()) ++onGui;
      });
  }

 private:
  Host& host_;
  int count_;
};

// Runs `step` once the next modal loop has started.
void WhenShown(std::function<void()> step) {
  QTimer::singleShot(0, qApp, std::move(step));
}

QColor PixelAt(PercentGauge& gauge, double fraction) {
  const QImage image = gauge.grab().toImage();
  return image.pixelColor(static_cast<int>(image.width() * fraction), image.height() / 2 + 3);
}

}  // namespace

class AuxiliaryWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void folderChooserHandsBackTheLastOk() {
    TOpenFolderDlg chooser;
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Choose File Folder"));
    QCOMPARE(chooser.size(), QSize(425, 350));
    QCOMPARE(chooser.ChosenFolder(), QString());
    // It opens at the current folder.
    QCOMPARE(chooser.edFolder()->text(), QDir::toNativeSeparators(QDir::currentPath()));
    QVERIFY(chooser.OkButton()->font().bold());

    // Typed text is handed back as typed, whether the folder exists or not.
    WhenShown([&] {
      chooser.edFolder()->setText(QStringLiteral("/no/such/folder"));
      chooser.OkButton()->click();
    });
    QCOMPARE(chooser.Choose(), QStringLiteral("/no/such/folder"));
    // Closed without "OK": the previous choice stands.
    WhenShown([&] {
      chooser.edFolder()->setText(QStringLiteral("/tmp"));
      chooser.reject();
    });
    QCOMPARE(chooser.Choose(), QStringLiteral("/no/such/folder"));
  }

  void folderButtonsUseTheChooser() {
    auto host = std::make_unique<RecordingHost>();
    MainWindow window(std::move(host));
    window.show();
    ScratchDir in;
    WhenShown([&] {
      window.OpenFolderDlg()->edFolder()->setText(QString::fromStdString(in.Path().string()));
      window.OpenFolderDlg()->OkButton()->click();
    });
    window.findChild<QPushButton*>("btnInFolder")->click();
    QCOMPARE(window.findChild<QLineEdit*>("edInFolder")->text(),
             QString::fromStdString(in.Path().string()));
    // Still no count: the output folder is empty.
    QCOMPARE(window.findChild<QLineEdit*>("edFileCount")->text(), QStringLiteral("0"));
  }

  void helpWindowHoldsTheManual() {
    THelp_Form help;
    QCOMPARE(help.windowTitle(), QStringLiteral("Polvane Help"));
    QCOMPARE(help.size(), QSize(696, 480));
    QVERIFY(help.minimumSize() != help.maximumSize());
    QVERIFY(help.Manual()->isReadOnly());
    QStringList headings;
    for (QTextBlock b = help.Manual()->document()->begin(); b.isValid(); b = b.next())
      if (b.blockFormat().headingLevel() > 0) headings << b.text().trimmed();
    QCOMPARE(headings,
             QStringList({"QVX Polvane User Manual", "Introduction", "Installation",
                          "Running the Application", "Main Menu", "Step 1 - Select Input / Output",
                          "Step 2 - Choose Formatting Options",
                          "Step 3 - Select Data and Fields Which Are To Be In The Output File",
                          "Step 4 - Convert The Input File"}));
    const QString text = help.Manual()->toPlainText();
    for (const char* phrase : {"polvane convert", "polvane-gui", ".out", "<<DATA>>",
                               "Conversion Has Been Completed!", "ASCII"})
      QVERIFY2(text.contains(QString::fromLatin1(phrase)), phrase);

    // Not modal; shown again it comes forward; "OK" hides it.
    help.ShowManual();
    QVERIFY(help.isVisible() && !help.isModal());
    help.ShowManual();
    QVERIFY(help.isVisible());
    help.findChild<QPushButton*>("OKButton")->click();
    QVERIFY(!help.isVisible());
  }

  void menuOpensHelpAndAbout() {
    Window w;
    w.window->findChild<QAction*>("ContentsIndex1")->trigger();
    QVERIFY(w.window->HelpForm()->isVisible());
    QVERIFY(!w.window->HelpForm()->isModal());
    bool modal = false;
    WhenShown([&] {
      modal = w.window->AboutDlg()->isModal();
      w.window->AboutDlg()->findChild<QPushButton*>("OKButton")->click();
    });
    w.window->findChild<QAction*>("About1")->trigger();
    QVERIFY(modal);
    QCOMPARE(w.window->AboutDlg()->result(), int(QDialog::Accepted));
  }

  void aboutBox() {
    TAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Polvane"));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QStringList texts;
    for (QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
    const QString all = texts.join(QLatin1Char('\n'));
    QVERIFY(texts.contains("Version 5.52"));
    QVERIFY(texts.contains("Polvane (CW Edition)"));
    QVERIFY(
        all.contains("The Polvane is a complimentary utility provided by Zanrovi, Inc. (QVX)."));
    QVERIFY(all.contains("filters and converts the data for input into many of the leading"));
    QStringList groups;
    for (QGroupBox* g : about.findChildren<QGroupBox*>()) groups << g->title();
    QCOMPARE(groups, QStringList({"Trademarks", "Introduction"}));
    QVERIFY(about.findChild<QPushButton*>("OKButton")->isDefault());
    QVERIFY(!about.findChild<QLabel*>("ProgramIcon")->pixmap().isNull());
  }

  void waitWindowFollowsTheHost() {
    TWaitDlg wait;
    QCOMPARE(wait.windowTitle(), QStringLiteral("Wait"));
    QCOMPARE(wait.size(), QSize(313, 136));
    auto* label = wait.findChild<QLabel*>("WaitLabel");
    QCOMPARE(label->text(), QStringLiteral("Please Wait While the File is Indexed!"));
    QVERIFY(label->wordWrap() && label->font().bold());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(wait.ProgressBar()->FillColor(), QColor(0, 0, 255));

    QtHost host;
    host.Attach(nullptr, &wait, nullptr);
    host.ShowWaitWindow(true);
    QVERIFY(wait.isVisible() && !wait.isModal());
    host.ShowWaitWindow(false);
    QVERIFY(!wait.isVisible());
  }

  void gaugeFillsToItsPercentage() {
    PercentGauge gauge(QColor(0, 0, 128));
    gauge.resize(200, 20);
    gauge.SetPosition(150);
    QCOMPARE(gauge.Position(), 100);
    gauge.SetPosition(-3);
    QCOMPARE(gauge.Position(), 0);
    gauge.SetPosition(50);
    QCOMPARE(PixelAt(gauge, 0.1), QColor(0, 0, 128));
    QVERIFY(PixelAt(gauge, 0.9) != QColor(0, 0, 128));
    gauge.SetPosition(100);
    QCOMPARE(PixelAt(gauge, 0.9), QColor(0, 0, 128));
  }

  void dialogFiltersInQtForm() {
    QCOMPARE(QtNameFilters("Tarvik Log File |*.tvf|Selvor Log File|*.svf"),
             QStringLiteral("Tarvik Log File (*.tvf);;Selvor Log File (*.svf)"));
    QCOMPARE(QtNameFilters("Configuration Files (*.cfg)|*.cfg"),
             QStringLiteral("Configuration Files (*.cfg)"));
    QCOMPARE(QtNameFilters(""), QString());
  }

  // Work handed over runs on the GUI thread, and waiting for a worker on the GUI thread serves
  // its hand-overs instead of blocking them.
  void synchronizeRunsOnTheGuiThread() {
    QtHost host;
    HandingWorker worker(host, 200);
    worker.Start();
    host.WaitFor(worker);
    QVERIFY(!worker.Running());
    QCOMPARE(worker.onGui.load(), 200);

    // From the GUI thread itself it runs at once.
    bool ran = false;
    host.Synchronize([&] { ran = true; });
    QVERIFY(ran);
  }

  void workerMessagesReachTheGuiThread() {
    QtHost* raw = nullptr;
    struct Host : RecordingHost {
      std::atomic<bool> shownOnGui{false};
      void MessageBox(int type, const QString& text) override {
        shownOnGui = OnGuiThread();
        RecordingHost::MessageBox(type, text);
      }
    } host;
    raw = &host;
    std::thread t([raw] { raw->ShowMessage(kError, "Output File Cannot Be Accessed!"); });
    QVERIFY(QTest::qWaitFor([&] { return !host.Lines.isEmpty(); }));
    t.join();
    QVERIFY(host.shownOnGui);
    QCOMPARE(host.Lines, QStringList({"Error: Output File Cannot Be Accessed!"}));
  }
};

std::unique_ptr<QObject> NewAuxiliaryWindowsTest() {
  return std::make_unique<AuxiliaryWindowsTest>();
}

}  // namespace polvane::testing

#include "auxiliary_windows_test.moc"
