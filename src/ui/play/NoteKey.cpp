#include "ui/play/NoteKey.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace rotavox {

NoteKey::NoteKey(MidiLink& midi, int note, QWidget* parent) : QWidget(parent), midi_(midi), note_(note) {
  setFocusPolicy(Qt::NoFocus);
}

void NoteKey::MouseDown() { midi_.SendNoteOn(note_, kVelocity); }

void NoteKey::MouseUp() { midi_.SendNoteOn(note_, 0); }

// Any button plays; a double click comes as a press too, so every press has its note.
void NoteKey::mousePressEvent(QMouseEvent* event) {
  ++held_;
  update();
  MouseDown();
  event->accept();
}

void NoteKey::mouseReleaseEvent(QMouseEvent* event) {
  held_ = std::max(0, held_ - 1);
  update();
  MouseUp();
  event->accept();
}

void NoteKey::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double corner = std::min(r.width(), r.height()) * 0.12;

  // Square top (the key disappears under the case), rounded front edge.
  QPainterPath key;
  key.moveTo(r.topLeft());
  key.lineTo(r.topRight());
  key.lineTo(r.right(), r.bottom() - corner);
  key.quadTo(r.bottomRight(), QPointF(r.right() - corner, r.bottom()));
  key.lineTo(r.left() + corner, r.bottom());
  key.quadTo(r.bottomLeft(), QPointF(r.left(), r.bottom() - corner));
  key.closeSubpath();

  const bool pressed = held_ > 0;
  QLinearGradient face(r.topLeft(), r.bottomLeft());
  face.setColorAt(0.0, pressed ? QColor(214, 214, 214) : QColor(236, 236, 236));
  face.setColorAt(0.12, pressed ? QColor(226, 226, 226) : Qt::white);
  face.setColorAt(1.0, pressed ? QColor(226, 226, 226) : Qt::white);
  p.fillPath(key, face);

  // The front lip: a slightly darker band that a pressed key hides.
  if (!pressed) {
    const double lip = std::max(2.0, r.height() * 0.05);
    p.save();
    p.setClipPath(key);
    p.fillRect(QRectF(r.left(), r.bottom() - lip, r.width(), lip), QColor(222, 222, 222));
    p.restore();
  }
  p.setPen(QPen(palette().color(QPalette::Shadow), 1.0));
  p.drawPath(key);
}

}  // namespace rotavox
