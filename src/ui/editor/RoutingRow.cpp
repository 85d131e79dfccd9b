#include "ui/editor/RoutingRow.h"

#include <QLineEdit>

#include "core/editor/SelectorItems.h"
#include "ui/common/Twips.h"
#include "ui/editor/RoutingPicture.h"

namespace rotavox {

namespace {
const char* const kRoutingTip = "Selects parallel (4-pole) or serial (2x 2-pole) filter";
}  // namespace

RoutingRow::RoutingRow(const Parameter& p, const RowContext& ctx) : FieldRow(p, ctx) {
  ImageParallel = new RoutingPicture(RoutingPicture::Routing::Parallel, ctx.box);
  ImageSeriell = new RoutingPicture(RoutingPicture::Routing::Serial, ctx.box);
  ImageParallel->setObjectName(qs(p.companion));
  ImageSeriell->setObjectName(qs(p.companion2));
  for (RoutingPicture* picture : {ImageParallel, ImageSeriell}) {
    picture->move(twips(p.cell.x * kGrid), twips(p.cell.y * kGrid));
    picture->setToolTip(kRoutingTip);
  }
  // Until a routing is written, the parallel picture shows.
  ImageSeriell->hide();
  // The field has no width and no tab stop; only the pictures and the program write it.
  field_ = makeField(ctx.box, at(0, 0, 0, kFieldH));
  field_->setFocusPolicy(Qt::NoFocus);
  field_->setToolTip(kRoutingTip);
  // One name for all three: the picture shown is the routing in force, its value.
  for (QWidget* w : {static_cast<QWidget*>(field_), static_cast<QWidget*>(ImageParallel), static_cast<QWidget*>(ImageSeriell)})
    w->setAccessibleName(qs(parameterTitle(p)));
  connect(field_, &QLineEdit::textChanged, this, &RoutingRow::TextFilterParSer_Change);
  connect(ImageParallel, &RoutingPicture::clicked, this, &RoutingRow::ImageParallel_Click);
  connect(ImageSeriell, &RoutingPicture::clicked, this, &RoutingRow::ImageSeriell_Click);
}

void RoutingRow::ImageParallel_Click() {
  ImageSeriell->show();
  ImageParallel->hide();
  field_->setText("1");
}

void RoutingRow::ImageSeriell_Click() {
  ImageParallel->show();
  ImageSeriell->hide();
  field_->setText("0");
}

// Anything but 1 counts as parallel and is put back to "0".
void RoutingRow::TextFilterParSer_Change() {
  changing({p_.id}, EditInput::Single, [this] {
    if (!routingState(field_->text().toStdString())) field_->setText("0");
    const bool serial = routingState(field_->text().toStdString()).has_value();
    ctx_.host.send(p_, serial ? 1 : 0);
    showRouting(serial);
  });
}

void RoutingRow::showRouting(bool serial) {
  ImageSeriell->setVisible(serial);
  ImageParallel->setVisible(!serial);
}

void RoutingRow::addToTabChain(QList<QWidget*>& chain) const { chain << ImageParallel << ImageSeriell; }

}  // namespace rotavox
