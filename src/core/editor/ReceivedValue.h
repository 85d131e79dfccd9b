#pragma once

#include <optional>
#include <string>

#include "core/editor/ParameterTable.h"

namespace rotavox {

// The way back of a parameter's sending rule: what its value control shows when the
// instrument sends the data byte `byte` for it, in the control's own terms (a number field's
// text, a selector's item text, a slider's position in decimal). Worked out from the row that
// sends, so writing the answer into the control and sending it again gives the same byte.
//
// A byte the control cannot show:
// - a number beyond the range on screen (a semitone byte below 52 or above 76, a routing byte
//   above 1) takes the nearest end of the range, where the instrument keeps its parameter;
// - an item list of one quantity in coarse steps (the octave's pipe lengths, 12 apart) takes
//   the nearest item (halfway between two: the higher byte; below or above the list: its end);
// - a list that names each of its values (shapes, filter types) has nothing to show for a
//   value it does not name (a wave beyond "Alt2 Waves", "Alt1 Waves" for oscillator 3): none.
std::optional<std::string> receivedContent(const Parameter& p, int byte);

// An oscillator volume above 0 from the instrument unmutes the oscillator; 0 moves the slider
// only.
constexpr bool receivedVolumeUnmutes(int byte) { return byte > 0; }

}  // namespace rotavox
