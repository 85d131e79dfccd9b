#include "ui/about/AboutBox.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "rotavox/version.h"
#include "ui/common/Twips.h"

namespace rotavox {

namespace {

// The logo: a knob over the program's name, drawn so it stays sharp at any scale.
class Logo : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect().adjusted(4, 4, -4, -4);
    const double d = std::min(r.width(), r.height());
    const QRectF knob(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
    QRadialGradient g(knob.center() - QPointF(d / 6, d / 6), d * 0.7);
    g.setColorAt(0, QColor(90, 98, 110));
    g.setColorAt(1, QColor(28, 30, 36));
    p.setPen(QPen(QColor(10, 10, 12), 2));
    p.setBrush(g);
    p.drawEllipse(knob);
    p.setPen(QPen(QColor(255, 150, 40), d / 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(knob.center(), knob.center() + QPointF(d * 0.3, -d * 0.3));
  }
};

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("F_About");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(7380), twips(4710));

  Frame1_ = new QFrame(this);
  Frame1_->setObjectName("Frame1");
  Frame1_->setFrameShape(QFrame::Box);
  Frame1_->setGeometry(twipRect(150, 60, 7080, 4515));
  Frame1_->installEventFilter(this);

  placed<Logo>(Frame1_, "imgLogo", twipRect(240, 240, 1800, 1800));
  placed<QFrame>(Frame1_, "Shape1", twipRect(240, 2400, 6600, 60))->setFrameShape(QFrame::HLine);

  QLabel* product = placed<QLabel>(Frame1_, "lblProductName", twipRect(2300, 300, 4500, 600), "Product");
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 2.2);
  big.setBold(true);
  product->setFont(big);
  placed<QLabel>(Frame1_, "lblVersion", twipRect(2300, 960, 4500, 300), QString::fromUtf8("Version ßeta 0.1"));
  placed<QLabel>(Frame1_, "Label1", twipRect(2300, 1320, 4500, 300), "Betaversion");
  placed<QLabel>(Frame1_, "lblWarning", twipRect(240, 2600, 6600, 600), "");
  QLabel* notice = placed<QLabel>(Frame1_, "lblFreeware", twipRect(240, 2600, 6600, 700),
                                  "Rotavox is freeware: you may copy and pass it on freely.\n"
                                  "A sound editor for the Waldorf microQ.");
  notice->setWordWrap(true);
  placed<QLabel>(Frame1_, "webURL", twipRect(240, 3600, 6600, 300), "rotavox.example.org  -  rotavox@example.org");

  // Labels and the picture swallow their clicks, so only the bare frame closes the box.
  for (QWidget* w : Frame1_->findChildren<QWidget*>()) w->installEventFilter(this);
}

void AboutBox::Form_Load() {
  findChild<QLabel*>("lblVersion")
      ->setText(QString("Version %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
  findChild<QLabel*>("lblProductName")->setText("Rotavox");
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
  if (!event->text().isEmpty()) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
    if (watched == Frame1_) {
      if (event->type() == QEvent::MouseButtonRelease) close();
      return true;
    }
    return true;  // a label or the picture: nothing happens
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace rotavox
