#include <gtest/gtest.h>

#include <poll.h>

#include <thread>
#include <vector>

#include "platform/midi/NoMidiService.h"
#include "platform/midi/ReceiveQueue.h"

namespace rotavox::receive_queue_test {

bool readable(const ReceiveQueue& q, int timeoutMs = 0) {
  pollfd p{q.wakeFd(), POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
}

TEST(ReceiveQueue, TheWakeUpTurnsReadableWhenAChannelMessageCameAndClearsWhenTaken) {
  ReceiveQueue q;
  ASSERT_TRUE(q.valid());
  EXPECT_FALSE(readable(q));
  q.received(0x0000F8, 1);
  q.received(0x0000FE, 2);
  EXPECT_FALSE(readable(q)) << "clock and active sensing wake nobody";
  q.received(0x6445B0, 3);
  EXPECT_TRUE(readable(q));
  std::vector<ReceivedMessage> out;
  EXPECT_EQ(q.take(out), 1u);
  EXPECT_EQ(out.front().message, 0x6445B0u);
  EXPECT_EQ(out.front().arrivalNanos, 3);
  EXPECT_FALSE(readable(q));
  EXPECT_EQ(q.ignored(), 2u);
  EXPECT_FALSE(q.gone());
}

TEST(ReceiveQueue, AVanishedSourceWakesTheProgram) {
  ReceiveQueue q;
  q.sourceGone();
  EXPECT_TRUE(readable(q));
  EXPECT_TRUE(q.gone());
}

// The program sleeps in poll() until woken, as its event loop does: a missed wake-up would
// leave messages waiting and the poll would time out.
TEST(ReceiveQueue, NoBatchWaitsForAWakeUpThatNeverComes) {
  constexpr std::uint32_t kCount = 20000;
  ReceiveQueue q(128);
  std::thread producer([&] {
    for (std::uint32_t i = 0; i < kCount; ++i) {
      q.received(0xB0u | (i << 8), receiveClockNow());
      if (i % 97 == 0) std::this_thread::yield();
    }
  });
  std::vector<ReceivedMessage> out;
  std::uint64_t seen = 0;
  while (seen + q.lost() < kCount) {
    ASSERT_TRUE(readable(q, 2000)) << "no wake-up after " << seen << " messages";
    seen += q.take(out);
  }
  producer.join();
  EXPECT_EQ(out.back().message, 0xB0u | ((kCount - 1) << 8));
}

// A service without input says why it cannot follow: the one without a MIDI system with its
// own text, any other that cannot receive with the interface's.
TEST(ReceiveQueue, ServicesWithoutInputRefuseToFollowWithAText) {
  NoMidiService none;
  ReceiveQueue q;
  const MidiResult noSystem = none.followIn(0, q);
  EXPECT_EQ(noSystem, NoMidiService::kNoSystem);
  EXPECT_EQ(none.followErrorText(noSystem), NoMidiService::errorText(NoMidiService::kNoSystem));
  EXPECT_EQ(none.MidiService::followIn(0, q), kMidiCannotFollow);
  EXPECT_EQ(none.followErrorText(kMidiCannotFollow),
            "Rotavox cannot receive MIDI through no MIDI system: following is not available.");
}

}  // namespace rotavox::receive_queue_test
