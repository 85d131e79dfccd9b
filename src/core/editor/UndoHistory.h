#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/editor/ValueControls.h"

namespace rotavox {

// How a user's edit reached a control; it decides which edits make one undo step.
enum class EditInput : std::uint8_t {
  Typing,    // keys into a field or a selector's text: one step until the focus leaves or another control changes
  KnobDrag,  // a knob held and turned: one step from the press to the release
  KnobStep,  // wheel or arrow keys on a knob: one step until another control changes or a second passes
  Single,    // a slider move, a pick from a list, a click on a mute box or a routing picture: a step each
  Received,  // a value the followed instrument sent: grouped as KnobStep, apart from the user's steps
};

// What a value control shows now, by its place in kValueControls.
struct ControlValue {
  std::size_t control;
  std::string value;
};

// One control's content before and after a step.
struct ControlChange {
  std::size_t control;
  std::string before;
  std::string after;
  bool operator==(const ControlChange&) const = default;
};

// A step the user can take back: what it is called and the controls it changed, in the order
// of kValueControls.
struct UndoStep {
  std::string caption;
  std::vector<ControlChange> changes;
};

// The steps the user can take back and do again. It follows the sound as the panel shows it:
// every edit of the user and every program operation that changed the sound is told here, and
// undo and redo answer with the sound the panel is to show.
class UndoHistory {
 public:
  static constexpr std::size_t kMaxSteps = 1000;
  // Nor more than this in the texts the steps keep: a field may hold 32,767 characters, so a
  // thousand loads of long sounds would take gigabytes. The oldest steps go first; the newest
  // step always stays (one step of every control at its longest is about 4 MB).
  static constexpr std::size_t kMaxBytes = std::size_t{16} << 20;
  // Wheel and arrow steps of one knob further apart than this are two steps.
  static constexpr std::int64_t kStepPauseMs = 1000;

  explicit UndoHistory(SoundState shown);

  // A user's edit has run its change chain. `gesture` names what was touched (a parameter
  // row), `values` are what the controls it may have changed show now, `nowMs` a steady clock.
  // It continues the open step when it is the same gesture, else it opens a new one; a new
  // step drops the steps that could have been done again.
  void edited(std::size_t gesture, EditInput input, std::span<const ControlValue> values, std::int64_t nowMs,
              std::string_view caption);
  // The drag was let go, or the focus left the field: the next edit opens a new step.
  void endGesture();
  // A program operation (init sound, reset, load, mutate) has left the panel showing `after`.
  void recorded(std::string_view caption, const SoundState& after);
  // The panel shows `shown` without it being a step (a comparison with the reference). The
  // next edit makes what is shown, with that edit, the new sound: one step from the sound
  // before.
  void showing(const SoundState& shown);

  // The sound to show: the one before the last step, or after the next one; none when there
  // is no such step.
  std::optional<SoundState> undo();
  std::optional<SoundState> redo();

  bool canUndo() const { return done_ > 0; }
  bool canRedo() const { return done_ < steps_.size(); }
  // The caption of the step undo (redo) would take; empty when there is none.
  std::string_view undoCaption() const;
  std::string_view redoCaption() const;
  std::size_t steps() const { return steps_.size(); }
  // What the steps keep, in bytes: each counts by the controls it changed.
  std::size_t bytes() const { return bytes_; }

  // The sound as the steps leave it (the edit, even while a comparison shows another).
  const SoundState& edit() const { return edit_; }

 private:
  struct Gesture {
    std::size_t key;
    EditInput input;
    std::int64_t last;
    std::string caption;
    // Each control the gesture changed, as it was before the gesture, in table order: a step
    // costs what it touched, not the whole sound.
    std::vector<ControlValue> before;
    bool pushed = false;
  };
  bool continues(std::size_t key, EditInput input, std::int64_t nowMs) const;
  void touch(std::size_t control);
  void settleGesture();
  void push(UndoStep step);
  void dropRedoSteps();
  void keepWithinBounds();

  std::deque<UndoStep> steps_;
  std::size_t done_ = 0;   // steps_[0, done_) are done
  std::size_t bytes_ = 0;  // what steps_ keeps
  SoundState edit_;
  std::optional<SoundState> shown_;  // what the panel shows instead of the edit, while it does
  std::optional<Gesture> open_;
};

// The controls whose content differs between two sounds, in the order of kValueControls.
std::vector<ControlChange> soundDifference(const SoundState& before, const SoundState& after);

}  // namespace rotavox
