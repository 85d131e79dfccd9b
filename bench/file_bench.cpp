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
#include "platform/midi/MemoryService.h"
#include "ui/common/AppContext.h"
#include "ui/editor/EditorPanel.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/FileDialog.h"

namespace {

using namespace rotavox;

class CountingPresenter : public MessagePresenter {
 public:
  int shown = 0;
  std::string last;
  MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon, MessageButtons) override {
    ++shown;
    last = caption + ": " + text;
    return MessageAnswer::Ok;
  }
};

// Lines 2 to 68 of two sounds that differ in every stored value.
const std::vector<std::string> kSoundA{
    "\"100\"", "\"Saw\"", "\"8\"", "\"-12\"", "\"5\"", "\"64\"", "\"10\"", "0", "0", "127", "0", "\"-64\"",
    "\"Pulse\"", "\"1/2\"", "\"0\"", "\"-3\"", "\"32\"", "\"0\"", "0", "0", "90", "1", "\"63\"",
    "\"Sine\"", "\"128\"", "\"12\"", "\"0\"", "\"127\"", "\"1\"", "0", "0", "44", "0", "\"0\"",
    "0", "64", "64", "64", "0", "0", "0", "0", "64", "0",
    "\"\\_ Lowpass 24 dB\"", "\"70\"", "\"20\"", "\"0\"", "\"64\"", "\"90\"", "\"30\"",
    "\"||||| Comb (-)\"", "\"127\"", "\"0\"", "\"1\"", "\"2\"", "\"3\"", "\"4\"", "\"1\"",
    "\"0\"", "\"40\"", "\"100\"", "\"20\"", "\"5\"", "\"60\"", "\"80\"", "\"15\""};
const std::vector<std::string> kSoundB{
    "\"50\"", "\"Pulse\"", "\"16\"", "\"7\"", "\"-5\"", "\"12\"", "\"99\"", "0", "0", "20", "1", "\"10\"",
    "\"Triangle\"", "\"4\"", "\"-1\"", "\"2\"", "\"100\"", "\"5\"", "0", "0", "30", "0", "\"-20\"",
    "\"Saw\"", "\"2\"", "\"-7\"", "\"9\"", "\"3\"", "\"77\"", "0", "0", "100", "1", "\"-1\"",
    "0", "64", "64", "64", "0", "0", "0", "0", "64", "0",
    "\"/\\ Bandpass 12 dB\"", "\"10\"", "\"99\"", "\"45\"", "\"1\"", "\"2\"", "\"3\"",
    "\"---- Bypass\"", "\"5\"", "\"6\"", "\"7\"", "\"8\"", "\"9\"", "\"11\"", "\"0\"",
    "\"9\"", "\"8\"", "\"7\"", "\"6\"", "\"4\"", "\"3\"", "\"2\"", "\"1\""};

void writeSound(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  out << "\"Rotavox soundfileformat v.0.2\"\r\n";
  for (const std::string& line : lines) out << line << "\r\n";
}

void BM_LoadSoundFile(benchmark::State& state) {
  MemoryService service;
  CountingPresenter presenter;
  MidiLink midi(service, presenter);
  AppContext ctx{midi, presenter, {}, {}, {}};
  service.outPorts.push_back({0, 0, 0, "bench", kTechOutputPort});
  midi.state().MidiOutDevice = 0;
  midi.state().MidiChannel = 0;
  midi.SwitchMidiOut("open");

  char name[] = "/tmp/rotavox-file-bench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(name);
  const std::string a = (dir / "a.rvs").string(), b = (dir / "b.rvs").string();
  writeSound(a, kSoundA);
  writeSound(b, kSoundB);

  MainWindow window(ctx);
  ctx.files.FileDialogMode = "Open";
  FileDialog dialog(ctx, window.panel());

  std::size_t fewest = SIZE_MAX;
  bool flip = false;
  for (auto _ : state) {
    service.clearRecords();
    flip = !flip;
    benchmark::DoNotOptimize(dialog.LoadSoundFile(flip ? a : b));
    fewest = std::min(fewest, service.delivered().size());
  }
  std::filesystem::remove_all(dir);
  if (presenter.shown > 0) state.SkipWithError(("the load reported: " + presenter.last).c_str());
  state.counters["messages_per_load"] = static_cast<double>(fewest);
}
BENCHMARK(BM_LoadSoundFile)->Unit(benchmark::kMillisecond);

}  // namespace

ROTAVOX_WIDGET_BENCHMARK_MAIN("goal: under 5 ms per load (Time above, every handler and message included)")
