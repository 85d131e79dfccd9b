#pragma once

#include <optional>

#include "ui/editor/PanelRow.h"

class QScrollBar;

namespace rotavox {

// A semitone, detune or filter balance field with its mirror slider: the field sends its
// number plus 64; the slider writes its position into the field. A filter balance's slider
// follows its field; the others keep their place until they are moved themselves.
class OffsetFieldRow : public FieldRow {
 public:
  OffsetFieldRow(const Parameter& p, const RowContext& ctx);

  // The instrument's value moves the mirror slider too: it shows what the instrument plays.
  void showReceived(std::string_view content) override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void fieldChanged();
  void sliderMoved();
  void startTextShown() override { checked_->mark(false); }

  QScrollBar* slider_ = nullptr;
  std::optional<CheckedField> checked_;
};

}  // namespace rotavox
