#include "ui/reduction_dialogs.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/qt_host.h"
#include "ui/wait_dialog.h"

namespace polvane {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

void ShowStates(const Control& control, QWidget* widget) {
  widget->setEnabled(control.Enabled());
  widget->setVisible(control.Visible());
}

// The dialog's explanation: centred, word-wrapped, bold navy.
QLabel* Explanation(const QString& text, const char* name) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  QPalette navy = label->palette();
  navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
  label->setPalette(navy);
  return label;
}

QFrame* Bevel() {
  auto* bevel = new QFrame;
  bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  bevel->setLineWidth(2);
  return bevel;
}

}  // namespace

ReductionDialog::ReductionDialog(Control& model, QWidget* parent, bool modal)
    : QDialog(parent), model_(model) {
  setWindowTitle(Text(model.Caption()));
  setModal(modal);
}

void ReductionDialog::RunOnGui(std::function<void()> fn) {
  if (QtHost::OnGuiThread())
    fn();
  else
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void ReductionDialog::Mirror(Control& control, std::function<void()> refresh) {
  mirrors_.emplace_back(&control, std::move(refresh));
}

void ReductionDialog::Bind() {
  for (auto& [control, refresh] : mirrors_) {
    control->Changed = [this, refresh] { RunOnGui(refresh); };
    refresh();
  }
  mirrors_.clear();
  model_.Changed = [this] { RunOnGui([this] { FollowModel(); }); };
  FollowModel();
}

void ReductionDialog::FollowModel() {
  if (model_.Visible() && !isVisible()) {
    show();
    CentreOnScreen(this);
    raise();
    activateWindow();
  } else if (!model_.Visible() && isVisible()) {
    hide();
  }
}

void ReductionDialog::done(int result) {
  QDialog::done(result);
  CloseModel();
}

// ---------------------------------------------------------------------------------------------

namespace {

// Widgets of the dialog models' controls, mirrored both ways by `dialog`.
struct Widgets {
  ReductionDialog* dialog;
  void mirror(Control& c, std::function<void()> refresh) { dialog->Mirror(c, std::move(refresh)); }

  QLabel* Label(Control& c, const char* name, bool wrap = false) {
    auto* label = new QLabel(Text(c.Caption()));
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(wrap);
    mirror(c, [&c, label] {
      label->setText(Text(c.Caption()));
      ShowStates(c, label);
    });
    return label;
  }
  QLineEdit* Edit(EditField& c, const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    mirror(c, [&c, edit] {
      const QString text = Text(c.Text());
      if (edit->text() != text) {
        const QSignalBlocker block(edit);
        edit->setText(text);
      }
      ShowStates(c, edit);
    });
    QObject::connect(edit, &QLineEdit::textEdited, dialog,
                     [&c](const QString& text) { c.SetText(text.toStdString()); });
    return edit;
  }
  QRadioButton* Radio(RadioButton& c, const char* name) {
    auto* button = new QRadioButton(Text(c.Caption()));
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoExclusive(false);  // the model keeps its sets exclusive
    mirror(c, [&c, button] {
      const QSignalBlocker block(button);
      button->setChecked(c.Checked());
      ShowStates(c, button);
    });
    QObject::connect(button, &QAbstractButton::clicked, dialog, [&c, button] {
      c.SetChecked(true);
      const QSignalBlocker block(button);
      button->setChecked(c.Checked());
    });
    return button;
  }
  QComboBox* Combo(ComboBox& c, const char* name) {
    auto* combo = new QComboBox;
    combo->setObjectName(QString::fromLatin1(name));
    for (const std::string& item : c.Items()) combo->addItem(Text(item));
    mirror(c, [&c, combo] {
      const QSignalBlocker block(combo);
      combo->setCurrentIndex(c.ItemIndex());
      ShowStates(c, combo);
    });
    QObject::connect(combo, &QComboBox::activated, dialog,
                     [&c](int index) { c.SetItemIndex(index); });
    return combo;
  }
  QPushButton* Button(Control& c, const char* name, std::function<void()> onClick) {
    auto* button = new QPushButton(Text(c.Caption()));
    button->setObjectName(QString::fromLatin1(name));
    mirror(c, [&c, button] { ShowStates(c, button); });
    QObject::connect(button, &QPushButton::clicked, dialog, std::move(onClick));
    return button;
  }
  // The dialog's frame above its OK button, which takes the model's values and closes it.
  template <class Model>
  void OkBelow(Model& model, QWidget* bevel) {
    QPushButton* ok = Button(model.OKBtn, "OKBtn", [d = dialog, &model] {
      model.OKBtnClick();
      d->QDialog::accept();
    });
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* outer = new QVBoxLayout(dialog);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(bevel, 1);
    outer->addLayout(buttons);
  }
};

}  // namespace

LambdaDialog::LambdaDialog(TLambdaDlg& model, QWidget* parent)
    : ReductionDialog(model, parent, true) {
  setObjectName(QStringLiteral("LambdaDlg"));
  Widgets w{this};
  auto* bevel = Bevel();
  auto* inner = new QVBoxLayout(bevel);
  QLabel* text = Explanation(Text(model.Text.Caption()), "Text");
  inner->addWidget(text, 1);
  auto* speed = new QHBoxLayout;
  speed->addStretch(1);
  speed->addWidget(w.Label(model.SpeedLabel, "SpeedLabel"));
  QLineEdit* edit = w.Edit(model.LambdaSpeed, "LambdaSpeed");
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  speed->addWidget(edit);
  auto* units = new QVBoxLayout;
  units->setSpacing(0);
  units->addWidget(w.Radio(model.MPHchoice, "MPHchoice"));
  units->addWidget(w.Radio(model.KMHchoice, "KMHchoice"));
  speed->addLayout(units);
  speed->addStretch(1);
  inner->addLayout(speed);

  w.OkBelow(model, bevel);
  setFixedSize(360, 200);
  Bind();
}

TrafficDialog::TrafficDialog(TTrafficDlg& model, QWidget* parent)
    : ReductionDialog(model, parent, true) {
  setObjectName(QStringLiteral("TrafficDlg"));
  Widgets w{this};
  auto* bevel = Bevel();
  auto* sentence = new QGridLayout(bevel);
  sentence->setHorizontalSpacing(4);
  QLineEdit* distance = w.Edit(model.Distance, "Distance");
  QLineEdit* time = w.Edit(model.Time, "Time");
  const int width = distance->fontMetrics().horizontalAdvance(QStringLiteral("0.00000")) + 16;
  distance->setFixedWidth(width);
  time->setFixedWidth(width);
  auto* units = new QVBoxLayout;
  units->setSpacing(0);
  units->addWidget(w.Radio(model.Degrees, "Degrees"));
  units->addWidget(w.Radio(model.Minutes, "Minutes"));
  auto* line = new QHBoxLayout;
  line->addWidget(w.Label(model.Text1, "Text1"));
  line->addWidget(distance);
  line->addLayout(units);
  line->addWidget(w.Label(model.Text2, "Text2"));
  line->addWidget(time);
  line->addWidget(w.Label(model.Text3, "Text3"));
  line->addStretch(1);
  sentence->addLayout(line, 0, 0);
  sentence->addWidget(w.Label(model.Text4, "Text4", true), 1, 0);

  w.OkBelow(model, bevel);
  setFixedSize(sizeHint());
  Bind();
}

ThresholdDialog::ThresholdDialog(TThresholdDlg& model, QWidget* parent)
    : ReductionDialog(model, parent, true) {
  setObjectName(QStringLiteral("ThresholdDlg"));
  Widgets w{this};
  auto* bevel = Bevel();
  auto* inner = new QVBoxLayout(bevel);
  inner->addWidget(Explanation(Text(model.Text.Caption()), "Text"), 1);
  auto* criterion = new QHBoxLayout;
  criterion->addStretch(1);
  criterion->addWidget(w.Combo(model.comboField, "comboField"));
  criterion->addWidget(w.Combo(model.comboComparator, "comboComparator"));
  QLineEdit* value = w.Edit(model.edValue, "edValue");
  value->setFixedWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 16);
  criterion->addWidget(value);
  criterion->addStretch(1);
  inner->addLayout(criterion);

  w.OkBelow(model, bevel);
  setFixedSize(360, 200);
  Bind();
}

ChannelListDialog::ChannelListDialog(TChannelListDlg& model, QWidget* parent)
    : ReductionDialog(model, parent, true) {
  setObjectName(QStringLiteral("ChannelListDlg"));
  Widgets w{this};
  auto* bevel = Bevel();
  auto* inner = new QVBoxLayout(bevel);
  inner->addWidget(Explanation(Text(model.Text.Caption()), "Text"), 1);
  inner->addWidget(w.Edit(model.edChannels, "edChannels"));

  w.OkBelow(model, bevel);
  setFixedSize(360, 200);
  Bind();
}

GeneratorDialog::GeneratorDialog(TGeneratorDlg& model, QWidget* parent)
    : ReductionDialog(model, parent, false), generator_(model) {
  setObjectName(QStringLiteral("GeneratorDlg"));
  Widgets w{this};
  auto* bevel = Bevel();
  auto* inner = new QVBoxLayout(bevel);
  inner->addWidget(Explanation(Text(model.Text.Caption()), "Text"), 1);
  QLabel* percent = w.Label(model.PercentComplete, "PercentComplete");
  percent->setAlignment(Qt::AlignCenter);
  inner->addWidget(percent);
  auto* bar = new QProgressBar;
  bar->setObjectName(QStringLiteral("ProgressBar"));
  bar->setRange(0, 100);
  bar->setTextVisible(false);
  w.mirror(model.ProgressBar, [&model, bar] {
    bar->setValue(model.ProgressBar.Position());
    ShowStates(model.ProgressBar, bar);
  });
  inner->addWidget(bar);

  QPushButton* generate = w.Button(model.OKBtn, "OKBtn", [&model] { model.OKBtnClick(); });
  generate->setDefault(true);
  // "Exit" is the cancel button: Esc and the frame's close box do the same.
  QPushButton* exit = w.Button(model.CancelBtn, "CancelBtn", [this] { QDialog::reject(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(generate);
  buttons->addWidget(exit);
  buttons->addStretch(1);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->addWidget(bevel, 1);
  outer->addLayout(buttons);
  setFixedSize(kGeneratorWidth, kGeneratorHeight);
  Bind();
}

}  // namespace polvane
