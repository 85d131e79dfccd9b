#include "ui/files/WidgetSoundControls.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace rotavox {

namespace {

QString qText(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QWidget* WidgetSoundControls::find(std::string_view name) const {
  if (!root_) return nullptr;
  const QString key = qText(name);
  // Looked up once: a load asks for 67 controls among the panel's hundreds of widgets.
  auto it = found_.find(key);
  if (it != found_.end() && it.value()) return it.value();
  QWidget* w = root_->objectName() == key ? root_.data() : root_->findChild<QWidget*>(key);
  if (w) found_.insert(key, w);
  return w;
}

std::optional<std::string> WidgetSoundControls::text(std::string_view name) const {
  QWidget* w = find(name);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
  return std::nullopt;
}

bool WidgetSoundControls::setText(std::string_view name, std::string_view text) {
  QWidget* w = find(name);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(qText(text));
    return true;
  }
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    if (combo->isEditable())
      combo->setEditText(qText(text));
    else
      combo->setCurrentText(qText(text));
    return true;
  }
  return false;
}

std::optional<int> WidgetSoundControls::position(std::string_view name) const {
  QWidget* w = find(name);
  if (auto* slider = qobject_cast<QAbstractSlider*>(w)) return slider->value();
  if (auto* box = qobject_cast<QCheckBox*>(w)) return box->isChecked() ? 1 : 0;
  return std::nullopt;
}

std::optional<PositionRange> WidgetSoundControls::positionRange(std::string_view name) const {
  QWidget* w = find(name);
  if (auto* slider = qobject_cast<QAbstractSlider*>(w))
    return PositionRange{std::min(slider->minimum(), slider->maximum()), std::max(slider->minimum(), slider->maximum())};
  if (qobject_cast<QCheckBox*>(w)) return PositionRange{0, 1};
  return std::nullopt;
}

bool WidgetSoundControls::setPosition(std::string_view name, int value) {
  QWidget* w = find(name);
  if (auto* slider = qobject_cast<QAbstractSlider*>(w)) {
    slider->setValue(value);
    return true;
  }
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    box->setChecked(value != 0);
    return true;
  }
  return false;
}

}  // namespace rotavox
