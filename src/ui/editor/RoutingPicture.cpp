#include "ui/editor/RoutingPicture.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/common/AccessibleFactory.h"

namespace rotavox {

namespace {

// A button named by what it sets ("Filter routing"), its value the routing it shows. Qt's
// bridge to Linux screen readers passes on no text value but a description, so that starts
// with the routing too.
class RoutingAccessible : public QAccessibleWidget {
 public:
  explicit RoutingAccessible(RoutingPicture* picture) : QAccessibleWidget(picture, QAccessible::Button) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return picture()->routingText();
    if (t == QAccessible::Description) return picture()->routingText() + "; " + picture()->toolTip();
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
  void doAction(const QString& action) override {
    if (action == pressAction())
      picture()->press();
    else
      QAccessibleWidget::doAction(action);
  }

 private:
  RoutingPicture* picture() const { return static_cast<RoutingPicture*>(widget()); }
};

}  // namespace

RoutingPicture::RoutingPicture(Routing routing, QWidget* parent) : QWidget(parent), routing_(routing) {
  installAccessible<RoutingPicture, RoutingAccessible>();
  setFixedSize(kWidth, kHeight);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
}

void RoutingPicture::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space && event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QWidget::keyPressEvent(event);
    return;
  }
  press();
}

QString RoutingPicture::routingText() const { return routing_ == Routing::Parallel ? "parallel" : "serial"; }

void RoutingPicture::press() {
  const bool hadFocus = hasFocus();
  emit clicked();
  // The click hid this picture and showed the other: the focus goes along with it.
  if (hadFocus && !isVisible()) {
    for (RoutingPicture* other : parentWidget()->findChildren<RoutingPicture*>(Qt::FindDirectChildrenOnly))
      if (other != this && other->isVisible()) other->setFocus(Qt::TabFocusReason);
  }
}

void RoutingPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  event->accept();
}

namespace {

void drawFilter(QPainter& p, const QRectF& box, const QString& name) {
  p.setPen(QPen(p.pen().color(), 1.2));
  p.setBrush(Qt::white);
  p.drawRoundedRect(box, 2, 2);
  p.drawText(box, Qt::AlignCenter, name);
}

void drawArrow(QPainter& p, QPointF from, QPointF to) {
  p.drawLine(from, to);
  const QPointF tip = to;
  QPainterPath head;
  head.moveTo(tip);
  head.lineTo(tip + QPointF(-4, -2.5));
  head.lineTo(tip + QPointF(-4, 2.5));
  head.closeSubpath();
  p.fillPath(head, p.pen().color());
}

}  // namespace

void RoutingPicture::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(0, 0, 128);
  p.fillRect(rect(), QColor(236, 240, 248));
  p.setPen(QPen(QColor(160, 168, 190), 1));
  p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  QFont f = font();
  f.setPixelSize(10);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QPen(ink, 1.2));

  const double w = width(), h = height();
  if (routing_ == Routing::Parallel) {
    // In at the left, split to F1 above and F2 below, joined again at the right.
    const QRectF f1(34, 3, 30, 15), f2(34, h - 18, 30, 15);
    const double split = 18, join = w - 18;
    p.drawLine(QPointF(4, h / 2), QPointF(split, h / 2));
    p.drawLine(QPointF(split, f1.center().y()), QPointF(split, f2.center().y()));
    drawArrow(p, QPointF(split, f1.center().y()), QPointF(f1.left(), f1.center().y()));
    drawArrow(p, QPointF(split, f2.center().y()), QPointF(f2.left(), f2.center().y()));
    p.drawLine(QPointF(f1.right(), f1.center().y()), QPointF(join, f1.center().y()));
    p.drawLine(QPointF(f2.right(), f2.center().y()), QPointF(join, f2.center().y()));
    p.drawLine(QPointF(join, f1.center().y()), QPointF(join, f2.center().y()));
    drawArrow(p, QPointF(join, h / 2), QPointF(w - 4, h / 2));
    drawFilter(p, f1, "F1");
    drawFilter(p, f2, "F2");
  } else {
    // F1 feeds F2.
    const QRectF f1(20, h / 2 - 8, 26, 16), f2(60, h / 2 - 8, 26, 16);
    drawArrow(p, QPointF(4, h / 2), QPointF(f1.left(), h / 2));
    drawArrow(p, QPointF(f1.right(), h / 2), QPointF(f2.left(), h / 2));
    drawArrow(p, QPointF(f2.right(), h / 2), QPointF(w - 4, h / 2));
    drawFilter(p, f1, "F1");
    drawFilter(p, f2, "F2");
  }
  if (hasFocus()) {
    QPen focus(palette().color(QPalette::Highlight), 1, Qt::DashLine);
    p.setPen(focus);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  }
}

}  // namespace rotavox
