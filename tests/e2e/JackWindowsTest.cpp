// The program's real windows against the JACK service and a real JACK server: the user
// chooses the ports in the MIDI settings dialog, closes it, and presses Panic.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/jack/JackService.h"
#include "contract/JackBackend.h"
#include "contract/MidiContract.h"
#include "platform/midi/NoMidiService.h"
#include "support/ProgramWindows.h"
#include "ui/ProgramEnding.h"
#include "ui/common/AppContext.h"
#include "ui/common/KnobWidget.h"
#include "ui/common/QueuedMessagesNote.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using jacktest::Receiver;
using jacktest::Sender;

// The program's choice of MIDI system, with this test's own JACK server as the only one there is.
std::function<std::unique_ptr<MidiService>()> jackOrNoMidi(const jacktest::PrivateServer& server, const char* client) {
  return [&server, client]() -> std::unique_ptr<MidiService> {
    if (auto jack = tryOpenJackService(client, server.name())) return jack;
    return std::make_unique<NoMidiService>();
  };
}

// Presses Panic and expects the whole sweep at the instrument, each message once, in order.
void expectWholePanic(MainWindow& window, const Receiver& instrument) {
  const std::size_t before = instrument.count();
  QTest::mouseClick(window.findChild<QPushButton*>("Panic"), Qt::LeftButton);
  ASSERT_TRUE(instrument.waitFor(before + 2032, 10s)) << "only " << instrument.count() - before << " of 2032 arrived";
  std::this_thread::sleep_for(200ms);  // long enough for a copy to come after
  const std::vector<Receiver::Event> got = instrument.events(before);
  ASSERT_EQ(got.size(), 2032u);
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i].shortMessage(), noteOn(0, static_cast<int>(i % 127) + 1, 0)) << "message " << i;
}

// The JACK server goes away and comes back while the program runs: opening the settings
// dialog again finds it, and the instrument plays again.
TEST(JackWindows, AfterTheServerIsBackOpeningTheSettingsDialogIsEnough) {
  ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE();
  if (!ownServerAvailable()) GTEST_SKIP() << "no jackd (or pipewire) to start a JACK server of the test's own";
  jacktest::PrivateServer server("rotavox-e2e-back-" + std::to_string(getpid()));
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());
  MidiServiceHolder services(jackOrNoMidi(server, "RotavoxBack"));
  ASSERT_EQ(services.service().systemName(), "JACK");
  test::ProgramWindows program(services);
  MainWindow& window = program.window;
  MidiLink& link = program.link;
  test::RecordingPresenter& boxes = program.boxes;
  program.start();
  program.chooseAndClose(instrument->portName());
  expectWholePanic(window, *instrument);

  server.kill(SIGKILL);
  // Every client must have noticed the end before a server of the same name comes up.
  ASSERT_TRUE(becomes([&] { return instrument->serverGone() && link.service().systemGone(); }, 10s));
  instrument.reset();
  ASSERT_TRUE(server.restart());
  instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());

  window.Menu_Midisettings_Click();
  EXPECT_EQ(link.service().systemName(), "JACK");
  EXPECT_FALSE(link.service().systemGone()) << "the settings dialog did not choose the MIDI system anew";
  program.chooseAndClose(instrument->portName());
  expectWholePanic(window, *instrument);
  EXPECT_EQ(boxes.texts().size(), 2u) << "expected only the two boxes of the thru without an input port";
  window.close();
}

// The settings dialog finds the chosen instrument again by its JACK name when other programs'
// ports come before it in the list, and preselects nothing once it has gone.
TEST(JackWindows, SettingsDialogFindsTheChosenInstrumentAgainAfterThePortsShifted) {
  if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
  auto instrument = std::make_unique<Receiver>("synthC");
  ASSERT_TRUE(instrument->ok());
  const std::string chosen = instrument->portName();
  std::unique_ptr<JackService> service = JackService::open("RotavoxShift");
  ASSERT_NE(service, nullptr);
  test::ProgramWindows program(*service);
  MainWindow& window = program.window;
  MidiLink& link = program.link;
  test::RecordingPresenter& boxes = program.boxes;
  program.start();
  auto outList = [&] { return window.midiSettings()->findChild<QComboBox*>("AuswahlMIDIPort"); };
  program.chooseAndClose(chosen);
  const int at = link.state().MidiOutDevice;

  // Another program starts whose port sorts before synthC.
  Receiver other("synthA");
  ASSERT_TRUE(other.ok());
  window.Menu_Midisettings_Click();
  ASSERT_NE(outList()->findText(QString::fromStdString(other.portName())), -1) << "synthA is not listed";
  EXPECT_EQ(outList()->currentText().toStdString(), chosen);
  EXPECT_EQ(link.state().MidiOutDevice, at + 1);
  program.pressClose();
  expectWholePanic(window, *instrument);
  EXPECT_EQ(other.count(), 0u) << "the Panic went to synthA";

  // synthC's program quits: nothing is preselected and Close asks for a port. jackd has taken
  // the port away when the client's close returns; PipeWire's JACK tells the others a little
  // later.
  instrument.reset();
  const auto goneBy = std::chrono::steady_clock::now() + (jacktest::overPipeWire() ? 2s : 0s);
  while (contract::findOutput(*service, chosen) >= 0 && std::chrono::steady_clock::now() < goneBy)
    std::this_thread::sleep_for(5ms);
  window.Menu_Midisettings_Click();
  EXPECT_EQ(outList()->findText(QString::fromStdString(chosen)), -1) << "synthC is still listed";
  EXPECT_EQ(outList()->currentIndex(), -1);
  EXPECT_EQ(link.state().MidiOutDevice, -1);
  boxes.boxes.clear();
  QTest::mouseClick(window.midiSettings()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "You have to select a MIDI OUT port first!");
  EXPECT_EQ(other.count(), 0u);
}

// Runs a call of the program's thread while the server is stopped. A call that is still busy
// after a long while is released by resuming the server; false then.
bool returnsWhileFrozen(jacktest::PrivateServer& server, const std::function<void()>& call) {
  std::atomic<bool> returned{false};
  std::atomic<bool> released{false};
  std::thread watchdog([&] {
    const auto end = std::chrono::steady_clock::now() + 15s;
    while (!returned.load() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    if (returned.load()) return;
    released = true;
    server.resume();
  });
  call();
  returned = true;
  watchdog.join();
  return !released.load();
}

// A JACK server that stops answering (SIGSTOP) is taken for one that went away: the window
// keeps working, the settings dialog opens and lists what it can, opening says why it
// failed, and once the server goes on, opening the settings dialog is enough again.
TEST(JackWindows, AFrozenServerNeverFreezesTheWindow) {
  ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE();
  if (!ownServerAvailable()) GTEST_SKIP() << "no jackd (or pipewire) to start a JACK server of the test's own";
  jacktest::PrivateServer server("rotavox-e2e-frozenwin-" + std::to_string(getpid()));
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());
  MidiServiceHolder services(jackOrNoMidi(server, "RotavoxFrozenWin"));
  test::ProgramWindows program(services);
  MainWindow& window = program.window;
  MidiLink& link = program.link;
  test::RecordingPresenter& boxes = program.boxes;
  program.start();
  program.chooseAndClose(instrument->portName());
  expectWholePanic(window, *instrument);
  boxes.boxes.clear();
  auto* panic = window.findChild<QPushButton*>("Panic");

  // Whatever happens below, the server goes on before the clients end.
  struct ResumeAtTheEnd {
    jacktest::PrivateServer& server;
    ~ResumeAtTheEnd() { server.resume(); }
  } resumeAtTheEnd{server};
  server.freeze();
  EXPECT_TRUE(returnsWhileFrozen(server, [&] { QTest::mouseClick(panic, Qt::LeftButton); }));
  EXPECT_TRUE(returnsWhileFrozen(server, [&] { window.Menu_Midisettings_Click(); }))
      << "the settings dialog waited for the server";
  QPointer<MidiSettingsDialog> dialog = window.midiSettings();
  ASSERT_NE(dialog, nullptr);
  // The port list may still be read from the server's memory; the last entry, the program's
  // own port, needs a new port of the server.
  auto* outList = dialog->findChild<QComboBox*>("AuswahlMIDIPort");
  ASSERT_GE(outList->count(), 1);
  EXPECT_NE(outList->itemText(outList->count() - 1).toStdString().find("virtual out"), std::string::npos);
  outList->setCurrentIndex(outList->count() - 1);
  EXPECT_TRUE(returnsWhileFrozen(server, [&] {
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  }));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(boxes.texts().empty());
  EXPECT_NE(boxes.texts().front().find("does not answer"), std::string::npos) << boxes.texts().front();

  // Still stopped: the MIDI system is not looked for anew (that would wait for the server once
  // more), and the dialog opens.
  EXPECT_TRUE(returnsWhileFrozen(server, [&] { window.Menu_Midisettings_Click(); }));
  EXPECT_FALSE(link.service().answering());
  ASSERT_NE(window.midiSettings(), nullptr);
  window.midiSettings()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // Once the server has answered what it was asked, opening the settings dialog is enough.
  server.resume();
  becomes([&] { return link.service().answering(); }, 10s);
  window.Menu_Midisettings_Click();
  EXPECT_EQ(link.service().systemName(), "JACK");
  program.chooseAndClose(instrument->portName());
  expectWholePanic(window, *instrument);
  window.close();
}

// The program as main() builds it, on the JACK service, with the output chosen in the
// settings dialog. Its parts go in the program's order: the windows first, the service last.
struct RunningProgram {
  std::unique_ptr<JackService> service;
  std::optional<test::ProgramWindows> windows;

  RunningProgram(const char* clientName, const Receiver& instrument) : service(JackService::open(clientName)) {
    if (service == nullptr) return;
    windows.emplace(*service);
    windows->start();
    windows->chooseAndClose(instrument.portName());
    windows->boxes.boxes.clear();  // the thru's note that no input port is chosen
  }
  ~RunningProgram() {
    windows.reset();
    service.reset();
  }
};

// A mouse move with the left button held, as Qt delivers it to the knob that got the press.
void dragTo(QWidget* knob, double y) {
  const QPointF at(10, y);
  QMouseEvent move(QEvent::MouseMove, at, knob->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(knob, &move);
}

// Turns the filter 1 cutoff knob `steps` steps with the mouse, up and down between 30 and 90;
// each step sends the Control Change of the value its field shows then. Returns those.
std::vector<std::uint32_t> turnCutoffKnob(MainWindow& window, int steps) {
  auto* knob = window.findChild<KnobWidget*>("knobF1_cutoff");
  auto* field = window.findChild<QLineEdit*>("TextF1_cutoff");
  if (knob == nullptr || field == nullptr) {
    ADD_FAILURE() << "no filter 1 cutoff knob";
    return {};
  }
  const int channel = window.context().midi.state().MidiChannel;
  std::vector<std::uint32_t> sent;
  double y = 1000;
  QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(10, static_cast<int>(y)));
  for (int i = 0; i < steps; ++i) {
    y += (i / 60) % 2 == 0 ? -1 : 1;  // up on the left half raises, down lowers
    dragTo(knob, y);
    sent.push_back(controlChange(channel, 69, field->text().toInt()));
  }
  QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(10, static_cast<int>(y)));
  return sent;
}

// The count the note shows, or -1.
long long noteCount(const QueuedMessagesNote& note) {
  const QRegularExpressionMatch m =
      QRegularExpression(QString::fromUtf8("^Sending (\\d+) queued MIDI messages?\u2026$")).match(note.text()->text());
  return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// Waits until nothing more has arrived for a while, so that a late copy would be counted.
void waitUntilQuiet(const Receiver& instrument) {
  const auto end = std::chrono::steady_clock::now() + 20s;
  std::size_t seen = instrument.count();
  auto quietSince = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() < end && std::chrono::steady_clock::now() - quietSince < 500ms) {
    std::this_thread::sleep_for(10ms);
    if (instrument.count() != seen) {
      seen = instrument.count();
      quietSince = std::chrono::steady_clock::now();
    }
  }
}

// A knob turned through thousands of steps leaves its Control Changes queued at the wire's
// pace when the program is told to end. The windows go at once; a note counts the queue down;
// the program's event loop ends by itself when the queue is empty, or at once by the note's
// "Quit now". The instrument gets every message once, in order (or, quitting at once, the
// first ones of them, in order, none twice).
TEST(JackWindows, EndingWithQueuedMessagesSendsThemAllOnceOrQuitsAtOnce) {
  if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
  enum class Way { QuitMenu, CloseBox, QuitNow };
  const struct {
    const char* what;
    Way way;
    int steps;
  } cases[] = {
      {"File > Quit", Way::QuitMenu, 6000},
      {"the main window's close box", Way::CloseBox, 16000},
      {"File > Quit, then the note's Quit now", Way::QuitNow, 16000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Receiver instrument("rv-ending");
    ASSERT_TRUE(instrument.ok());
    std::vector<std::uint32_t> sent;
    std::size_t leftAtTheEnd = 0;
    {
      RunningProgram program("RotavoxEnding", instrument);
      ASSERT_NE(program.service, nullptr);
      MainWindow& window = program.windows->window;
      JackService& service = *program.service;
      // The knob starts from a known value; that write sends too.
      window.findChild<QLineEdit*>("TextF1_cutoff")->setText("30");
      ASSERT_TRUE(instrument.waitFor(1, 5s)) << "the cutoff field sent nothing";
      sent = turnCutoffKnob(window, c.steps);
      ASSERT_EQ(sent.size(), static_cast<std::size_t>(c.steps));
      ASSERT_TRUE(program.windows->boxes.texts().empty()) << program.windows->boxes.texts().front();

      if (c.way == Way::CloseBox) {
        ASSERT_NE(window.windowHandle(), nullptr);
        window.windowHandle()->close();
        EXPECT_EQ(program.windows->link.state().MidiOutHandle, kNoMidiHandle) << "the main window's unload did not run";
      } else {
        window.findChild<QAction*>("Menu_Quit")->trigger();
      }
      const std::size_t left = service.pendingMessages();
      EXPECT_FALSE(window.isVisible()) << "the main window stayed while messages are queued";
      ASSERT_GT(left, 0u) << "nothing counted as queued once the program was told to end";
      QCoreApplication::processEvents();  // the closing is looked at once it has finished
      ProgramEnding& ending = *window.ending();
      EXPECT_FALSE(ending.hasEnded()) << "ended with " << left << " messages queued";
      QPointer<QueuedMessagesNote> note = ending.note();
      ASSERT_NE(note, nullptr) << "no note while messages are queued";
      EXPECT_TRUE(note->isVisible());
      const long long shown = noteCount(*note);
      EXPECT_GT(shown, 0) << note->text()->text().toStdString();
      EXPECT_LE(shown, c.steps) << note->text()->text().toStdString();

      if (c.way == Way::QuitNow)
        QTimer::singleShot(300ms, note, [note] { QTest::mouseClick(note->quitButton(), Qt::LeftButton); });
      QTimer watchdog;
      watchdog.setSingleShot(true);
      QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
      watchdog.start(60s);
      EXPECT_EQ(QCoreApplication::exec(), 0) << "the program did not end within 60 s";
      EXPECT_TRUE(ending.hasEnded());
      leftAtTheEnd = service.pendingMessages();
      if (c.way == Way::QuitNow) {
        EXPECT_GT(leftAtTheEnd, 0u) << "Quit now waited for the queue";
      } else {
        EXPECT_EQ(leftAtTheEnd, 0u) << "ended with messages queued";
      }
    }
    // The program has gone, as after main() returns: whatever reaches the instrument now is
    // counted too.
    if (c.way != Way::QuitNow) instrument.waitFor(1 + sent.size(), 10s);
    waitUntilQuiet(instrument);
    const std::vector<std::uint32_t> got = instrument.messages(1);
    if (c.way == Way::QuitNow) {
      EXPECT_LT(got.size(), sent.size()) << "quitting at once still sent the whole queue";
      const std::vector<std::uint32_t> prefix(sent.begin(),
                                              sent.begin() + static_cast<std::ptrdiff_t>(std::min(got.size(), sent.size())));
      EXPECT_TRUE(got == prefix) << "not the first messages, in order, once each: " << firstDifference(got, prefix);
    } else {
      EXPECT_TRUE(got == sent) << "not every message once, in order: " << firstDifference(got, sent)
                               << " (the instrument missed " << instrument.missedCycles() << " of the server's cycles)";
    }
  }
}

}  // namespace

using contract::WindowsContract;
INSTANTIATE_TEST_SUITE_P(Jack, WindowsContract,
                         ::testing::Values(contract::BackendParam{"Jack", [] { return std::unique_ptr<contract::Backend>(new contract::JackBackend); }}),
                         contract::backendName);

}  // namespace rotavox
