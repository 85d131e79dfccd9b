#include "ui/editor/EditorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>
#include <vector>

#include "core/editor/SelectorItems.h"
#include "ui/common/KnobWidget.h"
#include "ui/common/Twips.h"
#include "ui/editor/EnvelopeLine.h"
#include "ui/editor/RoutingPicture.h"

namespace rotavox {

namespace {

// The panel is laid out on a grid of 15 twips, one pixel of a 96 dpi screen; Qt scales it to
// any other.
constexpr int kGrid = 15;
QRect grid(int x, int y, int w, int h) { return twipRect(x * kGrid, y * kGrid, w * kGrid, h * kGrid); }

struct GroupPlace {
  ParamGroup group;
  int x, y, w, h;  // in grid units
};

// Filters top left, the oscillators down the right, the envelopes bottom left with their
// graphs, the main volume beside them; the lower right corner is the play area. The routing
// pictures stand between the two filter groups, on the panel itself.
constexpr GroupPlace kGroupPlaces[] = {
    {ParamGroup::Filter1, 4, 4, 296, 136},   {ParamGroup::Filter2, 4, 146, 296, 136},
    {ParamGroup::Osc1, 406, 4, 390, 116},    {ParamGroup::Osc2, 406, 124, 390, 116},
    {ParamGroup::Osc3, 406, 244, 390, 116},  {ParamGroup::EnvAmp, 2, 298, 197, 146},
    {ParamGroup::EnvFilter, 201, 298, 197, 146}, {ParamGroup::Main, 404, 366, 164, 124},
};

// A knob cell: the label on top, the knob, its number field below.
constexpr int kCellW = 46, kCellH = 80;
constexpr int kFieldW = 40, kFieldH = 20;

// Where the graphs of the two envelopes are drawn, in twips of the panel.
constexpr QRect kGraphArea[] = {QRect(60, 5955, 2865, 615), QRect(3045, 5955, 2865, 615)};

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::size_t groupIndex(ParamGroup g) { return static_cast<std::size_t>(g); }

// Tool tips, word for word.
const char* const kBalanceTip = "Filter balance (-64 routes OSC to F1, +64 routes OSC to F2)";
const char* const kMuteTip = "This mutes/unmutes the OSC!";
const char* const kRoutingTip = "Selects parallel (4-pole) or serial (2x 2-pole) filter";
const char* const kOctaveTip = "Sets the octave in (historical) pipelenght. The bigger the value the deeper the octave!";
const char* const kShapeTip = "Selects oscillator type (i.e. pulse or saw)";
const char* const kFilterTip = "Select a filter type (Lowpass is a typical filter type)";

QLabel* makeLabel(std::string_view text, QWidget* parent, const QRect& place, Qt::Alignment align) {
  auto* label = new QLabel(qs(text), parent);
  label->setGeometry(place);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

}  // namespace

EditorPanel::EditorPanel(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName("EditorPanel");
  setFixedSize(twips(kWidthTwips), twips(kHeightTwips));

  for (std::size_t i = 0; i < std::size(kEnvelopeLines); ++i) {
    lines_[i] = new EnvelopeLine(kEnvelopeLines[i], this);
    connect(lines_[i], &EnvelopeLine::changed, this, qOverload<>(&QWidget::update));
  }
  buildGroups();
  for (std::size_t row = 0; row < kParameterCount; ++row) buildRow(row);
  buildKnobs();
  for (std::size_t row = 0; row < kParameterCount; ++row) connectRow(row);
  nameControls();
  orderTabs();
  // The lines stand as designed; the window's start-up takes the anchors once more.
  takeAnchors();
}

void EditorPanel::buildGroups() {
  for (const GroupPlace& g : kGroupPlaces) {
    auto* box = new QGroupBox(qs(groupTitle(g.group)), this);
    box->setGeometry(grid(g.x, g.y, g.w, g.h));
    groups_[groupIndex(g.group)] = box;
  }
}

QLineEdit* EditorPanel::makeField(const Parameter& p, QWidget* parent, const QRect& place) {
  auto* field = new QLineEdit(qs(kNoValueText), parent);
  field->setObjectName(qs(p.control));
  field->setGeometry(place);
  field->setAlignment(Qt::AlignRight);
  return field;
}

// Builds the controls of one parameter row in its cell, by kind: the kind decides how label,
// field, knob and slider sit in the cell, the table where the cell stands.
void EditorPanel::buildRow(std::size_t i) {
  const Parameter& p = kParameters[i];
  Row& row = rows_[i];
  QWidget* group = p.group == ParamGroup::Filters ? static_cast<QWidget*>(this) : groups_[groupIndex(p.group)];
  auto at = [&p](int dx, int dy, int w, int h) { return grid(p.cell.x + dx, p.cell.y + dy, w, h); };

  switch (p.kind) {
    case ParamKind::Octave:
    case ParamKind::Shape:
    case ParamKind::FilterType: {
      auto* combo = new QComboBox(group);
      combo->setObjectName(qs(p.control));
      for (const SelectorItem& item : selectorItems(p.items)) combo->addItem(qs(item.text));
      // Typed text is taken as it is: no completion ("S" stays "S"), nothing added to the list.
      combo->setEditable(true);
      combo->setCompleter(nullptr);
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setMaxVisibleItems(11);
      {
        // No item is the current one while the box shows "?", so a pick of any item, the
        // first included, changes the text and is sent.
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(-1);
        combo->setEditText(qs(kNoValueText));
      }
      if (p.kind == ParamKind::FilterType) {
        combo->setToolTip(kFilterTip);
        combo->setGeometry(at(0, 0, 164, 22));
        auto* reset = new QPushButton("Reset to standard", group);
        reset->setGeometry(at(170, -1, 110, 24));
        (p.group == ParamGroup::Filter1 ? ResetFilter1 : ResetFilter2) = reset;
        reset->setObjectName(p.group == ParamGroup::Filter1 ? "ResetFilter1" : "ResetFilter2");
      } else if (p.kind == ParamKind::Octave) {
        combo->setToolTip(kOctaveTip);
        makeLabel(p.label, group, at(0, 0, 46, 22), Qt::AlignLeft);
        combo->setGeometry(at(48, 0, 60, 22));
      } else {
        combo->setToolTip(kShapeTip);
        makeLabel(p.label, group, at(0, 0, 38, 22), Qt::AlignLeft);
        combo->setGeometry(at(40, 0, 90, 22));
      }
      row.combo = combo;
      break;
    }
    case ParamKind::Semitone:
    case ParamKind::Detune:
    case ParamKind::Balance: {
      makeLabel(p.label, group, at(0, 0, 46, kFieldH), Qt::AlignLeft);
      row.field = makeField(p, group, at(48, 0, kFieldW, kFieldH));
      auto* bar = new QScrollBar(Qt::Horizontal, group);
      bar->setObjectName(qs(p.companion));
      bar->setRange(p.low, p.high);
      bar->setSingleStep(1);
      bar->setPageStep(1);
      bar->setValue(0);
      // One message per move: a thumb drag counts when it is let go.
      bar->setTracking(false);
      bar->setFocusPolicy(Qt::StrongFocus);  // the arrow keys step it, one message a step
      bar->setGeometry(at(92, 2, 154, 16));
      row.slider = bar;
      if (p.kind == ParamKind::Balance) {
        row.field->setToolTip(kBalanceTip);
        bar->setToolTip(kBalanceTip);
      }
      break;
    }
    case ParamKind::Knob:
    case ParamKind::Envelope:
      makeLabel(p.label, group, at(0, 0, kCellW, 14), Qt::AlignHCenter);
      row.knobPlace = at((kCellW - KnobWidget::kWidth) / 2, 14, KnobWidget::kWidth, KnobWidget::kHeight);
      row.field = makeField(p, group, at((kCellW - kFieldW) / 2, 60, kFieldW, kFieldH));
      break;
    case ParamKind::Volume: {
      auto* slider = new QSlider(Qt::Vertical, group);
      slider->setObjectName(qs(p.control));
      slider->setRange(p.low, p.high);  // 0 at the bottom, 127 at the top
      slider->setSingleStep(1);
      slider->setPageStep(8);
      slider->setTracking(false);
      slider->setGeometry(at(2, 0, 22, 70));
      row.slider = slider;
      auto* mute = new QCheckBox(group);
      mute->setObjectName(qs(p.companion));
      mute->setToolTip(kMuteTip);
      // The whole box is filled with the colour of its state.
      mute->setBackgroundRole(QPalette::Window);
      mute->setAutoFillBackground(true);
      colourMuteBox(mute, false);
      mute->setGeometry(at(0, 72, 24, 20));
      row.mute = mute;
      break;
    }
    case ParamKind::Routing: {
      ImageParallel = new RoutingPicture(RoutingPicture::Routing::Parallel, this);
      ImageSeriell = new RoutingPicture(RoutingPicture::Routing::Serial, this);
      ImageParallel->setObjectName(qs(p.companion));
      ImageSeriell->setObjectName(qs(p.companion2));
      for (RoutingPicture* picture : {ImageParallel, ImageSeriell}) {
        picture->move(twips(p.cell.x * kGrid), twips(p.cell.y * kGrid));
        picture->setToolTip(kRoutingTip);
      }
      // Until a routing is written, the parallel picture shows.
      ImageSeriell->hide();
      // The field has no width and no tab stop; only the pictures and the program write it.
      row.field = makeField(p, this, at(0, 0, 0, kFieldH));
      row.field->setFocusPolicy(Qt::NoFocus);
      row.field->setToolTip(kRoutingTip);
      break;
    }
    case ParamKind::MainVolume: {
      makeLabel(p.label, group, at(0, 0, 70, kFieldH), Qt::AlignLeft);
      row.field = makeField(p, group, at(0, 22, 48, 22));
      auto* slider = new QSlider(Qt::Vertical, group);
      slider->setObjectName(qs(p.companion));
      slider->setRange(p.low, p.high);
      slider->setSingleStep(1);
      slider->setPageStep(8);
      slider->setTracking(false);
      slider->setTickPosition(QSlider::TicksRight);
      slider->setTickInterval(16);
      slider->setGeometry(at(90, -32, 30, 108));
      row.slider = slider;
      break;
    }
  }
  if (row.field) row.toolTip = row.field->toolTip();
}

void EditorPanel::buildKnobs() {
  for (std::size_t i = 0; i < kParameterCount; ++i) {
    const Parameter& p = kParameters[i];
    if (!hasKnob(p)) continue;
    Row& row = rows_[i];
    row.knob = new KnobWidget(row.field, 0, 127, ctx_.knob, KnobLastY, row.field->parentWidget());
    row.knob->setObjectName(qs(p.companion));
    row.knob->setGeometry(row.knobPlace);
    // A knob step is a write of the field like any other, through the panel.
    row.knob->setWriter([this, id = p.id](const QString& text) {
      knobWriting_ = true;
      setContent({id}, text.toStdString());
      knobWriting_ = false;
    });
    connect(row.knob, &KnobWidget::released, this, &EditorPanel::gestureEnded);
  }
}

void EditorPanel::nameControls() {
  for (std::size_t i = 0; i < kParameterCount; ++i) {
    const Parameter& p = kParameters[i];
    const Row& row = rows_[i];
    const QString group = qs(groupTitle(p.group));
    const QString name = group + " " + qs(p.label);
    switch (p.kind) {
      case ParamKind::Octave:
      case ParamKind::Shape:
        row.combo->setAccessibleName(name);
        break;
      case ParamKind::FilterType:
        row.combo->setAccessibleName(group + " type");
        (p.group == ParamGroup::Filter1 ? ResetFilter1 : ResetFilter2)->setAccessibleName(group + " reset to standard");
        break;
      case ParamKind::Semitone:
      case ParamKind::Detune:
      case ParamKind::Balance:
        row.field->setAccessibleName(name);
        row.slider->setAccessibleName(name + " slider");
        break;
      case ParamKind::Knob:
      case ParamKind::Envelope:
        row.field->setAccessibleName(name);
        row.knob->setAccessibleName(name + " knob");
        break;
      case ParamKind::Volume:
        row.slider->setAccessibleName(group + " volume");
        row.mute->setAccessibleName(group + " mute");
        break;
      case ParamKind::Routing:
        row.field->setAccessibleName("Filter routing");
        ImageParallel->setAccessibleName("Filter routing: parallel");
        ImageSeriell->setAccessibleName("Filter routing: serial");
        break;
      case ParamKind::MainVolume:
        row.field->setAccessibleName("Main volume");
        row.slider->setAccessibleName("Main volume slider");
        break;
    }
  }
}

void EditorPanel::orderTabs() {
  // The groups as the eye reads the panel: filters, oscillators, envelopes, main volume; in a
  // group, the instrument's own order of its parameters (their controller numbers).
  constexpr ParamGroup kOrder[] = {ParamGroup::Filter1, ParamGroup::Filter2, ParamGroup::Osc1,
                                   ParamGroup::Osc2,    ParamGroup::Osc3,    ParamGroup::EnvAmp,
                                   ParamGroup::EnvFilter, ParamGroup::Main};
  QList<QWidget*> chain;
  for (ParamGroup g : kOrder) {
    std::vector<std::size_t> members;
    for (std::size_t i = 0; i < kParameterCount; ++i)
      if (kParameters[i].group == g) members.push_back(i);
    std::sort(members.begin(), members.end(), [](std::size_t a, std::size_t b) { return kParameters[a].cc < kParameters[b].cc; });
    for (std::size_t i : members) {
      const Row& row = rows_[i];
      if (row.combo) chain << row.combo;
      if (kParameters[i].kind == ParamKind::FilterType) chain << (g == ParamGroup::Filter1 ? ResetFilter1 : ResetFilter2);
      if (row.knob) chain << row.knob;  // the knob stands above its field
      if (row.field && row.field->focusPolicy() != Qt::NoFocus) chain << row.field;
      if (row.slider) chain << row.slider;
      if (row.mute) chain << row.mute;
    }
    if (g == ParamGroup::Filter2) chain << ImageParallel << ImageSeriell;
  }
  for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
  // The window opens with the focus at the start of the chain, not on the control built first.
  chain.front()->setFocus();
}

template <typename Routine>
void EditorPanel::changed(std::size_t i, Origin origin, Routine&& routine) {
  const bool outermost = changeDepth_++ == 0;
  routine();
  --changeDepth_;
  if (!outermost || programWrites_ > 0) return;
  const ValueControl control{kParameters[i].id, origin == Origin::MuteBox};
  emit userEdited(valueIndex(control), inputOf(i, origin));
}

// A knob's step is a drag while the button is held, else a wheel or arrow step; keys into a
// field or a selector's text are typing; everything else is one click or move.
EditInput EditorPanel::inputOf(std::size_t i, Origin origin) const {
  if (knobWriting_) return ctx_.knob.KnobDragging == -1 ? EditInput::KnobDrag : EditInput::KnobStep;
  if (origin == Origin::Selector) return EditInput::Typing;
  if (origin == Origin::Text && kParameters[i].kind != ParamKind::Routing) return EditInput::Typing;
  return EditInput::Single;
}

// One loop of connects: each control's change signal runs its family's routine with its row.
// QLineEdit::textChanged, QAbstractSlider::valueChanged and QCheckBox::toggled are emitted at
// once, nested, when the program writes the control, and not at all for the same content.
void EditorPanel::connectRow(std::size_t i) {
  const Parameter& p = kParameters[i];
  Row& row = rows_[i];
  auto on = [this, i](Origin origin, void (EditorPanel::*routine)(std::size_t)) {
    return [this, i, origin, routine] { changed(i, origin, [&] { (this->*routine)(i); }); };
  };
  auto onPlain = [this, i](Origin origin, void (EditorPanel::*routine)()) {
    return [this, i, origin, routine] { changed(i, origin, [&] { (this->*routine)(); }); };
  };
  // Leaving a field or selector ends what was typed into it as one undo step.
  if (row.field && p.kind != ParamKind::Routing) row.field->installEventFilter(this);
  if (row.combo) row.combo->installEventFilter(this);
  switch (p.kind) {
    case ParamKind::Octave:
    case ParamKind::Shape:
    case ParamKind::FilterType:
      // The edit text changes on typing, on a program's write and on a pick from the list
      // that changes it: one translation each. A pick is a step of its own.
      connect(row.combo, &QComboBox::editTextChanged, this, on(Origin::Selector, &EditorPanel::selectorChange));
      connect(row.combo, &QComboBox::activated, this, &EditorPanel::gestureEnded);
      if (p.kind == ParamKind::FilterType) {
        QPushButton* reset = p.group == ParamGroup::Filter1 ? ResetFilter1 : ResetFilter2;
        connect(reset, &QPushButton::clicked, this,
                p.group == ParamGroup::Filter1 ? &EditorPanel::ResetFilter1_Click : &EditorPanel::ResetFilter2_Click);
      }
      break;
    case ParamKind::Semitone:
    case ParamKind::Detune:
      connect(row.field, &QLineEdit::textChanged, this, on(Origin::Text, &EditorPanel::offsetFieldChange));
      connect(row.slider, &QAbstractSlider::valueChanged, this, on(Origin::Slider, &EditorPanel::mirrorSliderChange));
      break;
    case ParamKind::Balance:
      connect(row.field, &QLineEdit::textChanged, this, on(Origin::Text, &EditorPanel::balanceFieldChange));
      connect(row.slider, &QAbstractSlider::valueChanged, this, on(Origin::Slider, &EditorPanel::mirrorSliderChange));
      break;
    case ParamKind::Knob:
      connect(row.field, &QLineEdit::textChanged, this, on(Origin::Text, &EditorPanel::knobFieldChange));
      break;
    case ParamKind::Envelope:
      connect(row.field, &QLineEdit::textChanged, this, on(Origin::Text, &EditorPanel::envFieldChange));
      break;
    case ParamKind::Volume:
      connect(row.slider, &QAbstractSlider::valueChanged, this, on(Origin::Slider, &EditorPanel::volumeSliderChange));
      connect(row.mute, &QCheckBox::toggled, this, on(Origin::MuteBox, &EditorPanel::muteBoxClick));
      break;
    case ParamKind::Routing:
      connect(row.field, &QLineEdit::textChanged, this, onPlain(Origin::Text, &EditorPanel::TextFilterParSer_Change));
      connect(ImageParallel, &RoutingPicture::clicked, this, &EditorPanel::ImageParallel_Click);
      connect(ImageSeriell, &RoutingPicture::clicked, this, &EditorPanel::ImageSeriell_Click);
      break;
    case ParamKind::MainVolume:
      connect(row.field, &QLineEdit::textChanged, this, onPlain(Origin::Text, &EditorPanel::TextVolume_Change));
      connect(row.slider, &QAbstractSlider::valueChanged, this, onPlain(Origin::Slider, &EditorPanel::RollVolume_Change));
      break;
  }
}

// A click into an envelope field with the mouse (not reaching it with the keyboard); the
// focus leaving a field or selector.
bool EditorPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    for (std::size_t i = 0; i < kParameterCount; ++i)
      if (rows_[i].field == watched && kParameters[i].kind == ParamKind::Envelope) envFieldClick(i);
  }
  if (event->type() == QEvent::FocusOut) emit gestureEnded();
  return QWidget::eventFilter(watched, event);
}

EnvelopeLine* EditorPanel::line(ParamGroup envelope, EnvStage stage) const {
  for (std::size_t i = 0; i < std::size(kEnvelopeLines); ++i)
    if (kEnvelopeLines[i].envelope == envelope && kEnvelopeLines[i].stage == stage) return lines_[i];
  return nullptr;
}

EnvelopeGraph EditorPanel::graphOf(ParamGroup envelope) const {
  EnvelopeGraph g;
  for (EnvStage s : {EnvStage::Attack, EnvStage::Decay, EnvStage::Sustain, EnvStage::Release})
    g.line(s) = line(envelope, s)->ends();
  return g;
}

void EditorPanel::setGraph(ParamGroup envelope, const EnvelopeGraph& graph) {
  for (EnvStage s : {EnvStage::Attack, EnvStage::Decay, EnvStage::Sustain, EnvStage::Release})
    line(envelope, s)->setEnds(graph.line(s));
}

void EditorPanel::takeAnchors() {
  ampAnchors_ = anchorsOf(graphOf(ParamGroup::EnvAmp));
  filterAnchors_ = anchorsOf(graphOf(ParamGroup::EnvFilter));
}

const EnvelopeAnchors& EditorPanel::anchors(ParamGroup envelope) const {
  return envelope == ParamGroup::EnvAmp ? ampAnchors_ : filterAnchors_;
}

void EditorPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
  for (const QRect& area : kGraphArea) {
    p.setPen(QPen(palette().color(QPalette::Mid), 0));
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
}

}  // namespace rotavox
