// The windows of the data-reduction dialogs: "40 Lambda" with its options, the average
// information of a Kes PC-dump file, and the traffic, threshold and channel-list dialogs.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "support/bytes.h"
#include "ui/reduction_dialogs.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

// A Kes PC-dump file of nothing but its header frame.
std::string WriteKesDump(const ScratchDir& dir) {
  const std::string path = dir.File("drive.kes");
  WriteFile(path, {0xAA, 8, 0, 15, 'Q', 'V', 'X', 'K', 'E', 'S'});
  return path;
}

}  // namespace

class ReductionWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void lambdaOptionsMirrorTheDialogModel() {
    Window w;
    w.form().ChooseInputFile(SamplePath());
    QTRY_VERIFY(!w.form().Indexing());
    QAbstractButton* lambda = w.Button("rbLambda");
    QVERIFY(lambda && lambda->isEnabled());
    QCOMPARE(lambda->text(), QStringLiteral("40 Lambda"));
    lambda->click();
    QVERIFY(w.form().rbLambda.Checked());
    QVERIFY(!w.form().NoAvg.Checked());
    QVERIFY(!w.Button("NoAvg")->isChecked());
    QCOMPARE(w.form().CurrentReductionMode(), kReduceLambda);

    LambdaDialog* dialog = w.window->LambdaDlg();
    QVERIFY(!dialog->isVisible());
    w.Button("btnLambda")->click();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("40 Lambda Averaging"));
    QCOMPARE(CutOffCaptions(dialog), QStringList());
    auto* speed = dialog->findChild<QLineEdit*>("LambdaSpeed");
    QCOMPARE(speed->text(), QStringLiteral("30"));
    QVERIFY(dialog->findChild<QRadioButton*>("MPHchoice")->isChecked());
    QTest::keyClicks(speed, "5");
    QCOMPARE(w.form().LambdaDlg.LambdaSpeed.Text(), std::string("305"));
    dialog->findChild<QRadioButton*>("KMHchoice")->click();
    QVERIFY(w.form().LambdaDlg.KMHchoice.Checked());
    QVERIFY(!dialog->findChild<QRadioButton*>("MPHchoice")->isChecked());
    dialog->findChild<QPushButton*>("OKBtn")->click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!w.form().LambdaDlg.Visible());
    // The next opening shows what was typed.
    w.Button("btnLambda")->click();
    QCOMPARE(speed->text(), QStringLiteral("305"));
    dialog->reject();  // the frame's close box
    QVERIFY(!w.form().LambdaDlg.Visible());

    // A product without averaging takes the choice away.
    w.form().InputFormatGroup.SetItemIndex(kProductDrovel);
    QTRY_VERIFY(!w.form().Indexing());
    QVERIFY(!lambda->isEnabled());
    QVERIFY(!w.Button("btnLambda")->isEnabled());
    QVERIFY(w.Button("NoAvg")->isChecked());
  }

  void kesDumpLambdaOffersTheAverageInformation() {
    ScratchDir dir;
    Window w;
    w.form().ChooseInputFile(WriteKesDump(dir));
    QTRY_VERIFY(!w.form().Indexing());
    QCOMPARE(w.form().InputFormatGroup.ItemIndex(), int{kProductKesDump});
    GeneratorDialog* generator = w.window->GeneratorDlg();
    QVERIFY(!generator->isVisible());
    w.Button("rbLambda")->click();
    QVERIFY(generator->isVisible());
    QCOMPARE(generator->windowTitle(), QStringLiteral("Generate Average Information"));
    QCOMPARE(generator->size(), QSize(kGeneratorWidth, kGeneratorHeight));
    QCOMPARE(CutOffCaptions(generator), QStringList());
    QCOMPARE(generator->findChild<QLabel*>("PercentComplete")->text(),
             QStringLiteral("0% Complete"));
    auto* generate = generator->findChild<QPushButton*>("OKBtn");
    QCOMPARE(generate->text(), QStringLiteral("Generate"));
    QVERIFY(generate->isDefault());
    QCOMPARE(generator->findChild<QPushButton*>("CancelBtn")->text(), QStringLiteral("Exit"));
    QCOMPARE(generator->findChild<QProgressBar*>("ProgressBar")->maximum(), 100);

    generate->click();
    QTRY_VERIFY(!w.form().GeneratorDlg.Gathering());
    QTRY_COMPARE(w.host->BoxLines(),
                 QStringList({"Information: Information Has Been Gathered!",
                              "Information: 0 Records\n0 Seconds\n1 Records Per Second"}));
    QVERIFY(generator->findChild<QLabel*>("PercentComplete")->text().endsWith("% Complete"));
    QCOMPARE(generator->findChild<QProgressBar*>("ProgressBar")->value(), 0);
    generator->findChild<QPushButton*>("CancelBtn")->click();
    QVERIFY(!generator->isVisible());
    // Gathered for this file: choosing "40 Lambda" again asks nothing.
    w.Button("NoAvg")->click();
    w.Button("rbLambda")->click();
    QVERIFY(!generator->isVisible());
  }

  // Threshold, Channel List and Traffic are check boxes whose OPTIONS open their dialogs; what
  // is typed there reaches the model the run reads.
  void filterOptionsOpenTheirDialogs() {
    Window w;
    w.form().ChooseInputFile(SamplePath());
    QTRY_VERIFY(!w.form().Indexing());
    QAbstractButton* threshold = w.Button("RadioButton2");
    QVERIFY(threshold && threshold->isEnabled());
    threshold->click();
    QVERIFY(w.form().RadioButton2.Checked());
    w.Button("BSAvg")->click();  // the filters go with the choice above
    QVERIFY(w.form().RadioButton2.Checked() && threshold->isChecked());
    threshold->click();
    QVERIFY(!w.form().RadioButton2.Checked());

    w.Button("btnThreshold")->click();
    ThresholdDialog* thresholdDlg = w.window->ThresholdDlg();
    QVERIFY(thresholdDlg->isVisible());
    auto* value = thresholdDlg->findChild<QLineEdit*>("edValue");
    value->selectAll();
    QTest::keyClicks(value, "-85");
    thresholdDlg->findChild<QPushButton*>("OKBtn")->click();
    QVERIFY(!thresholdDlg->isVisible());
    QCOMPARE(w.form().ThresholdDlg.edValue.Text(), std::string("-85"));

    QVERIFY(w.Button("cbTraffic")->isEnabled());
    w.Button("btnTraffic")->click();
    QVERIFY(w.window->TrafficDlg()->isVisible());
    w.window->TrafficDlg()->findChild<QPushButton*>("OKBtn")->click();
    QVERIFY(!w.window->TrafficDlg()->isVisible());

    QVERIFY(w.Button("btnChannelList")->isEnabled());
    w.Button("btnChannelList")->click();
    ChannelListDialog* channels = w.window->ChannelListDlg();
    QVERIFY(channels->isVisible());
    QCOMPARE(channels->windowTitle(), QStringLiteral("Channel List"));
    QCOMPARE(CutOffCaptions(channels), QStringList());
    QTest::keyClicks(channels->findChild<QLineEdit*>("edChannels"), "100-120,450");
    channels->findChild<QPushButton*>("OKBtn")->click();
    QCOMPARE(w.form().ChannelListDlg.edChannels.Text(), std::string("100-120,450"));
    w.Button("RadioButton1")->click();
    QVERIFY(w.form().CurrentChannelList().Contains(450));
    // The metres row shows for a product with positions.
    QVERIFY(w.Button("rbORPM")->isVisibleTo(w.window.get()));
  }

  void trafficAndThresholdDialogsStandReady() {
    Window w;
    TrafficDialog* traffic = w.window->TrafficDlg();
    ThresholdDialog* threshold = w.window->ThresholdDlg();
    QVERIFY(!traffic->isVisible() && !threshold->isVisible());
    QCOMPARE(traffic->windowTitle(), QStringLiteral("Traffic Averaging"));
    QCOMPARE(traffic->findChild<QLineEdit*>("Distance")->text(), QStringLiteral(".0005"));
    QCOMPARE(traffic->findChild<QLineEdit*>("Time")->text(), QStringLiteral("30"));
    QVERIFY(traffic->findChild<QRadioButton*>("Degrees")->isChecked());
    QCOMPARE(threshold->windowTitle(), QStringLiteral("Data Reduction via Threshold"));
    QCOMPARE(threshold->findChild<QComboBox*>("comboField")->currentText(), QStringLiteral("RSSI"));
    QCOMPARE(threshold->findChild<QComboBox*>("comboComparator")->currentText(),
             QStringLiteral(">"));
    QCOMPARE(threshold->findChild<QLineEdit*>("edValue")->text(), QStringLiteral("-100"));
    // Before a file is chosen, no product offers them.
    QVERIFY(!w.Button("btnThreshold")->isEnabled());
    w.form().ThresholdDlg.SetVisible(true);
    QVERIFY(threshold->isVisible());
    QCOMPARE(CutOffCaptions(threshold), QStringList());
    threshold->findChild<QComboBox*>("comboComparator")->setCurrentIndex(1);
    emit threshold->findChild<QComboBox*>("comboComparator")->activated(1);
    QCOMPARE(w.form().ThresholdDlg.comboComparator.Text(), std::string(">="));
    threshold->findChild<QPushButton*>("OKBtn")->click();
    QVERIFY(!w.form().ThresholdDlg.Visible());
    w.form().TrafficDlg.SetVisible(true);
    QVERIFY(traffic->isVisible());
    QCOMPARE(CutOffCaptions(traffic), QStringList());
    traffic->findChild<QPushButton*>("OKBtn")->click();
    QVERIFY(!w.form().TrafficDlg.Visible());
  }
};

std::unique_ptr<QObject> NewReductionWindowsTest() {
  return std::make_unique<ReductionWindowsTest>();
}

}  // namespace polvane::testing

#include "reduction_windows_test.moc"
