#include "ui/editor/EnvelopeGraphs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include "ui/common/AccessibleFactory.h"
#include "ui/common/QtText.h"
#include "ui/common/Twips.h"
#include "ui/editor/EnvelopeLine.h"

namespace rotavox {

namespace {
// Where the graphs of the two envelopes are drawn, in twips of the panel.
constexpr QRect kGraphArea[] = {QRect(60, 5955, 2865, 615), QRect(3045, 5955, 2865, 615)};
constexpr EnvStage kStages[] = {EnvStage::Attack, EnvStage::Decay, EnvStage::Sustain, EnvStage::Release};

struct GraphAccessible : QAccessibleWidget {
  explicit GraphAccessible(QWidget* graph) : QAccessibleWidget(graph, QAccessible::Chart) {}
};

std::size_t areaIndex(ParamGroup envelope) { return envelope == ParamGroup::EnvAmp ? 0 : 1; }
}  // namespace

EnvelopeGraphArea::EnvelopeGraphArea(ParamGroup envelope, const QRect& place, QWidget* panel) : QWidget(panel) {
  installAccessible<EnvelopeGraphArea, GraphAccessible>();
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(place);
  setAccessibleName(qs(groupTitle(envelope)) +
                    " graph");
  setAccessibleDescription(QString::fromStdString(envelopeInWords(drawn_)));
}

void EnvelopeGraphArea::drawn(EnvStage stage, double v) {
  drawn_[static_cast<std::size_t>(stage)] = v;
  setAccessibleDescription(QString::fromStdString(envelopeInWords(drawn_)));
}

EnvelopeGraphs::EnvelopeGraphs(QWidget* panel) {
  for (std::size_t i = 0; i < std::size(kEnvelopeLines); ++i) {
    lines_[i] = new EnvelopeLine(kEnvelopeLines[i], panel);
    QObject::connect(lines_[i], &EnvelopeLine::changed, panel, qOverload<>(&QWidget::update));
  }
  for (ParamGroup envelope : {ParamGroup::EnvAmp, ParamGroup::EnvFilter}) {
    const QRect& area = kGraphArea[areaIndex(envelope)];
    areas_[areaIndex(envelope)] =
        new EnvelopeGraphArea(envelope, twipRect(area.x(), area.y(), area.width(), area.height()), panel);
  }
}

EnvelopeLine* EnvelopeGraphs::line(ParamGroup envelope, EnvStage stage) const {
  for (std::size_t i = 0; i < std::size(kEnvelopeLines); ++i)
    if (kEnvelopeLines[i].envelope == envelope && kEnvelopeLines[i].stage == stage) return lines_[i];
  return nullptr;
}

EnvelopeGraph EnvelopeGraphs::graphOf(ParamGroup envelope) const {
  EnvelopeGraph g;
  for (EnvStage s : kStages) g.line(s) = line(envelope, s)->ends();
  return g;
}

void EnvelopeGraphs::takeAnchors() {
  ampAnchors_ = anchorsOf(graphOf(ParamGroup::EnvAmp));
  filterAnchors_ = anchorsOf(graphOf(ParamGroup::EnvFilter));
}

const EnvelopeAnchors& EnvelopeGraphs::anchors(ParamGroup envelope) const {
  return envelope == ParamGroup::EnvAmp ? ampAnchors_ : filterAnchors_;
}

void EnvelopeGraphs::draw(ParamGroup envelope, EnvStage stage, double v) {
  EnvelopeGraph graph = graphOf(envelope);
  moveStage(graph, anchors(envelope), stage, v);
  for (EnvStage s : kStages) line(envelope, s)->setEnds(graph.line(s));
  areas_[areaIndex(envelope)]->drawn(stage, v);
}

void EnvelopeGraphs::paint(QPainter& p, const QPalette& palette) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
  for (const QRect& area : kGraphArea) {
    p.setPen(QPen(palette.color(QPalette::Mid), 0));
    p.setBrush(QColor(250, 250, 244));
    p.drawRect(area);
  }
  for (EnvelopeLine* l : lines_) {
    QPen pen(l->color(), 1.6);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QLineF(l->x1(), l->y1(), l->x2(), l->y2()));
  }
  p.restore();
}

}  // namespace rotavox
