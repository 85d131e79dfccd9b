#include "ui/editor/EditorPanel.h"

#include <QGroupBox>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "core/editor/ReceivedValue.h"
#include "core/editor/SelectorItems.h"
#include "ui/common/Twips.h"

namespace rotavox {

EditorPanel::EditorPanel(AppContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx), graphs_(this) {
  setObjectName("EditorPanel");
  setAccessibleName("Sound editor");
  setFixedSize(twips(kWidthTwips), twips(kHeightTwips));

  for (const Group& g : kGroups) {
    if (!g.box.exists()) continue;
    auto* box = new QGroupBox(qs(g.title), this);
    // The main volume's box shows no title; screen readers still name it.
    if (g.title.empty()) box->setAccessibleName("Main volume");
    box->setGeometry(gridRect(g.box.x, g.box.y, g.box.w, g.box.h));
    boxes_[index(g.id)] = box;
  }
  for (const Parameter& p : kParameters) {
    QWidget* box = boxes_[index(p.group)] ? static_cast<QWidget*>(boxes_[index(p.group)]) : this;
    const RowContext rowCtx{*this, ctx_.presenter, ctx_.knob, KnobLastY, EnvClickValue, MainVolume, graphs_, box};
    rows_[index(p.id)] = makePanelRow(p, rowCtx);
  }
  orderTabs();
  // The lines stand as designed; the window's start-up takes the anchors once more.
  takeAnchors();
}

EditorPanel::~EditorPanel() = default;

void EditorPanel::orderTabs() {
  std::vector<const PanelRow*> order;
  for (const auto& r : rows_) order.push_back(r.get());
  std::stable_sort(order.begin(), order.end(), [](const PanelRow* a, const PanelRow* b) {
    const Parameter &pa = a->parameter(), &pb = b->parameter();
    return index(pa.group) != index(pb.group) ? index(pa.group) < index(pb.group) : pa.cc < pb.cc;
  });
  QList<QWidget*> chain;
  for (const PanelRow* r : order) r->addToTabChain(chain);
  for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
  // The window opens with the focus at the start of the chain, not on the control built first.
  chain.front()->setFocus();
}

void EditorPanel::send(const Parameter& p, int byte) {
  if (receiving_) return;
  ctx_.midi.SendControlChange(p.cc, byte);
}

// A knob's step is a drag while the button is held, else a wheel or arrow step.
void EditorPanel::knobStep(Param id, const QString& text) {
  knobWriting_ = true;
  setContent({id}, text.toStdString());
  knobWriting_ = false;
}

// Once the outermost change of a user's edit has run its chain, tells userEdited().
void EditorPanel::changeEnds(ValueControl control, EditInput input) {
  if (--changeDepth_ > 0 || programWrites_ > 0) return;
  if (knobWriting_) input = ctx_.knob.KnobDragging == -1 ? EditInput::KnobDrag : EditInput::KnobStep;
  emit userEdited(valueIndex(control), input);
}

void EditorPanel::write(ValueControl control, std::string_view value) {
  ++programWrites_;
  setContent(control, value);
  --programWrites_;
}

void EditorPanel::setContent(ValueControl control, std::string_view value) { row(control.row).write(control, value); }

std::string EditorPanel::shown(ValueControl control) const { return row(control.row).shown(control); }

SoundState EditorPanel::soundState() const {
  SoundState state;
  for (std::size_t i = 0; i < kValueControlCount; ++i) state[i] = shown(kValueControls[i]);
  return state;
}

void EditorPanel::showStartText(Param id) { row(id).showStartText(); }

void EditorPanel::putBack(const SoundState& target) {
  ++programWrites_;
  for (const auto& r : rows_) r->putBack(target);
  --programWrites_;
}

void EditorPanel::showReceived(Param id, int byte) {
  const auto content = receivedContent(parameter(id), byte);
  if (!content || changeDepth_ > 0) return;
  const bool volume = parameter(id).kind == ParamKind::Volume;
  const auto state = [&] { return shown({id}) + (volume ? "/" + shown(muteBoxOf(id)) : std::string()); };
  const std::string before = state();
  ++programWrites_;
  receiving_ = true;
  row(id).showReceived(*content);
  receiving_ = false;
  --programWrites_;
  if (state() != before) emit userEdited(valueIndex({id}), EditInput::Received);
}

void EditorPanel::forgetSound(std::string_view caption) {
  for (const auto& r : rows_) r->showStartText();
  emit soundForgotten(qs(caption));
}

void EditorPanel::soundLoaded(std::string_view path, bool complete) { emit soundFileLoaded(qs(path), complete); }

void EditorPanel::soundSaved(std::string_view path) { emit soundFileSaved(qs(path)); }

void EditorPanel::writeAll(std::span<const ControlWrite> writes) {
  for (const ControlWrite& w : writes) write(w.control, w.value);
}

void EditorPanel::InitSoundPreset() {
  writeAll(kInitSound);
  emit soundInitialised();
}

void EditorPanel::InitSnd_Click() {
  if (initNeedsConfirmation(shown({Param::TextVolume})) &&
      ctx_.presenter.show(std::string(kInitQuestion), std::string(kInitCaption), MessageIcon::Question,
                          MessageButtons::OkCancel) != MessageAnswer::Ok)
    return;
  InitSoundPreset();
}

void EditorPanel::resetFilter(ParamGroup filter) {
  writeAll(filter == ParamGroup::Filter1 ? std::span<const ControlWrite>(kFilter1Reset)
                                         : std::span<const ControlWrite>(kFilter2Reset));
  emit filterWasReset(filter);
}

void EditorPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  graphs_.paint(p, palette());
}

}  // namespace rotavox
