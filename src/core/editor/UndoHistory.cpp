#include "core/editor/UndoHistory.h"

#include <utility>

namespace rotavox {

std::vector<ControlChange> soundDifference(const SoundState& before, const SoundState& after) {
  std::vector<ControlChange> changes;
  for (std::size_t i = 0; i < kValueControlCount; ++i)
    if (before[i] != after[i]) changes.push_back({i, before[i], after[i]});
  return changes;
}

UndoHistory::UndoHistory(SoundState shown) : edit_(shown), shown_(std::move(shown)) {}

bool UndoHistory::continues(std::size_t key, EditInput input, std::int64_t nowMs) const {
  if (!open_ || open_->key != key || open_->input != input) return false;
  switch (input) {
    case EditInput::Typing:
    case EditInput::KnobDrag: return true;
    case EditInput::KnobStep: return nowMs - open_->last <= kStepPauseMs;
    case EditInput::Single: return false;
  }
  return false;
}

void UndoHistory::edited(std::size_t gesture, EditInput input, std::span<const ControlValue> values,
                         std::int64_t nowMs, std::string_view caption) {
  if (!continues(gesture, input, nowMs)) open_ = Gesture{gesture, input, nowMs, std::string(caption), edit_};
  for (const ControlValue& v : values)
    if (v.control < kValueControlCount) shown_[v.control] = v.value;
  // Whatever the panel showed instead of the edit (a reference) is the edit now.
  edit_ = shown_;
  open_->last = nowMs;
  settleGesture();
}

// The open gesture's step holds exactly what the gesture changed so far: typing a number and
// deleting it again leaves no step behind.
void UndoHistory::settleGesture() {
  std::vector<ControlChange> changes = soundDifference(open_->before, edit_);
  if (changes.empty()) {
    if (open_->pushed) {
      steps_.pop_back();
      done_ = steps_.size();
      open_->pushed = false;
    }
    return;
  }
  if (open_->pushed) {
    steps_.back().changes = std::move(changes);
    return;
  }
  push({open_->caption, std::move(changes)});
  open_->pushed = true;
}

void UndoHistory::push(UndoStep step) {
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  steps_.push_back(std::move(step));
  if (steps_.size() > kMaxSteps) steps_.pop_front();
  done_ = steps_.size();
}

void UndoHistory::endGesture() { open_.reset(); }

void UndoHistory::recorded(std::string_view caption, const SoundState& after) {
  open_.reset();
  std::vector<ControlChange> changes = soundDifference(edit_, after);
  if (!changes.empty()) push({std::string(caption), std::move(changes)});
  edit_ = after;
  shown_ = after;
}

void UndoHistory::showing(const SoundState& shown) {
  open_.reset();
  shown_ = shown;
}

std::optional<SoundState> UndoHistory::undo() {
  open_.reset();
  if (done_ == 0) return std::nullopt;
  for (const ControlChange& c : steps_[--done_].changes) edit_[c.control] = c.before;
  shown_ = edit_;
  return edit_;
}

std::optional<SoundState> UndoHistory::redo() {
  open_.reset();
  if (done_ == steps_.size()) return std::nullopt;
  for (const ControlChange& c : steps_[done_++].changes) edit_[c.control] = c.after;
  shown_ = edit_;
  return edit_;
}

std::string_view UndoHistory::undoCaption() const { return done_ > 0 ? std::string_view(steps_[done_ - 1].caption) : ""; }

std::string_view UndoHistory::redoCaption() const {
  return done_ < steps_.size() ? std::string_view(steps_[done_].caption) : "";
}

}  // namespace rotavox
