#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/editor/CompareSwitch.h"
#include "core/editor/InitSound.h"
#include "core/editor/UndoHistory.h"

namespace rotavox {
namespace {

// The panel right after an init sound.
SoundState initSound() {
  SoundState s;
  for (std::size_t i = 0; i < kValueControlCount; ++i) s[i] = std::string(kInitSound[i].value);
  return s;
}

std::size_t at(std::string_view name) {
  for (std::size_t i = 0; i < kValueControlCount; ++i)
    if (controlName(kValueControls[i]) == name) return i;
  throw std::runtime_error("no control " + std::string(name));
}

// One edit of the user, as the panel tells it.
struct Edit {
  const char* control;
  const char* value;
  EditInput input;
  std::int64_t ms;
  bool endBefore = false;  // the focus left / the drag was let go before this edit
};

void run(UndoHistory& h, const std::vector<Edit>& edits) {
  for (const Edit& e : edits) {
    if (e.endBefore) h.endGesture();
    const ControlValue v{at(e.control), e.value};
    h.edited(v.control, e.input, {&v, 1}, e.ms, e.control);
  }
}

// Which edits make one step: the gesture rules, edit by edit.
TEST(UndoHistory, EditsGroupIntoStepsByGesture) {
  using I = EditInput;
  struct Case {
    const char* name;
    std::vector<Edit> edits;
    std::size_t steps;
  };
  const Case cases[] = {
      {"a knob drag of five moves", {{"TextF1_cutoff", "128", I::KnobDrag, 0}, {"TextF1_cutoff", "126", I::KnobDrag, 5},
       {"TextF1_cutoff", "125", I::KnobDrag, 9}, {"TextF1_cutoff", "124", I::KnobDrag, 3000}, {"TextF1_cutoff", "123", I::KnobDrag, 3001}}, 1},
      {"two drags of one knob", {{"TextF1_cutoff", "126", I::KnobDrag, 0}, {"TextF1_cutoff", "125", I::KnobDrag, 10, true}}, 2},
      {"typing one field", {{"TextF1_reso", "1", I::Typing, 0}, {"TextF1_reso", "10", I::Typing, 5000}}, 1},
      {"typing, focus away and back", {{"TextF1_reso", "1", I::Typing, 0}, {"TextF1_reso", "10", I::Typing, 10, true}}, 2},
      {"typing two fields by turns", {{"TextF1_reso", "1", I::Typing, 0}, {"TextF1_drive", "2", I::Typing, 1},
       {"TextF1_reso", "12", I::Typing, 2}}, 3},
      {"wheel steps within a second", {{"TextEnv1T1", "1", I::KnobStep, 0}, {"TextEnv1T1", "2", I::KnobStep, 1000},
       {"TextEnv1T1", "3", I::KnobStep, 1900}}, 1},
      {"wheel steps with a pause", {{"TextEnv1T1", "1", I::KnobStep, 0}, {"TextEnv1T1", "2", I::KnobStep, 1001}}, 2},
      {"wheel steps broken by another control", {{"TextEnv1T1", "1", I::KnobStep, 0}, {"TextEnv1T2", "1", I::KnobStep, 1},
       {"TextEnv1T1", "2", I::KnobStep, 2}}, 3},
      {"single clicks on one control", {{"CheckOSC1mute", "1", I::Single, 0}, {"CheckOSC1mute", "0", I::Single, 1}}, 2},
      {"received within a second", {{"TextF1_cutoff", "1", I::Received, 0}, {"TextF1_cutoff", "2", I::Received, 1000},
       {"TextF1_cutoff", "3", I::Received, 1900}}, 1},
      {"received with a pause", {{"TextF1_cutoff", "1", I::Received, 0}, {"TextF1_cutoff", "2", I::Received, 1001}}, 2},
      {"received broken by another control", {{"TextF1_cutoff", "1", I::Received, 0},
       {"TextF1_reso", "1", I::Received, 1}, {"TextF1_cutoff", "2", I::Received, 2}}, 3},
      {"a wheel step then received on one knob", {{"TextF1_cutoff", "1", I::KnobStep, 0},
       {"TextF1_cutoff", "2", I::Received, 1}}, 2},
      {"typing then a knob on one field", {{"TextOSC1pw", "12", I::Typing, 0}, {"TextOSC1pw", "13", I::KnobDrag, 1}}, 2},
      {"typing back to where it was", {{"TextF1_reso", "5", I::Typing, 0}, {"TextF1_reso", "0", I::Typing, 1}}, 0},
      {"a drag there and back", {{"TextF1_reso", "1", I::KnobDrag, 0}, {"TextF1_reso", "0", I::KnobDrag, 1}}, 0},
  };
  for (const Case& c : cases) {
    UndoHistory h(initSound());
    run(h, c.edits);
    EXPECT_EQ(h.steps(), c.steps) << c.name;
    EXPECT_EQ(h.canUndo(), c.steps > 0) << c.name;
  }
}

TEST(UndoHistory, UndoGivesTheSoundBeforeTheStepAndRedoTheOneAfter) {
  const SoundState start = initSound();
  UndoHistory h(start);
  run(h, {{"TextF1_cutoff", "126", EditInput::KnobDrag, 0}, {"TextF1_cutoff", "122", EditInput::KnobDrag, 1}});
  EXPECT_EQ(h.undoCaption(), "TextF1_cutoff");
  ASSERT_EQ(h.steps(), 1u);
  const auto undone = h.undo();
  ASSERT_TRUE(undone);
  EXPECT_EQ(*undone, start);
  EXPECT_FALSE(h.canUndo());
  EXPECT_EQ(h.redoCaption(), "TextF1_cutoff");
  const auto redone = h.redo();
  ASSERT_TRUE(redone);
  SoundState expected = start;
  expected[at("TextF1_cutoff")] = "122";
  EXPECT_EQ(*redone, expected);
  EXPECT_FALSE(h.redo());
  EXPECT_EQ(h.redoCaption(), "");
}

TEST(UndoHistory, ANewEditAfterUndoDropsWhatCouldHaveBeenRedone) {
  UndoHistory h(initSound());
  run(h, {{"TextF1_reso", "1", EditInput::Single, 0}, {"TextF1_drive", "2", EditInput::Single, 1},
          {"TextF1_keytrack", "3", EditInput::Single, 2}});
  h.undo();
  h.undo();
  EXPECT_TRUE(h.canRedo());
  run(h, {{"TextF2_reso", "9", EditInput::Single, 3}});
  EXPECT_FALSE(h.canRedo());
  EXPECT_EQ(h.steps(), 2u);
  // An edit that changes nothing keeps the redo steps.
  h.undo();
  run(h, {{"TextF2_reso", "0", EditInput::Single, 4}});
  EXPECT_TRUE(h.canRedo());
}

TEST(UndoHistory, KeepsTheLatestThousandSteps) {
  UndoHistory h(initSound());
  for (int i = 0; i < 1005; ++i)
    run(h, {{"TextF1_cutoff", i % 2 ? "1" : "2", EditInput::Single, i}});
  EXPECT_EQ(h.steps(), UndoHistory::kMaxSteps);
  int undone = 0;
  while (h.undo()) ++undone;
  EXPECT_EQ(undone, 1000);
  // The first five steps are gone: undoing all that is kept ends at the fifth edit's value.
  EXPECT_EQ(h.edit()[at("TextF1_cutoff")], "2");
}

// Every control holding `length` copies of `c`.
SoundState filled(char c, std::size_t length) {
  SoundState s;
  for (std::string& v : s) v.assign(length, c);
  return s;
}

// Steps count by the texts they changed. Loads of long sounds fill the bound after three; the
// oldest go first, the rest still undo; steps dropped from the redo end and a gesture's step
// that was rewritten as it grew count only as they stand.
TEST(UndoHistory, KeepsNoMoreStepsThanItsBytesAllow) {
  constexpr std::size_t kLength = 50000;
  constexpr std::size_t kLoadStep = 2 * kLength * kValueControlCount;
  static_assert(3 * kLoadStep + 100000 < UndoHistory::kMaxBytes && 4 * kLoadStep > UndoHistory::kMaxBytes);
  auto load = [](int i) { return filled(i % 2 ? 'c' : 'b', kLength); };

  UndoHistory h(filled('a', kLength));
  for (int i = 0; i < 6; ++i) h.recorded("Load", load(i));
  EXPECT_EQ(h.steps(), 3u);
  int undone = 0;
  while (h.undo()) ++undone;
  EXPECT_EQ(undone, 3);
  EXPECT_TRUE(h.edit() == load(2)) << "undo ends at the sound before the oldest step kept";

  const ControlValue small{at("TextF1_reso"), "1"};
  h.edited(small.control, EditInput::Single, {&small, 1}, 0, "Resonance");
  ASSERT_EQ(h.steps(), 1u);
  for (int i = 0; i < 5; ++i) h.recorded("Load", load(i));
  EXPECT_EQ(h.steps(), 3u) << "the steps dropped for redo still count";

  UndoHistory g(initSound());
  run(g, {{"TextF1_reso", "1", EditInput::Single, 0}, {"TextF1_drive", "2", EditInput::Single, 1}});
  for (int i = 0; i < 40; ++i) {
    const ControlValue typed{at("TextF1_cutoff"), std::string(std::size_t{1} << 20, i % 2 ? 'x' : 'y')};
    g.edited(typed.control, EditInput::Typing, {&typed, 1}, i, "Cutoff");
  }
  EXPECT_EQ(g.steps(), 3u) << "the typing step counts as it ends, not by every text it held";
}

// A slider move that also unticked its mute box is one step of two controls.
TEST(UndoHistory, OneEditMayChangeTwoControlsOfItsRow) {
  SoundState start = initSound();
  UndoHistory h(start);
  const ControlValue values[] = {{at("VScrollOSC2vol"), "90"}, {at("CheckOSC2mute"), "0"}};
  h.edited(static_cast<std::size_t>(Param::VScrollOSC2vol), EditInput::Single, values, 0, "Volume (OSC 2)");
  ASSERT_EQ(h.steps(), 1u);
  EXPECT_EQ(*h.undo(), start);
}

TEST(UndoHistory, ProgramOperationsAreOneStepEachWhenTheyChangeSomething) {
  const SoundState start = initSound();
  UndoHistory h(start);
  SoundState loaded = start;
  loaded[at("TextVolume")] = "50";
  loaded[at("ComboOSC1shape")] = "Saw";
  h.recorded("Load flute.rvs", loaded);
  h.recorded("Init sound", loaded);  // nothing changed: no step
  EXPECT_EQ(h.steps(), 1u);
  EXPECT_EQ(h.undoCaption(), "Load flute.rvs");
  EXPECT_EQ(*h.undo(), start);
  // A program operation ends an open gesture: typing on afterwards is a new step.
  run(h, {{"TextF1_reso", "1", EditInput::Typing, 0}});
  h.recorded("Reset to standard (Filter 2)", h.edit());
  run(h, {{"TextF1_reso", "12", EditInput::Typing, 1}});
  EXPECT_EQ(h.steps(), 2u);
}

// Comparing shows the reference without a step; touching a control then makes the reference,
// with that change, the edit, and one undo gives the edit from before back.
TEST(UndoHistory, AnEditWhileAnotherSoundIsShownTakesThatSoundAlong) {
  SoundState edit = initSound();
  edit[at("TextF1_cutoff")] = "40";
  edit[at("TextOSC1pw")] = "10";
  UndoHistory h(edit);
  const SoundState reference = initSound();
  h.showing(reference);
  EXPECT_EQ(h.edit(), edit) << "showing is no step";
  EXPECT_EQ(h.steps(), 0u);
  run(h, {{"TextF1_reso", "7", EditInput::KnobDrag, 0}, {"TextF1_reso", "8", EditInput::KnobDrag, 1}});
  ASSERT_EQ(h.steps(), 1u);
  SoundState expected = reference;
  expected[at("TextF1_reso")] = "8";
  EXPECT_EQ(h.edit(), expected);
  EXPECT_EQ(*h.undo(), edit);
}

TEST(UndoHistory, UndoWhileAnotherSoundIsShownStartsFromTheEdit) {
  const SoundState start = initSound();
  UndoHistory h(start);
  run(h, {{"TextF1_cutoff", "40", EditInput::Typing, 0}, {"TextF1_reso", "4", EditInput::Typing, 1}});
  SoundState other = start;
  other[at("TextEnv1T1")] = "99";
  h.showing(other);
  SoundState expected = start;
  expected[at("TextF1_cutoff")] = "40";
  EXPECT_EQ(*h.undo(), expected);
}

TEST(CompareSwitch, ShowsTheReferenceAndTheEditByTurns) {
  CompareSwitch sw;
  SoundState edit = initSound();
  edit[at("TextF1_cutoff")] = "40";
  EXPECT_FALSE(sw.available());
  EXPECT_FALSE(sw.toggle(edit)) << "nothing to compare with yet";
  EXPECT_FALSE(sw.comparing());
  sw.setReference(initSound());
  ASSERT_TRUE(sw.available());
  EXPECT_EQ(sw.toggle(edit), initSound());
  EXPECT_TRUE(sw.comparing());
  EXPECT_EQ(sw.toggle(edit), edit);
  EXPECT_FALSE(sw.comparing());
  sw.toggle(edit);
  sw.end();
  EXPECT_FALSE(sw.comparing());
  EXPECT_TRUE(sw.available());
}

TEST(CompareSwitch, TitleEndsInCompareWhileComparing) {
  EXPECT_EQ(comparedTitle("Rotavox v0.2.0", true), "Rotavox v0.2.0 [compare]");
  EXPECT_EQ(comparedTitle("Rotavox v0.2.0", false), "Rotavox v0.2.0");
}

}  // namespace
}  // namespace rotavox
