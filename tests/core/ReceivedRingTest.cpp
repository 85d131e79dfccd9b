#include <gtest/gtest.h>

#include <vector>

#include "core/midi/ReceivedRing.h"

namespace rotavox::received_ring_test {

std::vector<std::uint32_t> take(ReceivedRing& ring) {
  std::vector<ReceivedMessage> taken;
  ring.take(taken);
  std::vector<std::uint32_t> out;
  for (const ReceivedMessage& m : taken) out.push_back(m.message);
  return out;
}

// Channel messages enter and the first of a batch wakes the consumer; SysEx and the system
// messages (clock, active sensing, start, song position ...) are counted at the door, wake
// nobody and never take a cell.
TEST(ReceivedRing, LetsInChannelMessagesAndWakesOncePerBatch) {
  const struct {
    std::uint32_t message;
    bool enters;
  } cases[] = {{0x644590, true}, {0x644580, true}, {0x0005C0, true},   {0x4000EF, true},   {0x0000F0, false},
               {0x0000F7, false}, {0x0000F8, false}, {0x0000FE, false}, {0x0102F2, false}, {0x000045, false}};
  ReceivedRing ring(16);
  std::vector<std::uint32_t> entering;
  for (const auto& c : cases) {
    EXPECT_EQ(ring.push(c.message, 0), c.enters && entering.empty()) << std::hex << c.message;
    if (c.enters) entering.push_back(c.message);
  }
  EXPECT_EQ(take(ring), entering);
  EXPECT_EQ(ring.ignored(), 6u);
  EXPECT_TRUE(take(ring).empty());
  EXPECT_TRUE(ring.push(0x6745B0, 0)) << "looking at the ring, even an empty one, arms the wake-up again";
}

// A full ring keeps the newest: the last value of each control survives a flood.
TEST(ReceivedRing, AFullRingLosesTheOldestAndCountsThem) {
  ReceivedRing ring(5);
  ASSERT_EQ(ring.capacity(), 8u);
  for (std::uint32_t i = 0; i < 20; ++i) ring.push(0xB0u | (i << 8), 0);
  std::vector<std::uint32_t> newest;
  for (std::uint32_t i = 12; i < 20; ++i) newest.push_back(0xB0u | (i << 8));
  EXPECT_EQ(take(ring), newest);
  EXPECT_EQ(ring.lost(), 12u);
}

}  // namespace rotavox::received_ring_test
