#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "TestSupport.h"
#include "core/editor/InitSound.h"
#include "ui/common/KnobWidget.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/MainWindow.h"
#include "ui/editor/MutateDialog.h"

namespace rotavox::test {
namespace {

struct EditMenuTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();

  EditMenuTest() {
    fx.openOutput();
    window.setWindowTitle(windowTitleText());
    window.show();
  }

  template <typename T = QWidget>
  T* get(const char* name) {
    T* w = window.findChild<T*>(name);
    if (!w) ADD_FAILURE() << "no object " << name;
    return w;
  }
  QAction* action(const char* name) { return get<QAction>(name); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
  // What the menu shows: caption, availability and shortcuts.
  std::string look(const char* name) {
    QAction* a = action(name);
    QStringList keys;
    for (const QKeySequence& k : a->shortcuts()) keys << k.toString();
    return a->text().toStdString() + (a->isEnabled() ? "" : " [off]") + " " + keys.join(",").toStdString();
  }
  // A drag of `steps` mouse moves up on the knob's left half, from press to release.
  void dragUp(const char* knobName, int steps) {
    auto* knob = get<KnobWidget>(knobName);
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(10, 30));
    for (int i = 1; i <= steps; ++i) moveHeld(knob, QPointF(10, 30 - i));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(10, 30 - steps));
  }
  QStringList fieldTexts() {
    QStringList out;
    for (const ValueControl& c : kValueControls) out << QString::fromStdString(panel.shown(c));
    return out;
  }
};

TEST_F(EditMenuTest, EditMenuStandsBetweenFileAndMidiAndTheAdditionsEndTheMidiMenu) {
  QStringList top;
  for (QAction* a : window.menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, (QStringList{"&File", "&Edit", "&Midi", "&About"}));
  QStringList edit, midi;
  for (QAction* a : get<QMenu>("Menu_Edit")->actions())
    if (!a->isSeparator()) edit << a->objectName();
  for (QAction* a : get<QMenu>("Menu_Options")->actions()) midi << a->objectName();
  EXPECT_EQ(edit, (QStringList{"Menu_Undo", "Menu_Redo", "Menu_Compare", "Menu_Mutate"}));
  EXPECT_EQ(midi, (QStringList{"Menu_InitW", "Menu_InitK", "Menu_Panic", "Menu_Sequenzer", "Menu_StartSequenzer",
                               "Menu_Midisettings", "Menu_Monitor", "Menu_Follow", "Menu_Program"}));
  const std::pair<const char*, const char*> looks[] = {
      {"Menu_Undo", "&Undo [off] Ctrl+Z"},
      {"Menu_Redo", "&Redo [off] Ctrl+Shift+Z,Ctrl+Y"},
      {"Menu_Compare", "&Compare with reference [off] Ctrl+K"},
      {"Menu_Mutate", "&Mutate sound\u2026 Ctrl+M"},
      {"Menu_Monitor", "MIDI &monitor Ctrl+Shift+M"},
      {"Menu_Follow", "&Follow the instrument\u2026 "},
      {"Menu_Program", "&Program on the instrument\u2026 "},
  };
  for (const auto& [name, text] : looks) EXPECT_EQ(look(name), text);
  EXPECT_TRUE(action("Menu_Compare")->isCheckable());
}

// A knob drag of five steps is one step: Undo sends the one Control Change back to the start
// value, Redo the end value.
TEST_F(EditMenuTest, UndoAndRedoOfAKnobDrag) {
  get<QLineEdit>("TextF1_cutoff")->setText("64");
  get<QLineEdit>("TextF1_reso")->setText("3");  // another control: the typing above is a step of its own
  clear();
  dragUp("knobF1_cutoff", 5);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(69, 65), cc(69, 66), cc(69, 67), cc(69, 68), cc(69, 69)}));
  EXPECT_EQ(look("Menu_Undo"), "&Undo Cutoff (Filter 1) Ctrl+Z");
  clear();
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 64)});
  EXPECT_EQ(get<QLineEdit>("TextF1_cutoff")->text(), "64");
  EXPECT_EQ(look("Menu_Undo"), "&Undo Reso (Filter 1) Ctrl+Z");
  EXPECT_EQ(look("Menu_Redo"), "&Redo Cutoff (Filter 1) Ctrl+Shift+Z,Ctrl+Y");
  clear();
  action("Menu_Redo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 69)});
  EXPECT_EQ(look("Menu_Redo"), "&Redo [off] Ctrl+Shift+Z,Ctrl+Y");
}

// Ctrl+Z in a focused field is the program's undo, not the field's own.
TEST_F(EditMenuTest, TheShortcutsWinOverAFocusedField) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto* reso = get<QLineEdit>("TextF1_reso");
  reso->setFocus();
  reso->selectAll();
  QTest::keyClicks(reso, "12");
  EXPECT_EQ(reso->text(), "12");
  get<QLineEdit>("TextF2_reso")->setFocus();  // the focus leaves: the typing is one step
  clear();
  QTest::keyClick(get<QLineEdit>("TextF2_reso"), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(reso->text(), "?");
  EXPECT_TRUE(sent().empty()) << "a field back at ? sends nothing";
  QTest::keyClick(get<QLineEdit>("TextF2_reso"), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(reso->text(), "12");
  EXPECT_EQ(sent(), std::vector<Msg>{cc(70, 12)});
}

// Undoing the init sound puts every field and selector back to "?" without a message; of the
// oscillator volumes only the one whose level changes sends: oscillator 1 goes back to 0,
// while 2 and 3, muted at 0, stay silent. Redo is the init again, less those two mutes.
TEST_F(EditMenuTest, UndoOfTheInitSoundShowsTheStartTextsAgain) {
  const QStringList start = fieldTexts();
  window.Menu_InitW_Click();
  EXPECT_EQ(look("Menu_Undo"), "&Undo Init sound Ctrl+Z");
  const std::vector<Msg> init = sent();
  clear();
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(52, 0)}));
  EXPECT_EQ(fieldTexts(), start);
  EXPECT_EQ(get<QComboBox>("ComboFilter1")->currentText(), "?");
  EXPECT_TRUE(fx.presenter.boxes.empty()) << "a selector back at ? is no wrong item";
  clear();
  action("Menu_Redo")->trigger();
  std::vector<Msg> redo = init;
  std::erase_if(redo, [](const Msg& m) { return m == cc(56, 0) || m == cc(58, 0); });
  EXPECT_EQ(redo.size(), init.size() - 2);
  EXPECT_EQ(sent(), redo);
}

TEST_F(EditMenuTest, CompareShowsTheReferenceAndBackSendingOnlyWhatDiffers) {
  EXPECT_FALSE(action("Menu_Compare")->isEnabled()) << "no reference before a load, save or init";
  window.Menu_InitW_Click();
  get<QLineEdit>("TextF1_cutoff")->setText("100");
  clear();
  action("Menu_Compare")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 127)});
  EXPECT_TRUE(action("Menu_Compare")->isChecked());
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [compare]");
  clear();
  action("Menu_Compare")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 100)});
  EXPECT_FALSE(action("Menu_Compare")->isChecked());
  EXPECT_EQ(window.windowTitle(), windowTitleText());
}

// Touching a control while comparing: the reference, with that change, is the edit; the edit
// from before is one Undo away.
TEST_F(EditMenuTest, TouchingAControlWhileComparingKeepsTheReferenceAndUndoBringsTheEditBack) {
  window.Menu_InitW_Click();
  get<QLineEdit>("TextF1_cutoff")->setText("100");
  get<QLineEdit>("TextOSC1pw")->setText("20");
  action("Menu_Compare")->trigger();
  clear();
  get<QCheckBox>("CheckOSC1mute")->setChecked(true);
  EXPECT_EQ(sent(), std::vector<Msg>{cc(52, 0)});
  EXPECT_FALSE(action("Menu_Compare")->isChecked());
  EXPECT_EQ(window.windowTitle(), windowTitleText());
  EXPECT_EQ(get<QLineEdit>("TextF1_cutoff")->text(), "127");
  EXPECT_EQ(look("Menu_Undo"), "&Undo Mute (OSC 1) Ctrl+Z");
  clear();
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(33, 20), cc(52, 127), cc(69, 100)}));
  EXPECT_FALSE(get<QCheckBox>("CheckOSC1mute")->isChecked());
}

TEST_F(EditMenuTest, MutateDialogAsksForAWholeSoundFirst) {
  action("Menu_Mutate")->trigger();
  auto* dialog = get<MutateDialog>("F_Mutate");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Mutate sound");
  EXPECT_EQ(get<QPushButton>("C_Mutate")->text(), "&Mutate");
  EXPECT_EQ(get<QPushButton>("C_MutateClose")->text(), "Close");
  EXPECT_EQ(get<QLineEdit>("TextAmount")->text(), "20");
  EXPECT_EQ(get<QScrollBar>("HScrollAmount")->value(), 20);
  get<QScrollBar>("HScrollAmount")->setValue(35);
  EXPECT_EQ(get<QLineEdit>("TextAmount")->text(), "35");
  get<QLineEdit>("TextAmount")->setText("101");
  EXPECT_FALSE(get<QPushButton>("C_Mutate")->isEnabled()) << "1 to 100 only";
  get<QLineEdit>("TextAmount")->setText("50");
  EXPECT_EQ(get<QScrollBar>("HScrollAmount")->value(), 50);
  clear();
  QTest::mouseClick(get<QPushButton>("C_Mutate"), Qt::LeftButton);
  ASSERT_EQ(fx.presenter.boxes.size(), 1u);
  EXPECT_EQ(fx.presenter.boxes[0].text, kMutateNeedsSound);
  EXPECT_EQ(fx.presenter.boxes[0].caption, kMutateCaption);
  EXPECT_TRUE(sent().empty());
  EXPECT_FALSE(action("Menu_Undo")->isEnabled());
}

// One press changes the sound by chance: the instrument hears one Control Change for each
// control that changed, as its change handling sends it, and one Undo sends them all back.
TEST_F(EditMenuTest, MutateSendsWhatChangedAndIsOneUndoStep) {
  window.Menu_InitW_Click();
  get<QCheckBox>("CheckOSC2mute")->setChecked(false);  // oscillator 2 plays: its volume may move
  const SoundState before = panel.soundState();
  window.editActions()->seedMutations(20240611);
  action("Menu_Mutate")->trigger();
  get<QLineEdit>("TextAmount")->setText("60");
  clear();
  QTest::mouseClick(get<QPushButton>("C_Mutate"), Qt::LeftButton);
  const SoundState after = panel.soundState();
  std::vector<Msg> expected, back;
  int changed = 0;
  for (std::size_t i = 0; i < kValueControlCount; ++i) {
    const ValueControl c = kValueControls[i];
    const std::string name(controlName(c));
    if (c.muteBox || name == "TextVolume" || name == "VScrollOSC3vol") {
      EXPECT_EQ(after[i], before[i]) << name << " must not move";
      continue;
    }
    if (after[i] == before[i]) continue;
    ++changed;
    const Parameter& p = parameter(c.row);
    expected.push_back(cc(p.cc, readField(p, after[i]).byte));
    back.push_back(cc(p.cc, readField(p, before[i]).byte));
  }
  EXPECT_GT(changed, 10) << "60 % changes many controls";
  EXPECT_EQ(sent(), expected);
  EXPECT_TRUE(fx.presenter.boxes.empty());
  EXPECT_EQ(look("Menu_Undo"), "&Undo Mutate Ctrl+Z");
  clear();
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), back);
  EXPECT_EQ(panel.soundState(), before);
}

}  // namespace
}  // namespace rotavox::test
