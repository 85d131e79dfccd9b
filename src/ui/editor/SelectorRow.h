#pragma once

#include "ui/editor/PanelRow.h"

class QComboBox;
class QPushButton;

namespace rotavox {

// An octave, shape or filter type selector: an editable drop-down box whose text is the
// value. Every change of the text sends the number of the item it names; a text that names
// none is answered with a box and sends nothing. A filter type has its filter's "Reset to
// standard" button beside it.
class SelectorRow : public PanelRow {
 public:
  SelectorRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void textChanged();

  QComboBox* combo_ = nullptr;
  QPushButton* reset_ = nullptr;
};

}  // namespace rotavox
