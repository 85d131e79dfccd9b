// Loading one sound file into the main window's panel: the file is read field by field, each
// value goes into its control, whose change handler sends the parameter to a recording
// memory port. Two different sounds take turns, so every load changes every control.
#include <benchmark/benchmark.h>

#include "BenchMain.h"
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/common/MessagePresenter.h"
#include "core/midi/MidiLink.h"
#include "support/MemoryService.h"
#include "ui/common/AppContext.h"
#include "../tests/ui/TestSupport.h"
#include "ui/editor/EditorPanel.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/FileDialog.h"
#include "../tests/support/HandWrittenSounds.h"
#include "../tests/support/MapSoundControls.h"
#include "platform/fs/SoundFileStore.h"

namespace {

using namespace rotavox;

void writeSound(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::ofstream(path, std::ios::binary) << test::soundFile(lines);
}

void BM_LoadSoundFile(benchmark::State& state) {
  test::MidiFixture f;
  f.openOutput();
  MemoryService& service = f.service;
  AppContext& ctx = f.ctx;

  char name[] = "/tmp/rotavox-file-bench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(name);
  const std::string a = (dir / "a.rvs").string(), b = (dir / "b.rvs").string();
  writeSound(a, test::kSoundA);
  writeSound(b, test::kSoundB);

  MainWindow window(ctx);
  ctx.files.FileDialogMode = "Open";
  FileDialog dialog(ctx, *window.panel());

  std::size_t fewest = SIZE_MAX;
  bool flip = false;
  for (auto _ : state) {
    service.clearRecords();
    flip = !flip;
    benchmark::DoNotOptimize(dialog.LoadSoundFile(flip ? a : b));
    fewest = std::min(fewest, service.delivered().size());
  }
  std::filesystem::remove_all(dir);
  if (!f.presenter.boxes.empty()) {
    const auto& box = f.presenter.boxes.back();
    state.SkipWithError(("the load reported: " + box.caption + ": " + box.text).c_str());
  }
  state.counters["messages_per_load"] = static_cast<double>(fewest);
}
BENCHMARK(BM_LoadSoundFile)->Unit(benchmark::kMillisecond);

// Saving one sound into a folder that already holds `range(0)` other files: each save looks
// through the folder for temporary files that a killed save left, so a crowded folder costs
// a little more. The flush to the disk is part of every save.
void BM_SaveSoundFile(benchmark::State& state) {
  char name[] = "/tmp/rotavox-save-bench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(name);
  for (int64_t i = 0; i < state.range(0); ++i) std::ofstream(dir / ("sound" + std::to_string(i) + ".rvs"));
  const test::MapSoundControls controls;
  const std::string path = (dir / "saved.rvs").string();
  for (auto _ : state) {
    const SoundFileOutcome outcome = saveSoundFile(path, controls);
    if (!outcome.ok()) {
      state.SkipWithError(("the save failed: " + fileErrorText(outcome.error)).c_str());
      break;
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveSoundFile)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN("goal: under 5 ms per load (Time above, every handler and message included)")
