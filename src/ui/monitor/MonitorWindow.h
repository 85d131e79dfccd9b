#pragma once

#include <QAbstractListModel>
#include <QTimer>
#include <QWidget>
#include <deque>

#include "core/monitor/MidiLog.h"

class QListView;
class QPushButton;

namespace rotavox {

class MidiMonitor;

// The list of F_Monitor: the kept messages, newest last, each line made when it is shown.
class MonitorModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit MonitorModel(MidiMonitor& monitor, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Takes in the messages logged since the last call, in one batch; the oldest rows beyond
  // the log's capacity go.
  void catchUp();
  void clear();
  QString line(int row) const;
  // The number of the next message to take in: all before it are listed (or were cleared).
  std::uint64_t taken() const { return seen_; }

 private:
  MidiMonitor& monitor_;
  std::deque<LoggedMessage> rows_;
  std::uint64_t seen_ = 0;  // the number of the next message to take in
};

// F_Monitor, "MIDI monitor": every message the program hands to the MIDI service, with the
// time since the program started, its bytes and what it means; failed sends say why. Modeless;
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
  MidiMonitor& monitor_;
  MonitorModel model_;
  QTimer batches_;
  QListView* ListMessages_;
  QPushButton* C_Pause_;
  QPushButton* C_Clear_;
  QPushButton* C_Copy_;
};

}  // namespace rotavox
