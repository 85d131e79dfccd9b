#include "platform/midi/ReceiverSlot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace rotavox::receiver_slot_test {

// Records what reaches it, and every call that came when it should not have: after the
// program took it away (`away`), or after the news that the port went away.
class Watchful : public MidiReceiver {
 public:
  void received(std::uint32_t, std::int64_t) noexcept override {
    // A hand-over that takes a while, as one preempted on a busy machine does; one that was
    // still under way when the receiver was taken away or told shows at its end.
    for (int i = 0; i < 200; ++i) spin.fetch_add(1, std::memory_order_relaxed);
    if (away.load() || told.load() > 0) late.fetch_add(1);
    messages.fetch_add(1);
  }
  void sourceGone() noexcept override {
    if (away.load()) late.fetch_add(1);
    told.fetch_add(1);
  }

  std::atomic<bool> away{false};
  std::atomic<int> told{0};
  std::atomic<int> late{0};
  std::atomic<long> messages{0};
  std::atomic<long> spin{0};
};

// The receiving thread hands over without pause while the program's thread takes the receiver
// away, again and again: once detach() has returned, not one call reaches it.
TEST(ReceiverSlot, NothingReachesTheReceiverOnceDetachHasReturned) {
  ReceiverSlot slot;
  std::atomic<bool> done{false};
  std::thread receiving([&] {
    while (!done.load()) slot.deliver(0x6445B0, 0);
  });
  long reached = 0;
  for (int round = 0; round < 300; ++round) {
    Watchful receiver;
    slot.attach(receiver);
    while (receiver.messages.load() < 3) std::this_thread::yield();
    slot.detach();
    receiver.away = true;
    for (int i = 0; i < 50; ++i) std::this_thread::yield();
    reached += receiver.messages.load();
    if (receiver.late.load() != 0) {
      ADD_FAILURE() << "a message reached the receiver after detach() returned, round " << round;
      break;
    }
  }
  done = true;
  receiving.join();
  EXPECT_GT(reached, 0);
}

// Two threads report the port gone while a third hands messages over: the receiver hears it
// once, and no message comes beside or after the news.
TEST(ReceiverSlot, TheNewsOfAGonePortComesOnceAndNothingAfterIt) {
  for (int round = 0; round < 200; ++round) {
    ReceiverSlot slot;
    Watchful receiver;
    slot.attach(receiver);
    std::atomic<bool> go{false};
    std::atomic<int> reported{0};
    std::thread receiving([&] {
      while (slot.deliver(0x6445B0, 0)) go = true;
    });
    while (!go.load()) std::this_thread::yield();
    std::thread a([&] { reported += slot.reportGone(); });
    std::thread b([&] { reported += slot.reportGone(); });
    a.join();
    b.join();
    receiving.join();
    slot.detach();
    ASSERT_EQ(receiver.told.load(), 1) << "round " << round;
    ASSERT_EQ(reported.load(), 1);
    ASSERT_EQ(receiver.late.load(), 0) << "a message came with or after the news, round " << round;
  }
}

}  // namespace rotavox::receiver_slot_test
