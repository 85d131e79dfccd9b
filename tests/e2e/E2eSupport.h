#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/common/MessagePresenter.h"
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

// Device number of the output / input port with this name, -1 if not listed.
inline int findOutput(MidiService& s, const std::string& name) {
  const std::vector<MidiOutCaps> list = outputPorts(s);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].name == name) return static_cast<int>(i);
  return -1;
}

inline int findInput(MidiService& s, const std::string& name) {
  const std::vector<MidiInCaps> list = inputPorts(s);
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].name == name) return static_cast<int>(i);
  return -1;
}

// Whether the sender's port is connected to the named port, as the server sees it once the
// changes made so far have taken effect.
inline bool connected(const jacktest::Sender& sender, const std::string& to) {
  sender.settle();
  jack_port_t* port = jack_port_by_name(sender.client(), sender.portName().c_str());
  return port != nullptr && jack_port_connected_to(port, to.c_str()) != 0;
}

// Where two message lists first differ, for a readable failure.
inline std::string firstDifference(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want) {
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
    if (got[i] != want[i]) return "first difference at message " + std::to_string(i);
  return "got " + std::to_string(got.size()) + " messages, expected " + std::to_string(want.size());
}

inline bool jackdAvailable() { return std::system("command -v jackd >/dev/null 2>&1") == 0; }

}  // namespace rotavox
