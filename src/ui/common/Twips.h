#pragma once

#include <QRect>
#include <cmath>

namespace rotavox {

// Positions on the panel are kept in twips (1440 to the inch, 15 to a pixel at 96 dpi), so
// the graphs and the layout share one unit; Qt's device-independent pixels scale them to
// any screen.
inline constexpr double kTwipsPerPixel = 15.0;

inline int twips(double t) { return static_cast<int>(std::lround(t / kTwipsPerPixel)); }
inline double pixelsToTwips(double px) { return px * kTwipsPerPixel; }
inline QRect twipRect(int left, int top, int width, int height) {
  return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace rotavox
