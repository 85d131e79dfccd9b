// Start-up to the first painted main window, and peak memory at rest, measured over fresh
// processes: the parent starts this program again as a child for each run, the child builds
// the editor exactly as the program does and reports when the main window first paints.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/Program.h"

namespace {

long long nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class FirstPaint : public QObject {
 public:
  long long at = 0;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && at == 0) at = nowNs();
    return QObject::eventFilter(o, e);
  }
};

int child(long long t0) {
  int argc = 1;
  char name[] = "rotavox";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  rotavox::Program program;
  FirstPaint paint;
  program.window().installEventFilter(&paint);
  program.start();
  // At rest: a second of idle event loop after the first paint.
  QTimer::singleShot(1000, &app, &QApplication::quit);
  app.exec();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%lld %ld\n", paint.at ? paint.at - t0 : -1, usage.ru_maxrss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--child") return child(std::atoll(argv[2]));
  const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
  std::vector<double> startMs;
  std::vector<double> peakMb;
  for (int i = 0; i < runs; ++i) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return 1;
    const long long t0 = nowNs();
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(pipeFd[1], STDOUT_FILENO);
      close(pipeFd[0]);
      const std::string stamp = std::to_string(t0);
      execl("/proc/self/exe", argv[0], "--child", stamp.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFd[1]);
    char buffer[128] = {};
    const ssize_t n = read(pipeFd[0], buffer, sizeof buffer - 1);
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long ns = -1;
    long kb = 0;
    if (n <= 0 || std::sscanf(buffer, "%lld %ld", &ns, &kb) != 2 || ns < 0) {
      std::fprintf(stderr, "run %d failed\n", i);
      return 1;
    }
    startMs.push_back(ns / 1e6);
    peakMb.push_back(kb / 1024.0);
  }
  std::sort(startMs.begin(), startMs.end());
  std::sort(peakMb.begin(), peakMb.end());
  std::printf("start-up to first painted main window: median %.1f ms, min %.1f ms, max %.1f ms (%d runs; goal < 300 ms)\n",
              startMs[startMs.size() / 2], startMs.front(), startMs.back(), runs);
  std::printf("peak memory at rest (max RSS): median %.1f MB, max %.1f MB (goal < 60 MB)\n", peakMb[peakMb.size() / 2],
              peakMb.back());
  return 0;
}
