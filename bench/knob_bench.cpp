// A knob drag of 10 000 mouse-move events through the real widget: each event steps the
// field, whose change handler sends the Control Change to a recording memory port.
#include <benchmark/benchmark.h>

#include "BenchMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>
#include <cstdio>

#include "core/common/MessagePresenter.h"
#include "core/midi/MidiLink.h"
#include "support/MemoryService.h"
#include "ui/common/AppContext.h"
#include "../tests/ui/TestSupport.h"
#include "ui/common/KnobWidget.h"

namespace {

using namespace rotavox;

constexpr int kMoves = 10000;
constexpr int kSwing = 60;  // the pointer goes up 60 pixels and down again, one step each

void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
  QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void BM_KnobDrag(benchmark::State& state) {
  test::MidiFixture f;
  f.openOutput();
  MemoryService& service = f.service;
  MidiLink& midi = f.midi;
  AppContext& ctx = f.ctx;

  QWidget window;
  std::int16_t lastY = 0;
  auto* field = new QLineEdit(&window);
  QObject::connect(field, &QLineEdit::textChanged, field,
                   [&midi](const QString& t) { midi.SendControlChange(74, t.toStdString()); });
  KnobWidget knob(field, 0, 127, ctx.knob, lastY, &window);

  std::size_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    field->setText("30");
    service.clearRecords();
    state.ResumeTiming();
    double y = 1000;
    sendMouse(&knob, QEvent::MouseButtonPress, QPointF(10, y), Qt::LeftButton);
    for (int i = 0; i < kMoves; ++i) {
      y += (i / kSwing) % 2 == 0 ? -1 : 1;  // up on the left half raises, down lowers
      sendMouse(&knob, QEvent::MouseMove, QPointF(10, y), Qt::LeftButton);
    }
    sendMouse(&knob, QEvent::MouseButtonRelease, QPointF(10, y), Qt::NoButton);
    steps = service.delivered().size();
  }
  if (steps != kMoves) state.SkipWithError(("not every move made a step: " + std::to_string(steps)).c_str());
  state.counters["per_step"] =
      benchmark::Counter(static_cast<double>(kMoves), benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * kMoves);
}
BENCHMARK(BM_KnobDrag)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN("goal: under 50 us per step (per_step above, including the field's handler and the recorded message)")
