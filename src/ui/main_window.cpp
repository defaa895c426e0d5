#include "ui/main_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "cli/convert_command.h"
#include "convert/output_formats.h"
#include "ui/about_dialog.h"
#include "ui/color_dialog.h"
#include "ui/drive_map.h"
#include "ui/folder_dialog.h"
#include "ui/gauge.h"
#include "ui/help_window.h"
#include "ui/index_tree.h"
#include "ui/reduction_dialogs.h"
#include "ui/views_pane.h"
#include "ui/wait_dialog.h"

namespace polvane {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// A widget shows the enabled and visible states of its control.
void ShowStates(const Control& control, QWidget* widget) {
  widget->setEnabled(control.Enabled());
  widget->setVisible(control.Visible());
}

QLabel* Caption(const QString& text, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text);
  if (buddy) label->setBuddy(buddy);
  return label;
}

QLabel* Bold(const QString& text) {
  auto* label = new QLabel(text);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

// The round number badge of a step.
QLabel* StepNumber(int number) {
  auto* badge = new QLabel(QString::number(number));
  badge->setObjectName(QStringLiteral("StepNumber%1").arg(number));
  badge->setAlignment(Qt::AlignCenter);
  const int size = badge->fontMetrics().height() + 8;
  badge->setFixedSize(size, size);
  badge->setStyleSheet(QStringLiteral("QLabel { background: #000080; color: white; "
                                      "font-weight: bold; border-radius: %1px; }")
                           .arg(size / 2));
  return badge;
}

QStringList Strings(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& s : items) list << Text(s);
  return list;
}

bool IsConfiguration(const QString& path) {
  return path.endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive);
}

// The first plain local file of a drag.
QString DroppedFile(const QMimeData* mime) {
  if (!mime) return {};
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) return url.toLocalFile();
  return {};
}

}  // namespace

MainWindow::MainWindow(std::unique_ptr<QtHost> host, QWidget* parent)
    : QMainWindow(parent), host_(host ? std::move(host) : std::make_unique<QtHost>()) {
  form_ = std::make_unique<TMainForm>(*host_);
  // The map formats of the list as the command line writes them, with the table layout, colour
  // bands and colour column of the window's map-output dialog (closed while a run goes on, so a
  // run keeps the choices it started with) or of the configuration loaded.
  InstallGisWriters(*form_);
  form_->FileUsed = [this](const std::string& path, bool configuration) {
    RecentFiles::Add({Text(path), configuration});
    RefreshRecentMenu();
  };
  setAcceptDrops(true);
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(kMainCaption));

  // The four steps on the left, the views of the drive beside them taking the room to spare.
  auto* central = new QSplitter(Qt::Horizontal, this);
  central->setObjectName(QStringLiteral("MainSplitter"));
  central->setChildrenCollapsible(false);
  auto* stepsPanel = new QWidget;
  stepsPanel->setObjectName(QStringLiteral("Steps"));
  auto* steps = new QVBoxLayout(stepsPanel);
  steps->setContentsMargins(4, 4, 4, 4);
  steps->setSpacing(3);
  QFrame* step1 = BuildStep1();
  QFrame* step2 = BuildStep2();
  QFrame* step3 = BuildStep3();
  steps->addWidget(step1);
  steps->addWidget(step2);
  steps->addWidget(step3, 1);
  steps->addWidget(BuildStep4());
  runLocked_ = {step1, step2, step3};
  views_ = new ViewsPane(*form_, *tree_);
  central->addWidget(stepsPanel);
  central->addWidget(views_);
  central->setStretchFactor(0, 0);
  central->setStretchFactor(1, 1);
  setCentralWidget(central);
  BuildMenu();
  BuildStatusBar();

  // The windows that live as long as the main window, in the order the program creates them.
  about_ = new TAboutDlg(this);
  lambda_ = new LambdaDialog(form_->LambdaDlg, this);
  traffic_ = new TrafficDialog(form_->TrafficDlg, this);
  generator_ = new GeneratorDialog(form_->GeneratorDlg, this);
  wait_ = new TWaitDlg(this);
  connect(wait_, &TWaitDlg::CancelClicked, this, [this] { form_->StopIndexing(); });
  threshold_ = new ThresholdDialog(form_->ThresholdDlg, this);
  channels_ = new ChannelListDialog(form_->ChannelListDlg, this);
  help_ = new THelp_Form(this);
  folder_ = new TOpenFolderDlg(this);
  colors_ = new ColorThresholdsDialog(*form_, this);
  host_->Attach(this, wait_, folder_);

  // The run: the controls that would change it closed while it goes on, its pace and summary
  // beside the gauge; the colour bands on the map.
  TMainForm& model = *form_;
  Mirror(
      model.RunActive, [this, &model] { LockForRun(model.RunActive.Checked()); }, Follow::Widget);
  Mirror(
      model.RunStatus,
      [this, &model] {
        const QString text = Text(model.RunStatus.Caption());
        runStatus_->setText(text.section(QLatin1Char('\n'), 0, 0));
        runStatus_->setToolTip(text);
      },
      Follow::Widget);
  Mirror(
      model.ColorThresholds, [this, &model] { views_->Map()->SetColors(model.CurrentColors()); },
      Follow::Widget);

  // The widgets stand: from now on they follow the model.
  for (const auto& bind : bindings_) bind();
  bindings_.clear();
  TMainForm& f = *form_;
  f.tvIndex.Changed = [this] {
    RunOnGui([this] {
      tree_->Sync();
      views_->TreeChanged();
    });
  };
  tree_->Sync();

  timer_ = new QTimer(this);
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, [this] { TimerTimer(); });
  timer_->start();

  // The window goes down to what the steps and the views need (minimumSizeHint); the main
  // window's own constraint would hold it at the views' preferred width.
  layout()->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(minimumSizeHint());
  resize(kMainWidth, kMainHeight);
}

MainWindow::~MainWindow() {
  // The model goes first, while the widgets its workers report to still stand: it stops the
  // workers, which hand their last changes over through the host. A run stopped this way
  // has no one left to tell.
  host_->Silence();
  form_.reset();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    setMinimumSize(minimumSizeHint());
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  setMinimumSize(minimumSizeHint());
  if (centred_) return;
  centred_ = true;
  // Showing lays the window out at its widgets' preferred size; it opens at its own.
  resize(kMainWidth, kMainHeight);
  // A screen smaller than the opening size gets a window that fits it, down to what the steps
  // need.
  if (screen() && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    const QSize room = screen()->availableGeometry().size() - (frameGeometry().size() - size());
    resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
  }
  CentreOnScreen(this);
}

void MainWindow::LockForRun(bool running) {
  for (QWidget* w : runLocked_) w->setEnabled(!running);
  for (QAction* a : runLockedActions_) a->setEnabled(!running);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!form_->RunActive.Checked() && !DroppedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty() || form_->RunActive.Checked()) return;
  event->acceptProposedAction();
  // Once the drop is over: the file's messages are not shown inside the drag.
  QTimer::singleShot(0, this, [this, path] {
    OpenFile(path, IsConfiguration(path));
    emit fileDropped(path);
  });
}

void MainWindow::OpenFile(const QString& path, bool configuration) {
  if (form_->RunActive.Checked()) return;
  const std::string file = path.toStdString();
  if (configuration) {
    form_->LoadConfiguration(file);
    if (form_->FileUsed) form_->FileUsed(file, true);
    return;
  }
  // "Browse" belongs to single-file mode.
  if (form_->rbMultipleFiles.Checked()) {
    form_->rbSingleFile.SetChecked(true);
    form_->FileModeClick();
  }
  form_->ChooseInputFile(file);
}

void MainWindow::OpenRecent(RecentFile file) {
  if (!QFileInfo(file.Path).isFile()) {
    RecentFiles::Remove(file.Path);
    RefreshRecentMenu();
    // A log that is gone is said to be so as "Browse" says it; a configuration is never loaded
    // from a file that is not there (it would reset every setting to its default).
    if (file.Configuration) {
      ReportMessage(*host_, kError, "Configuration File Does Not Exist! (%s)",
                    file.Path.toStdString().c_str());
      return;
    }
  }
  OpenFile(file.Path, file.Configuration);
}

void MainWindow::FillRecentMenu() {
  recent_->clear();
  const std::vector<RecentFile> files = RecentFiles::List();
  int number = 0;
  for (const RecentFile& file : files) {
    QString shown = file.Path;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = recent_->addAction(QStringLiteral("&%1 %2").arg(++number).arg(shown));
    entry->setData(file.Path);
    connect(entry, &QAction::triggered, this, [this, file] { OpenRecent(file); });
  }
  if (files.empty()) {
    recent_->addAction(tr("(none)"))->setEnabled(false);
    return;
  }
  recent_->addSeparator();
  QAction* clear = recent_->addAction(tr("Clear Recent Files"));
  clear->setObjectName(QStringLiteral("ClearRecentFiles1"));
  connect(clear, &QAction::triggered, this, [this] {
    RecentFiles::Clear();
    RefreshRecentMenu();
  });
}

void MainWindow::RefreshRecentMenu() {
  // Later, on the GUI thread: the entry being triggered is one of those the refill deletes.
  QMetaObject::invokeMethod(
      this, [this] { FillRecentMenu(); }, Qt::QueuedConnection);
}

void MainWindow::RunOnGui(std::function<void()> fn) {
  if (QtHost::OnGuiThread())
    fn();
  else
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void MainWindow::Mirror(Control& control, std::function<void()> refresh, Follow follow) {
  bindings_.push_back([this, &control, refresh, follow] {
    control.Changed = [this, refresh, follow] {
      RunOnGui([this, refresh, follow] {
        refresh();
        if (follow == Follow::Views) views_->SettingsChanged();
      });
    };
    refresh();
  });
}

// ---------------------------------------------------------------------------------------------
// Widgets of the model's controls

QRadioButton* MainWindow::Radio(RadioButton& control, const char* name) {
  auto* button = new QRadioButton(Text(control.Caption()));
  // The model keeps its sets exclusive; Qt's grouping by parent would not match them.
  button->setAutoExclusive(false);
  Check(control, name, button);
  return button;
}

QAbstractButton* MainWindow::Check(CheckBox& control, const char* name, QAbstractButton* button) {
  if (!button) button = new QCheckBox(Text(control.Caption()));
  button->setObjectName(QString::fromLatin1(name));
  const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
  Mirror(control, [&control, button] {
    const QSignalBlocker block(button);
    button->setChecked(control.Checked());
    ShowStates(control, button);
  });
  connect(button, &QAbstractButton::clicked, this, [&control, button, radio](bool on) {
    // A click on a radio button always checks it.
    control.SetChecked(radio || on);
    const QSignalBlocker block(button);
    button->setChecked(control.Checked());
  });
  return button;
}

QLineEdit* MainWindow::Edit(EditField& control, const char* name,
                            std::vector<QWidget*> companions) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromLatin1(name));
  edit->setReadOnly(control.ReadOnly());
  // A log dropped on a field is the window's, opened as "Browse" opens it, not text to insert.
  edit->setAcceptDrops(false);
  if (control.MaxLength() > 0) edit->setMaxLength(static_cast<int>(control.MaxLength()));
  Mirror(control, [&control, edit, companions] {
    const QString text = Text(control.Text());
    if (edit->text() != text) {
      const QSignalBlocker block(edit);
      edit->setText(text);
      edit->setCursorPosition(0);
    }
    edit->setToolTip(edit->isReadOnly() ? text : QString());
    ShowStates(control, edit);
    for (QWidget* w : companions) ShowStates(control, w);
  });
  connect(edit, &QLineEdit::textEdited, this,
          [&control](const QString& text) { control.SetText(text.toStdString()); });
  return edit;
}

QPushButton* MainWindow::Button(Control& control, const char* name, std::function<void()> onClick) {
  auto* button = new QPushButton(Text(control.Caption()));
  button->setObjectName(QString::fromLatin1(name));
  Mirror(control, [&control, button] { ShowStates(control, button); });
  connect(button, &QPushButton::clicked, this, std::move(onClick));
  return button;
}

QPushButton* MainWindow::Browse(const char* name, std::function<void()> onClick) {
  auto* button = new QPushButton(QStringLiteral("Browse"));
  button->setObjectName(QString::fromLatin1(name));
  connect(button, &QPushButton::clicked, this, std::move(onClick));
  return button;
}

QGroupBox* MainWindow::Group(RadioGroup& control, const char* name, int columns,
                             QGridLayout** grid) {
  auto* group = new QGroupBox(Text(control.Caption()));
  group->setObjectName(QString::fromLatin1(name));
  auto* layout = new QGridLayout(group);
  layout->setVerticalSpacing(2);
  auto* buttons = new QButtonGroup(group);
  const int count = static_cast<int>(control.Items().size());
  const int rows = (count + columns - 1) / columns;
  for (int i = 0; i < count; ++i) {
    auto* button = new QRadioButton(Text(control.Items()[i]));
    button->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(i));
    buttons->addButton(button, i);
    // Items run down the columns.
    layout->addWidget(button, i % rows, i / rows);
  }
  Mirror(control, [&control, group, buttons] {
    const int index = control.ItemIndex();
    const QSignalBlocker block(buttons);
    if (index >= 0 && buttons->button(index)) {
      buttons->button(index)->setChecked(true);
    } else {
      buttons->setExclusive(false);
      for (QAbstractButton* b : buttons->buttons()) b->setChecked(false);
      buttons->setExclusive(true);
    }
    ShowStates(control, group);
  });
  connect(buttons, &QButtonGroup::idClicked, this,
          [&control](int index) { control.SetItemIndex(index); });
  if (grid) *grid = layout;
  return group;
}

QListWidget* MainWindow::List(ListBox& control, const char* name) {
  auto* list = new QListWidget;
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  Mirror(control, [&control, list] {
    const QSignalBlocker block(list);
    const QStringList items = Strings(control.Items());
    bool same = list->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i) same = list->item(i)->text() == items[i];
    if (!same) {
      list->clear();
      list->addItems(items);
    }
    list->setCurrentRow(control.ItemIndex());
    ShowStates(control, list);
  });
  connect(list, &QListWidget::currentRowChanged, this,
          [&control](int row) { control.SetItemIndex(row); });
  return list;
}

QComboBox* MainWindow::Combo(ComboBox& control, const char* name, bool editable) {
  auto* combo = new QComboBox;
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(editable);
  if (editable) combo->lineEdit()->setAcceptDrops(false);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setMaxVisibleItems(static_cast<int>(control.Items().size()));
  combo->addItems(Strings(control.Items()));
  Mirror(control, [&control, combo] {
    const QSignalBlocker block(combo);
    if (combo->isEditable())
      combo->setEditText(Text(control.Text()));
    else
      combo->setCurrentIndex(control.ItemIndex());
    ShowStates(control, combo);
  });
  if (editable) {
    connect(combo, &QComboBox::currentTextChanged, this,
            [&control](const QString& text) { control.SetText(text.toStdString()); });
  }
  return combo;
}

// ---------------------------------------------------------------------------------------------
// The four steps

QFrame* MainWindow::Step(int number, const QString& title, QLayout* header, QLayout* content) {
  auto* panel = new QFrame;
  panel->setObjectName(QStringLiteral("Step%1").arg(number));
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  auto* top = new QHBoxLayout;
  top->setSpacing(8);
  top->addWidget(StepNumber(number));
  top->addWidget(Bold(title));
  if (header) {
    top->addSpacing(24);
    top->addLayout(header);
  }
  top->addStretch(1);
  layout->addLayout(top);
  if (content) layout->addLayout(content);
  return panel;
}

QFrame* MainWindow::BuildStep1() {
  TMainForm& f = *form_;

  auto* header = new QHBoxLayout;
  header->setSpacing(12);
  for (QRadioButton* mode :
       {Radio(f.rbSingleFile, "rbSingleFile"), Radio(f.rbMultipleFiles, "rbMultipleFiles")}) {
    header->addWidget(mode);
    connect(mode, &QAbstractButton::clicked, this, [this] { form_->FileModeClick(); });
  }
  header->addSpacing(24);
  QAbstractButton* split = Check(f.cbSplit, "cbSplit");
  split->setToolTip(QStringLiteral("Split output file into 60000 record files"));
  header->addWidget(split);
  auto* help = new QToolButton;
  help->setObjectName(QStringLiteral("sbHelp"));
  help->setText(QStringLiteral("?"));
  QFont helpFont = help->font();
  helpFont.setBold(true);
  help->setFont(helpFont);
  help->setAutoRaise(true);
  help->setToolTip(QStringLiteral("What's This?"));
  connect(help, &QToolButton::clicked, this, [this] { form_->sbHelpClick(); });
  header->addWidget(help);

  // Single file.
  auto* single = new QGroupBox(QStringLiteral("Single File"));
  single->setObjectName(QStringLiteral("gbSingleFile"));
  auto* sg = new QGridLayout(single);
  sg->setVerticalSpacing(3);
  QLineEdit* input = Edit(f.InputFilename, "InputFilename");
  QLineEdit* output = Edit(f.OutputFilename, "OutputFilename");
  auto* product = new QLabel;
  product->setObjectName(QStringLiteral("InputFormatLabel"));
  product->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  product->setMinimumWidth(
      product->fontMetrics().horizontalAdvance(QStringLiteral("QVX Tarvik (>=fv1.27)")) + 12);
  Mirror(f.InputFormatLabel, [&f, product] {
    product->setText(Text(f.InputFormatLabel.Caption()));
    ShowStates(f.InputFormatLabel, product);
  });
  sg->addWidget(Caption(QStringLiteral("Input:"), input), 0, 0);
  sg->addWidget(input, 0, 1);
  sg->addWidget(product, 0, 2);
  sg->addWidget(Browse("InBrowse", [this] { form_->InBrowseClick(); }), 0, 3);
  sg->addWidget(Caption(QStringLiteral("Output:"), output), 1, 0);
  sg->addWidget(output, 1, 1, 1, 2);
  sg->addWidget(Browse("OutBrowse", [this] { form_->OutBrowseClick(); }), 1, 3);
  sg->setColumnStretch(1, 1);
  sg->setRowStretch(2, 1);

  // Multiple files.
  auto* multiple = new QGroupBox(QStringLiteral("Multiple Files"));
  multiple->setObjectName(QStringLiteral("gbMultipleFiles"));
  auto* mg = new QGridLayout(multiple);
  mg->setVerticalSpacing(3);
  QLineEdit* inFolder = Edit(f.edInFolder, "edInFolder");
  QLineEdit* outFolder = Edit(f.edOutFolder, "edOutFolder");
  QComboBox* pattern = Combo(f.cbInputExt, "cbInputExt", true);
  QLineEdit* outExt = Edit(f.edOutputExt, "edOutputExt");
  QLineEdit* count = Edit(f.edFileCount, "edFileCount");
  const int narrow = pattern->fontMetrics().horizontalAdvance(QStringLiteral("*.pvf")) + 48;
  pattern->setFixedWidth(narrow);
  outExt->setFixedWidth(narrow);
  count->setFixedWidth(count->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
  count->setAlignment(Qt::AlignRight);
  auto* folderTitle = Caption(QStringLiteral("FOLDER"));
  folderTitle->setAlignment(Qt::AlignCenter);
  mg->addWidget(folderTitle, 0, 1, 1, 2);
  mg->addWidget(Caption(QStringLiteral("FILES")), 0, 3, Qt::AlignCenter);
  mg->addWidget(Caption(QStringLiteral("COUNT")), 0, 4, Qt::AlignCenter);
  mg->addWidget(Caption(QStringLiteral("Input:"), inFolder), 1, 0);
  mg->addWidget(inFolder, 1, 1);
  mg->addWidget(Browse("btnInFolder", [this] { form_->btnInFolderClick(); }), 1, 2);
  mg->addWidget(pattern, 1, 3);
  mg->addWidget(count, 1, 4);
  mg->addWidget(Caption(QStringLiteral("Output:"), outFolder), 2, 0);
  mg->addWidget(outFolder, 2, 1);
  mg->addWidget(Browse("btnOutFolder", [this] { form_->btnOutFolderClick(); }), 2, 2);
  mg->addWidget(outExt, 2, 3);
  mg->setColumnStretch(1, 1);

  // The product's scan options; the input-format group only carries the product code.
  QGroupBox* scanType = Group(f.ScanTypeGroup, "ScanTypeGroup", 1, nullptr);
  QGroupBox* drovelMode = Group(f.DrovelMode, "DrovelMode", 1, nullptr);
  QGroupBox* inputFormat = Group(f.InputFormatGroup, "InputFormatGroup", 2, nullptr);

  auto* content = new QHBoxLayout;
  content->addWidget(single, 11);
  content->addWidget(multiple, 10);
  content->addWidget(scanType);
  content->addWidget(drovelMode);
  content->addWidget(inputFormat);
  return Step(1, QStringLiteral("Select Input / Output"), header, content);
}

QFrame* MainWindow::BuildStep2() {
  TMainForm& f = *form_;

  auto* receivers = new QGroupBox(QStringLiteral("Convert Data for Receiver(s)"));
  receivers->setObjectName(QStringLiteral("gbReceivers"));
  auto* rl = new QHBoxLayout(receivers);
  const char* names[] = {"Receiver1", "Receiver2", "Receiver3", "Receiver4"};
  for (int i = 0; i < 4; ++i) rl->addWidget(Check(*f.ReceiverBoxes[i], names[i]));
  rl->addStretch(1);

  auto* format = new QGroupBox(QStringLiteral("Format Type"));
  format->setObjectName(QStringLiteral("gbFormatType"));
  auto* fl = new QVBoxLayout(format);
  // The group shows the states of the combo box it holds.
  auto* formats = new QComboBox;
  formats->setObjectName(QStringLiteral("OutputFormatGroup"));
  formats->addItems(Strings(f.OutputFormatGroup.Items()));
  formats->setMaxVisibleItems(formats->count());
  fl->addWidget(formats);
  Mirror(f.OutputFormatGroup, [&f, format, formats] {
    const QSignalBlocker block(formats);
    formats->setCurrentIndex(f.OutputFormatGroup.ItemIndex());
    ShowStates(f.OutputFormatGroup, format);
  });
  connect(formats, &QComboBox::activated, this, [this](int index) {
    form_->OutputFormatGroup.SetItemIndex(index);
    form_->OutputFormatGroupChange();
  });

  auto* left = new QVBoxLayout;
  left->addWidget(receivers);
  left->addWidget(format);
  left->addStretch(1);

  auto* reduction = new QGroupBox(QStringLiteral("Data Reduction"));
  reduction->setObjectName(QStringLiteral("gbDataReduction"));
  auto* dl = new QGridLayout(reduction);
  dl->setVerticalSpacing(2);
  dl->addWidget(Radio(f.NoAvg, "NoAvg"), 0, 0);
  dl->addWidget(Radio(f.BSAvg, "BSAvg"), 1, 0);
  QRadioButton* lambda = Radio(f.rbLambda, "rbLambda");
  // Choosing it may offer the average information of the file.
  connect(lambda, &QAbstractButton::clicked, this, [this] { form_->rbLambdaClick(); });
  dl->addWidget(lambda, 2, 0);
  dl->addWidget(Button(f.btnLambda, "btnLambda", [this] { form_->btnLambdaClick(); }), 2, 1);
  // The filters go with any of the choices above: check boxes.
  dl->addWidget(Check(f.RadioButton1, "RadioButton1"), 3, 0);
  dl->addWidget(
      Button(f.btnChannelList, "btnChannelList", [this] { form_->btnChannelListClick(); }), 3, 1);
  dl->addWidget(Check(f.RadioButton2, "RadioButton2"), 4, 0);
  dl->addWidget(Button(f.btnThreshold, "btnThreshold", [this] { form_->btnThresholdClick(); }), 4,
                1);
  dl->setRowStretch(5, 1);

  auto* average = new QGroupBox(QStringLiteral("Average Type"));
  average->setObjectName(QStringLiteral("gbAverageType"));
  auto* al = new QGridLayout(average);
  al->setVerticalSpacing(2);
  auto* seconds = new QLabel(QStringLiteral("second(s)"));
  auto* meters = new QLabel(QStringLiteral("meters"));
  QLineEdit* perSeconds = Edit(f.ORPS_Value, "ORPS_Value", {seconds});
  QLineEdit* perMeters = Edit(f.ORPM_Value, "ORPM_Value", {meters});
  const int valueWidth = perSeconds->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 14;
  perSeconds->setFixedWidth(valueWidth);
  perMeters->setFixedWidth(valueWidth);
  al->addWidget(Radio(f.cbAT_None, "cbAT_None"), 0, 0);
  al->addWidget(Radio(f.rbORPS, "rbORPS"), 1, 0);
  al->addWidget(perSeconds, 1, 1);
  al->addWidget(seconds, 1, 2);
  al->addWidget(Radio(f.rbORPM, "rbORPM"), 2, 0);
  al->addWidget(perMeters, 2, 1);
  al->addWidget(meters, 2, 2);
  // Traffic goes with the averages over the drive.
  al->addWidget(Check(f.cbTraffic, "cbTraffic"), 3, 0);
  al->addWidget(Button(f.btnTraffic, "btnTraffic", [this] { form_->btnTrafficClick(); }), 3, 1, 1,
                2);
  al->setRowStretch(4, 1);
  al->setColumnStretch(3, 1);
  average->setMinimumWidth(
      average->fontMetrics().horizontalAdvance(QStringLiteral("( ) 1 Rec per  00000  second(s)")) +
      48);

  // The tree takes the height the option groups need; the field lists below get the rest.
  tree_ = new IndexTree(f.tvIndex);
  tree_->setMinimumWidth(200);
  tree_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  tree_->setMinimumHeight(100);

  auto* content = new QHBoxLayout;
  content->addLayout(left);
  content->addWidget(reduction);
  content->addWidget(average);
  content->addWidget(tree_, 1);
  return Step(2, QStringLiteral("Choose Formatting Options"), nullptr, content);
}

QFrame* MainWindow::BuildStep3() {
  TMainForm& f = *form_;

  auto listColumn = [this](ListBox& box, const char* name, const QString& title) {
    auto* column = new QVBoxLayout;
    QListWidget* list = List(box, name);
    column->addWidget(Caption(title, list));
    column->addWidget(list, 1);
    return column;
  };

  auto* buttons = new QVBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button(f.SelectField, "SelectField", [this] { form_->SelectClick(); }));
  buttons->addWidget(Button(f.DeselectField, "DeselectField", [this] { form_->DeselectClick(); }));
  buttons->addWidget(Button(f.SelectAll, "SelectAll", [this] { form_->SelectAllClick(); }));
  buttons->addWidget(Button(f.DeselectAll, "DeselectAll", [this] { form_->DeselectAllClick(); }));
  buttons->addStretch(1);

  QGridLayout* dg = nullptr;
  QGroupBox* delimiter = Group(f.DelimiterGroup, "DelimiterGroup", 2, &dg);
  QLineEdit* other = Edit(f.OtherDelimiter, "OtherDelimiter");
  other->setFixedWidth(other->fontMetrics().horizontalAdvance(QStringLiteral("W")) + 16);
  other->setAlignment(Qt::AlignCenter);
  dg->addWidget(other, 1, 2);
  dg->setColumnStretch(3, 1);

  auto* options = new QVBoxLayout;
  options->addWidget(Check(f.FieldTitles, "FieldTitles"));
  options->addWidget(delimiter);
  options->addStretch(1);

  auto* data = new QGroupBox(QStringLiteral("Field Data"));
  data->setObjectName(QStringLiteral("gbFieldData"));
  // Two columns, the boxes running down them: the step stays low on a small screen.
  auto* fd = new QGridLayout(data);
  fd->setVerticalSpacing(2);
  fd->addWidget(Check(f.FrequencyField, "FrequencyField"), 0, 0);
  fd->addWidget(Check(f.ChannelField, "ChannelField"), 1, 0);
  fd->addWidget(Check(f.RSSIField, "RSSIField"), 2, 0);
  fd->addWidget(Check(f.SATField, "SATField"), 0, 1);
  fd->addWidget(Check(f.VMACField, "VMACField"), 1, 1);
  fd->setRowStretch(3, 1);

  auto* content = new QHBoxLayout;
  content->addLayout(listColumn(f.AvailableBox, "AvailableBox", QStringLiteral("Available Fields")),
                     1);
  content->addLayout(buttons);
  content->addLayout(listColumn(f.SelectedBox, "SelectedBox", QStringLiteral("Selected Fields")),
                     1);
  content->addSpacing(6);
  content->addLayout(options);
  content->addWidget(data);
  return Step(3, QStringLiteral("Select Data And Fields Which Are To Be In The Output File"),
              nullptr, content);
}

QFrame* MainWindow::BuildStep4() {
  TMainForm& f = *form_;
  auto* header = new QHBoxLayout;
  header->setSpacing(12);
  QPushButton* convert = Button(f.btnConvert, "btnConvert", [this] { form_->btnConvertClick(); });
  QPushButton* cancel = Button(f.btnCancel, "btnCancel", [this] { form_->btnCancelClick(); });
  for (QPushButton* b : {convert, cancel}) {
    QFont font = b->font();
    font.setBold(true);
    b->setFont(font);
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("CONVERT")) + 48);
    header->addWidget(b);
  }
  return Step(4, QStringLiteral("Convert The Input File"), header, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Menu and status bar

void MainWindow::BuildMenu() {
  QMenu* application = menuBar()->addMenu(QStringLiteral("&Application"));
  application->setObjectName(QStringLiteral("Application1"));
  QAction* open = application->addAction(QStringLiteral("Open Configuration"));
  open->setObjectName(QStringLiteral("OpenConfiguration1"));
  connect(open, &QAction::triggered, this, [this] { form_->OpenConfiguration1Click(); });
  QAction* save = application->addAction(QStringLiteral("Save Configuration"));
  save->setObjectName(QStringLiteral("SaveConfiguration1"));
  connect(save, &QAction::triggered, this, [this] { form_->SaveConfiguration1Click(); });
  recent_ = application->addMenu(QStringLiteral("Recent Files"));
  recent_->setObjectName(QStringLiteral("RecentFiles1"));
  connect(recent_, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
  FillRecentMenu();
  QAction* colors = application->addAction(QStringLiteral("Map Output..."));
  colors->setObjectName(QStringLiteral("ColorThresholds1"));
  connect(colors, &QAction::triggered, this, [this] {
    colors_->LoadFromForm();
    colors_->exec();
  });
  runLockedActions_ = {open, recent_->menuAction(), colors};
  application->addSeparator();
  QAction* exit = application->addAction(QStringLiteral("E&xit"));
  exit->setObjectName(QStringLiteral("Exit1"));
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  QAction* contents = help->addAction(QStringLiteral("Contents && Index"));
  contents->setObjectName(QStringLiteral("ContentsIndex1"));
  connect(contents, &QAction::triggered, this, [this] { help_->ShowManual(); });
  help->addSeparator();
  QAction* about = help->addAction(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("About1"));
  connect(about, &QAction::triggered, this, [this] { about_->exec(); });
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("sbStatus"));
  bar->setSizeGripEnabled(false);
  gauge_ = new PercentGauge(QColor(0, 0, 128));
  gauge_->setObjectName(QStringLiteral("ProgressBar"));
  gauge_->setFixedWidth(950);
  clock_ = new QLabel(QStringLiteral("HH:MM:SS"));
  clock_->setObjectName(QStringLiteral("olClock"));
  clock_->setAlignment(Qt::AlignCenter);
  clock_->setFixedWidth(100);
  runStatus_ = new QLabel;
  runStatus_->setObjectName(QStringLiteral("RunStatus"));
  // The text never widens the window; the whole of it is the tooltip.
  runStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(gauge_);
  bar->addWidget(runStatus_, 1);
  bar->addWidget(clock_);
  TMainForm& f = *form_;
  Mirror(
      f.ProgressBar,
      [this, &f] {
        const int percent = f.ProgressBar.Position();
        gauge_->SetPosition(percent);
        if (wait_) wait_->ProgressBar()->SetPosition(percent);
      },
      Follow::Widget);
}

void MainWindow::TimerTimer() {
  // The locale's time of day with seconds, without the time zone.
  QString format = QLocale::system().timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  clock_->setText(QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

void MainWindow::ChooseInputFile(const QString& path) {
  form_->ChooseInputFile(path.toStdString());
}

}  // namespace polvane
