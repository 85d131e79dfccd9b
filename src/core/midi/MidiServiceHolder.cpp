#include "core/midi/MidiServiceHolder.h"

namespace rotavox {

MidiService& MidiServiceHolder::service() {
  if (current_ == nullptr) {
    owned_ = choose_();
    current_ = owned_.get();
  }
  return *current_;
}

bool MidiServiceHolder::chooseAgainIfGone() {
  if (current_ == nullptr) {
    service();
    return false;
  }
  if (!choose_ || !current_->systemGone() || !current_->answering()) return false;
  // The old service goes first: a client of the same MIDI system may want its name back.
  owned_.reset();
  owned_ = choose_();
  current_ = owned_.get();
  return true;
}

}  // namespace rotavox
