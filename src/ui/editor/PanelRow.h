#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/editor/ParameterTable.h"
#include "core/editor/UndoHistory.h"
#include "core/editor/ValueControls.h"
#include "ui/common/QtText.h"

class QLabel;
class QLineEdit;
class QWidget;

namespace rotavox {

class EnvelopeGraphs;
class MessagePresenter;
struct KnobDrag;

// The panel is laid out on a grid of 15 twips, one pixel of a 96 dpi screen; Qt scales it to
// any other.
inline constexpr int kGrid = 15;
QRect gridRect(int x, int y, int w, int h);
// A number field's size, in grid units.
inline constexpr int kFieldW = 40, kFieldH = 20;


// What the rows of the panel ask of the panel: the one sender, the one writer of a knob's
// step, the bookkeeping of the user's edits and the filter resets.
class PanelHost {
 public:
  virtual ~PanelHost() = default;
  virtual void send(const Parameter& p, int byte) = 0;
  // A knob's step, written as every write of a value control is.
  virtual void knobStep(Param row, const QString& text) = 0;
  // A change routine of a control begins and ends; the end of the outermost one of a user's
  // edit makes it an edit of `control`, made by `input` (unless a knob wrote it).
  virtual void changeBegins() = 0;
  virtual void changeEnds(ValueControl control, EditInput input) = 0;
  // A knob drag was let go, or the focus left a field or selector.
  virtual void endGesture() = 0;
  virtual void resetFilter(ParamGroup filter) = 0;
};

// What a row is built with: the panel's services and the state its rows share.
struct RowContext {
  PanelHost& host;
  MessagePresenter& presenter;
  KnobDrag& knobDrag;
  std::int16_t& knobLastY;      // one for all knobs of the panel
  std::int16_t& envClickValue;  // the value of the envelope field clicked last
  std::int16_t& mainVolume;     // the last position of the main volume slider, what CC 7 sends
  EnvelopeGraphs& graphs;
  QWidget* box;  // the box of the row's group; the panel for a group without one
};

// One parameter row of the panel. Each family of rows is a class of its own that builds its
// controls in the row's cell, connects them to its change handling, names them for screen
// readers, and reads and writes them for the panel.
class PanelRow : public QObject {
 public:
  PanelRow(const Parameter& p, const RowContext& ctx) : p_(p), ctx_(ctx) {}

  const Parameter& parameter() const { return p_; }

  // Sets one of the row's value controls (its own, or a volume row's mute box) as an edit by
  // the user does: its change handling runs, and sends, before the write returns; writing
  // what it shows already runs nothing.
  virtual void write(ValueControl control, std::string_view value) = 0;
  // What the control shows: a field's or selector's text, a slider's position or a mute box's
  // state (0 or 1) in decimal.
  virtual std::string shown(ValueControl control) const = 0;
  // Shows the start text "?" again, with what the start shows beside it, without running the
  // change handling: nothing is sent.
  virtual void showStartText() = 0;
  // Shows the row's values of a whole sound (undo, redo, compare), sending for the row only
  // what the instrument needs to end where the sound does. By default each value control that
  // differs is written as an edit would (its handling sends), and one that is to show "?" is
  // put back to the start text without sending.
  virtual void putBack(const SoundState& target);
  // Shows `content` (receivedContent() of a byte the instrument sent) in the row's value
  // control. The panel has sending switched off meanwhile, so the row's change handling may
  // run as for any write; a row whose dependent controls that handling leaves alone (a mirror
  // slider that does not follow its field, a volume's mute box) sets them here itself.
  virtual void showReceived(std::string_view content) { write({p_.id}, content); }
  // Appends the row's controls that take the focus, in the order the Tab key visits them.
  virtual void addToTabChain(QList<QWidget*>& chain) const = 0;

 protected:
  // Runs a change routine of the row within the panel's bookkeeping of the user's edits.
  template <typename Routine>
  void changing(ValueControl control, EditInput input, Routine&& routine) {
    ctx_.host.changeBegins();
    routine();
    ctx_.host.changeEnds(control, input);
  }
  // Leaving `widget` ends what was typed into it as one undo step.
  void endsGestureOnLeaving(QWidget* widget);
  bool eventFilter(QObject* watched, QEvent* event) override;

  // A place relative to the row's cell, in grid units.
  QRect at(int dx, int dy, int w, int h) const;
  QLabel* makeLabel(const QRect& place, Qt::Alignment align) const;
  // A number field named as the row's value control, showing "?".
  QLineEdit* makeField(QWidget* parent, const QRect& place) const;
  // "OSC 1 Semi": how screen readers name the row's controls.
  QString accessibleName() const;
  // The row's group in words, "Oscillator 1" for "OSC 1": how screen readers name a selector,
  // a mute box or a volume slider by what it chooses.
  QString spokenGroup() const;

  const Parameter& p_;
  RowContext ctx_;
};

// A row whose value control is one number field: writing and reading it, and the start text.
class FieldRow : public PanelRow {
 public:
  using PanelRow::PanelRow;

  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  void showStartText() override;

 protected:
  // What else the start text puts back beside the field.
  virtual void startTextShown() {}

  QLineEdit* field_ = nullptr;
};

// A number field framed red, with a tool tip of the values it takes, while its text is no
// value to send; it keeps the text so the user can finish typing.
class CheckedField {
 public:
  CheckedField(QLineEdit* field, const Parameter& p) : field_(field), p_(p) {}
  // Reads the field against its row and marks it when the text is no value to send.
  FieldReading read();
  void mark(bool invalid);

 private:
  QLineEdit* field_;
  const Parameter& p_;
};

// The row class of a parameter's kind.
std::unique_ptr<PanelRow> makePanelRow(const Parameter& p, const RowContext& ctx);

}  // namespace rotavox
