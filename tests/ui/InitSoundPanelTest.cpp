#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "SoundSends.h"
#include "TestSupport.h"
#include "core/editor/InitSound.h"
#include "ui/editor/MainWindow.h"

namespace rotavox::test {
namespace {

// The init sound from a panel just started (every field "?", sliders at 0, no box ticked):
// each parameter's init value on its controller, in the order of the writes.
std::vector<Msg> initFromStart() {
  Sound shown = startSound();
  return sendsOfWrites(shown, initSound(), sheetControls());
}

struct InitSoundPanelTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();

  InitSoundPanelTest() { fx.openOutput(); }

  template <typename T = QWidget>
  T* get(const char* name) {
    T* w = window.findChild<T*>(name);
    if (!w) ADD_FAILURE() << "no control " << name;
    return w;
  }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
  // Every value control's content, to see that nothing changed.
  QStringList contents() {
    QStringList out;
    for (QLineEdit* e : panel.findChildren<QLineEdit*>())
      if (!e->objectName().isEmpty()) out << e->objectName() + "=" + e->text();
    for (QComboBox* b : panel.findChildren<QComboBox*>()) out << b->objectName() + "=" + b->currentText();
    for (QAbstractSlider* s : panel.findChildren<QAbstractSlider*>()) out << s->objectName() + "=" + QString::number(s->value());
    for (QCheckBox* c : panel.findChildren<QCheckBox*>()) out << c->objectName() + "=" + QString::number(c->isChecked());
    return out;
  }
};

TEST_F(InitSoundPanelTest, FromStartSendsEveryParameterInTheOrderOfItsWrites) {
  panel.InitSoundPreset();
  EXPECT_EQ(sent(), initFromStart());
  EXPECT_TRUE(fx.presenter.boxes.empty());
}

TEST_F(InitSoundPanelTest, LeavesEveryControlHoldingAValue) {
  panel.InitSoundPreset();
  EXPECT_EQ(get<QLineEdit>("TextOSC2pwm")->text(), "92");
  EXPECT_EQ(get<QLineEdit>("TextOSC1pwm")->text(), "64");
  EXPECT_EQ(get<QLineEdit>("TextOSC3pwm")->text(), "64");
  for (const char* n : {"TextOSC1fbalance", "TextOSC2fbalance", "TextOSC3fbalance"})
    EXPECT_EQ(get<QLineEdit>(n)->text(), "-64") << n;
  EXPECT_EQ(get<QComboBox>("ComboOSC1oct")->currentText(), "8\"");
  EXPECT_EQ(get<QComboBox>("ComboFilter1")->currentText(), "\\_ Lowpass 24 dB");
  EXPECT_FALSE(get<QCheckBox>("CheckOSC1mute")->isChecked());
  EXPECT_TRUE(get<QCheckBox>("CheckOSC2mute")->isChecked());
  EXPECT_TRUE(get<QCheckBox>("CheckOSC3mute")->isChecked());
  EXPECT_EQ(get<QAbstractSlider>("VScrollOSC1vol")->value(), 127);
  EXPECT_EQ(get<QAbstractSlider>("RollVolume")->value(), 110);
  EXPECT_EQ(get<QAbstractSlider>("HScrollOSC2fbalance")->value(), -64);
  for (const QString& c : contents()) EXPECT_FALSE(c.endsWith("=?")) << c.toStdString();

  window.show();
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  window.grab().save(QString("%1/editor_window_init_%2x.png").arg(ROTAVOX_SCREENSHOT_DIR).arg(window.devicePixelRatioF()));
}

// What the panel reads back by row is what the init sound wrote into each control, mute boxes
// included: the one reader of the sound file and the undo history sees the same controls the
// writer set.
TEST_F(InitSoundPanelTest, ReadsBackByRowWhatTheInitSoundWrote) {
  panel.InitSoundPreset();
  const SoundState state = panel.soundState();
  for (std::size_t i = 0; i < kValueControlCount; ++i) {
    const std::string name(controlName(kValueControls[i]));
    EXPECT_EQ(state[i], kInitSound[i].value) << name;
    QWidget* w = get(name.c_str());
    ASSERT_NE(w, nullptr);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      EXPECT_EQ(e->text().toStdString(), state[i]) << name;
    } else if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
      EXPECT_EQ(std::to_string(s->value()), state[i]) << name;
    }
  }
  panel.write(muteBoxOf(Param::VScrollOSC1vol), "1");
  EXPECT_TRUE(get<QCheckBox>("CheckOSC1mute")->isChecked());
  EXPECT_EQ(panel.shown(muteBoxOf(Param::VScrollOSC1vol)), "1");
}

// Over a sound that was edited: a volume slider moved while its box was ticked sends twice and
// unticks; a control that shows its init value already sends nothing.
TEST_F(InitSoundPanelTest, OverAnEditedSoundTheVolumesAndMutesInteract) {
  get<QAbstractSlider>("VScrollOSC1vol")->setValue(30);
  get<QCheckBox>("CheckOSC1mute")->setChecked(true);
  get<QAbstractSlider>("VScrollOSC2vol")->setValue(50);
  panel.InitSoundPreset();
  clear();
  get<QAbstractSlider>("VScrollOSC1vol")->setValue(30);
  get<QCheckBox>("CheckOSC1mute")->setChecked(true);
  get<QAbstractSlider>("VScrollOSC2vol")->setValue(50);  // unticks box 2
  get<QLineEdit>("TextF1_cutoff")->setText("3");
  clear();
  panel.InitSoundPreset();
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(52, 127), cc(52, 127),  // slider, then the unticked box
                                      cc(56, 0),                  // slider to 0 (the box is not ticked)
                                      cc(56, 0),                  // box ticked
                                      cc(69, 127)}));
}

TEST_F(InitSoundPanelTest, ButtonInitialisesWithoutAskingWhileTheVolumeShowsAQuestionMark) {
  window.show();
  QTest::mouseClick(get<QPushButton>("InitSnd"), Qt::LeftButton);
  EXPECT_TRUE(fx.presenter.boxes.empty());
  EXPECT_EQ(sent(), initFromStart());
}

TEST_F(InitSoundPanelTest, ButtonAsksOnceASoundIsSetAndCancelLeavesEverything) {
  window.show();
  get<QLineEdit>("TextVolume")->setText("90");
  get<QLineEdit>("TextOSC1pw")->setText("20");
  clear();
  const QStringList before = contents();
  fx.presenter.answers.push_back(MessageAnswer::Cancel);
  QTest::mouseClick(get<QPushButton>("InitSnd"), Qt::LeftButton);
  ASSERT_EQ(fx.presenter.boxes.size(), 1u);
  EXPECT_EQ(fx.presenter.boxes[0].text, "Are you sure to reset this sound to Waldorf init defaults?");
  EXPECT_EQ(fx.presenter.boxes[0].caption, "Confirm init");
  EXPECT_EQ(fx.presenter.boxes[0].icon, MessageIcon::Question);
  EXPECT_EQ(fx.presenter.boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(contents(), before);

  clear();
  fx.presenter.answers.push_back(MessageAnswer::Ok);
  QTest::mouseClick(get<QPushButton>("InitSnd"), Qt::LeftButton);
  EXPECT_EQ(fx.presenter.boxes.size(), 1u);
  EXPECT_EQ(get<QLineEdit>("TextVolume")->text(), "110");
  EXPECT_EQ(get<QLineEdit>("TextOSC1pw")->text(), "127");
  EXPECT_EQ(sent().front(), cc(7, 110));
}

TEST_F(InitSoundPanelTest, MenuItemNeverAsks) {
  get<QLineEdit>("TextVolume")->setText("90");
  clear();
  fx.presenter.answers.push_back(MessageAnswer::Cancel);  // would stop it, were it asked
  get<QAction>("Menu_InitW")->trigger();
  EXPECT_TRUE(fx.presenter.boxes.empty());
  EXPECT_EQ(get<QLineEdit>("TextVolume")->text(), "110");
  EXPECT_EQ(sent().size(), initFromStart().size());
}

}  // namespace
}  // namespace rotavox::test
