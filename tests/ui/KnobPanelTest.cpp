#include <gtest/gtest.h>

#include <QLineEdit>
#include <algorithm>
#include <QTest>

#include "TestSupport.h"
#include "support/ParameterSheet.h"
#include "core/editor/ParameterTable.h"
#include "ui/common/KnobWidget.h"

namespace rotavox::test {
namespace {

struct KnobPanelTest : ::testing::Test, PanelFixture {
  KnobPanelTest() { panel.show(); }

  // Press on the left half, then one move up: one step clockwise.
  void turnUpOnLeftHalf(KnobWidget* knob) {
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(10, 22));
    moveHeld(knob, QPointF(10, 21));
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(10, 21));
  }
};

TEST_F(KnobPanelTest, AmpAttackKnobStepMovesTheLineAndSends) {
  get<QLineEdit>("TextEnv1T1")->setText("10");
  EXPECT_EQ(panel.findChild<QObject*>("LinieEnv1T1")->property("x1").toDouble(), 775);
  clear();
  turnUpOnLeftHalf(get<KnobWidget>("knobEnvAmp1"));
  EXPECT_EQ(get<QLineEdit>("TextEnv1T1")->text(), "11");
  EXPECT_EQ(panel.findChild<QObject*>("LinieEnv1T1")->property("x1").toDouble(), 769);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(101, 11)}));
  EXPECT_EQ(fx.ctx.knob.KnobDragging, 0);
}

// Every knob turns its own field, within 0 and 127, and that field sends on its controller.
TEST_F(KnobPanelTest, EveryKnobTurnsItsOwnField) {
  int knobs = 0;
  for (const Parameter& p : kParameters) {
    if (!hasKnob(p)) continue;
    ++knobs;
    SCOPED_TRACE(std::string(p.companion));
    auto* knob = panel.findChild<KnobWidget*>(QString::fromUtf8(p.companion.data(), p.companion.size()));
    ASSERT_NE(knob, nullptr);
    auto* field = panel.findChild<QLineEdit*>(QString::fromUtf8(p.control.data(), p.control.size()));
    EXPECT_EQ(knob->field(), field);
    EXPECT_EQ(knob->bounds().lower, 0);
    EXPECT_EQ(knob->bounds().upper, 127);
    EXPECT_EQ(knob->size(), QSize(40, 44));
    // Beside its field: in the same group, just above it.
    EXPECT_EQ(knob->parentWidget(), field->parentWidget());
    EXPECT_LE(std::abs(knob->geometry().center().x() - field->geometry().center().x()), 1);
    EXPECT_LE(field->geometry().top() - knob->geometry().bottom(), 4);
    field->setText("126");
    clear();
    turnUpOnLeftHalf(knob);
    turnUpOnLeftHalf(knob);  // at 127: nothing more
    EXPECT_EQ(field->text(), "127");
    EXPECT_EQ(sent(), (std::vector<Msg>{cc(p.cc, 127)}));
  }
  EXPECT_EQ(knobs, std::count_if(kSheet.begin(), kSheet.end(), [](const SheetRow& r) { return test::hasKnob(r); }));
}

// All knobs of the panel share one remembered pointer height: a press on one knob and a move
// on another compare with the same height.
TEST_F(KnobPanelTest, KnobsShareOneLastPosition) {
  get<QLineEdit>("TextF1_cutoff")->setText("64");
  get<QLineEdit>("TextF2_cutoff")->setText("64");
  clear();
  QTest::mousePress(get<KnobWidget>("knobF1_cutoff"), Qt::LeftButton, {}, QPoint(10, 30));
  QTest::mouseRelease(get<KnobWidget>("knobF1_cutoff"), Qt::LeftButton, {}, QPoint(10, 30));
  // A drag begun elsewhere: the flag is on, the height is the one the first knob left.
  fx.ctx.knob.KnobDragging = -1;
  moveHeld(get<KnobWidget>("knobF2_cutoff"), QPointF(10, 25));
  EXPECT_EQ(get<QLineEdit>("TextF2_cutoff")->text(), "65");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(80, 65)}));
}

}  // namespace
}  // namespace rotavox::test
