// The undo history under sounds as large as a sound file can make them: two sounds whose number
// fields hold 32,767 characters each (the longest field a file may have) are loaded by turns,
// each load one undo step that changes every field; then steps are taken back, and short
// values are typed into two fields with the long sound around them. Prints the process's peak
// memory and the time of each load, undo and edit.
//
//   undo_bench [loads = 1000] [undos = 100]
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/support/HandWrittenSounds.h"
#include "../tests/ui/TestSupport.h"
#include "core/files/SoundFile.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/FileDialog.h"

namespace {

using namespace rotavox;
using Clock = std::chrono::steady_clock;

// A quoted whole number as long as a field may be: leading zeros keep its value.
std::string padded(const std::string& line) {
  if (line.size() < 3 || line.front() != '"' || line.back() != '"') return line;
  const std::string inner = line.substr(1, line.size() - 2);
  const bool negative = inner.front() == '-';
  const std::string digits = inner.substr(negative ? 1 : 0);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
    return line;
  return "\"" + std::string(negative ? "-" : "") + std::string(kMaxFieldBytes - inner.size(), '0') + digits + "\"";
}

// The sound with every number field (not the selectors, whose texts are items) made long.
std::string hugeSound(const std::vector<std::string>& lines) {
  std::vector<std::string> out = lines;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const SoundFileLine& line = kSoundFileLines[i + 1];
    const Parameter& p = parameter(line.control.row);
    if (line.kind == SoundLineKind::Text && p.control.starts_with("Text") && p.kind != ParamKind::Routing)
      out[i] = padded(out[i]);
  }
  return test::soundFile(out);
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void print(const char* what, std::vector<double> times) {
  if (times.empty()) return;
  std::sort(times.begin(), times.end());
  std::printf("%-6s n=%zu  median %.3f ms  p90 %.3f ms  max %.3f ms\n", what, times.size(), times[times.size() / 2],
              times[times.size() * 9 / 10], times.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int loads = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int undos = argc > 2 ? std::atoi(argv[2]) : 100;

  char name[] = "/tmp/rotavox-undo-bench-XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(name);
  const std::string a = (dir / "a.rvs").string(), b = (dir / "b.rvs").string();
  std::ofstream(a, std::ios::binary) << hugeSound(test::kSoundA);
  std::ofstream(b, std::ios::binary) << hugeSound(test::kSoundB);

  test::MidiFixture f;
  f.openOutput();
  MainWindow window(f.ctx);
  f.ctx.files.FileDialogMode = "Open";
  FileDialog dialog(f.ctx, *window.panel());

  std::vector<double> loadMs, undoMs;
  for (int i = 0; i < loads; ++i) {
    f.service.clearRecords();
    const Clock::time_point start = Clock::now();
    if (!dialog.LoadSoundFile(i % 2 ? b : a)) {
      std::printf("load %d failed\n", i);
      return 1;
    }
    loadMs.push_back(ms(Clock::now() - start));
  }
  const std::size_t kept = window.editActions()->history().steps();
  const std::size_t keptBytes = window.editActions()->history().bytes();
  for (int i = 0; i < undos && window.editActions()->history().canUndo(); ++i) {
    f.service.clearRecords();
    const Clock::time_point start = Clock::now();
    window.editActions()->Menu_Undo_Click();
    undoMs.push_back(ms(Clock::now() - start));
  }
  // Small edits with the long sound on the panel: typing into two fields by turns, each a step.
  std::vector<double> editMs;
  auto* reso = window.findChild<QLineEdit*>("TextF1_reso");
  auto* drive = window.findChild<QLineEdit*>("TextF1_drive");
  for (int i = 0; i < 200; ++i) {
    const Clock::time_point start = Clock::now();
    (i % 2 ? drive : reso)->setText(QString::number(i % 100));
    editMs.push_back(ms(Clock::now() - start));
  }
  std::filesystem::remove_all(dir);
  if (!f.presenter.boxes.empty()) std::printf("a load reported: %s\n", f.presenter.boxes.back().text.c_str());

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%d loads of two sounds with 32,767-character number fields, %zu undos, %zu edits\n", loads,
              undoMs.size(), editMs.size());
  print("load", loadMs);
  print("edit", editMs);
  print("undo", undoMs);
  std::printf("after the loads: %zu steps kept in %.1f MB; peak memory %.0f MB\n", kept,
              static_cast<double>(keptBytes) / (1 << 20), static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::printf("goal: the history within 16 MB, so peak memory stays flat however many loads; an edit's cost\n"
              "follows what it changed, not the length of the other fields\n");
  return 0;
}
