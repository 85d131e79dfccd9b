#include "ui/editor/PanelRow.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include "core/editor/SelectorItems.h"
#include "ui/common/InvalidField.h"
#include "ui/common/Twips.h"
#include "ui/editor/EnvelopeFieldRow.h"
#include "ui/editor/KnobFieldRow.h"
#include "ui/editor/MainVolumeRow.h"
#include "ui/editor/OffsetFieldRow.h"
#include "ui/editor/RoutingRow.h"
#include "ui/editor/SelectorRow.h"
#include "ui/editor/VolumeRow.h"

namespace rotavox {

QRect gridRect(int x, int y, int w, int h) { return twipRect(x * kGrid, y * kGrid, w * kGrid, h * kGrid); }

void PanelRow::endsGestureOnLeaving(QWidget* widget) { widget->installEventFilter(this); }

bool PanelRow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) ctx_.host.endGesture();
  return QObject::eventFilter(watched, event);
}

void PanelRow::putBack(const SoundState& target) {
  const ValueControl control{p_.id};
  const std::string& value = target[valueIndex(control)];
  if (shown(control) == value) return;
  if (value == kNoValueText)
    showStartText();
  else
    write(control, value);
}

QRect PanelRow::at(int dx, int dy, int w, int h) const { return gridRect(p_.cell.x + dx, p_.cell.y + dy, w, h); }

QLabel* PanelRow::makeLabel(const QRect& place, Qt::Alignment align) const {
  auto* label = new QLabel(qs(p_.label), ctx_.box);
  label->setGeometry(place);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

QLineEdit* PanelRow::makeField(QWidget* parent, const QRect& place) const {
  auto* field = new QLineEdit(qs(kNoValueText), parent);
  field->setObjectName(qs(p_.control));
  field->setGeometry(place);
  field->setAlignment(Qt::AlignRight);
  return field;
}

QString PanelRow::accessibleName() const { return qs(groupTitle(p_.group)) + " " + qs(p_.label); }

QString PanelRow::spokenGroup() const {
  switch (p_.group) {
    case ParamGroup::Osc1: return "Oscillator 1";
    case ParamGroup::Osc2: return "Oscillator 2";
    case ParamGroup::Osc3: return "Oscillator 3";
    default: return qs(groupTitle(p_.group));
  }
}

void FieldRow::write(ValueControl, std::string_view value) { field_->setText(qs(value)); }

std::string FieldRow::shown(ValueControl) const { return field_->text().toStdString(); }

void FieldRow::showStartText() {
  {
    const QSignalBlocker quiet(field_);
    field_->setText(qs(kNoValueText));
  }
  startTextShown();
}

FieldReading CheckedField::read() {
  const FieldReading reading = readField(p_, field_->text().toStdString());
  mark(reading.state == FieldState::Invalid);
  return reading;
}

void CheckedField::mark(bool invalid) { markInvalid(field_, invalid, qs(rangeHint(p_))); }

std::unique_ptr<PanelRow> makePanelRow(const Parameter& p, const RowContext& ctx) {
  switch (p.kind) {
    case ParamKind::Octave:
    case ParamKind::Shape:
    case ParamKind::FilterType: return std::make_unique<SelectorRow>(p, ctx);
    case ParamKind::Semitone:
    case ParamKind::Detune:
    case ParamKind::Balance: return std::make_unique<OffsetFieldRow>(p, ctx);
    case ParamKind::Knob: return std::make_unique<KnobFieldRow>(p, ctx);
    case ParamKind::Envelope: return std::make_unique<EnvelopeFieldRow>(p, ctx);
    case ParamKind::Volume: return std::make_unique<VolumeRow>(p, ctx);
    case ParamKind::Routing: return std::make_unique<RoutingRow>(p, ctx);
    case ParamKind::MainVolume: return std::make_unique<MainVolumeRow>(p, ctx);
  }
  return nullptr;
}

}  // namespace rotavox
