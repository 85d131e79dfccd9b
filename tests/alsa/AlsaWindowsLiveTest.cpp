// The program's real windows over a live kernel sequencer: the user chooses the virtual card's
// ports in the MIDI settings dialog, closes it and presses Panic; the instrument's side of the
// card reads the bytes.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "core/midi/MidiLink.h"
#include "platform/midi/alsa/AlsaSeqService.h"
#include "alsa/AlsaVmSupport.h"
#include "ui/common/AppContext.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using namespace alsavm;

TEST(AlsaWindows, PanicButtonReachesTheCardChosenInTheSettingsDialog) {
  ROTAVOX_REQUIRE_SEQUENCER();
  ASSERT_TRUE(ensureCard());
  RawMidiReader wire(rawMidiPath(0));
  ASSERT_TRUE(wire.ok());
  std::unique_ptr<MidiService> service = tryOpenAlsaSeqService("Rotavox");
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
  const int outAt = outList->findText(QString::fromStdString(virmidiPortName(0)));
  const int inAt = inList->findText(QString::fromStdString(virmidiPortName(1)));
  ASSERT_GE(outAt, 0) << "VirMIDI 0-0 is not in the output list";
  ASSERT_GE(inAt, 0) << "VirMIDI 0-1 is not in the input list";
  EXPECT_EQ(outList->itemText(outList->count() - 1), "Rotavox virtual out");
  outList->setCurrentIndex(outAt);
  inList->setCurrentIndex(inAt);
  QTest::mouseClick(close, Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_TRUE(dialog.isNull()) << "the dialog stayed open";

  auto* panic = window.findChild<QPushButton*>("Panic");
  ASSERT_NE(panic, nullptr);
  QTest::mouseClick(panic, Qt::LeftButton);
  const std::vector<std::uint32_t> sweep = panicSweep(0);
  ASSERT_TRUE(wire.waitFor(sweep.size(), 30s)) << "only " << wire.count() << " of 2032 arrived";
  wire.settle();
  EXPECT_EQ(firstDifference(wire.messages(), sweep), "");

  // The keyboard plays through the thru while the editor is open.
  ASSERT_TRUE(writeRawMidi(rawMidiPath(1), {noteOn(0, 60, 90)}));
  ASSERT_TRUE(wire.waitFor(sweep.size() + 1, 5s)) << "the thru does not carry";
  EXPECT_EQ(wire.messages(sweep.size()), std::vector<std::uint32_t>{noteOn(0, 60, 90)});

  // Opening the settings dialog again ends the thru; closing it with the same choice makes it
  // again.
  window.Menu_Midisettings_Click();
  ASSERT_NE(window.midiSettings(), nullptr);
  ASSERT_TRUE(writeRawMidi(rawMidiPath(1), {noteOn(0, 62, 90)}));
  wire.settle(500ms);
  EXPECT_EQ(wire.count(), sweep.size() + 1) << "a note went through while the dialog is open";
  dialog = window.midiSettings();
  QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(writeRawMidi(rawMidiPath(1), {noteOn(0, 64, 90)}));
  ASSERT_TRUE(wire.waitFor(sweep.size() + 2, 5s)) << "the thru was not made again";
  EXPECT_EQ(wire.messages(sweep.size() + 1), std::vector<std::uint32_t>{noteOn(0, 64, 90)});

  window.close();
  EXPECT_EQ(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

}  // namespace
}  // namespace rotavox
