#pragma once

#include "ui/editor/PanelRow.h"

namespace rotavox {

class RoutingPicture;

// The filter routing: a hidden field holding "0" (parallel) or "1" (serial), and two pictures
// in one place, of which the one showing the routing in force is visible. A click on it asks
// for the other routing.
class RoutingRow : public FieldRow {
 public:
  RoutingRow(const Parameter& p, const RowContext& ctx);

  void addToTabChain(QList<QWidget*>& chain) const override;

  void ImageParallel_Click();
  void ImageSeriell_Click();

 private:
  void TextFilterParSer_Change();
  void showRouting(bool serial);
  void startTextShown() override { showRouting(false); }

  RoutingPicture* ImageParallel = nullptr;
  RoutingPicture* ImageSeriell = nullptr;
};

}  // namespace rotavox
