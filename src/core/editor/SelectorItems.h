#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "core/editor/ParameterTable.h"

namespace rotavox {

// One item of a selector's list: its exact text and the number it sends.
struct SelectorItem {
  std::string_view text;
  int value;
};

// The items of a list, in list order (empty for ItemList::None).
std::span<const SelectorItem> selectorItems(ItemList list);

// The number sent for a selector's text: the whole text must be one of the items, character
// for character (case, blanks and the octave's foot mark included).
std::optional<int> itemValue(ItemList list, std::string_view text);

// The position of that item in its list.
std::optional<int> itemPosition(ItemList list, std::string_view text);

// The message shown when a selector's text is none of its items, in a critical box titled
// kSelectorErrorCaption.
std::string_view selectorErrorText(ItemList list);
inline constexpr std::string_view kSelectorErrorCaption = "Internal error";

// The text a selector shows before any value is set; it is none of the items.
inline constexpr std::string_view kNoValueText = "?";

}  // namespace rotavox
