#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
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

// Whether the sender's port is connected to the named port, as the server sees it once the
// changes made so far have taken effect.
inline bool connected(const jacktest::Sender& sender, const std::string& to) {
  sender.settle();
  jack_port_t* port = jack_port_by_name(sender.client(), sender.portName().c_str());
  return port != nullptr && jack_port_connected_to(port, to.c_str()) != 0;
}

inline bool jackdAvailable() { return std::system("command -v jackd >/dev/null 2>&1") == 0; }

}  // namespace rotavox
