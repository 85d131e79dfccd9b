#include <gtest/gtest.h>

#include <poll.h>

#include <thread>
#include <vector>

#include "core/midi/MidiLink.h"
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

// A service that follows by the rules of the interface, and one that cannot.
struct Followed : NoMidiService {
  std::vector<std::string>& calls;
  bool gone = false;
  explicit Followed(std::vector<std::string>& c) : calls(c) {}
  bool systemGone() const override { return gone; }
  MidiResult followIn(int device, MidiReceiver&) override {
    calls.push_back("followIn " + std::to_string(device));
    return device == 1 ? 7 : kMidiOk;
  }
  void stopFollowing() override { calls.push_back("stopFollowing"); }
};

// The link follows one port at a time; a MIDI system replaced under it ends the following and
// tells the queue, as when the port goes. A service without input says why it cannot.
TEST(ReceiveQueue, TheLinkFollowsOnePortAtATimeAndEndsWithItsSystem) {
  std::vector<std::string> calls;
  Followed* first = nullptr;
  MidiServiceHolder holder([&]() -> std::unique_ptr<MidiService> {
    auto s = std::make_unique<Followed>(calls);
    if (!first) first = s.get();
    return s;
  });
  struct : MessagePresenter {
    MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override { return {}; }
  } boxes;
  MidiLink link(holder, boxes);
  ReceiveQueue q;
  EXPECT_EQ(link.follow(0, q), kMidiOk);
  EXPECT_EQ(link.follow(1, q), 7u);
  EXPECT_FALSE(link.following()) << "a refused port leaves nothing followed";
  link.stopFollowing();
  EXPECT_EQ(calls, (std::vector<std::string>{"followIn 0", "stopFollowing", "followIn 1"}));
  ASSERT_EQ(link.follow(0, q), kMidiOk);
  first->gone = true;
  link.chooseServiceAgainIfGone();
  EXPECT_FALSE(link.following());
  EXPECT_TRUE(q.gone());

  NoMidiService none;
  EXPECT_EQ(none.followErrorText(none.followIn(0, q)), NoMidiService::errorText(NoMidiService::kNoSystem));
  EXPECT_EQ(none.followErrorText(none.MidiService::followIn(0, q)),
            "Rotavox cannot receive MIDI through no MIDI system: following is not available.");
}

}  // namespace rotavox::receive_queue_test
