#include "ui/editor/EnvelopeLine.h"

namespace rotavox {

EnvelopeLine::EnvelopeLine(const LineDesign& design, QObject* parent)
    : QObject(parent), ends_(design.ends), color_(design.color.r, design.color.g, design.color.b) {
  setObjectName(QString::fromLatin1(design.name.data(), static_cast<qsizetype>(design.name.size())));
}

void EnvelopeLine::set(float LineEnds::*member, float v) {
  if (ends_.*member == v) return;
  ends_.*member = v;
  emit changed();
}

void EnvelopeLine::setEnds(const LineEnds& ends) {
  if (ends_ == ends) return;
  ends_ = ends;
  emit changed();
}

void EnvelopeLine::setColor(const QColor& c) {
  if (color_ == c) return;
  color_ = c;
  emit changed();
}

}  // namespace rotavox
