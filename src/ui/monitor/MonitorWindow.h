#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>

#include "core/monitor/MessageText.h"
#include "core/monitor/MidiLog.h"

class QTableView;
class QPushButton;

namespace rotavox {

class MidiMonitor;

// The table of F_Monitor: the kept messages, newest last, one column per part of a message
// (MonitorColumn); each cell's text is made when it is shown.
class MonitorModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit MonitorModel(MidiMonitor& monitor, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Takes in the messages logged since the last call, in one batch; the oldest rows beyond
  // the log's capacity go.
  void catchUp();
  void clear();
  // A row as one line, its columns apart by tabs.
  QString line(int row) const;
  // The characters of the longest text in a column among the rows taken in since the last
  // clear(), so the view can size the column to its content without measuring every row.
  int widest(MonitorColumn column) const { return widest_[static_cast<std::size_t>(column)]; }
  // The number of the next message to take in: all before it are listed (or were cleared).
  std::uint64_t taken() const { return seen_; }

 private:
  MidiMonitor& monitor_;
  std::deque<LoggedMessage> rows_;
  std::uint64_t seen_ = 0;  // the number of the next message to take in
  std::array<int, kMonitorColumnCount> widest_{};
};

// F_Monitor, "MIDI monitor": every message the program hands to the MIDI service, a row each
// in a table: the time since the program started, which way it went, its bytes, channel, kind
// and meaning, and why a failed send failed. Modeless;
// deletes itself when closed, the messages stay kept.
class MonitorWindow : public QWidget {
  Q_OBJECT
 public:
  MonitorWindow(MidiMonitor& monitor, QWidget* parent);

  // At most this often a second the list takes in new messages.
  static constexpr int kBatchesPerSecond = 30;

  void Form_Load();
  void C_Pause_Click();
  void C_Clear_Click();
  void C_Copy_Click();

  MonitorModel& model() { return model_; }
  // Takes in what is new now, as the timer does (unless paused).
  void takeBatch();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Widens the columns to their longest text so far.
  void fitColumns();

  MidiMonitor& monitor_;
  MonitorModel model_;
  QTimer batches_;
  QTableView* ListMessages_;
  QPushButton* C_Pause_;
  QPushButton* C_Clear_;
  QPushButton* C_Copy_;
};

}  // namespace rotavox
