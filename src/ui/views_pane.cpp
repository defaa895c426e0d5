#include "ui/views_pane.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "app/convert_job.h"
#include "app/main_form.h"
#include "ui/drive_map.h"
#include "ui/index_tree.h"
#include "ui/preview_sink.h"
#include "ui/signal_chart.h"

namespace polvane {

namespace {

// Changes come in bursts (a preset sets many controls): one pass follows a quiet spell.
constexpr int kQuietMs = 250;

}  // namespace

std::vector<std::pair<int, TreeNode>> SectionList(const TMainForm& form) {
  std::vector<std::pair<int, TreeNode>> list;
  for (const auto& root : form.tvIndex.Roots())
    for (const TreeNode& section : root->Children)
      list.emplace_back(static_cast<int>(section.Ordinal), section);
  return list;
}

ViewsPane::ViewsPane(TMainForm& form, IndexTree& tree, QWidget* parent)
    : QTabWidget(parent), form_(form), tree_(tree) {
  setObjectName(QStringLiteral("Views"));

  auto* preview = new QWidget;
  preview->setObjectName(QStringLiteral("PreviewTab"));
  auto* pl = new QVBoxLayout(preview);
  pl->setContentsMargins(2, 2, 2, 2);
  pl->setSpacing(2);
  table_ = new QTableWidget;
  table_->setObjectName(QStringLiteral("PreviewTable"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
  previewNote_ = new QLabel;
  previewNote_->setObjectName(QStringLiteral("PreviewNote"));
  previewNote_->setWordWrap(true);
  pl->addWidget(table_, 1);
  pl->addWidget(previewNote_);
  addTab(preview, tr("Preview"));

  auto* drive = new QWidget;
  drive->setObjectName(QStringLiteral("DriveTab"));
  auto* dl = new QVBoxLayout(drive);
  dl->setContentsMargins(2, 2, 2, 2);
  dl->setSpacing(2);
  auto* split = new QSplitter(Qt::Vertical);
  map_ = new DriveMap;
  chart_ = new SignalChart;
  split->addWidget(map_);
  split->addWidget(chart_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  driveNote_ = new QLabel;
  driveNote_->setObjectName(QStringLiteral("DriveNote"));
  driveNote_->setWordWrap(true);
  dl->addWidget(split, 1);
  dl->addWidget(driveNote_);
  addTab(drive, tr("Drive Map"));

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setInterval(kQuietMs);
  connect(timer_, &QTimer::timeout, this, [this] { Look(); });

  drivePass_ = std::make_unique<LinePass>(
      [] { return std::make_shared<DriveSink>(); },
      [this](std::shared_ptr<CollectingSink> sink) { DriveDone(std::move(sink)); });

  previewPass_ = std::make_unique<LinePass>(
      [] { return std::make_shared<PreviewSink>(); },
      [this](std::shared_ptr<CollectingSink> sink) { PreviewDone(std::move(sink)); });

  // The cursors go together; the tree's chosen section is highlighted; a rectangle drawn with
  // Shift leaves its sections out.
  connect(map_, &DriveMap::lineHovered, chart_, &SignalChart::SetCursor);
  connect(chart_, &SignalChart::lineHovered, map_, &DriveMap::SetCursor);
  connect(&tree_, &IndexTree::CurrentNodeChanged, this,
          [this](const TreeNode* node) { ChosenNode(node); });
  connect(map_, &DriveMap::sectionsOutlined, this,
          [this](const std::vector<std::uint32_t>& s) { Outlined(s); });
}

ViewsPane::~ViewsPane() = default;

bool ViewsPane::WindowBusy() const {
  TConvert* job = const_cast<TMainForm&>(form_).ConvertWorker();
  return form_.Indexing() || (job && job->Running());
}

bool ViewsPane::Busy() const {
  return timer_->isActive() || drivePass_->Running() || previewPass_->Running();
}

void ViewsPane::SettingsChanged() {
  timer_->start();
}

void ViewsPane::TreeChanged() {
  std::set<std::uint32_t> out;
  for (const auto& [ordinal, node] : SectionList(form_))
    if (ordinal > 0 && !node.Selected()) out.insert(static_cast<std::uint32_t>(ordinal));
  map_->SetLeftOut(std::move(out));
  SettingsChanged();
}

void ViewsPane::RefreshNow() {
  timer_->stop();
  Look();
}

void ViewsPane::Look() {
  // An index being built or a conversion running come first; look again after them.
  if (WindowBusy()) {
    // A pass would slow the conversion down: it stops, and runs again after it.
    drivePass_->Cancel();
    previewPass_->Cancel();
    timer_->start();
    return;
  }
  const std::string config = scratch_.filePath(QStringLiteral("views.cfg")).toStdString();
  const PassRequest drive = RequestFromWindow(form_, config, true);
  // The preview leaves out the sections the tree leaves out, as the conversion does.
  const std::string previewConfig = scratch_.filePath(QStringLiteral("preview.cfg")).toStdString();
  const PassRequest preview = RequestFromWindow(form_, previewConfig, false);
  if (preview.Empty()) {
    previewPass_->Start(preview);
    table_->clear();
    table_->setRowCount(0);
    table_->setColumnCount(0);
    previewNote_->clear();
  } else if (preview.Key != previewPass_->LastKey()) {
    previewNote_->setText(tr("Converting the first lines..."));
    previewPass_->Start(preview);
  }
  if (drive.Empty()) {
    drivePass_->Start(drive);
    driveInput_.clear();
    map_->SetTrack(nullptr);
    chart_->SetTrack(nullptr);
    driveNote_->clear();
    return;
  }
  if (drive.Key != drivePass_->LastKey()) {
    driveNote_->setText(tr("Reading the drive..."));
    drivePass_->Start(drive);
  }
}

void ViewsPane::DriveDone(std::shared_ptr<CollectingSink> sink) {
  auto* collected = static_cast<DriveSink*>(sink.get());
  auto track = std::make_shared<DriveTrack>(std::move(collected->Track()));
  const std::string input = form_.InputFilename.Text();
  map_->SetTrack(track, input != driveInput_);
  driveInput_ = input;
  chart_->SetTrack(track);
  TreeChanged();
  timer_->stop();
  std::size_t placed = 0;
  for (const DriveLine& l : track->Lines) placed += l.HasPosition;
  QString note = sink->Failure.isEmpty()
                     ? tr("%1 lines, %2 with a position.").arg(track->Lines.size()).arg(placed)
                     : sink->Failure;
  if (track->Truncated) note += tr(" The views show the first %1 lines.").arg(track->Lines.size());
  driveNote_->setText(note);
}

void ViewsPane::PreviewDone(std::shared_ptr<CollectingSink> sink) {
  auto* lines = static_cast<PreviewSink*>(sink.get());
  const auto& titles = lines->ColumnTitles();
  const auto& rows = lines->Rows();
  std::size_t columns = titles.size();
  for (const auto& row : rows) columns = std::max(columns, row.size());
  table_->clear();
  table_->setColumnCount(static_cast<int>(columns));
  table_->setRowCount(static_cast<int>(rows.size()));
  QStringList header;
  for (std::size_t c = 0; c < columns; ++c)
    header << (c < titles.size() ? QString::fromStdString(titles[c]) : QString());
  table_->setHorizontalHeaderLabels(header);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      table_->setItem(static_cast<int>(r), static_cast<int>(c),
                      new QTableWidgetItem(QString::fromStdString(rows[r][c])));
    if (lines->IsMessage(r) && columns > 1)
      table_->setSpan(static_cast<int>(r), 0, 1, static_cast<int>(columns));
  }
  // A layout's text lines up in columns of fixed width; the window's font serves the cells.
  const PreviewSink::Fixed fixed = lines->FixedKind();
  table_->setFont(fixed == PreviewSink::Fixed::None
                      ? QFont()
                      : QFontDatabase::systemFont(QFontDatabase::FixedFont));
  table_->resizeColumnsToContents();
  QString note;
  if (!sink->Failure.isEmpty())
    note = sink->Failure;
  else if (fixed == PreviewSink::Fixed::Binary)
    note = lines->FixedMore() ? tr("The first %1 bytes of the layout.").arg(lines->ShownBytes())
                              : tr("All %1 bytes of the layout.").arg(lines->ShownBytes());
  else if (fixed == PreviewSink::Fixed::Text)
    note = lines->FixedMore() ? tr("The first %1 lines of the layout.").arg(rows.size())
                              : tr("All %1 lines of the layout.").arg(rows.size());
  else
    note = lines->Full() ? tr("The first %1 lines.").arg(rows.size())
                         : tr("All %1 lines.").arg(rows.size());
  previewNote_->setText(note);
}

void ViewsPane::ChosenNode(const TreeNode* node) {
  // A data kind's node has no ordinal: no section is chosen.
  map_->SetChosenSection(node ? node->Ordinal : 0);
}

void ViewsPane::Outlined(const std::vector<std::uint32_t>& sections) {
  // The sections of a running conversion stay as it started with them.
  if (WindowBusy()) return;
  const std::set<std::uint32_t> wanted(sections.begin(), sections.end());
  bool changed = false;
  for (const std::uint32_t ordinal : wanted)
    if (ordinal > 0 && form_.tvIndex.SetSection(ordinal, false)) changed = true;
  if (changed && form_.tvIndex.Changed) form_.tvIndex.Changed();
}

}  // namespace polvane
