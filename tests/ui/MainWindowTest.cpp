#include <gtest/gtest.h>

#include <QAction>
#include <algorithm>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "TestSupport.h"
#include "support/ParameterSheet.h"
#include "core/editor/ParameterTable.h"
#include "ui/about/AboutBox.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using test::child;

struct MainWindowTest : ::testing::Test {
  test::MidiFixture f;
  MainWindow window{f.ctx};

  void start() {
    window.Form_Load();
    window.show();
  }
  QAction* action(const char* name) { return window.findChild<QAction*>(name); }
  // Closes the settings dialog with port 0 chosen, so the output is open.
  void connectFirstPort() {
    MidiSettingsDialog* dialog = window.midiSettings();
    dialog->AuswahlMIDIPort_Click(0);
    dialog->Command1_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f.service.clearRecords();
    f.presenter.boxes.clear();
  }
};

TEST_F(MainWindowTest, StartUpTitlesTheWindowShowsTheSettingsOnTopAndSendsNothing) {
  f.ctx.sequencer.SeqRunning = true;
  f.ctx.sequencer.SeqOctave = 2;
  f.ctx.sequencer.SeqStep = 5;
  f.ctx.files.LastSoundFolder = "/tmp";
  start();
  EXPECT_EQ(window.objectName(), "F_Rotavox");
  EXPECT_EQ(window.windowTitle(), "Rotavox v0.2.0");
  ASSERT_NE(window.midiSettings(), nullptr);
  EXPECT_TRUE(window.midiSettings()->isVisible());
  EXPECT_TRUE(window.midiSettings()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(f.ctx.sequencer.SeqRunning);
  EXPECT_EQ(f.ctx.sequencer.SeqOctave, 0);
  EXPECT_EQ(f.ctx.sequencer.SeqStep, 0);
  EXPECT_EQ(f.ctx.sequencer.SeqVelocity, 100);
  EXPECT_EQ(f.ctx.files.LastSoundFolder, "?");
  EXPECT_EQ(f.midi.state().MidiOutDevice, -1);
  EXPECT_EQ(f.midi.state().MidiChannel, 0);
  EXPECT_TRUE(f.service.sent.empty());
  EXPECT_TRUE(f.presenter.boxes.empty());
}

TEST_F(MainWindowTest, StartUpLeavesEveryFieldAndSelectorShowingAQuestionMark) {
  start();
  int shown = 0;
  for (const Parameter& p : kParameters) {
    const QString name = QString::fromLatin1(p.control.data(), static_cast<int>(p.control.size()));
    if (auto* field = window.findChild<QLineEdit*>(name)) {
      EXPECT_EQ(field->text(), "?") << p.control;
      ++shown;
    } else if (auto* box = window.findChild<QComboBox*>(name)) {
      EXPECT_EQ(box->currentText(), "?") << p.control;
      ++shown;
    }
  }
  EXPECT_EQ(shown, std::count_if(test::kSheet.begin(), test::kSheet.end(), [](const test::SheetRow& r) {
              return !test::hasMuteBox(r);
            })) << "every parameter but the oscillator volume sliders";
  EXPECT_TRUE(f.service.sent.empty());
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsShortcutsAndAvailability) {
  start();
  struct Item {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool enabled;
  } items[] = {
      {"Menu_OpenSound", "&Open sound", "Ctrl+O", true},
      {"Menu_SaveSound", "Save sound &as", "Ctrl+S", true},
      {"Menu_Quit", "&Quit", "", true},
      {"Menu_InitW", "Init sound to mQ Waldorf default", "", true},
      {"Menu_InitK", "Init sound to Rotavox default", "", false},
      {"Menu_Panic", "Send &Panic", "F12", true},
      {"Menu_Sequenzer", "Sequenzer settings", "F11", true},
      {"Menu_StartSequenzer", "Start se&quenzer", "Ctrl+Q", false},
      {"Menu_Midisettings", "Midi settings", "", true},
      {"Menu_About", "&About", "", true},
  };
  for (const Item& i : items) {
    QAction* a = action(i.name);
    ASSERT_NE(a, nullptr) << i.name;
    EXPECT_EQ(a->text(), i.caption) << i.name;
    EXPECT_EQ(a->shortcut().toString(), i.shortcut) << i.name;
    EXPECT_EQ(a->isEnabled(), i.enabled) << i.name;
  }
  QStringList tops;
  for (QAction* a : window.menuBar()->actions()) tops << a->text();
  // The specified menus in their order, with the added "&Edit" between "&File" and "&Midi".
  EXPECT_EQ(tops, (QStringList{"&File", "&Edit", "&Midi", "&About"}));
  EXPECT_EQ(window.findChild<QMenu*>("Menu_File")->title(), "&File");
  EXPECT_EQ(window.findChild<QMenu*>("Menu_Options")->title(), "&Midi");
}

TEST_F(MainWindowTest, UnavailableItemsCannotBeReachedByShortcut) {
  start();
  window.midiSettings()->close();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QSignalSpy start(action("Menu_StartSequenzer"), &QAction::triggered);
  QSignalSpy init(action("Menu_InitK"), &QAction::triggered);
  QSignalSpy panic(action("Menu_Panic"), &QAction::triggered);
  QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(&window, Qt::Key_F12);
  EXPECT_EQ(start.count(), 0);
  EXPECT_EQ(init.count(), 0);
  EXPECT_EQ(panic.count(), 1);  // the shortcut path itself works
  action("Menu_StartSequenzer")->trigger();
  EXPECT_EQ(start.count(), 0);
}

TEST_F(MainWindowTest, PanicButtonAndMenuSendTheSameSweep) {
  start();
  connectFirstPort();
  QTest::mouseClick(child<QPushButton>(&window, "Panic"), Qt::LeftButton);
  const auto fromButton = f.service.delivered();
  f.service.clearRecords();
  action("Menu_Panic")->trigger();
  EXPECT_EQ(fromButton.size(), 2032u);
  EXPECT_EQ(f.service.delivered(), fromButton);
  EXPECT_EQ(child<QPushButton>(&window, "Panic")->text(), "&Panic");
  EXPECT_EQ(child<QPushButton>(&window, "Panic")->toolTip(), "Stops 'hanging' notes");
}

// The key's own repeat while F12 is held sends no Panic; a new press does. (The port here takes
// each sweep at once, so only the key decides.)
TEST_F(MainWindowTest, HeldF12SendsOnePanicAndANewPressAnother) {
  start();
  connectFirstPort();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto press = [&](bool repeat) { QTest::simulateEvent(&window, true, Qt::Key_F12, Qt::NoModifier, {}, repeat); };
  press(false);
  for (int i = 0; i < 20; ++i) press(true);
  QTest::keyRelease(&window, Qt::Key_F12);
  EXPECT_EQ(f.service.delivered().size(), 2032u);
  QTest::keyClick(&window, Qt::Key_F12);
  EXPECT_EQ(f.service.delivered().size(), 2 * 2032u);
}

// So a device plugged in while the dialog is open is listed only once the dialog was closed
// and opened again, as the troubleshooting notes say.
TEST_F(MainWindowTest, MidiSettingsWhileOpenOnlyBringsItForward) {
  start();
  MidiSettingsDialog* first = window.midiSettings();
  f.service.calls.clear();
  f.service.outPorts.push_back({0, 0, 0, "Plugged in", kTechOutputPort, {}});
  auto listed = [&] { return child<QComboBox>(window.midiSettings(), "AuswahlMIDIPort")->findText("Plugged in") >= 0; };
  action("Menu_Midisettings")->trigger();
  EXPECT_EQ(window.midiSettings(), first);
  EXPECT_TRUE(f.service.calls.empty());
  EXPECT_FALSE(listed());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  connectFirstPort();
  action("Menu_Midisettings")->trigger();
  ASSERT_NE(window.midiSettings(), nullptr);
  EXPECT_NE(std::find(f.service.calls.begin(), f.service.calls.end(), "closeOut 1"), f.service.calls.end());
  EXPECT_TRUE(listed());
}

TEST_F(MainWindowTest, CloseBoxClosesTheOutputButQuitDoesNot) {
  start();
  connectFirstPort();
  window.Menu_Quit_Click();
  EXPECT_NE(f.midi.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_TRUE(f.service.calls.empty());
  window.close();
  EXPECT_EQ(f.midi.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(f.service.calls, std::vector<std::string>{"closeOut 1"});
}

TEST_F(MainWindowTest, AboutShowsVersionAndClosesOnCharacterKeysAndFrameClicksOnly) {
  start();
  struct Case {
    const char* what;
    std::function<void(QWidget* box)> act;
    bool closes;
  } cases[] = {
      {"click on a label", [](QWidget* b) { QTest::mouseClick(child<QLabel>(b, "lblVersion"), Qt::LeftButton); }, false},
      {"click on the picture", [](QWidget* b) { QTest::mouseClick(child<QWidget>(b, "imgLogo"), Qt::LeftButton); }, false},
      {"arrow key", [](QWidget* b) { QTest::keyClick(b, Qt::Key_Left); }, false},
      {"function key", [](QWidget* b) { QTest::keyClick(b, Qt::Key_F5); }, false},
      {"Esc", [](QWidget* b) { QTest::keyClick(b, Qt::Key_Escape); }, true},
      {"letter", [](QWidget* b) { QTest::keyClick(b, Qt::Key_A); }, true},
      {"Enter", [](QWidget* b) { QTest::keyClick(b, Qt::Key_Return); }, true},
      {"click on the frame",
       [](QWidget* b) { QTest::mouseClick(child<QWidget>(b, "Frame1"), Qt::LeftButton, {}, QPoint(5, 300)); }, true},
  };
  for (const Case& c : cases) {
    window.Menu_About_Click();
    QPointer<QWidget> box = window.findChild<QWidget*>("F_About");
    ASSERT_FALSE(box.isNull()) << c.what;
    EXPECT_EQ(child<QLabel>(box, "lblVersion")->text(), "Version 0.2.0");
    EXPECT_EQ(child<QLabel>(box, "lblProductName")->text(), "Rotavox");
    c.act(box);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(box.isNull(), c.closes) << c.what;
    delete box.data();
  }
}

}  // namespace
}  // namespace rotavox
