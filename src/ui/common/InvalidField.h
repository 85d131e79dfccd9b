#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QString>
#include <QVariant>

namespace rotavox {

// Frames a field red while its text is no value to send, with `invalidTip` as its tool tip
// meanwhile; marked valid again, it gets its own tool tip and its parent's background back.
inline void markInvalid(QLineEdit* field, bool invalid, const QString& invalidTip) {
  if (field->property("invalid").toBool() == invalid) return;
  field->setProperty("invalid", invalid);
  QPalette pal = field->palette();
  if (invalid)
    pal.setColor(QPalette::Base, QColor(255, 214, 214));
  else
    pal.setBrush(QPalette::Base, field->parentWidget()->palette().brush(QPalette::Base));
  field->setPalette(pal);
  if (invalid) field->setProperty("ownTip", field->toolTip());
  field->setToolTip(invalid ? invalidTip : field->property("ownTip").toString());
}

}  // namespace rotavox
