// How long the window waits on a JACK server that does not answer (stopped with SIGSTOP): each
// user action of the program's real windows is timed while the server is stopped (the start,
// opening the MIDI settings, their Close, Panic, an edit, Quit and the end), and how long the
// Quit note takes to say that the server does not answer. The goal: no action waits more than
// once, about a second in all. Starts a JACK server of its own (dummy driver).

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "../tests/e2e/JackTestClients.h"
#include "core/midi/MidiServiceHolder.h"
#include "platform/midi/ServiceChoice.h"
#include "support/ProgramWindows.h"
#include "ui/ProgramEnding.h"
#include "ui/common/QueuedMessagesNote.h"

namespace {

using namespace rotavox;
using jacktest::Clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double worst = 0.0;

// Times one action of the program's thread.
void timed(const char* what, const std::function<void()>& action) {
  const Clock::time_point start = Clock::now();
  action();
  const double took = ms(Clock::now() - start);
  worst = std::max(worst, took);
  std::printf("  %-44s %8.1f ms\n", what, took);
}

// Presses the settings dialog's Close as it stands (it may stay open, asking for a port).
void pressClose(MainWindow& window) {
  if (MidiSettingsDialog* dialog = window.midiSettings())
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The program as main() builds it (its MIDI system chosen as at start), with boxes recorded
// instead of shown.
struct Running {
  MidiServiceHolder services{&openSystemMidiService};
  test::ProgramWindows windows{services};
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  jacktest::PrivateServer server("rotavox-stall-" + std::to_string(getpid()));
  if (!server.up()) {
    std::printf("jackd did not come up\n");
    return 1;
  }
  setenv("JACK_DEFAULT_SERVER", server.name(), 1);
  jacktest::Receiver instrument("rv-instrument", server.name());
  jacktest::Sender keyboard("rv-keyboard", server.name());

  std::printf("Starting with the server stopped:\n");
  server.freeze();
  {
    std::optional<Running> run;
    timed("start (choose the MIDI system, load dialog)", [&] {
      run.emplace();
      run->windows.start();
    });
    timed("opening the MIDI settings again", [&] { run->windows.window.Menu_Midisettings_Click(); });
    timed("ending the program", [&] { run.reset(); });
  }
  server.resume();
  std::this_thread::sleep_for(std::chrono::seconds(1));  // what waited for the server ends

  std::printf("Output and thru open, then the server stopped:\n");
  {
    std::optional<Running> run;
    run.emplace();
    run->windows.start();
    run->windows.chooseAndClose(instrument.portName(), keyboard.portName());
    server.freeze();
    MainWindow& window = run->windows.window;
    timed("Panic", [&] { QTest::mouseClick(window.findChild<QPushButton*>("Panic"), Qt::LeftButton); });
    timed("an edit (cutoff field)", [&] { window.findChild<QLineEdit*>("TextF1_cutoff")->setText("77"); });
    timed("opening the MIDI settings", [&] { window.Menu_Midisettings_Click(); });
    timed("their Close (instrument chosen)", [&] { pressClose(window); });
    timed("opening the MIDI settings again", [&] { window.Menu_Midisettings_Click(); });
    timed("their Close again", [&] { pressClose(window); });
    timed("ending the program", [&] { run.reset(); });
  }
  server.resume();
  std::this_thread::sleep_for(std::chrono::seconds(1));

  std::printf("Quit with 5000 knob steps queued, then the server stopped:\n");
  {
    std::optional<Running> run;
    run.emplace();
    run->windows.start();
    run->windows.chooseAndClose(instrument.portName());
    MainWindow& window = run->windows.window;
    auto* field = window.findChild<QLineEdit*>("TextF1_cutoff");
    for (int i = 0; i < 5000; ++i) field->setText(QString::number(i % 128));
    server.freeze();
    timed("File > Quit", [&] { window.findChild<QAction*>("Menu_Quit")->trigger(); });
    QueuedMessagesNote* note = window.ending()->note();
    const Clock::time_point shown = Clock::now();
    const QString counting = note != nullptr ? note->text()->text() : QString();
    while (note != nullptr && note->text()->text().startsWith("Sending") && Clock::now() - shown < std::chrono::seconds(10))
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("  the note showed \"%s\"\n", counting.toStdString().c_str());
    if (note != nullptr)
      std::printf("  then, after %.0f ms: \"%s\"\n", ms(Clock::now() - shown), note->text()->text().toStdString().c_str());
    if (note != nullptr) timed("Quit now", [&] { QTest::mouseClick(note->quitButton(), Qt::LeftButton); });
    timed("ending the program", [&] { run.reset(); });
  }
  server.resume();
  std::printf("The receiving program stopped (SIGSTOP) in the middle of a Panic:\n");
  {
    const pid_t dump = fork();
    if (dump == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp("jack_midi_dump", "jack_midi_dump", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::optional<Running> run;
    run.emplace();
    run->windows.start();
    run->windows.chooseAndClose("midi-monitor:input");
    MainWindow& window = run->windows.window;
    timed("Panic", [&] { QTest::mouseClick(window.findChild<QPushButton*>("Panic"), Qt::LeftButton); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(dump, SIGSTOP);
    timed("Panic again", [&] { QTest::mouseClick(window.findChild<QPushButton*>("Panic"), Qt::LeftButton); });
    timed("opening the MIDI settings", [&] { window.Menu_Midisettings_Click(); });
    timed("their Close", [&] { pressClose(window); });
    timed("Panic", [&] { QTest::mouseClick(window.findChild<QPushButton*>("Panic"), Qt::LeftButton); });
    timed("File > Quit", [&] { window.findChild<QAction*>("Menu_Quit")->trigger(); });
    if (QueuedMessagesNote* note = window.ending()->note()) {
      const Clock::time_point shown = Clock::now();
      std::printf("  the note showed \"%s\"\n", note->text()->text().toStdString().c_str());
      while (Clock::now() - shown < std::chrono::seconds(3)) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      std::printf("  3 s later: \"%s\"\n", note->text()->text().toStdString().c_str());
      timed("Quit now", [&] { QTest::mouseClick(note->quitButton(), Qt::LeftButton); });
    }
    timed("ending the program", [&] { run.reset(); });
    kill(dump, SIGKILL);
    waitpid(dump, nullptr, 0);
  }
  std::printf("worst wait of one action: %.1f ms (goal: one wait at most, about 1000 ms)\n", worst);
  return 0;
}
