#pragma once

#include "ui/editor/PanelRow.h"

class QSlider;

namespace rotavox {

// The main volume: a field and a slider. The field moves the slider; the slider writes its
// position back into the field and sends it. What goes out has always passed the slider.
class MainVolumeRow : public PanelRow {
 public:
  MainVolumeRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void RollVolume_Change();
  void TextVolume_Change();

  QLineEdit* field_ = nullptr;
  QSlider* RollVolume = nullptr;
};

}  // namespace rotavox
