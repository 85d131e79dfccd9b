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
// none are left; its button, or closing it, says `quitAtOnce`. While the MIDI system does not
// answer, the messages cannot go out: the note says so instead of counting, and waits for the
// button (or for the system to answer again).
class QueuedMessagesNote : public QWidget {
  Q_OBJECT
 public:
  // `pending` tells how many messages are still to go out; `answering`, whether the MIDI
  // system takes them.
  explicit QueuedMessagesNote(std::function<std::size_t()> pending,
                              std::function<bool()> answering = [] { return true; }, QWidget* parent = nullptr);

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
  std::function<bool()> answering_;
  std::size_t lastCount_ = 0;  // while it answered
  QLabel* text_;
  QPushButton* quit_;
  QTimer* timer_;
  bool done_ = false;
};

// "Sending 2032 queued MIDI messages…"; one message is "message".
QString queuedMessagesText(std::size_t count);
// "The MIDI system does not answer: 2032 queued MIDI messages cannot be sent. …"
QString notAnsweringText(std::size_t count);

}  // namespace rotavox
