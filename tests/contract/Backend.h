#pragma once

// What the promises every MIDI service makes are tested against: a MIDI system with an
// instrument that records what reaches it, a keyboard that plays into the thru, and the ways a
// port can go away. Each backend's test lane gives one (JackBackend.h on the host, AlsaBackend.h
// in the ALSA virtual machine); MidiContractTest.cpp and WindowsContractTest.cpp state each
// promise once, for every backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/midi/Messages.h"
#include "core/midi/MidiService.h"

namespace rotavox::contract {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The port a service lists as an output, and what reaches it.
class Instrument {
 public:
  virtual ~Instrument() = default;
  // As the service lists it.
  virtual std::string portName() const = 0;
  // Messages that have arrived so far, in order.
  virtual std::vector<std::uint32_t> messages() = 0;
  // The time each of them arrived, in seconds on the instrument's own clock; empty where the
  // instrument cannot tell.
  virtual std::vector<double> arrivalSeconds() = 0;
  // Its program quits (its port and every connection to it go); then starts again under the
  // same name.
  virtual void quit() = 0;
  virtual bool startAgain() = 0;

  // ---- What it sends: the program follows its MIDI output port ----------------------------
  // As the service lists it among the input ports.
  virtual std::string sendPortName() const = 0;
  // Sends the messages in order (channel messages, or one-byte system messages such as clock
  // and active sensing), waiting for room as a sending program does, and returns once they have
  // left it; false when it could not send them.
  virtual bool send(const std::vector<std::uint32_t>& messages) = 0;
  // Sends one SysEx of `bytes` bytes (0xF0 ... 0xF7) in the pieces a MIDI interface hands on.
  virtual bool sendSysEx(std::size_t bytes) = 0;

  std::size_t count() { return messages().size(); }
  // Waits until at least n messages arrived; false when the limit passed first.
  bool waitFor(std::size_t n, Clock::duration limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (count() < n) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }
  // Waits until nothing has arrived for `quiet`, so that a late copy would be counted.
  void settle(Clock::duration quiet = 300ms) {
    std::size_t seen = count();
    const Clock::time_point end = Clock::now() + 60s;
    while (Clock::now() < end) {
      std::this_thread::sleep_for(quiet);
      const std::size_t now = count();
      if (now == seen) return;
      seen = now;
    }
  }
};

// The port a service lists as an input: a keyboard whose notes the thru carries.
class Keyboard {
 public:
  virtual ~Keyboard() = default;
  virtual std::string portName() const = 0;
  // Plays the messages and returns once they have left the keyboard.
  virtual bool play(const std::vector<std::uint32_t>& messages) = 0;
};

// One MIDI system with its stand-ins.
class Backend {
 public:
  virtual ~Backend() = default;
  // Why the tests cannot run here, or nothing. `mustRun`: then that is a failure, not a skip.
  virtual std::optional<std::string> unavailable(bool& mustRun) = 0;
  virtual std::unique_ptr<MidiService> openService(const std::string& clientName) = 0;
  // Instrument 0 tells arrival times; instrument 1 is a program that can quit.
  virtual std::unique_ptr<Instrument> instrument(int which) = 0;
  virtual std::unique_ptr<Keyboard> keyboard() = 0;
  // How much faster than the wire allows a run of arrivals may look through the instrument's
  // own timing alone.
  virtual double timingSlack() const = 0;
  // Connects the keyboard to the instrument outside the program (a patchbay, aconnect), or
  // removes that connection again.
  virtual bool connectOutside(const Keyboard& from, const Instrument& to, bool remove) = 0;
  // The ports of the named client that every other program sees, by name.
  virtual std::vector<std::string> portsOf(const std::string& clientName) = 0;
  // What a send answers once the output's port has gone.
  virtual MidiResult portGoneResult() const = 0;
  // Whether an opening of a listed port that has gone since says so in its error text.
  virtual ::testing::AssertionResult saysPortGone(const std::string& errorText, const std::string& portName) const = 0;
};

// What the contract suites are instantiated with: the backend's name and how to make it.
struct BackendParam {
  const char* name;
  std::unique_ptr<Backend> (*make)();
};
inline void PrintTo(const BackendParam& p, std::ostream* os) { *os << p.name; }
inline std::string backendName(const ::testing::TestParamInfo<BackendParam>& info) { return info.param.name; }

// Device number of the output / input port with this name, -1 if not listed.
inline int findOutput(MidiService& s, const std::string& name) {
  const unsigned n = s.outDeviceCount();
  for (unsigned i = 0; i < n; ++i) {
    MidiOutCaps caps;
    if (s.outCaps(static_cast<int>(i), caps) == kMidiOk && caps.name == name) return static_cast<int>(i);
  }
  return -1;
}
inline int findInput(MidiService& s, const std::string& name) {
  const unsigned n = s.inDeviceCount();
  for (unsigned i = 0; i < n; ++i) {
    MidiInCaps caps;
    if (s.inCaps(static_cast<int>(i), caps) == kMidiOk && caps.name == name) return static_cast<int>(i);
  }
  return -1;
}

// ---- Messages --------------------------------------------------------------------------------

// Distinct-looking Control Changes, numbered from `first`.
inline std::vector<std::uint32_t> controlChanges(int count, int first = 0) {
  std::vector<std::uint32_t> out;
  for (int i = first; i < first + count; ++i) out.push_back(controlChange(i % 16, (i / 16) % 120, i % 128));
  return out;
}

// The Panic sweep as it must arrive: notes 1 to 127, sixteen times, velocity 0.
inline std::vector<std::uint32_t> panicSweep(int channel = 0) {
  std::vector<std::uint32_t> out;
  for (int pass = 0; pass < 16; ++pass)
    for (int note = 1; note <= 127; ++note) out.push_back(noteOn(channel, note, 0));
  return out;
}

// Where two message lists first differ, as a text for a failure; empty when they are equal.
inline std::string firstDifference(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& expected) {
  const std::size_t n = std::min(got.size(), expected.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (got[i] != expected[i]) {
      char text[160];
      std::snprintf(text, sizeof text, "message %zu is 0x%06X, expected 0x%06X (%zu received, %zu expected)", i,
                    got[i], expected[i], got.size(), expected.size());
      return text;
    }
  }
  if (got.size() != expected.size())
    return std::to_string(got.size()) + " messages received, " + std::to_string(expected.size()) + " expected";
  return {};
}

// The pacing rule over every run of arrivals: a run from message j to k took at least (its
// bytes - burst) / rate. Returns the worst shortfall in seconds: 0 when the rule held.
inline double worstPacingShortfall(const std::vector<std::uint32_t>& messages, const std::vector<double>& seconds,
                                   double bytesPerSecond, double burstBytes) {
  // t_k - t_j >= (B_k - B_{j-1} - burst) / rate  <=>  t_k - B_k/rate >= t_j - B_{j-1}/rate - burst/rate.
  double worst = 0.0;
  double bestEarlier = -1e300;  // max over j <= k of t_j - B_{j-1}/rate
  double bytes = 0.0;
  for (std::size_t i = 0; i < std::min(messages.size(), seconds.size()); ++i) {
    const double t = seconds[i];
    bestEarlier = std::max(bestEarlier, t - bytes / bytesPerSecond);
    bytes += shortMessageBytes(messages[i]);
    worst = std::max(worst, bestEarlier - burstBytes / bytesPerSecond - (t - bytes / bytesPerSecond));
  }
  return worst;
}

}  // namespace rotavox::contract
