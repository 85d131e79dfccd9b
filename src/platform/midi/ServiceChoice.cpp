#include "platform/midi/ServiceChoice.h"

#include "platform/midi/NoMidiService.h"

#if ROTAVOX_HAVE_ALSA
#include "platform/midi/alsa/AlsaSeqService.h"
#endif

#if ROTAVOX_HAVE_JACK
#include "platform/midi/jack/JackService.h"
#endif

namespace rotavox {

std::unique_ptr<MidiService> openSystemMidiService() {
#if ROTAVOX_HAVE_ALSA
  if (std::unique_ptr<MidiService> alsa = tryOpenAlsaSeqService()) return alsa;
#endif
#if ROTAVOX_HAVE_JACK
  if (std::unique_ptr<MidiService> jack = tryOpenJackService()) return jack;
#endif
  return std::make_unique<NoMidiService>();
}

}  // namespace rotavox
