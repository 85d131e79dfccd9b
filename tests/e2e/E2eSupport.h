#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/common/MessagePresenter.h"
#include "contract/Backend.h"
#include "core/midi/MidiService.h"
#include "e2e/JackTestClients.h"
#include "support/RecordingPresenter.h"

namespace rotavox {

using test::RecordingPresenter;

inline std::vector<MidiOutCaps> outputPorts(MidiService& s) {
  std::vector<MidiOutCaps> list(s.outDeviceCount());
  for (std::size_t i = 0; i < list.size(); ++i) s.outCaps(static_cast<int>(i), list[i]);
  return list;
}

inline std::vector<MidiInCaps> inputPorts(MidiService& s) {
  std::vector<MidiInCaps> list(s.inDeviceCount());
  for (std::size_t i = 0; i < list.size(); ++i) s.inCaps(static_cast<int>(i), list[i]);
  return list;
}

using contract::findInput;
using contract::findOutput;
using contract::firstDifference;
using contract::panicSweep;

// Polls `holds` until it is true; false once `limit` has passed (a limit of 0 looks once).
inline bool becomes(const std::function<bool()>& holds, std::chrono::steady_clock::duration limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!holds()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Whether the sender's port is connected to the named port, as the server sees it once the
// changes made so far have taken effect.
inline bool connected(const jacktest::Sender& sender, const std::string& to) {
  sender.settle();
  jack_port_t* port = jack_port_by_name(sender.client(), sender.portName().c_str());
  return port != nullptr && jack_port_connected_to(port, to.c_str()) != 0;
}

// Over PipeWire, a test whose server stops or dies under it skips: PipeWire's JACK (0.3.65) does
// not tell its clients when its daemon is killed, and around a daemon stopped with SIGSTOP it
// loses and reorders the MIDI of the cycles it missed. What the program does when its server
// stops or ends is tested over jackd.
#define ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE()                                                 \
  if (jacktest::overPipeWire())                                                                 \
  GTEST_SKIP() << "over PipeWire: its JACK does not report a killed or stopped server as jackd does"

// True when the program that runs a private server (jackd, or pipewire in the PipeWire lane) is
// installed.
inline bool ownServerAvailable() {
  return std::system(jacktest::overPipeWire() ? "command -v pipewire >/dev/null 2>&1"
                                               : "command -v jackd >/dev/null 2>&1") == 0;
}

}  // namespace rotavox
