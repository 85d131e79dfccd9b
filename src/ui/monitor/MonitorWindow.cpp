#include "ui/monitor/MonitorWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>

#include "core/monitor/MessageText.h"
#include "ui/common/Twips.h"
#include "ui/monitor/MidiMonitor.h"

namespace rotavox {

MonitorModel::MonitorModel(MidiMonitor& monitor, QObject* parent) : QAbstractListModel(parent), monitor_(monitor) {}

int MonitorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QString MonitorModel::line(int row) const {
  const LoggedMessage& m = rows_[static_cast<std::size_t>(row)];
  return QString::fromStdString(monitorLine(m, monitor_.log().errorText(m)));
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole) return line(index.row());
  if (role == Qt::ForegroundRole && rows_[static_cast<std::size_t>(index.row())].result != kMidiOk)
    return QColor(200, 0, 0);
  return {};
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
  for (std::uint64_t n = start; n < log.next(); ++n) rows_.push_back(log.at(n));
  endInsertRows();
  seen_ = log.next();
}

void MonitorModel::clear() {
  beginResetModel();
  rows_.clear();
  seen_ = monitor_.log().next();
  endResetModel();
}

MonitorWindow::MonitorWindow(MidiMonitor& monitor, QWidget* parent)
    : QWidget(parent, Qt::Window), monitor_(monitor), model_(monitor, this) {
  setObjectName("F_Monitor");
  setWindowTitle("MIDI monitor");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(twips(11400), twips(6000));

  ListMessages_ = placed<QListView>(this, "ListMessages", twipRect(120, 120, 8160, 5040));
  ListMessages_->setModel(&model_);
  // Every line the same height: a long list scrolls without measuring each row.
  ListMessages_->setUniformItemSizes(true);
  ListMessages_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ListMessages_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListMessages_->setAccessibleName("Messages sent");
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
  // Following the newest line, unless the user scrolled back to read.
  if (atEnd) ListMessages_->scrollToBottom();
}

void MonitorWindow::C_Pause_Click() {
  if (!C_Pause_->isChecked()) takeBatch();
}

void MonitorWindow::C_Clear_Click() {
  monitor_.clear();
  model_.clear();
}

void MonitorWindow::C_Copy_Click() {
  QStringList lines;
  for (int row = 0; row < model_.rowCount(); ++row) lines << model_.line(row);
  QApplication::clipboard()->setText(lines.join('\n') + (lines.isEmpty() ? "" : "\n"));
}

}  // namespace rotavox
