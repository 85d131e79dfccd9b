// A JACK server that stops answering (SIGSTOP) while outputs send: every call is answered for
// within a bounded time, and a server that goes on again delivers each message once. How
// closing delivers every message once is promised by every backend (tests/contract).

#include <gtest/gtest.h>
#include <signal.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/jack/JackService.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using jacktest::Receiver;

// Waits until the service has nothing left to send and every port it closed is gone from the
// server, then a while longer, so that a copy sent late would have arrived.
void settle(JackService& service, const Receiver& observer, const std::vector<std::string>& closedPorts,
            std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  const auto portsGone = [&] {
    for (const std::string& p : closedPorts)
      if (jack_port_by_name(observer.client(), p.c_str()) != nullptr) return false;
    return true;
  };
  while ((service.pendingMessages() > 0 || !portsGone()) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(service.pendingMessages(), 0u) << "still queued after " << limit.count() << " s";
  EXPECT_TRUE(portsGone()) << "a closed output's port is still registered";
  std::this_thread::sleep_for(200ms);
}

// ---- A server of the test's own, frozen and resumed ---------------------------------------

class JackFrozen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ownServerAvailable()) GTEST_SKIP() << "no jackd (or pipewire) to start a JACK server of the test's own";
    server = std::make_unique<jacktest::PrivateServer>("rotavox-e2e-frozen-" + std::to_string(getpid()));
    ASSERT_TRUE(server->up()) << "jackd did not come up";
    receiver = std::make_unique<Receiver>("rv-frozen", server->name());
    ASSERT_TRUE(receiver->ok());
    service = JackService::open("RotavoxFrozen", server->name());
    ASSERT_NE(service, nullptr);
  }
  void TearDown() override {
    if (server) server->resume();
    // Whatever is still blocked in the JACK library finishes once the server answers.
    service.reset();
    receiver.reset();
    server.reset();
  }

  // Runs a call while the server is stopped; true when it came back within the limit (which
  // is far above the service's own waiting limit). A call that does not come back is released
  // by resuming the server, so that the test ends.
  bool returnsWhileFrozen(const char* what, const std::function<void()>& call) {
    auto done = std::async(std::launch::async, call);
    if (done.wait_for(10s) == std::future_status::ready) return true;
    ADD_FAILURE() << what << " did not return while the server was stopped";
    server->resume();
    done.wait();
    return false;
  }

  std::unique_ptr<jacktest::PrivateServer> server;
  std::unique_ptr<Receiver> receiver;
  std::unique_ptr<JackService> service;
};

TEST_F(JackFrozen, EveryCallReturnsAndTheServerCountsAsGone) {
  const int device = findOutput(*service, receiver->portName());
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(device, out), kMidiOk);
  for (std::uint32_t m : panicSweep()) ASSERT_EQ(service->sendShort(out, m), kMidiOk);
  server->freeze();

  ASSERT_TRUE(returnsWhileFrozen("closing the output", [&] { EXPECT_EQ(service->closeOut(out), kMidiOk); }));
  // The virtual port needs a new port of the program's own (the closed output would take up
  // an opening of the receiver's port again without asking the server).
  MidiResult opened = kMidiOk;
  MidiHandle again = kNoMidiHandle;
  ASSERT_TRUE(returnsWhileFrozen("opening an output", [&] { opened = service->openOut(kMidiMapperDevice, again); }));
  EXPECT_EQ(opened, JackService::kServerGone);
  EXPECT_NE(service->outErrorText(opened).find("does not answer"), std::string::npos) << service->outErrorText(opened);
  EXPECT_TRUE(service->systemGone());
  EXPECT_EQ(service->pendingMessages(), 0u) << "nothing more goes out through a server that does not answer";

  // From now on nothing waits for the server; the settings dialog lists what it can.
  unsigned outputs = 99;
  ASSERT_TRUE(returnsWhileFrozen("counting output ports", [&] { outputs = service->outDeviceCount(); }));
  EXPECT_EQ(outputs, 0u);
  MidiOutCaps own;
  ASSERT_TRUE(returnsWhileFrozen("the virtual port's record", [&] {
    EXPECT_EQ(service->outCaps(static_cast<int>(outputs), own), kMidiOk);
  }));
  EXPECT_EQ(own.technology, kTechMapper);
  ASSERT_TRUE(returnsWhileFrozen("counting input ports", [&] { EXPECT_EQ(service->inDeviceCount(), 0u); }));
  MidiHandle in = kNoMidiHandle;
  ASSERT_TRUE(returnsWhileFrozen("opening an input", [&] {
    EXPECT_EQ(service->openIn(0, in), JackService::kServerGone);
  }));
  EXPECT_EQ(service->sendShort(out, controlChange(0, 7, 1)), JackService::kServerGone);
  EXPECT_FALSE(service->answering()) << "a call it gave up on is still outstanding";
  ASSERT_TRUE(returnsWhileFrozen("ending the service", [&] { service.reset(); }));
  ASSERT_TRUE(returnsWhileFrozen("opening a new service", [&] {
    EXPECT_EQ(JackService::open("RotavoxFrozen2", server->name()), nullptr);
  }));
}

// The server stops in the middle of a Panic, with no call made to it: after the waiting limit
// it counts as not answering (the program stops waiting for the queue); once it goes on, it
// answers again and every message goes out once: nothing lost, nothing twice.
TEST_F(JackFrozen, AStoppedServerWithMessagesWaitingDoesNotAnswerUntilItGoesOn) {
  ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE();
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(findOutput(*service, receiver->portName()), out), kMidiOk);
  const std::string own = service->ownPortName(out);
  const std::vector<std::uint32_t> sweep = panicSweep();
  for (std::uint32_t m : sweep) ASSERT_EQ(service->sendShort(out, m), kMidiOk);
  std::this_thread::sleep_for(300ms);  // part of the sweep has gone out
  server->freeze();
  EXPECT_TRUE(becomes([&] { return !service->answering(); }, 10s)) << "a stopped server counts as answering";
  EXPECT_GT(service->pendingMessages(), 0u);
  server->resume();
  EXPECT_TRUE(becomes([&] { return service->answering(); }, 10s)) << "the server goes on, but counts as not answering";
  EXPECT_FALSE(service->systemGone());
  ASSERT_EQ(service->closeOut(out), kMidiOk);
  settle(*service, *receiver, {own}, 30s);
  const std::vector<std::uint32_t> got = receiver->messages();
  EXPECT_EQ(got, sweep) << firstDifference(got, sweep);
}

}  // namespace
}  // namespace rotavox
