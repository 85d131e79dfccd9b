#pragma once

#include <QWidget>
#include <array>

#include "core/midi/MidiService.h"
#include "core/midi/PortCaps.h"
#include "ui/common/AppContext.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace rotavox {

// F_Midi, "Midi settings": chooses the output port, the thru's input port and the channel.
// Loading it closes the MIDI connection; its Close button opens output and thru again.
class MidiSettingsDialog : public QWidget {
  Q_OBJECT
 public:
  explicit MidiSettingsDialog(AppContext& ctx, QWidget* parent = nullptr);

  void Form_Load();
  void AuswahlMIDIPort_Click(int position);
  void AuswahlMIDIinPort_Click(int position);
  void AuswahlMIDIChannel_Click(int position);
  void Command1_Click();

 private:
  AppContext& ctx_;
  MidiLink& midi_;
  QLabel* Bezeichnung1_;
  QComboBox* AuswahlMIDIinPort_;
  QComboBox* AuswahlMIDIinChannel_;
  QComboBox* AuswahlMIDIPort_;
  QComboBox* AuswahlMIDIChannel_;
  QLabel* Text1_;
  QLabel* Text2_;
  QLabel* Text3_;
  QLabel* Text4_;
  QPushButton* Command1_;
  std::array<MidiOutCaps, kMaxOutPorts + 1> PortCapsOut_{};
  std::array<MidiInCaps, kMaxInPorts> PortCapsIn_{};
  int outCount_ = 0;
  int inCount_ = 0;
};

}  // namespace rotavox
