// The sequencer service against a live kernel sequencer with a virtual MIDI card: what the
// program sends to port "VirMIDI 0-0" is read back as bytes from /dev/snd/midiC0D0, exactly
// what a USB interface would put on the wire; bytes written into /dev/snd/midiC0D1 play the
// keyboard behind the thru. scripts/test-alsa runs these in a virtual machine. What every MIDI
// service promises is tested in tests/contract, instantiated here for the sequencer; these are
// the sequencer's own: its port lists, a card that is removed, a receiver that stops reading.

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <string>
#include <vector>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "core/midi/Pacing.h"
#include "platform/midi/alsa/AlsaSeqRules.h"
#include "platform/midi/alsa/AlsaSeqService.h"
#include "alsa/AlsaVmSupport.h"
#include "contract/AlsaBackend.h"
#include "contract/Follower.h"
#include "contract/MidiContract.h"

namespace rotavox {
namespace {

using namespace alsavm;

constexpr const char* kClient = "Rotavox test";

class AlsaLive : public ::testing::Test {
 protected:
  void SetUp() override {
    ROTAVOX_REQUIRE_SEQUENCER();
    ASSERT_TRUE(ensureCard()) << "the virtual MIDI card (snd-virmidi) is not there";
    service = tryOpenAlsaSeqService(kClient);
    ASSERT_NE(service, nullptr) << "the sequencer did not open";
  }

  // Opens the output to the named port through the program's MIDI layer, as the settings
  // dialog's Close does.
  void openOutput(MidiLink& link, const std::string& port, int channel = 0) {
    link.state().MidiOutDevice = findOutput(*service, port);
    link.state().MidiChannel = channel;
    ASSERT_GE(link.state().MidiOutDevice, 0) << port << " is not in the output list";
    link.SwitchMidiOut("open");
    ASSERT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  }

  std::unique_ptr<MidiService> service;
};

std::uint32_t libraryVersion() {
  unsigned major = 0, minor = 0, micro = 0;
  std::sscanf(snd_asoundlib_version(), "%u.%u.%u", &major, &minor, &micro);
  return (major << 16) | (minor << 8) | micro;
}

// The names aconnect lists for one direction, as the program shows them: the kernel's System
// client and the program's own ports left out.
std::vector<std::string> aconnectNames(const char* option) {
  std::string text;
  EXPECT_TRUE(runCommand(std::string("aconnect ") + option, &text)) << text;
  std::vector<std::string> names;
  for (const AconnectPort& p : parseAconnect(text)) {
    if (p.client == 0 || p.clientName == kClient) continue;
    names.push_back(p.portName.rfind(p.clientName, 0) == 0 ? p.portName : p.clientName + ":" + p.portName);
  }
  return names;
}

TEST_F(AlsaLive, PortListsAreAconnectsInClientAndPortOrderWithTheOwnPortLast) {
  std::vector<std::string> outs;
  const unsigned n = service->outDeviceCount();
  for (unsigned i = 0; i < n; ++i) {
    MidiOutCaps caps;
    ASSERT_EQ(service->outCaps(static_cast<int>(i), caps), kMidiOk);
    outs.push_back(caps.name);
  }
  std::vector<std::string> ins;
  const unsigned m = service->inDeviceCount();
  for (unsigned i = 0; i < m; ++i) {
    MidiInCaps caps;
    ASSERT_EQ(service->inCaps(static_cast<int>(i), caps), kMidiOk);
    ins.push_back(caps.name);
  }
  EXPECT_EQ(outs, aconnectNames("-o"));
  EXPECT_EQ(ins, aconnectNames("-i"));

  // The kernel's own ports, by the names a user sees in aconnect: Midi Through (client 14)
  // before the card's four ports (clients 16 to 19), in this order, in both lists.
  const std::vector<std::string> kernelPorts = {"Midi Through Port-0", virmidiPortName(0), virmidiPortName(1),
                                                virmidiPortName(2), virmidiPortName(3)};
  EXPECT_EQ(outs, kernelPorts);
  EXPECT_EQ(ins, kernelPorts);

  MidiOutCaps own;
  ASSERT_EQ(service->outCaps(static_cast<int>(n), own), kMidiOk);
  EXPECT_EQ(own.name, std::string(kClient) + " virtual out");
  EXPECT_EQ(own.technology, kTechMapper);
  EXPECT_EQ(own.driverVersion, libraryVersion());

  // A port of the virtual card is a software MIDI port of a card that is no USB device.
  MidiOutCaps virmidi;
  ASSERT_EQ(service->outCaps(findOutput(*service, virmidiPortName(0)), virmidi), kMidiOk);
  EXPECT_EQ(virmidi.manufacturerId, 0);
  EXPECT_EQ(virmidi.productId, 0);
  EXPECT_EQ(virmidi.driverVersion, libraryVersion());
  EXPECT_EQ(virmidi.technology, kTechOutputPort);
  MidiInCaps keyboard;
  ASSERT_EQ(service->inCaps(findInput(*service, virmidiPortName(1)), keyboard), kMidiOk);
  EXPECT_EQ(keyboard.manufacturerId, 0);
  EXPECT_EQ(keyboard.driverVersion, libraryVersion());
}

// ---- Unplugging -------------------------------------------------------------------------------

TEST_F(AlsaLive, CardRemovedWithMessagesQueuedFailsClearlyAndComesBackOnTheNextListing) {
  auto wire = std::make_unique<RawMidiReader>(rawMidiPath(0));
  ASSERT_TRUE(wire->ok());
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  openOutput(link, virmidiPortName(0));
  link.SendPanic();
  ASSERT_TRUE(wire->waitFor(400, 10s)) << "the sweep did not start";
  ASSERT_LT(wire->count(), 1500u) << "too little of the sweep left queued to unplug under it";

  // rmmod refuses a card whose port is subscribed; unbinding the driver removes the card the
  // way a pulled USB cable does. The removal waits until the raw MIDI reader has let go.
  auto unplug = std::async(std::launch::async, [] {
    return writeSysfs(std::string(kCardDriver) + "/unbind", kCardDevice);
  });
  ASSERT_EQ(unplug.wait_for(20s), std::future_status::ready) << "removing the card hangs";
  ASSERT_TRUE(unplug.get());
  ASSERT_TRUE(waitForCard(false));
  std::string text;
  ASSERT_TRUE(runCommand("rmmod snd-virmidi", &text)) << text;

  // The announce listener learns of it; from then on sends fail with the clear error.
  const MidiHandle out = link.state().MidiOutHandle;
  MidiResult result = kMidiOk;
  const Clock::time_point end = Clock::now() + 10s;
  while ((result = service->sendShort(out, controlChange(0, 7, 1))) == kMidiOk && Clock::now() < end)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(result, alsaseq::kPortGone);
  EXPECT_NE(service->outErrorText(result).find("gone away"), std::string::npos) << service->outErrorText(result);
  EXPECT_EQ(service->pendingMessages(), 0u) << "the gone port's messages are still queued";

  // What reached the wire before is the start of the sweep: in order, nothing twice.
  const std::vector<std::uint32_t> got = wire->messages();
  const std::vector<std::uint32_t> sweep = panicSweep(0);
  ASSERT_LT(got.size(), sweep.size());
  EXPECT_EQ(firstDifference(got, std::vector<std::uint32_t>(sweep.begin(), sweep.begin() + got.size())), "");
  wire.reset();

  // Closing does not hang and says nothing: there is nothing left to undo.
  auto closing = std::async(std::launch::async, [&] { link.SwitchMidiOut("close"); });
  ASSERT_EQ(closing.wait_for(20s), std::future_status::ready) << "closing the unplugged output hangs";
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();

  // Plugged in again: the next listing shows it, and it opens and plays.
  ASSERT_TRUE(runCommand("modprobe snd-virmidi", &text)) << text;
  ASSERT_TRUE(waitForCard(true));
  RawMidiReader again(rawMidiPath(0));
  ASSERT_TRUE(again.ok());
  openOutput(link, virmidiPortName(0));
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  link.SendControlChange(74, "99");
  ASSERT_TRUE(again.waitFor(1, 5s)) << "the card plugged in again does not play";
  EXPECT_EQ(again.messages(), std::vector<std::uint32_t>{controlChange(0, 74, 99)});
  link.SwitchMidiOut("close");
}

// The followed port's card is removed, as when a USB cable is pulled: the receiver hears of it
// once, nothing reaches it afterwards, and the card plugged in again can be followed again.
TEST_F(AlsaLive, AFollowedCardThatIsRemovedIsReportedOnceAndCanBeFollowedAgain) {
  contract::Follower follower;
  ASSERT_EQ(service->followIn(findInput(*service, virmidiPortName(1)), follower), kMidiOk);
  ASSERT_TRUE(writeRawMidi(rawMidiPath(1), {controlChange(0, 7, 1)}));
  ASSERT_TRUE(follower.waitFor(1, 5s));

  auto unplug = std::async(std::launch::async, [] {
    return writeSysfs(std::string(kCardDriver) + "/unbind", kCardDevice);
  });
  ASSERT_EQ(unplug.wait_for(20s), std::future_status::ready) << "removing the followed card hangs";
  ASSERT_TRUE(unplug.get());
  ASSERT_TRUE(waitForCard(false));
  EXPECT_TRUE(follower.waitForGone(5s)) << "the card's removal was not reported";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(follower.goneCount(), 1);
  service->stopFollowing();
  follower.stopped();
  EXPECT_EQ(follower.lateCalls(), 0);

  std::string text;
  ASSERT_TRUE(runCommand("rmmod snd-virmidi", &text)) << text;
  ASSERT_TRUE(runCommand("modprobe snd-virmidi", &text)) << text;
  ASSERT_TRUE(waitForCard(true));
  contract::Follower again;
  ASSERT_EQ(service->followIn(findInput(*service, virmidiPortName(1)), again), kMidiOk);
  ASSERT_TRUE(writeRawMidi(rawMidiPath(1), {controlChange(0, 7, 2)}));
  ASSERT_TRUE(again.waitFor(1, 5s)) << "the card plugged in again cannot be followed";
  EXPECT_EQ(again.messages(), std::vector<std::uint32_t>{controlChange(0, 7, 2)});
  service->stopFollowing();
}

// ---- A receiver without room ------------------------------------------------------------------

// The sequencer refuses an event (EAGAIN) while the receiving program's input is full, and
// clears that input at the program's next read, which then fails with ENOSPC: those events the
// kernel itself throws away. The service must keep the refused event and send it again until
// it fits, so the program gets everything else, in order, none twice, up to the last.
TEST_F(AlsaLive, ReceiverThatStopsReadingLosesNothingButWhatTheKernelClearedAtItsEnd) {
  constexpr int kPool = 16;
  SeqClient synth("Slow synth", kPool);
  ASSERT_TRUE(synth.ok());
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(findOutput(*service, synth.portName()), out), kMidiOk);
  // Each message once, so that its place in the list tells a repeat from a loss.
  std::vector<std::uint32_t> sent;
  std::map<std::uint32_t, std::size_t> place;
  for (int i = 0; i < 2000; ++i) {
    sent.push_back(controlChange(0, 20 + i / 128, i % 128));
    place[sent.back()] = sent.size() - 1;
  }
  for (std::uint32_t m : sent) ASSERT_EQ(service->sendShort(out, m), kMidiOk);
  std::this_thread::sleep_for(1500ms);  // the synth reads nothing meanwhile

  ASSERT_TRUE(synth.readUntilDone([&](const std::vector<std::uint32_t>& got) { return !got.empty() && got.back() == sent.back(); },
                              30s))
      << "the last message never arrived: the sender gave up (" << synth.messages().size() << " arrived)";
  std::this_thread::sleep_for(300ms);
  synth.readAvailable();

  const std::vector<std::uint32_t>& got = synth.messages();
  std::size_t next = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const auto at = place.find(got[i]);
    ASSERT_NE(at, place.end()) << "message " << i << " was never sent";
    ASSERT_GE(at->second, next) << "message " << i << " arrived twice or out of order";
    next = at->second + 1;
  }
  EXPECT_GE(synth.overruns(), 1) << "the synth's input never ran full: nothing was refused";
  EXPECT_LE(sent.size() - got.size(), static_cast<std::size_t>(synth.overruns()) * kPool)
      << "more went missing than the kernel cleared at the synth's end (" << synth.overruns() << " times " << kPool
      << "): refused events were dropped";
  EXPECT_EQ(service->closeOut(out), kMidiOk);
}

}  // namespace

using contract::MidiContract;
using contract::WindowsContract;
INSTANTIATE_TEST_SUITE_P(Alsa, MidiContract,
                         ::testing::Values(contract::BackendParam{"Alsa", [] { return std::unique_ptr<contract::Backend>(new contract::AlsaBackend); }}),
                         contract::backendName);
INSTANTIATE_TEST_SUITE_P(Alsa, WindowsContract,
                         ::testing::Values(contract::BackendParam{"Alsa", [] { return std::unique_ptr<contract::Backend>(new contract::AlsaBackend); }}),
                         contract::backendName);

}  // namespace rotavox
