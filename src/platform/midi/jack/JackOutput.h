#pragma once

// One output of the JACK client as the program's thread, the JACK thread and the process
// callback share it. The callback reads `port`, `firstCycle` and the consumer side of `paced`,
// nothing else; `stage` and `passesToEnd` are the JACK thread's, under the client's lock.

#include <jack/jack.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/midi/MidiService.h"
#include "platform/midi/PacedSender.h"

namespace rotavox {

// Where a closed output stands on its way out. Only the JACK thread moves it on, under the
// client's lock; a reopening of its port may take it back while it is still Closing.
enum class JackOutputStage {
  Open,          // takes messages
  Closing,       // takes none; what is queued still goes out
  Drained,       // the queue is empty; disconnected once the pass that took its last messages
                 // and the two after it have ended
  Disconnected,  // everything went out and the port was disconnected; the process callback
                 // clears its buffer until the disconnection has surely taken effect
  Unslotted,     // out of the process callback's slots; unregistered once the passes that
                 // might still hold it have ended
};

struct JackOutput {
  explicit JackOutput(const std::atomic<bool>* serverGone) : paced(OutputQueue::kDefaultCapacity, serverGone) {}
  OutputQueue& queue() { return paced.queue(); }

  MidiHandle handle = kNoMidiHandle;
  jack_port_t* port = nullptr;  // this client's own port
  std::string ownName;
  jack_port_t* target = nullptr;  // the chosen foreign port; nullptr for the virtual port
  std::string targetName;
  std::string targetDisplay;
  std::size_t slot = 0;
  // The first cycle that may carry messages: JACK makes a new connection effective at the
  // start of a cycle, so events written in the cycle running while it was made are lost.
  std::uint64_t firstCycle = 0;
  PacedQueue paced;  // its consumer side is the process thread's
  std::atomic<bool> gone{false};
  JackOutputStage stage = JackOutputStage::Open;  // under the client's lock
  std::uint64_t passesToEnd = 0;  // for Drained, Disconnected and Unslotted: passes that must have ended
};

}  // namespace rotavox
