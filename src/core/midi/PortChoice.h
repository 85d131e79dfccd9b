#pragma once

#include <string>
#include <vector>

namespace rotavox {

// A chosen port as the settings dialog remembers it between two loads: by its identity in the
// MIDI system, not by its list position, which shifts whenever a port comes or goes.
struct RememberedPort {
  std::string identity;  // empty: nothing chosen (or a port the system gave no identity)
  bool ownPort = false;  // the program's own virtual output port, always the last output entry
};

// Where the remembered port stands in a list just read: `identities` in list order, and with
// `ownPortLast` the last entry is the program's own port. -1 when nothing is remembered, when
// the port is gone, or when more than one entry claims its identity (choosing either could be
// the wrong instrument).
int findRememberedPort(const RememberedPort& port, const std::vector<std::string>& identities, bool ownPortLast);

}  // namespace rotavox
