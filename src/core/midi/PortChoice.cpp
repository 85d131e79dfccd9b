#include "core/midi/PortChoice.h"

namespace rotavox {

int findRememberedPort(const RememberedPort& port, const std::vector<std::string>& identities, bool ownPortLast) {
  const int count = static_cast<int>(identities.size());
  if (port.ownPort) return ownPortLast && count > 0 ? count - 1 : -1;
  if (port.identity.empty()) return -1;
  const int searched = ownPortLast && count > 0 ? count - 1 : count;
  int found = -1;
  for (int i = 0; i < searched; ++i) {
    if (identities[static_cast<std::size_t>(i)] != port.identity) continue;
    if (found >= 0) return -1;
    found = i;
  }
  return found;
}

}  // namespace rotavox
