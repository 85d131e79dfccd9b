#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/play/Sequencer.h"

namespace rotavox {

void PrintTo(const SeqNote& n, std::ostream* os) { *os << "{" << n.note << ", " << n.velocity << "}"; }

namespace {

SeqNote on(int note) { return {note, 100}; }
SeqNote off(int note) { return {note, 0}; }

// Everything the sequencer asks to send over a number of ticks, in order.
std::vector<SeqNote> ticks(Sequencer& seq, int count, std::vector<std::string>* labels = nullptr) {
  std::vector<SeqNote> all;
  for (int i = 0; i < count; ++i) {
    SeqOutput out = seq.step();
    EXPECT_FALSE(out.allNotesOff);
    EXPECT_TRUE(out.label.has_value());
    if (labels) labels->push_back(out.label.value_or("?"));
    all.insert(all.end(), out.notes.begin(), out.notes.end());
  }
  return all;
}

struct LoopCase {
  int octave;
  std::vector<SeqNote> firstLoopAndWrap;  // nine ticks: a full loop and the first step again
};

class SequencerLoop : public ::testing::TestWithParam<LoopCase> {};

TEST_P(SequencerLoop, PlaysThePatternAndWraps) {
  SequencerState state;
  state.SeqOctave = GetParam().octave;
  Sequencer seq(state);
  const SeqOutput started = seq.start();
  EXPECT_TRUE(started.notes.empty());
  EXPECT_TRUE(state.SeqRunning);
  EXPECT_EQ(state.SeqStep, 0);
  EXPECT_EQ(ticks(seq, 9), GetParam().firstLoopAndWrap);
  EXPECT_EQ(state.SeqStep, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Octaves, SequencerLoop,
    ::testing::Values(
        // Entry 0 is released on the first step and after the wrap: note 12 x octave.
        LoopCase{0, {off(0), on(60), off(60), on(72), off(72), on(60), off(60), on(65), off(65), on(48), off(48),
                     on(60), off(60), on(48), off(48), on(53), off(53), off(0), on(60)}},
        LoopCase{2, {off(24), on(84), off(84), on(96), off(96), on(84), off(84), on(89), off(89), on(72), off(72),
                     on(84), off(84), on(72), off(72), on(77), off(77), off(24), on(84)}},
        // At octave -3 entry 0 would be note -36: that release is left out.
        LoopCase{-3, {on(24), off(24), on(36), off(36), on(24), off(24), on(29), off(29), on(12), off(12), on(24),
                      off(24), on(12), off(12), on(17), off(17), on(24)}}),
    [](const auto& info) {
      return info.param.octave < 0 ? "Minus" + std::to_string(-info.param.octave)
                                   : "Plus" + std::to_string(info.param.octave);
    });

TEST(Sequencer, LabelsShowStepAndEntry) {
  SequencerState state;
  Sequencer seq(state);
  seq.start();
  std::vector<std::string> labels;
  ticks(seq, 9, &labels);
  EXPECT_EQ(labels, (std::vector<std::string>{" 1 -  60", " 2 -  72", " 3 -  60", " 4 -  65", " 5 -  48",
                                              " 6 -  60", " 7 -  48", " 8 -  53", " 1 -  60"}));
  EXPECT_EQ(seqLabel(9, -1), " 9 - -1");
}

TEST(Sequencer, StopWhileTheFourthEntrySoundsAtOctaveOne) {
  SequencerState state;
  state.SeqOctave = 1;
  Sequencer seq(state);
  seq.toggle();
  ticks(seq, 4);
  const SeqOutput out = seq.toggle();
  EXPECT_EQ(out.notes, (std::vector<SeqNote>{off(77)}));
  EXPECT_TRUE(out.allNotesOff);
  EXPECT_EQ(out.label, std::string());
  EXPECT_FALSE(state.SeqRunning);
  EXPECT_EQ(state.SeqStep, 0);
  // The next start begins with entry 1 again.
  seq.toggle();
  EXPECT_EQ(ticks(seq, 1), (std::vector<SeqNote>{off(12), on(72)}));
}

TEST(Sequencer, StopBeforeTheFirstTickReleasesEntryZero) {
  SequencerState state;
  Sequencer seq(state);
  seq.start();
  EXPECT_EQ(seq.stop().notes, (std::vector<SeqNote>{off(0)}));
  state.SeqOctave = -1;
  seq.start();
  EXPECT_TRUE(seq.stop().notes.empty());  // note -12 is not sent
}

TEST(Sequencer, ThreeOctaveChangesWhileStoppedStartAtTheFourthEntry) {
  SequencerState state;
  Sequencer seq(state);
  seq.start();
  ticks(seq, 2);
  seq.stop();
  std::vector<std::string> labels;
  for (const char* text : {"1", "2", "0"}) {
    const SeqOutput out = seq.changeOctave(text);
    labels.push_back(out.label.value_or("?"));
    EXPECT_FALSE(out.allNotesOff);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{" 1 -  60", " 2 -  72", " 3 -  60"}));
  EXPECT_EQ(state.SeqOctave, 0);
  seq.start();
  EXPECT_EQ(ticks(seq, 1), (std::vector<SeqNote>{off(60), on(65)}));
}

// While running, the change releases the sounding note in its own octave and skips an entry.
TEST(Sequencer, OctaveChangeWhileRunning) {
  SequencerState state;
  Sequencer seq(state);
  seq.start();
  ticks(seq, 2);  // 72 sounds
  const SeqOutput change = seq.changeOctave("1");
  EXPECT_EQ(change.notes, (std::vector<SeqNote>{off(72)}));
  EXPECT_EQ(change.label, " 3 -  60");
  EXPECT_EQ(state.SeqOctave, 1);
  EXPECT_EQ(ticks(seq, 1), (std::vector<SeqNote>{off(72), on(77)}));
}

// Landing on the end marker shows it, releases the last note and the unplayed entry 0.
TEST(Sequencer, OctaveChangeOntoTheEndMarker) {
  SequencerState state;
  state.SeqOctave = 1;
  Sequencer seq(state);
  seq.start();
  ticks(seq, 8);  // 65 (53 + 12) sounds
  const SeqOutput change = seq.changeOctave("2");
  EXPECT_EQ(change.label, " 9 - -1");
  EXPECT_EQ(change.notes, (std::vector<SeqNote>{off(65), off(12)}));
  EXPECT_EQ(state.SeqStep, 1);
  EXPECT_EQ(state.SeqOctave, 2);
}

TEST(Sequencer, OctaveTextsThatAreNoOctaveKeepTheOctave) {
  for (const char* text : {"", "-", "?", "1.5", "7", "-4", "2x"}) {
    SequencerState state;
    state.SeqOctave = 2;
    Sequencer seq(state);
    seq.changeOctave(text);
    EXPECT_EQ(state.SeqOctave, 2) << text;
    EXPECT_EQ(state.SeqStep, 1) << text;
  }
}

TEST(Sequencer, StepStaysInsideThePatternBeforeTheFirstStart) {
  SequencerState state;
  Sequencer seq(state);
  std::vector<int> steps;
  for (int i = 0; i < 25; ++i) {
    const SeqOutput out = seq.changeOctave(i % 2 ? "1" : "0");
    EXPECT_TRUE(out.notes.empty());  // the empty pattern holds no notes
    steps.push_back(state.SeqStep);
  }
  for (int s : steps) EXPECT_TRUE(s >= 1 && s <= 10) << s;
  EXPECT_EQ(steps[9], 10);
  EXPECT_EQ(steps[10], 1);
  // A start from the last entry wraps to the first one as well.
  state.SeqStep = 10;
  EXPECT_EQ(state.SeqOctave, 0);
  seq.start();
  EXPECT_EQ(ticks(seq, 1), (std::vector<SeqNote>{off(0), on(60)}));
  EXPECT_EQ(state.SeqStep, 1);
}

TEST(Sequencer, NothingOutsideTheNoteRangeGoesOut) {
  for (int octave = -3; octave <= 3; ++octave) {
    SequencerState state;
    state.SeqOctave = octave;
    Sequencer seq(state);
    seq.start();
    std::vector<SeqNote> all = ticks(seq, 20);
    const std::vector<SeqNote> stopped = seq.stop().notes;
    all.insert(all.end(), stopped.begin(), stopped.end());
    for (const SeqNote& n : all) EXPECT_TRUE(n.note >= 0 && n.note <= 127) << octave << ": " << n.note;
  }
}

TEST(Sequencer, IntervalTable) {
  struct Case {
    const char* text;
    std::optional<int> ms;
  };
  const std::vector<Case> cases = {
      {"100", 1000}, {"50", 500},       {"0", 0},           {"0.05", 0},  {"0.15", 2},  {"0.25", 2},
      {"0.35", 4},   {" 7 ", 70},       {"", std::nullopt}, {"?", std::nullopt},  {"abc", std::nullopt},
      {"-1", std::nullopt}, {"1e12", std::nullopt}, {"99999999999", std::nullopt}, {"214748364", 2147483640},
  };
  for (const Case& c : cases) EXPECT_EQ(seqInterval(c.text), c.ms) << c.text;
  EXPECT_FALSE(seqTicks(true, 0));
  EXPECT_FALSE(seqTicks(false, 1000));
  EXPECT_TRUE(seqTicks(true, 10));
}

TEST(Sequencer, AllNotesOffIsControlChange123) {
  EXPECT_EQ(allNotesOffMessage(0), 0x7BB0u);
  EXPECT_EQ(allNotesOffMessage(15), 0x7BBFu);
  EXPECT_EQ(allNotesOffMessage(-1), std::nullopt);
  EXPECT_EQ(allNotesOffMessage(16), std::nullopt);
}

TEST(Sequencer, OctaveButtonsAndValidation) {
  EXPECT_EQ(octaveButtonText("0", 1), "1");
  EXPECT_EQ(octaveButtonText("3", 1), std::nullopt);
  EXPECT_EQ(octaveButtonText("-3", -1), std::nullopt);
  EXPECT_EQ(octaveButtonText("-2", -1), "-3");
  EXPECT_EQ(octaveButtonText("?", -1), "-1");
  EXPECT_EQ(octaveButtonText("2abc", 1), "3");

  struct Case {
    const char* text;
    double click;
    std::optional<std::string> write;
  };
  const std::vector<Case> cases = {
      {"7", 2, "2"},    {"-4", -1, "-1"}, {"abc", 1, "1"},     {"", 2, "2"},           {"-0", 1, "1"},
      {"2", 0, std::nullopt}, {"0", 3, std::nullopt}, {"-3", 0, std::nullopt}, {"3x", 0, std::nullopt},
      {"7", 0, "0"},    {"7", 7, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(octaveValidation(c.text, c.click), c.write) << c.text;
}

}  // namespace
}  // namespace rotavox
