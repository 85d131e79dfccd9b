#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/play/SequencerState.h"

namespace rotavox {

// One Note On of the sequencer; velocity 0 releases the note.
struct SeqNote {
  int note;
  int velocity;
  bool operator==(const SeqNote&) const = default;
};

// What one sequencer action asks of the window: the notes to send in order, then (on a
// stop) All Notes Off, and the new text of the step label when it changes.
struct SeqOutput {
  std::vector<SeqNote> notes;
  bool allNotesOff = false;
  std::optional<std::string> label;
};

// The step sequencer: a fixed eight-note pattern played one note per timer tick, in the
// octave chosen in its settings. It works on the program-wide state and returns what to
// send; the window owns the timer and the label.
class Sequencer {
 public:
  static constexpr int kLastEntry = 10;
  static constexpr std::int16_t kEndMarker = -1;

  explicit Sequencer(SequencerState& state) : s_(state) {}

  // The menu command: starts when stopped, stops when running.
  SeqOutput toggle() { return s_.SeqRunning ? stop() : start(); }

  // Writes the pattern and marks the sequencer running; the first step comes with the
  // next tick, from the step where it stands.
  SeqOutput start();
  // One tick: releases the note that sounds (and the unplayed entry 0 after a wrap), then
  // plays the next entry.
  SeqOutput step();
  // Releases the current note, silences everything and goes back before the first entry.
  SeqOutput stop();
  // The octave field's text changed: the step moves on by one (the label shows it before
  // the end test), the sounding note is released in the old octave, then the new octave
  // takes effect. A text that is not a whole number within -3..3 leaves the octave as it is.
  SeqOutput changeOctave(std::string_view octaveText);

  const SequencerState& state() const { return s_; }

 private:
  // Moves to the next entry, back to the first one past the last entry of the pattern.
  void advance();
  // Releases the note of the entry before the current step, in the octave now in force.
  void releasePrevious(SeqOutput& out) const;
  void play(SeqOutput& out, int index, int velocity) const;
  std::string label() const;

  SequencerState& s_;
};

// The pattern every start writes into entries 1 to 9; the last one is the end marker.
inline constexpr std::int16_t kSeqPattern[9] = {60, 72, 60, 65, 48, 60, 48, 53, -1};

// The step label: " 3 -  60" (one blank in front of each number that isn't negative).
std::string seqLabel(int step, int entry);

// The timer interval in milliseconds for a speed text (hundredths of a second per step),
// rounded to the nearest whole number, halves to the even neighbour. None when the text is
// not a number, is negative or gives an interval beyond the timer's range.
std::optional<int> seqInterval(std::string_view speedText);

// Whether a timer of this interval ticks: interval 0 halts the steps while enabled.
constexpr bool seqTicks(bool enabled, int interval) { return enabled && interval > 0; }

// All Notes Off on a channel (Control Change 123, value 0); none for a channel outside
// 0..15, which would spill into the status byte.
std::optional<std::uint32_t> allNotesOffMessage(int channel);

// The octave the field's text stands for: a whole number within -3..3, otherwise none.
std::optional<int> octaveReading(std::string_view text);

// The octave buttons: the leading number of the field's text moved by `direction` (+1 or -1);
// the text to write, or none when the result would leave -3..3.
std::optional<std::string> octaveButtonText(std::string_view text, int direction);

// Leaving the octave field: a leading number outside -3..3, or a text that reads 0 without
// beginning with "0", is replaced by the value the field held when it was last clicked.
// Returns the text to write, or none when the field stays as it is.
std::optional<std::string> octaveValidation(std::string_view text, double clickValue);

// A number as the octave field shows it: its shortest decimal text ("2", "-3", "1.5").
std::string octaveText(double value);

}  // namespace rotavox
