// The backend-neutral sender thread: what closing, opening again and a MIDI system that takes
// nothing mean for the messages, whatever system is behind the sink.

#include "platform/midi/PacedSender.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <random>
#include <vector>

#include "core/midi/Messages.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using Send = PacedSender::SendResult;

// A MIDI system that takes every message, or none while frozen.
class RecordingSink : public MessageSink {
 public:
  explicit RecordingSink(std::atomic<bool>* frozen = nullptr) : frozen_(frozen) {}
  Delivery put(std::uint32_t message, const std::atomic<bool>& abort) override {
    putting = true;
    while (frozen_ != nullptr && frozen_->load()) {
      if (abort.load()) return Delivery::Aborted;
      std::this_thread::sleep_for(1ms);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    got_.push_back(message);
    return Delivery::Sent;
  }
  std::vector<std::uint32_t> got() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return got_;
  }
  std::atomic<bool> putting{false};  // a message was handed to the sink

 private:
  std::atomic<bool>* frozen_;
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> got_;
};

struct Sender {
  explicit Sender(std::size_t capacity = OutputQueue::kDefaultCapacity, std::atomic<bool>* frozen = nullptr) {
    auto owned = std::make_unique<RecordingSink>(frozen);
    sink = owned.get();
    sender = std::make_unique<PacedSender>(std::move(owned), capacity);
  }
  bool finishes(std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!sender->finished()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }
  RecordingSink* sink = nullptr;
  std::unique_ptr<PacedSender> sender;
};

std::vector<std::uint32_t> controlChanges(int count, int first = 0) {
  std::vector<std::uint32_t> out;
  for (int i = first; i < first + count; ++i) out.push_back(controlChange(i % 16, i % 120, (i / 120) % 128));
  return out;
}

TEST(PacedSenderClose, WhatIsQueuedStillGoesOutThenTheThreadEnds) {
  Sender s;
  const std::vector<std::uint32_t> queued = controlChanges(600);  // a quarter second beyond the burst
  for (std::uint32_t m : queued) ASSERT_EQ(s.sender->send(m), Send::Queued);
  s.sender->close();
  EXPECT_EQ(s.sender->send(controlChange(0, 1, 2)), Send::Closed);
  EXPECT_GT(s.sender->pending(), 0u) << "closing waited for the wire";
  ASSERT_TRUE(s.finishes(10s));
  EXPECT_EQ(s.sender->pending(), 0u);
  EXPECT_EQ(s.sink->got(), queued);
  EXPECT_FALSE(s.sender->reopen()) << "a finished sender took up an opening";
}

TEST(PacedSenderClose, OpeningAgainBeforeTheEndSendsBehindWhatIsLeft) {
  Sender s;
  const std::vector<std::uint32_t> before = controlChanges(600);
  const std::vector<std::uint32_t> after = controlChanges(100, 1000);
  for (std::uint32_t m : before) ASSERT_EQ(s.sender->send(m), Send::Queued);
  s.sender->close();
  ASSERT_TRUE(s.sender->reopen()) << "600 messages take a quarter of a second beyond the burst";
  for (std::uint32_t m : after) ASSERT_EQ(s.sender->send(m), Send::Queued);
  s.sender->close();
  ASSERT_TRUE(s.finishes(10s));
  std::vector<std::uint32_t> expected = before;
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(s.sink->got(), expected);
}

// Close and open again in every phase of the sender's work: whenever an opening is taken up,
// its messages come after all earlier ones; whenever it is refused, everything earlier has gone
// out. Nothing is lost or sent twice either way.
TEST(PacedSenderClose, OpeningAgainRacesTheEndWithoutLossOrRepeat) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    Sender s;
    std::vector<std::uint32_t> expected;
    int next = 0;
    for (int reopened = 0;; ++reopened) {
      const std::vector<std::uint32_t> batch = controlChanges(static_cast<int>(random() % 4), next);
      next += 4;
      for (std::uint32_t m : batch) ASSERT_EQ(s.sender->send(m), Send::Queued);
      expected.insert(expected.end(), batch.begin(), batch.end());
      s.sender->close();
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
      if (reopened == 5 || !s.sender->reopen()) break;
    }
    ASSERT_TRUE(s.finishes(10s)) << "round " << round;
    ASSERT_EQ(s.sink->got(), expected) << "round " << round;
  }
}

// A MIDI system that takes nothing: the sender never waits for room, keeps everything in
// order, and a port that goes away takes it all and ends the thread.
TEST(PacedSenderFrozen, SendsNeverWaitAndNothingIsLostOnceTheSystemGoesOn) {
  std::atomic<bool> frozen{true};
  Sender s(64, &frozen);
  const std::vector<std::uint32_t> flood = controlChanges(1000);  // far beyond the ring

  auto sending = std::async(std::launch::async, [&] {
    for (std::uint32_t m : flood)
      if (s.sender->send(m) != Send::Queued) return false;
    return true;
  });
  ASSERT_EQ(sending.wait_for(10s), std::future_status::ready) << "a send waited for room";
  EXPECT_TRUE(sending.get());
  EXPECT_EQ(s.sender->pending(), flood.size());
  frozen = false;
  s.sender->close();
  ASSERT_TRUE(s.finishes(60s));
  EXPECT_EQ(s.sink->got(), flood);
}

TEST(PacedSenderFrozen, APortGoneTakesTheQueueAndEndsTheThread) {
  std::atomic<bool> frozen{true};
  Sender s(64, &frozen);
  for (std::uint32_t m : controlChanges(500)) ASSERT_EQ(s.sender->send(m), Send::Queued);
  s.sender->portGone();
  ASSERT_TRUE(s.finishes(10s));
  EXPECT_EQ(s.sender->pending(), 0u);
  EXPECT_EQ(s.sender->send(controlChange(0, 1, 1)), Send::Gone);
  EXPECT_FALSE(s.sender->reopen());
  EXPECT_TRUE(s.sink->got().empty());
}

// What runs after the last message (the ALSA service lets go of the port there): once, after
// everything went out, and never for an output taken up again, gone or stopped.
TEST(PacedSenderClose, AfterTheLastMessageRunsOnceWhenEverythingWentOut) {
  struct Case {
    const char* what;
    std::function<void(PacedSender&, std::atomic<bool>& frozen)> after;  // after close(afterLast)
    bool runs;
  };
  const Case cases[] = {
      {"closed", [](PacedSender&, std::atomic<bool>& frozen) { frozen = false; }, true},
      {"taken up again", [](PacedSender& p, std::atomic<bool>& frozen) {
         EXPECT_TRUE(p.reopen());
         frozen = false;
         p.close();
       }, false},
      {"port gone", [](PacedSender& p, std::atomic<bool>&) { p.portGone(); }, false},
      {"stopped", [](PacedSender& p, std::atomic<bool>&) { p.stop(); }, false},
  };
  for (const Case& c : cases) {
    std::atomic<bool> frozen{true};
    Sender s(OutputQueue::kDefaultCapacity, &frozen);
    const std::vector<std::uint32_t> queued = controlChanges(20);
    for (std::uint32_t m : queued) ASSERT_EQ(s.sender->send(m), Send::Queued);
    std::atomic<int> runs{0};
    std::size_t sentBefore = 0;
    s.sender->close([&] {
      sentBefore = s.sink->got().size();
      ++runs;
    });
    c.after(*s.sender, frozen);
    if (c.runs) {
      ASSERT_TRUE(s.finishes(10s)) << c.what;
      s.sender->stop();
      EXPECT_EQ(runs.load(), 1) << c.what;
      EXPECT_EQ(sentBefore, queued.size()) << c.what << ": it ran before the last message";
    } else {
      ASSERT_TRUE(s.finishes(10s) || !c.runs) << c.what;
      s.sender->stop();
      EXPECT_EQ(runs.load(), 0) << c.what;
    }
  }
}

TEST(PacedSenderClose, AChangeWhileSendingKeepsTheSenderFromFinishingMeanwhile) {
  std::atomic<bool> frozen{true};
  Sender s(OutputQueue::kDefaultCapacity, &frozen);
  ASSERT_EQ(s.sender->send(controlChange(0, 1, 1)), Send::Queued);
  std::atomic<bool> letGo{false};
  s.sender->close([&] { letGo = true; });
  while (!s.sink->putting.load()) std::this_thread::sleep_for(1ms);
  // The last message goes out while the change runs; the sender may not finish before it ends.
  bool letGoDuringChange = true;
  bool wentOut = false;
  EXPECT_TRUE(s.sender->unlessFinished([&] {
    frozen = false;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (s.sink->got().empty() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    wentOut = !s.sink->got().empty();
    std::this_thread::sleep_for(50ms);
    letGoDuringChange = letGo.load();
  }));
  EXPECT_TRUE(wentOut);
  EXPECT_FALSE(letGoDuringChange) << "the sender finished while the change ran";
  ASSERT_TRUE(s.finishes(10s));
  s.sender->stop();
  EXPECT_TRUE(letGo.load());
  bool ran = false;
  EXPECT_FALSE(s.sender->unlessFinished([&] { ran = true; }));
  EXPECT_FALSE(ran);
}

TEST(PacedSenderMessages, OnlyShortMessagesAreQueued) {
  Sender s;
  const std::pair<std::uint32_t, Send> cases[] = {
      {controlChange(3, 7, 100), Send::Queued},
      {0xF8, Send::Queued},  // a real-time message is a short message too
      {0x45, Send::NotShort},
      {0x8045B0, Send::NotShort},
      {0xF0, Send::NotShort},
  };
  for (const auto& [message, result] : cases) EXPECT_EQ(s.sender->send(message), result) << std::hex << message;
  s.sender->close();
  ASSERT_TRUE(s.finishes(10s));
  EXPECT_EQ(s.sink->got(), (std::vector<std::uint32_t>{controlChange(3, 7, 100), 0xF8}));
}

}  // namespace
}  // namespace rotavox
