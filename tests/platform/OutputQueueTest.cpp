#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/midi/OutputQueue.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using Push = OutputQueue::PushResult;

std::vector<std::uint32_t> drain(OutputQueue& q) {
  std::vector<std::uint32_t> out;
  std::uint32_t m = 0;
  while (q.front(m))
    if (q.pop()) out.push_back(m);
  return out;
}

void fill(OutputQueue& q, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(q.push(static_cast<std::uint32_t>(i)), Push::Queued);
}

TEST(OutputQueue, KeepsTheOrderOverManyWrapArounds) {
  OutputQueue q(64);
  std::vector<std::uint32_t> got;
  std::uint32_t next = 0;
  for (int round = 0; round < 100; ++round) {
    for (int i = 0; i < 50; ++i) ASSERT_EQ(q.push(next++), Push::Queued);
    for (std::uint32_t m : drain(q)) got.push_back(m);
  }
  ASSERT_EQ(got.size(), 5000u);
  for (std::uint32_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], i);
}

TEST(OutputQueue, FrontLeavesTheMessageUntilPopped) {
  OutputQueue q(4);
  std::uint32_t m = 0;
  EXPECT_FALSE(q.front(m));
  q.push(0x6445B0);
  q.push(0x7F3C99);
  ASSERT_TRUE(q.front(m));
  EXPECT_EQ(m, 0x6445B0u);
  ASSERT_TRUE(q.front(m));  // looking again takes nothing
  EXPECT_EQ(m, 0x6445B0u);
  EXPECT_TRUE(q.pop());
  ASSERT_TRUE(q.front(m));
  EXPECT_EQ(m, 0x7F3C99u);
  EXPECT_EQ(q.size(), 1u);
}





struct AbortCase {
  const char* name;
  bool shared;
};
void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.name; }

class OutputQueueAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(OutputQueueAbort, LaterPushesFailAndDiscardEmptiesRingAndOverflow) {
  std::atomic<bool> systemGone{false};
  OutputQueue q(4, &systemGone);
  fill(q, 10);  // 4 in the ring, 6 waiting
  if (GetParam().shared)
    systemGone = true;
  else
    q.abort();
  EXPECT_TRUE(q.aborted());
  EXPECT_EQ(q.push(6), Push::Aborted);
  EXPECT_EQ(q.size(), 10u) << "an abort alone drops nothing";
  q.discard();
  EXPECT_EQ(q.size(), 0u);
  EXPECT_FALSE(q.overflowing());
  EXPECT_TRUE(drain(q).empty());
}

INSTANTIATE_TEST_SUITE_P(OutputQueue, OutputQueueAbort,
                         ::testing::Values(AbortCase{"OwnAbort", false}, AbortCase{"SharedFlag", true}),
                         [](const ::testing::TestParamInfo<AbortCase>& info) { return info.param.name; });

TEST(OutputQueue, DiscardDropsEverythingQueuedSoFar) {
  OutputQueue q(16);
  fill(q, 10);
  std::uint32_t m = 0;
  ASSERT_TRUE(q.front(m));
  q.discard();
  EXPECT_EQ(q.size(), 0u);
  EXPECT_FALSE(q.pop()) << "a message looked at before the discard must not be taken";
  EXPECT_FALSE(q.front(m));
  ASSERT_EQ(q.push(42), Push::Queued);
  EXPECT_EQ(drain(q), std::vector<std::uint32_t>{42});
}

// Producer, consumer and discards from a third thread at once: the consumer sees every
// message at most once and in rising order, and nothing after the producer's last push.
TEST(OutputQueue, DiscardRacingTheConsumerKeepsTheOrder) {
  OutputQueue q(256);
  constexpr std::uint32_t kCount = 200000;
  std::atomic<bool> done{false};
  std::vector<std::uint32_t> got;
  got.reserve(kCount);
  std::thread consumer([&] {
    std::uint32_t m = 0;
    while (!done.load() || q.size() > 0) {
      if (q.front(m) && q.pop()) got.push_back(m);
      if (q.overflowing()) q.refill();
    }
  });
  std::thread discarder([&] {
    while (!done.load()) {
      q.discard();
      std::this_thread::sleep_for(100us);
    }
  });
  for (std::uint32_t i = 1; i <= kCount; ++i) ASSERT_EQ(q.push(i), Push::Queued);
  done = true;
  discarder.join();
  consumer.join();
  ASSERT_FALSE(got.empty());
  for (std::size_t i = 1; i < got.size(); ++i) ASSERT_LT(got[i - 1], got[i]) << "at " << i;
  EXPECT_LE(got.back(), kCount);
}

// ---- Beyond the ring ------------------------------------------------------------------------

TEST(OutputQueueOverflow, MoreThanTheRingHoldsIsQueuedAtOnceAndKeepsItsOrder) {
  OutputQueue q(8);
  fill(q, 100);  // no consumer at all: nothing may wait for room
  EXPECT_EQ(q.size(), 100u);
  EXPECT_TRUE(q.overflowing());
  std::vector<std::uint32_t> got = drain(q);
  EXPECT_EQ(got.size(), 8u) << "the consumer sees the ring only";
  while (!q.refill() || q.size() > 0)
    for (std::uint32_t m : drain(q)) got.push_back(m);
  ASSERT_EQ(got.size(), 100u);
  for (std::uint32_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], i);
  EXPECT_FALSE(q.overflowing());
}

TEST(OutputQueueOverflow, APushBehindWaitingMessagesNeverOvertakesThem) {
  OutputQueue q(4);
  fill(q, 6);  // 0..3 in the ring, 4 and 5 waiting
  std::uint32_t m = 0;
  ASSERT_TRUE(q.front(m) && q.pop());
  ASSERT_TRUE(q.front(m) && q.pop());
  // Room in the ring again: the next push must first move the waiting ones in.
  ASSERT_EQ(q.push(100), Push::Queued);
  EXPECT_EQ(drain(q), (std::vector<std::uint32_t>{2, 3, 4, 5}));
  q.refill();
  EXPECT_EQ(drain(q), (std::vector<std::uint32_t>{100}));
}

TEST(OutputQueueOverflow, FullOnlyPastTheOverflowLimit) {
  OutputQueue q(4, nullptr, 10);
  fill(q, 14);
  EXPECT_EQ(q.push(14), Push::Full);
  EXPECT_EQ(q.size(), 14u);
  std::uint32_t m = 0;
  ASSERT_TRUE(q.front(m) && q.pop());
  EXPECT_EQ(q.push(15), Push::Queued) << "room again once the consumer took one";
  EXPECT_GE(OutputQueue::kDefaultOverflowLimit, 1000000u);
}

// The program's thread sends, the real-time consumer takes from the ring, and a helper thread
// moves waiting messages in: every message arrives exactly once and in order.
TEST(OutputQueueOverflow, ProducerConsumerAndRefillerTogetherLoseAndRepeatNothing) {
  OutputQueue q(64);
  constexpr std::uint32_t kCount = 100000;
  std::atomic<bool> produced{false};
  std::vector<std::uint32_t> got;
  got.reserve(kCount);
  std::thread consumer([&] {
    std::uint32_t m = 0;
    while (got.size() < kCount)
      if (q.front(m) && q.pop()) got.push_back(m);
  });
  std::thread refiller([&] {
    while (!produced.load() || q.overflowing()) {
      q.refill();
      std::this_thread::sleep_for(50us);
    }
  });
  for (std::uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(q.push(i), Push::Queued);
  produced = true;
  refiller.join();
  consumer.join();
  ASSERT_EQ(got.size(), kCount);
  for (std::uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(got[i], i);
}

}  // namespace
}  // namespace rotavox
