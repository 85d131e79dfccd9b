#pragma once

// The suites that state the promises of every MIDI service, parameterised over the backend:
// each backend's test program instantiates them with its own Backend.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "contract/Backend.h"
#include "core/midi/MidiLink.h"
#include "core/midi/MidiService.h"

namespace rotavox::contract {

class MidiContract : public ::testing::TestWithParam<BackendParam> {
 protected:
  void SetUp() override {
    backend = GetParam().make();
    bool mustRun = false;
    if (const std::optional<std::string> why = backend->unavailable(mustRun)) {
      if (mustRun) FAIL() << *why;
      GTEST_SKIP() << *why;
    }
    service = backend->openService("RotavoxContract");
    ASSERT_NE(service, nullptr) << "the MIDI service did not open";
  }

  int outputOf(const std::string& name) { return findOutput(*service, name); }
  int inputOf(const std::string& name) { return findInput(*service, name); }

  // Opens the output to the instrument through the program's MIDI layer, as the settings
  // dialog's Close does.
  void openOutput(MidiLink& link, const Instrument& to, int channel = 0) {
    link.state().MidiOutDevice = outputOf(to.portName());
    link.state().MidiChannel = channel;
    ASSERT_GE(link.state().MidiOutDevice, 0) << to.portName() << " is not in the output list";
    link.SwitchMidiOut("open");
    ASSERT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  }

  // Waits until the service has nothing left to send; false at the limit.
  bool allSent(Clock::duration limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (service->pendingMessages() > 0) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  std::unique_ptr<Backend> backend;
  std::unique_ptr<MidiService> service;
};

// The program's real windows over the backend.
class WindowsContract : public MidiContract {};

}  // namespace rotavox::contract
