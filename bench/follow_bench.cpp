// Following the instrument, with the messages injected on a thread of their own as a backend's
// receiving thread hands them over (MemoryService; the figures through a real JACK port or the
// kernel's sequencer come from the backends' own benchmarks). How late the panel shows a
// Control Change after it arrived at the program's port, at three paces of a knob turned on the
// instrument; and how long the window's event loop is held at most while 10,000 Control
// Changes flood in, mixed with MIDI clock and active sensing, with and without the MIDI
// monitor open.
#include <benchmark/benchmark.h>

#include "BenchMain.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../tests/ui/TestSupport.h"
#include "core/midi/Messages.h"
#include "platform/midi/ReceiveQueue.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/Instrument.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/monitor/MonitorWindow.h"

namespace {

using namespace rotavox;
using Clock = std::chrono::steady_clock;

struct Rig {
  MemoryService service;
  test::RecordingPresenter presenter;
  MidiLink midi{service, presenter};
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window{ctx};
  Instrument& instrument = *window.instrument();
  QLineEdit* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");

  explicit Rig(bool monitorOpen = false) {
    service.outPorts.push_back({0, 0, 0, "bench synth", kTechOutputPort, {}});
    service.inPorts.push_back({0, 0, 0, "microQ MIDI out", "hw:microQ"});
    midi.state().MidiOutDevice = 0;
    midi.state().MidiChannel = 0;
    midi.SwitchMidiOut("open");
    window.show();
    window.Menu_InitW_Click();
    if (monitorOpen) window.findChild<QAction*>("Menu_Monitor")->trigger();
    instrument.follow(0, service.inPorts[0]);
    QApplication::processEvents();
  }
};

double millis(std::int64_t nanos) { return static_cast<double>(nanos) / 1e6; }

double at(std::vector<double>& sorted, double share) {
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(static_cast<double>(sorted.size()) * share))];
}

// Control Change 69 every `gapMicros`, each stamped as it arrives. For every message: how long
// until the cutoff field showed it or a value that arrived after it (values that a later one
// overtook within the same frame are shown by that one).
void BM_ArrivalToShown(benchmark::State& state) {
  const auto gap = std::chrono::microseconds(state.range(0));
  const int count = static_cast<int>(state.range(1));
  Rig rig;
  std::vector<std::int64_t> arrived(static_cast<std::size_t>(count));
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
    std::thread backend([&] {
      Clock::time_point next = Clock::now();
      for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(next);
        next += gap;
        arrived[static_cast<std::size_t>(i)] = receiveClockNow();
        handedOver.store(i + 1);
        rig.service.receive(controlChange(0, 69, i % 128), arrived[static_cast<std::size_t>(i)]);
      }
    });
    while (shown.empty() || shown.back().first < count - 1)
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    backend.join();
  }
  std::vector<double> late;
  std::size_t s = 0;
  for (int i = 0; i < count; ++i) {
    while (s < shown.size() && shown[s].first < i) ++s;
    if (s == shown.size()) break;
    late.push_back(millis(shown[s].second - arrived[static_cast<std::size_t>(i)]));
  }
  std::sort(late.begin(), late.end());
  state.counters["messages"] = static_cast<double>(late.size());
  state.counters["shown"] = static_cast<double>(shown.size());
  state.counters["median_ms"] = at(late, 0.5);
  state.counters["p99_ms"] = at(late, 0.99);
  state.counters["max_ms"] = late.back();
}
BENCHMARK(BM_ArrivalToShown)
    ->ArgNames({"gap_us", "count"})
    ->Args({20000, 300})   // a knob turned slowly: 50 a second
    ->Args({5000, 1000})   // turned fast: 200 a second
    ->Args({1000, 3000})   // as fast as a MIDI cable carries them
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// 10,000 Control Changes on the panel's controllers, with a clock tick after every tenth and
// active sensing after every thousandth, as fast as the injecting thread can hand them over.
// The event loop runs a zero timer: the longest time between two of its ticks is the longest
// time the window was held.
void BM_FloodHoldsTheWindow(benchmark::State& state) {
  Rig rig(state.range(0) != 0);
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
    std::atomic<bool> done{false};
    const std::int64_t start = receiveClockNow();
    std::thread backend([&] {
      for (std::uint32_t m : flood) rig.service.receive(m);
      done = true;
    });
    // The flood, then a fifth of a second for the last batch, its frame and the monitor.
    while (!done.load()) QApplication::processEvents(QEventLoop::AllEvents);
    const std::int64_t settle = receiveClockNow() + 200'000'000;
    while (receiveClockNow() < settle) QApplication::processEvents(QEventLoop::AllEvents);
    backend.join();
    took = receiveClockNow() - start;
    tick.stop();
  }
  state.counters["longest_hold_ms"] = millis(longest);
  state.counters["lost_in_ring"] = static_cast<double>(rig.instrument.lostMessages());
  state.counters["flood_ms"] = millis(took);
}
BENCHMARK(BM_FloodHoldsTheWindow)->ArgNames({"monitor_open"})->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN(
    "goal: a Control Change is shown within 2 ms of its arrival at the median and 16 ms at the 99th percentile "
    "(median_ms, p99_ms); a flood of 10,000 Control Changes holds the window's event loop less than 50 ms "
    "(longest_hold_ms)")
