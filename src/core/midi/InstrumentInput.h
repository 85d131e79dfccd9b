#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/editor/ParameterTable.h"
#include "core/midi/InstrumentProgram.h"

namespace rotavox {

// What a message received from the followed instrument means. Only the channel chosen in the
// settings dialog counts; on it, a Control Change of one of the panel's parameters is a value
// for that parameter, Bank Select LSB (32) with 0..2 chooses a bank, and Program Change 0..99
// a sound of that bank. Everything else (other channels and controllers, notes, pitch bend
// ...) means nothing for the panel.
struct ReceivedMeaning {
  enum class Kind : std::uint8_t { Nothing, Parameter, Bank, Program };
  Kind kind = Kind::Nothing;
  Param row{};    // Parameter
  int value = 0;  // the data byte (Parameter), the bank 0..2 (Bank), the sound 1..100 (Program)
};

ReceivedMeaning meaningOf(std::uint32_t message, int channel);

// A parameter's value received, as the panel is to show it.
struct ReceivedValue {
  Param row;
  int byte;
  bool operator==(const ReceivedValue&) const = default;
};

// What the instrument sent since the panel last showed its messages: the last value of each
// parameter, in the order the parameters first changed, and the last program chosen. A program
// change makes every value before it void (the panel forgets the whole sound). The bank stays
// chosen beyond one batch, as it does on the instrument.
class ReceivedBatch {
 public:
  void add(const ReceivedMeaning& meaning);
  // The program's own Bank Select: the instrument's bank from now on.
  void bankSent(int bank) { bank_ = bank; }

  bool empty() const { return !program_ && order_.empty(); }
  const std::optional<InstrumentProgram>& program() const { return program_; }
  // The values after the last program change, each parameter once with its last byte.
  std::vector<ReceivedValue> values() const;
  // Forgets what was shown; the bank stays.
  void clear();

 private:
  std::array<std::int16_t, kParameterCount> last_ = emptyValues();
  std::vector<Param> order_;
  std::optional<InstrumentProgram> program_;
  int bank_ = InstrumentProgram::kUnknownBank;

  static constexpr std::array<std::int16_t, kParameterCount> emptyValues() {
    std::array<std::int16_t, kParameterCount> a{};
    a.fill(-1);
    return a;
  }
};

// The panel shows received values at most once a frame: how long to wait, from the last time
// it showed some, before it shows the next (0: at once).
inline constexpr std::int64_t kReceivedFrameNanos = 16'666'667;
constexpr std::int64_t receivedShowDelay(std::int64_t sinceLastShownNanos) {
  return sinceLastShownNanos >= kReceivedFrameNanos ? 0 : kReceivedFrameNanos - sinceLastShownNanos;
}

}  // namespace rotavox
