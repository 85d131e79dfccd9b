#include "ui/editor/MainVolumeRow.h"

#include <QLineEdit>
#include <QSlider>

#include "core/editor/SelectorItems.h"

namespace rotavox {

MainVolumeRow::MainVolumeRow(const Parameter& p, const RowContext& ctx) : FieldRow(p, ctx) {
  makeLabel(at(0, 0, 70, kFieldH), Qt::AlignLeft);
  field_ = makeField(ctx.box, at(0, 22, 48, 22));
  RollVolume = new QSlider(Qt::Vertical, ctx.box);
  RollVolume->setObjectName(qs(p.companion));
  RollVolume->setRange(p.low, p.high);
  RollVolume->setSingleStep(1);
  RollVolume->setPageStep(8);
  RollVolume->setTracking(false);
  RollVolume->setTickPosition(QSlider::TicksRight);
  RollVolume->setTickInterval(16);
  RollVolume->setGeometry(at(90, -32, 30, 108));
  field_->setAccessibleName(qs(parameterTitle(p)));
  RollVolume->setAccessibleName(qs(parameterTitle(p)) + " slider");
  connect(field_, &QLineEdit::textChanged, this, &MainVolumeRow::TextVolume_Change);
  connect(RollVolume, &QAbstractSlider::valueChanged, this, &MainVolumeRow::RollVolume_Change);
  endsGestureOnLeaving(field_);
}

// The main volume goes out from the slider only.
void MainVolumeRow::RollVolume_Change() {
  changing({p_.id}, EditInput::Single, [this] {
    ctx_.mainVolume = static_cast<std::int16_t>(RollVolume->value());
    field_->setText(QString::number(ctx_.mainVolume));
    ctx_.host.send(p_, ctx_.mainVolume);
  });
}

// The field moves the slider: a number beyond 127 either way puts the field back to "0"; the
// sign is dropped and the number rounded. The slider writes its whole number back.
void MainVolumeRow::TextVolume_Change() {
  changing({p_.id}, EditInput::Typing, [this] {
    if (mainVolumeOverflows(field_->text().toStdString())) field_->setText("0");
    RollVolume->setValue(mainVolumePosition(field_->text().toStdString()));
  });
}

void MainVolumeRow::startTextShown() {
  const QSignalBlocker quiet(RollVolume);
  RollVolume->setValue(0);
  ctx_.mainVolume = 0;
}

void MainVolumeRow::addToTabChain(QList<QWidget*>& chain) const { chain << field_ << RollVolume; }

}  // namespace rotavox
