#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <functional>

#include "TestSupport.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/EnvelopeLine.h"
#include "ui/editor/MainWindow.h"

namespace rotavox::test {
namespace received_panel_test {

struct ReceivedPanel : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();

  ReceivedPanel() {
    fx.openOutput();
    window.setWindowTitle(windowTitleText());
    window.show();
    window.Menu_InitW_Click();
    clear();
  }
  template <typename T = QWidget>
  T* get(const char* name) {
    T* w = window.findChild<T*>(name);
    if (!w) ADD_FAILURE() << "no object " << name;
    return w;
  }
  QString text(const char* name) {
    if (auto* combo = window.findChild<QComboBox*>(name)) return combo->currentText();
    return get<QLineEdit>(name)->text();
  }
  int position(const char* name) { return get<QAbstractSlider>(name)->value(); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
  QAction* action(const char* name) { return get<QAction>(name); }
};

// One control of each kind shows the instrument's value in its own terms, with the controls
// that depend on it, and not one message leaves: no echo, and no dependent control sends.
TEST_F(ReceivedPanel, EachKindOfControlShowsTheValueAndSendsNothing) {
  const struct {
    Param row;
    int byte;
    std::function<void(ReceivedPanel&)> shows;
  } cases[] = {
      {Param::TextF1_cutoff, 100, [](ReceivedPanel& t) { EXPECT_EQ(t.text("TextF1_cutoff"), "100"); }},
      {Param::TextOSC1semi, 70,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextOSC1semi"), "6");
         EXPECT_EQ(t.position("HScrollOSC1semi"), 6) << "the mirror slider shows it too";
       }},
      {Param::TextOSC2detune, 0,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextOSC2detune"), "-64");
         EXPECT_EQ(t.position("HScrollOSC2detune"), -64);
       }},
      {Param::TextOSC3fbalance, 127,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextOSC3fbalance"), "63");
         EXPECT_EQ(t.position("HScrollOSC3fbalance"), 63);
       }},
      {Param::ComboOSC1oct, 22, [](ReceivedPanel& t) { EXPECT_EQ(t.text("ComboOSC1oct"), "64\""); }},
      {Param::ComboOSC2shape, 2, [](ReceivedPanel& t) { EXPECT_EQ(t.text("ComboOSC2shape"), "Saw"); }},
      {Param::ComboFilter2, 8, [](ReceivedPanel& t) { EXPECT_EQ(t.text("ComboFilter2"), "\\/  Notch 12 dB"); }},
      {Param::TextEnv1T1, 10,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextEnv1T1"), "10");
         EXPECT_FLOAT_EQ(t.get<EnvelopeLine>("LinieEnv1T1")->x1(), t.panel.anchors(ParamGroup::EnvAmp).attack - 60.0f)
             << "the graph follows";
       }},
      {Param::VScrollOSC1vol, 90, [](ReceivedPanel& t) { EXPECT_EQ(t.position("VScrollOSC1vol"), 90); }},
      {Param::TextFilterParSer, 1,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextFilterParSer"), "1");
         EXPECT_TRUE(t.get("ImageSeriell")->isVisible());
       }},
      {Param::TextVolume, 100,
       [](ReceivedPanel& t) {
         EXPECT_EQ(t.text("TextVolume"), "100");
         EXPECT_EQ(t.position("RollVolume"), 100);
         EXPECT_EQ(t.panel.mainVolume(), 100) << "what Control Change 7 would send next";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(parameter(c.row).control);
    panel.showReceived(c.row, c.byte);
    c.shows(*this);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(fx.presenter.boxes.empty());
  }
  panel.showReceived(Param::ComboOSC3shape, 5);
  EXPECT_EQ(text("ComboOSC3shape"), "OSC off") << "a shape the box does not list changes nothing";
  EXPECT_TRUE(sent().empty());
}

// A volume above 0 unmutes a muted oscillator; 0 moves the slider only. Neither sends.
TEST_F(ReceivedPanel, AVolumeAboveZeroUnmutesAndZeroMovesTheSliderOnly) {
  auto* box = get<QCheckBox>("CheckOSC1mute");
  panel.write(muteBoxOf(Param::VScrollOSC1vol), "1");
  clear();
  panel.showReceived(Param::VScrollOSC1vol, 0);
  EXPECT_EQ(position("VScrollOSC1vol"), 0);
  EXPECT_TRUE(box->isChecked());
  panel.showReceived(Param::VScrollOSC1vol, 50);
  EXPECT_EQ(position("VScrollOSC1vol"), 50);
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(box->palette().color(QPalette::Window), QColor(0, 192, 0));
  EXPECT_TRUE(sent().empty());
}

// Received values of one control are one undo step until another control changes; undoing it
// sends the earlier value, as any undo does.
TEST_F(ReceivedPanel, ReceivedChangesAreUndoStepsAndUndoSendsTheEarlierValue) {
  get<QLineEdit>("TextF1_cutoff")->setText("64");
  clear();
  for (int byte : {70, 71, 72}) panel.showReceived(Param::TextF1_cutoff, byte);
  panel.showReceived(Param::TextF1_reso, 5);
  EXPECT_TRUE(sent().empty());
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(70, 0)});
  clear();
  EXPECT_EQ(action("Menu_Undo")->text(), "&Undo Cutoff (Filter 1)");
  action("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 64)}) << "the three received values were one step";
  EXPECT_EQ(text("TextF1_cutoff"), "64");
  clear();
  action("Menu_Redo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 72)});
}

// A value the control shows already is no change: no step, and a comparison goes on.
TEST_F(ReceivedPanel, AReceivedChangeEndsAComparisonAsATouchedControlDoes) {
  get<QLineEdit>("TextF1_cutoff")->setText("30");
  action("Menu_Compare")->trigger();
  ASSERT_TRUE(action("Menu_Compare")->isChecked());
  EXPECT_TRUE(window.windowTitle().endsWith(" [compare]"));
  panel.showReceived(Param::TextF1_cutoff, 127);  // the reference shows 127 already
  EXPECT_TRUE(action("Menu_Compare")->isChecked());
  clear();
  panel.showReceived(Param::TextF1_reso, 9);
  EXPECT_FALSE(action("Menu_Compare")->isChecked());
  EXPECT_EQ(window.windowTitle(), windowTitleText());
  EXPECT_EQ(text("TextF1_cutoff"), "127") << "the reference, with the received change, is the edit now";
  EXPECT_EQ(text("TextF1_reso"), "9");
  EXPECT_TRUE(sent().empty());
  action("Menu_Undo")->trigger();
  EXPECT_EQ(text("TextF1_cutoff"), "30") << "undo brings the edit from before back";
}

}  // namespace received_panel_test
}  // namespace rotavox::test
