#pragma once

#include <QWidget>
#include <optional>

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace rotavox {

class EditActions;

// F_Mutate: how strongly a press of Mutate changes the sound (1 to 100 %), and the button.
// Modeless; it deletes itself when closed and remembers the amount in the Edit menu.
class MutateDialog : public QWidget {
  Q_OBJECT
 public:
  MutateDialog(EditActions& edit, QWidget* parent);

  void Form_Load();
  void TextAmount_Change();
  void HScrollAmount_Change();
  void C_Mutate_Click();
  void C_MutateClose_Click();

  // The amount the field holds: a whole number from 1 to 100, or none.
  std::optional<int> amount() const;

 private:
  EditActions& edit_;
  QLineEdit* TextAmount_;
  QScrollBar* HScrollAmount_;
  QPushButton* C_Mutate_;
  QPushButton* C_MutateClose_;
};

}  // namespace rotavox
