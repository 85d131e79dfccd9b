#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
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
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// The main window on a memory MIDI system with two ports that send (the microQ's MIDI out
// and a keyboard); its output open on channel 1.
struct FollowTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();
  Instrument& instrument = *window.instrument();

  FollowTest() {
    fx.service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}, {0, 0, 0, "Keyboard", "hw:keys"}};
    fx.openOutput();
    window.setWindowTitle(windowTitleText());
    window.show();
    window.Menu_InitW_Click();
    clear();
    logged = window.monitor()->log().next();
  }
  std::uint64_t logged = 0;  // what the monitor held before the test: the init sound's messages
  std::uint64_t received() const { return window.monitor()->log().next() - logged; }

  FollowWindow* open() {
    window.findChild<QAction*>("Menu_Follow")->trigger();
    return window.findChild<FollowWindow*>("F_Follow");
  }
  QComboBox* list() { return window.findChild<QComboBox*>("ListFollowPort"); }
  QString state() { return window.findChild<QLabel*>("LabelFollowState")->text(); }
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
  QString field(const char* name) { return window.findChild<QLineEdit*>(name)->text(); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
};

TEST_F(FollowTest, TheWindowListsThePortsThatSendAndFollowsTheChoiceAtOnce) {
  FollowWindow* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "Follow the instrument");
  QStringList items;
  for (int i = 0; i < list()->count(); ++i) items << list()->itemText(i);
  EXPECT_EQ(items, (QStringList{"Off", "microQ MIDI out", "Keyboard"}));
  EXPECT_EQ(list()->currentIndex(), 0);
  EXPECT_EQ(state(), "Not following");
  EXPECT_EQ(window.findChild<QPushButton*>("CommandFollowClose")->text(), "Close");

  choose(1);
  EXPECT_EQ(fx.service.followed(), 0);
  EXPECT_EQ(state(), "Nothing received yet");
  choose(2);
  EXPECT_EQ(fx.service.followed(), 1);
  choose(0);
  EXPECT_EQ(fx.service.followed(), -1);
  EXPECT_EQ(fx.service.calls, (std::vector<std::string>{"inCaps 0", "inCaps 1", "followIn 0", "stopFollowing",
                                                         "followIn 1", "stopFollowing"}))
      << "nothing else is opened, closed or connected";
  EXPECT_TRUE(sent().empty());
}

// The path of one knob on the instrument: the Control Change arrives on the service's thread,
// the panel shows it, nothing goes back, the monitor lists it as received, and undo sends the
// value from before.
TEST_F(FollowTest, AReceivedControlChangeShowsOnThePanelAndNothingGoesBack) {
  open();
  choose(1);
  instrumentSends({controlChange(0, 69, 100)});
  ASSERT_TRUE(waitFor([&] { return field("TextF1_cutoff") == "100"; }));
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(state(), "ch 1  CC 69  Filter 1 Cutoff = 100");
  const MidiLog& log = window.monitor()->log();
  ASSERT_EQ(received(), 1u);
  EXPECT_EQ(log.at(logged).direction, MessageDirection::Received);
  EXPECT_EQ(log.at(logged).message, controlChange(0, 69, 100));
  window.findChild<QAction*>("Menu_Undo")->trigger();
  EXPECT_EQ(sent(), std::vector<Msg>{cc(69, 127)}) << "the init sound's cutoff";
}

// Other channels, other controllers, notes, clock, active sensing and SysEx change nothing on
// the panel; the monitor lists the channel messages but no clock or sensing rows.
TEST_F(FollowTest, EverythingButTheChannelsParameterControllersChangesNothing) {
  open();
  choose(1);
  const SoundState before = panel.soundState();
  instrumentSends({controlChange(1, 69, 5), controlChange(0, 1, 64), noteOn(0, 60, 100), 0xF8, 0xFE, 0xF0, 0xF7,
                   shortMessage(0xE0, 0, 70), shortMessage(0xB0, 32, 7), 0xFA, 0xFC});
  ASSERT_TRUE(waitFor([&] { return received() == 5; }));
  QTest::qWait(40);  // a frame and more: anything that was to show has shown
  EXPECT_EQ(panel.soundState(), before);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(window.findChild<QAction*>("Menu_Undo")->text(), "&Undo Init sound");
  EXPECT_EQ(state(), "ch 1  CC 32 = 7");
}

TEST_F(FollowTest, TheLabelSaysWhenTheChannelIsNotTheChosenOne) {
  open();
  choose(1);
  instrumentSends({controlChange(2, 69, 5)});
  ASSERT_TRUE(waitFor([&] { return state().startsWith("ch 3"); }));
  EXPECT_EQ(state(), "ch 3  CC 69  Filter 1 Cutoff = 5\n(not channel #1 of Midi settings: nothing to show)");
}

// A port that goes away turns following off and the window says so.
TEST_F(FollowTest, AVanishedPortTurnsFollowingOffAndTheWindowSaysSo) {
  open();
  choose(1);
  fx.service.followedPortVanishes();
  ASSERT_TRUE(waitFor([&] { return !instrument.following(); }));
  EXPECT_EQ(fx.service.followed(), -1) << "the program's input port is removed";
  EXPECT_EQ(list()->currentIndex(), 0);
  EXPECT_EQ(state(), "microQ MIDI out went away: following is off.");
  EXPECT_FALSE(fx.service.receive(controlChange(0, 69, 1)));
}

TEST_F(FollowTest, APortThatCannotBeFollowedLeavesItOffAndSaysWhy) {
  fx.service.failures["followIn"] = 9;
  open();
  choose(2);
  EXPECT_FALSE(instrument.following());
  EXPECT_EQ(list()->currentIndex(), 0);
  EXPECT_EQ(state(), "Could not follow Keyboard: memory input error 9");
  EXPECT_TRUE(fx.presenter.boxes.empty());
}

// The choice is the port itself: the settings dialog opening and closing the connection leaves
// it followed, and a port list that changed meanwhile preselects it where it stands now.
TEST_F(FollowTest, TheChoiceSurvivesTheSettingsDialogAndMovesWithItsPort) {
  FollowWindow* w = open();
  choose(2);
  window.Menu_Midisettings_Click();
  MidiSettingsDialog* settings = window.midiSettings();
  ASSERT_NE(settings, nullptr);
  settings->AuswahlMIDIPort_Click(0);
  settings->Command1_Click();
  EXPECT_EQ(fx.service.followed(), 1);
  instrumentSends({controlChange(0, 70, 33)});
  ASSERT_TRUE(waitFor([&] { return field("TextF1_reso") == "33"; }));

  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  fx.service.inPorts.insert(fx.service.inPorts.begin(), {0, 0, 0, "Sequencer", "sw:seq"});
  open();
  EXPECT_EQ(list()->currentText(), "Keyboard");
  EXPECT_EQ(list()->currentIndex(), 3);
}

// Following the port that also feeds the thru would send the instrument its own knobs back.
TEST_F(FollowTest, WarnsWhenTheFollowedPortIsTheThrusSource) {
  open();
  fx.midi.state().inPort = {"hw:microQ", false};
  choose(2);
  EXPECT_FALSE(state().contains("thru"));
  choose(1);
  EXPECT_TRUE(state().endsWith("This port is also the MIDI thru's input: the instrument would hear itself. "
                               "Choose another input in Midi settings."))
      << state().toStdString();
}

// A flood: 10,000 Control Changes on two controls mixed with clock and active sensing. The
// panel ends on the last value of each, shows the values at most once a frame, sends nothing,
// and the monitor holds no clock rows.
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
  while (received() + instrument.lostMessages() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_LT(took.elapsed(), 20000) << "the flood was never taken in";
  }
  backend.join();
  ASSERT_TRUE(waitFor([&] { return field("TextF1_cutoff") == QString::number(9999 % 128); }));
  const qint64 frames = took.elapsed() * 60 / 1000 + 2;
  EXPECT_EQ(field("TextF1_reso"), QString::number(9998 % 128));
  EXPECT_LE(cutoffWrites, frames) << "at most one write a frame, " << took.elapsed() << " ms";
  EXPECT_TRUE(sent().empty());
  const MidiLog& log = window.monitor()->log();
  for (std::uint64_t n = std::max(log.first(), logged); n < log.next(); ++n) {
    ASSERT_EQ(log.at(n).message & 0xF0, 0xB0u) << "no clock or sensing rows";
  }
}

// A box that runs the event loop while it is open, as a modal box does.
struct LoopingPresenter : MessagePresenter {
  std::function<void()> whileOpen;
  int shown = 0;
  MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
    ++shown;
    if (whileOpen) whileOpen();
    return MessageAnswer::Ok;
  }
};

// A value arriving while a change routine's box is open waits until the routine has ended:
// the panel is never written under a change that is still running.
TEST(FollowWhileABoxIsOpen, AReceivedValueWaitsForTheChangeRoutineToEnd) {
  MemoryService service;
  service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}};
  LoopingPresenter presenter;
  MidiLink midi{service, presenter};
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window{ctx};
  midi.state().MidiChannel = 0;
  window.Menu_InitW_Click();
  Instrument& instrument = *window.instrument();
  ASSERT_EQ(instrument.follow(0, service.inPorts[0]), kMidiOk);
  auto* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");
  QString duringTheBox;
  presenter.whileOpen = [&] {
    service.receive(controlChange(0, 69, 5));
    waitFor([] { return false; }, 100);
    duringTheBox = cutoff->text();
  };
  window.findChild<QComboBox*>("ComboFilter1")->setEditText("no such filter");
  EXPECT_EQ(presenter.shown, 1);
  EXPECT_EQ(duringTheBox, "127") << "nothing written while the box was open";
  EXPECT_TRUE(waitFor([&] { return cutoff->text() == "5"; })) << "shown once the routine ended";
}

}  // namespace follow_window_test
}  // namespace rotavox::test
