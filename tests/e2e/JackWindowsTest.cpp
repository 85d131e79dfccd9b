// The program's real windows against the JACK service and a real JACK server: the user
// chooses the ports in the MIDI settings dialog, closes it, and presses Panic.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/JackService.h"
#include "ui/common/AppContext.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using jacktest::Receiver;
using jacktest::Sender;

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

}  // namespace
}  // namespace rotavox
