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

  // Chooses when the service is first needed (the settings dialog's first load, at start), so
  // that the start looks for a MIDI system once; `choose` must always give a service (one
  // without ports at the least).
  explicit MidiServiceHolder(Chooser choose) : choose_(std::move(choose)) {}
  // A service owned elsewhere that is never replaced (tests, tools).
  explicit MidiServiceHolder(MidiService& fixed) : current_(&fixed) {}
  MidiServiceHolder(const MidiServiceHolder&) = delete;
  MidiServiceHolder& operator=(const MidiServiceHolder&) = delete;

  MidiService& service();

  // When the current service's MIDI system has gone, ends that service and chooses anew; not
  // while the system does not answer, since a new choice would wait for it again. Makes the
  // first choice when none was made yet. True when the service was replaced: every handle of
  // the old one is void.
  bool chooseAgainIfGone();

 private:
  Chooser choose_;
  std::unique_ptr<MidiService> owned_;
  MidiService* current_ = nullptr;
};

}  // namespace rotavox
