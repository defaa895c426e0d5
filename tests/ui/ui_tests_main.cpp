// The window tests: Qt Test suites run without a display (QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>

#include "ui_support.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  // The window's settings (recent files, folders) of the tests are their own.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  int status = 0;
  for (auto make : {polvane::testing::NewMainWindowTest, polvane::testing::NewAuxiliaryWindowsTest,
                    polvane::testing::NewReductionWindowsTest, polvane::testing::NewWindowFitTest,
                    polvane::testing::NewDriveViewsTest, polvane::testing::NewWindowRunsTest,
                    polvane::testing::NewIndexTreeTest}) {
    std::unique_ptr<QObject> suite = make();
    // POLVANE_UI_SUITE=Name runs only the suites whose class name holds Name.
    const QByteArray only = qgetenv("POLVANE_UI_SUITE");
    if (!only.isEmpty() && !QByteArray(suite->metaObject()->className()).contains(only)) continue;
    status |= QTest::qExec(suite.get(), argc, argv);
  }
  return status;
}
