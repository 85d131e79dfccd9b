#pragma once

#include <QObject>
#include <QPointer>

#include "ui/common/QueuedMessagesNote.h"

namespace rotavox {

class MidiLink;

// When and how the program ends. It ends when the last of its windows has closed (the main
// window and every window that belongs to it; closing the main window leaves the others
// open), or at once by the Quit command. With MIDI messages still queued it first shows a
// note that counts them down, with a way to quit at once, and ends when the queue is empty;
// while the MIDI system does not answer, the note says so and waits for the user.
class ProgramEnding : public QObject {
  Q_OBJECT
 public:
  // Watches `mainWindow` and its child windows. Turns off the application's own
  // quit-on-last-window, which does not count dialogs that belong to a main window.
  ProgramEnding(MidiLink& midi, QWidget& mainWindow);
  ~ProgramEnding() override;

  // The Quit command: no window runs its unload steps. With nothing queued the program ends
  // now; otherwise every window goes and the note stays until the queue is empty.
  void quitNow();

  // True once the program has been told to end (the application's event loop then returns).
  bool hasEnded() const { return ended_; }
  // The note while the program waits for queued messages, else nullptr.
  QueuedMessagesNote* note() const { return note_; }

 signals:
  void ended();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool isProgramWindow(const QWidget* w) const;
  bool anyWindowOpen() const;
  void lastWindowClosed();
  void endWhenSent();
  void end();

  MidiLink& midi_;
  QWidget& mainWindow_;
  QPointer<QueuedMessagesNote> note_;
  bool ending_ = false;
  bool ended_ = false;
};

}  // namespace rotavox
