#include "platform/midi/PacedSender.h"

#include <algorithm>

#include "core/midi/Messages.h"

namespace rotavox {

PacedQueue::PacedQueue(std::size_t capacity, const std::atomic<bool>* sharedAbort) : queue_(capacity, sharedAbort) {}

bool PacedQueue::peek(double now, std::uint32_t& message, int& bytes, double& due) {
  while (queue_.front(message)) {
    bytes = shortMessageBytes(message);
    if (bytes > 0) {
      bytes_ = bytes;
      due = pacer_.earliest(now, bytes);
      return true;
    }
    queue_.pop();  // producers let none in; nothing of it could go on the wire
  }
  return false;
}

bool PacedQueue::take(double at) {
  if (!queue_.pop()) return false;
  pacer_.commit(at, bytes_);
  return true;
}

PacedSender::PacedSender(std::unique_ptr<MessageSink> sink, std::size_t capacity)
    : sink_(std::move(sink)), paced_(capacity, &abort_) {
  thread_ = std::thread([this] { run(); });
}

PacedSender::~PacedSender() { stop(); }

void PacedSender::wakeAll() {
  // Taking the lock between the change and the notification means the thread either sees the
  // change in its wait predicate or is already waiting when the notification comes.
  { std::lock_guard<std::mutex> lock(mutex_); }
  wake_.notify_all();
}

PacedSender::SendResult PacedSender::send(std::uint32_t message) {
  if (gone()) return SendResult::Gone;
  if (closed_.load(std::memory_order_acquire)) return SendResult::Closed;
  if (shortMessageBytes(message) == 0) return SendResult::NotShort;
  switch (paced_.queue().push(message)) {
    case OutputQueue::PushResult::Queued:
      wakeAll();
      return SendResult::Queued;
    case OutputQueue::PushResult::Aborted:
      return gone() ? SendResult::Gone : SendResult::Closed;
    case OutputQueue::PushResult::Full:
      break;
  }
  return SendResult::Full;
}

void PacedSender::close(std::function<void()> afterLast) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    afterLast_ = std::move(afterLast);
    closed_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
}

bool PacedSender::reopen() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (finished_ || stop_.load() || gone()) return false;
  closed_.store(false, std::memory_order_release);
  afterLast_ = nullptr;
  return true;
}

bool PacedSender::unlessFinished(const std::function<void()>& change) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return false;
  change();
  return true;
}

bool PacedSender::finished() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

void PacedSender::portGone() {
  gone_.store(true, std::memory_order_release);
  abort_.store(true, std::memory_order_release);
  paced_.queue().abort();
  paced_.queue().discard();
  wakeAll();
}

void PacedSender::stop() {
  stop_.store(true, std::memory_order_release);
  abort_.store(true, std::memory_order_release);
  paced_.queue().abort();
  wakeAll();
  if (thread_.joinable()) thread_.join();
  paced_.queue().discard();
}

void PacedSender::run() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point origin = Clock::now();
  const auto seconds = [origin] { return std::chrono::duration<double>(Clock::now() - origin).count(); };
  const auto halted = [this] { return stop_.load() || abort_.load(); };
  OutputQueue& queue = paced_.queue();

  std::function<void()> afterLast;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return halted() || queue.size() > 0 || closed_.load(); });
      // Decided under the lock, so that a reopen() either comes before (and the sender goes
      // on) or finds it finished.
      if (halted() || (queue.size() == 0 && closed_.load())) {
        finished_ = true;
        if (!halted()) afterLast = std::move(afterLast_);
        break;
      }
    }
    // Waiting messages move into the ring here; the program's thread never waits for room.
    if (queue.overflowing()) queue.refill();
    std::uint32_t message = 0;
    int bytes = 0;
    double due = 0.0;
    if (!paced_.peek(seconds(), message, bytes, due)) continue;
    if (due > seconds()) {
      const auto at = origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due));
      std::unique_lock<std::mutex> lock(mutex_);
      if (wake_.wait_until(lock, at, halted)) continue;
    }
    if (sink_->put(message, abort_) == Delivery::Aborted) continue;
    // Sent, or failed for good (the port is going): either way this message is done.
    paced_.take(std::max(due, seconds()));
  }
  // Gone or stopped: nothing more goes out.
  if (halted()) queue.discard();
  if (afterLast) afterLast();
}

}  // namespace rotavox
