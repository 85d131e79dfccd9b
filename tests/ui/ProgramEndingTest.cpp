// How the program ends: with its last window, not with the main window; and, with MIDI
// messages still queued, only once they are out or the user quits at once.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "support/ProgramWindows.h"
#include "ui/ProgramEnding.h"
#include "ui/about/AboutBox.h"
#include "ui/common/QueuedMessagesNote.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/FileDialog.h"
#include "ui/midi/MidiSettingsDialog.h"
#include "ui/play/SequencerDialog.h"

namespace rotavox {
namespace {

namespace fs = std::filesystem;
using test::child;

// Lets queued calls run and closed windows be deleted, as the event loop would.
void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The program as it runs, on a memory MIDI port, with the output open on port 0.
struct Running {
  MemoryService service;
  test::ProgramWindows program{service};
  MainWindow& window = program.window;
  ProgramEnding& ending = *window.ending();

  Running() {
    service.outPorts.push_back({0x41, 0x22, 0x0500, "Test synth", kTechOutputPort, {}});
    program.start();
    program.chooseAndClose("Test synth");
    settle();
    service.clearRecords();
    program.boxes.boxes.clear();
  }
  bool outputClosed() const {
    return program.link.state().MidiOutHandle == kNoMidiHandle &&
           std::find(service.calls.begin(), service.calls.end(), "closeOut 1") != service.calls.end();
  }
};

// Runs the application's own event loop until the program ends; 99 when it has not ended
// within five seconds.
int runEventLoop() {
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);
  return QCoreApplication::exec();
}

TEST(ProgramEnding, AboutOutlivesTheMainWindowAndTheProgramEndsWhenItCloses) {
  Running run;
  run.window.Menu_About_Click();
  QPointer<AboutBox> about = run.window.findChild<AboutBox*>("F_About");
  ASSERT_NE(about, nullptr);

  run.window.close();
  settle();
  EXPECT_FALSE(run.window.isVisible());
  EXPECT_TRUE(about && about->isVisible()) << "closing the main window took the About box with it";
  EXPECT_TRUE(run.outputClosed()) << "the main window's unload did not close the output";
  EXPECT_FALSE(run.ending.hasEnded());

  QTest::keyClick(about, Qt::Key_Escape);
  EXPECT_EQ(runEventLoop(), 0) << "the program went on after its last window closed";
  EXPECT_TRUE(run.ending.hasEnded());
}

// Every dialog that can be open when the main window closes stays, and each of its controls
// either works or tells why it cannot; the last one closed ends the program.
TEST(ProgramEnding, EachDialogGoesOnWithoutTheMainWindow) {
  struct Case {
    const char* what;
    std::function<void(MainWindow&)> open;
    const char* name;
    // Uses the dialog's controls, ending with the one that closes it.
    std::function<void(Running&, QWidget*)> use;
  };
  const fs::path folder = fs::temp_directory_path() / ("rotavox-ending-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const Case cases[] = {
      {"About", [](MainWindow& w) { w.Menu_About_Click(); }, "F_About",
       [](Running&, QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }},
      {"sequencer settings", [](MainWindow& w) { w.Menu_Sequenzer_Click(); }, "F_Sequenzer",
       [](Running& run, QWidget* d) {
         QTest::mouseClick(child<QPushButton>(d, "OktavePlus"), Qt::LeftButton);
         QTest::mouseClick(child<QPushButton>(d, "OktavePlus"), Qt::LeftButton);
         QTest::mouseClick(child<QPushButton>(d, "OktaveMinus"), Qt::LeftButton);
         EXPECT_EQ(child<QLineEdit>(d, "TextOktave")->text(), "1");
         EXPECT_EQ(run.program.ctx.sequencer.SeqOctave, 1);
         child<QLineEdit>(d, "TextSpeed")->setText("40");
         EXPECT_TRUE(run.service.delivered().empty()) << "something reached the closed output";
         QTest::mouseClick(child<QPushButton>(d, "Command1"), Qt::LeftButton);
       }},
      {"file dialog, open", [](MainWindow& w) { w.Menu_OpenSound_Click(); }, "F_FileIO",
       [](Running& run, QWidget* d) {
         auto* dialog = static_cast<FileDialog*>(d);
         dialog->TextFilename()->setText("anything");
         QTest::mouseClick(dialog->C_File(), Qt::LeftButton);
         ASSERT_EQ(run.program.boxes.boxes.size(), 1u);
         EXPECT_EQ(run.program.boxes.boxes[0].text,
                   "The editor window is closed: there is no sound panel to load the sound into.");
         EXPECT_TRUE(dialog->isVisible()) << "the dialog closed as if it had loaded";
         QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
       }},
      {"file dialog, save", [](MainWindow& w) { w.Menu_SaveSound_Click(); }, "F_FileIO",
       [&folder](Running& run, QWidget* d) {
         auto* dialog = static_cast<FileDialog*>(d);
         dialog->TextFilename()->setText("kept");
         QTest::mouseClick(dialog->C_File(), Qt::LeftButton);
         EXPECT_TRUE(run.program.boxes.boxes.empty()) << run.program.boxes.boxes.front().text;
         std::ifstream saved(folder / "kept.rvs");
         std::string header;
         std::getline(saved, header);
         EXPECT_EQ(header, "\"Rotavox soundfileformat v.0.2\"\r") << "the sound of the closed window was not saved";
       }},
      {"MIDI settings", [](MainWindow& w) { w.Menu_Midisettings_Click(); }, "F_Midi",
       [](Running& run, QWidget* d) {
         child<QComboBox>(d, "AuswahlMIDIPort")->setCurrentIndex(0);
         QTest::mouseClick(child<QPushButton>(d, "Command1"), Qt::LeftButton);
         EXPECT_NE(run.program.link.state().MidiOutHandle, kNoMidiHandle);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Running run;
    run.program.ctx.files.LastSoundFolder = folder.string();
    run.window.Menu_InitW_Click();
    c.open(run.window);
    QPointer<QWidget> dialog = run.window.findChild<QWidget*>(c.name);
    ASSERT_TRUE(dialog && dialog->isVisible());
    run.service.clearRecords();

    run.window.close();
    settle();
    ASSERT_TRUE(dialog && dialog->isVisible()) << "the dialog went with the main window";
    EXPECT_FALSE(run.window.isVisible());
    EXPECT_EQ(run.program.link.state().MidiOutHandle, kNoMidiHandle);
    if (dialog->windowHandle()) {
      EXPECT_EQ(dialog->windowHandle()->transientParent(), nullptr);
    }
    EXPECT_FALSE(run.ending.hasEnded());

    c.use(run, dialog);
    settle();
    EXPECT_TRUE(dialog.isNull()) << "the dialog did not close";
    EXPECT_TRUE(run.ending.hasEnded()) << "the last window closed, but the program went on";
  }
  fs::remove_all(folder);
}

// While another window stays, closing windows one by one ends nothing.
TEST(ProgramEnding, TheProgramGoesOnWhileAnyOfItsWindowsIsOpen) {
  Running run;
  run.window.Menu_About_Click();
  run.window.Menu_Sequenzer_Click();
  run.window.close();
  settle();
  EXPECT_FALSE(run.ending.hasEnded());
  QTest::keyClick(run.window.findChild<AboutBox*>("F_About"), Qt::Key_Escape);
  settle();
  EXPECT_FALSE(run.ending.hasEnded()) << "ended while the sequencer settings were open";
  // Minimising is no closing.
  QWidget* sequencer = run.window.findChild<QWidget*>("F_Sequenzer");
  sequencer->showMinimized();
  settle();
  sequencer->showNormal();
  settle();
  EXPECT_FALSE(run.ending.hasEnded()) << "a minimised window counted as closed";
  sequencer->close();
  settle();
  EXPECT_TRUE(run.ending.hasEnded());
}

TEST(ProgramEnding, QuitWithNothingQueuedEndsAtOnceWithoutUnloadSteps) {
  Running run;
  run.window.Menu_About_Click();
  run.window.findChild<QAction*>("Menu_Quit")->trigger();
  EXPECT_TRUE(run.ending.hasEnded());
  EXPECT_EQ(run.ending.note(), nullptr);
  EXPECT_NE(run.program.link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_TRUE(run.service.calls.empty()) << run.service.calls.front();
}

// Messages still queued when the program is to end: a note counts them down; the program
// ends when they are out, or when the user quits at once.
TEST(ProgramEnding, QueuedMessagesAreSentBeforeTheProgramEnds) {
  enum class Way { LastWindowClosed, Quit };
  enum class Then { QueueEmpties, QuitNowButton, NoteClosed };
  const struct {
    const char* what;
    Way way;
    Then then;
  } cases[] = {
      {"last window closed, queue empties", Way::LastWindowClosed, Then::QueueEmpties},
      {"last window closed, quit at once", Way::LastWindowClosed, Then::QuitNowButton},
      {"last window closed, note closed", Way::LastWindowClosed, Then::NoteClosed},
      {"Quit, queue empties", Way::Quit, Then::QueueEmpties},
      {"Quit, quit at once", Way::Quit, Then::QuitNowButton},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Running run;
    run.window.Menu_About_Click();
    QPointer<QWidget> about = run.window.findChild<QWidget*>("F_About");
    run.service.pending = 2032;
    if (c.way == Way::LastWindowClosed) {
      run.window.close();
      about->close();
      settle();
      EXPECT_TRUE(run.outputClosed());
    } else {
      run.window.findChild<QAction*>("Menu_Quit")->trigger();
      // The windows go at once, without their unload steps: the output stays open and sends.
      EXPECT_FALSE(run.window.isVisible());
      EXPECT_TRUE(about && !about->isVisible()) << "Quit left a window standing";
      EXPECT_NE(run.program.link.state().MidiOutHandle, kNoMidiHandle);
      EXPECT_TRUE(run.service.calls.empty()) << run.service.calls.front();
    }
    QPointer<QueuedMessagesNote> note = run.ending.note();
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_FALSE(note->isModal());
    EXPECT_EQ(note->text()->text(), QString::fromUtf8("Sending 2032 queued MIDI messages\u2026"));
    EXPECT_FALSE(run.ending.hasEnded()) << "ended with 2032 messages queued";

    run.service.pending = 1;
    note->refresh();
    EXPECT_EQ(note->text()->text(), QString::fromUtf8("Sending 1 queued MIDI message\u2026"));
    EXPECT_FALSE(run.ending.hasEnded());

    switch (c.then) {
      case Then::QueueEmpties:
        run.service.pending = 0;
        note->refresh();
        break;
      case Then::QuitNowButton: QTest::mouseClick(note->quitButton(), Qt::LeftButton); break;
      case Then::NoteClosed: note->close(); break;
    }
    EXPECT_TRUE(run.ending.hasEnded());
  }
}

// The MIDI system stops answering while the note counts (a JACK server stopped with SIGSTOP):
// the note says so and offers to quit at once, instead of counting on for ever; should the
// system answer again, it counts on.
TEST(ProgramEnding, TheNoteSaysWhenTheMidiSystemDoesNotAnswer) {
  Running run;
  run.service.pending = 4558;
  run.window.findChild<QAction*>("Menu_Quit")->trigger();
  QPointer<QueuedMessagesNote> note = run.ending.note();
  ASSERT_NE(note, nullptr);

  run.service.answers = false;
  run.service.pending = 0;  // a service may count nothing more once its system does not answer
  note->refresh();
  EXPECT_EQ(note->text()->text(),
            "The MIDI system does not answer: 4558 queued MIDI messages cannot be sent. Quit now, or wait until it "
            "answers.");
  EXPECT_FALSE(run.ending.hasEnded()) << "ended as if the messages had gone out";
  EXPECT_TRUE(note->quitButton()->isEnabled());

  run.service.answers = true;
  run.service.pending = 4000;
  note->refresh();
  EXPECT_EQ(note->text()->text(), QString::fromUtf8("Sending 4000 queued MIDI messages\u2026"));
  run.service.answers = false;
  note->refresh();
  QTest::mouseClick(note->quitButton(), Qt::LeftButton);
  EXPECT_TRUE(run.ending.hasEnded());
}

// The note counts on its own timer: the application's loop ends once the queue is empty.
TEST(ProgramEnding, TheNoteEndsTheProgramByItselfWhenTheQueueEmpties) {
  Running run;
  run.service.pending = 500;
  run.window.close();
  settle();
  ASSERT_NE(run.ending.note(), nullptr);
  QTimer wire;
  QObject::connect(&wire, &QTimer::timeout, [&run] {
    run.service.pending = run.service.pending > 100 ? run.service.pending - 100 : 0;
  });
  wire.start(20);
  EXPECT_EQ(runEventLoop(), 0);
  EXPECT_EQ(run.service.pending, 0u);
  EXPECT_TRUE(run.ending.hasEnded());
}

}  // namespace
}  // namespace rotavox
