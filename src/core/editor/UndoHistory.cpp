#include "core/editor/UndoHistory.h"

#include <algorithm>
#include <utility>

namespace rotavox {

std::vector<ControlChange> soundDifference(const SoundState& before, const SoundState& after) {
  std::vector<ControlChange> changes;
  for (std::size_t i = 0; i < kValueControlCount; ++i)
    if (before[i] != after[i]) changes.push_back({i, before[i], after[i]});
  return changes;
}

namespace {

// What a step keeps: its texts and the records that hold them.
std::size_t stepBytes(const UndoStep& step) {
  std::size_t bytes = sizeof(UndoStep) + step.caption.size();
  for (const ControlChange& c : step.changes) bytes += sizeof(ControlChange) + c.before.size() + c.after.size();
  return bytes;
}

}  // namespace

UndoHistory::UndoHistory(SoundState shown) : edit_(std::move(shown)) {}

bool UndoHistory::continues(std::size_t key, EditInput input, std::int64_t nowMs) const {
  if (!open_ || open_->key != key || open_->input != input) return false;
  switch (input) {
    case EditInput::Typing:
    case EditInput::KnobDrag: return true;
    case EditInput::KnobStep:
    case EditInput::Received: return nowMs - open_->last <= kStepPauseMs;
    case EditInput::Single: return false;
  }
  return false;
}

// Remembers what the control held before the open gesture first changed it.
void UndoHistory::touch(std::size_t control) {
  std::vector<ControlValue>& before = open_->before;
  const auto at = std::lower_bound(before.begin(), before.end(), control,
                                   [](const ControlValue& v, std::size_t c) { return v.control < c; });
  if (at == before.end() || at->control != control) before.insert(at, {control, edit_[control]});
}

void UndoHistory::edited(std::size_t gesture, EditInput input, std::span<const ControlValue> values,
                         std::int64_t nowMs, std::string_view caption) {
  if (!continues(gesture, input, nowMs)) open_ = Gesture{gesture, input, nowMs, std::string(caption), {}, false};
  // Whatever the panel showed instead of the edit (a reference) is the edit now.
  if (shown_) {
    for (std::size_t i = 0; i < kValueControlCount; ++i) {
      if ((*shown_)[i] == edit_[i]) continue;
      touch(i);
      edit_[i] = std::move((*shown_)[i]);
    }
    shown_.reset();
  }
  for (const ControlValue& v : values) {
    if (v.control >= kValueControlCount) continue;
    touch(v.control);
    edit_[v.control] = v.value;
  }
  open_->last = nowMs;
  settleGesture();
}

// The open gesture's step holds exactly what the gesture changed so far: typing a number and
// deleting it again leaves no step behind.
void UndoHistory::settleGesture() {
  std::vector<ControlChange> changes;
  for (const ControlValue& b : open_->before)
    if (b.value != edit_[b.control]) changes.push_back({b.control, b.value, edit_[b.control]});
  if (changes.empty()) {
    if (open_->pushed) {
      bytes_ -= stepBytes(steps_.back());
      steps_.pop_back();
      done_ = steps_.size();
      open_->pushed = false;
    }
    return;
  }
  if (open_->pushed) {
    bytes_ -= stepBytes(steps_.back());
    steps_.back().changes = std::move(changes);
    bytes_ += stepBytes(steps_.back());
    keepWithinBounds();
    return;
  }
  push({open_->caption, std::move(changes)});
  open_->pushed = true;
}

void UndoHistory::push(UndoStep step) {
  dropRedoSteps();
  bytes_ += stepBytes(step);
  steps_.push_back(std::move(step));
  done_ = steps_.size();
  keepWithinBounds();
}

void UndoHistory::dropRedoSteps() {
  for (std::size_t i = done_; i < steps_.size(); ++i) bytes_ -= stepBytes(steps_[i]);
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
}

// Called with every step done: the oldest go until both bounds hold, the newest always stays.
void UndoHistory::keepWithinBounds() {
  while (steps_.size() > kMaxSteps || (bytes_ > kMaxBytes && steps_.size() > 1)) {
    bytes_ -= stepBytes(steps_.front());
    steps_.pop_front();
  }
  done_ = steps_.size();
}

void UndoHistory::endGesture() { open_.reset(); }

void UndoHistory::recorded(std::string_view caption, const SoundState& after) {
  open_.reset();
  shown_.reset();
  std::vector<ControlChange> changes = soundDifference(edit_, after);
  for (const ControlChange& c : changes) edit_[c.control] = c.after;
  if (!changes.empty()) push({std::string(caption), std::move(changes)});
}

void UndoHistory::showing(const SoundState& shown) {
  open_.reset();
  shown_ = shown;
}

std::optional<SoundState> UndoHistory::undo() {
  open_.reset();
  shown_.reset();
  if (done_ == 0) return std::nullopt;
  for (const ControlChange& c : steps_[--done_].changes) edit_[c.control] = c.before;
  return edit_;
}

std::optional<SoundState> UndoHistory::redo() {
  open_.reset();
  shown_.reset();
  if (done_ == steps_.size()) return std::nullopt;
  for (const ControlChange& c : steps_[done_++].changes) edit_[c.control] = c.after;
  return edit_;
}

std::string_view UndoHistory::undoCaption() const { return done_ > 0 ? std::string_view(steps_[done_ - 1].caption) : ""; }

std::string_view UndoHistory::redoCaption() const {
  return done_ < steps_.size() ? std::string_view(steps_[done_].caption) : "";
}

}  // namespace rotavox
