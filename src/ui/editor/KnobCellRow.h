#pragma once

#include "ui/editor/PanelRow.h"

namespace rotavox {

class KnobWidget;

// A cell of a number field turned by a knob: the label on top, the knob, the field below.
// A knob's step is a write of the field like any other, through the panel.
class KnobCellRow : public FieldRow {
 public:
  KnobCellRow(const Parameter& p, const RowContext& ctx);

  void showStartText() override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 protected:
  // The field's change handling.
  virtual void fieldChanged() = 0;
  KnobWidget* knob_ = nullptr;
};

}  // namespace rotavox
