#pragma once

// The real-time side of the JACK client: JACK calls process() once a cycle on its real-time
// thread. Everything here that runs there keeps three rules: no lock, no allocation, no call
// that can block (no log either). It reads the output slots and atomics below and the ring of
// each output's queue, nothing else; an output is freed only after its slot was emptied and
// every pass begun until then has ended, so the callback never sees a freed one.
//
// While the program follows a port, the callback also reads the events of the client's own
// input port and hands each channel message to the receiver through `received()`, a slot that
// neither locks nor allocates; the program's side takes the receiver away through the same slot.

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/midi/ReceiverSlot.h"
#include "platform/midi/jack/JackOutput.h"
#include "platform/midi/jack/JackRules.h"

namespace rotavox {

class JackProcess {
 public:
  static constexpr std::size_t kSlots = jackrules::kMaxOutputs;

  JackProcess(jack_client_t* client, jack_nframes_t sampleRate);
  JackProcess(const JackProcess&) = delete;
  JackProcess& operator=(const JackProcess&) = delete;

  // Registers the callbacks below with the client (before it is activated).
  void registerWith(jack_client_t* client);

  // ---- Outside the real-time thread (the JACK thread, under the client's lock) ------------

  // A slot that holds no output, or nothing when all are taken.
  std::optional<std::size_t> freeSlot() const;
  // From here on the callback drains `out` in every cycle.
  void fill(std::size_t slot, JackOutput* out) { slots_[slot].store(out, std::memory_order_seq_cst); }
  void empty(std::size_t slot) { slots_[slot].store(nullptr, std::memory_order_seq_cst); }
  // Passes of the callback begun (also the number of the current cycle) and ended.
  std::uint64_t passesBegun() const { return passesBegun_.load(std::memory_order_seq_cst); }
  std::uint64_t passesEnded() const { return passesEnded_.load(std::memory_order_seq_cst); }
  // Returns once `passes` passes have ended, or false after `limit`.
  bool waitEnded(std::uint64_t passes, std::chrono::milliseconds limit) const;

  // From here on the callback reads the events of `port`, the client's own input port, into
  // received().
  void listen(jack_port_t* port) { input_.store(port, std::memory_order_seq_cst); }
  // From the next pass on the callback reads no input port. Returns once the pass that might
  // still read it has ended (false when that took longer than `limit`), so that the port can go.
  bool stopListening(std::chrono::milliseconds limit);
  // Where the messages read from the input port go.
  ReceiverSlot& received() { return received_; }

 private:
  // ---- JACK's threads ---------------------------------------------------------------------
  static int process(jack_nframes_t nframes, void* arg);
  static int sampleRateChanged(jack_nframes_t rate, void* arg);
  static void drain(JackOutput& out, jack_nframes_t nframes, std::uint64_t cycle, std::uint64_t cycleStart,
                    double rate);
  static void read(jack_port_t* port, jack_nframes_t nframes, ReceiverSlot& to, double rate);

  jack_client_t* const client_;
  std::atomic<jack_nframes_t> sampleRate_;
  std::array<std::atomic<JackOutput*>, kSlots> slots_{};
  std::atomic<std::uint64_t> passesBegun_{0};
  std::atomic<std::uint64_t> passesEnded_{0};
  std::atomic<jack_port_t*> input_{nullptr};
  ReceiverSlot received_;
  // The process thread's own clock: frames since the server started, without the wrap of the
  // 32-bit frame time.
  bool clockRunning_ = false;
  jack_nframes_t lastFrameTime_ = 0;
  std::uint64_t frames_ = 0;
};

}  // namespace rotavox
