#pragma once

#include <QWidget>
#include <cstddef>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace rotavox {

// "Sending N queued MIDI messages…": the small window that stands alone while the program
// ends with MIDI messages still on their way. It counts them down and says `emptied` when
// none are left; its button, or closing it, says `quitAtOnce`.
class QueuedMessagesNote : public QWidget {
  Q_OBJECT
 public:
  // `pending` tells how many messages are still to go out.
  explicit QueuedMessagesNote(std::function<std::size_t()> pending, QWidget* parent = nullptr);

  // Reads the count anew (the timer does it ten times a second).
  void refresh();
  QLabel* text() const { return text_; }
  QPushButton* quitButton() const { return quit_; }

 signals:
  void emptied();
  void quitAtOnce();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<std::size_t()> pending_;
  QLabel* text_;
  QPushButton* quit_;
  QTimer* timer_;
  bool done_ = false;
};

// "Sending 2032 queued MIDI messages…"; one message is "message".
QString queuedMessagesText(std::size_t count);

}  // namespace rotavox
