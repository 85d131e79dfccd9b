#pragma once

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "core/midi/MidiService.h"

namespace rotavox {

// The thru connections a service keeps account of: which open input leads into which open
// output, between which two ports of the MIDI system (`Endpoint`: a JACK port name, a sequencer
// address), and whether the service made the connection itself. Only those it made are its to
// remove; one that existed before stays with whoever made it. Not thread-safe: the service
// guards it with its own lock.
template <class Endpoint>
class ThruLinks {
 public:
  struct Link {
    MidiHandle in = kNoMidiHandle;
    MidiHandle out = kNoMidiHandle;
    Endpoint from{};
    Endpoint to{};
    bool madeByUs = false;
  };

  bool has(MidiHandle in, MidiHandle out) const {
    return std::any_of(links_.begin(), links_.end(), [&](const Link& l) { return l.in == in && l.out == out; });
  }
  void add(Link link) { links_.push_back(std::move(link)); }

  // Each take...() removes the links it returns from the account, in the order they were made.
  std::vector<Link> take(MidiHandle in, MidiHandle out) {
    return takeIf([&](const Link& l) { return l.in == in && l.out == out; });
  }
  std::vector<Link> takeFrom(MidiHandle in) {
    return takeIf([&](const Link& l) { return l.in == in; });
  }
  std::vector<Link> takeAll() { return std::exchange(links_, {}); }
  // Drops links without returning them (their port went away, and the system with it).
  template <class Pred>
  void forget(Pred pred) {
    std::erase_if(links_, pred);
  }

 private:
  template <class Pred>
  std::vector<Link> takeIf(Pred pred) {
    const auto first = std::stable_partition(links_.begin(), links_.end(), [&](const Link& l) { return !pred(l); });
    std::vector<Link> taken(std::make_move_iterator(first), std::make_move_iterator(links_.end()));
    links_.erase(first, links_.end());
    return taken;
  }

  std::vector<Link> links_;
};

}  // namespace rotavox
