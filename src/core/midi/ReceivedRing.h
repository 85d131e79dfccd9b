#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace rotavox {

// A message received from the followed port, with its arrival on the steady clock.
struct ReceivedMessage {
  std::uint32_t message = 0;
  std::int64_t arrivalNanos = 0;
};

// The hand-over from the MIDI service's receiving thread (one producer, perhaps a real-time
// one) to the program's thread (one consumer). Neither side ever waits for the other:
// - push() neither locks nor allocates nor blocks. Only channel messages (status 0x80..0xEF)
//   enter; system messages (SysEx, MIDI clock, active sensing ...) are counted and dropped at
//   the door, so a clock running at 24 per quarter note never fills the ring.
// - A full ring keeps the newest messages: each push overwrites the oldest unread one, and the
//   consumer counts what it lost. What matters after a flood is the last value of each
//   control, and that is always kept.
// - The consumer is woken once per batch: push() answers true for the first message after the
//   consumer last looked, and the producer then wakes it (an eventfd, ReceiveQueue).
class ReceivedRing {
 public:
  static constexpr std::size_t kDefaultCapacity = 4096;

  // `capacity` is rounded up to a power of two.
  explicit ReceivedRing(std::size_t capacity = kDefaultCapacity);
  ReceivedRing(const ReceivedRing&) = delete;
  ReceivedRing& operator=(const ReceivedRing&) = delete;

  // Producer. True when the consumer waits to be told that something came.
  bool push(std::uint32_t message, std::int64_t arrivalNanos) noexcept;

  // Consumer: appends every message pushed since the last take, oldest first, to `out`; from
  // now on the next push wakes the consumer again. Returns how many it appended.
  std::size_t take(std::vector<ReceivedMessage>& out);

  // Consumer: messages overwritten before they were taken.
  std::uint64_t lost() const { return lost_; }
  // System messages dropped at the door (any thread).
  std::uint64_t ignored() const { return ignored_.load(std::memory_order_relaxed); }
  std::size_t capacity() const { return mask_ + 1; }

 private:
  // One cell of the ring, guarded by its own sequence number like a seqlock: odd while the
  // producer writes it, 2 * (push number + 1) once written. The consumer reads the number,
  // the data, then the number again; a number that changed or belongs to a later push means
  // the cell was overwritten under it.
  struct Cell {
    std::atomic<std::uint64_t> sequence{0};
    std::atomic<std::uint32_t> message{0};
    std::atomic<std::int64_t> arrivalNanos{0};
  };

  const std::size_t mask_;
  const std::unique_ptr<Cell[]> cells_;
  std::atomic<std::uint64_t> pushed_{0};  // producer writes, consumer reads
  std::atomic<bool> consumerWaits_{true};
  std::atomic<std::uint64_t> ignored_{0};
  std::uint64_t taken_ = 0;  // consumer only: the number of the next push to take
  std::uint64_t lost_ = 0;   // consumer only
};

}  // namespace rotavox
