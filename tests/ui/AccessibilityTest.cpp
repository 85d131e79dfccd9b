#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>

#include "TestSupport.h"
#include "ui/common/KnobWidget.h"
#include "ui/editor/MainWindow.h"
#include "ui/editor/RoutingPicture.h"

// The panel's controls as a screen reader sees them through Qt's accessibility interfaces;
// the real bridge to Linux screen readers is tried in tests/a11y.
namespace rotavox::test {
namespace accessibility_test {

struct AccessibilityTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};

  AccessibilityTest() { fx.openOutput(); }

  QAccessibleInterface* seen(const char* name) {
    QObject* object = window.findChild<QObject*>(QString::fromLatin1(name));
    if (!object) ADD_FAILURE() << "no object " << name;
    return object ? QAccessible::queryAccessibleInterface(object) : nullptr;
  }
  void write(Param row, std::string_view value) { window.panel()->write({row}, value); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
};

// A selector is named by what it chooses, not by the text it shows ("?" at start); that text
// is its value, and its edit line carries the same name.
TEST_F(AccessibilityTest, SelectorsAreNamedByWhatTheyChoose) {
  const struct {
    const char* box;
    Param row;
    const char* name;
    const char* value;
  } cases[] = {{"ComboOSC1oct", Param::ComboOSC1oct, "Oscillator 1 octave", "8\""},
               {"ComboOSC3shape", Param::ComboOSC3shape, "Oscillator 3 shape", "Sine"},
               {"ComboFilter2", Param::ComboFilter2, "Filter 2 type", "\\/  Notch 12 dB"}};
  for (const auto& c : cases) {
    QAccessibleInterface* box = seen(c.box);
    EXPECT_EQ(box->role(), QAccessible::ComboBox);
    EXPECT_EQ(box->text(QAccessible::Name), c.name);
    EXPECT_EQ(box->text(QAccessible::Value), "?");
    write(c.row, c.value);
    EXPECT_EQ(box->text(QAccessible::Name), c.name);
    EXPECT_EQ(box->text(QAccessible::Value), c.value);
    ASSERT_EQ(box->childCount(), 2);
    EXPECT_EQ(box->child(1)->text(QAccessible::Name), c.name) << "the edit line";
    EXPECT_EQ(box->indexOfChild(box->child(1)), 1);
  }
}

// The routing picture shown is a button named "Filter routing" with the routing in force as
// its value; pressing it through the interface switches the routing as a click does.
TEST_F(AccessibilityTest, TheRoutingIsAButtonWhoseValueIsTheRoutingInForce) {
  write(Param::TextFilterParSer, "0");
  fx.service.clearRecords();
  QAccessibleInterface* parallel = seen("ImageParallel");
  QAccessibleInterface* serial = seen("ImageSeriell");
  EXPECT_EQ(parallel->role(), QAccessible::Button);
  EXPECT_EQ(parallel->text(QAccessible::Name), "Filter routing");
  EXPECT_EQ(serial->text(QAccessible::Name), "Filter routing");
  EXPECT_EQ(parallel->text(QAccessible::Value), "parallel");
  EXPECT_EQ(serial->text(QAccessible::Value), "serial");
  EXPECT_TRUE(parallel->text(QAccessible::Description).startsWith("parallel; Selects parallel"));
  ASSERT_TRUE(parallel->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  parallel->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(67, 1)}));
  EXPECT_FALSE(window.findChild<RoutingPicture*>("ImageParallel")->isVisibleTo(&window));
  EXPECT_TRUE(window.findChild<RoutingPicture*>("ImageSeriell")->isVisibleTo(&window));
}

// Each envelope graph is a chart whose description says what it shows in words.
TEST_F(AccessibilityTest, EnvelopeGraphsTellTheirValuesInWords) {
  QAccessibleInterface* graph = nullptr;
  QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(window.panel());
  for (int i = 0; i < panel->childCount(); ++i)
    if (panel->child(i)->text(QAccessible::Name) == "Envelope Filter graph") graph = panel->child(i);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->role(), QAccessible::Chart);
  EXPECT_EQ(graph->text(QAccessible::Description), "attack not set, decay not set, sustain not set, release not set");
  write(Param::TextEnv2T1, "10");
  write(Param::TextEnv2T2, "50");
  write(Param::TextEnv2L2, "80");
  write(Param::TextEnv2T3, "20");
  write(Param::TextEnv1T1, "99");  // the other envelope's graph
  EXPECT_EQ(graph->text(QAccessible::Description), "attack 10, decay 50, sustain 80, release 20");
  EXPECT_EQ(graph->state().focusable, false);
}

}  // namespace accessibility_test
}  // namespace rotavox::test
