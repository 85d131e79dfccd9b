// The JACK MIDI service against a real JACK server: the one named by JACK_DEFAULT_SERVER
// (scripts/test starts it), and for the server-death cases a private server of the test's own.
// What every MIDI service promises is tested in tests/contract, instantiated here for JACK;
// these are JACK's own: its port lists, its virtual port, its error texts, a server that ends.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "e2e/E2eSupport.h"
#include "contract/JackBackend.h"
#include "contract/MidiContract.h"
#include "platform/midi/jack/JackService.h"

namespace rotavox {
namespace {

using namespace std::chrono_literals;
using jacktest::Receiver;
using jacktest::Sender;

class JackE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
    receiver = std::make_unique<Receiver>("rv-receiver");
    sender = std::make_unique<Sender>("rv-keyboard");
    ASSERT_TRUE(receiver->ok() && sender->ok());
    service = JackService::open("RotavoxTest");
    ASSERT_NE(service, nullptr);
  }

  std::unique_ptr<Receiver> receiver;
  std::unique_ptr<Sender> sender;
  std::unique_ptr<JackService> service;
};

TEST_F(JackE2E, ListsOtherProgramsPortsSortedAndLeavesItsOwnOut) {
  MidiHandle virtualOut = kNoMidiHandle;
  ASSERT_EQ(service->openOut(static_cast<int>(service->outDeviceCount()), virtualOut), kMidiOk);

  const std::vector<MidiOutCaps> outs = outputPorts(*service);
  const std::vector<MidiInCaps> ins = inputPorts(*service);
  const int receiverAt = findOutput(*service, receiver->portName());
  ASSERT_GE(receiverAt, 0) << "the receiving client's input port is not an output device";
  EXPECT_EQ(outs[static_cast<std::size_t>(receiverAt)].technology, kTechInternalSynth);
  EXPECT_GE(findInput(*service, sender->portName()), 0) << "the sending client's output port is not an input device";
  EXPECT_LT(findInput(*service, receiver->portName()), 0) << "an input port listed as input device";
  EXPECT_LT(findOutput(*service, sender->portName()), 0) << "an output port listed as output device";

  for (std::size_t i = 1; i < outs.size(); ++i) EXPECT_LT(outs[i - 1].name, outs[i].name);
  for (std::size_t i = 1; i < ins.size(); ++i) EXPECT_LT(ins[i - 1].name, ins[i].name);
  const std::string own = service->clientName() + ":";
  for (const MidiOutCaps& c : outs) EXPECT_NE(c.name.rfind(own, 0), 0u) << c.name;
  for (const MidiInCaps& c : ins) EXPECT_NE(c.name.rfind(own, 0), 0u) << c.name << " (the program's own port)";

  for (const int device : {kMidiMapperDevice, static_cast<int>(service->outDeviceCount())}) {
    MidiOutCaps mapper;
    ASSERT_EQ(service->outCaps(device, mapper), kMidiOk);
    EXPECT_EQ(mapper.technology, kTechMapper);
    EXPECT_EQ(mapper.name, service->clientName() + " virtual out");
    EXPECT_NE(mapper.driverVersion, 0u);
  }
}

TEST_F(JackE2E, VirtualPortWaitsUnconnectedForOtherProgramsToConnect) {
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(static_cast<int>(service->outDeviceCount()), out), kMidiOk);
  const std::string own = service->ownPortName(out);
  ASSERT_EQ(own.rfind(service->clientName() + ":", 0), 0u) << own;
  // jackd registers a port before the call returns; PipeWire's JACK tells the other clients of
  // it a little later.
  jack_port_t* port = nullptr;
  ASSERT_TRUE(becomes([&] { return (port = jack_port_by_name(receiver->client(), own.c_str())) != nullptr; },
                      jacktest::overPipeWire() ? 2s : 0s))
      << own << " is not visible to another client";
  EXPECT_EQ(jack_port_connected(port), 0);

  ASSERT_EQ(jack_connect(receiver->client(), own.c_str(), receiver->portName().c_str()), 0);
  std::this_thread::sleep_for(30ms);  // a new connection carries data from the next cycle on
  EXPECT_EQ(service->sendShort(out, controlChange(0, 69, 100)), kMidiOk);
  ASSERT_TRUE(receiver->waitFor(1, 2s));
  EXPECT_EQ(receiver->events()[0].shortMessage(), controlChange(0, 69, 100));

  MidiHandle in = kNoMidiHandle;
  ASSERT_EQ(service->openIn(findInput(*service, sender->portName()), in), kMidiOk);
  const MidiResult r = service->connect(in, out);
  EXPECT_EQ(r, JackService::kThruIntoOwnPort);
  EXPECT_NE(service->inErrorText(r).find("virtual port"), std::string::npos) << service->inErrorText(r);
  EXPECT_EQ(service->closeOut(out), kMidiOk);
  // The port goes once what it held has gone out, in the background.
  EXPECT_TRUE(becomes([&] { return jack_port_by_name(receiver->client(), own.c_str()) == nullptr; }, 5s))
      << "the own port outlived its close";
}

TEST_F(JackE2E, EveryFailureHasACodeAndAText) {
  const int n = static_cast<int>(service->outDeviceCount());
  const int m = static_cast<int>(service->inDeviceCount());
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(findOutput(*service, receiver->portName()), out), kMidiOk);
  MidiHandle h = kNoMidiHandle;
  MidiOutCaps oc;
  MidiInCaps ic;

  // The text of a failure is asked for right after it, as the error box does.
  struct Failure {
    const char* what;
    std::function<MidiResult()> call;
    bool outputText;
    const char* textPart;
  };
  const Failure failures[] = {
      {"openOut past the list", [&] { return service->openOut(n + 3, h); }, true, "no MIDI output port number"},
      {"outCaps past the list", [&] { return service->outCaps(n + 3, oc); }, true, "no MIDI output port number"},
      {"openIn with none chosen", [&] { return service->openIn(-1, h); }, false, "No MIDI input port is chosen"},
      {"openIn past the list", [&] { return service->openIn(m + 2, h); }, false, "no MIDI input port number"},
      {"inCaps past the list", [&] { return service->inCaps(m + 2, ic); }, false, "no MIDI input port number"},
      {"sendShort on a closed handle", [&] { return service->sendShort(out + 100, controlChange(0, 1, 2)); }, true,
       "not open"},
      {"sendShort of a data byte", [&] { return service->sendShort(out, 0x45); }, true, "not a MIDI short message"},
      {"sendShort of a broken data byte", [&] { return service->sendShort(out, 0x80C5B0); }, true,
       "not a MIDI short message"},
      {"closeOut of a closed handle", [&] { return service->closeOut(out + 100); }, true, "not open"},
      {"connect with no input", [&] { return service->connect(out + 100, out); }, false, "not open"},
      {"disconnect with no input", [&] { return service->disconnect(out + 100, out); }, false, "not open"},
      {"closeIn of a closed handle", [&] { return service->closeIn(out + 100); }, false, "not open"},
  };
  for (const Failure& f : failures) {
    const MidiResult result = f.call();
    EXPECT_NE(result, kMidiOk) << f.what;
    const std::string text = f.outputText ? service->outErrorText(result) : service->inErrorText(result);
    EXPECT_NE(text.find(f.textPart), std::string::npos) << f.what << ": " << text;
  }
}

// A receiver that spends part of each cycle before reading its input still gets the last
// messages of each closed output, and of the program that ends once nothing is queued: the
// port is disconnected, and the client closed, only after it has read them.
TEST_F(JackE2E, ASlowReceiverGetsTheLastMessagesOfEachClosedOutputAndOfTheEnd) {
  Receiver slow("rv-slow-receiver", nullptr, Receiver::kCapacity, 5ms);
  ASSERT_TRUE(slow.ok());
  const int device = findOutput(*service, slow.portName());
  ASSERT_GE(device, 0);
  std::vector<std::uint32_t> sent;
  for (int round = 0; round < 5; ++round) {
    MidiHandle out = kNoMidiHandle;
    ASSERT_EQ(service->openOut(device, out), kMidiOk);
    const std::string own = service->ownPortName(out);
    for (std::uint32_t m : contract::controlChanges(60, round * 60)) {
      ASSERT_EQ(service->sendShort(out, m), kMidiOk);
      sent.push_back(m);
    }
    ASSERT_EQ(service->closeOut(out), kMidiOk);
    // The next opening would take this output back while it still sends: wait until it is gone.
    becomes([&] { return jack_port_by_name(slow.client(), own.c_str()) == nullptr; }, 5s);
  }
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(device, out), kMidiOk);
  for (std::uint32_t m : contract::controlChanges(60, 300)) {
    ASSERT_EQ(service->sendShort(out, m), kMidiOk);
    sent.push_back(m);
  }
  becomes([&] { return service->pendingMessages() == 0; }, 5s);
  service.reset();  // as the program ends once nothing is queued
  ASSERT_TRUE(slow.waitFor(sent.size(), 3s)) << "only " << slow.count() << " of " << sent.size() << " arrived";
  EXPECT_EQ(contract::firstDifference(slow.messages(), sent), "");
}

// The server stops while an output holds more than its queue's ring.
struct ServerEnd {
  const char* name;
  int signal;
};
void PrintTo(const ServerEnd& e, std::ostream* os) { *os << e.name; }

class JackServerEnd : public ::testing::TestWithParam<ServerEnd> {};

TEST_P(JackServerEnd, NoCrashNoHangAndClearFailuresAfterwards) {
  ROTAVOX_SKIP_SERVER_END_OVER_PIPEWIRE();
  if (!ownServerAvailable()) GTEST_SKIP() << "no jackd (or pipewire) to start a JACK server of the test's own";
  const std::string serverName = "rotavox-e2e-" + std::string(GetParam().name) + "-" + std::to_string(getpid());
  jacktest::PrivateServer server(serverName);
  ASSERT_TRUE(server.up()) << "jackd did not come up";
  auto receiver = std::make_unique<Receiver>("rv-receiver", server.name());
  ASSERT_TRUE(receiver->ok());
  std::unique_ptr<JackService> service = JackService::open("RotavoxDying", server.name());
  ASSERT_NE(service, nullptr);
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(findOutput(*service, receiver->portName()), out), kMidiOk);

  // More than the queue's ring holds: the rest waits beyond it.
  for (int i = 0; i < 40000; ++i) ASSERT_EQ(service->sendShort(out, noteOn(0, i % 127 + 1, 0)), kMidiOk);
  EXPECT_GE(service->pendingMessages(), 38000u);

  server.kill(GetParam().signal);
  EXPECT_TRUE(becomes([&] { return !service->alive(); }, 10s)) << "the service did not notice its server end";
  EXPECT_TRUE(service->systemGone());
  EXPECT_EQ(service->pendingMessages(), 0u) << "messages for a server that went away still count";

  EXPECT_EQ(service->sendShort(out, controlChange(0, 7, 100)), JackService::kServerGone);
  EXPECT_EQ(service->outDeviceCount(), 0u);
  MidiHandle again = kNoMidiHandle;
  const MidiResult r = service->openOut(0, again);
  EXPECT_EQ(r, JackService::kServerGone);
  EXPECT_NE(service->outErrorText(r).find("JACK server has stopped"), std::string::npos) << service->outErrorText(r);
  MidiOutCaps mapper;
  EXPECT_EQ(service->outCaps(kMidiMapperDevice, mapper), kMidiOk);
  EXPECT_EQ(service->closeOut(out), kMidiOk);

  // The server comes back under the same name before the program ends. The test's own
  // client must have noticed the end first, or closing it would crash libjack.
  ASSERT_TRUE(becomes([&] { return receiver->serverGone(); }, 10s));
  ASSERT_TRUE(server.restart());
  EXPECT_FALSE(service->alive());
  auto ending = std::async(std::launch::async, [&] {
    service.reset();
    receiver.reset();
  });
  EXPECT_EQ(ending.wait_for(10s), std::future_status::ready) << "closing the clients hangs";
}

INSTANTIATE_TEST_SUITE_P(JackE2E, JackServerEnd,
                         ::testing::Values(ServerEnd{"Stopped", SIGTERM}, ServerEnd{"Killed", SIGKILL}),
                         [](const ::testing::TestParamInfo<ServerEnd>& info) { return info.param.name; });

}  // namespace

using contract::MidiContract;
INSTANTIATE_TEST_SUITE_P(Jack, MidiContract,
                         ::testing::Values(contract::BackendParam{"Jack", [] { return std::unique_ptr<contract::Backend>(new contract::JackBackend); }}),
                         contract::backendName);

}  // namespace rotavox
