#pragma once

#include <QColor>
#include <QObject>

#include "core/editor/Envelope.h"

namespace rotavox {

// One line of an envelope graph, an object of the window named as the line ("LinieEnv1T1").
// Its end points are in twips of the panel; the panel draws it scaled to the screen.
class EnvelopeLine : public QObject {
  Q_OBJECT
  Q_PROPERTY(float x1 READ x1 WRITE setX1 NOTIFY changed)
  Q_PROPERTY(float y1 READ y1 WRITE setY1 NOTIFY changed)
  Q_PROPERTY(float x2 READ x2 WRITE setX2 NOTIFY changed)
  Q_PROPERTY(float y2 READ y2 WRITE setY2 NOTIFY changed)
  Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
 public:
  EnvelopeLine(const LineDesign& design, QObject* parent);

  float x1() const { return ends_.x1; }
  float y1() const { return ends_.y1; }
  float x2() const { return ends_.x2; }
  float y2() const { return ends_.y2; }
  QColor color() const { return color_; }
  const LineEnds& ends() const { return ends_; }

  void setX1(float v) { set(&LineEnds::x1, v); }
  void setY1(float v) { set(&LineEnds::y1, v); }
  void setX2(float v) { set(&LineEnds::x2, v); }
  void setY2(float v) { set(&LineEnds::y2, v); }
  void setEnds(const LineEnds& ends);
  void setColor(const QColor& c);

 signals:
  void changed();

 private:
  void set(float LineEnds::*member, float v);

  LineEnds ends_;
  QColor color_;
};

}  // namespace rotavox
