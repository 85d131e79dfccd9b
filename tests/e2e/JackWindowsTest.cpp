// The program's real windows against the JACK service and a real JACK server: the user
// chooses the ports in the MIDI settings dialog, closes it, and presses Panic.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <functional>
#include <thread>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/JackService.h"
#include "platform/midi/NoMidiService.h"
#include "ui/common/AppContext.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using jacktest::Receiver;
using jacktest::Sender;

// Chooses the output port of this name in the open settings dialog and presses its Close.
void chooseOutputAndClose(MainWindow& window, const std::string& port) {
  QPointer<MidiSettingsDialog> dialog = window.midiSettings();
  ASSERT_NE(dialog, nullptr);
  auto* outList = dialog->findChild<QComboBox*>("AuswahlMIDIPort");
  const int at = outList->findText(QString::fromStdString(port));
  ASSERT_GE(at, 0) << port << " is not in the output list";
  outList->setCurrentIndex(at);
  QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull()) << "the dialog stayed open";
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

TEST(JackWindows, PanicButtonReachesTheInstrumentChosenInTheSettingsDialog) {
  if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
  Receiver instrument("rv-instrument");
  Sender keyboard("rv-keyboard");
  ASSERT_TRUE(instrument.ok() && keyboard.ok());
  std::unique_ptr<JackService> service = JackService::open("RotavoxWindows");
  ASSERT_NE(service, nullptr);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};

  MainWindow window(ctx);
  window.Form_Load();
  window.show();
  QPointer<MidiSettingsDialog> dialog = window.midiSettings();
  ASSERT_NE(dialog, nullptr);
  auto* outList = dialog->findChild<QComboBox*>("AuswahlMIDIPort");
  auto* inList = dialog->findChild<QComboBox*>("AuswahlMIDIinPort");
  auto* close = dialog->findChild<QPushButton*>("Command1");
  ASSERT_TRUE(outList && inList && close);
  const int outAt = outList->findText(QString::fromStdString(instrument.portName()));
  const int inAt = inList->findText(QString::fromStdString(keyboard.portName()));
  ASSERT_GE(outAt, 0) << "the instrument's port is not in the output list";
  ASSERT_GE(inAt, 0) << "the keyboard's port is not in the input list";
  outList->setCurrentIndex(outAt);
  inList->setCurrentIndex(inAt);
  QTest::mouseClick(close, Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(boxes.texts.empty()) << boxes.texts.front();
  EXPECT_TRUE(dialog.isNull()) << "the dialog stayed open";
  EXPECT_TRUE(connected(keyboard, instrument.portName())) << "the thru was not made";

  auto* panic = window.findChild<QPushButton*>("Panic");
  ASSERT_NE(panic, nullptr);
  QTest::mouseClick(panic, Qt::LeftButton);
  ASSERT_TRUE(instrument.waitFor(2032, 10s)) << "only " << instrument.count() << " of 2032 arrived";
  std::this_thread::sleep_for(50ms);
  const std::vector<Receiver::Event> got = instrument.events();
  ASSERT_EQ(got.size(), 2032u);
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i].shortMessage(), noteOn(0, static_cast<int>(i % 127) + 1, 0)) << "message " << i;

  // The keyboard plays through the thru while the editor is open.
  keyboard.send(noteOn(0, 60, 90));
  ASSERT_TRUE(instrument.waitFor(2033, 2s));
  EXPECT_EQ(instrument.events(2032)[0].shortMessage(), noteOn(0, 60, 90));

  // Opening the settings dialog again closes the output and the thru: the keyboard no
  // longer reaches the instrument.
  window.Menu_Midisettings_Click();
  ASSERT_NE(window.midiSettings(), nullptr);
  EXPECT_EQ(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(link.state().MidiInHandle, kNoMidiHandle);
  EXPECT_FALSE(connected(keyboard, instrument.portName()));
  keyboard.send(noteOn(0, 62, 90));
  EXPECT_FALSE(instrument.waitFor(2034, 300ms)) << "a note went through after the dialog loaded again";

  // Close again with the same choice (preselected): the thru is back.
  dialog = window.midiSettings();
  QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(connected(keyboard, instrument.portName())) << "the thru was not made again";

  // Closing the main window closes the output, and with it the thru that led into it.
  window.close();
  EXPECT_EQ(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_FALSE(connected(keyboard, instrument.portName()));
  EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
}

// The JACK server goes away and comes back while the program runs: opening the settings
// dialog again finds it, and the instrument plays again.
TEST(JackWindows, AfterTheServerIsBackOpeningTheSettingsDialogIsEnough) {
  if (!jackdAvailable()) GTEST_SKIP() << "no jackd to start a JACK server of the test's own";
  jacktest::PrivateServer server("rotavox-e2e-back-" + std::to_string(getpid()));
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());
  MidiServiceHolder services([&server]() -> std::unique_ptr<MidiService> {
    if (auto jack = tryOpenJackService("RotavoxBack", server.name())) return jack;
    return std::make_unique<NoMidiService>();
  });
  ASSERT_EQ(services.service().systemName(), "JACK");
  RecordingPresenter boxes;
  MidiLink link(services, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  MainWindow window(ctx);
  window.Form_Load();
  window.show();
  chooseOutputAndClose(window, instrument->portName());
  expectWholePanic(window, *instrument);

  server.kill(SIGKILL);
  // Every client must have noticed the end before a server of the same name comes up.
  const auto noticed = std::chrono::steady_clock::now() + 10s;
  while ((!instrument->serverGone() || !link.service().systemGone()) && std::chrono::steady_clock::now() < noticed)
    std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(instrument->serverGone() && link.service().systemGone());
  instrument.reset();
  ASSERT_TRUE(server.restart());
  instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());

  window.Menu_Midisettings_Click();
  EXPECT_EQ(link.service().systemName(), "JACK");
  EXPECT_FALSE(link.service().systemGone()) << "the settings dialog did not choose the MIDI system anew";
  chooseOutputAndClose(window, instrument->portName());
  expectWholePanic(window, *instrument);
  EXPECT_EQ(boxes.texts.size(), 2u) << "expected only the two boxes of the thru without an input port";
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
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  MainWindow window(ctx);
  window.Form_Load();
  window.show();
  auto outList = [&] { return window.midiSettings()->findChild<QComboBox*>("AuswahlMIDIPort"); };
  chooseOutputAndClose(window, chosen);
  const int at = link.state().MidiOutDevice;

  // Another program starts whose port sorts before synthC.
  Receiver other("synthA");
  ASSERT_TRUE(other.ok());
  window.Menu_Midisettings_Click();
  ASSERT_NE(outList()->findText(QString::fromStdString(other.portName())), -1) << "synthA is not listed";
  EXPECT_EQ(outList()->currentText().toStdString(), chosen);
  EXPECT_EQ(link.state().MidiOutDevice, at + 1);
  QTest::mouseClick(window.midiSettings()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  expectWholePanic(window, *instrument);
  EXPECT_EQ(other.count(), 0u) << "the Panic went to synthA";

  // synthC's program quits: nothing is preselected and Close asks for a port.
  instrument.reset();
  window.Menu_Midisettings_Click();
  EXPECT_EQ(outList()->findText(QString::fromStdString(chosen)), -1) << "synthC is still listed";
  EXPECT_EQ(outList()->currentIndex(), -1);
  EXPECT_EQ(link.state().MidiOutDevice, -1);
  boxes.texts.clear();
  QTest::mouseClick(window.midiSettings()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "You have to select a MIDI OUT port first!");
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
  if (!jackdAvailable()) GTEST_SKIP() << "no jackd to start a JACK server of the test's own";
  jacktest::PrivateServer server("rotavox-e2e-frozenwin-" + std::to_string(getpid()));
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto instrument = std::make_unique<Receiver>("rv-instrument", server.name());
  ASSERT_TRUE(instrument->ok());
  MidiServiceHolder services([&server]() -> std::unique_ptr<MidiService> {
    if (auto jack = tryOpenJackService("RotavoxFrozenWin", server.name())) return jack;
    return std::make_unique<NoMidiService>();
  });
  RecordingPresenter boxes;
  MidiLink link(services, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  MainWindow window(ctx);
  window.Form_Load();
  window.show();
  chooseOutputAndClose(window, instrument->portName());
  expectWholePanic(window, *instrument);
  boxes.texts.clear();
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
  ASSERT_FALSE(boxes.texts.empty());
  EXPECT_NE(boxes.texts.front().find("does not answer"), std::string::npos) << boxes.texts.front();

  // Still stopped: the MIDI system is looked for anew, in vain, and the dialog opens.
  EXPECT_TRUE(returnsWhileFrozen(server, [&] { window.Menu_Midisettings_Click(); }));
  EXPECT_EQ(link.service().systemName(), "no MIDI system");
  ASSERT_NE(window.midiSettings(), nullptr);
  window.midiSettings()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  server.resume();
  window.Menu_Midisettings_Click();
  EXPECT_EQ(link.service().systemName(), "JACK");
  chooseOutputAndClose(window, instrument->portName());
  expectWholePanic(window, *instrument);
  window.close();
}

}  // namespace
}  // namespace rotavox
