#pragma once

#include "core/midi/MidiService.h"

namespace rotavox {

// The service when no MIDI system runs: no ports, and every open says why.
class NoMidiService : public MidiService {
 public:
  static constexpr MidiResult kNoSystem = 1;

  unsigned outDeviceCount() override { return 0; }
  MidiResult outCaps(int device, MidiOutCaps& caps) override;
  MidiResult openOut(int, MidiHandle&) override { return kNoSystem; }
  MidiResult closeOut(MidiHandle) override { return kNoSystem; }
  MidiResult sendShort(MidiHandle, std::uint32_t) override { return kNoSystem; }
  std::string outErrorText(MidiResult code) override { return errorText(code); }

  unsigned inDeviceCount() override { return 0; }
  MidiResult inCaps(int, MidiInCaps&) override { return kNoSystem; }
  MidiResult openIn(int, MidiHandle&) override { return kNoSystem; }
  MidiResult startIn(MidiHandle) override { return kNoSystem; }
  MidiResult stopIn(MidiHandle) override { return kNoSystem; }
  MidiResult closeIn(MidiHandle) override { return kNoSystem; }
  std::string inErrorText(MidiResult code) override { return errorText(code); }

  MidiResult connect(MidiHandle, MidiHandle) override { return kNoSystem; }
  MidiResult disconnect(MidiHandle, MidiHandle) override { return kNoSystem; }
  // Nothing to receive from: following says why, as the opens do.
  MidiResult followIn(int, MidiReceiver&) override { return kNoSystem; }
  std::string systemName() const override { return "no MIDI system"; }
  // Standing in for a MIDI system that is not there: worth looking for one again.
  bool systemGone() const override { return true; }

  static std::string errorText(MidiResult code);
};

}  // namespace rotavox
