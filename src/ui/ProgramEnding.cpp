#include "ui/ProgramEnding.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include "core/midi/MidiLink.h"
#include "ui/common/QueuedMessagesNote.h"

namespace rotavox {

ProgramEnding::ProgramEnding(MidiLink& midi, QWidget& mainWindow)
    : QObject(&mainWindow), midi_(midi), mainWindow_(mainWindow) {
  setObjectName("ProgramEnding");
  QGuiApplication::setQuitOnLastWindowClosed(false);
  qApp->installEventFilter(this);
}

ProgramEnding::~ProgramEnding() { delete note_.data(); }

bool ProgramEnding::isProgramWindow(const QWidget* w) const {
  if (!w->isWindow()) return false;
  // Menus, tool tips and the lists of drop-down boxes are windows too, but not the user's.
  const Qt::WindowType type = w->windowType();
  if (type != Qt::Window && type != Qt::Dialog) return false;
  for (const QObject* o = w; o != nullptr; o = o->parent())
    if (o == &mainWindow_) return true;
  return false;
}

bool ProgramEnding::anyWindowOpen() const {
  for (const QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && isProgramWindow(w)) return true;
  return false;
}

bool ProgramEnding::eventFilter(QObject* watched, QEvent* event) {
  // Minimising a window hides it spontaneously; only a hide by the program (a close) counts.
  if (event->type() != QEvent::Hide || event->spontaneous() || !watched->isWidgetType() ||
      !isProgramWindow(static_cast<QWidget*>(watched)))
    return QObject::eventFilter(watched, event);
  if (watched == &mainWindow_) {
    // The dialogs go on as windows of their own: a window manager may hide the windows that
    // stand for a main window that is gone.
    for (QWidget* w : mainWindow_.findChildren<QWidget*>())
      if (isProgramWindow(w) && w->windowHandle()) w->windowHandle()->setTransientParent(nullptr);
  }
  // Looked at once the closing has finished: a window hidden only to be shown again at once
  // (a change of its flags) is no end.
  if (!ending_) QMetaObject::invokeMethod(this, &ProgramEnding::lastWindowClosed, Qt::QueuedConnection);
  return QObject::eventFilter(watched, event);
}

void ProgramEnding::lastWindowClosed() {
  if (ending_ || anyWindowOpen()) return;
  endWhenSent();
}

void ProgramEnding::quitNow() {
  if (ending_) return;
  if (midi_.service().pendingMessages() > 0) {
    ending_ = true;
    // Hidden, not closed: no unload step runs, and the open output goes on sending its queue.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && isProgramWindow(w)) w->hide();
  }
  endWhenSent();
}

void ProgramEnding::endWhenSent() {
  ending_ = true;
  if (midi_.service().pendingMessages() == 0) {
    end();
    return;
  }
  note_ = new QueuedMessagesNote([this] { return midi_.service().pendingMessages(); },
                                 [this] { return midi_.service().answering(); });
  connect(note_, &QueuedMessagesNote::emptied, this, &ProgramEnding::end);
  connect(note_, &QueuedMessagesNote::quitAtOnce, this, &ProgramEnding::end);
  note_->show();
  note_->refresh();
}

void ProgramEnding::end() {
  if (ended_) return;
  ended_ = true;
  emit ended();
  QCoreApplication::exit(0);
}

}  // namespace rotavox
