#pragma once

#include <string>
#include <string_view>

#include "core/editor/ValueControls.h"

namespace rotavox {

// The smallest and largest position a slider or check box can hold.
struct PositionRange {
  int min = 0;
  int max = 0;
  bool holds(int value) const { return value >= min && value <= max; }
};

// The main window's value controls as the sound file sees them, by row. Texts are UTF-8.
class SoundControls {
 public:
  virtual ~SoundControls() = default;

  // What a control shows: a number field's or selector's text, a slider's position or a mute
  // box's state (0 not ticked, 1 ticked) in decimal.
  virtual std::string shown(ValueControl control) const = 0;
  // Sets a control as an edit by the user does: its change handling runs, and sends, before
  // the write returns. A slider or mute box is given a decimal number within its range.
  virtual void write(ValueControl control, std::string_view value) = 0;

  // Told once a load from `path` has put values into the controls: all of the file's, or
  // (complete false) those before the line it stopped at.
  virtual void soundLoaded(std::string_view path, bool complete) {
    (void)path;
    (void)complete;
  }
  // Told once the controls' values were saved to `path`.
  virtual void soundSaved(std::string_view path) { (void)path; }
};

}  // namespace rotavox
