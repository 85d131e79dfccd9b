#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/editor/InitSound.h"
#include "core/editor/ParameterTable.h"
#include "core/editor/UndoHistory.h"
#include "core/editor/ValueControls.h"
#include "core/files/SoundControls.h"
#include "ui/common/AppContext.h"
#include "ui/editor/EnvelopeGraphs.h"
#include "ui/editor/PanelRow.h"

class QGroupBox;

namespace rotavox {

// The sound editor's panel: every parameter control of the main window. It builds one row per
// parameter of the table (each kind of row a class of its own) in the group boxes, and is the
// one writer of their value controls: knobs, the init sound, the filter resets, sound files
// and undo all write through it, by row. Every change of a value control sends its parameter
// at once; the panel tells which changes were the user's.
class EditorPanel : public QWidget, public SoundControls, private PanelHost {
  Q_OBJECT
 public:
  explicit EditorPanel(AppContext& ctx, QWidget* parent = nullptr);
  ~EditorPanel() override;

  // The size of the panel in twips; the play area (note keys, step label, buttons) lies in
  // its lower right corner, from x 8600 and y 5700 on.
  static constexpr int kWidthTwips = 12000;
  static constexpr int kHeightTwips = 7400;

  // Takes the envelope graphs' anchors from the lines as they stand. The window's start-up
  // calls it before any envelope value has moved a line.
  void takeAnchors() { graphs_.takeAnchors(); }

  // Sets every parameter of the panel to the instrument's init sound, one write after the
  // other; each write's change handling sends its parameter.
  void InitSoundPreset();
  // The init button: asks first unless the panel holds no sound yet.
  void InitSnd_Click();

  void ResetFilter1_Click() { resetFilter(ParamGroup::Filter1); }
  void ResetFilter2_Click() { resetFilter(ParamGroup::Filter2); }

  // Writes a value control as an edit by the user would: the control's change handling runs,
  // and sends, before the write returns; writing what it shows already runs nothing.
  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  // Every value control's content, in the order of kValueControls.
  SoundState soundState() const;
  // Shows a whole sound again (undo, redo, compare, mutate), row by row in table order. Each
  // parameter sends only the Control Change its final state needs, once: a control that shows
  // its value already sends nothing, a muted oscillator nothing (or 0 when its level goes to
  // 0), and a control that is to show "?" again is put back quietly ("?" is no value).
  void putBack(const SoundState& target);
  // Puts a number field or selector back to the start text "?" without running its change
  // handling (nothing is sent), with what the start shows beside it: no red frame, the
  // parallel routing picture, the main volume slider at 0.
  void showStartText(Param row);

  // Shows a value the instrument sent for parameter `row` (its data byte) in the control's own
  // terms, and sends nothing: the field, its knob, the mirror slider, the mute box and the
  // envelope graph follow, while no Control Change leaves, not even from the controls that
  // depend on it (the instrument has the value already). A byte the control cannot show
  // changes nothing. A change is told as userEdited() with EditInput::Received.
  void showReceived(Param row, int byte);
  // False while a change routine runs (a message box it opened is waiting): a received value
  // must wait until the routine has ended.
  bool canShowReceived() const { return changeDepth_ == 0; }
  // The instrument plays another of its stored sounds: every number field and selector shows
  // "?" again, as at start, and nothing is sent. One undo step, named `caption`.
  void forgetSound(std::string_view caption);

  void soundLoaded(std::string_view path, bool complete) override;
  void soundSaved(std::string_view path) override;

  // The value of the envelope field clicked last (put back into an envelope field given a
  // number beyond 0..127).
  std::int16_t envClickValue() const { return EnvClickValue; }
  // The last position of the main volume slider, the value Control Change 7 sends.
  std::int16_t mainVolume() const { return MainVolume; }
  const EnvelopeAnchors& anchors(ParamGroup envelope) const { return graphs_.anchors(envelope); }

 signals:
  // The user changed a value control (`control` counts in kValueControls) and its change
  // chain has run. Writes of the program (init sound, resets, loads, undo) are not told here.
  void userEdited(std::size_t control, rotavox::EditInput input);
  // A knob drag was let go, or the focus left a field or selector.
  void gestureEnded();
  void soundInitialised();
  void filterWasReset(rotavox::ParamGroup filter);
  void soundFileLoaded(const QString& path, bool complete);
  void soundFileSaved(const QString& path);
  void soundForgotten(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // What the rows ask of the panel.
  void send(const Parameter& p, int byte) override;
  void knobStep(Param row, const QString& text) override;
  void changeBegins() override { ++changeDepth_; }
  void changeEnds(ValueControl control, EditInput input) override;
  void endGesture() override { emit gestureEnded(); }
  // "Reset to standard": the type first, then the six fields; a control that shows its
  // standard value already sends nothing.
  void resetFilter(ParamGroup filter) override;

  // Chains the Tab key through the groups in their order, and in a group through the
  // instrument's own order of its parameters (their controller numbers).
  void orderTabs();
  void writeAll(std::span<const ControlWrite> writes);
  // Sets a value control; the change handling runs. Every write of the panel ends here.
  void setContent(ValueControl control, std::string_view value);
  PanelRow& row(Param id) const { return *rows_[index(id)]; }

  AppContext& ctx_;
  EnvelopeGraphs graphs_;
  std::array<QGroupBox*, kGroupCount> boxes_{};
  std::array<std::unique_ptr<PanelRow>, kParameterCount> rows_;

  std::int16_t EnvClickValue = 0;
  std::int16_t MainVolume = 0;
  std::int16_t KnobLastY = 0;  // one for all knobs of the panel

  int changeDepth_ = 0;       // change routines running, nested
  int programWrites_ = 0;     // > 0 while the program writes controls
  bool knobWriting_ = false;  // a knob's step is being written
  bool receiving_ = false;    // a received value is being shown: nothing is sent
};

}  // namespace rotavox
