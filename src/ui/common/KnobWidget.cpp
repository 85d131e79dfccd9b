#include "ui/common/KnobWidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/common/Readings.h"
#include "ui/common/AccessibleFactory.h"

namespace rotavox {

namespace {
// One notch of an ordinary mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;
// The pointer sweeps 270 degrees, from lower left (lowest) over the top to lower right.
constexpr double kSweepDegrees = 270.0;

// What screen readers see of a knob: a dial with the field's number as its value (the lower
// bound while the field holds none) and the knob's bounds; its text value is the field's text.
class KnobAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit KnobAccessible(KnobWidget* knob) : QAccessibleWidget(knob, QAccessible::Dial) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value && knob()->field()) return knob()->field()->text();
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return knob()->fieldValue().value_or(knob()->bounds().lower); }
  void setCurrentValue(const QVariant& value) override {
    bool number = false;
    const double requested = value.toDouble(&number);
    if (number) knob()->turnTo(requested);
  }
  QVariant maximumValue() const override { return knob()->bounds().upper; }
  QVariant minimumValue() const override { return knob()->bounds().lower; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  KnobWidget* knob() const { return static_cast<KnobWidget*>(widget()); }
};

}  // namespace

KnobWidget::KnobWidget(QLineEdit* field, int lower, int upper, KnobDrag& drag, std::int16_t& windowLastY,
                       QWidget* parent)
    : QWidget(parent), field_(field), bounds_{lower, upper}, drag_(drag), lastY_(windowLastY) {
  installAccessible<KnobWidget, KnobAccessible>();
  resize(kWidth, kHeight);
  setFocusPolicy(Qt::StrongFocus);
  if (field_) {
    setAccessibleName(field_->accessibleName());
    connect(field_, &QLineEdit::textChanged, this, [this] {
      update();
      announce();
    });
  }
}

std::optional<double> KnobWidget::fieldValue() const {
  if (!field_) return std::nullopt;
  return strictReading(field_->text().toStdString());
}

void KnobWidget::turnTo(double requested) {
  // Whatever gesture was under way ends first, so the write is an undo step of its own.
  emit released();
  write(knobTarget(requested, bounds_));
  emit released();
}

void KnobWidget::announce() {
  QAccessibleValueChangeEvent event(this, fieldValue().value_or(bounds_.lower));
  QAccessible::updateAccessibility(&event);
}

void KnobWidget::write(std::optional<double> value) {
  if (!value || !field_) return;
  const QString text = QString::fromStdString(knobValueText(*value));
  if (writer_)
    writer_(text);
  else
    field_->setText(text);
}

void KnobWidget::mousePressEvent(QMouseEvent* event) {
  knobPress(drag_, lastY_, event->position().y());
  event->accept();
}

void KnobWidget::mouseMoveEvent(QMouseEvent* event) {
  // Qt grabs the mouse for the widget that got the press, so the moves keep coming here
  // while the pointer is outside the picture; the button state is not consulted.
  const QPointF p = event->position();
  write(knobMove(drag_, lastY_, width(), p.x(), p.y(), bounds_, fieldValue()));
  event->accept();
}

void KnobWidget::mouseReleaseEvent(QMouseEvent* event) {
  knobRelease(drag_);
  event->accept();
  emit released();
}

void KnobWidget::wheelEvent(QWheelEvent* event) {
  wheelRest_ += event->angleDelta().y();
  const int notches = wheelRest_ / kWheelNotch;
  wheelRest_ -= notches * kWheelNotch;
  for (int i = 0; i < std::abs(notches); ++i) write(knobNudge(fieldValue(), notches > 0 ? 1 : -1, bounds_));
  event->accept();
}

void KnobWidget::keyPressEvent(QKeyEvent* event) {
  int direction = 0;
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
      direction = 1;
      break;
    case Qt::Key_Down:
    case Qt::Key_Left:
      direction = -1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  write(knobNudge(fieldValue(), direction, bounds_));
  event->accept();
}

void KnobWidget::showEvent(QShowEvent* event) {
  // Whoever builds the knob may name its field only after creating the knob.
  if (accessibleName().isEmpty() && field_) setAccessibleName(field_->accessibleName());
  QWidget::showEvent(event);
}

void KnobWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();

  const double side = std::min(width(), height());
  const double margin = std::max(1.5, side * 0.08);
  const double radius = side / 2.0 - margin;
  const QPointF centre(width() / 2.0, height() / 2.0);

  // The scale: a thin arc over the sweep, behind the body.
  const double arcRadius = radius + margin * 0.5;
  QRectF arcRect(centre.x() - arcRadius, centre.y() - arcRadius, 2 * arcRadius, 2 * arcRadius);
  p.setPen(QPen(pal.color(QPalette::Mid), std::max(1.0, margin * 0.6), Qt::SolidLine, Qt::FlatCap));
  p.drawArc(arcRect, static_cast<int>((225.0 - kSweepDegrees) * 16), static_cast<int>(kSweepDegrees * 16));

  // The body: a disc with a soft light from the upper left.
  const double bodyRadius = radius * 0.82;
  QRadialGradient shade(centre - QPointF(bodyRadius * 0.35, bodyRadius * 0.35), bodyRadius * 1.6);
  shade.setColorAt(0.0, pal.color(QPalette::Light));
  shade.setColorAt(1.0, pal.color(QPalette::Button));
  p.setBrush(shade);
  p.setPen(QPen(pal.color(isEnabled() ? QPalette::Dark : QPalette::Mid), std::max(1.0, side / 40.0)));
  p.drawEllipse(centre, bodyRadius, bodyRadius);

  if (hasFocus()) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(pal.color(QPalette::Highlight), std::max(1.0, side / 30.0)));
    p.drawEllipse(centre, bodyRadius + margin * 0.25, bodyRadius + margin * 0.25);
  }

  // The pointer, turned to show the field's value; a field without a number shows none.
  const std::optional<double> value = fieldValue();
  if (!value || bounds_.upper <= bounds_.lower) return;
  const double share =
      std::clamp((*value - bounds_.lower) / static_cast<double>(bounds_.upper - bounds_.lower), 0.0, 1.0);
  const double degrees = 225.0 - share * kSweepDegrees;  // counter-clockwise from the x axis
  const double rad = degrees * std::numbers::pi / 180.0;
  const QPointF direction(std::cos(rad), -std::sin(rad));
  // The part of the scale up to the value, in the accent colour.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(pal.color(QPalette::Highlight), std::max(1.0, margin * 0.6), Qt::SolidLine, Qt::FlatCap));
  p.drawArc(arcRect, static_cast<int>(225.0 * 16), -static_cast<int>(share * kSweepDegrees * 16));
  p.setPen(QPen(pal.color(QPalette::ButtonText), std::max(1.5, side / 16.0), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + direction * (bodyRadius * 0.25), centre + direction * (bodyRadius * 0.85));
}

}  // namespace rotavox
