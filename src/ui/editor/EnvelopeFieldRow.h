#pragma once

#include "ui/editor/KnobCellRow.h"

namespace rotavox {

// An envelope field with its knob: an empty or zero text becomes "0", a number beyond 0..127
// is replaced by the value of the envelope field clicked last, the stage's line moves and the
// value is sent. A click into the field with the mouse remembers its value.
class EnvelopeFieldRow : public KnobCellRow {
 public:
  EnvelopeFieldRow(const Parameter& p, const RowContext& ctx);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fieldChanged() override;
};

}  // namespace rotavox
