#include "ui/editor/KnobFieldRow.h"

namespace rotavox {

KnobFieldRow::KnobFieldRow(const Parameter& p, const RowContext& ctx) : KnobCellRow(p, ctx), checked_(field_, p) {}

// The number as shown.
void KnobFieldRow::fieldChanged() {
  changing({p_.id}, EditInput::Typing, [this] {
    const FieldReading r = checked_.read();
    if (r.state == FieldState::Valid) ctx_.host.send(p_, r.byte);
  });
}

}  // namespace rotavox
