#include "platform/midi/ServiceChoice.h"

#include "platform/midi/NoMidiService.h"

namespace rotavox {

std::unique_ptr<MidiService> openSystemMidiService() { return std::make_unique<NoMidiService>(); }

}  // namespace rotavox
