#include "ui/common/QueuedMessagesNote.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace rotavox {

QString queuedMessagesText(std::size_t count) {
  return QString("Sending %1 queued MIDI %2%3")
      .arg(static_cast<qulonglong>(count))
      .arg(count == 1 ? "message" : "messages")
      .arg(QChar(0x2026));
}

QString notAnsweringText(std::size_t count) {
  return QString("The MIDI system does not answer: %1 queued MIDI %2 cannot be sent. Quit now, or wait until it "
                 "answers.")
      .arg(static_cast<qulonglong>(count))
      .arg(count == 1 ? "message" : "messages");
}

QueuedMessagesNote::QueuedMessagesNote(std::function<std::size_t()> pending, std::function<bool()> answering,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window), pending_(std::move(pending)), answering_(std::move(answering)) {
  setObjectName("QueuedMessagesNote");
  setWindowTitle("Rotavox");

  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(side, side));
  text_ = new QLabel(this);
  text_->setObjectName("QueuedMessagesText");
  // Wide enough for the largest count, so the window does not jump while it counts down.
  text_->setMinimumWidth(text_->fontMetrics().horizontalAdvance(queuedMessagesText(99999)));
  quit_ = new QPushButton("&Quit now", this);
  quit_->setObjectName("QuitNow");
  quit_->setToolTip("Ends the program at once; the messages not sent yet are lost");

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(text_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(quit_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(quit_, &QPushButton::clicked, this, [this] {
    done_ = true;
    emit quitAtOnce();
  });
  timer_ = new QTimer(this);
  timer_->setInterval(100);
  connect(timer_, &QTimer::timeout, this, &QueuedMessagesNote::refresh);
  timer_->start();
  // Only the text for now: whoever shows the note connects first, then refreshes.
  lastCount_ = pending_();
  text_->setText(queuedMessagesText(lastCount_));
}

void QueuedMessagesNote::refresh() {
  if (done_) return;
  // Looked at first: a service may count nothing more once its system does not answer, and
  // those messages have not gone out.
  if (!answering_()) {
    text_->setText(notAnsweringText(lastCount_));
    return;
  }
  const std::size_t count = pending_();
  lastCount_ = count;
  text_->setText(queuedMessagesText(count));
  if (count > 0) return;
  done_ = true;
  timer_->stop();
  emit emptied();
}

// The note is the program's last window: closing it is the same as quitting at once.
void QueuedMessagesNote::closeEvent(QCloseEvent* event) {
  if (!done_) {
    done_ = true;
    emit quitAtOnce();
  }
  event->accept();
}

}  // namespace rotavox
