#include "ui/play/SequencerDialog.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/common/Readings.h"
#include "core/play/Sequencer.h"
#include "ui/common/KnobWidget.h"
#include "ui/common/Twips.h"
#include "ui/play/PlayControls.h"

namespace rotavox {

SequencerDialog::SequencerDialog(AppContext& ctx, PlayControls& play, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), play_(&play) {
  setObjectName("F_Sequenzer");
  setWindowTitle("Sequenzer settings");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(3270), twips(3030));

  Text1_ = placed<QLabel>(this, "Text1", twipRect(240, 375, 900, 255), "Speed:");
  TextSpeed_ = placed<QLineEdit>(this, "TextSpeed", twipRect(1140, 330, 735, 345), "50");
  TextSpeed_->setAccessibleName("Speed");
  knobSpeed_ = new KnobWidget(TextSpeed_, 0, 100, ctx_.knob, KnobLastY, this);
  knobSpeed_->setObjectName("knobSpeed");
  knobSpeed_->setAccessibleName("Speed knob");
  knobSpeed_->move(twips(2160), twips(180));
  Bezeichnung7_ = placed<QLabel>(this, "Bezeichnung7", twipRect(240, 1335, 900, 255), "Oktave:");
  OktaveMinus_ = placed<QPushButton>(this, "OktaveMinus", twipRect(1140, 1275, 375, 375), "-");
  OktaveMinus_->setAccessibleName("Octave down");
  TextOktave_ = placed<QLineEdit>(this, "TextOktave", twipRect(1560, 1290, 555, 345), "0");
  TextOktave_->setAccessibleName("Octave");
  OktavePlus_ = placed<QPushButton>(this, "OktavePlus", twipRect(2160, 1275, 375, 375), "+");
  OktavePlus_->setAccessibleName("Octave up");
  Command1_ = placed<QPushButton>(this, "Command1", twipRect(1020, 2235, 1230, 495), "&Close");
  Command1_->setAccessibleName("Close");
  TextSpeed_->setAlignment(Qt::AlignRight);
  TextOktave_->setAlignment(Qt::AlignRight);
  Text1_->setBuddy(TextSpeed_);
  Bezeichnung7_->setBuddy(TextOktave_);
  setTabOrder(TextSpeed_, knobSpeed_);
  setTabOrder(knobSpeed_, OktaveMinus_);
  setTabOrder(OktaveMinus_, TextOktave_);
  setTabOrder(TextOktave_, OktavePlus_);
  setTabOrder(OktavePlus_, Command1_);

  // Connected after the form's own texts are in, so only later changes run the handlers.
  connect(TextSpeed_, &QLineEdit::textChanged, this, &SequencerDialog::TextSpeed_Change);
  connect(TextOktave_, &QLineEdit::textChanged, this, &SequencerDialog::TextOktave_Change);
  connect(OktaveMinus_, &QPushButton::clicked, this, &SequencerDialog::OktaveMinus_Click);
  connect(OktavePlus_, &QPushButton::clicked, this, &SequencerDialog::OktavePlus_Click);
  connect(Command1_, &QPushButton::clicked, this, &SequencerDialog::Command1_Click);
  TextOktave_->installEventFilter(this);
}

SequencerDialog::~SequencerDialog() { TextOktave_->removeEventFilter(this); }

void SequencerDialog::Form_Load() {
  OctaveClickValue = 0;
  TextOktave_->setText(QString::fromStdString(numberText(ctx_.sequencer.SeqOctave)));
  TextSpeed_->setText("100");
}

bool SequencerDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TextOktave_) {
    if (event->type() == QEvent::MouseButtonPress) {
      TextOktave_Click();
    } else if (event->type() == QEvent::FocusOut) {
      // Switching to another window keeps the field's focus inside this one: no leaving.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) TextOktave_LostFocus();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void SequencerDialog::TextSpeed_Change() {
  if (play_) play_->speedChanged(TextSpeed_->text().toStdString());
}

void SequencerDialog::OktaveMinus_Click() {
  if (const auto text = octaveButtonText(TextOktave_->text().toStdString(), -1))
    TextOktave_->setText(QString::fromStdString(*text));
}

void SequencerDialog::OktavePlus_Click() {
  if (const auto text = octaveButtonText(TextOktave_->text().toStdString(), 1))
    TextOktave_->setText(QString::fromStdString(*text));
}

void SequencerDialog::TextOktave_Click() { OctaveClickValue = leadingReading(TextOktave_->text().toStdString()); }

void SequencerDialog::TextOktave_LostFocus() {
  if (const auto text = octaveValidation(TextOktave_->text().toStdString(), OctaveClickValue))
    TextOktave_->setText(QString::fromStdString(*text));
}

void SequencerDialog::TextOktave_Change() {
  if (play_) play_->octaveChanged(TextOktave_->text().toStdString());
}

void SequencerDialog::Command1_Click() { close(); }

}  // namespace rotavox
