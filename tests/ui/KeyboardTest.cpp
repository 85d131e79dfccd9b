#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "TestSupport.h"
#include "core/editor/ParameterTable.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using test::cc;
using test::child;

struct KeyboardTest : ::testing::Test {
  test::MidiFixture f;
  MainWindow window{f.ctx};

  void SetUp() override {
    f.openOutput();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  // The object names the Tab key visits, from the given control on, until it comes back.
  QStringList tabChain(const char* from) {
    QWidget* start = child<QWidget>(&window, from);
    start->setFocus(Qt::TabFocusReason);
    QStringList names;
    for (int i = 0; i < 400 && QApplication::focusWidget(); ++i) {
      names << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      if (QApplication::focusWidget() == start) break;
    }
    return names;
  }
};

TEST_F(KeyboardTest, EveryControlReachableByTabHasAName) {
  int checked = 0;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || !(w->focusPolicy() & Qt::TabFocus)) continue;
    // The edit line of a selector is part of its box, which carries the name.
    if (qobject_cast<QComboBox*>(w->parentWidget())) continue;
    const bool named = !w->accessibleName().isEmpty() ||
                       (qobject_cast<QAbstractButton*>(w) && !qobject_cast<QAbstractButton*>(w)->text().isEmpty());
    EXPECT_TRUE(named) << w->metaObject()->className() << " " << w->objectName().toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 80);
}

TEST_F(KeyboardTest, TabWalksTheGroupsInPanelOrderAndReachesEveryControl) {
  const QStringList chain = tabChain("ComboFilter1");
  SCOPED_TRACE(chain.join(' ').toStdString());
  auto at = [&](const char* name) {
    const qsizetype i = chain.indexOf(QString::fromLatin1(name));
    EXPECT_GE(i, 0) << name << " is never reached by Tab";
    return i;
  };
  // Within a knob cell the knob comes before the field below it.
  EXPECT_LT(at("knobF1_cutoff"), at("TextF1_cutoff"));
  const char* order[] = {"ComboFilter1", "ResetFilter1", "TextF1_envvol", "ComboFilter2", "TextF2_envvel",
                         "ImageParallel", "ComboOSC1oct", "CheckOSC1mute", "ComboOSC2oct", "ComboOSC3oct",
                         "TextEnv1T1",   "TextEnv1T3",   "TextEnv2T1",   "TextEnv2T3",  "TextVolume",
                         "RollVolume"};
  for (std::size_t i = 1; i < std::size(order); ++i) EXPECT_LT(at(order[i - 1]), at(order[i])) << order[i];
  for (const Parameter& p : kParameters) {
    if (p.kind == ParamKind::Routing) continue;
    at(std::string(p.control).c_str());
    if (hasKnob(p)) at(std::string(p.companion).c_str());
  }
  EXPECT_LT(chain.indexOf("TextFilterParSer"), 0) << "the hidden routing field takes no focus";
}

TEST_F(KeyboardTest, SpaceOnTheRoutingPictureSwitchesTheRoutingAndKeepsTheFocus) {
  child<QLineEdit>(&window, "TextFilterParSer")->setText("0");
  f.service.clearRecords();
  QWidget* parallel = child<QWidget>(&window, "ImageParallel");
  parallel->setFocus(Qt::TabFocusReason);
  QTest::keyClick(parallel, Qt::Key_Space);
  EXPECT_EQ(test::decode(f.service.delivered()), std::vector<test::Msg>{cc(67, 1)});
  EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(&window, "ImageSeriell"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(test::decode(f.service.delivered()), (std::vector<test::Msg>{cc(67, 1), cc(67, 0)}));
}

}  // namespace
}  // namespace rotavox
