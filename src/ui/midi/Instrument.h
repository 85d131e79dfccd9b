#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/midi/InstrumentInput.h"
#include "core/midi/InstrumentProgram.h"
#include "core/midi/PortChoice.h"
#include "core/midi/ReceivedRing.h"
#include "ui/common/AppContext.h"

class QMenu;
class QSocketNotifier;
class QWidget;

namespace rotavox {

class EditorPanel;
class FollowWindow;
class MidiMonitor;
class ProgramWindow;
class ReceiveQueue;

// The instrument in the loop. Following: the messages of one port of the MIDI system (the
// microQ's own MIDI out) arrive on the service's thread, are handed over without waiting, and
// the panel shows the values of the chosen channel's parameter controllers, at most once a
// frame, sending nothing back. Programs: chooses one of the instrument's stored sounds, after
// which the panel no longer knows the sound it plays. Lives as long as the main window; F_Follow
// and F_Program are its windows, opened from the items it adds at the end of the Midi menu.
class Instrument : public QObject {
  Q_OBJECT
 public:
  Instrument(AppContext& ctx, EditorPanel& panel, MidiMonitor& monitor, QMenu* menu, QWidget* window);
  ~Instrument() override;

  void Menu_Follow_Click();
  void Menu_Program_Click();
  FollowWindow* followWindow() const;
  ProgramWindow* programWindow() const;

  // ---- Following ----------------------------------------------------------------------------
  // Follows input device `device` (the thru's numbering), whose record is `caps`; an earlier
  // port is let go first. On failure nothing is followed and stateText() says why.
  MidiResult follow(int device, const MidiInCaps& caps);
  void stopFollowing();
  bool following() const { return queue_ != nullptr; }
  // The port followed now, by its identity; empty while nothing is.
  const RememberedPort& followedPort() const { return port_; }
  // What F_Follow's state label shows: the last message received in the monitor's words (or
  // that none came yet), why following stopped or failed, and a warning while the followed port
  // also feeds the thru.
  QString stateText() const;
  // The followed port is the one the thru passes on to the instrument: it would hear itself.
  bool followsThruSource() const;
  // Takes in what arrived, as the wake-up does when the event loop gets to it.
  void takeReceived();
  // The main window closed: nothing is left to show received values on.
  void mainWindowClosed() { stopFollowing(); }
  // Messages the hand-over lost to a full ring since following began.
  std::uint64_t lostMessages() const;

  // ---- Programs -----------------------------------------------------------------------------
  // Sends Bank Select (Control Change 32) with the bank, then Program Change with the number - 1,
  // on the chosen channel, and forgets the sound on the panel.
  void sendProgram(const InstrumentProgram& program);
  // The program the instrument plays, as last chosen here or on the instrument.
  const std::optional<InstrumentProgram>& program() const { return program_; }

 signals:
  // Following began or ended, or what stateText() says changed.
  void stateChanged();
  // The instrument plays another program (the main window's title names it).
  void programChanged();

 private:
  void showBatch();
  void scheduleShow();
  void sourceGone();
  void programPlayed(const InstrumentProgram& program);
  void endFollowing();

  AppContext& ctx_;
  EditorPanel& panel_;
  MidiMonitor& monitor_;
  QWidget* window_;
  QPointer<FollowWindow> followWindow_;
  QPointer<ProgramWindow> programWindow_;

  RememberedPort port_;
  std::string portName_;
  std::unique_ptr<ReceiveQueue> queue_;
  QSocketNotifier* wake_ = nullptr;
  std::vector<ReceivedMessage> taken_;  // reused: no allocation per batch once grown
  ReceivedBatch batch_;
  QTimer frame_;
  QElapsedTimer sinceShown_;
  std::optional<std::uint32_t> lastMessage_;
  bool stateDirty_ = false;
  QString ended_;  // why following ended or failed, while nothing is followed

  std::optional<InstrumentProgram> program_;
};

}  // namespace rotavox
