#include "core/editor/CompareSwitch.h"

namespace rotavox {

std::optional<SoundState> CompareSwitch::toggle(const SoundState& edit) {
  if (!reference_) return std::nullopt;
  comparing_ = !comparing_;
  return comparing_ ? *reference_ : edit;
}

std::string comparedTitle(std::string_view title, bool comparing) {
  return std::string(title) + (comparing ? " [compare]" : "");
}

}  // namespace rotavox
