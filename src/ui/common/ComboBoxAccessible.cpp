#include "ui/common/ComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

#include "ui/common/AccessibleFactory.h"

namespace rotavox {

namespace {

// Qt's combo box as screen readers know it (the drop-down list and, when editable, the edit
// line as its children; opening the list as its action), but named by its accessible name
// when it has one. It serves every combo box, so that the name counts whenever it is set.
class NamedComboAccessible : public QAccessibleWidget {
 public:
  explicit NamedComboAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value || (t == QAccessible::Name && box()->accessibleName().isEmpty()))
      return box()->currentText();
    return QAccessibleWidget::text(t);
  }

  int childCount() const override { return box()->isEditable() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(box()->view());
    if (index == 1 && box()->isEditable()) return QAccessible::queryAccessibleInterface(box()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child->object() == box()->view()) return 0;
    if (box()->isEditable() && child->object() == box()->lineEdit()) return 1;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QLineEdit* line = box()->lineEdit();
    if (line && QRect(line->mapToGlobal(QPoint(0, 0)), line->size()).contains(x, y)) return child(1);
    return nullptr;
  }

  QStringList actionNames() const override {
    return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
  }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return QAccessibleWidget::doAction(action);
    if (box()->view()->isVisible())
      box()->hidePopup();
    else
      box()->showPopup();
  }

 private:
  QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

}  // namespace

void nameComboBoxesByPurpose() { installAccessible<QComboBox, NamedComboAccessible>(); }

}  // namespace rotavox
