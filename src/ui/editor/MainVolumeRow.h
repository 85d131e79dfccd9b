#pragma once

#include "ui/editor/PanelRow.h"

class QSlider;

namespace rotavox {

// The main volume: a field and a slider. The field moves the slider; the slider writes its
// position back into the field and sends it. What goes out has always passed the slider.
class MainVolumeRow : public FieldRow {
 public:
  MainVolumeRow(const Parameter& p, const RowContext& ctx);

  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void RollVolume_Change();
  void TextVolume_Change();
  void startTextShown() override;

  QSlider* RollVolume = nullptr;
};

}  // namespace rotavox
