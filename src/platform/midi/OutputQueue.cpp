#include "platform/midi/OutputQueue.h"

#include <thread>

#include "core/midi/Pacing.h"

namespace rotavox {

namespace {
// At the wire rate a three-byte message leaves about every millisecond, so a producer that
// looks twice as often loses no time while it waits.
constexpr std::chrono::microseconds kWaitStep{250};
}  // namespace

OutputQueue::OutputQueue(std::size_t capacity, const std::atomic<bool>* sharedAbort)
    : capacity_(capacity > 0 ? capacity : 1),
      ring_(std::make_unique<std::atomic<std::uint32_t>[]>(capacity_)),
      sharedAbort_(sharedAbort) {}

bool OutputQueue::aborted() const {
  return aborted_.load(std::memory_order_acquire) ||
         (sharedAbort_ != nullptr && sharedAbort_->load(std::memory_order_acquire));
}

void OutputQueue::abort() { aborted_.store(true, std::memory_order_release); }

OutputQueue::PushResult OutputQueue::push(std::uint32_t message, std::chrono::milliseconds stallLimit) {
  if (aborted()) return PushResult::Aborted;
  const std::uint64_t head = head_.load(std::memory_order_relaxed);
  std::uint64_t tail = tail_.load(std::memory_order_acquire);
  if (head - tail >= capacity_) {
    if (stalled_ && tail == stalledAt_) return PushResult::Stalled;
    stalled_ = false;
    using Clock = std::chrono::steady_clock;
    std::uint64_t seen = tail;
    Clock::time_point lastProgress = Clock::now();
    for (;;) {
      std::this_thread::sleep_for(kWaitStep);
      if (aborted()) return PushResult::Aborted;
      tail = tail_.load(std::memory_order_acquire);
      if (head - tail < capacity_) break;
      const Clock::time_point now = Clock::now();
      if (tail != seen) {
        seen = tail;
        lastProgress = now;
      } else if (now - lastProgress >= stallLimit) {
        stalled_ = true;
        stalledAt_ = tail;
        return PushResult::Stalled;
      }
    }
  }
  ring_[head % capacity_].store(message, std::memory_order_relaxed);
  head_.store(head + 1, std::memory_order_release);
  return PushResult::Queued;
}

bool OutputQueue::front(std::uint32_t& message) {
  const std::uint64_t tail = tail_.load(std::memory_order_acquire);
  if (tail == head_.load(std::memory_order_acquire)) return false;
  frontIndex_ = tail;
  message = ring_[tail % capacity_].load(std::memory_order_relaxed);
  return true;
}

bool OutputQueue::pop() {
  std::uint64_t expected = frontIndex_;
  return tail_.compare_exchange_strong(expected, frontIndex_ + 1, std::memory_order_acq_rel);
}

void OutputQueue::discard() {
  const std::uint64_t head = head_.load(std::memory_order_acquire);
  std::uint64_t tail = tail_.load(std::memory_order_acquire);
  while (tail < head && !tail_.compare_exchange_weak(tail, head, std::memory_order_acq_rel)) {
  }
}

bool OutputQueue::drain(std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (size() == 0) return true;
    if (aborted() || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::chrono::milliseconds closeDrainLimit(std::size_t queuedMessages) {
  constexpr double kBytesPerMessage = 3.0;  // the longest short message
  const double wire = static_cast<double>(queuedMessages) * kBytesPerMessage / WirePacer::kWireBytesPerSecond;
  return std::chrono::milliseconds(2000) + std::chrono::milliseconds(static_cast<long long>(wire * 1000.0 + 0.5));
}

std::size_t OutputQueue::size() const {
  const std::uint64_t tail = tail_.load(std::memory_order_acquire);
  return static_cast<std::size_t>(head_.load(std::memory_order_acquire) - tail);
}

}  // namespace rotavox
