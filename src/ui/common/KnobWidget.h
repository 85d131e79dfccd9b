#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "core/editor/KnobDrag.h"
#include "core/editor/KnobGesture.h"

namespace rotavox {

// A rotary knob that turns its number field: dragging in circles about it, the mouse wheel
// and the arrow keys step the field by one within the knob's bounds. The knob holds no value
// of its own; every step is an ordinary write of the field's text, so the field's change
// handling sends the value on. It is drawn turned to show the field's value. Screen readers
// see a dial whose value is the field's number, and can set it (turnTo).
class KnobWidget : public QWidget {
  Q_OBJECT
 public:
  // `drag` is the one drag flag shared by all knobs; `windowLastY` is the last pointer
  // position of the window that holds this knob (one for all knobs of a window).
  KnobWidget(QLineEdit* field, int lower, int upper, KnobDrag& drag, std::int16_t& windowLastY, QWidget* parent);

  QLineEdit* field() const { return field_; }
  KnobBounds bounds() const { return bounds_; }
  // The field's number; none while its text is no number ("?").
  std::optional<double> fieldValue() const;

  // Sets the field to `value`, rounded and kept within the bounds, in one write: how an
  // assistive tool turns the knob. It is a gesture of its own, as a drag from press to release.
  void turnTo(double value);

  // Who writes the field's new text for a step: by default the knob sets the field itself; the
  // editor panel, the one writer of its controls, takes the write over.
  using Writer = std::function<void(const QString& text)>;
  void setWriter(Writer writer) { writer_ = std::move(writer); }

  QSize sizeHint() const override { return {kWidth, kHeight}; }
  QSize minimumSizeHint() const override { return {16, 16}; }

  static constexpr int kWidth = 40;
  static constexpr int kHeight = 44;

 signals:
  // A gesture on the knob is over: the mouse button went up after a press, or turnTo() ran.
  void released();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void write(std::optional<double> value);
  // Tells screen readers the value the field shows now.
  void announce();

  QPointer<QLineEdit> field_;
  KnobBounds bounds_;
  KnobDrag& drag_;
  std::int16_t& lastY_;
  Writer writer_;
  int wheelRest_ = 0;  // eighths of a degree not yet making a whole notch
};

}  // namespace rotavox
