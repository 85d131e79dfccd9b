#include "ui/editor/MutateDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "core/common/Readings.h"
#include "core/editor/Mutation.h"
#include "ui/common/Twips.h"
#include "ui/editor/EditActions.h"

namespace rotavox {

MutateDialog::MutateDialog(EditActions& edit, QWidget* parent) : QWidget(parent, Qt::Window), edit_(edit) {
  setObjectName("F_Mutate");
  setWindowTitle("Mutate sound");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(4200), twips(2250));

  auto* label = placed<QLabel>(this, "LabelAmount", twipRect(240, 360, 1000, 300), "&Amount:");
  TextAmount_ = placed<QLineEdit>(this, "TextAmount", twipRect(1260, 330, 700, 345));
  TextAmount_->setAlignment(Qt::AlignRight);
  TextAmount_->setAccessibleName("Amount in percent");
  TextAmount_->setToolTip("How strongly one press changes the sound: 1 to 100 %");
  label->setBuddy(TextAmount_);
  placed<QLabel>(this, "LabelPercent", twipRect(2010, 360, 300, 300), "%");
  HScrollAmount_ = placed<QScrollBar>(this, "HScrollAmount", twipRect(240, 900, 3720, 255), Qt::Horizontal);
  HScrollAmount_->setRange(kMutateAmountLow, kMutateAmountHigh);
  HScrollAmount_->setPageStep(10);
  HScrollAmount_->setAccessibleName("Amount slider");
  HScrollAmount_->setFocusPolicy(Qt::StrongFocus);
  C_Mutate_ = placed<QPushButton>(this, "C_Mutate", twipRect(240, 1455, 1740, 495), "&Mutate");
  C_Mutate_->setToolTip("Changes the sound by chance; Undo takes it back");
  C_MutateClose_ = placed<QPushButton>(this, "C_MutateClose", twipRect(2220, 1455, 1740, 495), "Close");
  setTabOrder(TextAmount_, HScrollAmount_);
  setTabOrder(HScrollAmount_, C_Mutate_);
  setTabOrder(C_Mutate_, C_MutateClose_);

  connect(TextAmount_, &QLineEdit::textChanged, this, &MutateDialog::TextAmount_Change);
  connect(HScrollAmount_, &QScrollBar::valueChanged, this, &MutateDialog::HScrollAmount_Change);
  connect(C_Mutate_, &QPushButton::clicked, this, &MutateDialog::C_Mutate_Click);
  connect(C_MutateClose_, &QPushButton::clicked, this, &MutateDialog::C_MutateClose_Click);
}

void MutateDialog::Form_Load() {
  TextAmount_->setText(QString::number(edit_.mutateAmount()));
  TextAmount_->selectAll();
  C_Mutate_->setDefault(true);
}

std::optional<int> MutateDialog::amount() const {
  const auto whole = wholeReading(TextAmount_->text().toStdString());
  if (!whole || *whole < kMutateAmountLow || *whole > kMutateAmountHigh) return std::nullopt;
  return static_cast<int>(*whole);
}

// A valid amount moves the slider and is remembered; anything else greys the button out.
void MutateDialog::TextAmount_Change() {
  const std::optional<int> a = amount();
  C_Mutate_->setEnabled(a.has_value());
  if (!a) return;
  edit_.setMutateAmount(*a);
  HScrollAmount_->setValue(*a);
}

void MutateDialog::HScrollAmount_Change() { TextAmount_->setText(QString::number(HScrollAmount_->value())); }

void MutateDialog::C_Mutate_Click() {
  if (const std::optional<int> a = amount()) edit_.mutate(*a);
}

void MutateDialog::C_MutateClose_Click() { close(); }

}  // namespace rotavox
