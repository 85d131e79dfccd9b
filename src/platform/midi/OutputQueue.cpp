#include "platform/midi/OutputQueue.h"

namespace rotavox {

OutputQueue::OutputQueue(std::size_t capacity, const std::atomic<bool>* sharedAbort, std::size_t overflowLimit)
    : capacity_(capacity > 0 ? capacity : 1),
      overflowLimit_(overflowLimit),
      ring_(std::make_unique<std::atomic<std::uint32_t>[]>(capacity_)),
      sharedAbort_(sharedAbort) {}

bool OutputQueue::aborted() const {
  return aborted_.load(std::memory_order_acquire) ||
         (sharedAbort_ != nullptr && sharedAbort_->load(std::memory_order_acquire));
}

void OutputQueue::abort() { aborted_.store(true, std::memory_order_release); }

void OutputQueue::refillLocked() {
  std::uint64_t head = head_.load(std::memory_order_relaxed);
  const std::uint64_t tail = tail_.load(std::memory_order_acquire);
  std::size_t moved = 0;
  while (!overflow_.empty() && head - tail < capacity_) {
    ring_[head % capacity_].store(overflow_.front(), std::memory_order_relaxed);
    overflow_.pop_front();
    ++head;
    ++moved;
  }
  if (moved == 0) return;
  head_.store(head, std::memory_order_release);
  overflowCount_.store(overflow_.size(), std::memory_order_release);
}

OutputQueue::PushResult OutputQueue::push(std::uint32_t message) {
  const std::lock_guard<std::mutex> lock(producer_);
  if (aborted()) return PushResult::Aborted;
  // Waiting messages go first, so the order holds across the ring and the overflow.
  refillLocked();
  const std::uint64_t head = head_.load(std::memory_order_relaxed);
  if (overflow_.empty() && head - tail_.load(std::memory_order_acquire) < capacity_) {
    ring_[head % capacity_].store(message, std::memory_order_relaxed);
    head_.store(head + 1, std::memory_order_release);
    return PushResult::Queued;
  }
  if (overflow_.size() >= overflowLimit_) return PushResult::Full;
  overflow_.push_back(message);
  overflowCount_.store(overflow_.size(), std::memory_order_release);
  return PushResult::Queued;
}

bool OutputQueue::refill() {
  const std::lock_guard<std::mutex> lock(producer_);
  refillLocked();
  return overflow_.empty();
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
  const std::lock_guard<std::mutex> lock(producer_);
  overflow_.clear();
  overflowCount_.store(0, std::memory_order_release);
  const std::uint64_t head = head_.load(std::memory_order_acquire);
  std::uint64_t tail = tail_.load(std::memory_order_acquire);
  while (tail < head && !tail_.compare_exchange_weak(tail, head, std::memory_order_acq_rel)) {
  }
}

std::size_t OutputQueue::size() const {
  // refill() moves the head before it lowers the count of waiting messages: read in the other
  // order, a moment's answer may count a message twice, but never miss one.
  const std::size_t waiting = overflowCount_.load(std::memory_order_acquire);
  const std::uint64_t tail = tail_.load(std::memory_order_acquire);
  return static_cast<std::size_t>(head_.load(std::memory_order_acquire) - tail) + waiting;
}

}  // namespace rotavox
