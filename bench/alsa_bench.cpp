// Timing of the ALSA sequencer service against a live kernel sequencer with a virtual MIDI
// card (scripts/test-alsa runs it in a virtual machine): the latency of one Control Change from
// its hand-over to its bytes on /dev/snd/midiC0D0, and how the Panic sweep reaches the wire
// compared with the pacing rule. Prints its figures; asserts nothing.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#if ROTAVOX_HAVE_ALSA
#include "alsa/AlsaVmSupport.h"
#include "core/midi/MidiLink.h"
#include "core/midi/Pacing.h"
#include "platform/midi/alsa/AlsaSeqService.h"

namespace {

using namespace rotavox;
using namespace rotavox::alsavm;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool latency(MidiService& service, int device) {
  RawMidiReader wire(rawMidiPath(0));
  MidiHandle out = kNoMidiHandle;
  if (!wire.ok() || service.openOut(device, out) != kMidiOk) return false;
  constexpr int kTrials = 300;  // 900 bytes: all within the burst, so pacing adds nothing
  std::vector<double> samples;
  for (int i = 0; i < kTrials; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + (i * 379) % 3000));
    const std::uint32_t message = controlChange(0, 74, i % 128);
    const Clock::time_point sent = Clock::now();
    service.sendShort(out, message);
    if (!wire.waitFor(static_cast<std::size_t>(i) + 1, std::chrono::seconds(2))) {
      std::printf("  Control Change %d never arrived\n", i);
      return false;
    }
    const RawMidiReader::Arrival a = wire.arrivals(static_cast<std::size_t>(i))[0];
    if (a.message != message) std::printf("  wrong message at %d\n", i);
    samples.push_back(ms(a.at - sent));
  }
  service.closeOut(out);
  std::sort(samples.begin(), samples.end());
  std::printf("Latency of one Control Change, hand-over to its bytes on midiC0D0 (%d samples)\n", kTrials);
  std::printf("  median %.3f ms, 90th percentile %.3f ms, 99th percentile %.3f ms, worst %.3f ms\n",
              samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples[samples.size() * 99 / 100],
              samples.back());
  std::printf("  (the reader polls in a thread of its own; figures include its wake-up)\n");
  return true;
}

bool panic(MidiService& service, int device) {
  RawMidiReader wire(rawMidiPath(0));
  RecordingPresenter boxes;
  MidiLink link(service, boxes);
  link.state().MidiOutDevice = device;
  link.state().MidiChannel = 0;
  link.SwitchMidiOut("open");
  if (!wire.ok() || link.state().MidiOutHandle == kNoMidiHandle) return false;

  const Clock::time_point start = Clock::now();
  link.SendPanic();
  const Clock::time_point handedOver = Clock::now();
  const std::vector<std::uint32_t> sweep = panicSweep(0);
  const bool complete = wire.waitFor(sweep.size(), std::chrono::seconds(30));
  wire.settle();
  const std::vector<RawMidiReader::Arrival> got = wire.arrivals();
  const bool inOrder = firstDifference(wire.messages(), sweep).empty();
  const double rule = (static_cast<double>(sweep.size()) * 3 - WirePacer::kBurstBytes) / WirePacer::kWireBytesPerSecond;
  std::printf("Panic sweep (2032 Note On, velocity 0) through MidiLink::SendPanic\n");
  std::printf("  handed over in %.3f ms\n", ms(handedOver - start));
  if (!got.empty()) {
    const double firstToLast = std::chrono::duration<double>(got.back().at - got.front().at).count();
    std::printf("  first to last message on midiC0D0: %.4f s; the pacing rule allows no less than %.4f s (%+.2f %%)\n",
                firstToLast, rule, 100.0 * (firstToLast - rule) / rule);
    std::printf("  hand-over to the last message: %.4f s\n", std::chrono::duration<double>(got.back().at - start).count());
    std::vector<double> seconds;
    for (const RawMidiReader::Arrival& a : got) seconds.push_back(std::chrono::duration<double>(a.at - got.front().at).count());
    std::printf("  worst run of messages ahead of the rule: %.4f s\n",
                contract::worstPacingShortfall(wire.messages(), seconds, WirePacer::kWireBytesPerSecond,
                                               WirePacer::kBurstBytes));
  }
  std::printf("  received %zu of %zu, %s%s\n", got.size(), sweep.size(), inOrder ? "in order" : "NOT in order",
              complete ? "" : ", INCOMPLETE");
  link.SwitchMidiOut("close");
  return true;
}

}  // namespace

int main() {
  if (!exists(kSequencerDevice) || !ensureCard()) {
    std::fprintf(stderr, "No ALSA sequencer with a virtual MIDI card here: scripts/test-alsa runs this benchmark.\n");
    return 1;
  }
  std::unique_ptr<MidiService> service = tryOpenAlsaSeqService("RotavoxBench");
  if (!service) {
    std::fprintf(stderr, "The sequencer did not open.\n");
    return 1;
  }
  const int device = findOutput(*service, virmidiPortName(0));
  if (device < 0 || !latency(*service, device) || !panic(*service, device)) {
    std::fprintf(stderr, "Could not open VirMIDI 0-0.\n");
    return 1;
  }
  return 0;
}

#else
int main() {
  std::fprintf(stderr, "Built without ALSA.\n");
  return 1;
}
#endif
