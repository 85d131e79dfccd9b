#pragma once

#include "ui/editor/PanelRow.h"

namespace rotavox {

class KnobWidget;

// A cell of a number field turned by a knob: the label on top, the knob, the field below.
// A knob's step is a write of the field like any other, through the panel.
class KnobCellRow : public PanelRow {
 public:
  KnobCellRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 protected:
  // The field's change handling.
  virtual void fieldChanged() = 0;
  // What else a start text puts back beside the field.
  virtual void startTextShown() {}

  QLineEdit* field_ = nullptr;
  KnobWidget* knob_ = nullptr;
};

}  // namespace rotavox
