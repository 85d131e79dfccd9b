#pragma once

#include "ui/editor/KnobCellRow.h"

namespace rotavox {

// A number field turned by a knob (cutoff, resonance ... pulse width): it sends its number as
// shown, and nothing while its text is no value.
class KnobFieldRow : public KnobCellRow {
 public:
  KnobFieldRow(const Parameter& p, const RowContext& ctx);

 private:
  void fieldChanged() override;
  void startTextShown() override { checked_.mark(false); }

  CheckedField checked_;
};

}  // namespace rotavox
