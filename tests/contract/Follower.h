#pragma once

// The program's side of following, for the tests: what the service hands over goes through the
// program's own receive queue, and every call the service makes that it should not have made
// (after stopFollowing() returned, or a message after the news that the port went away) is
// counted.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/midi/MidiService.h"
#include "platform/midi/ReceiveQueue.h"

namespace rotavox::contract {

class Follower final : public MidiReceiver {
 public:
  explicit Follower(std::size_t capacity = 1 << 15) : queue_(capacity) {}

  // ---- The service's receiving thread -------------------------------------------------------
  void received(std::uint32_t message, std::int64_t arrivalNanos) noexcept override {
    if (stopped_.load() || gone_.load() > 0) late_.fetch_add(1);
    queue_.received(message, arrivalNanos);
  }
  void sourceGone() noexcept override {
    if (stopped_.load()) late_.fetch_add(1);
    gone_.fetch_add(1);
    queue_.sourceGone();
  }

  // ---- The test's thread --------------------------------------------------------------------
  // Everything received so far, oldest first.
  const std::vector<ReceivedMessage>& arrivals() {
    queue_.take(taken_);
    return taken_;
  }
  std::vector<std::uint32_t> messages() {
    std::vector<std::uint32_t> out;
    for (const ReceivedMessage& m : arrivals()) out.push_back(m.message);
    return out;
  }
  // Waits until `done` holds for the messages received; false when the limit passed first.
  template <class Done>
  bool waitUntil(Done done, std::chrono::steady_clock::duration limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done(messages())) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  bool waitFor(std::size_t n, std::chrono::steady_clock::duration limit) {
    return waitUntil([n](const std::vector<std::uint32_t>& got) { return got.size() >= n; }, limit);
  }
  bool waitForGone(std::chrono::steady_clock::duration limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (gone_.load() == 0) {
      if (std::chrono::steady_clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  // From now on the service must not call this receiver (stopFollowing() has returned).
  void stopped() { stopped_ = true; }

  int goneCount() const { return gone_.load(); }
  // Calls after stopFollowing() returned, and messages after the news of a gone port.
  int lateCalls() const { return late_.load(); }

 private:
  ReceiveQueue queue_;
  std::vector<ReceivedMessage> taken_;
  std::atomic<bool> stopped_{false};
  std::atomic<int> gone_{0};
  std::atomic<int> late_{0};
};

}  // namespace rotavox::contract
