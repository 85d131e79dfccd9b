#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "ui/common/KnobWidget.h"
#include "ui/editor/MainWindow.h"
#include "ui/play/PlayControls.h"
#include "ui/play/SequencerDialog.h"

namespace rotavox::test {
namespace {

Msg on(int n) { return note(n, 100); }
Msg off(int n) { return note(n, 0); }

struct SequencerWindow : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  PlayControls* play = window.findChild<PlayControls*>("PlayControls");
  QTimer* Zeit1 = child<QTimer>(&window, "Zeit1");
  QLabel* TextSeq = child<QLabel>(&window, "TextSeq");
  QAction* command = window.findChild<QAction*>("Menu_StartSequenzer");

  void SetUp() override {
    ASSERT_NE(play, nullptr);
    ASSERT_NE(Zeit1, nullptr);
    ASSERT_NE(TextSeq, nullptr);
    ASSERT_NE(command, nullptr);
    fx.openOutput();
  }
  // One tick of Zeit1, without waiting for it.
  void tick(int count = 1) {
    for (int i = 0; i < count; ++i) play->Zeit1_Timer();
  }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  SequencerDialog* openSettings() {
    window.Menu_Sequenzer_Click();
    return window.findChild<SequencerDialog*>("F_Sequenzer");
  }
  QLineEdit* field(SequencerDialog* d, const char* name) { return child<QLineEdit>(d, name); }
  QPushButton* button(SequencerDialog* d, const char* name) { return child<QPushButton>(d, name); }
  void closeSettings(SequencerDialog* d) {
    QTest::mouseClick(button(d, "Command1"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(SequencerWindow, AtStartTheTimerIsOffAndTheLabelEmpty) {
  EXPECT_EQ(Zeit1->interval(), 1000);
  EXPECT_FALSE(Zeit1->isActive());
  EXPECT_TRUE(TextSeq->text().isEmpty());
  EXPECT_FALSE(command->isEnabled());
  EXPECT_TRUE(command->isCheckable());
  EXPECT_EQ(command->text(), "Start se&quenzer");
}

TEST_F(SequencerWindow, StartPlaysFromTheNextTickAndStopSilences) {
  fx.openOutput(3);
  fx.ctx.sequencer.SeqOctave = 1;
  window.Menu_StartSequenzer_Click();
  EXPECT_TRUE(fx.ctx.sequencer.SeqRunning);
  EXPECT_TRUE(Zeit1->isActive());
  EXPECT_EQ(command->text(), "Stop &Sequenzer");
  EXPECT_TRUE(command->isChecked());
  EXPECT_TRUE(sent().empty());

  tick(4);
  EXPECT_EQ(TextSeq->text(), " 4 -  65");
  fx.service.clearRecords();
  window.Menu_StartSequenzer_Click();
  EXPECT_EQ(sent(), (std::vector<Msg>{{0x93, 77, 0}, {0xB3, 123, 0}}));
  EXPECT_EQ(fx.service.delivered().back(), 0x7BB0u + 3);
  EXPECT_TRUE(TextSeq->text().isEmpty());
  EXPECT_EQ(command->text(), "Start &Sequenzer");
  EXPECT_FALSE(command->isChecked());
  EXPECT_FALSE(Zeit1->isActive());
  EXPECT_FALSE(fx.ctx.sequencer.SeqRunning);

  fx.service.clearRecords();
  window.Menu_StartSequenzer_Click();
  tick();
  EXPECT_EQ(sent(), (std::vector<Msg>{{0x93, 12, 0}, {0x93, 72, 100}}));
}

TEST_F(SequencerWindow, FirstLoopAndTheNinthStep) {
  window.Menu_StartSequenzer_Click();
  tick();
  EXPECT_EQ(TextSeq->text(), " 1 -  60");
  tick(8);
  EXPECT_EQ(TextSeq->text(), " 1 -  60");
  EXPECT_EQ(sent(), (std::vector<Msg>{off(0), on(60), off(60), on(72), off(72), on(60), off(60), on(65), off(65),
                                      on(48), off(48), on(60), off(60), on(48), off(48), on(53), off(53), off(0),
                                      on(60)}));
}

// The one test that waits for the real timer: speed 2 gives a step every 20 ms.
TEST_F(SequencerWindow, RealTimerSteps) {
  SequencerDialog* d = openSettings();
  field(d, "TextSpeed")->setText("2");
  EXPECT_EQ(Zeit1->interval(), 20);
  window.Menu_StartSequenzer_Click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return fx.service.delivered().size() >= 6; }, 5000));
  window.Menu_StartSequenzer_Click();
  const std::vector<Msg> all = sent();
  const std::vector<Msg> first(all.begin(), all.begin() + 6);
  EXPECT_EQ(first, (std::vector<Msg>{off(0), on(60), off(60), on(72), off(72), on(60)}));
  EXPECT_EQ(all.back(), cc(123, 0));
}

TEST_F(SequencerWindow, SettingsOpenModelessAndComeForward) {
  SequencerDialog* d = openSettings();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(d->isWindow());
  EXPECT_FALSE(d->isModal());
  EXPECT_EQ(d->windowTitle(), "Sequenzer settings");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(field(d, "TextSpeed")->text(), "100");
  EXPECT_EQ(field(d, "TextOktave")->text(), "0");
  EXPECT_EQ(Zeit1->interval(), 1000);
  EXPECT_EQ(fx.ctx.sequencer.SeqStep, 0);  // the octave text did not change
  EXPECT_TRUE(sent().empty());

  field(d, "TextSpeed")->setText("30");
  EXPECT_EQ(openSettings(), d);
  EXPECT_EQ(field(d, "TextSpeed")->text(), "30");
  EXPECT_EQ(window.findChildren<SequencerDialog*>().size(), 1);
}

TEST_F(SequencerWindow, ReopeningResetsTheSpeedAndCountsAnOctaveChange) {
  SequencerDialog* d = openSettings();
  QTest::mouseClick(button(d, "OktavePlus"), Qt::LeftButton);
  QTest::mouseClick(button(d, "OktavePlus"), Qt::LeftButton);
  field(d, "TextSpeed")->setText("30");
  EXPECT_EQ(Zeit1->interval(), 300);
  window.Menu_StartSequenzer_Click();
  const QPointer<SequencerDialog> first(d);
  closeSettings(d);
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(window.findChildren<SequencerDialog*>().isEmpty());
  EXPECT_TRUE(fx.ctx.sequencer.SeqRunning);
  EXPECT_TRUE(Zeit1->isActive());
  EXPECT_EQ(Zeit1->interval(), 300);

  EXPECT_EQ(fx.ctx.sequencer.SeqOctave, 2);
  EXPECT_EQ(fx.ctx.sequencer.SeqStep, 2);
  SequencerDialog* again = openSettings();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(field(again, "TextSpeed")->text(), "100");
  EXPECT_EQ(field(again, "TextOktave")->text(), "2");
  EXPECT_EQ(again->octaveClickValue(), 0);
  EXPECT_EQ(Zeit1->interval(), 1000);
  EXPECT_EQ(fx.ctx.sequencer.SeqStep, 3);
  EXPECT_EQ(TextSeq->text(), " 3 -  60");
  // Step 3 follows 72, which a step would have played at octave 2: its release goes out.
  EXPECT_EQ(sent(), (std::vector<Msg>{off(96)}));
}

TEST_F(SequencerWindow, OctaveButtonsStopAtTheirBounds) {
  SequencerDialog* d = openSettings();
  QLineEdit* octave = field(d, "TextOktave");
  std::vector<QString> seen;
  for (int i = 0; i < 4; ++i) {
    QTest::mouseClick(button(d, "OktavePlus"), Qt::LeftButton);
    seen.push_back(octave->text());
  }
  EXPECT_EQ(seen, (std::vector<QString>{"1", "2", "3", "3"}));
  EXPECT_EQ(fx.ctx.sequencer.SeqStep, 3);
  EXPECT_EQ(fx.ctx.sequencer.SeqOctave, 3);
  seen.clear();
  for (int i = 0; i < 7; ++i) {
    QTest::mouseClick(button(d, "OktaveMinus"), Qt::LeftButton);
    seen.push_back(octave->text());
  }
  EXPECT_EQ(seen, (std::vector<QString>{"2", "1", "0", "-1", "-2", "-3", "-3"}));
  EXPECT_EQ(fx.ctx.sequencer.SeqOctave, -3);
  EXPECT_EQ(fx.ctx.sequencer.SeqStep, 9);
  EXPECT_EQ(TextSeq->text(), " 9 -  0");
  EXPECT_TRUE(sent().empty());
}

TEST_F(SequencerWindow, OctaveChangeWhileRunningReleasesTheSoundingNote) {
  SequencerDialog* d = openSettings();
  window.Menu_StartSequenzer_Click();
  tick(2);
  fx.service.clearRecords();
  QTest::mouseClick(button(d, "OktavePlus"), Qt::LeftButton);
  EXPECT_EQ(TextSeq->text(), " 3 -  60");
  tick();
  EXPECT_EQ(sent(), (std::vector<Msg>{off(72), off(72), on(77)}));
}

// Typing a value out of range, or no number, and leaving the field puts back the value the
// field held when it was last clicked.
TEST_F(SequencerWindow, LeavingTheOctaveFieldValidates) {
  for (const char* typed : {"7", "abc", "-9"}) {
    SequencerDialog* d = openSettings();
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    QLineEdit* octave = field(d, "TextOktave");
    octave->setText("2");
    QTest::mouseClick(octave, Qt::LeftButton);
    EXPECT_EQ(d->octaveClickValue(), 2);
    EXPECT_TRUE(octave->hasFocus());
    octave->selectAll();
    QTest::keyClicks(octave, typed);
    EXPECT_EQ(octave->text(), typed);
    EXPECT_EQ(fx.ctx.sequencer.SeqOctave, 2) << typed;

    const int stepBefore = fx.ctx.sequencer.SeqStep;
    field(d, "TextSpeed")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(octave->text(), "2") << typed;
    EXPECT_EQ(fx.ctx.sequencer.SeqOctave, 2);
    EXPECT_EQ(fx.ctx.sequencer.SeqStep, stepBefore + 1 > 10 ? 1 : stepBefore + 1);  // the write-back is a change
    closeSettings(d);
    fx.ctx.sequencer.SeqOctave = 0;
  }
}

TEST_F(SequencerWindow, SpeedZeroHaltsWithoutStoppingAndBadSpeedsAreIgnored) {
  SequencerDialog* d = openSettings();
  QLineEdit* speed = field(d, "TextSpeed");
  window.Menu_StartSequenzer_Click();
  tick();
  fx.service.clearRecords();

  // Turning the knob down on its left half to 0 halts the steps; the note keeps sounding.
  speed->setText("2");
  KnobWidget* knob = child<KnobWidget>(d, "knobSpeed");
  QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(5, 10));
  for (int y : {11, 12, 13}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, y), knob->mapToGlobal(QPointF(5, y)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(knob, &move);
  }
  EXPECT_EQ(speed->text(), "0");
  EXPECT_FALSE(Zeit1->isActive());
  EXPECT_EQ(Zeit1->interval(), 0);
  EXPECT_TRUE(fx.ctx.sequencer.SeqRunning);
  EXPECT_EQ(d->knobLastY(), 13);
  QMouseEvent up(QEvent::MouseMove, QPointF(5, 12), knob->mapToGlobal(QPointF(5, 12)), Qt::NoButton, Qt::LeftButton,
                 Qt::NoModifier);
  QApplication::sendEvent(knob, &up);
  QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(5, 12));
  EXPECT_EQ(speed->text(), "1");
  EXPECT_TRUE(Zeit1->isActive());
  EXPECT_EQ(Zeit1->interval(), 10);
  EXPECT_TRUE(sent().empty());

  for (const char* bad : {"abc", "-5", "1e12", "99999999999", ""}) {
    speed->setText(bad);
    EXPECT_EQ(Zeit1->interval(), 10) << bad;
    EXPECT_TRUE(Zeit1->isActive()) << bad;
  }
  speed->setText("0.25");
  EXPECT_EQ(Zeit1->interval(), 2);

  // Stopping while halted disables the timer; a later speed does not start it.
  window.Menu_StartSequenzer_Click();
  speed->setText("50");
  EXPECT_FALSE(Zeit1->isActive());
  EXPECT_EQ(Zeit1->interval(), 500);
}

TEST_F(SequencerWindow, Screenshot) {
  SequencerDialog* d = openSettings();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  const QString scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qgetenv("QT_SCALE_FACTOR") : "1";
  EXPECT_TRUE(d->grab().save(QString(ROTAVOX_SCREENSHOT_DIR) + "/sequencer_x" + scale + ".png"));
  window.show();
  window.Menu_StartSequenzer_Click();
  tick(3);
  EXPECT_TRUE(window.grab().save(QString(ROTAVOX_SCREENSHOT_DIR) + "/main_sequencer_x" + scale + ".png"));
}

}  // namespace
}  // namespace rotavox::test
