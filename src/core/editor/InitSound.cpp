#include "core/editor/InitSound.h"

#include "core/editor/SelectorItems.h"

namespace rotavox {

std::span<const ControlWrite> filterReset(ParamGroup filter) {
  if (filter == ParamGroup::Filter2) return kFilter2Reset;
  return kFilter1Reset;
}

bool initNeedsConfirmation(std::string_view volumeText) { return volumeText != kNoValueText; }

}  // namespace rotavox
