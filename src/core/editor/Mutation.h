#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/editor/ParameterTable.h"
#include "core/editor/ValueControls.h"

namespace rotavox {

// Where the chance of a mutation comes from: 32 random bits a call.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual std::uint32_t next() = 0;
};

// The same numbers from the same seed, on every machine (splitmix64).
class SeededRandom final : public RandomSource {
 public:
  explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
  std::uint32_t next() override;

 private:
  std::uint64_t state_;
};

inline constexpr int kMutateAmountLow = 1;
inline constexpr int kMutateAmountHigh = 100;

// The controls a mutation may change: every parameter but the main volume, never a mute box.
bool takesMutation(ValueControl control);

// One control's content changed by chance, `amount` percent (1..100) strong; none when it
// stays. With that probability a number moves by at least one and up to that share of its
// range, inside its range; with half of it a selector takes another item of its own list;
// with a quarter of it the routing flips. Draws one number, and more when it changes.
std::optional<std::string> mutateValue(const Parameter& p, std::string_view shown, int amount, RandomSource& random);

// True when every control holds a value it can send: a "?" or a text that is no value
// anywhere on the panel leaves nothing to mutate from.
bool canMutate(const SoundState& sound);

// The sound changed by chance (mutateValue, control by control in the order of
// kValueControls). Mutes and the main volume never change, and neither does the volume of a
// muted oscillator (moving its slider would unmute it). The sound must pass canMutate().
SoundState mutateSound(const SoundState& sound, int amount, RandomSource& random);

}  // namespace rotavox
