#include "core/editor/ReceivedValue.h"

#include <algorithm>
#include <cstdlib>

#include "core/common/Readings.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {

namespace {

// Items more than one apart leave values between them: a scale of one quantity, whose every
// value the instrument plays as the nearest step.
bool isCoarseScale(std::span<const SelectorItem> items) {
  for (std::size_t i = 1; i < items.size(); ++i)
    if (std::abs(items[i].value - items[i - 1].value) > 1) return true;
  return false;
}

std::optional<std::string> receivedItem(ItemList list, int byte) {
  const auto items = selectorItems(list);
  for (const SelectorItem& item : items)
    if (item.value == byte) return std::string(item.text);
  if (!isCoarseScale(items)) return std::nullopt;
  const SelectorItem* nearest = nullptr;
  for (const SelectorItem& item : items) {
    const int distance = std::abs(item.value - byte);
    if (!nearest || distance < std::abs(nearest->value - byte) ||
        (distance == std::abs(nearest->value - byte) && item.value > nearest->value))
      nearest = &item;
  }
  return std::string(nearest->text);
}

}  // namespace

std::optional<std::string> receivedContent(const Parameter& p, int byte) {
  if (byte < 0 || byte > 127) return std::nullopt;
  switch (p.sent) {
    case SentRule::ByItem: return receivedItem(p.items, byte);
    case SentRule::Offset: return numberText(std::clamp(byte - 64, p.low, p.high));
    case SentRule::AsShown:
    case SentRule::ByState:
    case SentRule::Position: return numberText(std::clamp(byte, p.low, p.high));
  }
  return std::nullopt;
}

}  // namespace rotavox
