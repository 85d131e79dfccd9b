#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace rotavox {

// The ordered queue between the program's send call and the thread that feeds one MIDI
// output (the JACK process callback, an ALSA sender thread). One producer, one consumer.
// The consumer side never blocks, allocates or locks, so it is safe in a real-time thread.
// A full queue makes the producer wait for room, but never forever: abort() or the shared
// abort flag releases it, and a consumer that stops taking messages makes it give up.
class OutputQueue {
 public:
  static constexpr std::size_t kDefaultCapacity = 16384;
  // How long a producer waits at a full queue while the consumer takes nothing.
  static constexpr std::chrono::milliseconds kDefaultStallLimit{1000};

  enum class PushResult { Queued, Aborted, Stalled };

  // sharedAbort, when given, is a flag that aborts this queue together with others (the
  // MIDI system went away); it must outlive the queue.
  explicit OutputQueue(std::size_t capacity = kDefaultCapacity, const std::atomic<bool>* sharedAbort = nullptr);
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Producer: appends a message, waiting while the queue is full. After a stall it fails
  // at once until the consumer has taken a message again, so a frozen consumer costs the
  // producer one wait, not one per message.
  PushResult push(std::uint32_t message, std::chrono::milliseconds stallLimit = kDefaultStallLimit);

  // Consumer: the oldest message, left in the queue.
  bool front(std::uint32_t& message);
  // Consumer: takes the message that front() showed. False when discard() took it away in
  // between; the consumer must then not use it and look at front() again.
  bool pop();

  // Producer: waits until the consumer has taken every queued message. False when the queue
  // was aborted or the limit passed first.
  bool drain(std::chrono::milliseconds limit) const;
  // Any thread: drops every message queued so far.
  void discard();
  // Any thread: releases a waiting producer; every later push fails at once.
  void abort();
  bool aborted() const;

  std::size_t size() const;
  std::size_t capacity() const { return capacity_; }

 private:
  const std::size_t capacity_;
  // Atomic cells: after a discard the producer may refill a cell that the consumer is still
  // looking at; the consumer then loses the race in pop() and never uses what it read.
  const std::unique_ptr<std::atomic<std::uint32_t>[]> ring_;
  const std::atomic<bool>* const sharedAbort_;
  std::atomic<std::uint64_t> head_{0};  // next index to write; moved by the producer only
  std::atomic<std::uint64_t> tail_{0};  // next index to read; moved by pop() and discard()
  std::atomic<bool> aborted_{false};
  std::uint64_t frontIndex_ = 0;        // consumer only: the index front() looked at
  // Producer only: the read index at which the consumer was last found stuck.
  bool stalled_ = false;
  std::uint64_t stalledAt_ = 0;
};

// How long closing an output waits for what is still queued: the messages' time on the wire
// at the paced rate, and two seconds more for a busy system. A whole Panic sweep gets about
// four seconds; a frozen MIDI system never holds the program longer than that.
std::chrono::milliseconds closeDrainLimit(std::size_t queuedMessages);

}  // namespace rotavox
