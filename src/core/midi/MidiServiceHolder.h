#pragma once

#include <functional>
#include <memory>

#include "core/midi/MidiService.h"

namespace rotavox {

// The program's MIDI service and the choice that made it. A MIDI system can go away while the
// program runs (a JACK server stops); the holder then makes the choice anew on request, so that
// a system started since is found without restarting the program.
class MidiServiceHolder {
 public:
  using Chooser = std::function<std::unique_ptr<MidiService>()>;

  // Chooses at once; `choose` must always give a service (one without ports at the least).
  explicit MidiServiceHolder(Chooser choose);
  // A service owned elsewhere that is never replaced (tests, tools).
  explicit MidiServiceHolder(MidiService& fixed) : current_(&fixed) {}
  MidiServiceHolder(const MidiServiceHolder&) = delete;
  MidiServiceHolder& operator=(const MidiServiceHolder&) = delete;

  MidiService& service() { return *current_; }
  const MidiService& service() const { return *current_; }

  // When the current service's MIDI system has gone, ends that service and chooses anew.
  // True when the service was replaced: every handle of the old one is void.
  bool chooseAgainIfGone();

 private:
  Chooser choose_;
  std::unique_ptr<MidiService> owned_;
  MidiService* current_ = nullptr;
};

}  // namespace rotavox
