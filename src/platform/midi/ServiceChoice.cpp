#include "platform/midi/ServiceChoice.h"

#include "platform/midi/NoMidiService.h"

#if ROTAVOX_HAVE_ALSA
#include "platform/midi/AlsaSeqService.h"
#endif

namespace rotavox {

std::unique_ptr<MidiService> openSystemMidiService() {
#if ROTAVOX_HAVE_ALSA
  if (std::unique_ptr<MidiService> alsa = tryOpenAlsaSeqService()) return alsa;
#endif
  return std::make_unique<NoMidiService>();
}

}  // namespace rotavox
