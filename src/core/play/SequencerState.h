#pragma once

#include <array>
#include <cstdint>

namespace rotavox {

// The step sequencer's program-wide state; it lives for the whole run.
struct SequencerState {
  std::array<std::int16_t, 11> SeqPattern{};
  int SeqStep = 0;
  int SeqOctave = 0;
  std::int16_t SeqVelocity = 100;
  bool SeqRunning = false;
};

}  // namespace rotavox
