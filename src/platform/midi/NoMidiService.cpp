#include "platform/midi/NoMidiService.h"

namespace rotavox {

MidiResult NoMidiService::outCaps(int device, MidiOutCaps& caps) {
  if (device != kMidiMapperDevice) return kNoSystem;
  caps = MidiOutCaps{0, 0, 0, "Rotavox virtual out (no MIDI system)", kTechMapper, {}};
  return kMidiOk;
}

std::string NoMidiService::errorText(MidiResult code) {
  if (code == kNoSystem)
    return "No MIDI system is running: neither the ALSA sequencer nor a JACK server could be opened.";
  return "Unknown MIDI error " + std::to_string(code) + ".";
}

}  // namespace rotavox
