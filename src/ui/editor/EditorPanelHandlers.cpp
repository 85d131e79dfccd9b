// The change handling of the panel's controls: each routine serves one family of controls,
// given the parameter row, and sends through the MIDI link.
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "core/common/Readings.h"
#include "core/editor/InitSound.h"
#include "core/editor/SelectorItems.h"
#include "ui/common/KnobWidget.h"
#include "ui/editor/EditorPanel.h"
#include "ui/editor/EnvelopeLine.h"
#include "ui/editor/RoutingPicture.h"

namespace rotavox {

namespace {
const QColor kUnmuted(0, 192, 0);
const QColor kMuted(255, 0, 0);
const QColor kInvalidBase(255, 214, 214);

QString numberQText(std::int64_t value) { return QString::number(value); }
}  // namespace

void EditorPanel::send(const Parameter& p, int byte) { ctx_.midi.SendControlChange(p.cc, byte); }

FieldReading EditorPanel::checkedReading(std::size_t i) {
  const FieldReading reading = readField(kParameters[i], rows_[i].field->text().toStdString());
  markInvalid(i, reading.state == FieldState::Invalid);
  return reading;
}

// A field whose text is no value to send keeps it, so the user can finish typing, and shows
// what it takes.
void EditorPanel::markInvalid(std::size_t i, bool invalid) {
  QLineEdit* field = rows_[i].field;
  if (field->property("invalid").toBool() == invalid) return;
  field->setProperty("invalid", invalid);
  QPalette pal = field->palette();
  if (invalid)
    pal.setColor(QPalette::Base, kInvalidBase);
  else
    pal.setBrush(QPalette::Base, palette().brush(QPalette::Base));
  field->setPalette(pal);
  field->setToolTip(invalid ? QString::fromStdString(rangeHint(kParameters[i])) : rows_[i].toolTip);
}

// Cutoff, resonance ... pulse width: the number as shown.
void EditorPanel::knobFieldChange(std::size_t i) {
  const FieldReading r = checkedReading(i);
  if (r.state == FieldState::Valid) send(kParameters[i], r.byte);
}

// Semitone and detune: the number plus 64. The mirror slider keeps its place.
void EditorPanel::offsetFieldChange(std::size_t i) {
  const FieldReading r = checkedReading(i);
  if (r.state == FieldState::Valid) send(kParameters[i], r.byte);
}

// Filter balance: the number plus 64, then the slider follows (which runs nothing more when it
// stands there already).
void EditorPanel::balanceFieldChange(std::size_t i) {
  const FieldReading r = checkedReading(i);
  if (r.state != FieldState::Valid) return;
  send(kParameters[i], r.byte);
  rows_[i].slider->setValue(r.shown);
}

// A mirror slider writes its position into its field; the field's handling sends.
void EditorPanel::mirrorSliderChange(std::size_t i) { rows_[i].field->setText(numberQText(rows_[i].slider->value())); }

// Moving a volume slider sends its position and unmutes the oscillator; a ticked box sends the
// position once more when it is unticked.
void EditorPanel::volumeSliderChange(std::size_t i) {
  send(kParameters[i], rows_[i].slider->value());
  rows_[i].mute->setChecked(false);
}

void EditorPanel::colourMuteBox(QCheckBox* box, bool muted) {
  QPalette pal = box->palette();
  pal.setColor(QPalette::Window, muted ? kMuted : kUnmuted);
  box->setPalette(pal);
}

void EditorPanel::muteBoxClick(std::size_t i) {
  const bool muted = rows_[i].mute->isChecked();
  colourMuteBox(rows_[i].mute, muted);
  send(kParameters[i], oscVolumeByte(rows_[i].slider->value(), muted));
}

namespace {
constexpr std::size_t kMainVolumeRow = index(Param::TextVolume);
constexpr std::size_t kRoutingRow = index(Param::TextFilterParSer);
}  // namespace

// The main volume goes out from the slider only.
void EditorPanel::RollVolume_Change() {
  Row& row = rows_[kMainVolumeRow];
  MainVolume = static_cast<std::int16_t>(row.slider->value());
  row.field->setText(numberQText(MainVolume));
  send(kParameters[kMainVolumeRow], MainVolume);
}

// The field moves the slider: a number beyond 127 either way puts the field back to "0"; the
// sign is dropped and the number rounded. The slider writes its whole number back.
void EditorPanel::TextVolume_Change() {
  Row& row = rows_[kMainVolumeRow];
  if (mainVolumeOverflows(row.field->text().toStdString())) row.field->setText("0");
  row.slider->setValue(mainVolumePosition(row.field->text().toStdString()));
}

void EditorPanel::ImageParallel_Click() {
  ImageSeriell->show();
  ImageParallel->hide();
  rows_[kRoutingRow].field->setText("1");
}

void EditorPanel::ImageSeriell_Click() {
  ImageParallel->show();
  ImageSeriell->hide();
  rows_[kRoutingRow].field->setText("0");
}

// Anything but 1 counts as parallel and is put back to "0".
void EditorPanel::TextFilterParSer_Change() {
  QLineEdit* field = rows_[kRoutingRow].field;
  if (!routingState(field->text().toStdString())) field->setText("0");
  const bool serial = routingState(field->text().toStdString()).has_value();
  send(kParameters[kRoutingRow], serial ? 1 : 0);
  showRouting(serial);
}

void EditorPanel::showRouting(bool serial) {
  ImageSeriell->setVisible(serial);
  ImageParallel->setVisible(!serial);
}

// The window's side of an envelope field for the envelope rule of the core.
struct EditorPanel::EnvFieldPort : EnvelopeField {
  EditorPanel& panel;
  std::size_t row;
  ParamGroup envelope;
  EnvStage stage;

  EnvFieldPort(EditorPanel& p, std::size_t r)
      : panel(p), row(r), envelope(kParameters[r].group), stage(*kParameters[r].stage) {}

  std::string text() const override { return panel.rows_[row].field->text().toStdString(); }
  void write(const std::string& t) override { panel.rows_[row].field->setText(QString::fromStdString(t)); }
  void draw(double v) override {
    EnvelopeGraph graph = panel.graphOf(envelope);
    moveStage(graph, panel.anchors(envelope), stage, v);
    panel.setGraph(envelope, graph);
  }
  void send(int value) override { panel.send(kParameters[row], value); }
};

void EditorPanel::envFieldChange(std::size_t i) {
  EnvFieldPort port(*this, i);
  envelopeChange(port, EnvClickValue);
}

void EditorPanel::envFieldClick(std::size_t i) {
  if (const auto value = envelopeClickValue(rows_[i].field->text().toStdString())) EnvClickValue = *value;
}

// A selector sends the number of the item its text names; a text that names none is
// answered with a box, and nothing is sent.
void EditorPanel::selectorChange(std::size_t i) {
  const Parameter& p = kParameters[i];
  const FieldReading r = readField(p, rows_[i].combo->currentText().toStdString());
  if (r.state != FieldState::Valid) {
    ctx_.presenter.show(std::string(selectorErrorText(p.items)), std::string(kSelectorErrorCaption),
                        MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  send(p, r.byte);
}

void EditorPanel::write(ValueControl control, std::string_view value) {
  ++programWrites_;
  setContent(control, value);
  --programWrites_;
}

void EditorPanel::setContent(ValueControl control, std::string_view value) {
  Row& row = rows_[index(control.row)];
  if (control.muteBox) {
    row.mute->setChecked(value != "0");
  } else if (row.combo) {
    row.combo->setEditText(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  } else if (row.field) {
    row.field->setText(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  } else if (const auto position = wholeReading(value)) {
    row.slider->setValue(static_cast<int>(*position));
  }
}

std::string EditorPanel::shown(ValueControl control) const {
  const Row& row = rows_[index(control.row)];
  if (control.muteBox) return row.mute->isChecked() ? "1" : "0";
  if (row.combo) return row.combo->currentText().toStdString();
  if (row.field) return row.field->text().toStdString();
  return numberText(row.slider->value());
}

SoundState EditorPanel::soundState() const {
  SoundState state;
  for (std::size_t i = 0; i < kValueControlCount; ++i) state[i] = shown(kValueControls[i]);
  return state;
}

void EditorPanel::showStartText(Param id) {
  const std::size_t i = index(id);
  Row& row = rows_[i];
  const QString text = QString::fromUtf8(kNoValueText.data(), static_cast<qsizetype>(kNoValueText.size()));
  if (row.combo) {
    const QSignalBlocker quiet(row.combo);
    row.combo->setCurrentIndex(-1);
    row.combo->setEditText(text);
    return;
  }
  if (!row.field) return;
  {
    const QSignalBlocker quiet(row.field);
    row.field->setText(text);
  }
  markInvalid(i, false);
  if (row.knob) row.knob->update();
  if (kParameters[i].kind == ParamKind::Routing) showRouting(false);
  if (kParameters[i].kind == ParamKind::MainVolume) {
    const QSignalBlocker quiet(row.slider);
    row.slider->setValue(0);
    MainVolume = 0;
  }
}

void EditorPanel::soundLoaded(std::string_view path, bool complete) {
  emit soundFileLoaded(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())), complete);
}

void EditorPanel::soundSaved(std::string_view path) {
  emit soundFileSaved(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
}

void EditorPanel::writeAll(std::span<const ControlWrite> writes) {
  for (const ControlWrite& w : writes) write(w.control, w.value);
}

void EditorPanel::InitSoundPreset() {
  writeAll(kInitSound);
  emit soundInitialised();
}

void EditorPanel::InitSnd_Click() {
  if (initNeedsConfirmation(rows_[kMainVolumeRow].field->text().toStdString()) &&
      ctx_.presenter.show(std::string(kInitQuestion), std::string(kInitCaption), MessageIcon::Question,
                          MessageButtons::OkCancel) != MessageAnswer::Ok)
    return;
  InitSoundPreset();
}

// The type first, then the six fields; a control that shows its standard value already sends
// nothing.
void EditorPanel::ResetFilter1_Click() {
  writeAll(kFilter1Reset);
  emit filterWasReset(ParamGroup::Filter1);
}

void EditorPanel::ResetFilter2_Click() {
  writeAll(kFilter2Reset);
  emit filterWasReset(ParamGroup::Filter2);
}

}  // namespace rotavox
