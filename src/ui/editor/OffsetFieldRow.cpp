#include "ui/editor/OffsetFieldRow.h"

#include <QLineEdit>
#include <QScrollBar>

#include "core/editor/SelectorItems.h"

namespace rotavox {

namespace {
const char* const kBalanceTip = "Filter balance (-64 routes OSC to F1, +64 routes OSC to F2)";
}  // namespace

OffsetFieldRow::OffsetFieldRow(const Parameter& p, const RowContext& ctx) : FieldRow(p, ctx) {
  makeLabel(at(0, 0, 46, kFieldH), Qt::AlignLeft);
  field_ = makeField(ctx.box, at(48, 0, kFieldW, kFieldH));
  checked_.emplace(field_, p);
  slider_ = new QScrollBar(Qt::Horizontal, ctx.box);
  slider_->setObjectName(qs(p.companion));
  slider_->setRange(p.low, p.high);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setValue(0);
  // One message per move: a thumb drag counts when it is let go.
  slider_->setTracking(false);
  slider_->setFocusPolicy(Qt::StrongFocus);  // the arrow keys step it, one message a step
  slider_->setGeometry(at(92, 2, 154, 16));
  if (p.kind == ParamKind::Balance) {
    field_->setToolTip(kBalanceTip);
    slider_->setToolTip(kBalanceTip);
  }
  field_->setAccessibleName(accessibleName());
  slider_->setAccessibleName(accessibleName() + " slider");
  connect(field_, &QLineEdit::textChanged, this, &OffsetFieldRow::fieldChanged);
  connect(slider_, &QAbstractSlider::valueChanged, this, &OffsetFieldRow::sliderMoved);
  endsGestureOnLeaving(field_);
}

// The number plus 64. A filter balance's slider follows, which runs nothing more when it
// stands there already.
void OffsetFieldRow::fieldChanged() {
  changing({p_.id}, EditInput::Typing, [this] {
    const FieldReading r = checked_->read();
    if (r.state != FieldState::Valid) return;
    ctx_.host.send(p_, r.byte);
    if (p_.kind == ParamKind::Balance) slider_->setValue(r.shown);
  });
}

// The slider writes its position into the field; the field's handling sends.
void OffsetFieldRow::sliderMoved() {
  changing({p_.id}, EditInput::Single, [this] { field_->setText(QString::number(slider_->value())); });
}

void OffsetFieldRow::showReceived(std::string_view content) {
  write({p_.id}, content);
  const FieldReading r = readField(p_, content);
  if (r.state != FieldState::Valid) return;
  const QSignalBlocker quiet(slider_);
  slider_->setValue(r.shown);
}

void OffsetFieldRow::addToTabChain(QList<QWidget*>& chain) const { chain << field_ << slider_; }

}  // namespace rotavox
