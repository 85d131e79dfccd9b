#include "ui/editor/EditorPanel.h"

#include "ui/common/Twips.h"

namespace rotavox {

EditorPanel::EditorPanel(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("EditorPanel");
  setFixedSize(twips(kWidthTwips), twips(kHeightTwips));
}

}  // namespace rotavox
