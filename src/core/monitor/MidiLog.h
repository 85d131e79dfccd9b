#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/midi/MidiService.h"

namespace rotavox {

// One message as it was handed to the MIDI service.
struct LoggedMessage {
  std::uint64_t number = 0;  // counts every message since the start, 0 first
  std::int64_t micros = 0;   // time since the program started
  std::uint32_t message = 0;
  MidiResult result = kMidiOk;
};

// The last messages handed to the MIDI service, kept whether the monitor is open or not. A
// ring: adding never allocates and the oldest message goes first.
class MidiLog {
 public:
  static constexpr std::size_t kCapacity = 10000;

  MidiLog() : ring_(kCapacity) {}

  void add(std::int64_t micros, std::uint32_t message, MidiResult result) {
    ring_[next_ % kCapacity] = {next_, micros, message, result};
    ++next_;
  }
  // Forgets every message kept so far; numbering goes on.
  void clear() { first_ = next_; }

  // The number the next message will get.
  std::uint64_t next() const { return next_; }
  // The oldest message still kept.
  std::uint64_t first() const { return next_ - first_ > kCapacity ? next_ - kCapacity : first_; }
  std::size_t size() const { return static_cast<std::size_t>(next_ - first()); }
  // Message `number`, which must lie in [first(), next()).
  const LoggedMessage& at(std::uint64_t number) const { return ring_[number % kCapacity]; }

 private:
  std::vector<LoggedMessage> ring_;
  std::uint64_t next_ = 0;
  std::uint64_t first_ = 0;  // where the last clear() left it
};

}  // namespace rotavox
