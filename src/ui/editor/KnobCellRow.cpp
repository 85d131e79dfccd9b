#include "ui/editor/KnobCellRow.h"

#include <QLineEdit>

#include "core/editor/SelectorItems.h"
#include "ui/common/KnobWidget.h"

namespace rotavox {

namespace {
constexpr int kCellW = 46;
}  // namespace

KnobCellRow::KnobCellRow(const Parameter& p, const RowContext& ctx) : FieldRow(p, ctx) {
  makeLabel(at(0, 0, kCellW, 14), Qt::AlignHCenter);
  field_ = makeField(ctx.box, at((kCellW - kFieldW) / 2, 60, kFieldW, kFieldH));
  knob_ = new KnobWidget(field_, 0, 127, ctx.knobDrag, ctx.knobLastY, ctx.box);
  knob_->setObjectName(qs(p.companion));
  knob_->setGeometry(at((kCellW - KnobWidget::kWidth) / 2, 14, KnobWidget::kWidth, KnobWidget::kHeight));
  knob_->setWriter([this](const QString& text) { ctx_.host.knobStep(p_.id, text); });
  connect(knob_, &KnobWidget::released, this, [this] { ctx_.host.endGesture(); });
  field_->setAccessibleName(accessibleName());
  knob_->setAccessibleName(accessibleName() + " knob");
  connect(field_, &QLineEdit::textChanged, this, [this] { fieldChanged(); });
  endsGestureOnLeaving(field_);
}

void KnobCellRow::showStartText() {
  FieldRow::showStartText();
  knob_->update();
}

// The knob stands above its field.
void KnobCellRow::addToTabChain(QList<QWidget*>& chain) const { chain << knob_ << field_; }

}  // namespace rotavox
