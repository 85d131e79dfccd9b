#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/midi/ReceivedRing.h"

namespace rotavox::received_ring_test {

std::vector<std::uint32_t> messages(ReceivedRing& ring) {
  std::vector<ReceivedMessage> taken;
  ring.take(taken);
  std::vector<std::uint32_t> out;
  for (const ReceivedMessage& m : taken) out.push_back(m.message);
  return out;
}

// A Control Change 1 with the value n % 128 and n in the second data byte's upper bits: each
// message of a long run is told apart, and it still counts as a channel message.
std::uint32_t numbered(std::uint32_t n) { return 0xB0u | (n << 8); }

// Only channel messages enter; SysEx and the system messages are counted at the door.
TEST(ReceivedRing, LetsInChannelMessagesOnly) {
  const struct {
    std::uint32_t message;
    bool enters;
  } cases[] = {
      {0x644590, true},  {0x644580, true}, {0x6445B0, true}, {0x0005C0, true},  {0x0040D3, true},
      {0x4000EF, true},  {0x0000F0, false}, {0x0000F7, false}, {0x0000F8, false}, {0x0000FA, false},
      {0x0000FE, false}, {0x0000FF, false}, {0x000045, false}, {0x000000, false}, {0x0102F2, false},
  };
  ReceivedRing ring(16);
  std::vector<std::uint32_t> entering;
  std::uint64_t dropped = 0;
  for (const auto& c : cases) {
    ring.push(c.message, 0);
    if (c.enters)
      entering.push_back(c.message);
    else
      ++dropped;
  }
  EXPECT_EQ(messages(ring), entering);
  EXPECT_EQ(ring.ignored(), dropped);
  EXPECT_EQ(ring.lost(), 0u);
}

TEST(ReceivedRing, KeepsOrderAndArrivalOverManyRounds) {
  ReceivedRing ring(8);
  std::vector<ReceivedMessage> taken;
  std::uint32_t next = 0;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 7; ++i, ++next) ring.push(numbered(next), 1000 + next);
    ring.take(taken);
  }
  ASSERT_EQ(taken.size(), next);
  for (std::uint32_t i = 0; i < next; ++i) {
    ASSERT_EQ(taken[i].message, numbered(i));
    ASSERT_EQ(taken[i].arrivalNanos, 1000 + i);
  }
}

// A ring that fills up keeps the newest: the last value of each control survives a flood.
TEST(ReceivedRing, AFullRingLosesTheOldestAndCountsThem) {
  ReceivedRing ring(5);  // 8 cells
  ASSERT_EQ(ring.capacity(), 8u);
  for (std::uint32_t i = 0; i < 20; ++i) ring.push(numbered(i), 0);
  std::vector<std::uint32_t> last8;
  for (std::uint32_t i = 12; i < 20; ++i) last8.push_back(numbered(i));
  EXPECT_EQ(messages(ring), last8);
  EXPECT_EQ(ring.lost(), 12u);
  ring.push(numbered(20), 0);
  EXPECT_EQ(messages(ring), std::vector<std::uint32_t>{numbered(20)});
  EXPECT_EQ(ring.lost(), 12u);
}

// The consumer is woken by the first message after it looked, not by every message.
TEST(ReceivedRing, WakesTheConsumerOncePerBatch) {
  ReceivedRing ring(16);
  EXPECT_TRUE(ring.push(0x6445B0, 0));
  EXPECT_FALSE(ring.push(0x6545B0, 0));
  EXPECT_FALSE(ring.push(0x0000F8, 0)) << "a clock tick is no news";
  EXPECT_EQ(messages(ring).size(), 2u);
  EXPECT_FALSE(ring.push(0x0000FE, 0));
  EXPECT_TRUE(ring.push(0x6645B0, 0));
  EXPECT_EQ(messages(ring).size(), 1u);
  EXPECT_TRUE(messages(ring).empty());
  EXPECT_TRUE(ring.push(0x6745B0, 0)) << "looking at an empty ring arms it again";
}

// A producer thread against a consumer that takes at the same time: what is taken comes in
// the order pushed, nothing twice, and taken plus lost is everything pushed.
TEST(ReceivedRing, AProducerThreadAndAConsumerNeverTearAMessage) {
  constexpr std::uint32_t kCount = 300000;
  ReceivedRing ring(64);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (std::uint32_t i = 0; i < kCount; ++i) ring.push(numbered(i), static_cast<std::int64_t>(i) * 7);
    done = true;
  });
  std::vector<ReceivedMessage> taken;
  while (!done.load()) ring.take(taken);
  producer.join();
  ring.take(taken);
  ASSERT_FALSE(taken.empty());
  for (std::size_t i = 0; i < taken.size(); ++i) {
    const std::uint32_t n = taken[i].message >> 8;
    ASSERT_EQ(taken[i].message, numbered(n));
    ASSERT_EQ(taken[i].arrivalNanos, static_cast<std::int64_t>(n) * 7) << "message and time of one push";
    if (i > 0) {
      ASSERT_GT(n, taken[i - 1].message >> 8);
    }
  }
  EXPECT_EQ(taken.back().message, numbered(kCount - 1)) << "the last message always arrives";
  EXPECT_EQ(taken.size() + ring.lost(), kCount);
}

}  // namespace rotavox::received_ring_test
