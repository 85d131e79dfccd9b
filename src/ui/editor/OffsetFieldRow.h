#pragma once

#include <optional>

#include "ui/editor/PanelRow.h"

class QScrollBar;

namespace rotavox {

// A semitone, detune or filter balance field with its mirror slider: the field sends its
// number plus 64; the slider writes its position into the field. A filter balance's slider
// follows its field; the others keep their place until they are moved themselves.
class OffsetFieldRow : public PanelRow {
 public:
  OffsetFieldRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;
  // The instrument's value moves the mirror slider too: it shows what the instrument plays.
  void showReceived(std::string_view content) override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void fieldChanged();
  void sliderMoved();

  QLineEdit* field_ = nullptr;
  QScrollBar* slider_ = nullptr;
  std::optional<CheckedField> checked_;
};

}  // namespace rotavox
