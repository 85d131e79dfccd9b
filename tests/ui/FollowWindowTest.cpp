#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "core/midi/Messages.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/FollowWindow.h"
#include "ui/midi/Instrument.h"
#include "ui/midi/MidiSettingsDialog.h"
#include "ui/monitor/MidiMonitor.h"

namespace rotavox::test {
namespace follow_window_test {

// Runs the event loop until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()>& done, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// The main window on a memory MIDI system whose ports that send are the microQ's MIDI out and
// a keyboard; the output open on channel 1, the init sound on the panel.
struct FollowTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  Instrument& instrument = *window.instrument();
  std::uint64_t logged = 0;  // the monitor's messages before the test: the init sound's

  FollowTest() {
    fx.service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}, {0, 0, 0, "Keyboard", "hw:keys"}};
    fx.openOutput();
    window.show();
    window.Menu_InitW_Click();
    fx.service.clearRecords();
    logged = window.monitor()->log().next();
  }
  FollowWindow* open() {
    window.findChild<QAction*>("Menu_Follow")->trigger();
    return window.findChild<FollowWindow*>("F_Follow");
  }
  QComboBox* list() { return window.findChild<QComboBox*>("ListFollowPort"); }
  QString state() { return window.findChild<QLabel*>("LabelFollowState")->text(); }
  QString field(const char* name) { return window.findChild<QLineEdit*>(name)->text(); }
  std::uint64_t received() { return window.monitor()->log().next() - logged; }
  void choose(int item) {
    list()->setCurrentIndex(item);
    emit list()->activated(item);
  }
  // The microQ sends, on a thread of its own as a backend's receiving thread does.
  void instrumentSends(const std::vector<std::uint32_t>& messages) {
    std::thread backend([&] {
      for (std::uint32_t m : messages) fx.service.receive(m);
    });
    backend.join();
  }
};

// The ports that send, named as the thru's list names them; a choice follows at once, "Off"
// stops, a port that cannot be followed leaves it off and says why. Nothing else is opened.
TEST_F(FollowTest, TheWindowFollowsThePortChosenAtOnce) {
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(list()->itemText(1), "microQ MIDI out");
  EXPECT_EQ(list()->count(), 3);
  EXPECT_EQ(state(), "Not following");
  choose(1);
  EXPECT_EQ(state(), "Nothing received yet");
  choose(2);
  EXPECT_EQ(fx.service.followed(), 1);
  choose(0);
  EXPECT_EQ(fx.service.calls, (std::vector<std::string>{"inCaps 0", "inCaps 1", "followIn 0", "stopFollowing",
                                                         "followIn 1", "stopFollowing"}));
  fx.service.failures["followIn"] = 9;
  choose(2);
  EXPECT_EQ(list()->currentIndex(), 0);
  EXPECT_EQ(state(), "Could not follow Keyboard: memory input error 9");
  EXPECT_TRUE(fx.service.delivered().empty());
}

// One knob on the instrument: the panel shows it, nothing goes back, the monitor lists it as
// received, undo sends the value from before. Other channels, controllers, notes, clock,
// active sensing and SysEx change nothing; the monitor lists the channel messages only.
TEST_F(FollowTest, AReceivedControlChangeShowsAndNothingElseChangesThePanel) {
  open();
  choose(1);
  instrumentSends({controlChange(0, 69, 100)});
  ASSERT_TRUE(waitFor([&] { return field("TextF1_cutoff") == "100"; }));
  EXPECT_EQ(state(), "ch 1  CC 69  Filter 1 Cutoff = 100");
  EXPECT_EQ(window.monitor()->log().at(logged).direction, MessageDirection::In);

  const SoundState before = window.panel()->soundState();
  instrumentSends({controlChange(1, 70, 5), controlChange(0, 1, 64), noteOn(0, 60, 100), 0xF8, 0xFE, 0xF0, 0xF7,
                   shortMessage(0xE0, 0, 70), 0xFA, controlChange(2, 69, 5)});
  ASSERT_TRUE(waitFor([&] { return received() == 6; }));
  QTest::qWait(40);  // more than a frame: whatever was to show has shown
  EXPECT_EQ(window.panel()->soundState(), before);
  EXPECT_EQ(state(), "ch 3  CC 69  Filter 1 Cutoff = 5\n(not channel #1 of Midi settings: nothing to show)");
  EXPECT_TRUE(fx.service.delivered().empty());
  window.findChild<QAction*>("Menu_Undo")->trigger();
  EXPECT_EQ(decode(fx.service.delivered()), std::vector<Msg>{cc(69, 127)}) << "the init sound's cutoff";
}

TEST_F(FollowTest, AVanishedPortTurnsFollowingOffAndTheWindowSaysSo) {
  open();
  choose(1);
  fx.service.followedPortVanishes();
  ASSERT_TRUE(waitFor([&] { return !instrument.following(); }));
  EXPECT_EQ(fx.service.followed(), -1) << "the program's input port is removed";
  EXPECT_EQ(list()->currentIndex(), 0);
  EXPECT_EQ(state(), "microQ MIDI out went away: following is off.");
}

// The choice is the port itself: the settings dialog opening and closing the connection leaves
// it followed, a list that changed meanwhile shows it where it stands now, and a warning says
// when the thru's input is the followed port.
TEST_F(FollowTest, TheChoiceSurvivesTheSettingsDialogAndMovesWithItsPort) {
  FollowWindow* w = open();
  choose(2);
  window.Menu_Midisettings_Click();
  window.midiSettings()->AuswahlMIDIPort_Click(0);
  window.midiSettings()->AuswahlMIDIinPort_Click(1);
  window.midiSettings()->Command1_Click();
  instrumentSends({controlChange(0, 70, 33)});
  ASSERT_TRUE(waitFor([&] { return field("TextF1_reso") == "33"; }));
  EXPECT_TRUE(state().endsWith("\nThis port is also the MIDI thru's input: the instrument would hear itself. "
                               "Choose another input in Midi settings."));
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  fx.service.inPorts.insert(fx.service.inPorts.begin(), {0, 0, 0, "Sequencer", "sw:seq"});
  open();
  EXPECT_EQ(list()->currentIndex(), 3);
}

// 10,000 Control Changes on two controls, mixed with clock and active sensing, from the
// receiving thread: the panel ends on the last value of each, shows values at most once a
// frame, sends nothing, and the monitor holds no clock rows.
TEST_F(FollowTest, AFloodEndsOnTheLastValuesShownAtMostOnceAFrame) {
  open();
  choose(1);
  int cutoffWrites = 0;
  QObject::connect(window.findChild<QLineEdit*>("TextF1_cutoff"), &QLineEdit::textChanged, [&] { ++cutoffWrites; });
  std::vector<std::uint32_t> flood;
  for (int i = 0; i < 10000; ++i) {
    flood.push_back(controlChange(0, i % 2 ? 69 : 70, i % 128));
    if (i % 10 == 0) flood.push_back(0xF8);
    if (i % 1000 == 0) flood.push_back(0xFE);
  }
  QElapsedTimer took;
  took.start();
  std::thread backend([&] {
    for (std::uint32_t m : flood) fx.service.receive(m);
  });
  const bool taken = waitFor([&] { return received() + instrument.lostMessages() == 10000; }, 20000);
  backend.join();
  ASSERT_TRUE(taken);
  ASSERT_TRUE(waitFor([&] { return field("TextF1_cutoff") == QString::number(9999 % 128); }));
  EXPECT_EQ(field("TextF1_reso"), QString::number(9998 % 128));
  EXPECT_LE(cutoffWrites, took.elapsed() * 60 / 1000 + 2) << "at most one write a frame";
  EXPECT_TRUE(fx.service.delivered().empty());
  const MidiLog& log = window.monitor()->log();
  for (std::uint64_t n = std::max(log.first(), logged); n < log.next(); ++n) ASSERT_EQ(log.at(n).message & 0xF0, 0xB0u);
}

// A box that runs the event loop while it is open, as a modal box does.
struct LoopingPresenter : MessagePresenter {
  std::function<void()> whileOpen;
  MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
    if (whileOpen) whileOpen();
    return MessageAnswer::Ok;
  }
};

// A value arriving while a change routine's box is open waits until the routine has ended.
TEST(FollowWhileABoxIsOpen, AReceivedValueWaitsForTheChangeRoutineToEnd) {
  MemoryService service;
  service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}};
  LoopingPresenter presenter;
  MidiLink midi{service, presenter};
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window{ctx};
  midi.state().MidiChannel = 0;
  window.Menu_InitW_Click();
  ASSERT_EQ(window.instrument()->follow(0, service.inPorts[0]), kMidiOk);
  auto* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");
  QString duringTheBox;
  presenter.whileOpen = [&] {
    service.receive(controlChange(0, 69, 5));
    waitFor([] { return false; }, 100);
    duringTheBox = cutoff->text();
  };
  window.findChild<QComboBox*>("ComboFilter1")->setEditText("no such filter");
  EXPECT_EQ(duringTheBox, "127") << "nothing written while the box was open";
  EXPECT_TRUE(waitFor([&] { return cutoff->text() == "5"; })) << "shown once the routine ended";
}

}  // namespace follow_window_test
}  // namespace rotavox::test
