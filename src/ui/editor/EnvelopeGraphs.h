#pragma once

#include <QRect>
#include <QWidget>
#include <array>

#include "core/editor/Envelope.h"

class QPainter;
class QPalette;

namespace rotavox {

class EnvelopeLine;

// Where one envelope's graph is drawn, as screen readers see it: a chart named "Envelope Amp
// graph" whose description tells the values it was last drawn for in words. It draws nothing
// and takes no input: the panel draws the graph.
class EnvelopeGraphArea : public QWidget {
  Q_OBJECT
 public:
  EnvelopeGraphArea(ParamGroup envelope, const QRect& place, QWidget* panel);
  // A stage was drawn for the value v.
  void drawn(EnvStage stage, double v);

 private:
  DrawnEnvelope drawn_;
};

// The graphs of the two envelopes: their eight lines (objects of the panel, named as the lines
// "LinieEnv1T1" ...), the anchors taken from them, and how they are drawn on the panel.
class EnvelopeGraphs {
 public:
  // Makes the lines as designed, children of `panel`, which is repainted when one moves.
  explicit EnvelopeGraphs(QWidget* panel);

  // Takes the anchors from the lines as they stand.
  void takeAnchors();
  const EnvelopeAnchors& anchors(ParamGroup envelope) const;

  // Moves the line ends of one stage of an envelope for the value v.
  void draw(ParamGroup envelope, EnvStage stage, double v);

  // The graphs' areas and lines, in the panel's painter.
  void paint(QPainter& painter, const QPalette& palette) const;

 private:
  EnvelopeLine* line(ParamGroup envelope, EnvStage stage) const;
  EnvelopeGraph graphOf(ParamGroup envelope) const;

  std::array<EnvelopeLine*, std::size(kEnvelopeLines)> lines_{};
  std::array<EnvelopeGraphArea*, 2> areas_{};  // amp, filter
  EnvelopeAnchors ampAnchors_;
  EnvelopeAnchors filterAnchors_;
};

}  // namespace rotavox
