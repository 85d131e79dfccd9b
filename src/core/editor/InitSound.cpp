#include "core/editor/InitSound.h"

#include "core/editor/SelectorItems.h"

namespace rotavox {

bool initNeedsConfirmation(std::string_view volumeText) { return volumeText != kNoValueText; }

}  // namespace rotavox
