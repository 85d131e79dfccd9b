// F12 ("Send &Panic") held on the main window, the key repeating as a desktop repeats it (the
// first repeat after 600 ms, then 25 a second), and right after its release one edit of the
// filter 1 cutoff field: how long until that edit reaches the instrument, a receiving client
// of a real JACK server (the one JACK_DEFAULT_SERVER names, or one started here).
//
// With "tap", F12 is pressed and let go ten times a second instead, each a new press.
//
//   panic_key_bench [seconds held = 5] [tap]
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "../tests/e2e/E2eSupport.h"
#include "BenchJack.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "platform/midi/jack/JackService.h"
#include "ui/common/AppContext.h"
#include "ui/editor/MainWindow.h"

namespace {

using namespace rotavox;
using jacktest::Clock;
using jacktest::Receiver;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int run(double heldSeconds, bool tap) {
  // Room for every sweep a held key could queue before the edit.
  Receiver rx("rv-panic-key-receiver", nullptr, std::size_t{1} << 19);
  std::unique_ptr<JackService> service = JackService::open("RotavoxPanicKey");
  if (!rx.ok() || !service) {
    std::fprintf(stderr, "Could not open the JACK clients.\n");
    return 1;
  }
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  MainWindow window(ctx);
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return 1;
  link.state().MidiOutDevice = findOutput(*service, rx.portName());
  link.state().MidiChannel = 0;
  link.SwitchMidiOut("open");
  if (link.state().MidiOutHandle == kNoMidiHandle) {
    std::fprintf(stderr, "Could not open the receiver's port.\n");
    return 1;
  }
  int triggered = 0;
  QObject::connect(window.findChild<QAction*>("Menu_Panic"), &QAction::triggered, [&] { ++triggered; });
  QTest::qWait(50);

  auto press = [&](bool repeat) { QTest::simulateEvent(&window, true, Qt::Key_F12, Qt::NoModifier, {}, repeat); };
  const Clock::time_point held = Clock::now();
  int presses = 1;
  press(false);
  QTest::qWait(tap ? 100 : 600);
  while (seconds(Clock::now() - held) < heldSeconds) {
    if (tap) QTest::keyRelease(&window, Qt::Key_F12);
    press(!tap);
    ++presses;
    QTest::qWait(tap ? 100 : 40);
  }
  QTest::keyRelease(&window, Qt::Key_F12);

  const std::size_t queued = service->pendingMessages();
  const std::size_t before = rx.count();
  const std::uint32_t edit = controlChange(0, 69, 100);
  const Clock::time_point edited = Clock::now();
  window.findChild<QLineEdit*>("TextF1_cutoff")->setText("100");

  // Generous: the wire's time for everything queued, and ten seconds more.
  const double limit = static_cast<double>(queued) * 3 / 3125.0 + 10.0;
  std::size_t scanned = 0, at = 0;
  bool found = false;
  while (!found && seconds(Clock::now() - edited) < limit) {
    for (const Receiver::Event& e : rx.events(scanned)) {
      if (e.shortMessage() == edit) {
        found = true;
        at = scanned;
        std::printf("F12 %s %.1f s: %d key presses, %d Panic commands, %zu messages still queued at the edit\n",
                    tap ? "tapped for" : "held", heldSeconds, presses, triggered, queued);
        std::printf("edit after release reached the instrument in %.3f s; goal under 2 s: %s\n",
                    seconds(e.arrived - edited), seconds(e.arrived - edited) < 2.0 ? "met" : "MISSED");
        break;
      }
      ++scanned;
    }
    if (!found) QTest::qWait(20);
  }
  if (!found) {
    std::printf("the edit did not arrive within %.0f s (%zu messages were queued ahead of it)\n", limit, queued);
    return 1;
  }
  std::printf("note releases at the instrument before the edit: %zu (%.2f sweeps; %zu arrived after the release)\n", at,
              static_cast<double>(at) / 2032.0, at - std::min(at, before));
  link.SwitchMidiOut("close");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const double heldSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  std::unique_ptr<jacktest::PrivateServer> ownServer;
  if (!reachOrStartJackServer("rotavox-bench", ownServer)) return 1;
  const int status = run(heldSeconds, argc > 2 && std::string(argv[2]) == "tap");
  if (ownServer) ownServer->kill(SIGTERM);
  return status;
}
