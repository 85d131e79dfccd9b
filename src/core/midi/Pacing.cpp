#include "core/midi/Pacing.h"

#include <algorithm>

namespace rotavox {

double WirePacer::tokensAt(double t) const {
  if (last_ < 0.0) return kBurstBytes;
  return std::min(kBurstBytes, tokens_ + (t - last_) * kWireBytesPerSecond);
}

double WirePacer::earliest(double now, int bytes) const {
  const double t = std::max(now, last_);
  const double have = tokensAt(t);
  if (have >= bytes) return t;
  return t + (bytes - have) / kWireBytesPerSecond;
}

void WirePacer::commit(double t, int bytes) {
  tokens_ = tokensAt(t) - bytes;
  last_ = t;
}

void WirePacer::reset() {
  tokens_ = kBurstBytes;
  last_ = -1.0;
}

}  // namespace rotavox
