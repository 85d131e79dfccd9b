#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rotavox {

// The smallest and largest position a slider or check box can hold.
struct PositionRange {
  int min = 0;
  int max = 0;
  bool holds(int value) const { return value >= min && value <= max; }
};

// The main window's value controls as the sound file sees them, found by object name.
// Texts are UTF-8. A set runs the control's change handling before it returns, as an edit by
// the user does, so the instrument follows.
class SoundControls {
 public:
  virtual ~SoundControls() = default;

  // Shown text of a number field or selector; nullopt when there is no such control.
  virtual std::optional<std::string> text(std::string_view name) const = 0;
  // False when there is no such control.
  virtual bool setText(std::string_view name, std::string_view text) = 0;

  // Position of a slider, or state of a check box (0 not ticked, 1 ticked).
  virtual std::optional<int> position(std::string_view name) const = 0;
  virtual std::optional<PositionRange> positionRange(std::string_view name) const = 0;
  // The value must lie in positionRange(); false when there is no such control.
  virtual bool setPosition(std::string_view name, int value) = 0;
};

}  // namespace rotavox
