#pragma once

// Screen readers meet a widget class through the interface a factory installed with Qt makes
// for it. Installing one at each construction costs a look: Qt keeps a factory it has already.

#include <QAccessible>
#include <QLatin1String>
#include <QObject>
#include <QString>
#include <QWidget>

namespace rotavox {

// `Interface` for every widget whose class is exactly `Widget`.
template <class Widget, class Interface>
QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
  if (className == QLatin1String(Widget::staticMetaObject.className()) && object->isWidgetType())
    return new Interface(static_cast<Widget*>(object));
  return nullptr;
}

template <class Widget, class Interface>
void installAccessible() {
  QAccessible::installFactory(&accessibleFor<Widget, Interface>);
}

}  // namespace rotavox
