#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "../tests/e2e/JackTestClients.h"

// The JACK server a benchmark runs against: the one that can be reached, or else one of its
// own, started here and named in JACK_DEFAULT_SERVER (`own` keeps it). False when there is
// neither.
inline bool reachOrStartJackServer(const std::string& prefix, std::unique_ptr<rotavox::jacktest::PrivateServer>& own) {
  if (rotavox::jacktest::serverReachable()) return true;
  own = std::make_unique<rotavox::jacktest::PrivateServer>(prefix + "-" + std::to_string(getpid()));
  if (!own->up()) {
    std::fprintf(stderr, "No JACK server runs and %s could not be started.\n", own->name());
    return false;
  }
  setenv("JACK_DEFAULT_SERVER", own->name(), 1);
  std::printf("Started a JACK server of its own: %s\n", own->name());
  return true;
}
