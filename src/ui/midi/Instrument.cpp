#include "ui/midi/Instrument.h"

#include <QAction>
#include <QMenu>
#include <QSocketNotifier>

#include "core/midi/PortCaps.h"
#include "core/monitor/MessageText.h"
#include "platform/midi/ReceiveQueue.h"
#include "ui/common/ShowOrRaise.h"
#include "ui/editor/EditorPanel.h"
#include "ui/midi/FollowWindow.h"
#include "ui/midi/ProgramWindow.h"
#include "ui/monitor/MidiMonitor.h"

namespace rotavox {

Instrument::Instrument(AppContext& ctx, EditorPanel& panel, MidiMonitor& monitor, QMenu* menu, QWidget* window)
    : QObject(window), ctx_(ctx), panel_(panel), monitor_(monitor), window_(window) {
  setObjectName("Instrument");
  QAction* follow = menu->addAction("&Follow the instrument\u2026");
  follow->setObjectName("Menu_Follow");
  connect(follow, &QAction::triggered, this, &Instrument::Menu_Follow_Click);
  QAction* program = menu->addAction("&Program on the instrument\u2026");
  program->setObjectName("Menu_Program");
  connect(program, &QAction::triggered, this, &Instrument::Menu_Program_Click);
  frame_.setSingleShot(true);
  frame_.setTimerType(Qt::PreciseTimer);
  connect(&frame_, &QTimer::timeout, this, &Instrument::showBatch);
}

Instrument::~Instrument() { endFollowing(); }

void Instrument::Menu_Follow_Click() {
  showOrRaise(followWindow_, [this] { return new FollowWindow(*this, ctx_, window_); });
}

void Instrument::Menu_Program_Click() {
  showOrRaise(programWindow_, [this] { return new ProgramWindow(*this, window_); });
}

FollowWindow* Instrument::followWindow() const { return followWindow_; }
ProgramWindow* Instrument::programWindow() const { return programWindow_; }

MidiResult Instrument::follow(int device, const MidiInCaps& caps) {
  stopFollowing();
  const QString name = QString::fromStdString(portNameText(caps.name));
  auto queue = std::make_unique<ReceiveQueue>();
  MidiResult result = kMidiCannotFollow;
  if (queue->valid()) result = ctx_.midi.follow(device, *queue);
  if (result != kMidiOk) {
    ended_ = queue->valid() ? "Could not follow " + name + ": " +
                                  QString::fromStdString(ctx_.midi.service().followErrorText(result))
                            : "Could not follow " + name + ": the system gave no wake-up for the window.";
    emit stateChanged();
    return result;
  }
  queue_ = std::move(queue);
  port_ = {caps.identity, false};
  portName_ = name.toStdString();
  ended_.clear();
  lastMessage_.reset();
  wake_ = new QSocketNotifier(queue_->wakeFd(), QSocketNotifier::Read, this);
  connect(wake_, &QSocketNotifier::activated, this, &Instrument::takeReceived);
  emit stateChanged();
  return kMidiOk;
}

void Instrument::stopFollowing() {
  if (!queue_) return;
  endFollowing();
  port_ = {};
  portName_.clear();
  ended_.clear();
  emit stateChanged();
}

// The service lets go of the queue before the queue and its wake-up go.
void Instrument::endFollowing() {
  ctx_.midi.stopFollowing();
  delete wake_;
  wake_ = nullptr;
  queue_.reset();
}

void Instrument::sourceGone() {
  const QString name = QString::fromStdString(portName_);
  endFollowing();
  port_ = {};
  portName_.clear();
  ended_ = name + " went away: following is off.";
  emit stateChanged();
}

// Every message goes to the monitor; what it means for the panel waits in the batch until the
// next frame, so a flood costs one write per control and one repaint a frame.
void Instrument::takeReceived() {
  if (!queue_) return;
  taken_.clear();
  queue_->take(taken_);
  const int channel = ctx_.midi.state().MidiChannel;
  for (const ReceivedMessage& m : taken_) {
    monitor_.logReceived(m.arrivalNanos, m.message);
    batch_.add(meaningOf(m.message, channel));
  }
  if (!taken_.empty()) {
    lastMessage_ = taken_.back().message;
    stateDirty_ = true;
    scheduleShow();
  }
  if (queue_->gone()) sourceGone();
}

void Instrument::scheduleShow() {
  if (frame_.isActive()) return;
  const std::int64_t delay = receivedShowDelay(sinceShown_.isValid() ? sinceShown_.nsecsElapsed() : kReceivedFrameNanos);
  if (delay == 0) {
    showBatch();
    return;
  }
  frame_.start(static_cast<int>((delay + 999'999) / 1'000'000));
}

void Instrument::showBatch() {
  // A change routine of the panel is still running (its message box waits): next frame.
  if (!panel_.canShowReceived()) {
    frame_.start(static_cast<int>(kReceivedFrameNanos / 1'000'000));
    return;
  }
  sinceShown_.start();
  if (batch_.program()) programPlayed(*batch_.program());
  for (const ReceivedValue& v : batch_.values()) panel_.showReceived(v.row, v.byte);
  batch_.clear();
  if (stateDirty_) {
    stateDirty_ = false;
    emit stateChanged();
  }
}

std::uint64_t Instrument::lostMessages() const { return queue_ ? queue_->lost() : 0; }

QString Instrument::stateText() const {
  QString text;
  if (!following()) {
    text = ended_.isEmpty() ? QString("Not following") : ended_;
  } else if (!lastMessage_) {
    text = "Nothing received yet";
  } else {
    text = QString::fromStdString(messageLine(*lastMessage_));
    const int channel = ctx_.midi.state().MidiChannel;
    const std::uint32_t status = *lastMessage_ & 0xFF;
    if (channel >= 0 && status >= 0x80 && status < 0xF0 && int(status & 0x0F) != channel)
      text += QString("\n(not channel #%1 of Midi settings: nothing to show)").arg(channel + 1);
  }
  if (const std::uint64_t lost = lostMessages())
    text += QString("\n%1 messages came faster than they could be taken; the newest were kept.").arg(lost);
  if (followsThruSource())
    text += "\nThis port is also the MIDI thru's input: the instrument would hear itself. Choose another "
            "input in Midi settings.";
  return text;
}

bool Instrument::followsThruSource() const {
  return following() && !port_.identity.empty() && port_.identity == ctx_.midi.state().inPort.identity;
}

void Instrument::sendProgram(const InstrumentProgram& program) {
  ctx_.midi.SendControlChange(InstrumentProgram::kBankSelectController, program.bank);
  ctx_.midi.SendProgramChange(program.number - 1);
  // What the instrument sent before it changed sound belongs to the sound it left.
  batch_.clear();
  batch_.bankSent(program.bank);
  programPlayed(program);
}

void Instrument::programPlayed(const InstrumentProgram& program) {
  program_ = program;
  panel_.forgetSound("Program " + programText(program));
  emit programChanged();
}

}  // namespace rotavox
