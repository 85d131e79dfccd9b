#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "TestSupport.h"

namespace rotavox::test {
namespace {

struct EnvelopeGraphTest : ::testing::Test, PanelFixture {
  EnvelopeGraphTest() { panel.show(); }

  QLineEdit* field(const char* name) { return get<QLineEdit>(name); }
  QObject* line(const char* name) {
    QObject* l = panel.findChild<QObject*>(name);
    if (!l) ADD_FAILURE() << "no line " << name;
    return l;
  }
  double end(const char* name, const char* coordinate) { return line(name)->property(coordinate).toDouble(); }
  // A field set from the program (as a knob, a file or the init sound would), records cleared.
  void preset(const char* name, const char* text) {
    field(name)->setText(text);
    clear();
  }
  void clickInto(const char* name) { QTest::mouseClick(field(name), Qt::LeftButton, {}, QPoint(5, 5)); }
};

TEST_F(EnvelopeGraphTest, LinesStandAsDesignedWithTheirColours) {
  struct Line {
    const char* name;
    double x1, y1, x2, y2;
    QColor color;
  };
  const QColor blue(0, 0, 192), purple(128, 0, 128);
  const Line lines[] = {
      {"LinieEnv1T1", 360, 6485, 835, 6015, blue},    {"LinieEnv1T2", 825, 6015, 1425, 6255, blue},
      {"LinieEnv1L2", 1425, 6255, 2145, 6255, purple}, {"LinieEnv1T3", 2145, 6255, 2625, 6485, blue},
      {"LinieEnv2T1", 3345, 6485, 3825, 6015, blue},  {"LinieEnv2T2", 3825, 6015, 4425, 6255, blue},
      {"LinieEnv2L2", 4425, 6255, 5145, 6255, purple}, {"LinieEnv2T3", 5145, 6255, 5625, 6485, blue},
  };
  for (const Line& l : lines) {
    SCOPED_TRACE(l.name);
    EXPECT_EQ(end(l.name, "x1"), l.x1);
    EXPECT_EQ(end(l.name, "y1"), l.y1);
    EXPECT_EQ(end(l.name, "x2"), l.x2);
    EXPECT_EQ(end(l.name, "y2"), l.y2);
    EXPECT_EQ(line(l.name)->property("color").value<QColor>(), l.color);
  }
  for (const char* f : {"TextEnv1T1", "TextEnv1T2", "TextEnv1L2", "TextEnv1T3", "TextEnv2T1", "TextEnv2T2",
                        "TextEnv2L2", "TextEnv2T3"})
    EXPECT_EQ(field(f)->text(), "?");
  EXPECT_EQ(panel.envClickValue(), 0);
}

TEST_F(EnvelopeGraphTest, EmptyingFilterDecayWritesZeroDrawsAVerticalDecayAndSendsTwice) {
  preset("TextEnv2T2", "20");
  EXPECT_EQ(end("LinieEnv2T2", "x2"), 3825 + 120);
  field("TextEnv2T2")->setText("");
  EXPECT_EQ(field("TextEnv2T2")->text(), "0");
  EXPECT_EQ(end("LinieEnv2T2", "x2"), 3825);
  EXPECT_EQ(end("LinieEnv2T2", "x1"), 3825);
  EXPECT_EQ(end("LinieEnv2L2", "x1"), 3825);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(96, 0), cc(96, 0)}));
}

TEST_F(EnvelopeGraphTest, ClickThenTyping300OverSustainPutsTheClickedValueBack) {
  preset("TextEnv1L2", "80");
  clickInto("TextEnv1L2");
  EXPECT_EQ(panel.envClickValue(), 80);
  field("TextEnv1L2")->selectAll();
  QTest::keyClick(field("TextEnv1L2"), Qt::Key_3);
  EXPECT_EQ(end("LinieEnv1L2", "y1"), 6446);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(103, 3)}));
  QTest::keyClick(field("TextEnv1L2"), Qt::Key_0);
  EXPECT_EQ(end("LinieEnv1L2", "y1"), 6365);
  QTest::keyClick(field("TextEnv1L2"), Qt::Key_0);
  EXPECT_EQ(field("TextEnv1L2")->text(), "80");
  for (const char* l : {"LinieEnv1L2"}) {
    EXPECT_EQ(end(l, "y1"), 6215);
    EXPECT_EQ(end(l, "y2"), 6215);
  }
  EXPECT_EQ(end("LinieEnv1T2", "y2"), 6215);
  EXPECT_EQ(end("LinieEnv1T3", "y1"), 6215);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(103, 3), cc(103, 30), cc(103, 80), cc(103, 80)}));
}

TEST_F(EnvelopeGraphTest, ANegativeAttackFromAFileTakesTheClickValue) {
  preset("TextEnv2T3", "42");
  clickInto("TextEnv2T3");
  preset("TextEnv1T1", "10");
  field("TextEnv1T1")->setText("-3");
  EXPECT_EQ(field("TextEnv1T1")->text(), "42");
  EXPECT_EQ(end("LinieEnv1T1", "x1"), 835 - 6 * 42);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(101, 42), cc(101, 42)}));
}

TEST_F(EnvelopeGraphTest, ReleaseEndsAt2907For127AndStandsVerticalFor0) {
  field("TextEnv1T3")->setText("127");
  EXPECT_EQ(end("LinieEnv1T3", "x2"), 2907);
  field("TextEnv1T3")->setText("0");
  EXPECT_EQ(end("LinieEnv1T3", "x2"), 2145);
  EXPECT_EQ(end("LinieEnv1T3", "x1"), 2145);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(106, 127), cc(106, 0)}));
}

TEST_F(EnvelopeGraphTest, OnlyAMouseClickSetsTheClickValueWhicheverFieldWasClickedLast) {
  preset("TextEnv2T1", "20");
  preset("TextEnv1T2", "50");
  clickInto("TextEnv2T1");
  EXPECT_EQ(panel.envClickValue(), 20);
  clickInto("TextEnv1T2");
  EXPECT_EQ(panel.envClickValue(), 50);
  // Reached with the keyboard: the click value stays the other field's.
  field("TextEnv2T1")->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(panel.envClickValue(), 50);
  field("TextEnv2T1")->setText("200");
  EXPECT_EQ(field("TextEnv2T1")->text(), "50");
  EXPECT_EQ(end("LinieEnv2T1", "x1"), 3825 - 300);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(95, 50), cc(95, 50)}));
}

TEST_F(EnvelopeGraphTest, AClickIntoAFieldWithoutANumberKeepsTheEarlierValue) {
  preset("TextEnv1T1", "33");
  clickInto("TextEnv1T1");
  clickInto("TextEnv2L2");  // still "?"
  EXPECT_EQ(panel.envClickValue(), 33);
}

TEST_F(EnvelopeGraphTest, TextWithAFractionOrTrailingLettersIsCorrectedBeforeSending) {
  field("TextEnv2L2")->setText("12x");
  EXPECT_EQ(field("TextEnv2L2")->text(), "12");
  EXPECT_EQ(end("LinieEnv2L2", "y1"), 6455 - 36);
  clear();
  field("TextEnv2L2")->setText("12.5");
  EXPECT_EQ(field("TextEnv2L2")->text(), "12");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(97, 12), cc(97, 12)}));
}

TEST_F(EnvelopeGraphTest, AnchorsTakenAtStartUpStayPut) {
  field("TextEnv1T1")->setText("100");
  field("TextEnv1T2")->setText("100");
  panel.takeAnchors();  // the peak and the decay's start are never moved, so nothing changes
  EXPECT_EQ(panel.anchors(ParamGroup::EnvAmp).attack, 835.0f);
  EXPECT_EQ(panel.anchors(ParamGroup::EnvAmp).decay, 825.0f);
  EXPECT_EQ(panel.anchors(ParamGroup::EnvFilter).release, 5145);
  field("TextEnv1T1")->setText("0");
  EXPECT_EQ(end("LinieEnv1T1", "x1"), 835);
}

}  // namespace
}  // namespace rotavox::test
