#include "core/editor/KnobGesture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/common/Readings.h"

namespace rotavox {

namespace {
constexpr std::int16_t kDragging = -1;
constexpr std::int16_t kIdle = 0;
}  // namespace

std::int16_t knobPosition(double y) {
  const std::int64_t whole = roundHalfEven(y);
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(whole, std::numeric_limits<std::int16_t>::min(),
                                                            std::numeric_limits<std::int16_t>::max()));
}

void knobPress(KnobDrag& drag, std::int16_t& lastY, double y) {
  drag.KnobDragging = kDragging;
  lastY = knobPosition(y);
}

void knobRelease(KnobDrag& drag) { drag.KnobDragging = kIdle; }

std::optional<double> knobNudge(std::optional<double> value, int direction, KnobBounds bounds) {
  if (!value || direction == 0) return std::nullopt;
  if (direction > 0) {
    if (*value < bounds.upper) return *value + 1;
  } else if (*value > bounds.lower) {
    return *value - 1;
  }
  return std::nullopt;
}

std::optional<double> knobMove(const KnobDrag& drag, std::int16_t& lastY, double width, double x, double y,
                               KnobBounds bounds, std::optional<double> value) {
  if (drag.KnobDragging != kDragging) return std::nullopt;
  // The position is compared as it will be remembered. Compared unrounded, a pointer resting
  // between two pixels (a scaled screen reports halves) would step on every event, and one
  // event could step down and straight back up, sending two messages.
  const std::int16_t now = knobPosition(y);
  if (now == lastY) return std::nullopt;
  const bool movedDown = now > lastY;
  lastY = now;
  const float half = static_cast<float>(width) / 2.0f;
  const bool leftHalf = static_cast<float>(x) <= half;  // the middle column counts as left
  const bool clockwise = leftHalf ? !movedDown : movedDown;
  return knobNudge(value, clockwise ? 1 : -1, bounds);
}

std::optional<double> knobTarget(double requested, KnobBounds bounds) {
  if (std::isnan(requested)) return std::nullopt;
  const double clamped = std::clamp(requested, static_cast<double>(bounds.lower), static_cast<double>(bounds.upper));
  return static_cast<double>(roundHalfEven(clamped));
}

std::string knobValueText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text == "-0") text = "0";
  return text;
}

}  // namespace rotavox
