#pragma once

#include <cstdint>

namespace rotavox {

// Keeps the output at the rate a MIDI DIN wire carries, so that the small buffer of a USB
// interface never overflows: a burst of up to kBurstBytes goes out at once, after that no
// more than kWireBytesPerSecond. A token bucket measured in bytes; times in seconds.
class WirePacer {
 public:
  static constexpr double kWireBytesPerSecond = 3125.0;
  static constexpr double kBurstBytes = 1024.0;

  // The earliest time, not before now, at which a message of this many bytes may go out.
  double earliest(double now, int bytes) const;
  // Records that a message of this many bytes went out at time t (t >= the last send).
  void commit(double t, int bytes);
  // Forgets the history: the full burst is available again.
  void reset();

 private:
  double tokens_ = kBurstBytes;  // bytes allowed at time last_
  double last_ = -1.0;           // time of the last commit; < 0 before the first
  double tokensAt(double t) const;
};

}  // namespace rotavox
