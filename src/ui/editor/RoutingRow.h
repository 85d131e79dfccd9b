#pragma once

#include "ui/editor/PanelRow.h"

namespace rotavox {

class RoutingPicture;

// The filter routing: a hidden field holding "0" (parallel) or "1" (serial), and two pictures
// in one place, of which the one showing the routing in force is visible. A click on it asks
// for the other routing.
class RoutingRow : public PanelRow {
 public:
  RoutingRow(const Parameter& p, const RowContext& ctx);

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;
  void addToTabChain(QList<QWidget*>& chain) const override;

  void ImageParallel_Click();
  void ImageSeriell_Click();

 private:
  void TextFilterParSer_Change();
  void showRouting(bool serial);

  QLineEdit* field_ = nullptr;
  RoutingPicture* ImageParallel = nullptr;
  RoutingPicture* ImageSeriell = nullptr;
};

}  // namespace rotavox
