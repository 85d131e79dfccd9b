#include "core/play/Sequencer.h"

#include <charconv>
#include <limits>

#include "core/common/Readings.h"
#include "core/midi/Messages.h"

namespace rotavox {

namespace {
constexpr int kMinOctave = -3;
constexpr int kMaxOctave = 3;
constexpr int kNotesPerOctave = 12;
}  // namespace

std::string seqLabel(int step, int entry) { return paddedNumberText(step) + " - " + paddedNumberText(entry); }

void Sequencer::advance() {
  // Before the first start the pattern holds no end marker, so octave changes alone would
  // walk the step off the pattern's end.
  ++s_.SeqStep;
  if (s_.SeqStep < 0 || s_.SeqStep > kLastEntry) s_.SeqStep = 1;
}

void Sequencer::play(SeqOutput& out, int index, int velocity) const {
  const int note = kNotesPerOctave * s_.SeqOctave + s_.SeqPattern[static_cast<std::size_t>(index)];
  // Entry 0 at a negative octave gives a negative note; outside 0..127 a note number would
  // corrupt the message, so such a note is not sent at all.
  if (!isDataByte(note) || !isDataByte(velocity)) return;
  out.notes.push_back({note, velocity});
}

void Sequencer::releasePrevious(SeqOutput& out) const { play(out, s_.SeqStep - 1, 0); }

std::string Sequencer::label() const {
  return seqLabel(s_.SeqStep, s_.SeqPattern[static_cast<std::size_t>(s_.SeqStep)]);
}

SeqOutput Sequencer::start() {
  s_.SeqRunning = true;
  for (std::size_t i = 0; i < std::size(kSeqPattern); ++i) s_.SeqPattern[i + 1] = kSeqPattern[i];
  return {};
}

SeqOutput Sequencer::step() {
  SeqOutput out;
  advance();
  if (s_.SeqPattern[static_cast<std::size_t>(s_.SeqStep)] == kEndMarker) {
    releasePrevious(out);
    s_.SeqStep = 1;
  }
  if (s_.SeqPattern[static_cast<std::size_t>(s_.SeqStep)] > 1) releasePrevious(out);
  out.label = label();
  play(out, s_.SeqStep, s_.SeqVelocity);
  return out;
}

SeqOutput Sequencer::stop() {
  SeqOutput out;
  if (s_.SeqStep < 0 || s_.SeqStep > kLastEntry) s_.SeqStep = 0;
  play(out, s_.SeqStep, 0);
  s_.SeqStep = 0;
  out.allNotesOff = true;
  s_.SeqRunning = false;
  out.label = std::string();
  return out;
}

SeqOutput Sequencer::changeOctave(std::string_view text) {
  SeqOutput out;
  advance();
  out.label = label();
  if (s_.SeqPattern[static_cast<std::size_t>(s_.SeqStep)] == kEndMarker) {
    releasePrevious(out);
    s_.SeqStep = 1;
  }
  if (s_.SeqPattern[static_cast<std::size_t>(s_.SeqStep)] > 1) releasePrevious(out);
  if (const auto octave = octaveReading(text)) s_.SeqOctave = *octave;
  return out;
}

std::optional<int> seqInterval(std::string_view speedText) {
  const auto speed = strictReading(speedText);
  if (!speed || *speed < 0) return std::nullopt;
  const std::int64_t ms = roundHalfEven(*speed * 10.0);
  if (ms > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(ms);
}

std::optional<std::uint32_t> allNotesOffMessage(int channel) {
  if (channel < 0 || channel > 15) return std::nullopt;
  return controlChange(channel, kAllNotesOffController, 0);
}

std::optional<int> octaveReading(std::string_view text) {
  const auto value = wholeReading(text);
  if (!value || *value < kMinOctave || *value > kMaxOctave) return std::nullopt;
  return static_cast<int>(*value);
}

std::string octaveText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  return text == "-0" ? "0" : text;
}

std::optional<std::string> octaveButtonText(std::string_view text, int direction) {
  const double v = leadingReading(text) + direction;
  if (v < kMinOctave || v > kMaxOctave) return std::nullopt;
  return octaveText(v);
}

std::optional<std::string> octaveValidation(std::string_view text, double clickValue) {
  std::string now(text);
  const std::string fallback = octaveText(clickValue);
  const double value = leadingReading(now);
  if (value < kMinOctave || value > kMaxOctave) now = fallback;
  if (leadingReading(now) == 0 && (now.empty() || now.front() != '0')) now = fallback;
  if (now == text) return std::nullopt;
  return now;
}

}  // namespace rotavox
