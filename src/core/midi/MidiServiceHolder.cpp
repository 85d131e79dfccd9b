#include "core/midi/MidiServiceHolder.h"

namespace rotavox {

MidiServiceHolder::MidiServiceHolder(Chooser choose) : choose_(std::move(choose)), owned_(choose_()), current_(owned_.get()) {}

bool MidiServiceHolder::chooseAgainIfGone() {
  if (!choose_ || !current_->systemGone()) return false;
  // The old service goes first: a client of the same MIDI system may want its name back.
  owned_.reset();
  owned_ = choose_();
  current_ = owned_.get();
  return true;
}

}  // namespace rotavox
