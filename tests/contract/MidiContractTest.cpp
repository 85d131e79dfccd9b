// The promises every MIDI service makes, against a live MIDI system with an instrument and a
// keyboard of the backend's own: nothing is lost, doubled or reordered on the way, nothing goes
// faster than the wire, closing never waits yet loses nothing, the thru carries exactly while
// it is on, and a port that goes away neither hangs nor crashes anything.

#include <future>

#include "contract/MidiContract.h"
#include "core/midi/Pacing.h"
#include "platform/midi/OutputQueue.h"
#include "support/RecordingPresenter.h"

namespace rotavox::contract {
namespace {

using test::RecordingPresenter;

std::vector<std::uint32_t> from(const std::vector<std::uint32_t>& all, std::size_t first) {
  return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
}

// ---- Sending ---------------------------------------------------------------------------------

// The output is closed right behind the Panic, as the settings dialog does when it opens:
// the sweep still goes out whole, once, and paced.
TEST_P(MidiContract, PanicArrivesCompleteInOrderOnceAndNoFasterThanTheWire) {
  auto synth = backend->instrument(0);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  openOutput(link, *synth, 5);

  link.SendPanic();
  link.SwitchMidiOut("close");
  const std::vector<std::uint32_t> sweep = panicSweep(5);
  ASSERT_TRUE(synth->waitFor(sweep.size(), 30s)) << "only " << synth->count() << " of 2032 arrived";
  synth->settle();
  const std::vector<std::uint32_t> got = synth->messages();
  EXPECT_EQ(firstDifference(got, sweep), "");
  EXPECT_LE(worstPacingShortfall(got, synth->arrivalSeconds(), WirePacer::kWireBytesPerSecond, WirePacer::kBurstBytes),
            backend->timingSlack())
      << "a run of messages reached the instrument faster than the pacing allows";
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

// More than the queue's ring holds, sent at once and closed: the sender never waits for room,
// and nothing is dropped.
TEST_P(MidiContract, AFullQueueNeverHoldsTheSenderAndLosesNothing) {
  auto synth = backend->instrument(0);
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(outputOf(synth->portName()), out), kMidiOk);
  const std::vector<std::uint32_t> flood = controlChanges(20000);
  for (std::uint32_t m : flood) ASSERT_EQ(service->sendShort(out, m), kMidiOk);
  EXPECT_GT(service->pendingMessages(), OutputQueue::kDefaultCapacity) << "the sender waited for room";
  ASSERT_EQ(service->closeOut(out), kMidiOk);
  ASSERT_TRUE(synth->waitFor(flood.size(), 60s)) << "only " << synth->count() << " arrived";
  synth->settle();
  EXPECT_EQ(firstDifference(synth->messages(), flood), "");
  EXPECT_TRUE(allSent(5s));
}

// ---- Closing ---------------------------------------------------------------------------------

// A close right behind a burst, ten times over: the close finds the last messages on their way
// (in JACK, in the port's buffer of the current cycle). None may come twice.
TEST_P(MidiContract, BurstThenCloseTenTimesDeliversEachMessageOnce) {
  auto synth = backend->instrument(0);
  std::vector<std::uint32_t> expected;
  for (int round = 0; round < 10; ++round) {
    MidiHandle h = kNoMidiHandle;
    ASSERT_EQ(service->openOut(outputOf(synth->portName()), h), kMidiOk);
    const std::vector<std::uint32_t> burst = controlChanges(200, round * 200);
    for (std::uint32_t m : burst) ASSERT_EQ(service->sendShort(h, m), kMidiOk);
    expected.insert(expected.end(), burst.begin(), burst.end());
    ASSERT_EQ(service->closeOut(h), kMidiOk);
  }
  ASSERT_TRUE(synth->waitFor(expected.size(), 30s)) << firstDifference(synth->messages(), expected);
  synth->settle();
  EXPECT_EQ(firstDifference(synth->messages(), expected), "");
  EXPECT_TRUE(allSent(5s));
}

// Closing stops taking messages but does not wait for the queue: what is queued goes out in the
// background, and a new opening of the same port sends only after it.
TEST_P(MidiContract, CloseReturnsWithTheQueueStillGoingOutAndAReopenSendsAfterIt) {
  auto synth = backend->instrument(0);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  openOutput(link, *synth);
  const MidiHandle first = link.state().MidiOutHandle;
  std::vector<std::uint32_t> expected = controlChanges(4000);  // about 3.8 s on the wire
  for (std::uint32_t m : expected) link.sendRaw(m);
  link.SwitchMidiOut("close");
  const std::size_t left = service->pendingMessages();
  EXPECT_GT(left, 2000u) << "the close waited for the queue";
  EXPECT_NE(service->sendShort(first, controlChange(0, 1, 1)), kMidiOk) << "a closed output took a message";

  openOutput(link, *synth);
  EXPECT_NE(link.state().MidiOutHandle, first);
  link.SendPanic();
  const std::vector<std::uint32_t> sweep = panicSweep();
  expected.insert(expected.end(), sweep.begin(), sweep.end());
  EXPECT_GE(service->pendingMessages(), left) << "the closed output's messages no longer count";
  link.SwitchMidiOut("close");
  ASSERT_TRUE(synth->waitFor(expected.size(), 60s)) << firstDifference(synth->messages(), expected);
  synth->settle();
  EXPECT_EQ(firstDifference(synth->messages(), expected), "");
  EXPECT_TRUE(allSent(5s));
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

TEST_P(MidiContract, AnotherPortOpenedMeanwhileGetsOnlyItsOwnMessages) {
  auto a = backend->instrument(0);
  auto b = backend->instrument(1);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  openOutput(link, *a);
  const std::vector<std::uint32_t> forA = controlChanges(2000);
  for (std::uint32_t m : forA) link.sendRaw(m);
  link.SwitchMidiOut("close");
  openOutput(link, *b);
  // Less than a sequencer client's input holds: a burst beyond it is the receiver's loss.
  const std::vector<std::uint32_t> forB = controlChanges(50, 7000);
  for (std::uint32_t m : forB) link.sendRaw(m);
  link.SwitchMidiOut("close");
  ASSERT_TRUE(a->waitFor(forA.size(), 60s)) << "only " << a->count() << " arrived at the first port";
  ASSERT_TRUE(b->waitFor(forB.size(), 30s)) << "only " << b->count() << " arrived at the second port";
  EXPECT_TRUE(allSent(5s));
  a->settle();
  b->settle();
  EXPECT_EQ(firstDifference(a->messages(), forA), "") << "the first port";
  EXPECT_EQ(firstDifference(b->messages(), forB), "") << "the second port";
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

// The service ends with a closed output still sending: it drops the rest and does not wait.
TEST_P(MidiContract, TheServiceEndsAtOnceWithMessagesStillQueued) {
  auto synth = backend->instrument(0);
  MidiHandle h = kNoMidiHandle;
  ASSERT_EQ(service->openOut(outputOf(synth->portName()), h), kMidiOk);
  for (std::uint32_t m : controlChanges(16000)) ASSERT_EQ(service->sendShort(h, m), kMidiOk);
  ASSERT_EQ(service->closeOut(h), kMidiOk);
  auto ending = std::async(std::launch::async, [this] { service.reset(); });
  ASSERT_EQ(ending.wait_for(5s), std::future_status::ready) << "ending the service waits for the queue";
  // Waiting for the queue would have let all of it out: 15 s on the wire.
  EXPECT_LT(synth->count(), 16000u);
}

// ---- The thru --------------------------------------------------------------------------------

TEST_P(MidiContract, ThruCarriesTheKeyboardWhileOnAndNothingAfterItEnds) {
  struct End {
    const char* what;
    void (*end)(MidiLink&, std::unique_ptr<MidiService>&);
  };
  const End ends[] = {
      {"thru closed", [](MidiLink& l, std::unique_ptr<MidiService>&) { l.SwitchMidiThru("close"); }},
      // The settings dialog's load: the output first, so the thru close skips its disconnect.
      {"output, then thru closed",
       [](MidiLink& l, std::unique_ptr<MidiService>&) {
         l.SwitchMidiOut("close");
         l.SwitchMidiThru("close");
       }},
      // The program ends without closing anything.
      {"service ended", [](MidiLink&, std::unique_ptr<MidiService>& s) { s.reset(); }},
  };
  auto synth = backend->instrument(0);
  auto keys = backend->keyboard();
  for (const End& e : ends) {
    SCOPED_TRACE(e.what);
    if (!service) service = backend->openService("RotavoxContract");
    ASSERT_NE(service, nullptr);
    const std::size_t before = synth->count();
    RecordingPresenter boxes;
    MidiLink link(*service, boxes);
    link.state().MidiInDevice = inputOf(keys->portName());
    ASSERT_GE(link.state().MidiInDevice, 0) << keys->portName() << " is not in the input list";
    openOutput(link, *synth);
    link.SwitchMidiThru("open");
    ASSERT_TRUE(boxes.texts().empty()) << boxes.texts().front();

    const std::vector<std::uint32_t> chord = {noteOn(0, 60, 100), noteOn(0, 64, 100), noteOn(0, 67, 100)};
    ASSERT_TRUE(keys->play(chord));
    ASSERT_TRUE(synth->waitFor(before + 3, 5s)) << "the keyboard did not reach the instrument";
    EXPECT_EQ(from(synth->messages(), before), chord);

    e.end(link, service);
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    ASSERT_TRUE(keys->play({noteOn(0, 72, 100)}));
    synth->settle(500ms);
    EXPECT_EQ(from(synth->messages(), before), chord) << "the keyboard still reaches the instrument";
    if (service) link.SwitchMidiOut("close");  // a sequencer client has one output at a time
  }
}

// The main window's unload closes only the output and leaves the thru's input to the system:
// the keyboard goes on reaching the instrument (another window keeps the program running)
// until the settings dialog's next load closes the thru.
TEST_P(MidiContract, ClosingTheOutputAloneLeavesTheThruCarryingUntilTheThruCloses) {
  auto synth = backend->instrument(0);
  auto keys = backend->keyboard();
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  link.state().MidiInDevice = inputOf(keys->portName());
  openOutput(link, *synth);
  link.SwitchMidiThru("open");
  ASSERT_TRUE(boxes.texts().empty()) << boxes.texts().front();

  link.SwitchMidiOut("close");
  ASSERT_TRUE(keys->play({noteOn(0, 60, 100)}));
  EXPECT_TRUE(synth->waitFor(1, 5s)) << "closing the output ended the thru";
  link.SwitchMidiThru("close");
  ASSERT_TRUE(keys->play({noteOn(0, 62, 100)}));
  synth->settle(500ms);
  EXPECT_EQ(synth->messages(), std::vector<std::uint32_t>{noteOn(0, 60, 100)});
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

TEST_P(MidiContract, AConnectionMadeOutsideOutlivesTheThruThatUsedIt) {
  auto synth = backend->instrument(0);
  auto keys = backend->keyboard();
  ASSERT_TRUE(backend->connectOutside(*keys, *synth, false));
  struct Undo {
    Backend& backend;
    Keyboard& keys;
    Instrument& synth;
    ~Undo() { backend.connectOutside(keys, synth, true); }
  } undo{*backend, *keys, *synth};

  std::size_t expected = 0;
  const auto stillCarries = [&](int note) {
    if (!keys->play({noteOn(0, note, 1)})) return false;
    ++expected;
    return synth->waitFor(expected, 5s) && synth->messages().at(expected - 1) == noteOn(0, note, 1);
  };
  {
    RecordingPresenter boxes;
    MidiLink link(*service, boxes);
    link.state().MidiInDevice = inputOf(keys->portName());
    openOutput(link, *synth);
    link.SwitchMidiThru("open");
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    EXPECT_TRUE(stillCarries(40)) << "the connection does not carry with the thru on";
    link.SwitchMidiThru("close");
    EXPECT_TRUE(stillCarries(41)) << "closing the thru removed the connection made outside";
    link.SwitchMidiThru("open");
    link.SwitchMidiOut("close");
    link.SwitchMidiThru("close");
    EXPECT_TRUE(stillCarries(42)) << "the dialog's close removed the connection made outside";
    link.SwitchMidiThru("open");  // opens the output first
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  }
  service.reset();
  EXPECT_TRUE(stillCarries(43)) << "the program's end removed the connection made outside";
  synth->settle();
  EXPECT_EQ(synth->count(), expected) << "a note arrived twice: the thru doubled the connection";
}

// ---- A port that goes away -------------------------------------------------------------------

TEST_P(MidiContract, APortWhoseProgramQuitCannotBeOpenedAndSaysSo) {
  auto leaving = backend->instrument(1);
  const std::string name = leaving->portName();
  const int device = outputOf(name);
  ASSERT_GE(device, 0) << name << " is not in the output list";
  leaving->quit();
  MidiHandle out = kNoMidiHandle;
  const MidiResult r = service->openOut(device, out);
  EXPECT_NE(r, kMidiOk);
  EXPECT_TRUE(backend->saysPortGone(service->outErrorText(r), name));
}

TEST_P(MidiContract, AnOutputWhoseProgramQuitsTakesNothingMoreNeverBlocksAndOpensAgainOnceItIsBack) {
  auto synth = backend->instrument(1);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  openOutput(link, *synth);
  for (std::uint32_t m : controlChanges(12000)) link.sendRaw(m);  // more than ten seconds on the wire
  EXPECT_GT(service->pendingMessages(), 0u);
  synth->quit();

  // Far more than the queue holds: with the port gone none of it may wait.
  const MidiHandle out = link.state().MidiOutHandle;
  auto flood = std::async(std::launch::async, [&] {
    MidiResult last = kMidiOk;
    for (int i = 0; i < 40000; ++i) last = service->sendShort(out, noteOn(0, i % 127 + 1, 0));
    return last;
  });
  ASSERT_EQ(flood.wait_for(30s), std::future_status::ready) << "sending to the gone port blocks";
  EXPECT_EQ(flood.get(), backend->portGoneResult());
  EXPECT_EQ(service->pendingMessages(), 0u) << "the gone port's messages are still queued";
  auto closing = std::async(std::launch::async, [&] { link.SwitchMidiOut("close"); });
  ASSERT_EQ(closing.wait_for(20s), std::future_status::ready) << "closing the gone output hangs";
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();

  // The program starts again under the same name: listed anew, it opens and plays.
  const std::size_t before = synth->count();
  ASSERT_TRUE(synth->startAgain());
  openOutput(link, *synth);
  link.SendControlChange(7, "100");
  ASSERT_TRUE(synth->waitFor(before + 1, 5s)) << "the program started again does not play";
  EXPECT_EQ(from(synth->messages(), before), std::vector<std::uint32_t>{controlChange(0, 7, 100)});
  link.SwitchMidiOut("close");
}

}  // namespace
}  // namespace rotavox::contract
