// Following the instrument: how late the panel shows a Control Change after it arrived at the
// program's port, at three paces of a knob turned on the instrument; and how long the window's
// event loop is held at most while 10,000 Control Changes flood in, mixed with MIDI clock and
// active sensing. Twice: with the messages injected on a thread of their own as a backend's
// receiving thread hands them over (MemoryService: the window's part alone, also with the MIDI
// monitor open), and through a real JACK server, from a JACK client that sends to the port the
// program follows (arrival: the cycle in which the sender put the message out, which is the
// cycle in which it reaches the program's port). The JACK server is the one JACK_DEFAULT_SERVER
// names, or one of its own (jackd, dummy driver, 256 frames at 48 kHz).
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BenchJack.h"
#include "../tests/ui/TestSupport.h"
#include "core/midi/Messages.h"
#include "platform/midi/ReceiveQueue.h"
#include "platform/midi/jack/JackService.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/Instrument.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/monitor/MonitorWindow.h"

namespace {

using namespace rotavox;
using Clock = std::chrono::steady_clock;

bool jackThere = false;             // a JACK server answers (its own, when none ran)
std::vector<std::string> verdicts;  // each figure beside its goal, printed after the runs

// The main window over `service` with the output open on device `out`, channel 1, the init
// sound on the panel, following input device `in`.
struct Rig {
  test::RecordingPresenter presenter;
  MidiLink midi;
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window{ctx};
  Instrument& instrument = *window.instrument();
  QLineEdit* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");

  Rig(MidiService& service, int out, int in, bool monitorOpen) : midi(service, presenter) {
    midi.state().MidiOutDevice = out;
    midi.state().MidiChannel = 0;
    midi.SwitchMidiOut("open");
    window.show();
    window.Menu_InitW_Click();
    if (monitorOpen) window.findChild<QAction*>("Menu_Monitor")->trigger();
    MidiInCaps caps;
    service.inCaps(in, caps);
    if (instrument.follow(in, caps) != kMidiOk)
      std::printf("  could not follow %s: %s\n", caps.name.c_str(), instrument.stateText().toStdString().c_str());
    QApplication::processEvents();
  }
};

// The panel's MIDI system in memory: a synth as output, the microQ's MIDI out as input.
struct MemorySystem {
  MemoryService service;
  MemorySystem() {
    service.outPorts.push_back({0, 0, 0, "bench synth", kTechOutputPort, {}});
    service.inPorts.push_back({0, 0, 0, "microQ MIDI out", "hw:microQ"});
  }
};
struct MemoryRig : MemorySystem {
  Rig rig;
  explicit MemoryRig(bool monitorOpen = false) : rig(service, 0, 0, monitorOpen) {}
  // The message goes in as a backend's thread hands it over, stamped now.
  void send(std::uint32_t message) { service.receive(message, receiveClockNow()); }
};

// On the JACK server: a synth client as output, a client standing for the microQ's MIDI out as
// the followed port. The windows go before the service, the service before the clients.
struct JackSystem {
  jacktest::Receiver synth{"rv-follow-bench-synth"};
  jacktest::Sender microQ{"rv-follow-bench-microq"};
  std::unique_ptr<JackService> service = JackService::open("RotavoxFollowBench");
  bool ok() const { return synth.ok() && microQ.ok() && service != nullptr; }
};
struct JackRig : JackSystem {
  std::optional<Rig> rig;
  JackRig() {
    if (!ok()) return;
    rig.emplace(*service, findOutput(synth.portName()), findInput(microQ.portName()), false);
    microQ.settle();  // the connection to the program's port carries from the next cycle on
  }
  void send(std::uint32_t message) {
    while (!microQ.send(message)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int findOutput(const std::string& name) {
    for (unsigned i = 0; i < service->outDeviceCount(); ++i) {
      MidiOutCaps caps;
      if (service->outCaps(static_cast<int>(i), caps) == kMidiOk && caps.name == name) return static_cast<int>(i);
    }
    return -1;
  }
  int findInput(const std::string& name) {
    for (unsigned i = 0; i < service->inDeviceCount(); ++i) {
      MidiInCaps caps;
      if (service->inCaps(static_cast<int>(i), caps) == kMidiOk && caps.name == name) return static_cast<int>(i);
    }
    return -1;
  }
};

double millis(std::int64_t nanos) { return static_cast<double>(nanos) / 1e6; }
std::int64_t nanos(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

double at(std::vector<double>& sorted, double share) {
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(static_cast<double>(sorted.size()) * share))];
}

const char* verdict(bool met) { return met ? "met" : "missed"; }

// Control Change 69 every `gap`, `count` of them, handed to `send` on a thread of its own. For
// every message: from its arrival (`arrival(i)`, once all went out) until the cutoff field
// showed it or a value that arrived after it (values that a later one overtook within the same
// frame are shown by that one).
void arrivalToShown(benchmark::State& state, Rig& rig, const char* way, const std::function<void(std::uint32_t)>& send,
                    const std::function<std::int64_t(int)>& arrival) {
  const auto gap = std::chrono::microseconds(state.range(0));
  const int count = static_cast<int>(state.range(1));
  std::atomic<int> handedOver{0};
  std::vector<std::pair<int, std::int64_t>> shown;  // the newest message shown, and when
  QObject::connect(rig.cutoff, &QLineEdit::textChanged, [&](const QString& text) {
    const std::int64_t now = receiveClockNow();
    const int value = text.toInt();
    int newest = handedOver.load() - 1;
    while (newest >= 0 && newest % 128 != value) --newest;
    shown.push_back({newest, now});
  });
  for (auto _ : state) {
    // A message lost on its way would leave the loop waiting: it gives up 10 s after the last.
    QTimer wake;
    wake.start(100);
    const Clock::time_point end = Clock::now() + gap * count + std::chrono::seconds(10);
    std::thread backend([&] {
      Clock::time_point next = Clock::now();
      for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(next);
        next += gap;
        handedOver.store(i + 1);
        send(controlChange(0, 69, i % 128));
      }
    });
    while ((shown.empty() || shown.back().first < count - 1) && Clock::now() < end)
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    backend.join();
  }
  if (shown.empty()) return state.SkipWithError("nothing was shown");
  std::vector<double> late;
  std::size_t s = 0;
  for (int i = 0; i < count; ++i) {
    while (s < shown.size() && shown[s].first < i) ++s;
    if (s == shown.size()) break;
    late.push_back(millis(shown[s].second - arrival(i)));
  }
  std::sort(late.begin(), late.end());
  const double median = at(late, 0.5), p99 = at(late, 0.99);
  state.counters["messages"] = static_cast<double>(late.size());
  state.counters["shown"] = static_cast<double>(shown.size());
  state.counters["median_ms"] = median;
  state.counters["p99_ms"] = p99;
  state.counters["max_ms"] = late.back();
  char line[200];
  std::snprintf(line, sizeof line, "%s, one every %.0f ms: median %.2f ms (goal < 2 ms: %s), p99 %.2f ms (goal < 16 ms: %s)",
                way, static_cast<double>(gap.count()) / 1000.0, median, verdict(median < 2.0), p99, verdict(p99 < 16.0));
  verdicts.emplace_back(line);
}

void BM_ArrivalToShown(benchmark::State& state) {
  MemoryRig memory;
  std::vector<std::int64_t> arrived;  // the injecting thread's until it has ended
  arrived.reserve(static_cast<std::size_t>(state.range(1)));
  arrivalToShown(
      state, memory.rig, "injected",
      [&](std::uint32_t m) {
        arrived.push_back(receiveClockNow());
        memory.service.receive(m, arrived.back());
      },
      [&](int i) { return arrived[static_cast<std::size_t>(i)]; });
}

void BM_JackArrivalToShown(benchmark::State& state) {
  if (!jackThere) return state.SkipWithError("no JACK server");
  JackRig jack;
  if (!jack.rig) return state.SkipWithError("the JACK clients did not open");
  arrivalToShown(
      state, *jack.rig, "JACK", [&](std::uint32_t m) { jack.send(m); },
      [&](int i) { return nanos(jack.microQ.sentAt(static_cast<std::size_t>(i))); });
}

// A knob turned slowly (50 a second), fast (200 a second), as fast as a MIDI cable carries them.
void paces(benchmark::internal::Benchmark* b) {
  b->ArgNames({"gap_us", "count"})
      ->Args({20000, 300})
      ->Args({5000, 1000})
      ->Args({1000, 3000})
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ArrivalToShown)->Apply(paces);
BENCHMARK(BM_JackArrivalToShown)->Apply(paces);

// 10,000 Control Changes on the panel's controllers, with a clock tick after every tenth and
// active sensing after every thousandth, handed to `send` as fast as it takes them; `done` says
// when all went. The event loop runs a zero timer: the longest time between two of its ticks is
// the longest time the window was held.
void floodHolds(benchmark::State& state, Rig& rig, const char* way, const std::function<void(std::uint32_t)>& send,
                const std::function<bool()>& done) {
  std::vector<std::uint32_t> flood;
  for (int i = 0; i < 10000; ++i) {
    flood.push_back(controlChange(0, kParameters[static_cast<std::size_t>(i) % kParameterCount].cc, i % 128));
    if (i % 10 == 0) flood.push_back(0xF8);
    if (i % 1000 == 0) flood.push_back(0xFE);
  }
  std::int64_t longest = 0, took = 0;
  for (auto _ : state) {
    QTimer tick;
    std::int64_t last = receiveClockNow();
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const std::int64_t now = receiveClockNow();
      longest = std::max(longest, now - last);
      last = now;
    });
    tick.start(0);
    std::atomic<bool> handedOver{false};
    const std::int64_t start = receiveClockNow();
    std::thread backend([&] {
      for (std::uint32_t m : flood) send(m);
      handedOver = true;
    });
    // The flood, then a fifth of a second for the last batch, its frame and the monitor.
    while (!handedOver.load() || !done()) QApplication::processEvents(QEventLoop::AllEvents);
    const std::int64_t settle = receiveClockNow() + 200'000'000;
    while (receiveClockNow() < settle) QApplication::processEvents(QEventLoop::AllEvents);
    backend.join();
    took = receiveClockNow() - start;
    tick.stop();
  }
  state.counters["longest_hold_ms"] = millis(longest);
  state.counters["lost_in_ring"] = static_cast<double>(rig.instrument.lostMessages());
  state.counters["flood_ms"] = millis(took);
  char line[200];
  std::snprintf(line, sizeof line, "%s, 10,000 Control Changes: longest hold %.2f ms (goal < 50 ms: %s)", way,
                millis(longest), verdict(millis(longest) < 50.0));
  verdicts.emplace_back(line);
}

void BM_FloodHoldsTheWindow(benchmark::State& state) {
  MemoryRig memory(state.range(0) != 0);
  floodHolds(
      state, memory.rig, state.range(0) != 0 ? "injected, monitor open" : "injected",
      [&](std::uint32_t m) { memory.send(m); }, [] { return true; });
}
BENCHMARK(BM_FloodHoldsTheWindow)->ArgNames({"monitor_open"})->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_JackFloodHoldsTheWindow(benchmark::State& state) {
  if (!jackThere) return state.SkipWithError("no JACK server");
  JackRig jack;
  if (!jack.rig) return state.SkipWithError("the JACK clients did not open");
  floodHolds(
      state, *jack.rig, "JACK", [&](std::uint32_t m) { jack.send(m); }, [&] { return jack.microQ.flushed(); });
}
BENCHMARK(BM_JackFloodHoldsTheWindow)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<jacktest::PrivateServer> ownServer;
  jackThere = reachOrStartJackServer("rotavox-follow-bench", ownServer);
  {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  std::printf("\nEach figure beside its goal (faster than one a frame, a value waits for the next frame):\n");
  for (const std::string& line : verdicts) std::printf("  %s\n", line.c_str());
  if (ownServer) ownServer->kill(SIGTERM);
  return 0;
}
