#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/editor/ParameterTable.h"

namespace rotavox {

// The two end points of a graph line, in twips (y grows downward).
struct LineEnds {
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const LineEnds&) const = default;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// An envelope's graph: the attack, decay, sustain and release lines.
struct EnvelopeGraph {
  LineEnds attack, decay, sustain, release;
  LineEnds& line(EnvStage stage);
  const LineEnds& line(EnvStage stage) const;
};

// The line ends the stages never move, taken once from the lines as designed.
struct EnvelopeAnchors {
  float attack = 0;           // the peak (X2 of the attack line)
  float decay = 0;            // start of the decay (X1 of the decay line)
  float sustain = 0;          // sustain height (Y1 of the sustain line)
  std::int16_t release = 0;   // start of the release (X1 of the release line), rounded
};

// One graph line as designed: its name on the window, envelope, stage, ends and colour.
struct LineDesign {
  std::string_view name;
  ParamGroup envelope;  // EnvAmp or EnvFilter
  EnvStage stage;
  LineEnds ends;
  Rgb color;
};

inline constexpr Rgb kStageColor{0, 0, 192};    // attack, decay and release: dark blue
inline constexpr Rgb kSustainColor{128, 0, 128};  // purple

// clang-format off
inline constexpr LineDesign kEnvelopeLines[] = {
// name           envelope              stage              x1     y1     x2     y2     colour
  {"LinieEnv1T1", ParamGroup::EnvAmp,    EnvStage::Attack,  {360,  6485,  835,  6015}, kStageColor},
  {"LinieEnv1T2", ParamGroup::EnvAmp,    EnvStage::Decay,   {825,  6015,  1425, 6255}, kStageColor},
  {"LinieEnv1L2", ParamGroup::EnvAmp,    EnvStage::Sustain, {1425, 6255,  2145, 6255}, kSustainColor},
  {"LinieEnv1T3", ParamGroup::EnvAmp,    EnvStage::Release, {2145, 6255,  2625, 6485}, kStageColor},
  {"LinieEnv2T1", ParamGroup::EnvFilter, EnvStage::Attack,  {3345, 6485,  3825, 6015}, kStageColor},
  {"LinieEnv2T2", ParamGroup::EnvFilter, EnvStage::Decay,   {3825, 6015,  4425, 6255}, kStageColor},
  {"LinieEnv2L2", ParamGroup::EnvFilter, EnvStage::Sustain, {4425, 6255,  5145, 6255}, kSustainColor},
  {"LinieEnv2T3", ParamGroup::EnvFilter, EnvStage::Release, {5145, 6255,  5625, 6485}, kStageColor},
};
// clang-format on
static_assert(std::size(kEnvelopeLines) == 8);

// Twips per unit of a time, per unit of the sustain level, and the drop of level 0 below the
// sustain anchor.
inline constexpr double kTimeStep = 6.0;
inline constexpr double kLevelStep = 3.0;
inline constexpr double kLevelZeroDrop = 200.0;

EnvelopeAnchors anchorsOf(const EnvelopeGraph& graph);

// Moves the line ends of one stage for the value v (0..127):
// attack: X1 of the attack line = anchor - 6v;
// decay: X2 of the decay line and X1 of the sustain line = anchor + 6v;
// sustain: the sustain line's Y1 and Y2, the decay line's Y2 and the release line's Y1 =
//   anchor + 200 - 3v;
// release: X2 of the release line = 6v + anchor.
void moveStage(EnvelopeGraph& graph, const EnvelopeAnchors& anchors, EnvStage stage, double v);

// The values an envelope's graph was last drawn for, by stage; none for a stage not drawn yet.
using DrawnEnvelope = std::array<std::optional<double>, 4>;

// The graph told in words, for a screen reader: "attack 10, decay 50, sustain 80, release 20"
// ("attack not set, ..." for a stage not drawn yet).
std::string envelopeInWords(const DrawnEnvelope& drawn);

// The window's side of an envelope field. write() sets the field's text; when the text
// differs, the field's change handling runs again, nested, before write() returns.
class EnvelopeField {
 public:
  virtual ~EnvelopeField() = default;
  virtual std::string text() const = 0;
  virtual void write(const std::string& text) = 0;
  virtual void draw(double value) = 0;
  virtual void send(int value) = 0;
};

// An envelope field's change handling: an empty or zero text becomes "0"; a number beyond
// 0..127 is replaced by clickValue; the stage is drawn; a text such as "12x" or "12.5" is
// corrected to its whole number; the value is sent.
void envelopeChange(EnvelopeField& field, std::int16_t clickValue);

// The value a click into an envelope field remembers: the text's number, rounded, when it is
// within 0..127; none otherwise (the earlier value stays).
std::optional<std::int16_t> envelopeClickValue(std::string_view text);

}  // namespace rotavox
