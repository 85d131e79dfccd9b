#pragma once

// The real-time side of the JACK client: JACK calls process() once a cycle on its real-time
// thread. Everything here that runs there keeps three rules: no lock, no allocation, no call
// that can block (no log either). It reads the output slots and atomics below and the ring of
// each output's queue, nothing else; an output is freed only after its slot was emptied and
// every pass begun until then has ended, so the callback never sees a freed one.
//
// An input port of the client's own would be read here too, into a ring that the program's
// side empties: the callback is the only place where JACK hands over a cycle's events.

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

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
  std::size_t slotsInUse() const;
  // From here on the callback drains `out` in every cycle.
  void fill(std::size_t slot, JackOutput* out) { slots_[slot].store(out, std::memory_order_seq_cst); }
  void empty(std::size_t slot) { slots_[slot].store(nullptr, std::memory_order_seq_cst); }
  // Passes of the callback begun (also the number of the current cycle) and ended.
  std::uint64_t passesBegun() const { return passesBegun_.load(std::memory_order_seq_cst); }
  std::uint64_t passesEnded() const { return passesEnded_.load(std::memory_order_seq_cst); }

 private:
  // ---- JACK's threads ---------------------------------------------------------------------
  static int process(jack_nframes_t nframes, void* arg);
  static int sampleRateChanged(jack_nframes_t rate, void* arg);
  static void drain(JackOutput& out, jack_nframes_t nframes, std::uint64_t cycle, std::uint64_t cycleStart,
                    double rate);

  jack_client_t* const client_;
  std::atomic<jack_nframes_t> sampleRate_;
  std::array<std::atomic<JackOutput*>, kSlots> slots_{};
  std::atomic<std::uint64_t> passesBegun_{0};
  std::atomic<std::uint64_t> passesEnded_{0};
  // The process thread's own clock: frames since the server started, without the wrap of the
  // 32-bit frame time.
  bool clockRunning_ = false;
  jack_nframes_t lastFrameTime_ = 0;
  std::uint64_t frames_ = 0;
};

}  // namespace rotavox
