#pragma once

// The JACK tests run twice: against jackd (the server JACK_DEFAULT_SERVER names) and against
// PipeWire's JACK, which CTest asks for with ROTAVOX_JACK_SERVER=pipewire (the tests named
// "PipeWire:..."). A program that uses JACK finds its library when it starts, so over PipeWire
// a test program starts itself again with the loader pointed at PipeWire's libjack, the runtime
// folder of the PipeWire that scripts/test started, and no jackd server named.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "e2e/JackTestClients.h"

namespace rotavox::jacktest {

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
  execv("/proc/self/exe", argv);
  std::perror("starting again over PipeWire's JACK");
  std::exit(1);
#else
  (void)argv;
#endif
}

}  // namespace rotavox::jacktest
