#include "platform/midi/ReceiveQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace rotavox {

ReceiveQueue::ReceiveQueue(std::size_t capacity)
    : ring_(capacity), wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ReceiveQueue::~ReceiveQueue() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void ReceiveQueue::received(std::uint32_t message, std::int64_t arrivalNanos) noexcept {
  if (ring_.push(message, arrivalNanos)) wake();
}

void ReceiveQueue::sourceGone() noexcept {
  gone_.store(true, std::memory_order_release);
  wake();
}

// A non-blocking eventfd never makes the writer wait: it only fails when its counter would
// overflow, and then it is readable already.
void ReceiveQueue::wake() noexcept {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

std::size_t ReceiveQueue::take(std::vector<ReceivedMessage>& out) {
  // First the wake-up, then the ring: a push between the two wakes the program once more
  // instead of being missed.
  if (wakeFd_ >= 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
  }
  return ring_.take(out);
}

std::int64_t receiveClockNow() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace rotavox
