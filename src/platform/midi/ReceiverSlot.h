#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "core/midi/MidiService.h"

namespace rotavox {

// Where a service's receiving threads find the receiver of the followed port, and how the
// program's thread takes it away again. The receiving side never locks, allocates or waits for
// the program: it counts itself in and out around each hand-over, and the program's thread
// waits only for a hand-over already under way, which never blocks. Any number of receiving
// threads may use one slot (JACK's process callback and its watcher; the sequencer's listener).
class ReceiverSlot {
 public:
  ReceiverSlot() = default;
  ReceiverSlot(const ReceiverSlot&) = delete;
  ReceiverSlot& operator=(const ReceiverSlot&) = delete;

  // ---- The program's thread -----------------------------------------------------------------

  void attach(MidiReceiver& receiver) noexcept { receiver_.store(&receiver, std::memory_order_seq_cst); }

  // Takes the receiver away: once this returns, no thread touches it any more.
  void detach() noexcept {
    receiver_.store(nullptr, std::memory_order_seq_cst);
    // A hand-over that found the receiver counted itself in before it looked, so it is seen
    // here until it has counted itself out.
    while (users_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
  }

  // ---- Receiving threads --------------------------------------------------------------------

  // Hands one message over; false when no receiver is attached (stopped, or told it is gone).
  bool deliver(std::uint32_t message, std::int64_t arrivalNanos) noexcept {
    users_.fetch_add(1, std::memory_order_seq_cst);
    MidiReceiver* receiver = receiver_.load(std::memory_order_seq_cst);
    if (receiver != nullptr) receiver->received(message, arrivalNanos);
    users_.fetch_sub(1, std::memory_order_release);
    return receiver != nullptr;
  }

  // Tells the receiver, once, that the followed port went away, and detaches it: nothing is
  // delivered after the news. Waits for a hand-over under way on another thread, so that no
  // message arrives beside it. Never called from within deliver().
  bool reportGone() noexcept {
    users_.fetch_add(1, std::memory_order_seq_cst);
    MidiReceiver* receiver = receiver_.exchange(nullptr, std::memory_order_seq_cst);
    if (receiver != nullptr) {
      while (users_.load(std::memory_order_seq_cst) > 1) std::this_thread::yield();
      receiver->sourceGone();
    }
    users_.fetch_sub(1, std::memory_order_release);
    return receiver != nullptr;
  }

 private:
  std::atomic<MidiReceiver*> receiver_{nullptr};
  std::atomic<int> users_{0};
};

}  // namespace rotavox
