// Timing of the JACK MIDI service against a real JACK server (dummy driver, 256 frames at
// 48 kHz): the latency of one Control Change, the Panic sweep's delivery time and the
// program's own CPU time for handing it over, 10 000 messages handed over at once, and
// 16 000 queued messages through a close, a reopening and a Panic.
// Uses the server that JACK_DEFAULT_SERVER names, or starts (and stops) one of its own.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchJack.h"
#include "core/common/MessagePresenter.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "platform/midi/jack/JackService.h"

namespace {

using namespace rotavox;
using jacktest::Clock;
using jacktest::Receiver;

class NoBoxes : public MessagePresenter {
 public:
  int shown = 0;
  MessageAnswer show(const std::string& text, const std::string&, MessageIcon, MessageButtons) override {
    ++shown;
    std::printf("  error box: %s\n", text.c_str());
    return MessageAnswer::Ok;
  }
};

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int findOutput(MidiService& s, const std::string& name) {
  const unsigned n = s.outDeviceCount();
  for (unsigned i = 0; i < n; ++i) {
    MidiOutCaps caps;
    if (s.outCaps(static_cast<int>(i), caps) == kMidiOk && caps.name == name) return static_cast<int>(i);
  }
  return -1;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

// Whether the events from `from` on are exactly the expected messages, in order.
bool sameInOrder(const std::vector<Receiver::Event>& got, const std::vector<std::uint32_t>& expected) {
  if (got.size() != expected.size()) return false;
  for (std::size_t i = 0; i < got.size(); ++i)
    if (got[i].shortMessage() != expected[i]) return false;
  return true;
}

bool latency(JackService& service, Receiver& rx, int device) {
  MidiHandle out = kNoMidiHandle;
  if (service.openOut(device, out) != kMidiOk) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const double periodMs = 1000.0 * rx.period() / rx.sampleRate();
  constexpr int kTrials = 300;  // 900 bytes: all within the burst, so pacing adds nothing
  std::vector<double> samples;
  std::size_t base = rx.count();
  for (int i = 0; i < kTrials; ++i) {
    // Spread the hand-over over the period, so every phase of the cycle is measured.
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + (i * 379) % 5333));
    const std::uint32_t message = controlChange(0, 74, i % 128);
    const Clock::time_point sent = Clock::now();
    service.sendShort(out, message);
    if (!rx.waitFor(base + 1, std::chrono::seconds(2))) {
      std::printf("  Control Change %d never arrived\n", i);
      return false;
    }
    const Receiver::Event e = rx.events(base)[0];
    if (e.shortMessage() != message) std::printf("  wrong message at %d\n", i);
    samples.push_back(ms(e.arrived - sent));
    ++base;
  }
  service.closeOut(out);
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  const double p99 = samples[samples.size() * 99 / 100];
  const double worst = samples.back();
  const double goal = periodMs + 1.0;
  std::printf("Latency of one Control Change, service to receiver (%d samples)\n", kTrials);
  std::printf("  median %.3f ms, 99th percentile %.3f ms, worst %.3f ms\n", median, p99, worst);
  std::printf("  goal: within one period + 1 ms = %.3f ms: %s (worst), %s (99th percentile)\n", goal,
              verdict(worst <= goal), verdict(p99 <= goal));
  return true;
}

// Opens the link's output on this device, on MIDI channel 1, as the settings dialog does.
bool openOnChannel1(MidiLink& link, int device) {
  link.state().MidiOutDevice = device;
  link.state().MidiChannel = 0;
  link.SwitchMidiOut("open");
  return link.state().MidiOutHandle != kNoMidiHandle;
}

bool panic(JackService& service, Receiver& rx, int device) {
  NoBoxes boxes;
  MidiLink link(service, boxes);
  if (!openOnChannel1(link, device)) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::size_t base = rx.count();

  const Clock::time_point wallStart = Clock::now();
  const double cpuStart = threadCpuSeconds();
  link.SendPanic();
  const double cpu = threadCpuSeconds() - cpuStart;
  const Clock::time_point handedOver = Clock::now();

  const bool complete = rx.waitFor(base + 2032, std::chrono::seconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::vector<Receiver::Event> got = rx.events(base);
  std::vector<std::uint32_t> expected;
  for (int pass = 0; pass < 16; ++pass)
    for (int note = 1; note <= 127; ++note) expected.push_back(noteOn(0, note, 0));
  const bool inOrder = sameInOrder(got, expected);
  const double ideal = (2032 * 3 - 1024) / 3125.0;
  std::printf("Panic sweep (2032 Note On, velocity 0) through MidiLink::SendPanic\n");
  std::printf("  handed over in %.3f ms CPU (%.3f ms wall); goal < 5 ms CPU: %s\n", cpu * 1000.0,
              ms(handedOver - wallStart), verdict(cpu < 0.005));
  if (!got.empty()) {
    const double delivery = static_cast<double>(got.back().frame - got.front().frame) / rx.sampleRate();
    const double deviation = 100.0 * (delivery - ideal) / ideal;
    std::printf("  first to last message at the receiver: %.4f s (wire rate: %.4f s, %+.2f %%); goal within 5 %%: %s\n",
                delivery, ideal, deviation, verdict(std::abs(deviation) <= 5.0));
    std::printf("  hand-over to last arrival: %.4f s\n", std::chrono::duration<double>(got.back().arrived - wallStart).count());
  }
  std::printf("  received %zu of 2032, %s, %zu lost: %s\n", got.size(), inOrder ? "in order" : "NOT in order",
              got.size() < 2032 ? 2032 - got.size() : 0, verdict(complete && inOrder));
  link.SwitchMidiOut("close");
  return true;
}

bool flood(JackService& service, Receiver& rx, int device) {
  MidiHandle out = kNoMidiHandle;
  if (service.openOut(device, out) != kMidiOk) return false;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::size_t base = rx.count();
  constexpr int kCount = 10000;
  std::vector<std::uint32_t> expected;
  for (int i = 0; i < kCount; ++i) expected.push_back(controlChange(i % 16, (i / 16) % 120, i % 128));

  const Clock::time_point start = Clock::now();
  const double cpuStart = threadCpuSeconds();
  int refused = 0;
  for (std::uint32_t m : expected) refused += service.sendShort(out, m) != kMidiOk;
  const double cpu = threadCpuSeconds() - cpuStart;
  const Clock::time_point handedOver = Clock::now();
  const double ideal = (kCount * 3 - 1024) / 3125.0;
  const bool complete = rx.waitFor(base + kCount, std::chrono::seconds(static_cast<int>(ideal) + 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::vector<Receiver::Event> got = rx.events(base);
  const bool inOrder = sameInOrder(got, expected);
  std::printf("10 000 Control Changes handed over as fast as possible\n");
  std::printf("  handed over in %.3f ms CPU (%.3f ms wall), %d refused\n", cpu * 1000.0, ms(handedOver - start), refused);
  if (!got.empty())
    std::printf("  first to last message at the receiver: %.3f s (wire rate: %.3f s)\n",
                static_cast<double>(got.back().frame - got.front().frame) / rx.sampleRate(), ideal);
  std::printf("  received %zu of %d, %s: %s\n", got.size(), kCount, inOrder ? "all in order" : "NOT in order",
              verdict(complete && inOrder && refused == 0));
  // Where messages went missing: JACK drops a cycle's events when a client is not finished
  // in time (the server's log then shows an xrun).
  int shown = 0;
  std::size_t j = 0;
  for (std::size_t i = 0; i < expected.size() && j < got.size() && shown < 10; ++i) {
    if (got[j].shortMessage() == expected[i]) {
      ++j;
    } else {
      std::printf("  message %zu missing (before frame %llu)\n", i, static_cast<unsigned long long>(got[j].frame));
      ++shown;
    }
  }
  service.closeOut(out);
  return true;
}

// 16 000 messages queued, the output closed (the settings dialog), opened again on the same
// port and a Panic sent: the receiver must get the 16 000, then the 2032, each exactly once
// and in order, and neither the close nor the opening may hold the program.
bool closeReopenPanic(JackService& service, Receiver& rx, int device) {
  NoBoxes boxes;
  MidiLink link(service, boxes);
  if (!openOnChannel1(link, device)) return false;
  const std::string own = service.ownPortName(link.state().MidiOutHandle);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::size_t base = rx.count();
  constexpr int kQueued = 16000;
  std::vector<std::uint32_t> expected;
  for (int i = 0; i < kQueued; ++i) expected.push_back(controlChange(i % 16, (i / 16) % 120, i % 128));

  const Clock::time_point start = Clock::now();
  for (std::uint32_t m : expected) link.sendRaw(m);
  const Clock::time_point queued = Clock::now();
  link.SwitchMidiOut("close");
  const Clock::time_point closed = Clock::now();
  const std::size_t pendingAfterClose = service.pendingMessages();
  link.SwitchMidiOut("open");
  const Clock::time_point reopened = Clock::now();
  link.SendPanic();
  const Clock::time_point panicked = Clock::now();
  for (int pass = 0; pass < 16; ++pass)
    for (int note = 1; note <= 127; ++note) expected.push_back(noteOn(0, note, 0));

  const double ideal = (static_cast<double>(expected.size()) * 3 - 1024) / 3125.0;
  const bool complete = rx.waitFor(base + expected.size(), std::chrono::seconds(static_cast<int>(ideal) + 15));
  const Clock::time_point arrived = Clock::now();
  link.SwitchMidiOut("close");
  // Settled: nothing left to send and the closed output's port gone; then a while longer, so
  // that a copy sent late would be seen.
  const Clock::time_point settleEnd = Clock::now() + std::chrono::seconds(10);
  while ((service.pendingMessages() > 0 || jack_port_by_name(rx.client(), own.c_str()) != nullptr) &&
         Clock::now() < settleEnd)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::vector<Receiver::Event> got = rx.events(base);
  const bool inOrder = sameInOrder(got, expected);
  const long extra = static_cast<long>(got.size()) - static_cast<long>(expected.size());

  std::printf("16 000 queued, close, reopen, Panic (2032) on the same port\n");
  std::printf("  16 000 sends %.3f ms, close %.3f ms (%zu still queued), reopen %.3f ms, Panic %.3f ms\n",
              ms(queued - start), ms(closed - queued), pendingAfterClose, ms(reopened - closed),
              ms(panicked - reopened));
  std::printf("  goal: close and reopen each under 100 ms, whatever is queued: %s\n",
              verdict(ms(closed - queued) < 100.0 && ms(reopened - closed) < 100.0));
  std::printf("  all 18 032 arrived after %.3f s (wire rate: %.3f s)\n",
              std::chrono::duration<double>(arrived - start).count(), ideal);
  std::printf("  received %zu of %zu (%ld extra), %s: %s\n", got.size(), expected.size(), extra > 0 ? extra : 0L,
              inOrder ? "each once, in order" : "NOT each once in order", verdict(complete && inOrder));
  return true;
}

}  // namespace

int main() {
  std::unique_ptr<jacktest::PrivateServer> ownServer;
  if (!reachOrStartJackServer("rotavox-bench", ownServer)) return 1;
  int status = 0;
  {
    Receiver rx("rv-bench-receiver");
    std::unique_ptr<JackService> service = JackService::open("RotavoxBench");
    if (!rx.ok() || !service) {
      std::fprintf(stderr, "Could not open the JACK clients.\n");
      return 1;
    }
    std::printf("JACK: %u frames at %.0f Hz, one period = %.3f ms\n\n", rx.period(), rx.sampleRate(),
                1000.0 * rx.period() / rx.sampleRate());
    const int device = findOutput(*service, rx.portName());
    if (device < 0 || !latency(*service, rx, device) || !panic(*service, rx, device) || !flood(*service, rx, device) ||
        !closeReopenPanic(*service, rx, device)) {
      std::fprintf(stderr, "Could not open the receiver's port.\n");
      status = 1;
    }
  }
  if (ownServer) ownServer->kill(SIGTERM);
  return status;
}
