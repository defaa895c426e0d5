#include "ui/color_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main_form.h"

namespace polvane {

namespace {

QLabel* Swatch(const Rgb& c) {
  auto* swatch = new QLabel;
  const int size = swatch->fontMetrics().height();
  swatch->setFixedSize(size, size);
  swatch->setStyleSheet(
      QStringLiteral("QLabel { background: rgb(%1,%2,%3); border: 1px solid gray; }")
          .arg(c.Red)
          .arg(c.Green)
          .arg(c.Blue));
  return swatch;
}

}  // namespace

ColorThresholdsDialog::ColorThresholdsDialog(TMainForm& form, QWidget* parent)
    : QDialog(parent), form_(form) {
  setObjectName(QStringLiteral("ColorThresholdsDlg"));
  setWindowTitle(tr("Map Output"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* intro =
      new QLabel(tr("The map and the KML output colour each point by the strongest "
                    "RSSI of its line."));
  intro->setWordWrap(true);
  layout->addWidget(intro);

  const SignalColors bands;  // three thresholds: the drive-test colours
  auto* grid = new QGridLayout;
  const char* names[] = {"edGreen", "edYellow", "edOrange"};
  const QString captions[] = {tr("&Green at or above"), tr("&Yellow at or above"),
                              tr("&Orange at or above")};
  for (int band = 0; band < 3; ++band) {
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(names[band]));
    field->setMaxLength(12);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-000.00")) + 16);
    field->setAlignment(Qt::AlignRight);
    auto* caption = new QLabel(captions[band]);
    caption->setBuddy(field);
    grid->addWidget(Swatch(bands.Color(band)), band, 0);
    grid->addWidget(caption, band, 1);
    grid->addWidget(field, band, 2);
    grid->addWidget(new QLabel(tr("dBm")), band, 3);
    fields_[band] = field;
  }
  grid->addWidget(Swatch(bands.Color(3)), 3, 0);
  grid->addWidget(new QLabel(tr("Red below the orange threshold")), 3, 1, 1, 3);
  grid->setColumnStretch(4, 1);
  layout->addLayout(grid);

  // The map formats' other choices.
  auto* mapRows = new QFormLayout;
  column_ = new QLineEdit;
  column_->setObjectName(QStringLiteral("edColorColumn"));
  column_->setPlaceholderText(tr("the strongest RSSI of the line"));
  column_->setToolTip(
      tr("The attribute whose value colours each point of the KML output, named as the layer "
         "names it (\"Rec#2 RSSI\", \"RSSI\" in the long layout); empty: the strongest RSSI."));
  mapRows->addRow(tr("Colour by &column:"), column_);
  layout_ = new QComboBox;
  layout_->setObjectName(QStringLiteral("cbMapLayout"));
  layout_->addItem(tr("Wide: one feature per line"), static_cast<int>(TableLayout::Wide));
  layout_->addItem(tr("Long: one feature per reading"), static_cast<int>(TableLayout::Long));
  mapRows->addRow(tr("Table &layout:"), layout_);
  layout->addLayout(mapRows);

  problem_ = new QLabel;
  problem_->setObjectName(QStringLiteral("ColorThresholdsProblem"));
  problem_->setWordWrap(true);
  QPalette red = problem_->palette();
  red.setColor(QPalette::WindowText, QColor(176, 0, 0));
  problem_->setPalette(red);
  problem_->hide();
  layout->addWidget(problem_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::RestoreDefaults);
  buttons->setObjectName(QStringLiteral("ColorThresholdsButtons"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this, [this] {
    const SignalColors usual;
    for (int band = 0; band < 3; ++band)
      fields_[band]->setText(QString::number(usual.Thresholds()[band]));
    column_->clear();
    layout_->setCurrentIndex(0);
    problem_->hide();
  });
  layout->addWidget(buttons);
}

void ColorThresholdsDialog::LoadFromForm() {
  SignalColors colors = form_.CurrentColors();
  if (colors.Thresholds().size() != 3) colors = SignalColors();
  for (int band = 0; band < 3; ++band)
    fields_[band]->setText(QString::number(colors.Thresholds()[band]));
  column_->setText(QString::fromStdString(form_.ColorColumn.Text()));
  layout_->setCurrentIndex(layout_->findData(static_cast<int>(form_.MapLayout)));
  problem_->clear();
  problem_->hide();
}

QString ColorThresholdsDialog::Problem() const {
  return problem_->isHidden() ? QString() : problem_->text();
}

void ColorThresholdsDialog::accept() {
  std::array<std::string, 3> texts;
  for (int band = 0; band < 3; ++band) texts[band] = fields_[band]->text().toStdString();
  SignalColors colors;
  const std::string problem = CheckColorThresholds(texts, colors);
  if (!problem.empty()) {
    problem_->setText(QString::fromStdString(problem));
    problem_->show();
    return;
  }
  problem_->hide();
  form_.ColorThresholds.SetText(colors.Text());
  form_.ColorColumn.SetText(column_->text().trimmed().toStdString());
  form_.MapLayout = static_cast<TableLayout>(layout_->currentData().toInt());
  QDialog::accept();
}

}  // namespace polvane
