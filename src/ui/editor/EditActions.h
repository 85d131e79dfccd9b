#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <string>

#include "core/editor/CompareSwitch.h"
#include "core/editor/Mutation.h"
#include "core/editor/UndoHistory.h"
#include "ui/common/AppContext.h"

class QAction;
class QMainWindow;
class QMenu;

namespace rotavox {

class EditorPanel;
class MutateDialog;

// The Edit menu of the main window: undo and redo of the user's steps, compare with the
// reference sound, and mutate. Every value it puts on the panel goes through the panel's one
// writer, so the instrument hears exactly what a hand on the controls would have sent.
class EditActions : public QObject {
  Q_OBJECT
 public:
  // Builds the menu "&Edit" and puts it before `before` in the window's menu bar.
  EditActions(AppContext& ctx, EditorPanel& panel, QMainWindow& window, QMenu* before);

  void Menu_Undo_Click();
  void Menu_Redo_Click();
  void Menu_Compare_Click();
  void Menu_Mutate_Click();

  // One press of Mutate: the sound changed by chance, `amount` percent strong; one undo step.
  void mutate(int amount);
  // Mutations from now on draw from a generator with this seed.
  void seedMutations(std::uint64_t seed) { random_ = SeededRandom(seed); }

  // The amount F_Mutate opens with: what it was set to last.
  int mutateAmount() const { return mutateAmount_; }
  void setMutateAmount(int amount) { mutateAmount_ = amount; }

  const UndoHistory& history() const { return history_; }
  // The panel shows the reference; the window's title says so.
  bool comparing() const { return compare_.comparing(); }
  MutateDialog* mutateDialog() const;

 signals:
  void comparingChanged();

 protected:
  // The menu's shortcuts win over the same keys of a focused field (Ctrl+Z is the program's
  // undo, not the field's, and Ctrl+K compares rather than cutting the line).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void userEdited(std::size_t control, EditInput input);
  void recorded(const std::string& caption, bool makesReference);
  void takeStep(const std::optional<SoundState>& target);
  void refresh();

  AppContext& ctx_;
  EditorPanel& panel_;
  QMainWindow& window_;
  UndoHistory history_;
  CompareSwitch compare_;
  SeededRandom random_;
  QElapsedTimer clock_;
  int mutateAmount_ = 20;
  bool wasComparing_ = false;  // what comparingChanged() told last
  QAction* Menu_Undo_ = nullptr;
  QAction* Menu_Redo_ = nullptr;
  QAction* Menu_Compare_ = nullptr;
  QAction* Menu_Mutate_ = nullptr;
  QPointer<MutateDialog> mutate_;
};

// What Mutate says when the panel holds a "?" or a text that is no value.
inline constexpr std::string_view kMutateNeedsSound =
    "Every control needs a value before the sound can be mutated: set the sound first with Init sound or "
    "Open sound.";
inline constexpr std::string_view kMutateCaption = "Mutate sound";

}  // namespace rotavox
