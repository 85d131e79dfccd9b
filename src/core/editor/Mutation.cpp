#include "core/editor/Mutation.h"

#include <algorithm>
#include <cmath>

#include "core/common/Readings.h"
#include "core/editor/SelectorItems.h"

namespace rotavox {

namespace {

// A draw as a share of one, 0 <= share < 1.
double share(RandomSource& random) { return random.next() / 4294967296.0; }

// A draw below n (n >= 1), without favouring the small numbers.
int below(RandomSource& random, int n) {
  return static_cast<int>((static_cast<std::uint64_t>(random.next()) * static_cast<std::uint64_t>(n)) >> 32);
}

bool isNumber(ParamKind kind) {
  switch (kind) {
    case ParamKind::Semitone:
    case ParamKind::Detune:
    case ParamKind::Balance:
    case ParamKind::Knob:
    case ParamKind::Envelope:
    case ParamKind::Volume: return true;
    default: return false;
  }
}

}  // namespace

std::uint32_t SeededRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
}

bool takesMutation(ValueControl control) {
  return !control.muteBox && parameter(control.row).kind != ParamKind::MainVolume;
}

std::optional<std::string> mutateValue(const Parameter& p, std::string_view shown, int amount, RandomSource& random) {
  const double strength = std::clamp(amount, kMutateAmountLow, kMutateAmountHigh) / 100.0;
  const double chance = share(random);
  const FieldReading reading = readField(p, shown);
  if (reading.state != FieldState::Valid) return std::nullopt;

  if (isNumber(p.kind)) {
    if (chance >= strength) return std::nullopt;
    const int range = p.high - p.low;
    const int step = std::max(1, static_cast<int>(std::lround(share(random) * strength * range)));
    const int direction = random.next() & 1u ? 1 : -1;
    int moved = reading.shown + direction * step;
    // At the edge of the range the move turns round, so the value still moves.
    if (moved < p.low || moved > p.high) moved = reading.shown - direction * step;
    return numberText(std::clamp(moved, p.low, p.high));
  }
  if (p.kind == ParamKind::Routing) {
    if (chance >= strength / 4) return std::nullopt;
    return reading.shown == 1 ? "0" : "1";
  }
  // A selector: another item of its own list.
  if (chance >= strength / 2) return std::nullopt;
  const auto items = selectorItems(p.items);
  const int count = static_cast<int>(items.size());
  if (count < 2) return std::nullopt;
  int pick = below(random, count - 1);
  if (pick >= reading.shown) ++pick;
  return std::string(items[static_cast<std::size_t>(pick)].text);
}

bool canMutate(const SoundState& sound) {
  for (std::size_t i = 0; i < kValueControlCount; ++i) {
    const ValueControl c = kValueControls[i];
    if (c.muteBox) {
      if (sound[i] != "0" && sound[i] != "1") return false;
    } else if (readField(parameter(c.row), sound[i]).state != FieldState::Valid) {
      return false;
    }
  }
  return true;
}

SoundState mutateSound(const SoundState& sound, int amount, RandomSource& random) {
  SoundState out = sound;
  for (std::size_t i = 0; i < kValueControlCount; ++i) {
    const ValueControl c = kValueControls[i];
    if (!takesMutation(c)) continue;
    if (parameter(c.row).kind == ParamKind::Volume && sound[valueIndex(muteBoxOf(c.row))] == "1") continue;
    if (auto changed = mutateValue(parameter(c.row), sound[i], amount, random)) out[i] = std::move(*changed);
  }
  return out;
}

}  // namespace rotavox
