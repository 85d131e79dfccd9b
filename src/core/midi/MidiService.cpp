#include "core/midi/MidiService.h"

namespace rotavox {

MidiResult MidiService::followIn(int, MidiReceiver&) { return kMidiCannotFollow; }

std::string MidiService::followErrorText(MidiResult code) {
  if (code == kMidiCannotFollow) return "Rotavox cannot receive MIDI through " + systemName() + ": following is not available.";
  return inErrorText(code);
}

}  // namespace rotavox
