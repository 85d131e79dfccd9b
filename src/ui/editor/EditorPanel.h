#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "core/editor/Envelope.h"
#include "core/editor/InitSound.h"
#include "core/editor/ParameterTable.h"
#include "core/editor/UndoHistory.h"
#include "core/editor/ValueControls.h"
#include "core/files/SoundControls.h"
#include "ui/common/AppContext.h"

class QAbstractSlider;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace rotavox {

class EnvelopeLine;
class KnobWidget;
class RoutingPicture;

// The sound editor's panel: every parameter control of the main window with its handlers.
// The controls are built and laid out from the parameter table and each family is served by
// one routine; every change of a value control sends its parameter at once. The panel is the
// one writer of its value controls: knobs, the init sound, the filter resets and sound files
// all write through write(), by row.
class EditorPanel : public QWidget, public SoundControls {
  Q_OBJECT
 public:
  explicit EditorPanel(AppContext& ctx, QWidget* parent = nullptr);

  // The size of the panel in twips; the play area (note keys, step label, buttons) lies in
  // its lower right corner, from x 8600 and y 5700 on.
  static constexpr int kWidthTwips = 12000;
  static constexpr int kHeightTwips = 7400;

  // Takes the envelope graphs' anchors from the lines as they stand. The window's start-up
  // calls it before any envelope value has moved a line.
  void takeAnchors();

  // Sets every parameter of the panel to the instrument's init sound, one write after the
  // other; each write's change handling sends its parameter.
  void InitSoundPreset();
  // The init button: asks first unless the panel holds no sound yet.
  void InitSnd_Click();

  void ResetFilter1_Click();
  void ResetFilter2_Click();

  // Writes a value control as an edit by the user would: the control's change handling runs,
  // and sends, before the write returns; writing what it shows already runs nothing.
  void write(ValueControl control, std::string_view value) override;
  std::string shown(ValueControl control) const override;
  // Every value control's content, in the order of kValueControls.
  SoundState soundState() const;
  // Puts a number field or selector back to the start text "?" without running its change
  // handling (nothing is sent), with what the start shows beside it: no red frame, the
  // parallel routing picture, the main volume slider at 0.
  void showStartText(Param row);

  void soundLoaded(std::string_view path, bool complete) override;
  void soundSaved(std::string_view path) override;

  void ImageParallel_Click();
  void ImageSeriell_Click();

  // The value of the envelope field clicked last (put back into an envelope field given a
  // number beyond 0..127).
  std::int16_t envClickValue() const { return EnvClickValue; }
  // The last position of the main volume slider, the value Control Change 7 sends.
  std::int16_t mainVolume() const { return MainVolume; }
  const EnvelopeAnchors& anchors(ParamGroup envelope) const;

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

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls of one parameter row; which are set depends on its kind.
  struct Row {
    QLineEdit* field = nullptr;          // number field
    QComboBox* combo = nullptr;          // selector
    QAbstractSlider* slider = nullptr;   // volume slider, mirror slider or main volume slider
    QCheckBox* mute = nullptr;           // mute box of a volume slider
    KnobWidget* knob = nullptr;
    QRect knobPlace;                     // where the knob stands, in its group
    QString toolTip;                     // the field's own tool tip, shown again once it is valid
  };

  void buildGroups();
  void buildRow(std::size_t row);
  void buildKnobs();
  QLineEdit* makeField(const Parameter& p, QWidget* parent, const QRect& place);
  void writeAll(std::span<const ControlWrite> writes);
  // Sets a value control; the change handling runs. Every write of the panel ends here.
  void setContent(ValueControl control, std::string_view value);

  // Where a change started, to tell how the user made it.
  enum class Origin : std::uint8_t { Text, Slider, MuteBox, Selector };
  // Runs a row's change routine; once the outermost change of a user's edit has run its
  // chain, tells userEdited().
  template <typename Routine>
  void changed(std::size_t row, Origin origin, Routine&& routine);
  EditInput inputOf(std::size_t row, Origin origin) const;
  void connectRow(std::size_t row);
  // Names every control as its label reads, for screen readers, and chains the Tab key
  // through the groups as they stand on the panel.
  void nameControls();
  void orderTabs();

  // The families' change handling, one routine each, given the parameter row.
  void knobFieldChange(std::size_t row);
  void offsetFieldChange(std::size_t row);
  void balanceFieldChange(std::size_t row);
  void mirrorSliderChange(std::size_t row);
  void volumeSliderChange(std::size_t row);
  void muteBoxClick(std::size_t row);
  void envFieldChange(std::size_t row);
  void envFieldClick(std::size_t row);
  void selectorChange(std::size_t row);
  void RollVolume_Change();
  void TextVolume_Change();
  void TextFilterParSer_Change();

  // Reads a number field against its row and marks it when its text is no value to send.
  FieldReading checkedReading(std::size_t row);
  void markInvalid(std::size_t row, bool invalid);
  static void colourMuteBox(QCheckBox* box, bool muted);
  void send(const Parameter& p, int byte);
  void showRouting(bool serial);

  EnvelopeGraph graphOf(ParamGroup envelope) const;
  void setGraph(ParamGroup envelope, const EnvelopeGraph& graph);
  EnvelopeLine* line(ParamGroup envelope, EnvStage stage) const;

  struct EnvFieldPort;

  AppContext& ctx_;
  std::array<Row, kParameterCount> rows_{};
  std::array<QGroupBox*, 9> groups_{};
  std::array<EnvelopeLine*, 8> lines_{};
  EnvelopeAnchors ampAnchors_;
  EnvelopeAnchors filterAnchors_;
  RoutingPicture* ImageParallel = nullptr;
  RoutingPicture* ImageSeriell = nullptr;
  QPushButton* ResetFilter1 = nullptr;
  QPushButton* ResetFilter2 = nullptr;

  std::int16_t EnvClickValue = 0;
  std::int16_t MainVolume = 0;
  std::int16_t KnobLastY = 0;  // one for all knobs of the panel

  int changeDepth_ = 0;        // change routines running, nested
  int programWrites_ = 0;      // > 0 while the program writes controls
  bool knobWriting_ = false;   // a knob's step is being written
};

}  // namespace rotavox
