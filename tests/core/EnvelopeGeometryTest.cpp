#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/editor/Envelope.h"

namespace rotavox {
namespace {

EnvelopeGraph designed(ParamGroup envelope) {
  EnvelopeGraph g;
  for (const LineDesign& l : kEnvelopeLines)
    if (l.envelope == envelope) g.line(l.stage) = l.ends;
  return g;
}

TEST(EnvelopeGeometry, AnchorsOfTheLinesAsDesigned) {
  const EnvelopeAnchors amp = anchorsOf(designed(ParamGroup::EnvAmp));
  EXPECT_EQ(amp.attack, 835.0f);
  EXPECT_EQ(amp.decay, 825.0f);
  EXPECT_EQ(amp.sustain, 6255.0f);
  EXPECT_EQ(amp.release, 2145);
  const EnvelopeAnchors filter = anchorsOf(designed(ParamGroup::EnvFilter));
  EXPECT_EQ(filter.attack, 3825.0f);
  EXPECT_EQ(filter.decay, 3825.0f);
  EXPECT_EQ(filter.sustain, 6255.0f);
  EXPECT_EQ(filter.release, 5145);
}

TEST(EnvelopeGeometry, ReleaseAnchorIsRoundedHalfToEven) {
  EnvelopeGraph g = designed(ParamGroup::EnvAmp);
  g.release.x1 = 2145.5f;
  EXPECT_EQ(anchorsOf(g).release, 2146);
  g.release.x1 = 2144.5f;
  EXPECT_EQ(anchorsOf(g).release, 2144);
}

struct StageCase {
  ParamGroup envelope;
  EnvStage stage;
  double value;
  LineEnds attack, decay, sustain, release;  // all four lines after the move
};

constexpr LineEnds A{360, 6485, 835, 6015}, D{825, 6015, 1425, 6255}, S{1425, 6255, 2145, 6255},
    R{2145, 6255, 2625, 6485};

const StageCase kStages[] = {
    // attack: X1 = 835 - 6v, the peak stays
    {ParamGroup::EnvAmp, EnvStage::Attack, 0, {835, 6485, 835, 6015}, D, S, R},
    {ParamGroup::EnvAmp, EnvStage::Attack, 127, {73, 6485, 835, 6015}, D, S, R},
    {ParamGroup::EnvAmp, EnvStage::Attack, 10, {775, 6485, 835, 6015}, D, S, R},
    {ParamGroup::EnvAmp, EnvStage::Attack, 11, {769, 6485, 835, 6015}, D, S, R},
    // decay: the decay line's end and the sustain line's start move together
    {ParamGroup::EnvAmp, EnvStage::Decay, 0, A, {825, 6015, 825, 6255}, {825, 6255, 2145, 6255}, R},
    {ParamGroup::EnvAmp, EnvStage::Decay, 127, A, {825, 6015, 1587, 6255}, {1587, 6255, 2145, 6255}, R},
    // sustain: four ends at (6255 + 200) - 3v
    {ParamGroup::EnvAmp, EnvStage::Sustain, 0, A, {825, 6015, 1425, 6455}, {1425, 6455, 2145, 6455},
     {2145, 6455, 2625, 6485}},
    {ParamGroup::EnvAmp, EnvStage::Sustain, 127, A, {825, 6015, 1425, 6074}, {1425, 6074, 2145, 6074},
     {2145, 6074, 2625, 6485}},
    {ParamGroup::EnvAmp, EnvStage::Sustain, 80, A, {825, 6015, 1425, 6215}, {1425, 6215, 2145, 6215},
     {2145, 6215, 2625, 6485}},
    // release: X2 = 6v + 2145
    {ParamGroup::EnvAmp, EnvStage::Release, 127, A, D, S, {2145, 6255, 2907, 6485}},
    {ParamGroup::EnvAmp, EnvStage::Release, 0, A, D, S, {2145, 6255, 2145, 6485}},
    // the filter envelope from its own anchors
    {ParamGroup::EnvFilter, EnvStage::Attack, 127, {3063, 6485, 3825, 6015}, {3825, 6015, 4425, 6255},
     {4425, 6255, 5145, 6255}, {5145, 6255, 5625, 6485}},
    {ParamGroup::EnvFilter, EnvStage::Decay, 0, {3345, 6485, 3825, 6015}, {3825, 6015, 3825, 6255},
     {3825, 6255, 5145, 6255}, {5145, 6255, 5625, 6485}},
    {ParamGroup::EnvFilter, EnvStage::Decay, 127, {3345, 6485, 3825, 6015}, {3825, 6015, 4587, 6255},
     {4587, 6255, 5145, 6255}, {5145, 6255, 5625, 6485}},
    {ParamGroup::EnvFilter, EnvStage::Release, 127, {3345, 6485, 3825, 6015}, {3825, 6015, 4425, 6255},
     {4425, 6255, 5145, 6255}, {5145, 6255, 5907, 6485}},
};

TEST(EnvelopeGeometry, EachStageMovesItsLineEnds) {
  for (const StageCase& c : kStages) {
    SCOPED_TRACE(::testing::Message() << "stage " << int(c.stage) << " value " << c.value);
    EnvelopeGraph g = designed(c.envelope);
    moveStage(g, anchorsOf(designed(c.envelope)), c.stage, c.value);
    EXPECT_EQ(g.attack, c.attack);
    EXPECT_EQ(g.decay, c.decay);
    EXPECT_EQ(g.sustain, c.sustain);
    EXPECT_EQ(g.release, c.release);
  }
}

TEST(EnvelopeGeometry, FieldsEditTheirStage) {
  const std::pair<Param, EnvStage> cases[] = {
      {Param::TextEnv1T1, EnvStage::Attack},  {Param::TextEnv1T2, EnvStage::Decay},
      {Param::TextEnv1L2, EnvStage::Sustain}, {Param::TextEnv1T3, EnvStage::Release},
      {Param::TextEnv2T1, EnvStage::Attack},  {Param::TextEnv2T2, EnvStage::Decay},
      {Param::TextEnv2L2, EnvStage::Sustain}, {Param::TextEnv2T3, EnvStage::Release},
  };
  for (const auto& [field, stage] : cases) EXPECT_EQ(parameter(field).stage, stage) << parameter(field).control;
  int stages = 0;
  for (const Parameter& p : kParameters) stages += p.stage.has_value();
  EXPECT_EQ(stages, 8) << "only the envelope fields have a stage";
}

// A field that behaves as the window's: a write of a different text runs the change handling
// again, nested, before it returns.
struct FakeField : EnvelopeField {
  std::string shown;
  std::int16_t clickValue = 0;
  std::vector<double> drawn;
  std::vector<int> sent;
  int depth = 0, deepest = 0;

  std::string text() const override { return shown; }
  void write(const std::string& t) override {
    if (t == shown) return;
    shown = t;
    change();
  }
  void draw(double v) override { drawn.push_back(v); }
  void send(int v) override { sent.push_back(v); }
  void change() {
    deepest = std::max(deepest, ++depth);
    envelopeChange(*this, clickValue);
    --depth;
  }
  // The user's edit: the text changes, then the handling runs.
  void type(const std::string& t) {
    shown = t;
    change();
  }
};

struct RuleCase {
  const char* from;
  const char* typed;
  std::int16_t clickValue;
  const char* shown;
  std::vector<int> sent;
};

const RuleCase kRules[] = {
    {"20", "", 0, "0", {0, 0}},           // empty: "0" is written, sent by the nested run and again
    {"20", "0", 0, "0", {0}},
    {"20", "3", 80, "3", {3}},
    {"3", "300", 80, "80", {80, 80}},     // beyond 127: the clicked value comes back
    {"3", "-5", 42, "42", {42, 42}},
    {"3", "128", 0, "0", {0, 0}},
    {"3", "127", 0, "127", {127}},
    {"3", "12x", 0, "12", {12, 12}},      // drawn by its leading number, corrected before sending
    {"3", "12.5", 0, "12", {12, 12}},
    {"3", "13.5", 0, "14", {14, 14}},
    {"3", "?", 9, "0", {0, 0}},
    {"3", "abc", 9, "0", {0, 0}},
    {"3", "-0", 9, "0", {0, 0}},
    {"3", "0.4", 9, "0", {0, 0}},
    {"3", " 7", 9, "7", {7, 7}},
};

TEST(EnvelopeRule, ZeroRangeCorrectionAndSend) {
  for (const RuleCase& c : kRules) {
    SCOPED_TRACE(std::string("\"") + c.typed + "\"");
    FakeField f;
    f.shown = c.from;
    f.clickValue = c.clickValue;
    f.type(c.typed);
    EXPECT_EQ(f.shown, c.shown);
    EXPECT_EQ(f.sent, c.sent);
    ASSERT_FALSE(f.drawn.empty());
    EXPECT_EQ(f.drawn.back(), std::stod(c.shown)) << "the graph ends at the value shown";
  }
}

TEST(EnvelopeRule, ClickValueIsTheFieldsWholeNumberWithinRange) {
  EXPECT_EQ(envelopeClickValue("80"), 80);
  EXPECT_EQ(envelopeClickValue("0"), 0);
  EXPECT_EQ(envelopeClickValue("127"), 127);
  EXPECT_EQ(envelopeClickValue("12.5"), 12);
  EXPECT_EQ(envelopeClickValue("?"), std::nullopt);
  EXPECT_EQ(envelopeClickValue(""), std::nullopt);
  EXPECT_EQ(envelopeClickValue("300"), std::nullopt);
  EXPECT_EQ(envelopeClickValue("-1"), std::nullopt);
}

TEST(EnvelopeWords, TellsTheDrawnValuesInStageOrder) {
  EXPECT_EQ(envelopeInWords({}), "attack not set, decay not set, sustain not set, release not set");
  EXPECT_EQ(envelopeInWords({10, 50, 80, 20}), "attack 10, decay 50, sustain 80, release 20");
  EXPECT_EQ(envelopeInWords({0, std::nullopt, 127, 12.5}), "attack 0, decay not set, sustain 127, release 12.5");
}

// Any text: the chain settles within two nested runs, shows a whole number 0..127 and sends
// only data bytes.
TEST(EnvelopeRule, RandomTextsSettleOnAWholeNumberInRange) {
  std::mt19937 rng(3);
  const std::string alphabet = "0123456789+-. ?x";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(rng() % 7);
    for (int i = 0; i < length; ++i) text += alphabet[rng() % alphabet.size()];
    FakeField f;
    f.shown = "64";
    f.clickValue = static_cast<std::int16_t>(static_cast<int>(rng() % 400) - 200);
    f.type(text);
    ASSERT_LE(f.deepest, 3) << text;
    const auto whole = envelopeClickValue(f.shown);
    ASSERT_TRUE(whole.has_value()) << text << " -> " << f.shown;
    ASSERT_FALSE(f.sent.empty()) << text;
    for (int v : f.sent) {
      ASSERT_GE(v, 0) << text;
      ASSERT_LE(v, 127) << text;
    }
    ASSERT_EQ(f.sent.back(), *whole);
  }
}

}  // namespace
}  // namespace rotavox
