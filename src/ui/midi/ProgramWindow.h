#pragma once

#include <QWidget>
#include <optional>

#include "core/midi/InstrumentProgram.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace rotavox {

class Instrument;

// F_Program, "Program on the instrument": chooses one of the instrument's stored sounds, a bank
// and a number 1..100, and sends it; "<" and ">" step across the banks and send. A number that
// is not a whole number 1..100 is framed red and not sent. Modeless; deletes itself when closed.
class ProgramWindow : public QWidget {
  Q_OBJECT
 public:
  ProgramWindow(Instrument& instrument, QWidget* parent);

  // Shows the program the instrument plays, when it is known.
  void Form_Load();
  void CommandProgramSend_Click();
  void CommandProgramPrev_Click() { step(-1); }
  void CommandProgramNext_Click() { step(1); }
  void CommandProgramClose_Click() { close(); }

 private:
  // The program the controls show, if the number is one.
  std::optional<InstrumentProgram> chosen() const;
  void showProgram(const InstrumentProgram& program);
  void step(int steps);
  void numberEdited();

  Instrument& instrument_;
  QComboBox* ListProgramBank_;
  QLineEdit* TextProgramNumber_;
  QPushButton* CommandProgramSend_;
  QPushButton* CommandProgramPrev_;
  QPushButton* CommandProgramNext_;
  QPushButton* CommandProgramClose_;
};

}  // namespace rotavox
