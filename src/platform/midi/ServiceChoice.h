#pragma once

#include <memory>

#include "core/midi/MidiService.h"

namespace rotavox {

// The MIDI system of this desktop: the ALSA sequencer when it can be opened, else a running
// JACK server, else a service with no ports whose opens say that no MIDI system runs.
std::unique_ptr<MidiService> openSystemMidiService();

}  // namespace rotavox
