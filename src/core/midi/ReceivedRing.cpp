#include "core/midi/ReceivedRing.h"

#include <bit>

namespace rotavox {

namespace {
constexpr bool isChannelMessage(std::uint32_t message) {
  const std::uint32_t status = message & 0xFF;
  return status >= 0x80 && status < 0xF0;
}
}  // namespace

ReceivedRing::ReceivedRing(std::size_t capacity)
    : mask_(std::bit_ceil(capacity < 2 ? std::size_t{2} : capacity) - 1), cells_(std::make_unique<Cell[]>(mask_ + 1)) {}

bool ReceivedRing::push(std::uint32_t message, std::int64_t arrivalNanos) noexcept {
  if (!isChannelMessage(message)) {
    ignored_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  const std::uint64_t n = pushed_.load(std::memory_order_relaxed);
  Cell& cell = cells_[n & mask_];
  cell.sequence.store(2 * n + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  cell.message.store(message, std::memory_order_relaxed);
  cell.arrivalNanos.store(arrivalNanos, std::memory_order_relaxed);
  cell.sequence.store(2 * n + 2, std::memory_order_release);
  // Both sides use sequential consistency here: either the consumer's next look sees this
  // push, or this push sees the consumer waiting and wakes it.
  pushed_.store(n + 1, std::memory_order_seq_cst);
  return consumerWaits_.exchange(false, std::memory_order_seq_cst);
}

std::size_t ReceivedRing::take(std::vector<ReceivedMessage>& out) {
  consumerWaits_.store(true, std::memory_order_seq_cst);
  const std::uint64_t pushed = pushed_.load(std::memory_order_seq_cst);
  const std::size_t before = out.size();
  if (pushed - taken_ > capacity()) {
    lost_ += pushed - capacity() - taken_;
    taken_ = pushed - capacity();
  }
  for (; taken_ < pushed; ++taken_) {
    const Cell& cell = cells_[taken_ & mask_];
    const std::uint64_t first = cell.sequence.load(std::memory_order_acquire);
    const ReceivedMessage m{cell.message.load(std::memory_order_relaxed),
                            cell.arrivalNanos.load(std::memory_order_relaxed)};
    std::atomic_thread_fence(std::memory_order_acquire);
    // Overwritten by a later round (before or while it was read): that message is lost, the
    // one that took its place comes when the consumer gets there.
    if (first != 2 * taken_ + 2 || cell.sequence.load(std::memory_order_relaxed) != first) {
      ++lost_;
      continue;
    }
    out.push_back(m);
  }
  return out.size() - before;
}

}  // namespace rotavox
