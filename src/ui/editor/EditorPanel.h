#pragma once

#include <QWidget>

#include "ui/common/AppContext.h"

namespace rotavox {

// The sound editor's panel: every parameter control of the main window with its handlers.
class EditorPanel : public QWidget {
  Q_OBJECT
 public:
  explicit EditorPanel(AppContext& ctx, QWidget* parent = nullptr);

  // The size of the panel in twips; the play area (note keys, step label, buttons) lies in
  // its lower right corner, from x 8600 and y 5700 on.
  static constexpr int kWidthTwips = 12000;
  static constexpr int kHeightTwips = 7400;

 private:
  AppContext& ctx_;
};

}  // namespace rotavox
