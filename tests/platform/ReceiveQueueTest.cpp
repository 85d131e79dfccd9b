#include <gtest/gtest.h>

#include <poll.h>

#include <thread>
#include <vector>

#include "platform/midi/NoMidiService.h"
#include "platform/midi/ReceiveQueue.h"

namespace rotavox::receive_queue_test {

bool readable(const ReceiveQueue& q, int timeoutMs = 0) {
  pollfd p{q.wakeFd(), POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) == 1;
}

TEST(ReceiveQueue, TheWakeUpTurnsReadableForAMessageOrAVanishedPortAndClearsWhenTaken) {
  ReceiveQueue q;
  ASSERT_TRUE(q.valid());
  q.received(0x0000F8, 1);
  EXPECT_FALSE(readable(q)) << "a clock tick wakes nobody";
  q.received(0x6445B0, 3);
  EXPECT_TRUE(readable(q));
  std::vector<ReceivedMessage> out;
  EXPECT_EQ(q.take(out), 1u);
  EXPECT_EQ(out.front().arrivalNanos, 3);
  EXPECT_FALSE(readable(q));
  q.sourceGone();
  EXPECT_TRUE(readable(q));
  EXPECT_TRUE(q.gone());
}

// A receiving thread against the program's thread asleep in poll() as its event loop is: a
// missed wake-up would time out; a torn cell would pair a message with another's time; what
// is taken comes in order, and taken plus lost is all that was pushed.
TEST(ReceiveQueue, AReceivingThreadNeverTearsAMessageNorLeavesOneUnannounced) {
  constexpr std::uint32_t kCount = 200000;
  ReceiveQueue q(64);
  std::thread backend([&] {
    for (std::uint32_t i = 0; i < kCount; ++i) q.received(0xB0u | (i << 8), std::int64_t{i} * 7);
  });
  std::vector<ReceivedMessage> out;
  while (out.size() + q.lost() < kCount) {
    ASSERT_TRUE(readable(q, 2000)) << "no wake-up after " << out.size() << " messages";
    q.take(out);
  }
  backend.join();
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::uint32_t n = out[i].message >> 8;
    ASSERT_EQ(out[i].arrivalNanos, std::int64_t{n} * 7);
    ASSERT_TRUE(i == 0 || n > out[i - 1].message >> 8);
  }
  EXPECT_EQ(out.back().message >> 8, kCount - 1) << "the last message always arrives";
}

// Without input a service says why: the one without a MIDI system with its own text, any other
// with the interface's.
TEST(ReceiveQueue, ServicesWithoutInputRefuseToFollowWithAText) {
  NoMidiService none;
  ReceiveQueue q;
  EXPECT_EQ(none.followErrorText(none.followIn(0, q)), NoMidiService::errorText(NoMidiService::kNoSystem));
  EXPECT_EQ(none.followErrorText(none.MidiService::followIn(0, q)),
            "Rotavox cannot receive MIDI through no MIDI system: following is not available.");
}

}  // namespace rotavox::receive_queue_test
