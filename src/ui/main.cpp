// polvane-gui: the four-step window.
//   polvane-gui [FILE]                      starts with FILE chosen, as "Browse" chooses it
//   polvane-gui --screenshot PNG [--map-screenshot PNG2] [FILE]
//                                           renders the window off-screen into PNG (the preview
//                                           showing) and, with PNG2, again with the drive map
//                                           showing, and ends
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "ui/drive_map.h"
#include "ui/main_window.h"
#include "ui/views_pane.h"

namespace {

using namespace polvane;

// Without a user to close message boxes, messages go to standard error.
class UnattendedHost : public QtHost {
 protected:
  void MessageBox(int type, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", MessageCaption(type), qPrintable(text));
  }
};

bool Save(MainWindow& window, const QString& png) {
  QApplication::processEvents();
  if (window.grab().save(png)) return true;
  std::fprintf(stderr, "polvane-gui: cannot write %s\n", qPrintable(png));
  return false;
}

// The window as the README shows it: the file chosen and indexed, a few fields selected; the
// preview showing, then (with mapPng) the drive map.
int Screenshot(MainWindow& window, const QString& file, const QString& png, const QString& mapPng) {
  window.show();
  TMainForm& form = window.Form();
  if (!file.isEmpty()) {
    window.ChooseInputFile(file);
    form.WaitForIndexing();
    for (const char* title : {"Latitude (Decimal Degrees)", "Longitude (Decimal Degrees)",
                              "GPS Time (HH:MM:SS)", "<< DATA >>"}) {
      const std::vector<std::string> offered = form.AvailableBox.Items();
      for (std::size_t i = 0; i < offered.size(); ++i)
        if (offered[i] == title) {
          form.AvailableBox.SetItemIndex(static_cast<int>(i));
          form.SelectClick();
        }
    }
    form.FieldTitles.SetChecked(true);
  }
  window.TimerTimer();
  // The preview and the drive follow the settings on threads of their own: the picture waits
  // for them (a few seconds at most).
  window.Views()->RefreshNow();
  QElapsedTimer waited;
  waited.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  } while (window.Views()->Busy() && waited.elapsed() < 10000);
  // The steps at the width they need, the views taking the rest.
  auto* split = window.findChild<QSplitter*>(QStringLiteral("MainSplitter"));
  const auto roomForViews = [split] {
    if (split) split->setSizes({split->widget(0)->minimumSizeHint().width(), split->width()});
  };
  roomForViews();
  window.Views()->setCurrentIndex(0);
  if (!Save(window, png)) return 1;
  if (mapPng.isEmpty()) return 0;
  // The drive gets room of its own: the window is wider, and the views take what the steps
  // leave; the map fits the drive into its new size.
  window.Views()->setCurrentIndex(1);
  window.resize(1920, 960);
  QApplication::processEvents();
  roomForViews();
  QApplication::processEvents();
  window.Views()->Map()->FitTrack();
  return Save(window, mapPng) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Numbers in the output never follow the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral("5.52"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The Polvane CW window."));
  parser.addHelpOption();
  QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                QStringLiteral("Render the window into <png> and end."),
                                QStringLiteral("png"));
  parser.addOption(screenshot);
  QCommandLineOption mapScreenshot(
      QStringLiteral("map-screenshot"),
      QStringLiteral("With --screenshot: render the window again into <png> with the drive map "
                     "showing."),
      QStringLiteral("png"));
  parser.addOption(mapScreenshot);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A receiver log to start with."), "[FILE]");
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  const QString file = files.isEmpty() ? QString() : files.first();

  if (parser.isSet(screenshot)) {
    // The picture neither shows nor changes the user's recent files.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    MainWindow window(std::make_unique<UnattendedHost>());
    return Screenshot(window, file, parser.value(screenshot), parser.value(mapScreenshot));
  }

  MainWindow window;
  window.show();
  if (!file.isEmpty()) QTimer::singleShot(0, &window, [&] { window.ChooseInputFile(file); });
  return app.exec();
}
