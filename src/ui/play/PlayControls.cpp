#include "ui/play/PlayControls.h"

#include <QAction>
#include <QLabel>
#include <QTimer>

#include "ui/common/ShowOrRaise.h"
#include "ui/common/Twips.h"
#include "ui/play/NoteKey.h"
#include "ui/play/SequencerDialog.h"

namespace rotavox {

namespace {

struct KeyRow {
  const char* name;
  const char* accessibleName;
  int left;  // twips
  int note;
};

// The five keys play C in five octaves, side by side in one row.
constexpr KeyRow kKeys[] = {
    {"NoteC1", "Note C1", 8760, 36},
    {"NoteC2", "Note C2", 9150, 48},
    {"NoteC3", "Note C3", 9540, 60},
    {"NoteC4", "Note C4", 9930, 72},
    {"NoteC5", "Note C5", 10320, 84},
};
static_assert(std::size(kKeys) == 5);

constexpr int kKeyTop = 5805;
constexpr int kKeyWidth = 375;
constexpr int kKeyHeight = 975;

}  // namespace

PlayControls::PlayControls(AppContext& ctx, QWidget* panel, QAction* startCommand, QWidget* window)
    : QObject(window), ctx_(ctx), sequencer_(ctx.sequencer), window_(window), startCommand_(startCommand) {
  setObjectName("PlayControls");
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    auto* key = new NoteKey(ctx_.midi, kKeys[i].note, panel);
    key->setObjectName(kKeys[i].name);
    key->setAccessibleName(kKeys[i].accessibleName);
    key->setGeometry(twipRect(kKeys[i].left, kKeyTop, kKeyWidth, kKeyHeight));
    keys_[i] = key;
  }

  TextSeq_ = new QLabel(panel);
  TextSeq_->setObjectName("TextSeq");
  TextSeq_->setGeometry(twipRect(9150, 6840, 1185, 270));
  TextSeq_->setAccessibleName("Sequencer step");

  Zeit1_ = new QTimer(window);
  Zeit1_->setObjectName("Zeit1");
  Zeit1_->setTimerType(Qt::PreciseTimer);
  Zeit1_->setInterval(timerInterval_);
  connect(Zeit1_, &QTimer::timeout, this, &PlayControls::Zeit1_Timer);

  if (startCommand_) startCommand_->setCheckable(true);
}

void PlayControls::apply(const SeqOutput& out) {
  for (const SeqNote& n : out.notes) ctx_.midi.SendNoteOn(n.note, n.velocity);
  if (out.allNotesOff) {
    // Straight to the output, not through the Control Change path; nothing is checked.
    if (const auto message = allNotesOffMessage(ctx_.midi.state().MidiChannel)) ctx_.midi.sendRaw(*message);
  }
  if (out.label) TextSeq_->setText(QString::fromStdString(*out.label));
}

void PlayControls::setTimerEnabled(bool enabled) {
  timerEnabled_ = enabled;
  if (seqTicks(timerEnabled_, timerInterval_)) {
    if (!Zeit1_->isActive()) Zeit1_->start();
  } else {
    Zeit1_->stop();
  }
}

void PlayControls::setTimerInterval(int ms) {
  timerInterval_ = ms;
  Zeit1_->setInterval(ms);  // restarts a running timer, so the new length counts from now
  setTimerEnabled(timerEnabled_);
}

void PlayControls::Menu_StartSequenzer_Click() {
  if (ctx_.sequencer.SeqRunning) {
    setTimerEnabled(false);
    apply(sequencer_.stop());
    if (startCommand_) {
      startCommand_->setText("Start &Sequenzer");
      startCommand_->setChecked(false);
    }
    return;
  }
  apply(sequencer_.start());
  if (startCommand_) {
    startCommand_->setText("Stop &Sequenzer");
    startCommand_->setChecked(true);
  }
  setTimerEnabled(true);
}

void PlayControls::Zeit1_Timer() { apply(sequencer_.step()); }

void PlayControls::speedChanged(std::string_view speedText) {
  if (const auto ms = seqInterval(speedText)) setTimerInterval(*ms);
}

void PlayControls::octaveChanged(std::string_view octaveText) { apply(sequencer_.changeOctave(octaveText)); }

SequencerDialog* PlayControls::settings() const { return settings_; }

void PlayControls::showSettings() {
  showOrRaise(settings_, [this] { return new SequencerDialog(ctx_, *this, window_); });
}

PlayControls* installPlayControls(AppContext& ctx, QWidget* panel, QAction* startCommand, QWidget* window) {
  return new PlayControls(ctx, panel, startCommand, window);
}

}  // namespace rotavox
