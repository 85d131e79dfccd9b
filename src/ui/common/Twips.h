#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>
#include <utility>

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

// A child control of type W under its object name, at its place; args go to W's
// constructor before the parent ("Close" for a button, nothing for a list).
template <typename W, typename... Args>
W* placed(QWidget* parent, const char* name, const QRect& where, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(QString::fromLatin1(name));
  w->setGeometry(where);
  return w;
}

}  // namespace rotavox
