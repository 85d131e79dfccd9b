// The program's real windows over a live MIDI system: the user chooses the instrument and the
// keyboard in the MIDI settings dialog, closes it and presses Panic; the thru follows the
// dialog.

#include <QPushButton>
#include <QTest>

#include "contract/MidiContract.h"
#include "support/ProgramWindows.h"

namespace rotavox::contract {
namespace {

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

}  // namespace
}  // namespace rotavox::contract
