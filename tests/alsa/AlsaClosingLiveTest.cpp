// Closing a sequencer output against a live kernel sequencer: the close returns with the queue
// still going out, the wire gets every message exactly once and in order, an opening of the
// same port sends after what was left, and another port opened meanwhile gets only its own.
// scripts/test-alsa runs these in a virtual machine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alsa/AlsaVmSupport.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "platform/midi/alsa/AlsaSeqService.h"

namespace rotavox {
namespace {

using namespace alsavm;

std::vector<std::uint32_t> controlChanges(int count, int first = 0) {
  std::vector<std::uint32_t> out;
  for (int i = first; i < first + count; ++i) out.push_back(controlChange(i % 16, (i / 16) % 120, i % 128));
  return out;
}

std::vector<std::uint32_t> panicSweep() {
  std::vector<std::uint32_t> out;
  for (int pass = 0; pass < 16; ++pass)
    for (int note = 1; note <= 127; ++note) out.push_back(noteOn(0, note, 0));
  return out;
}

bool sameInOrder(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want, std::string& why) {
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
    if (got[i] != want[i]) {
      why = "first difference at message " + std::to_string(i);
      return false;
    }
  why = "got " + std::to_string(got.size()) + " messages, expected " + std::to_string(want.size());
  return got.size() == want.size();
}

// Waits until the service has nothing left to send; false at the limit.
bool allSent(const MidiService& service, Clock::duration limit) {
  const Clock::time_point end = Clock::now() + limit;
  while (service.pendingMessages() > 0) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class AlsaClosing : public ::testing::Test {
 protected:
  void SetUp() override {
    ROTAVOX_REQUIRE_SEQUENCER();
    ASSERT_TRUE(ensureCard()) << "the virtual MIDI card (snd-virmidi) is not there";
    service = tryOpenAlsaSeqService("Rotavox closing");
    ASSERT_NE(service, nullptr);
    link = std::make_unique<MidiLink>(*service, boxes);
  }
  void open(const std::string& port) {
    link->state().MidiOutDevice = findOutput(*service, port);
    link->state().MidiChannel = 0;
    ASSERT_GE(link->state().MidiOutDevice, 0) << port << " is not in the output list";
    link->SwitchMidiOut("open");
    ASSERT_NE(link->state().MidiOutHandle, kNoMidiHandle);
  }
  void send(const std::vector<std::uint32_t>& messages) {
    for (std::uint32_t m : messages) link->sendRaw(m);
  }

  std::unique_ptr<MidiService> service;
  RecordingPresenter boxes;
  std::unique_ptr<MidiLink> link;
};

TEST_F(AlsaClosing, CloseReturnsWhileTheQueueStillGoesOutAndTheWireGetsItOnce) {
  RawMidiReader wire(rawMidiPath(0));
  ASSERT_TRUE(wire.ok());
  open(virmidiPortName(0));
  const std::vector<std::uint32_t> queued = controlChanges(3000);  // about 2.5 s on the wire
  send(queued);
  link->SwitchMidiOut("close");
  EXPECT_GT(service->pendingMessages(), 1000u) << "the close waited for the wire";
  ASSERT_TRUE(allSent(*service, 30s));
  ASSERT_TRUE(wire.waitFor(queued.size(), 10s)) << "only " << wire.count() << " arrived";
  wire.settle();
  std::string why;
  EXPECT_TRUE(sameInOrder(wire.messages(), queued, why)) << why;
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

TEST_F(AlsaClosing, OpeningTheSamePortAgainSendsAfterWhatWasLeft) {
  RawMidiReader wire(rawMidiPath(0));
  ASSERT_TRUE(wire.ok());
  open(virmidiPortName(0));
  std::vector<std::uint32_t> expected = controlChanges(3000);
  send(expected);
  link->SwitchMidiOut("close");
  open(virmidiPortName(0));
  link->SendPanic();
  const std::vector<std::uint32_t> sweep = panicSweep();
  expected.insert(expected.end(), sweep.begin(), sweep.end());
  link->SwitchMidiOut("close");
  ASSERT_TRUE(allSent(*service, 60s));
  ASSERT_TRUE(wire.waitFor(expected.size(), 10s)) << "only " << wire.count() << " arrived";
  wire.settle();
  std::string why;
  EXPECT_TRUE(sameInOrder(wire.messages(), expected, why)) << why;
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

TEST_F(AlsaClosing, AnotherPortOpenedMeanwhileGetsOnlyItsOwnMessages) {
  RawMidiReader wire(rawMidiPath(0));
  ASSERT_TRUE(wire.ok());
  SeqClient synth("Other synth");
  ASSERT_TRUE(synth.ok());
  open(virmidiPortName(0));
  const std::vector<std::uint32_t> forCard = controlChanges(2000);
  send(forCard);
  link->SwitchMidiOut("close");
  open(synth.portName());
  const std::vector<std::uint32_t> forSynth = controlChanges(50, 5000);
  send(forSynth);
  ASSERT_TRUE(allSent(*service, 60s));
  ASSERT_TRUE(wire.waitFor(forCard.size(), 10s)) << "only " << wire.count() << " arrived";
  wire.settle();
  ASSERT_TRUE(synth.readUntil(forSynth.size(), 10s));
  std::this_thread::sleep_for(300ms);
  synth.readAvailable();
  std::string why;
  EXPECT_TRUE(sameInOrder(wire.messages(), forCard, why)) << "the card: " << why;
  EXPECT_TRUE(sameInOrder(synth.messages(), forSynth, why)) << "the synth: " << why;
  link->SwitchMidiOut("close");
}

// The service ends with a closed output still sending: it drops the rest and does not wait.
TEST_F(AlsaClosing, TheServiceEndsAtOnceWithMessagesStillQueued) {
  RawMidiReader wire(rawMidiPath(0));
  ASSERT_TRUE(wire.ok());
  open(virmidiPortName(0));
  send(controlChanges(16000));
  link->SwitchMidiOut("close");
  link.reset();
  service.reset();
  // Waiting for the queue would have let all of it out: 15 s on the wire.
  EXPECT_LT(wire.count(), 16000u) << "ending the service waited for the queue";
}

}  // namespace
}  // namespace rotavox
