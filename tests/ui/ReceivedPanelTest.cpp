#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "TestSupport.h"
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
    fx.service.clearRecords();
  }
  // A field's or selector's text, a slider's position, a mute box's state, a picture's view.
  QString shows(const char* name) {
    QObject* o = window.findChild<QObject*>(name);
    if (auto* w = qobject_cast<QComboBox*>(o)) return w->currentText();
    if (auto* w = qobject_cast<QLineEdit*>(o)) return w->text();
    if (auto* w = qobject_cast<QCheckBox*>(o)) return w->isChecked() ? "ticked" : "not ticked";
    if (auto* w = qobject_cast<QAbstractSlider*>(o)) return QString::number(w->value());
    if (auto* w = qobject_cast<QWidget*>(o)) return w->isVisible() ? "visible" : "hidden";
    return "no object " + QString(name);
  }
};

// One control of each kind shows the instrument's value in its own terms, with the controls
// that depend on it, and not one message leaves: no echo, and no dependent control sends.
TEST_F(ReceivedPanel, EachKindOfControlShowsTheValueAndNothingIsSent) {
  panel.write(muteBoxOf(Param::VScrollOSC2vol), "1");
  panel.write(muteBoxOf(Param::VScrollOSC3vol), "1");
  fx.service.clearRecords();
  const struct {
    Param row;
    int byte;
    std::vector<std::pair<const char*, const char*>> shows;
  } cases[] = {
      {Param::TextF1_cutoff, 100, {{"TextF1_cutoff", "100"}}},
      {Param::TextOSC1semi, 70, {{"TextOSC1semi", "6"}, {"HScrollOSC1semi", "6"}}},
      {Param::ComboOSC2shape, 2, {{"ComboOSC2shape", "Saw"}}},
      {Param::ComboOSC3shape, 5, {{"ComboOSC3shape", "OSC off"}}},  // a wave the box does not list
      {Param::TextEnv1T1, 10, {{"TextEnv1T1", "10"}}},
      {Param::VScrollOSC2vol, 0, {{"VScrollOSC2vol", "0"}, {"CheckOSC2mute", "ticked"}}},
      {Param::VScrollOSC3vol, 50, {{"VScrollOSC3vol", "50"}, {"CheckOSC3mute", "not ticked"}}},
      {Param::TextFilterParSer, 1, {{"TextFilterParSer", "1"}, {"ImageSeriell", "visible"}}},
      {Param::TextVolume, 100, {{"TextVolume", "100"}, {"RollVolume", "100"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(parameter(c.row).control);
    panel.showReceived(c.row, c.byte);
    for (const auto& [name, text] : c.shows) EXPECT_EQ(shows(name), QString::fromUtf8(text)) << name;
    EXPECT_TRUE(fx.service.delivered().empty());
  }
  EXPECT_FLOAT_EQ(window.findChild<EnvelopeLine*>("LinieEnv1T1")->x1(), panel.anchors(ParamGroup::EnvAmp).attack - 60)
      << "the attack line follows its field";
  EXPECT_EQ(panel.mainVolume(), 100) << "what Control Change 7 sends next";
  EXPECT_EQ(window.findChild<QCheckBox*>("CheckOSC3mute")->palette().color(QPalette::Window), QColor(0, 192, 0));
  EXPECT_TRUE(fx.presenter.boxes.empty());
}

}  // namespace received_panel_test
}  // namespace rotavox::test
