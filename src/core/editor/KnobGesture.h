#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/editor/KnobDrag.h"

namespace rotavox {

// The rotary knob's gesture: circling about the knob turns its number field one step per
// mouse-move event. Clockwise (up on the left half, down on the right half) raises the value,
// counter-clockwise lowers it. Every knob of every window is served by these functions; the
// widget only hands over its width, the pointer position and its field's value.

// The bounds a knob keeps its field within.
struct KnobBounds {
  int lower = 0;
  int upper = 127;
};

// A pointer position as the knob remembers it: taken to the nearest whole number (halves to
// the even neighbour) and held within the 16-bit range, so a pointer far outside the window
// cannot overflow the remembered position.
std::int16_t knobPosition(double y);

// Button down on any knob: the drag is on and the window's last position is the pointer's.
void knobPress(KnobDrag& drag, std::int16_t& lastY, double y);

// One mouse-move event. `value` is the field's number (none when its text is not a number).
// Returns the new value to write into the field, or none when nothing is to be written.
// `lastY` follows the pointer while the drag is on, also at a bound and when the field holds
// no number, so reversing the motion steps back at once.
std::optional<double> knobMove(const KnobDrag& drag, std::int16_t& lastY, double width, double x, double y,
                               KnobBounds bounds, std::optional<double> value);

// Button up on any knob: the drag is over.
void knobRelease(KnobDrag& drag);

// One step up (direction > 0) or down (direction < 0) from `value`, as a wheel notch or an
// arrow key makes it; the bound is tested on the value before the step, so a value already
// outside the bounds is never pushed further out. None when no step is made.
std::optional<double> knobNudge(std::optional<double> value, int direction, KnobBounds bounds);

// The value a knob set at once (by an assistive tool) writes: the nearest whole number (halves
// to the even neighbour) within the bounds. None for a request that is no number.
std::optional<double> knobTarget(double requested, KnobBounds bounds);

// The field's number as the knob writes it back: its shortest decimal text ("64", "-1", "64.5").
std::string knobValueText(double value);

}  // namespace rotavox
