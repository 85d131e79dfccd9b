#pragma once

#include <cstdint>

namespace rotavox {

// The one drag flag that all knobs of all windows share: -1 while a drag is on, 0 otherwise.
struct KnobDrag {
  std::int16_t KnobDragging = 0;
};

}  // namespace rotavox
