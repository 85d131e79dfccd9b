#include "ui/editor/SelectorRow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "core/common/MessagePresenter.h"
#include "core/editor/SelectorItems.h"
#include "ui/common/ComboBoxAccessible.h"

namespace rotavox {

namespace {
// Tool tips, word for word.
const char* const kOctaveTip = "Sets the octave in (historical) pipelenght. The bigger the value the deeper the octave!";
const char* const kShapeTip = "Selects oscillator type (i.e. pulse or saw)";
const char* const kFilterTip = "Select a filter type (Lowpass is a typical filter type)";
}  // namespace

SelectorRow::SelectorRow(const Parameter& p, const RowContext& ctx) : PanelRow(p, ctx) {
  nameComboBoxesByPurpose();
  combo_ = new QComboBox(ctx.box);
  combo_->setObjectName(qs(p.control));
  for (const SelectorItem& item : selectorItems(p.items)) combo_->addItem(qs(item.text));
  // Typed text is taken as it is: no completion ("S" stays "S"), nothing added to the list.
  combo_->setEditable(true);
  combo_->setCompleter(nullptr);
  combo_->setInsertPolicy(QComboBox::NoInsert);
  combo_->setMaxVisibleItems(11);
  {
    // No item is the current one while the box shows "?", so a pick of any item, the first
    // included, changes the text and is sent.
    const QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(-1);
    combo_->setEditText(qs(kNoValueText));
  }
  const QString group = qs(groupTitle(p.group));
  if (p.kind == ParamKind::FilterType) {
    combo_->setToolTip(kFilterTip);
    combo_->setGeometry(at(0, 0, 164, 22));
    reset_ = new QPushButton("Reset to standard", ctx.box);
    reset_->setGeometry(at(170, -1, 110, 24));
    // "ComboFilter1" beside "ResetFilter1".
    reset_->setObjectName("Reset" + qs(p.control).mid(int(std::string_view("Combo").size())));
    reset_->setAccessibleName(group + " reset to standard");
    connect(reset_, &QPushButton::clicked, this, [this] { ctx_.host.resetFilter(p_.group); });
  } else if (p.kind == ParamKind::Octave) {
    combo_->setToolTip(kOctaveTip);
    makeLabel(at(0, 0, 46, 22), Qt::AlignLeft);
    combo_->setGeometry(at(48, 0, 60, 22));
  } else {
    combo_->setToolTip(kShapeTip);
    makeLabel(at(0, 0, 38, 22), Qt::AlignLeft);
    combo_->setGeometry(at(40, 0, 90, 22));
  }
  // Named by what it chooses ("Oscillator 1 octave", "Filter 2 type"); its text is its value.
  const QString name = p.kind == ParamKind::FilterType ? group + " type" : spokenGroup() + " " + qs(p.label).toLower();
  combo_->setAccessibleName(name);
  combo_->lineEdit()->setAccessibleName(name);
  // The edit text changes on typing, on a program's write and on a pick from the list that
  // changes it: one translation each. A pick is a step of its own.
  connect(combo_, &QComboBox::editTextChanged, this, &SelectorRow::textChanged);
  connect(combo_, &QComboBox::activated, this, [this] { ctx_.host.endGesture(); });
  endsGestureOnLeaving(combo_);
}

void SelectorRow::textChanged() {
  changing({p_.id}, EditInput::Typing, [this] {
    const FieldReading r = readField(p_, combo_->currentText().toStdString());
    if (r.state != FieldState::Valid) {
      ctx_.presenter.show(std::string(selectorErrorText(p_.items)), std::string(kSelectorErrorCaption),
                          MessageIcon::Critical, MessageButtons::Ok);
      return;
    }
    ctx_.host.send(p_, r.byte);
  });
}

void SelectorRow::write(ValueControl, std::string_view value) { combo_->setEditText(qs(value)); }

std::string SelectorRow::shown(ValueControl) const { return combo_->currentText().toStdString(); }

void SelectorRow::showStartText() {
  const QSignalBlocker quiet(combo_);
  combo_->setCurrentIndex(-1);
  combo_->setEditText(qs(kNoValueText));
}

void SelectorRow::addToTabChain(QList<QWidget*>& chain) const {
  chain << combo_;
  if (reset_) chain << reset_;
}

}  // namespace rotavox
