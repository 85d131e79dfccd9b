#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <string_view>

#include "core/play/Sequencer.h"
#include "ui/common/AppContext.h"

class QAction;
class QLabel;
class QTimer;

namespace rotavox {

class NoteKey;
class SequencerDialog;

// The main window's playing controls: the five note keys, the step label `TextSeq`, the
// sequencer's timer `Zeit1`, the start/stop command and the sequencer settings dialog.
class PlayControls : public QObject {
  Q_OBJECT
 public:
  // The keys and the label go onto `panel`; the timer and the dialog belong to `window`.
  PlayControls(AppContext& ctx, QWidget* panel, QAction* startCommand, QWidget* window);

  // Starts the sequencer when it is stopped, stops it when it runs.
  void Menu_StartSequenzer_Click();
  // Opens the settings dialog, or brings an open one forward.
  void showSettings();
  void Zeit1_Timer();

  // The settings dialog's speed field changed: the timer interval follows when the text
  // gives one.
  void speedChanged(std::string_view speedText);
  // The settings dialog's octave field changed.
  void octaveChanged(std::string_view octaveText);

  QTimer* Zeit1() const { return Zeit1_; }
  QLabel* TextSeq() const { return TextSeq_; }
  SequencerDialog* settings() const;
  const std::array<NoteKey*, 5>& keys() const { return keys_; }

 private:
  void apply(const SeqOutput& out);
  void setTimerEnabled(bool enabled);
  void setTimerInterval(int ms);

  AppContext& ctx_;
  Sequencer sequencer_;
  QWidget* window_;
  QAction* startCommand_;
  QLabel* TextSeq_;
  QTimer* Zeit1_;
  std::array<NoteKey*, 5> keys_{};
  QPointer<SequencerDialog> settings_;
  // The timer as the sequencer sees it: enabled or not, and its interval. Interval 0 halts
  // the ticks while it stays enabled (a QTimer of interval 0 would fire without pause).
  bool timerEnabled_ = false;
  int timerInterval_ = 1000;
};

// Builds the playing controls of the main window; called once from its constructor.
PlayControls* installPlayControls(AppContext& ctx, QWidget* panel, QAction* startCommand, QWidget* window);

}  // namespace rotavox
