#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "core/midi/Messages.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/Instrument.h"
#include "ui/midi/ProgramWindow.h"

namespace rotavox::test {
namespace program_window_test {

Msg program(int number) { return {0xC0, number, 0}; }

struct ProgramTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();
  QComboBox* bank = nullptr;
  QLineEdit* number = nullptr;

  ProgramTest() {
    fx.openOutput();
    window.setWindowTitle(windowTitleText());
    window.show();
    window.Menu_InitW_Click();
    window.findChild<QAction*>("Menu_Program")->trigger();
    bank = window.findChild<QComboBox*>("ListProgramBank");
    number = window.findChild<QLineEdit*>("TextProgramNumber");
    fx.service.clearRecords();
  }
  void press(const char* button) { QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  bool showsStartTexts() {
    for (const Parameter& p : kParameters)
      if (p.kind != ParamKind::Volume && panel.shown({p.id}) != "?") return false;
    return true;
  }
};

// Send: Bank Select, then Program Change; the panel forgets the sound without sending, the
// title names the program, and undo puts the sound back and sends it as any undo does.
TEST_F(ProgramTest, SendChoosesTheProgramAndThePanelShowsQuestionMarks) {
  ASSERT_EQ(window.findChild<QWidget*>("F_Program")->windowTitle(), "Program on the instrument");
  EXPECT_EQ(bank->count(), 3);
  EXPECT_EQ(bank->itemText(2), "C");
  EXPECT_EQ(window.findChild<QPushButton*>("CommandProgramSend")->text(), "&Send");
  const SoundState before = panel.soundState();
  bank->setCurrentIndex(1);
  number->setText("42");
  press("CommandProgramSend");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(32, 1), program(41)}));
  EXPECT_TRUE(showsStartTexts());
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [B042]");
  fx.service.clearRecords();
  window.findChild<QAction*>("Menu_Undo")->trigger();
  EXPECT_EQ(panel.soundState(), before);
  EXPECT_EQ(sent().front(), cc(7, 110)) << "the sound from before goes out again, in table order";
}

// "<" and ">" step across the banks and send; a number that is not a whole number 1..100 is
// framed red and nothing is sent by any of the three.
TEST_F(ProgramTest, StepsAcrossBanksAndRefusesANumberOutOfRange) {
  const struct {
    int bank;
    const char* number;
    const char* button;
    std::vector<Msg> sends;
    const char* after;
  } cases[] = {
      {0, "100", "CommandProgramNext", {cc(32, 1), program(0)}, "B1"},
      {0, "1", "CommandProgramPrev", {cc(32, 2), program(99)}, "C100"},
      {0, "0", "CommandProgramNext", {}, "A0"},
      {1, "4.5", "CommandProgramSend", {}, "B4.5"},
      {2, "101", "CommandProgramPrev", {}, "C101"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " " + c.number);
    bank->setCurrentIndex(c.bank);
    number->setText(c.number);
    fx.service.clearRecords();
    press(c.button);
    EXPECT_EQ(sent(), c.sends);
    EXPECT_EQ(bank->currentText() + number->text(), c.after);
    EXPECT_EQ(number->palette().color(QPalette::Base) == QColor(255, 214, 214), c.sends.empty());
  }
}

// A program chosen on the instrument does what sending one does, without sending; the window
// shows it, so that ">" goes on from there.
TEST_F(ProgramTest, AProgramChosenOnTheInstrumentForgetsTheSoundToo) {
  fx.service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}};
  ASSERT_EQ(window.instrument()->follow(0, fx.service.inPorts[0]), kMidiOk);
  fx.service.receive(controlChange(0, 32, 2));
  fx.service.receive(shortMessage(0xC0, 4, 0));
  QElapsedTimer t;
  t.start();
  while (!showsStartTexts() && t.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_TRUE(showsStartTexts());
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [C005]");
  press("CommandProgramNext");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(32, 2), program(5)}));
}

}  // namespace program_window_test
}  // namespace rotavox::test
