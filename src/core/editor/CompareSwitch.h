#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/editor/ValueControls.h"

namespace rotavox {

// Compare with the reference: the sound most recently loaded, saved or set by the init sound.
// Checked, the panel shows the reference; unchecked, the edit again. Any change to the sound
// while it is checked ends the comparison.
class CompareSwitch {
 public:
  void setReference(const SoundState& sound) { reference_ = sound; }
  bool available() const { return reference_.has_value(); }
  bool comparing() const { return comparing_; }

  // Checks or unchecks it: the sound the panel is to show now, the reference or `edit`. None
  // while there is no reference (nothing changes).
  std::optional<SoundState> toggle(const SoundState& edit);
  // The sound was changed while compared: the comparison is over, nothing is shown again.
  void end() { comparing_ = false; }

 private:
  std::optional<SoundState> reference_;
  bool comparing_ = false;
};

// The main window's title while comparing ends in " [compare]".
std::string comparedTitle(std::string_view title, bool comparing);

}  // namespace rotavox
