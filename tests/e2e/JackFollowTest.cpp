// Following a port on a JACK server of the test's own that stops answering (SIGSTOP) or ends
// (SIGTERM, SIGKILL) while the program follows: the receiver hears of it once, within about the
// waiting limit, nothing waits long, and nothing reaches the receiver after stopFollowing().
// What every backend promises about following is tested in tests/contract.

#include <gtest/gtest.h>
#include <signal.h>

#include <future>
#include <string>

#include "contract/Follower.h"
#include "core/midi/Messages.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/jack/JackService.h"

namespace rotavox::jack_follow_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct ServerFault {
  const char* name;
  int signal;  // SIGSTOP: the server stops answering and goes on afterwards
};
void PrintTo(const ServerFault& f, std::ostream* os) { *os << f.name; }

class JackFollowFault : public ::testing::TestWithParam<ServerFault> {};

TEST_P(JackFollowFault, IsReportedOnceAndNothingWaits) {
  ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE();
  if (!ownServerAvailable()) GTEST_SKIP() << "no jackd (or pipewire) to start a JACK server of the test's own";
  const ServerFault fault = GetParam();
  jacktest::PrivateServer server("rotavox-e2e-follow-" + std::string(fault.name) + "-" + std::to_string(getpid()));
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto keys = std::make_unique<jacktest::Sender>("rv-follow-keys", server.name());
  ASSERT_TRUE(keys->ok());
  std::unique_ptr<JackService> service = JackService::open("RotavoxFollow", server.name());
  ASSERT_NE(service, nullptr);
  contract::Follower follower;
  ASSERT_EQ(service->followIn(findInput(*service, keys->portName()), follower), kMidiOk);
  keys->settle();
  ASSERT_TRUE(keys->send(controlChange(0, 7, 100)));
  ASSERT_TRUE(follower.waitFor(1, 5s)) << "the followed port's message did not arrive";

  const Clock::time_point faulted = Clock::now();
  if (fault.signal == SIGSTOP)
    server.freeze();
  else
    server.kill(fault.signal);
  ASSERT_TRUE(follower.waitForGone(10s)) << "the receiver was not told";
  EXPECT_LT(Clock::now() - faulted, 3s) << "told far later than the waiting limit";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(follower.goneCount(), 1);

  auto stopping = std::async(std::launch::async, [&] { service->stopFollowing(); });
  ASSERT_EQ(stopping.wait_for(3s), std::future_status::ready) << "stopping waits for the server";
  follower.stopped();
  if (fault.signal == SIGSTOP) {
    // The server goes on: the sender's next message finds nobody to hand it to.
    server.resume();
    keys->send(controlChange(0, 7, 101));
    std::this_thread::sleep_for(300ms);
  } else {
    // Closing a client that has not noticed its server's end can crash libjack.
    const Clock::time_point end = Clock::now() + 10s;
    while (!keys->serverGone() && Clock::now() < end) std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(follower.lateCalls(), 0);
  EXPECT_EQ(follower.messages(), std::vector<std::uint32_t>{controlChange(0, 7, 100)});
  auto ending = std::async(std::launch::async, [&] {
    service.reset();
    keys.reset();
  });
  EXPECT_EQ(ending.wait_for(10s), std::future_status::ready) << "ending the clients hangs";
}

INSTANTIATE_TEST_SUITE_P(JackE2E, JackFollowFault,
                         ::testing::Values(ServerFault{"Frozen", SIGSTOP}, ServerFault{"Stopped", SIGTERM},
                                           ServerFault{"Killed", SIGKILL}),
                         [](const ::testing::TestParamInfo<ServerFault>& info) { return info.param.name; });

}  // namespace rotavox::jack_follow_test
