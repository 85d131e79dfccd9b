#include "ui/editor/VolumeRow.h"

#include <QCheckBox>
#include <QSlider>

#include "core/common/Readings.h"
#include "core/editor/ReceivedValue.h"

namespace rotavox {

namespace {
const QColor kUnmuted(0, 192, 0);
const QColor kMuted(255, 0, 0);
const char* const kMuteTip = "This mutes/unmutes the OSC!";
}  // namespace

VolumeRow::VolumeRow(const Parameter& p, const RowContext& ctx) : PanelRow(p, ctx) {
  slider_ = new QSlider(Qt::Vertical, ctx.box);
  slider_->setObjectName(qs(p.control));
  slider_->setRange(p.low, p.high);  // 0 at the bottom, 127 at the top
  slider_->setSingleStep(1);
  slider_->setPageStep(8);
  slider_->setTracking(false);
  slider_->setGeometry(at(2, 0, 22, 70));
  mute_ = new QCheckBox(ctx.box);
  mute_->setObjectName(qs(p.companion));
  mute_->setToolTip(kMuteTip);
  // The whole box is filled with the colour of its state.
  mute_->setBackgroundRole(QPalette::Window);
  mute_->setAutoFillBackground(true);
  colourMuteBox(false);
  mute_->setGeometry(at(0, 72, 24, 20));
  slider_->setAccessibleName(spokenGroup() + " volume");
  mute_->setAccessibleName(spokenGroup() + " mute");
  connect(slider_, &QAbstractSlider::valueChanged, this, &VolumeRow::sliderMoved);
  connect(mute_, &QCheckBox::toggled, this, &VolumeRow::muteClicked);
}

// Moving the slider sends its position and unmutes the oscillator; a ticked box sends the
// position once more when it is unticked.
void VolumeRow::sliderMoved() {
  changing({p_.id}, EditInput::Single, [this] {
    ctx_.host.send(p_, slider_->value());
    mute_->setChecked(false);
  });
}

void VolumeRow::muteClicked() {
  changing(muteBoxOf(p_.id), EditInput::Single, [this] {
    const bool muted = mute_->isChecked();
    colourMuteBox(muted);
    ctx_.host.send(p_, oscVolumeByte(slider_->value(), muted));
  });
}

void VolumeRow::colourMuteBox(bool muted) {
  QPalette pal = mute_->palette();
  pal.setColor(QPalette::Window, muted ? kMuted : kUnmuted);
  mute_->setPalette(pal);
}

void VolumeRow::write(ValueControl control, std::string_view value) {
  if (control.muteBox) {
    mute_->setChecked(value != "0");
  } else if (const auto position = wholeReading(value)) {
    slider_->setValue(static_cast<int>(*position));
  }
}

std::string VolumeRow::shown(ValueControl control) const {
  if (control.muteBox) return mute_->isChecked() ? "1" : "0";
  return numberText(slider_->value());
}

// Writing the slider and then the box, as an edit would, lets the slider's own handling send
// its level and untick the box before the box is ticked again: a muted oscillator would sound
// for a moment.
void VolumeRow::putBack(const SoundState& target) {
  const auto position = wholeReading(target[valueIndex({p_.id})]);
  if (!position) return;
  const bool muted = target[valueIndex(muteBoxOf(p_.id))] != "0";
  const int heard = oscVolumeByte(slider_->value(), mute_->isChecked());
  {
    const QSignalBlocker quietSlider(slider_);
    const QSignalBlocker quietBox(mute_);
    slider_->setValue(static_cast<int>(*position));
    mute_->setChecked(muted);
  }
  colourMuteBox(muted);
  if (const int now = oscVolumeByte(slider_->value(), muted); now != heard) ctx_.host.send(p_, now);
}

void VolumeRow::showReceived(std::string_view content) {
  const auto position = wholeReading(content);
  if (!position) return;
  const QSignalBlocker quietSlider(slider_);
  const QSignalBlocker quietBox(mute_);
  slider_->setValue(static_cast<int>(*position));
  if (receivedVolumeUnmutes(static_cast<int>(*position)) && mute_->isChecked()) {
    mute_->setChecked(false);
    colourMuteBox(false);
  }
}

void VolumeRow::addToTabChain(QList<QWidget*>& chain) const { chain << slider_ << mute_; }

}  // namespace rotavox
