#include "core/editor/SelectorItems.h"

namespace rotavox {

namespace {

// Pipe lengths in feet, each followed by the foot mark (a double quote); a longer pipe is a
// lower octave: 112 - 12 per item.
constexpr SelectorItem kOctaveItems[] = {
    {"1/2\"", 112}, {"1\"", 100}, {"2\"", 88}, {"4\"", 76},   {"8\"", 64},
    {"16\"", 52},   {"32\"", 40}, {"64\"", 28}, {"128\"", 16},
};

// Oscillator 3 offers the first five.
constexpr SelectorItem kShapeItems[] = {
    {"OSC off", 0}, {"Pulse", 1}, {"Saw", 2}, {"Triangle", 3}, {"Sine", 4}, {"Alt1 Waves", 5}, {"Alt2 Waves", 6},
};

// The leading symbols are plain characters drawing the filter's curve; the notch items have
// two blanks after theirs.
constexpr SelectorItem kFilterItems[] = {
    {"---- Bypass", 0},          {"\\_ Lowpass 24 dB", 1},  {"\\_ Lowpass 12 dB", 2}, {"/\\ Bandpass 24 dB", 3},
    {"/\\ Bandpass 12 dB", 4},   {"_/ Highpass 24 dB", 5},  {"_/ Highpass 12 dB", 6}, {"\\/  Notch 24 dB", 7},
    {"\\/  Notch 12 dB", 8},     {"||||| Comb (+)", 9},     {"||||| Comb (-)", 10},
};

}  // namespace

std::span<const SelectorItem> selectorItems(ItemList list) {
  switch (list) {
    case ItemList::Octave: return kOctaveItems;
    case ItemList::Shape7: return kShapeItems;
    case ItemList::Shape5: return std::span<const SelectorItem>(kShapeItems).first(5);
    case ItemList::Filter: return kFilterItems;
    case ItemList::None: break;
  }
  return {};
}

std::optional<int> itemPosition(ItemList list, std::string_view text) {
  const auto items = selectorItems(list);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].text == text) return static_cast<int>(i);
  return std::nullopt;
}

std::optional<int> itemValue(ItemList list, std::string_view text) {
  const auto position = itemPosition(list, text);
  if (!position) return std::nullopt;
  return selectorItems(list)[static_cast<std::size_t>(*position)].value;
}

std::string_view selectorErrorText(ItemList list) {
  switch (list) {
    case ItemList::Octave: return "Wrong octave!";
    case ItemList::Shape7:
    case ItemList::Shape5: return "Wrong OSC type!";
    case ItemList::Filter: return "Wrong filter type - please restart program";
    case ItemList::None: break;
  }
  return {};
}

}  // namespace rotavox
