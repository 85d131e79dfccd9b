// The sequencer service against the real sequencer where there is one; where there is none
// (no /dev/snd), the program must go on without it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/midi/ServiceChoice.h"

#if ROTAVOX_HAVE_ALSA
#include "platform/midi/alsa/AlsaSeqRules.h"
#include "platform/midi/alsa/AlsaSeqService.h"
#endif

namespace rotavox {
namespace {

bool sequencerDeviceOpens() {
  const int fd = ::open("/dev/snd/seq", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

TEST(AlsaSeqServiceChoice, WithoutASequencerTheProgramGoesOnWithJackOrNoPorts) {
  if (sequencerDeviceOpens()) GTEST_SKIP() << "this machine has an ALSA sequencer";
#if ROTAVOX_HAVE_ALSA
  EXPECT_EQ(tryOpenAlsaSeqService(), nullptr);
  EXPECT_EQ(tryOpenAlsaSeqService("Rotavox test"), nullptr);  // and again: nothing left half open
#endif
  const std::unique_ptr<MidiService> service = openSystemMidiService();
  ASSERT_NE(service, nullptr);
  EXPECT_NE(service->systemName(), "ALSA sequencer");
  // The settings dialog's first calls work on whatever service was chosen.
  service->outDeviceCount();
  MidiOutCaps mapper;
  EXPECT_EQ(service->outCaps(kMidiMapperDevice, mapper), kMidiOk);
  EXPECT_EQ(mapper.technology, kTechMapper);
}

#if ROTAVOX_HAVE_ALSA
// Runs only where /dev/snd/seq opens (a desktop, not this build machine).
TEST(AlsaSeqServiceLive, OwnPortListsLastAndTakesMessages) {
  if (!sequencerDeviceOpens()) GTEST_SKIP() << "no ALSA sequencer here";
  const std::unique_ptr<MidiService> service = tryOpenAlsaSeqService("Rotavox test");
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->systemName(), "ALSA sequencer");

  const unsigned n = service->outDeviceCount();
  for (unsigned i = 0; i < n; ++i) {
    MidiOutCaps caps;
    EXPECT_EQ(service->outCaps(static_cast<int>(i), caps), kMidiOk);
    EXPECT_FALSE(caps.name.empty());
    EXPECT_NE(caps.name, "Rotavox test virtual out") << "own port listed as device " << i;
  }
  MidiOutCaps own;
  ASSERT_EQ(service->outCaps(static_cast<int>(n), own), kMidiOk);
  EXPECT_EQ(own.name, "Rotavox test virtual out");
  EXPECT_EQ(own.technology, kTechMapper);
  MidiOutCaps mapper;
  ASSERT_EQ(service->outCaps(kMidiMapperDevice, mapper), kMidiOk);
  EXPECT_EQ(mapper.name, own.name);
  MidiOutCaps none;
  EXPECT_EQ(service->outCaps(static_cast<int>(n) + 1, none), alsaseq::kNoSuchPort);

  // The own port alone: nobody needs to listen for the messages to go out.
  MidiHandle out = kNoMidiHandle;
  ASSERT_EQ(service->openOut(static_cast<int>(n), out), kMidiOk);
  MidiHandle second = kNoMidiHandle;
  EXPECT_EQ(service->openOut(static_cast<int>(n), second), alsaseq::kAlreadyOpen);
  for (int note = 1; note <= 127; ++note) EXPECT_EQ(service->sendShort(out, 0x90 + 256u * note), kMidiOk);
  EXPECT_EQ(service->sendShort(out + 100, 0x3C90), alsaseq::kBadHandle);

  // The thru cannot lead into the program's own port; with no input chosen it does not open.
  MidiHandle in = kNoMidiHandle;
  EXPECT_EQ(service->openIn(-1, in), alsaseq::kNoPortChosen);
  if (service->inDeviceCount() > 0) {
    ASSERT_EQ(service->openIn(0, in), kMidiOk);
    EXPECT_EQ(service->connect(in, out), alsaseq::kThruToOwnPort);
    EXPECT_EQ(service->closeIn(in), kMidiOk);
  }
  EXPECT_EQ(service->closeOut(out), kMidiOk);
  EXPECT_EQ(service->closeOut(out), alsaseq::kBadHandle);
  EXPECT_EQ(service->sendShort(out, 0x3C90), alsaseq::kBadHandle);
}
#endif

}  // namespace
}  // namespace rotavox
