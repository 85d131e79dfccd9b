// The cost of one edit on the editor panel, from the control's change to the message recorded
// by a memory MIDI port: a knob field's text, an envelope field with its graph, and a mirror
// slider move (the slider's handler writes the field, whose handler sends).
#include <benchmark/benchmark.h>

#include "BenchMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <cstdio>

#include "core/common/MessagePresenter.h"
#include "core/midi/MidiLink.h"
#include "support/MemoryService.h"
#include "ui/common/AppContext.h"
#include "../tests/ui/TestSupport.h"
#include "ui/editor/EditorPanel.h"

namespace {

using namespace rotavox;

struct Rig : test::MidiFixture {
  EditorPanel* panel;

  Rig() {
    openOutput();
    panel = new EditorPanel(ctx);
  }
  ~Rig() { delete panel; }
};

constexpr int kEdits = 2000;

// Alternates two values so every write is a change; checks that each edit sent one message.
template <typename Write>
void runEdits(benchmark::State& state, Rig& rig, Write write) {
  std::size_t sent = 0;
  for (auto _ : state) {
    state.PauseTiming();
    rig.service.clearRecords();
    state.ResumeTiming();
    for (int i = 0; i < kEdits; ++i) write(i);
    sent = rig.service.delivered().size();
  }
  if (sent != kEdits) state.SkipWithError(("expected one message per edit, got " + std::to_string(sent)).c_str());
  state.counters["per_edit"] = benchmark::Counter(
      static_cast<double>(kEdits), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_KnobFieldEdit(benchmark::State& state) {
  Rig rig;
  auto* field = rig.panel->findChild<QLineEdit*>("TextF1_cutoff");
  const QString texts[] = {"100", "101"};
  runEdits(state, rig, [&](int i) { field->setText(texts[i & 1]); });
}
BENCHMARK(BM_KnobFieldEdit)->Unit(benchmark::kMillisecond);

void BM_EnvelopeFieldEdit(benchmark::State& state) {
  Rig rig;
  auto* field = rig.panel->findChild<QLineEdit*>("TextEnv1L2");
  const QString texts[] = {"80", "81"};
  runEdits(state, rig, [&](int i) { field->setText(texts[i & 1]); });
}
BENCHMARK(BM_EnvelopeFieldEdit)->Unit(benchmark::kMillisecond);

void BM_MirrorSliderMove(benchmark::State& state) {
  Rig rig;
  auto* bar = rig.panel->findChild<QScrollBar*>("HScrollOSC1detune");
  runEdits(state, rig, [&](int i) { bar->setValue((i & 1) ? 20 : 21); });
}
BENCHMARK(BM_MirrorSliderMove)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN("goal: under 50 us per edit (per_edit above: the handler chain up to the recorded message)")
