#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/midi/MidiService.h"

namespace rotavox {

// Which way a message went: sent to the instrument, or received from it.
enum class MessageDirection : std::uint8_t { Out, In };

// One message as it was handed to the MIDI service, or as it arrived from the followed port.
struct LoggedMessage {
  std::uint64_t number = 0;  // counts every message since the start, 0 first
  std::int64_t micros = 0;   // time since the program started (a received one: when it arrived)
  std::uint32_t message = 0;
  MidiResult result = kMidiOk;
  std::uint32_t errorText = 0;  // what the service said of a failed send, in MidiLog's texts
  MessageDirection direction = MessageDirection::Out;
};

// The last messages handed to the MIDI service and received from the followed port, kept
// whether the monitor is open or not. A ring: adding never allocates but for an error text not
// met before, and the oldest message goes first.
class MidiLog {
 public:
  static constexpr std::size_t kCapacity = 10000;
  // Distinct error texts kept; a run meets a handful. Beyond, a failure shows its code only.
  static constexpr std::size_t kMaxTexts = 256;

  MidiLog() : ring_(kCapacity), texts_(1) {}

  // A message sent to the instrument. `errorText` is the service's own text for a failed send,
  // as it gave it when it answered: result codes mean something else in each MIDI system, and a
  // text may name the moment's cause.
  void add(std::int64_t micros, std::uint32_t message, MidiResult result, std::string_view errorText = {}) {
    ring_[next_ % kCapacity] = {next_, micros, message, result, textIndex(errorText), MessageDirection::Out};
    ++next_;
  }
  // A message received from the followed port.
  void addReceived(std::int64_t micros, std::uint32_t message) {
    ring_[next_ % kCapacity] = {next_, micros, message, kMidiOk, 0, MessageDirection::In};
    ++next_;
  }
  std::string_view errorText(const LoggedMessage& logged) const { return texts_[logged.errorText]; }
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
  std::uint32_t textIndex(std::string_view text) {
    for (std::size_t i = 0; i < texts_.size(); ++i)
      if (texts_[i] == text) return static_cast<std::uint32_t>(i);
    if (texts_.size() == kMaxTexts) return 0;
    texts_.emplace_back(text);
    return static_cast<std::uint32_t>(texts_.size() - 1);
  }

  std::vector<LoggedMessage> ring_;
  std::vector<std::string> texts_;  // [0] is the empty text; never shrinks, shown rows point here
  std::uint64_t next_ = 0;
  std::uint64_t first_ = 0;  // where the last clear() left it
};

}  // namespace rotavox
