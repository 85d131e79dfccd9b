#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "ui/common/AppContext.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace rotavox {

class KnobWidget;
class PlayControls;

// F_Sequenzer, "Sequenzer settings": the step length (a field and its knob) and the octave
// of the step sequencer. Modeless; closing it leaves the sequencer as it is.
class SequencerDialog : public QWidget {
  Q_OBJECT
 public:
  SequencerDialog(AppContext& ctx, PlayControls& play, QWidget* parent);
  ~SequencerDialog() override;

  // Shows the current octave and sets the speed back to 100 (one step a second).
  void Form_Load();

  void TextSpeed_Change();
  void OktaveMinus_Click();
  void OktavePlus_Click();
  void TextOktave_Click();
  void TextOktave_LostFocus();
  void TextOktave_Change();
  void Command1_Click();

  double octaveClickValue() const { return OctaveClickValue; }
  std::int16_t knobLastY() const { return KnobLastY; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AppContext& ctx_;
  QPointer<PlayControls> play_;
  QLabel* Text1_;
  QLineEdit* TextSpeed_;
  KnobWidget* knobSpeed_;
  QLabel* Bezeichnung7_;
  QPushButton* OktaveMinus_;
  QLineEdit* TextOktave_;
  QPushButton* OktavePlus_;
  QPushButton* Command1_;
  double OctaveClickValue = 0;  // what the octave field held when it was last clicked
  std::int16_t KnobLastY = 0;    // this window's own knob position
};

}  // namespace rotavox
