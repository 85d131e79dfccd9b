#include "core/editor/Envelope.h"

#include <algorithm>
#include <charconv>

#include "core/common/Readings.h"

namespace rotavox {

LineEnds& EnvelopeGraph::line(EnvStage stage) {
  switch (stage) {
    case EnvStage::Attack: return attack;
    case EnvStage::Decay: return decay;
    case EnvStage::Sustain: return sustain;
    case EnvStage::Release: break;
  }
  return release;
}

const LineEnds& EnvelopeGraph::line(EnvStage stage) const { return const_cast<EnvelopeGraph*>(this)->line(stage); }

EnvelopeAnchors anchorsOf(const EnvelopeGraph& graph) {
  return {graph.attack.x2, graph.decay.x1, graph.sustain.y1,
          static_cast<std::int16_t>(std::clamp<std::int64_t>(roundHalfEven(graph.release.x1), INT16_MIN, INT16_MAX))};
}

void moveStage(EnvelopeGraph& graph, const EnvelopeAnchors& anchors, EnvStage stage, double v) {
  switch (stage) {
    case EnvStage::Attack:
      graph.attack.x1 = static_cast<float>(anchors.attack - kTimeStep * v);
      break;
    case EnvStage::Decay: {
      const auto x = static_cast<float>(anchors.decay + kTimeStep * v);
      graph.decay.x2 = x;
      graph.sustain.x1 = x;
      break;
    }
    case EnvStage::Sustain: {
      const auto y = static_cast<float>((anchors.sustain + kLevelZeroDrop) - kLevelStep * v);
      graph.sustain.y1 = y;
      graph.sustain.y2 = y;
      graph.decay.y2 = y;
      graph.release.y1 = y;
      break;
    }
    case EnvStage::Release:
      graph.release.x2 = static_cast<float>(kTimeStep * v + anchors.release);
      break;
  }
}

void envelopeChange(EnvelopeField& field, std::int16_t clickValue) {
  // Only values a field could show come back, so the nested run settles at once.
  clickValue = std::clamp<std::int16_t>(clickValue, 0, 127);
  if (leadingReading(field.text()) == 0.0) field.write("0");
  const double checked = leadingReading(field.text());
  if (checked < 0.0 || checked > 127.0) field.write(numberText(clickValue));
  const double v = leadingReading(field.text());
  field.draw(v);
  // "12x" or "12.5" is drawn by its leading number but cannot go out as a data byte.
  const std::string whole = numberText(roundHalfEven(v));
  if (field.text() != whole) field.write(whole);
  const auto value = wholeReading(field.text());
  if (value && *value >= 0 && *value <= 127) field.send(static_cast<int>(*value));
}

std::optional<std::int16_t> envelopeClickValue(std::string_view text) {
  const auto value = strictReading(text);
  if (!value) return std::nullopt;
  const std::int64_t whole = roundHalfEven(*value);
  if (whole < 0 || whole > 127) return std::nullopt;
  return static_cast<std::int16_t>(whole);
}

std::string envelopeInWords(const DrawnEnvelope& drawn) {
  static constexpr const char* kStageWords[] = {"attack", "decay", "sustain", "release"};
  std::string words;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    if (i > 0) words += ", ";
    words += kStageWords[i];
    if (!drawn[i]) {
      words += " not set";
      continue;
    }
    char number[32];
    const auto end = std::to_chars(number, number + sizeof number, *drawn[i]).ptr;
    words += ' ';
    words.append(number, end);
  }
  return words;
}

}  // namespace rotavox
