#include "ui/editor/EnvelopeFieldRow.h"

#include <QEvent>
#include <QLineEdit>

#include "ui/editor/EnvelopeGraphs.h"

namespace rotavox {

namespace {

// The window's side of an envelope field for the envelope rule of the core.
struct FieldPort : EnvelopeField {
  QLineEdit& field;
  const Parameter& p;
  EnvelopeGraphs& graphs;
  PanelHost& host;

  FieldPort(QLineEdit& f, const Parameter& row, EnvelopeGraphs& g, PanelHost& h) : field(f), p(row), graphs(g), host(h) {}

  std::string text() const override { return field.text().toStdString(); }
  void write(const std::string& t) override { field.setText(QString::fromStdString(t)); }
  void draw(double v) override { graphs.draw(p.group, *p.stage, v); }
  void send(int value) override { host.send(p, value); }
};

}  // namespace

EnvelopeFieldRow::EnvelopeFieldRow(const Parameter& p, const RowContext& ctx) : KnobCellRow(p, ctx) {}

void EnvelopeFieldRow::fieldChanged() {
  changing({p_.id}, EditInput::Typing, [this] {
    FieldPort port(*field_, p_, ctx_.graphs, ctx_.host);
    envelopeChange(port, ctx_.envClickValue);
  });
}

// A click with the mouse, not reaching the field with the keyboard.
bool EnvelopeFieldRow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && event->type() == QEvent::MouseButtonPress) {
    if (const auto value = envelopeClickValue(field_->text().toStdString())) ctx_.envClickValue = *value;
  }
  return KnobCellRow::eventFilter(watched, event);
}

}  // namespace rotavox
