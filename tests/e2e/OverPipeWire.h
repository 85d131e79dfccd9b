#pragma once

// The JACK tests run twice: against jackd (the server JACK_DEFAULT_SERVER names) and against
// PipeWire's JACK, which CTest asks for with ROTAVOX_JACK_SERVER=pipewire (the tests named
// "PipeWire:..."). A program that uses JACK finds its library when it starts, so over PipeWire
// a test program starts itself again with the loader pointed at PipeWire's libjack, the runtime
// folder of the PipeWire that scripts/test started, and no jackd server named.
//
// PipeWire's JACK loses the MIDI on its way in a cycle that the graph ran late (on a loaded
// machine without real-time threads a client can miss a cycle now and then); jackd, started
// synchronous, waits instead. A test that fails over PipeWire while its receivers missed cycles
// leaves a mark, and the test program runs once more; the second run's result stands. A test
// that fails with the graph on time fails at once.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "e2e/JackTestClients.h"

namespace rotavox::jacktest {

constexpr const char* kLateGraphMark = "ROTAVOX_LATE_GRAPH_MARK";

class LateGraphListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override { before_ = missedCyclesInProcess().load(); }
  void OnTestEnd(const ::testing::TestInfo& test) override {
    const std::size_t missed = missedCyclesInProcess().load() - before_;
    if (!test.result()->Failed() || missed == 0) return;
    std::printf("[   LATE   ] the receivers missed %zu of PipeWire's cycles while %s.%s ran\n", missed,
                test.test_suite_name(), test.name());
    if (const char* mark = std::getenv(kLateGraphMark))
      if (std::FILE* f = std::fopen(mark, "w")) std::fclose(f);
  }

 private:
  std::size_t before_ = 0;
};

// After InitGoogleTest.
inline void watchForLateGraph() {
  if (overPipeWire()) ::testing::UnitTest::GetInstance()->listeners().Append(new LateGraphListener);
}

// This program once more, over PipeWire's JACK; its exit status.
inline int runOverPipeWire(char** argv) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // CTest's time limit ends this process, and so the child
    execv("/proc/self/exe", argv);
    std::perror("starting again over PipeWire's JACK");
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return 1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline void startOverPipeWireWhenAsked(char** argv) {
#ifdef ROTAVOX_PIPEWIRE_JACK_DIR
  if (!overPipeWire()) return;
  const std::string dir = ROTAVOX_PIPEWIRE_JACK_DIR;
  const char* path = std::getenv("LD_LIBRARY_PATH");
  if (path != nullptr && std::string_view(path).substr(0, dir.size()) == dir) return;  // started so
  const std::string libraries = path != nullptr && *path != '\0' ? dir + ":" + path : dir;
  setenv("LD_LIBRARY_PATH", libraries.c_str(), 1);
  // The folder where scripts/test runs its PipeWire; without it the tests that start a daemon of
  // their own still find a place for its socket.
  ::mkdir(ROTAVOX_PIPEWIRE_RUNTIME_DIR, 0700);
  setenv("XDG_RUNTIME_DIR", ROTAVOX_PIPEWIRE_RUNTIME_DIR, 1);
  // PipeWire's JACK keeps the memory of its ports to the end of the process.
  const char* lsan = std::getenv("LSAN_OPTIONS");
  const std::string suppressions = std::string("suppressions=") + ROTAVOX_PIPEWIRE_LSAN_SUPPRESSIONS;
  setenv("LSAN_OPTIONS", (lsan != nullptr && *lsan != '\0' ? suppressions + ":" + lsan : suppressions).c_str(), 1);
  unsetenv("JACK_DEFAULT_SERVER");
  const std::string mark = std::string(ROTAVOX_PIPEWIRE_RUNTIME_DIR) + "/late-graph-" + std::to_string(getpid());
  setenv(kLateGraphMark, mark.c_str(), 1);
  int status = runOverPipeWire(argv);
  if (status != 0 && ::unlink(mark.c_str()) == 0) {
    std::printf("[   LATE   ] a test failed while PipeWire's graph ran late: the tests run once more\n");
    status = runOverPipeWire(argv);
    ::unlink(mark.c_str());
  }
  std::exit(status);
#else
  (void)argv;
#endif
}

}  // namespace rotavox::jacktest
