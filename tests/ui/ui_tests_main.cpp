// The window tests: Qt Test suites run without a display (QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QtTest>
#include <clocale>

#include "ui_support.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  int status = 0;
  for (auto make : {polvane::testing::NewMainWindowTest, polvane::testing::NewAuxiliaryWindowsTest,
                    polvane::testing::NewReductionWindowsTest}) {
    std::unique_ptr<QObject> suite = make();
    status |= QTest::qExec(suite.get(), argc, argv);
  }
  return status;
}
