// polvane-gui: the four-step window.
//   polvane-gui [FILE]                      starts with FILE chosen, as "Browse" chooses it
//   polvane-gui --screenshot PNG [FILE]     renders the window off-screen into PNG and ends
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <clocale>
#include <cstdio>

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

// The window as the README shows it: the file chosen and indexed, a few fields selected.
int Screenshot(MainWindow& window, const QString& file, const QString& png) {
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
  QApplication::processEvents();
  if (!window.grab().save(png)) {
    std::fprintf(stderr, "polvane-gui: cannot write %s\n", qPrintable(png));
    return 1;
  }
  return 0;
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
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("A receiver log to start with."), "[FILE]");
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  const QString file = files.isEmpty() ? QString() : files.first();

  if (parser.isSet(screenshot)) {
    MainWindow window(std::make_unique<UnattendedHost>());
    return Screenshot(window, file, parser.value(screenshot));
  }

  MainWindow window;
  window.show();
  if (!file.isEmpty()) QTimer::singleShot(0, &window, [&] { window.ChooseInputFile(file); });
  return app.exec();
}
