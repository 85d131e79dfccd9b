#include "ui/editor/EditActions.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRandomGenerator>
#include <vector>

#include "core/editor/SelectorItems.h"
#include "ui/common/QtText.h"
#include "ui/common/ShowOrRaise.h"
#include "ui/editor/EditorPanel.h"
#include "ui/editor/MainWindow.h"
#include "ui/editor/MutateDialog.h"

namespace rotavox {

namespace {

// A menu caption shows "&" as the access key; a step's own "&" (in a file name) stays a "&".
QString menuText(std::string_view lead, std::string_view step) {
  QString text = qs(lead);
  if (!step.empty()) text += " " + qs(step).replace("&", "&&");
  return text;
}

}  // namespace

EditActions::EditActions(AppContext& ctx, EditorPanel& panel, QMainWindow& window, QMenu* before)
    : QObject(&window),
      ctx_(ctx),
      panel_(panel),
      window_(window),
      history_(panel.soundState()),
      random_(QRandomGenerator::global()->generate64()) {
  setObjectName("EditActions");
  clock_.start();

  auto* menu = new QMenu("&Edit", &window);
  menu->setObjectName("Menu_Edit");
  window.menuBar()->insertMenu(before ? before->menuAction() : nullptr, menu);
  auto item = [&](const char* name, const char* caption, QList<QKeySequence> keys, void (EditActions::*handler)()) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    a->setShortcuts(keys);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  Menu_Undo_ = item("Menu_Undo", "&Undo", {QKeySequence("Ctrl+Z")}, &EditActions::Menu_Undo_Click);
  Menu_Redo_ = item("Menu_Redo", "&Redo", {QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")},
                    &EditActions::Menu_Redo_Click);
  menu->addSeparator();
  Menu_Compare_ = item("Menu_Compare", "&Compare with reference", {QKeySequence("Ctrl+K")},
                       &EditActions::Menu_Compare_Click);
  Menu_Compare_->setCheckable(true);
  Menu_Mutate_ = item("Menu_Mutate", "&Mutate sound\u2026", {QKeySequence("Ctrl+M")}, &EditActions::Menu_Mutate_Click);

  connect(&panel, &EditorPanel::userEdited, this, &EditActions::userEdited);
  connect(&panel, &EditorPanel::gestureEnded, this, [this] { history_.endGesture(); });
  connect(&panel, &EditorPanel::soundInitialised, this, [this] { recorded("Init sound", true); });
  connect(&panel, &EditorPanel::filterWasReset, this, [this](ParamGroup filter) {
    recorded("Reset to standard (" + std::string(groupTitle(filter)) + ")", false);
  });
  connect(&panel, &EditorPanel::soundFileLoaded, this, [this](const QString& path, bool complete) {
    recorded("Load " + QFileInfo(path).fileName().toStdString(), complete);
  });
  connect(&panel, &EditorPanel::soundForgotten, this, [this](const QString& caption) {
    recorded(caption.toStdString(), false);
  });
  connect(&panel, &EditorPanel::soundFileSaved, this, [this] {
    compare_.setReference(panel_.soundState());
    refresh();
  });
  for (QWidget* w : panel.findChildren<QWidget*>())
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) w->installEventFilter(this);
  refresh();
}

void EditActions::userEdited(std::size_t control, EditInput input) {
  const ValueControl c = kValueControls[control];
  // Touching a control ends a comparison: the reference, with this change, is the edit now. A
  // value from the instrument does the same.
  compare_.end();
  std::vector<ControlValue> values{{valueIndex({c.row}), panel_.shown({c.row})}};
  if (parameter(c.row).kind == ParamKind::Volume)
    values.push_back({valueIndex(muteBoxOf(c.row)), panel_.shown(muteBoxOf(c.row))});
  history_.edited(control, input, values, clock_.elapsed(), controlCaption(c));
  refresh();
}

void EditActions::recorded(const std::string& caption, bool makesReference) {
  const SoundState now = panel_.soundState();
  compare_.end();
  history_.recorded(caption, now);
  if (makesReference) compare_.setReference(now);
  refresh();
}

void EditActions::Menu_Undo_Click() { takeStep(history_.undo()); }

void EditActions::Menu_Redo_Click() { takeStep(history_.redo()); }

// Shows the sound an undo or redo leads to; a comparison ends with it.
void EditActions::takeStep(const std::optional<SoundState>& target) {
  if (!target) return;
  compare_.end();
  panel_.putBack(*target);
  refresh();
}

void EditActions::Menu_Compare_Click() {
  const auto target = compare_.toggle(history_.edit());
  if (target) {
    history_.showing(*target);
    panel_.putBack(*target);
  }
  refresh();
}

void EditActions::Menu_Mutate_Click() {
  showOrRaise(mutate_, [this] { return new MutateDialog(*this, &window_); });
}

MutateDialog* EditActions::mutateDialog() const { return mutate_; }

void EditActions::mutate(int amount) {
  const SoundState shown = panel_.soundState();
  if (!canMutate(shown)) {
    ctx_.presenter.show(std::string(kMutateNeedsSound), std::string(kMutateCaption), MessageIcon::Warning,
                        MessageButtons::Ok);
    return;
  }
  panel_.putBack(mutateSound(shown, amount, random_));
  recorded("Mutate", false);
}

void EditActions::refresh() {
  Menu_Undo_->setEnabled(history_.canUndo());
  Menu_Undo_->setText(menuText("&Undo", history_.undoCaption()));
  Menu_Redo_->setEnabled(history_.canRedo());
  Menu_Redo_->setText(menuText("&Redo", history_.redoCaption()));
  Menu_Compare_->setEnabled(compare_.available());
  Menu_Compare_->setChecked(compare_.comparing());
  if (compare_.comparing() != wasComparing_) {
    wasComparing_ = compare_.comparing();
    emit comparingChanged();
  }
}

bool EditActions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QAction* a : {Menu_Undo_, Menu_Redo_, Menu_Compare_, Menu_Mutate_})
      if (a->shortcuts().contains(pressed)) return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace rotavox
