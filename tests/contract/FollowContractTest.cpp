// What every MIDI service promises when the program follows a port, against a live MIDI system:
// what the port sends arrives in order, once, with its bytes; the program's own input port is
// there only while it follows; stopping stops delivery; a port that goes away is reported once;
// and a flood neither holds the sending program nor keeps the last message from arriving.

#include <future>

#include "contract/Follower.h"
#include "contract/MidiContract.h"

namespace rotavox::contract::follow_contract_test {

constexpr const char* kClient = "RotavoxContract";

std::int64_t nowNanos() { return receiveClockNow(); }

// Control Changes, each a value of its own, on controllers 20 to 99 of channel 0.
std::vector<std::uint32_t> numberedControlChanges(int count) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(controlChange(0, 20 + (i / 128) % 80, i % 128));
  return out;
}

// Where each received message stands among the sent ones: they must come in the order sent,
// none twice; a gap is a message lost to a full ring, which keeps the newest.
::testing::AssertionResult inOrderOnce(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& sent) {
  std::size_t next = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    while (next < sent.size() && sent[next] != got[i]) ++next;
    if (next == sent.size()) {
      char text[120];
      std::snprintf(text, sizeof text, "message %zu (0x%06X) of %zu was not sent, or came out of order or twice", i,
                    got[i], got.size());
      return ::testing::AssertionFailure() << text;
    }
    ++next;
  }
  return ::testing::AssertionSuccess();
}

TEST_P(MidiContract, AFollowedPortsMessagesArriveInOrderOnceWithTheirBytes) {
  auto synth = backend->instrument(0);
  const int device = inputOf(synth->sendPortName());
  ASSERT_GE(device, 0) << synth->sendPortName() << " is not in the input list";
  Follower follower;
  const MidiResult r = service->followIn(device, follower);
  ASSERT_EQ(r, kMidiOk) << service->followErrorText(r);

  // Every kind of channel message, of two and of three bytes, on several channels, and a run
  // long enough to span many of the system's cycles or reads.
  std::vector<std::uint32_t> sent = {
      controlChange(0, 74, 100), 0x0005C3, noteOn(1, 60, 100), 0x403C81, 0x1040A2, 0x0050D4, 0x7F7FE5,
      0x4000EF,                  controlChange(15, 7, 0),
  };
  const std::vector<std::uint32_t> run = numberedControlChanges(500);
  sent.insert(sent.end(), run.begin(), run.end());
  const std::int64_t before = nowNanos();
  ASSERT_TRUE(synth->send(sent));
  ASSERT_TRUE(follower.waitFor(sent.size(), 10s)) << "only " << follower.messages().size() << " arrived";
  std::this_thread::sleep_for(300ms);
  const std::int64_t after = nowNanos();
  EXPECT_EQ(firstDifference(follower.messages(), sent), "");
  const std::vector<ReceivedMessage>& arrivals = follower.arrivals();
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    ASSERT_GE(arrivals[i].arrivalNanos, i > 0 ? arrivals[i - 1].arrivalNanos : before - 50'000'000) << i;
    ASSERT_LE(arrivals[i].arrivalNanos, after) << i;
  }
  service->stopFollowing();
  follower.stopped();
  EXPECT_EQ(follower.goneCount(), 0);
  EXPECT_EQ(follower.lateCalls(), 0);
}

// Other programs see the program's input port only while it follows; a follow that fails
// leaves nothing behind and says why.
TEST_P(MidiContract, TheOwnInputPortIsThereOnlyWhileFollowing) {
  auto synth = backend->instrument(0);
  const std::vector<std::string> before = backend->portsOf(kClient);
  Follower follower;
  const int inputs = static_cast<int>(service->inDeviceCount());
  for (const int device : {-1, inputs, inputs + 5}) {
    const MidiResult r = service->followIn(device, follower);
    EXPECT_NE(r, kMidiOk) << "device " << device;
    EXPECT_FALSE(service->followErrorText(r).empty()) << "device " << device;
    EXPECT_EQ(backend->portsOf(kClient), before) << "a failed follow left a port, device " << device;
  }

  ASSERT_EQ(service->followIn(inputOf(synth->sendPortName()), follower), kMidiOk);
  const std::vector<std::string> during = backend->portsOf(kClient);
  EXPECT_EQ(during.size(), before.size() + 1) << "no input port of the program's own while following";
  // Following the same port again, as a second choice in the window would, still makes one.
  ASSERT_EQ(service->followIn(inputOf(synth->sendPortName()), follower), kMidiOk);
  EXPECT_EQ(backend->portsOf(kClient).size(), before.size() + 1);
  service->stopFollowing();
  follower.stopped();
  EXPECT_EQ(backend->portsOf(kClient), before) << "the input port outlived the follow";
  service->stopFollowing();  // nothing to stop
}

TEST_P(MidiContract, StoppingStopsDeliveryAndFollowingAgainResumesIt) {
  auto synth = backend->instrument(0);
  const int device = inputOf(synth->sendPortName());
  ASSERT_GE(device, 0);
  const std::vector<std::uint32_t> first = {controlChange(0, 1, 1), controlChange(0, 1, 2)};
  const std::vector<std::uint32_t> meanwhile = {controlChange(0, 1, 3)};
  const std::vector<std::uint32_t> again = {controlChange(0, 1, 4)};

  Follower a;
  ASSERT_EQ(service->followIn(device, a), kMidiOk);
  ASSERT_TRUE(synth->send(first));
  ASSERT_TRUE(a.waitFor(first.size(), 5s));
  service->stopFollowing();
  a.stopped();
  ASSERT_TRUE(synth->send(meanwhile));
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(a.lateCalls(), 0) << "the service called the receiver after stopFollowing() returned";
  EXPECT_EQ(a.messages(), first);

  Follower b;
  ASSERT_EQ(service->followIn(device, b), kMidiOk);
  ASSERT_TRUE(synth->send(again));
  ASSERT_TRUE(b.waitFor(again.size(), 5s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(b.messages(), again) << "what was sent while nothing was followed arrived later";
  service->stopFollowing();
}

// The followed program quits: the receiver hears of it once, nothing comes after, and stopping
// then leaves the port lists as they were.
TEST_P(MidiContract, AFollowedPortThatGoesAwayIsReportedOnce) {
  auto leaving = backend->instrument(1);
  const std::vector<std::string> before = backend->portsOf(kClient);
  Follower follower;
  ASSERT_EQ(service->followIn(inputOf(leaving->sendPortName()), follower), kMidiOk);
  ASSERT_TRUE(leaving->send({controlChange(3, 7, 99)}));
  ASSERT_TRUE(follower.waitFor(1, 5s));
  leaving->quit();
  ASSERT_TRUE(follower.waitForGone(5s)) << "the port's end was not reported";
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(follower.goneCount(), 1);
  auto stopping = std::async(std::launch::async, [&] { service->stopFollowing(); });
  ASSERT_EQ(stopping.wait_for(5s), std::future_status::ready) << "stopping after the port's end hangs";
  follower.stopped();
  EXPECT_EQ(follower.lateCalls(), 0);
  EXPECT_EQ(follower.messages(), std::vector<std::uint32_t>{controlChange(3, 7, 99)});
  EXPECT_EQ(backend->portsOf(kClient), before);
  leaving->startAgain();
}

// A program that sends far more than anyone reads: 10 000 Control Changes with MIDI clock and
// active sensing among them, or a SysEx of a megabyte. The sending program is never held, the
// system messages never arrive, what arrives comes in order and once, and the last Control
// Change always arrives, though the receiver's ring may have let older ones go.
TEST_P(MidiContract, AFloodNeverHoldsTheSenderAndItsLastControlChangeArrives) {
  const std::vector<std::uint32_t> controls = numberedControlChanges(10000);
  std::vector<std::uint32_t> withClock;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    withClock.push_back(controls[i]);
    if (i % 8 == 0) withClock.push_back(0xF8);
    if (i % 500 == 0) withClock.push_back(0xFE);
  }
  struct Flood {
    const char* what;
    std::size_t sysEx;
    std::vector<std::uint32_t> messages;
    std::vector<std::uint32_t> controls;
  };
  const std::vector<std::uint32_t> tail = numberedControlChanges(50);
  const Flood floods[] = {
      {"10 000 Control Changes with clock and active sensing", 0, withClock, controls},
      {"a SysEx of a megabyte, then Control Changes", 1 << 20, tail, tail},
  };
  auto synth = backend->instrument(1);
  const int device = inputOf(synth->sendPortName());
  ASSERT_GE(device, 0);
  for (const Flood& f : floods) {
    SCOPED_TRACE(f.what);
    Follower follower(ReceivedRing::kDefaultCapacity);
    ASSERT_EQ(service->followIn(device, follower), kMidiOk);
    auto sending = std::async(std::launch::async, [&] {
      return (f.sysEx == 0 || synth->sendSysEx(f.sysEx)) && synth->send(f.messages);
    });
    ASSERT_EQ(sending.wait_for(60s), std::future_status::ready) << "the sending program is held";
    EXPECT_TRUE(sending.get());
    const auto last = [&](const std::vector<std::uint32_t>& got) { return !got.empty() && got.back() == f.controls.back(); };
    EXPECT_TRUE(follower.waitUntil(last, 10s)) << "the last Control Change did not arrive";
    std::this_thread::sleep_for(300ms);
    const std::vector<std::uint32_t> got = follower.messages();
    EXPECT_TRUE(inOrderOnce(got, f.controls));
    EXPECT_FALSE(got.empty());
    service->stopFollowing();
    follower.stopped();
    EXPECT_EQ(follower.lateCalls(), 0);
  }
}

}  // namespace rotavox::contract::follow_contract_test
