#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/midi/MidiService.h"
#include "core/midi/ReceivedRing.h"

namespace rotavox {

// What a followed port sends, on its way from the MIDI service's receiving thread to the
// program's thread: the ring of the core and a wake-up the program's event loop can watch (an
// eventfd that turns readable when something came). The service's side only pushes: no lock,
// no allocation, at most one non-blocking write() per batch the program takes.
class ReceiveQueue final : public MidiReceiver {
 public:
  explicit ReceiveQueue(std::size_t capacity = ReceivedRing::kDefaultCapacity);
  ~ReceiveQueue();
  ReceiveQueue(const ReceiveQueue&) = delete;
  ReceiveQueue& operator=(const ReceiveQueue&) = delete;

  // ---- The service's receiving thread -------------------------------------------------------
  void received(std::uint32_t message, std::int64_t arrivalNanos) noexcept override;
  void sourceGone() noexcept override;

  // ---- The program's thread -------------------------------------------------------------------
  // Readable while something waits to be taken; -1 when no eventfd could be made (the queue
  // then cannot wake anybody: valid() is false).
  int wakeFd() const { return wakeFd_; }
  bool valid() const { return wakeFd_ >= 0; }
  // Clears the wake-up and appends every message received since the last take to `out`.
  std::size_t take(std::vector<ReceivedMessage>& out);
  // True once the service said that the followed port went away.
  bool gone() const { return gone_.load(std::memory_order_acquire); }
  std::uint64_t lost() const { return ring_.lost(); }
  std::uint64_t ignored() const { return ring_.ignored(); }

 private:
  void wake() noexcept;

  ReceivedRing ring_;
  std::atomic<bool> gone_{false};
  int wakeFd_ = -1;
};

// Now on the clock received() expects: nanoseconds of std::chrono::steady_clock.
std::int64_t receiveClockNow() noexcept;

}  // namespace rotavox
