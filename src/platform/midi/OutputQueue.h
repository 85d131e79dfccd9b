#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace rotavox {

// The ordered queue between the program's send call and the thread that feeds one MIDI
// output (the JACK process callback, a sender thread). One consumer; the producer side may be
// used from several threads (the program's, and a helper that refills the ring).
//
// The consumer reads a fixed ring and never blocks, allocates or locks, so it is safe in a
// real-time thread. The producer never waits either: what finds the ring full waits in an
// overflow list, in order, until refill() moves it into the ring. So a burst larger than the
// ring, or a MIDI system that stops taking messages for a while, neither holds the program
// nor loses a message.
class OutputQueue {
 public:
  static constexpr std::size_t kDefaultCapacity = 16384;
  // Beyond this many waiting messages (about a quarter of an hour of a MIDI wire) the MIDI
  // system takes nothing at all; a producer gets Full instead of memory without end.
  static constexpr std::size_t kDefaultOverflowLimit = std::size_t{1} << 20;

  enum class PushResult { Queued, Aborted, Full };

  // sharedAbort, when given, is a flag that aborts this queue together with others (the
  // MIDI system went away); it must outlive the queue.
  explicit OutputQueue(std::size_t capacity = kDefaultCapacity, const std::atomic<bool>* sharedAbort = nullptr,
                       std::size_t overflowLimit = kDefaultOverflowLimit);
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Producer: appends a message behind every one queued so far. Never waits.
  PushResult push(std::uint32_t message);
  // Producer side (any thread but the consumer's): moves waiting messages into the ring as
  // far as it has room. True when none is left waiting.
  bool refill();
  // True while messages wait beyond the ring for refill().
  bool overflowing() const { return overflowCount_.load(std::memory_order_acquire) > 0; }

  // Consumer: the oldest message in the ring, left in the queue.
  bool front(std::uint32_t& message);
  // Consumer: takes the message that front() showed. False when discard() took it away in
  // between; the consumer must then not use it and look at front() again.
  bool pop();

  // Any thread but a real-time one (it takes the producers' lock): drops every message
  // queued so far, waiting ones too.
  void discard();
  // Any thread: every later push fails.
  void abort();
  bool aborted() const;

  // Messages queued: in the ring and waiting beyond it.
  std::size_t size() const;
  std::size_t capacity() const { return capacity_; }

 private:
  void refillLocked();

  const std::size_t capacity_;
  const std::size_t overflowLimit_;
  // Atomic cells: after a discard the producer may refill a cell that the consumer is still
  // looking at; the consumer then loses the race in pop() and never uses what it read.
  const std::unique_ptr<std::atomic<std::uint32_t>[]> ring_;
  const std::atomic<bool>* const sharedAbort_;
  std::atomic<std::uint64_t> head_{0};  // next index to write; moved under producer_ only
  std::atomic<std::uint64_t> tail_{0};  // next index to read; moved by pop() and discard()
  std::atomic<bool> aborted_{false};
  std::uint64_t frontIndex_ = 0;  // consumer only: the index front() looked at

  std::mutex producer_;  // one writer of the ring at a time; guards overflow_
  std::deque<std::uint32_t> overflow_;
  std::atomic<std::size_t> overflowCount_{0};
};

}  // namespace rotavox
