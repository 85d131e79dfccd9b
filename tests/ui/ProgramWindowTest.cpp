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

Msg programChangeMsg(int program) { return {0xC0, program, 0}; }

struct ProgramTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  EditorPanel& panel = *window.panel();

  ProgramTest() {
    fx.openOutput();
    window.Form_Load();
    if (QWidget* settings = window.findChild<QWidget*>("F_Midi")) settings->close();
    fx.openOutput();
    window.show();
    window.Menu_InitW_Click();
    clear();
  }
  ProgramWindow* open() {
    window.findChild<QAction*>("Menu_Program")->trigger();
    return window.findChild<ProgramWindow*>("F_Program");
  }
  template <typename T = QWidget>
  T* get(const char* name) {
    T* w = window.findChild<T*>(name);
    if (!w) ADD_FAILURE() << "no object " << name;
    return w;
  }
  void choose(int bank, const char* number) {
    get<QComboBox>("ListProgramBank")->setCurrentIndex(bank);
    get<QLineEdit>("TextProgramNumber")->setText(number);
  }
  void press(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
  // Every number field and selector shows "?", as at start.
  bool showsStartTexts() {
    for (const Parameter& p : kParameters)
      if (p.kind != ParamKind::Volume && panel.shown({p.id}) != "?") return false;
    return true;
  }
};

TEST_F(ProgramTest, TheWindowAndItsControls) {
  ProgramWindow* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "Program on the instrument");
  auto* bank = get<QComboBox>("ListProgramBank");
  QStringList banks;
  for (int i = 0; i < bank->count(); ++i) banks << bank->itemText(i);
  EXPECT_EQ(banks, (QStringList{"A", "B", "C"}));
  EXPECT_EQ(get<QLineEdit>("TextProgramNumber")->text(), "1");
  const std::pair<const char*, const char*> buttons[] = {{"CommandProgramSend", "&Send"},
                                                         {"CommandProgramPrev", "<"},
                                                         {"CommandProgramNext", ">"},
                                                         {"CommandProgramClose", "Close"}};
  for (const auto& [name, caption] : buttons) EXPECT_EQ(get<QPushButton>(name)->text(), caption);
  EXPECT_TRUE(sent().empty()) << "opening sends nothing";
}

// Send: Bank Select, then Program Change, through the one queue; the panel forgets the sound
// without sending anything, the title names the program, and undo puts the sound back and
// sends it as any undo does.
TEST_F(ProgramTest, SendChoosesTheProgramAndThePanelShowsQuestionMarks) {
  const SoundState before = panel.soundState();
  open();
  choose(1, "42");
  press("CommandProgramSend");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(32, 1), programChangeMsg(41)}));
  EXPECT_TRUE(showsStartTexts());
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [B042]");
  EXPECT_EQ(get<QAction>("Menu_Undo")->text(), "&Undo Program B042");
  clear();
  get<QAction>("Menu_Undo")->trigger();
  EXPECT_EQ(panel.soundState(), before);
  EXPECT_GT(sent().size(), 40u) << "the sound from before goes out again";
  EXPECT_EQ(sent().front(), cc(7, 110)) << "in table order, the main volume first";
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [B042]") << "the instrument still plays B042";
}

TEST_F(ProgramTest, StepsAcrossBanksAndSends) {
  open();
  const struct {
    int bank;
    const char* number;
    const char* button;
    std::vector<Msg> sends;
    int bankAfter;
    const char* numberAfter;
  } cases[] = {
      {0, "100", "CommandProgramNext", {cc(32, 1), programChangeMsg(0)}, 1, "1"},
      {0, "1", "CommandProgramPrev", {cc(32, 2), programChangeMsg(99)}, 2, "100"},
      {2, "7", "CommandProgramNext", {cc(32, 2), programChangeMsg(7)}, 2, "8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " from " + c.number);
    choose(c.bank, c.number);
    clear();
    press(c.button);
    EXPECT_EQ(sent(), c.sends);
    EXPECT_EQ(get<QComboBox>("ListProgramBank")->currentIndex(), c.bankAfter);
    EXPECT_EQ(get<QLineEdit>("TextProgramNumber")->text(), c.numberAfter);
  }
}

// A number that is not a whole number 1..100 is framed red, and nothing is sent or forgotten.
TEST_F(ProgramTest, ANumberOutOfRangeIsFramedRedAndNotSent) {
  open();
  auto* number = get<QLineEdit>("TextProgramNumber");
  const QColor normal = number->palette().color(QPalette::Base);
  const SoundState before = panel.soundState();
  for (const char* text : {"0", "101", "4.5", "x", ""}) {
    SCOPED_TRACE(text);
    choose(0, text);
    EXPECT_EQ(number->palette().color(QPalette::Base), QColor(255, 214, 214));
    for (const char* button : {"CommandProgramSend", "CommandProgramNext", "CommandProgramPrev"}) press(button);
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(panel.soundState(), before);
  }
  choose(0, "100");
  EXPECT_EQ(number->palette().color(QPalette::Base), normal);
}

// A program chosen on the instrument (Bank Select, then Program Change, on the chosen channel)
// does what sending one does, without sending: "?" on the panel, the title, and the window
// shows it, so that ">" goes on from there.
TEST_F(ProgramTest, AProgramChosenOnTheInstrumentForgetsTheSoundToo) {
  fx.service.inPorts = {{0, 0, 0, "microQ MIDI out", "hw:microQ"}};
  open();
  Instrument& instrument = *window.instrument();
  ASSERT_EQ(instrument.follow(0, fx.service.inPorts[0]), kMidiOk);
  fx.service.receive(controlChange(0, 32, 2));
  fx.service.receive(shortMessage(0xC0, 4, 0));
  QElapsedTimer t;
  t.start();
  while (!showsStartTexts() && t.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_TRUE(showsStartTexts());
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(window.windowTitle(), windowTitleText() + " [C005]");
  EXPECT_EQ(get<QComboBox>("ListProgramBank")->currentText(), "C");
  EXPECT_EQ(get<QLineEdit>("TextProgramNumber")->text(), "5");
  press("CommandProgramNext");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(32, 2), programChangeMsg(5)}));
}

}  // namespace program_window_test
}  // namespace rotavox::test
