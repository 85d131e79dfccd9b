// The MIDI monitor must not slow the editor down. With the monitor window open (taking its
// batches as the program runs): how long one field edit takes to reach the MIDI service, and
// how long after the last of a Panic's 2032 messages was handed over the list shows them all.
#include <benchmark/benchmark.h>

#include "BenchMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "../tests/ui/TestSupport.h"
#include "support/MemoryService.h"
#include "ui/editor/MainWindow.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/monitor/MonitorWindow.h"

namespace {

using namespace rotavox;
using Clock = std::chrono::steady_clock;

// A memory port that notes when the last message reached it.
class TimedService : public MemoryService {
 public:
  Clock::time_point lastSend;
  MidiResult sendShort(MidiHandle handle, std::uint32_t message) override {
    lastSend = Clock::now();
    return MemoryService::sendShort(handle, message);
  }
};

struct Rig {
  TimedService service;
  test::RecordingPresenter presenter;
  MidiLink midi{service, presenter};
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window{ctx};
  MonitorWindow* monitor = nullptr;

  Rig() {
    service.outPorts.push_back({0, 0, 0, "bench synth", kTechOutputPort, {}});
    midi.state().MidiOutDevice = 0;
    midi.state().MidiChannel = 0;
    midi.SwitchMidiOut("open");
    window.show();
    window.findChild<QAction*>("Menu_Monitor")->trigger();
    monitor = window.findChild<MonitorWindow*>("F_Monitor");
    QApplication::processEvents();
  }
};

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// One edit of TextF1_cutoff, from the write of its text to the moment the service has the
// message; the event loop runs between edits, so the monitor takes its batches meanwhile.
void BM_FieldEditReachesTheServiceWithMonitorOpen(benchmark::State& state) {
  Rig rig;
  auto* field = rig.window.findChild<QLineEdit*>("TextF1_cutoff");
  std::vector<double> latencies;
  int i = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    field->setText((i++ & 1) ? "100" : "101");
    latencies.push_back(micros(rig.service.lastSend - start));
    state.PauseTiming();
    if (i % 8 == 0) QApplication::processEvents();
    state.ResumeTiming();
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_us"] = latencies[latencies.size() / 2];
  state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
  state.counters["max_us"] = latencies.back();
  state.counters["listed"] = rig.monitor->model().rowCount();
}
BENCHMARK(BM_FieldEditReachesTheServiceWithMonitorOpen)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// A Panic with the monitor open: from the last hand-over until the list holds all 2032 new
// messages, and until it has also painted them.
void BM_PanicListedAfterTheLastHandOver(benchmark::State& state) {
  Rig rig;
  std::vector<double> listed, painted;
  for (auto _ : state) {
    rig.midi.SendPanic();
    const Clock::time_point last = rig.service.lastSend;
    const std::uint64_t handedOver = rig.window.monitor()->log().next();
    while (rig.monitor->model().taken() < handedOver) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    listed.push_back(micros(Clock::now() - last) / 1000.0);
    rig.monitor->repaint();
    painted.push_back(micros(Clock::now() - last) / 1000.0);
  }
  std::sort(listed.begin(), listed.end());
  std::sort(painted.begin(), painted.end());
  state.counters["listed_median_ms"] = listed[listed.size() / 2];
  state.counters["listed_max_ms"] = listed.back();
  state.counters["painted_max_ms"] = painted.back();
}
BENCHMARK(BM_PanicListedAfterTheLastHandOver)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN(
    "goal: a field edit reaches the service within 50 us with the monitor open (median_us, p99_us, max_us); "
    "a Panic's 2032 messages are listed within 200 ms of the last hand-over (listed_max_ms, painted_max_ms)")
