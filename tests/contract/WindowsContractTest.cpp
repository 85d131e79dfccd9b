// The program's real windows over a live MIDI system: the user chooses the instrument and the
// keyboard in the MIDI settings dialog, closes it and presses Panic; the thru follows the
// dialog. And the instrument in the loop: the panel follows the port it sends on, chosen in
// F_Follow, and F_Program chooses its programs.

#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <functional>
#include <future>

#include "contract/MidiContract.h"
#include "support/ProgramWindows.h"
#include "ui/midi/Instrument.h"

namespace rotavox::contract::windows_contract_test {

// Runs the window's event loop until `done` holds; false when the limit passed first.
bool runUntil(const std::function<bool()>& done, Clock::duration limit = 5s) {
  const Clock::time_point end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Posts an event to the window's thread every 10 ms from a thread of its own and keeps the
// longest time one waited to be handled: how long the window could not answer.
class AnswerProbe {
 public:
  AnswerProbe()
      : poster_([this] {
          while (!stop_.load()) {
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(&context_, [this, posted] { longest_ = std::max(longest_, Clock::now() - posted); },
                                      Qt::QueuedConnection);
            std::this_thread::sleep_for(10ms);
          }
        }) {}
  ~AnswerProbe() { stop(); }
  // Stops posting; what was posted is handled by the next turns of the event loop.
  void stop() {
    stop_ = true;
    if (poster_.joinable()) poster_.join();
  }
  Clock::duration longest() const { return longest_; }

 private:
  QObject context_;
  Clock::duration longest_{};
  std::atomic<bool> stop_{false};
  std::thread poster_;
};

TEST_P(WindowsContract, PanicButtonReachesTheInstrumentChosenInTheSettingsDialogAndTheThruFollowsTheDialog) {
  auto synth = backend->instrument(0);
  auto keys = backend->keyboard();
  test::ProgramWindows program(*service);
  program.start();
  auto* outList = program.window.midiSettings()->findChild<QComboBox*>("AuswahlMIDIPort");
  EXPECT_TRUE(outList->itemText(outList->count() - 1).endsWith(" virtual out")) << "the own port is not last";
  program.chooseAndClose(synth->portName(), keys->portName());
  ASSERT_TRUE(program.boxes.texts().empty()) << program.boxes.texts().front();

  QTest::mouseClick(program.window.findChild<QPushButton*>("Panic"), Qt::LeftButton);
  const std::vector<std::uint32_t> sweep = panicSweep();
  ASSERT_TRUE(synth->waitFor(sweep.size(), 30s)) << "only " << synth->count() << " of 2032 arrived";
  synth->settle();
  EXPECT_EQ(firstDifference(synth->messages(), sweep), "");

  // The keyboard plays through the thru while the editor is open.
  ASSERT_TRUE(keys->play({noteOn(0, 60, 90)}));
  ASSERT_TRUE(synth->waitFor(sweep.size() + 1, 5s)) << "the thru does not carry";
  EXPECT_EQ(synth->messages().back(), noteOn(0, 60, 90));

  // Opening the settings dialog again closes the output and the thru; closing it with the same
  // choice (preselected) makes both again.
  program.window.Menu_Midisettings_Click();
  ASSERT_NE(program.window.midiSettings(), nullptr);
  EXPECT_EQ(program.link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(program.link.state().MidiInHandle, kNoMidiHandle);
  ASSERT_TRUE(keys->play({noteOn(0, 62, 90)}));
  synth->settle(500ms);
  EXPECT_EQ(synth->count(), sweep.size() + 1) << "a note went through while the dialog is open";
  program.pressClose();
  ASSERT_TRUE(keys->play({noteOn(0, 64, 90)}));
  ASSERT_TRUE(synth->waitFor(sweep.size() + 2, 5s)) << "the thru was not made again";
  EXPECT_EQ(synth->messages().back(), noteOn(0, 64, 90));

  // Closing the main window closes the output; the thru goes on while the program runs.
  program.window.close();
  EXPECT_EQ(program.link.state().MidiOutHandle, kNoMidiHandle) << "the main window's unload did not close the output";
  ASSERT_TRUE(keys->play({noteOn(0, 65, 90)}));
  EXPECT_TRUE(synth->waitFor(sweep.size() + 3, 5s)) << "closing the main window ended the thru";
  EXPECT_TRUE(program.boxes.texts().empty()) << program.boxes.texts().front();
}

// What reached the instrument from message `from` on.
std::vector<std::uint32_t> messagesFrom(Instrument& instrument, std::size_t from) {
  const std::vector<std::uint32_t> all = instrument.messages();
  return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

// The instrument in the loop, over the live system: the output chosen in the settings dialog
// (on channel 3), following chosen in F_Follow on the port the instrument sends on. Its knobs
// show on the panel and nothing goes back; undo sends the earlier value; F_Program sends Bank
// Select, then Program Change, and the panel shows "?"; a flood of 10,000 Control Changes among
// MIDI clock leaves the window answering and ends on the flood's last value.
TEST_P(WindowsContract, ThePanelFollowsTheInstrumentAndSendsNothingBack) {
  auto synth = backend->instrument(0);
  auto keys = backend->keyboard();
  test::ProgramWindows program(*service);
  MainWindow& window = program.window;
  program.start();
  constexpr int ch = 2;
  window.midiSettings()->findChild<QComboBox*>("AuswahlMIDIChannel")->setCurrentIndex(ch);
  program.chooseAndClose(synth->portName(), keys->portName());
  window.findChild<QAction*>("Menu_InitW")->trigger();
  ASSERT_TRUE(allSent(10s));
  synth->settle();
  auto* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");
  auto* osc2Mute = window.findChild<QCheckBox*>("CheckOSC2mute");
  ASSERT_EQ(cutoff->text(), "127");
  ASSERT_TRUE(osc2Mute->isChecked()) << "the init sound mutes oscillator 2";

  window.findChild<QAction*>("Menu_Follow")->trigger();
  auto* ports = window.findChild<QComboBox*>("ListFollowPort");
  const int at = ports->findText(QString::fromStdString(synth->sendPortName()));
  ASSERT_GT(at, 0) << synth->sendPortName() << " is not among the ports to follow";
  ports->setCurrentIndex(at);
  emit ports->activated(at);
  ASSERT_TRUE(window.instrument()->following()) << window.instrument()->stateText().toStdString();

  // Knobs turned on the instrument: a semitone, an oscillator's volume, then the cutoff.
  std::size_t base = synth->count();
  ASSERT_TRUE(synth->send({controlChange(ch, 28, 70), controlChange(ch, 56, 90)}));
  ASSERT_TRUE(runUntil([&] { return !osc2Mute->isChecked(); })) << "a received volume did not unmute";
  EXPECT_EQ(window.findChild<QAbstractSlider*>("VScrollOSC2vol")->value(), 90);
  EXPECT_EQ(window.findChild<QLineEdit*>("TextOSC1semi")->text(), "6");
  ASSERT_TRUE(synth->send({controlChange(ch, 69, 100)}));
  ASSERT_TRUE(runUntil([&] { return cutoff->text() == "100"; })) << "the cutoff shows " << cutoff->text().toStdString();
  synth->settle();
  EXPECT_EQ(firstDifference(messagesFrom(*synth, base), {}), "") << "a received value went back to the instrument";

  window.findChild<QAction*>("Menu_Undo")->trigger();
  EXPECT_EQ(cutoff->text(), "127");
  ASSERT_TRUE(synth->waitFor(base + 1, 5s)) << "undo sent nothing";
  synth->settle();
  EXPECT_EQ(firstDifference(messagesFrom(*synth, base), {controlChange(ch, 69, 127)}), "");

  // Program B42 from F_Program.
  base = synth->count();
  window.findChild<QAction*>("Menu_Program")->trigger();
  window.findChild<QComboBox*>("ListProgramBank")->setCurrentIndex(1);
  window.findChild<QLineEdit*>("TextProgramNumber")->setText("42");
  QTest::mouseClick(window.findChild<QPushButton*>("CommandProgramSend"), Qt::LeftButton);
  ASSERT_TRUE(synth->waitFor(base + 2, 5s)) << "the program did not reach the instrument";
  synth->settle();
  EXPECT_EQ(firstDifference(messagesFrom(*synth, base), {controlChange(ch, 32, 1), programChange(ch, 41)}), "");
  EXPECT_EQ(cutoff->text(), "?");
  EXPECT_EQ(window.findChild<QLineEdit*>("TextOSC1semi")->text(), "?");
  EXPECT_TRUE(window.windowTitle().endsWith(" [B042]")) << window.windowTitle().toStdString();

  // The flood: the cutoff turned up from 0 to 127 in 10,000 steps (127 only at the last), with
  // the clock of 10 s at 300 beats a minute (1,200 ticks), all handed out within 2 s: a hundred
  // values and twelve ticks every 20 ms.
  base = synth->count();
  std::vector<std::vector<std::uint32_t>> chunks(100);
  for (int i = 0; i < 10000; ++i) {
    std::vector<std::uint32_t>& chunk = chunks[static_cast<std::size_t>(i / 100)];
    chunk.push_back(controlChange(ch, 69, i * 127 / 9999));
    if (i % 100 % 8 == 0 && i % 100 < 96) chunk.push_back(0xF8);
  }
  AnswerProbe probe;
  auto sending = std::async(std::launch::async, [&] {
    Clock::time_point next = Clock::now();
    for (const std::vector<std::uint32_t>& chunk : chunks) {
      if (!synth->send(chunk)) return false;
      std::this_thread::sleep_until(next += 20ms);
    }
    return true;
  });
  const QString last = "127";
  const bool ended = runUntil(
      [&] { return sending.wait_for(0s) == std::future_status::ready && cutoff->text() == last; }, 30s);
  probe.stop();
  QTest::qWait(100);  // what the probe posted last
  ASSERT_TRUE(ended) << "the cutoff shows " << cutoff->text().toStdString() << " after the flood";
  EXPECT_TRUE(sending.get());
  const double longestMs = std::chrono::duration<double, std::milli>(probe.longest()).count();
  std::printf("  the window answered a posted event within %.1f ms during the flood\n", longestMs);
  EXPECT_LT(probe.longest(), 2s) << "the window did not answer for " << static_cast<int>(longestMs) << " ms";
  EXPECT_TRUE(window.findChild<QLabel*>("LabelFollowState")->text().startsWith("ch 3  CC 69  Filter 1 Cutoff = " + last))
      << window.findChild<QLabel*>("LabelFollowState")->text().toStdString();
  synth->settle();
  EXPECT_EQ(firstDifference(messagesFrom(*synth, base), {}), "") << "the flood went back to the instrument";
  EXPECT_TRUE(program.boxes.texts().empty()) << program.boxes.texts().front();
}

}  // namespace rotavox::contract::windows_contract_test
