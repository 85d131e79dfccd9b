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

TEST(OutputQueue, HoldsTheWholeDefaultCapacityWithoutWaiting) {
  OutputQueue q;
  EXPECT_GE(q.capacity(), 8192u);
  const auto start = std::chrono::steady_clock::now();
  fill(q, q.capacity());
  EXPECT_EQ(q.size(), q.capacity());
  // With no consumer the next push can only give up; the stall limit says how soon.
  EXPECT_EQ(q.push(1, 20ms), Push::Stalled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  const std::vector<std::uint32_t> got = drain(q);
  ASSERT_EQ(got.size(), q.capacity());
  for (std::uint32_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], i);
}

TEST(OutputQueue, FullQueueWaitsUntilTheConsumerMakesRoom) {
  OutputQueue q(8);
  fill(q, 8);
  auto pushed = std::async(std::launch::async, [&] { return q.push(100, 10s); });
  EXPECT_EQ(pushed.wait_for(50ms), std::future_status::timeout) << "the producer must wait while the queue is full";
  std::uint32_t m = 0;
  ASSERT_TRUE(q.front(m));
  ASSERT_TRUE(q.pop());
  ASSERT_EQ(pushed.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(pushed.get(), Push::Queued);
  const std::vector<std::uint32_t> got = drain(q);
  ASSERT_EQ(got.size(), 8u);
  EXPECT_EQ(got.front(), 1u);
  EXPECT_EQ(got.back(), 100u);
}

// A slow consumer (one message every few milliseconds) keeps the producer going: only a
// consumer that takes nothing at all for the stall limit makes it give up.
TEST(OutputQueue, SlowConsumerIsNotTakenForAStall) {
  OutputQueue q(4);
  std::atomic<bool> stop{false};
  std::vector<std::uint32_t> got;
  std::thread consumer([&] {
    std::uint32_t m = 0;
    while (!stop.load()) {
      if (q.front(m) && q.pop()) got.push_back(m);
      std::this_thread::sleep_for(3ms);
    }
  });
  for (std::uint32_t i = 0; i < 40; ++i) ASSERT_EQ(q.push(i, 100ms), Push::Queued);
  while (q.size() > 0) std::this_thread::sleep_for(1ms);
  stop = true;
  consumer.join();
  ASSERT_EQ(got.size(), 40u);
  for (std::uint32_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], i);
}

TEST(OutputQueue, AfterAStallLaterPushesFailAtOnceUntilTheConsumerMoves) {
  OutputQueue q(2);
  fill(q, 2);
  EXPECT_EQ(q.push(7, 20ms), Push::Stalled);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(q.push(8, 10s), Push::Stalled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "a second wait on a frozen consumer";
  std::uint32_t m = 0;
  ASSERT_TRUE(q.front(m));
  ASSERT_TRUE(q.pop());
  EXPECT_EQ(q.push(9, 20ms), Push::Queued);
}

struct AbortCase {
  const char* name;
  bool shared;
};
void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.name; }

class OutputQueueAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(OutputQueueAbort, ReleasesTheWaitingProducerAndLaterPushesFailFast) {
  std::atomic<bool> systemGone{false};
  OutputQueue q(4, &systemGone);
  fill(q, 4);
  auto pushed = std::async(std::launch::async, [&] { return q.push(5, 60s); });
  ASSERT_EQ(pushed.wait_for(50ms), std::future_status::timeout);
  if (GetParam().shared)
    systemGone = true;
  else
    q.abort();
  ASSERT_EQ(pushed.wait_for(5s), std::future_status::ready) << "abort did not release the producer";
  EXPECT_EQ(pushed.get(), Push::Aborted);
  EXPECT_TRUE(q.aborted());
  q.discard();
  EXPECT_EQ(q.push(6, 60s), Push::Aborted);
  EXPECT_EQ(q.size(), 0u);
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
    while (!done.load() || q.size() > 0)
      if (q.front(m) && q.pop()) got.push_back(m);
  });
  std::thread discarder([&] {
    while (!done.load()) {
      q.discard();
      std::this_thread::sleep_for(100us);
    }
  });
  for (std::uint32_t i = 1; i <= kCount; ++i) ASSERT_EQ(q.push(i, 10s), Push::Queued);
  done = true;
  discarder.join();
  consumer.join();
  ASSERT_FALSE(got.empty());
  for (std::size_t i = 1; i < got.size(); ++i) ASSERT_LT(got[i - 1], got[i]) << "at " << i;
  EXPECT_LE(got.back(), kCount);
}

}  // namespace
}  // namespace rotavox

namespace rotavox {
namespace {

TEST(OutputQueueDrain, WaitsForTheConsumerButNotPastAbortOrLimit) {
  OutputQueue q(64);
  EXPECT_TRUE(q.drain(0ms)) << "an empty queue is drained at once";

  fill(q, 20);
  std::thread consumer([&] {
    std::uint32_t m = 0;
    for (int taken = 0; taken < 20;) {
      std::this_thread::sleep_for(1ms);
      if (q.front(m) && q.pop()) ++taken;
    }
  });
  EXPECT_TRUE(q.drain(5s));
  EXPECT_EQ(q.size(), 0u);
  consumer.join();

  fill(q, 3);
  EXPECT_FALSE(q.drain(20ms)) << "nobody takes: the limit ends the wait";
  EXPECT_EQ(q.size(), 3u);
  q.abort();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(q.drain(10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "an aborted queue must not be waited for";
}

}  // namespace
}  // namespace rotavox

namespace rotavox {
namespace {

TEST(OutputQueueDrain, CloseWaitsForTheWireTimeOfWhatIsQueuedPlusTwoSeconds) {
  const std::pair<std::size_t, long long> cases[] = {
      {0, 2000},       // nothing queued: only the margin
      {2032, 3951},    // a Panic sweep: 6096 bytes at 3125 bytes a second
      {16384, 17729},  // a full queue
  };
  for (const auto& [queued, ms] : cases) EXPECT_EQ(closeDrainLimit(queued).count(), ms) << queued;
}

}  // namespace
}  // namespace rotavox
