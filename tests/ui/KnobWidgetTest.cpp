#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <memory>

#include "TestSupport.h"
#include "ui/common/KnobWidget.h"

namespace rotavox::test {
namespace {

constexpr int kController = 74;

// A window with one number field that sends Control Change 74 on every change of its text,
// and its knob beside it, the way the editor builds them.
struct KnobRig {
  MidiFixture fx;
  std::int16_t lastY = 0;
  std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
  QLineEdit* field = new QLineEdit(window.get());
  KnobWidget* knob;

  explicit KnobRig(int lower = 0, int upper = 127) {
    window->resize(200, 120);
    field->setGeometry(10, 10, 50, 24);
    field->setAccessibleName("Cutoff");
    knob = new KnobWidget(field, lower, upper, fx.ctx.knob, lastY, window.get());
    knob->move(80, 40);
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [this](const QString& t) { fx.midi.SendControlChange(kController, t.toStdString()); });
    fx.openOutput();
  }

  void set(const char* text) {
    field->setText(text);
    fx.service.clearRecords();
  }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
};

// A move with the button held, straight to the knob, as Qt's mouse grab delivers it.
void dragTo(QWidget* w, QPointF pos) {
  QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

struct DragCase {
  const char* name;
  const char* start;
  int x;
  std::vector<int> ys;  // press at the first, then one move to each of the others
  const char* expected;
  std::vector<Msg> messages;
};

void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

class KnobDragTable : public ::testing::TestWithParam<DragCase> {};

TEST_P(KnobDragTable, SendsEveryStep) {
  const DragCase& c = GetParam();
  KnobRig rig;
  rig.set(c.start);
  QTest::mousePress(rig.knob, Qt::LeftButton, {}, QPoint(c.x, c.ys.front()));
  for (std::size_t i = 1; i < c.ys.size(); ++i) dragTo(rig.knob, QPointF(c.x, c.ys[i]));
  QTest::mouseRelease(rig.knob, Qt::LeftButton, {}, QPoint(c.x, c.ys.back()));
  EXPECT_EQ(rig.field->text().toStdString(), c.expected);
  EXPECT_EQ(rig.sent(), c.messages);
  EXPECT_EQ(rig.fx.ctx.knob.KnobDragging, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Knob, KnobDragTable,
    ::testing::Values(
        DragCase{"UpLeftRaises", "64", 10, {22, 21}, "65", {cc(kController, 65)}},
        DragCase{"DownRightRaises", "64", 30, {22, 23}, "65", {cc(kController, 65)}},
        DragCase{"DownLeftLowers", "64", 10, {22, 23}, "63", {cc(kController, 63)}},
        DragCase{"UpRightLowers", "64", 30, {22, 21}, "63", {cc(kController, 63)}},
        DragCase{"MiddleColumnIsLeft", "64", 20, {22, 12}, "65", {cc(kController, 65)}},
        DragCase{"OneStepPerEvent", "64", 10, {40, 30, 20, 5}, "67",
                 {cc(kController, 65), cc(kController, 66), cc(kController, 67)}},
        DragCase{"TopBoundThenReverse", "127", 10, {22, 21, 20, 19, 20}, "126", {cc(kController, 126)}},
        DragCase{"BottomBoundThenReverse", "0", 30, {22, 21, 20, 21}, "1", {cc(kController, 1)}},
        DragCase{"PressAndReleaseOnly", "64", 10, {22}, "64", {}},
        DragCase{"EqualYSendsNothing", "64", 10, {22, 22, 22}, "64", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KnobWidget, HorizontalMotionSendsNothing) {
  KnobRig rig;
  rig.set("64");
  QTest::mousePress(rig.knob, Qt::LeftButton, {}, QPoint(2, 20));
  for (int x : {5, 15, 25, 38, 60, -20}) dragTo(rig.knob, QPointF(x, 20));
  QTest::mouseRelease(rig.knob, Qt::LeftButton, {}, QPoint(38, 20));
  EXPECT_EQ(rig.field->text(), "64");
  EXPECT_TRUE(rig.sent().empty());
}

// Through the window system: the press lands on the knob, and Qt's implicit grab keeps
// delivering the moves to it while the pointer is over the field or outside the window.
TEST(KnobWidget, DragBeyondThePictureKeepsStepping) {
  KnobRig rig;
  rig.window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.window.get()));
  QWindow* w = rig.window->windowHandle();
  rig.set("64");
  const QPoint origin = rig.knob->pos();
  QTest::mousePress(w, Qt::LeftButton, {}, origin + QPoint(10, 20));
  QTest::mouseMove(w, QPoint(20, 15));          // over the field, left of the knob, upwards
  QTest::mouseMove(w, QPoint(-30, -40));        // outside the window, further up
  QTest::mouseMove(w, origin + QPoint(300, -39));  // right of the picture, down by one
  QTest::mouseMove(w, origin + QPoint(300, 500));  // and far down
  QTest::mouseRelease(w, Qt::LeftButton, {}, origin + QPoint(300, 500));
  EXPECT_EQ(rig.field->text(), "68");
  EXPECT_EQ(rig.sent(), (std::vector<Msg>{cc(kController, 65), cc(kController, 66), cc(kController, 67),
                                          cc(kController, 68)}));
  EXPECT_EQ(rig.fx.ctx.knob.KnobDragging, 0);
}

TEST(KnobWidget, MovesAfterReleaseSendNothing) {
  KnobRig rig;
  rig.set("64");
  QTest::mousePress(rig.knob, Qt::LeftButton, {}, QPoint(10, 20));
  QTest::mouseRelease(rig.knob, Qt::LeftButton, {}, QPoint(10, 20));
  dragTo(rig.knob, QPointF(10, 5));
  EXPECT_TRUE(rig.sent().empty());
}

// Each window keeps its own last position; the drag flag is shared.
TEST(KnobWidget, OtherWindowsLastYIsLeftAlone) {
  KnobRig main;
  std::int16_t dialogLastY = 0;
  QWidget dialog;
  QLineEdit speed(&dialog);
  speed.setText("50");
  KnobWidget knobSpeed(&speed, 0, 100, main.fx.ctx.knob, dialogLastY, &dialog);

  QTest::mousePress(&knobSpeed, Qt::LeftButton, {}, QPoint(10, 30));
  dragTo(&knobSpeed, QPointF(10, 28));
  QTest::mouseRelease(&knobSpeed, Qt::LeftButton, {}, QPoint(10, 28));
  EXPECT_EQ(speed.text(), "51");
  EXPECT_EQ(dialogLastY, 28);

  main.set("64");
  QTest::mousePress(main.knob, Qt::LeftButton, {}, QPoint(10, 5));
  dragTo(main.knob, QPointF(10, 3));
  EXPECT_EQ(main.lastY, 3);
  EXPECT_EQ(dialogLastY, 28);
  EXPECT_EQ(main.fx.ctx.knob.KnobDragging, -1);
  // A release on any knob ends the drag for all of them.
  QTest::mouseRelease(&knobSpeed, Qt::LeftButton, {}, QPoint(10, 3));
  EXPECT_EQ(main.fx.ctx.knob.KnobDragging, 0);
  dragTo(main.knob, QPointF(10, 1));
  EXPECT_EQ(main.field->text(), "65");
  EXPECT_EQ(main.lastY, 3);
}

TEST(KnobWidget, FieldWithoutNumberIsLeftAlone) {
  for (const char* text : {"", "?", "abc", "12ab"}) {
    KnobRig rig;
    rig.set(text);
    QTest::mousePress(rig.knob, Qt::LeftButton, {}, QPoint(10, 20));
    for (int y : {18, 16, 25, 30}) dragTo(rig.knob, QPointF(10, y));
    QTest::mouseRelease(rig.knob, Qt::LeftButton, {}, QPoint(10, 30));
    rig.knob->setFocus();
    QTest::keyClick(rig.knob, Qt::Key_Up);
    EXPECT_EQ(rig.field->text(), text);
    EXPECT_TRUE(rig.sent().empty()) << text;
  }
}

struct KeyCase {
  Qt::Key key;
  const char* start;
  const char* expected;
};

TEST(KnobWidget, ArrowKeysStepThroughTheField) {
  const std::vector<KeyCase> cases = {{Qt::Key_Up, "64", "65"},    {Qt::Key_Right, "64", "65"},
                                      {Qt::Key_Down, "64", "63"},  {Qt::Key_Left, "64", "63"},
                                      {Qt::Key_Up, "127", "127"},  {Qt::Key_Down, "0", "0"},
                                      {Qt::Key_Space, "64", "64"}};
  for (const KeyCase& c : cases) {
    KnobRig rig;
    rig.set(c.start);
    QTest::keyClick(rig.knob, c.key);
    EXPECT_EQ(rig.field->text().toStdString(), c.expected);
    const int value = rig.field->text().toInt();
    EXPECT_EQ(rig.sent(), std::string(c.start) == c.expected ? std::vector<Msg>{}
                                                              : std::vector<Msg>{cc(kController, value)});
  }
}

void wheel(QWidget* w, int delta) {
  const QPointF pos(20, 20);
  QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

TEST(KnobWidget, WheelStepsOncePerNotch) {
  KnobRig rig(0, 100);
  rig.set("98");
  wheel(rig.knob, 120);
  wheel(rig.knob, 60);  // half a notch: nothing yet
  EXPECT_EQ(rig.field->text(), "99");
  wheel(rig.knob, 60);
  EXPECT_EQ(rig.field->text(), "100");
  wheel(rig.knob, 120);  // at the bound
  wheel(rig.knob, -240);
  EXPECT_EQ(rig.field->text(), "98");
  EXPECT_EQ(rig.sent(), (std::vector<Msg>{cc(kController, 99), cc(kController, 100), cc(kController, 99),
                                          cc(kController, 98)}));
}

TEST(KnobWidget, IsAFocusableNamedControlOfDefaultSize) {
  KnobRig rig;
  EXPECT_EQ(rig.knob->size(), QSize(40, 44));
  EXPECT_EQ(rig.knob->focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(rig.knob->accessibleName(), "Cutoff");
  EXPECT_TRUE(rig.knob->toolTip().isEmpty());
}

// What a screen reader sees of a knob: a dial whose value is its field's number within the
// knob's bounds, the field's text as its text value.
TEST(KnobWidget, ScreenReadersSeeADialWithTheFieldsValue) {
  const struct {
    int upper;
    const char* text;
    double current;
  } cases[] = {{127, "64", 64}, {127, "0", 0}, {100, "100", 100}, {127, "?", 0}, {127, "", 0}};
  for (const auto& c : cases) {
    KnobRig rig(0, c.upper);
    rig.set(c.text);
    QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(rig.knob);
    ASSERT_NE(seen->valueInterface(), nullptr);
    EXPECT_EQ(seen->role(), QAccessible::Dial);
    EXPECT_EQ(seen->text(QAccessible::Name), "Cutoff");
    EXPECT_EQ(seen->text(QAccessible::Value), c.text);
    EXPECT_EQ(seen->valueInterface()->currentValue().toDouble(), c.current) << c.text;
    EXPECT_EQ(seen->valueInterface()->minimumValue().toInt(), 0);
    EXPECT_EQ(seen->valueInterface()->maximumValue().toInt(), c.upper);
    EXPECT_EQ(seen->valueInterface()->minimumStepSize().toInt(), 1);
  }
}

// A value set through the screen reader's interface is one write of the field (one message),
// rounded and kept within the bounds, and a gesture of its own.
TEST(KnobWidget, AValueSetByAScreenReaderIsOneWriteAndOneGesture) {
  KnobRig rig;
  rig.set("64");
  int gestures = 0;
  QObject::connect(rig.knob, &KnobWidget::released, [&] { ++gestures; });
  QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(rig.knob)->valueInterface();
  value->setCurrentValue(90.4);
  EXPECT_EQ(rig.field->text(), "90");
  value->setCurrentValue(500);
  EXPECT_EQ(rig.field->text(), "127");
  value->setCurrentValue(QString("loud"));
  EXPECT_EQ(rig.field->text(), "127");
  EXPECT_EQ(rig.sent(), (std::vector<Msg>{cc(kController, 90), cc(kController, 127)}));
  EXPECT_EQ(gestures, 4) << "each set ends what was under way before it, and itself";
}

// The picture turns with the field: the lowest and highest values look different, and
// a field without a number shows no pointer at all.
TEST(KnobWidget, PictureFollowsTheField) {
  KnobRig rig;
  rig.window->show();
  rig.set("0");
  const QImage low = rig.knob->grab().toImage();
  rig.set("127");
  const QImage high = rig.knob->grab().toImage();
  rig.set("?");
  const QImage none = rig.knob->grab().toImage();
  EXPECT_NE(low, high);
  EXPECT_NE(low, none);
  EXPECT_NE(high, none);
  rig.set("64");
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  rig.window->grab().save(QString(ROTAVOX_SCREENSHOT_DIR) + "/knob.png");
}

}  // namespace
}  // namespace rotavox::test
