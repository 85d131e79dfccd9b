#include "ui/monitor/MonitorWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>

#include "core/monitor/MessageText.h"
#include "ui/common/Twips.h"
#include "ui/monitor/MidiMonitor.h"

namespace rotavox {

namespace {

// Characters, not bytes: an error text may hold any.
int charactersOf(const std::string& utf8) {
  return static_cast<int>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

MonitorModel::MonitorModel(MidiMonitor& monitor, QObject* parent) : QAbstractTableModel(parent), monitor_(monitor) {}

int MonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MonitorModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kMonitorColumnCount);
}

QString MonitorModel::line(int row) const {
  const LoggedMessage& m = rows_[static_cast<std::size_t>(row)];
  return QString::fromStdString(monitorLine(m, monitor_.log().errorText(m)));
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const LoggedMessage& m = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole) {
    return QString::fromStdString(monitorRow(m, monitor_.log().errorText(m))[static_cast<std::size_t>(index.column())]);
  }
  if (role == Qt::ForegroundRole && m.result != kMidiOk) return QColor(200, 0, 0);
  // Times line up on their decimal point.
  if (role == Qt::TextAlignmentRole && index.column() == static_cast<int>(MonitorColumn::Time))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
  const std::string_view title = kMonitorColumnTitles[static_cast<std::size_t>(section)];
  return QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size()));
}

void MonitorModel::catchUp() {
  const MidiLog& log = monitor_.log();
  // Messages that dropped out of the log before they were shown are skipped.
  const std::uint64_t from = std::max(seen_, log.first());
  if (from >= log.next()) {
    seen_ = log.next();
    return;
  }
  const std::size_t incoming = static_cast<std::size_t>(log.next() - from);
  const std::size_t keep = std::min(rows_.size(), MidiLog::kCapacity - std::min(incoming, MidiLog::kCapacity));
  if (keep < rows_.size()) {
    beginRemoveRows({}, 0, static_cast<int>(rows_.size() - keep) - 1);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(rows_.size() - keep));
    endRemoveRows();
  }
  const std::uint64_t start = log.next() - std::min<std::uint64_t>(incoming, MidiLog::kCapacity);
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(log.next() - start) - 1);
  for (std::uint64_t n = start; n < log.next(); ++n) {
    const LoggedMessage& m = log.at(n);
    rows_.push_back(m);
    const MonitorRow row = monitorRow(m, log.errorText(m));
    for (std::size_t c = 0; c < kMonitorColumnCount; ++c) widest_[c] = std::max(widest_[c], charactersOf(row[c]));
  }
  endInsertRows();
  seen_ = log.next();
}

void MonitorModel::clear() {
  beginResetModel();
  rows_.clear();
  widest_ = {};
  seen_ = monitor_.log().next();
  endResetModel();
}

MonitorWindow::MonitorWindow(MidiMonitor& monitor, QWidget* parent)
    : QWidget(parent, Qt::Window), monitor_(monitor), model_(monitor, this) {
  setObjectName("F_Monitor");
  setWindowTitle("MIDI monitor");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(twips(12600), twips(6000));

  ListMessages_ = placed<QTableView>(this, "ListMessages", twipRect(120, 120, 8160, 5040));
  ListMessages_->setModel(&model_);
  ListMessages_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ListMessages_->setShowGrid(false);
  ListMessages_->setWordWrap(false);
  ListMessages_->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListMessages_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Every row the same height: a long table scrolls without measuring each row.
  QHeaderView* rows = ListMessages_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(0);
  rows->setDefaultSectionSize(ListMessages_->fontMetrics().height() + 2);
  QHeaderView* columns = ListMessages_->horizontalHeader();
  columns->setHighlightSections(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ListMessages_->setAccessibleName("MIDI messages sent and received");
  C_Pause_ = placed<QPushButton>(this, "C_Pause", twipRect(120, 5340, 1500, 480), "&Pause");
  C_Pause_->setCheckable(true);
  C_Pause_->setToolTip("Holds the list still; messages are still kept");
  C_Clear_ = placed<QPushButton>(this, "C_Clear", twipRect(1740, 5340, 1500, 480), "C&lear");
  C_Copy_ = placed<QPushButton>(this, "C_Copy", twipRect(3360, 5340, 1500, 480), "&Copy");
  C_Copy_->setToolTip("Copies the whole list as text");

  connect(C_Pause_, &QPushButton::clicked, this, &MonitorWindow::C_Pause_Click);
  connect(C_Clear_, &QPushButton::clicked, this, &MonitorWindow::C_Clear_Click);
  connect(C_Copy_, &QPushButton::clicked, this, &MonitorWindow::C_Copy_Click);
  batches_.setInterval(1000 / kBatchesPerSecond + 1);
  connect(&batches_, &QTimer::timeout, this, [this] {
    if (!C_Pause_->isChecked()) takeBatch();
  });
}

void MonitorWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int gap = twips(120);
  const int buttons = twips(480);
  ListMessages_->setGeometry(gap, gap, width() - 2 * gap, height() - 3 * gap - buttons);
  const int y = height() - gap - buttons;
  C_Pause_->move(gap, y);
  C_Clear_->move(C_Pause_->geometry().right() + gap, y);
  C_Copy_->move(C_Clear_->geometry().right() + gap, y);
}

// Messages sent while the window was closed are there at once.
void MonitorWindow::Form_Load() {
  takeBatch();
  batches_.start();
}

void MonitorWindow::takeBatch() {
  QScrollBar* bar = ListMessages_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  model_.catchUp();
  fitColumns();
  // Following the newest line, unless the user scrolled back to read.
  if (atEnd) ListMessages_->scrollToBottom();
}

void MonitorWindow::fitColumns() {
  QHeaderView* header = ListMessages_->horizontalHeader();
  // The cells' font is fixed-width: a text's width is its length in digits.
  const QFontMetrics metrics(ListMessages_->font());
  const int padding = 2 * metrics.horizontalAdvance(QLatin1Char('0'));
  for (int c = 0; c < model_.columnCount(); ++c) {
    const int content = metrics.horizontalAdvance(QString(model_.widest(MonitorColumn(c)), QLatin1Char('0'))) + padding;
    const int width = std::max(content, header->sectionSizeHint(c));
    if (header->sectionSize(c) != width) header->resizeSection(c, width);
  }
}

void MonitorWindow::C_Pause_Click() {
  if (!C_Pause_->isChecked()) takeBatch();
}

void MonitorWindow::C_Clear_Click() {
  monitor_.clear();
  model_.clear();
  fitColumns();
}

void MonitorWindow::C_Copy_Click() {
  QStringList lines;
  for (int row = 0; row < model_.rowCount(); ++row) lines << model_.line(row);
  QApplication::clipboard()->setText(lines.join('\n') + (lines.isEmpty() ? "" : "\n"));
}

}  // namespace rotavox
