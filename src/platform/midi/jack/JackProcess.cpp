#include "platform/midi/jack/JackProcess.h"

#include <jack/midiport.h>

#include <algorithm>
#include <thread>

#include "platform/midi/ReceiveQueue.h"

namespace rotavox {

using jackrules::channelMessageOf;
using jackrules::frameInCycle;

JackProcess::JackProcess(jack_client_t* client, jack_nframes_t sampleRate) : client_(client), sampleRate_(sampleRate) {}

void JackProcess::registerWith(jack_client_t* client) {
  jack_set_process_callback(client, &JackProcess::process, this);
  jack_set_sample_rate_callback(client, &JackProcess::sampleRateChanged, this);
}

std::optional<std::size_t> JackProcess::freeSlot() const {
  for (std::size_t slot = 0; slot < kSlots; ++slot)
    if (slots_[slot].load() == nullptr) return slot;
  return std::nullopt;
}

bool JackProcess::stopListening(std::chrono::milliseconds limit) {
  input_.store(nullptr, std::memory_order_seq_cst);
  // A pass that still saw the port began before this look; every later one sees none.
  return waitEnded(passesBegun(), limit);
}

bool JackProcess::waitEnded(std::uint64_t passes, std::chrono::milliseconds limit) const {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (passesEnded() < passes) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

int JackProcess::sampleRateChanged(jack_nframes_t rate, void* arg) {
  if (rate > 0) static_cast<JackProcess*>(arg)->sampleRate_.store(rate, std::memory_order_relaxed);
  return 0;
}

int JackProcess::process(jack_nframes_t nframes, void* arg) {
  JackProcess& self = *static_cast<JackProcess*>(arg);
  const std::uint64_t cycle = self.passesBegun_.fetch_add(1, std::memory_order_seq_cst) + 1;
  const jack_nframes_t frameTime = jack_last_frame_time(self.client_);
  if (!self.clockRunning_) {
    self.frames_ = frameTime;
    self.clockRunning_ = true;
  } else {
    self.frames_ += static_cast<jack_nframes_t>(frameTime - self.lastFrameTime_);
  }
  self.lastFrameTime_ = frameTime;
  const double rate = self.sampleRate_.load(std::memory_order_relaxed);
  if (jack_port_t* input = self.input_.load(std::memory_order_seq_cst)) read(input, nframes, self.received_, rate);
  for (std::atomic<JackOutput*>& slot : self.slots_) {
    JackOutput* out = slot.load(std::memory_order_seq_cst);
    if (out != nullptr) drain(*out, nframes, cycle, self.frames_, rate);
  }
  self.passesEnded_.fetch_add(1, std::memory_order_seq_cst);
  return 0;
}

// Moves queued messages into the output's port buffer, each at the frame the wire pacer
// allows; what falls beyond this cycle, or does not fit the buffer, waits for the next. The
// buffer is cleared in every cycle, with or without messages: JACK hands a connected port's
// buffer to the receiver each cycle as it stands.
void JackProcess::drain(JackOutput& out, jack_nframes_t nframes, std::uint64_t cycle, std::uint64_t cycleStart,
                        double rate) {
  void* buffer = jack_port_get_buffer(out.port, nframes);
  if (buffer == nullptr) return;
  jack_midi_clear_buffer(buffer);
  if (cycle < out.firstCycle) return;
  const double start = static_cast<double>(cycleStart);
  std::uint32_t message = 0;
  int bytes = 0;
  double due = 0.0;
  while (out.paced.peek(start / rate, message, bytes, due)) {
    const double offset = frameInCycle(due, start, rate);
    if (offset >= nframes) break;
    if (jack_midi_max_event_size(buffer) < static_cast<std::size_t>(bytes)) break;
    if (!out.paced.take((start + offset) / rate)) continue;  // discarded meanwhile
    const auto frame = static_cast<jack_nframes_t>(offset);
    jack_midi_data_t* data = jack_midi_event_reserve(buffer, frame, static_cast<std::size_t>(bytes));
    if (data == nullptr) break;
    for (int i = 0; i < bytes; ++i) data[i] = static_cast<jack_midi_data_t>((message >> (8 * i)) & 0xFF);
  }
}

// Hands the channel messages among this cycle's input events to the receiver, in order; the
// rest (SysEx, clock, active sensing ...) costs one look at its first byte. The buffer holds
// what came during the period that has just ended, so an event's arrival is the time now less
// the frames after it.
void JackProcess::read(jack_port_t* port, jack_nframes_t nframes, ReceiverSlot& to, double rate) {
  void* buffer = jack_port_get_buffer(port, nframes);
  if (buffer == nullptr) return;
  const jack_nframes_t count = jack_midi_get_event_count(buffer);
  if (count == 0) return;
  const std::int64_t now = receiveClockNow();
  const double nanosPerFrame = 1e9 / rate;
  for (jack_nframes_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    const std::uint32_t message = channelMessageOf(event.buffer, event.size);
    if (message == 0) continue;
    const jack_nframes_t after = nframes - std::min(event.time, nframes);
    to.deliver(message, now - static_cast<std::int64_t>(after * nanosPerFrame));
  }
}

}  // namespace rotavox
