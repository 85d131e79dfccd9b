#pragma once

#include "ui/editor/PanelRow.h"

class QCheckBox;
class QSlider;

namespace rotavox {

// An oscillator's volume slider with its mute box. Moving the slider sends its position and
// unmutes; ticking the box sends 0, unticking it the slider's position. The box shows its
// state in colour: green playing, red muted.
class VolumeRow : public PanelRow {
 public:
  VolumeRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override {}
  // The slider and the box take their new state without their handling; what the oscillator
  // sounds at is sent once, when it changes.
  void putBack(const SoundState& target) override;
  // The slider takes the instrument's level without its handling; a level above 0 unmutes,
  // 0 leaves the box as it is.
  void showReceived(std::string_view content) override;
  void addToTabChain(QList<QWidget*>& chain) const override;

 private:
  void sliderMoved();
  void muteClicked();
  void colourMuteBox(bool muted);

  QSlider* slider_ = nullptr;
  QCheckBox* mute_ = nullptr;
};

}  // namespace rotavox
