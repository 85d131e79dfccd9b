#include "ui/midi/ProgramWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/common/InvalidField.h"
#include "ui/common/Twips.h"
#include "ui/midi/Instrument.h"

namespace rotavox {

ProgramWindow::ProgramWindow(Instrument& instrument, QWidget* parent)
    : QWidget(parent, Qt::Window), instrument_(instrument) {
  setObjectName("F_Program");
  setWindowTitle("Program on the instrument");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(5430), twips(1890));

  auto* bankLabel = placed<QLabel>(this, "LabelProgramBank", twipRect(315, 360, 700, 255), "&Bank:");
  ListProgramBank_ = placed<QComboBox>(this, "ListProgramBank", twipRect(1050, 315, 1000, 315));
  for (int bank = 0; bank < InstrumentProgram::kBanks; ++bank) ListProgramBank_->addItem(QString::fromStdString(bankText(bank)));
  bankLabel->setBuddy(ListProgramBank_);
  ListProgramBank_->setAccessibleName("Bank");
  auto* numberLabel = placed<QLabel>(this, "LabelProgramNumber", twipRect(2400, 360, 900, 255), "&Number:");
  TextProgramNumber_ = placed<QLineEdit>(this, "TextProgramNumber", twipRect(3300, 315, 900, 315), "1");
  TextProgramNumber_->setAlignment(Qt::AlignRight);
  numberLabel->setBuddy(TextProgramNumber_);
  TextProgramNumber_->setAccessibleName("Sound number");
  TextProgramNumber_->setToolTip("Sound 1 to 100 of the bank");
  CommandProgramPrev_ = placed<QPushButton>(this, "CommandProgramPrev", twipRect(315, 1080, 600, 495), "<");
  CommandProgramPrev_->setToolTip("Sends the sound before (C100 after A1)");
  CommandProgramPrev_->setAccessibleName("Previous sound");
  CommandProgramSend_ = placed<QPushButton>(this, "CommandProgramSend", twipRect(1035, 1080, 1400, 495), "&Send");
  CommandProgramSend_->setDefault(true);
  CommandProgramNext_ = placed<QPushButton>(this, "CommandProgramNext", twipRect(2555, 1080, 600, 495), ">");
  CommandProgramNext_->setToolTip("Sends the sound after (B1 after A100)");
  CommandProgramNext_->setAccessibleName("Next sound");
  CommandProgramClose_ = placed<QPushButton>(this, "CommandProgramClose", twipRect(3570, 1080, 1545, 495), "Close");

  connect(TextProgramNumber_, &QLineEdit::textChanged, this, &ProgramWindow::numberEdited);
  connect(TextProgramNumber_, &QLineEdit::returnPressed, this, &ProgramWindow::CommandProgramSend_Click);
  connect(CommandProgramSend_, &QPushButton::clicked, this, &ProgramWindow::CommandProgramSend_Click);
  connect(CommandProgramPrev_, &QPushButton::clicked, this, &ProgramWindow::CommandProgramPrev_Click);
  connect(CommandProgramNext_, &QPushButton::clicked, this, &ProgramWindow::CommandProgramNext_Click);
  connect(CommandProgramClose_, &QPushButton::clicked, this, &ProgramWindow::CommandProgramClose_Click);
  // A program chosen on the instrument is where the steps go on from.
  connect(&instrument_, &Instrument::programChanged, this, [this] {
    if (const auto& p = instrument_.program(); p && p->bank != InstrumentProgram::kUnknownBank) showProgram(*p);
  });
}

void ProgramWindow::Form_Load() {
  if (const auto& p = instrument_.program(); p && p->bank != InstrumentProgram::kUnknownBank) showProgram(*p);
}

std::optional<InstrumentProgram> ProgramWindow::chosen() const {
  const auto number = programNumber(TextProgramNumber_->text().toStdString());
  if (!number) return std::nullopt;
  return InstrumentProgram{ListProgramBank_->currentIndex(), *number};
}

void ProgramWindow::showProgram(const InstrumentProgram& program) {
  ListProgramBank_->setCurrentIndex(program.bank);
  TextProgramNumber_->setText(QString::number(program.number));
}

void ProgramWindow::CommandProgramSend_Click() {
  if (const auto program = chosen()) instrument_.sendProgram(*program);
}

void ProgramWindow::step(int steps) {
  const auto program = chosen();
  if (!program) return;
  showProgram(steppedProgram(*program, steps));
  CommandProgramSend_Click();
}

// Framed red, with the tool tip saying why, while the number is none to send.
void ProgramWindow::numberEdited() {
  markInvalid(TextProgramNumber_, !programNumber(TextProgramNumber_->text().toStdString()),
              "Whole number from 1 to 100");
}

}  // namespace rotavox
