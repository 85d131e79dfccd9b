// Starts the editor as the program does, offscreen, and saves pictures of its windows:
// the main window with the MIDI settings dialog over it, and each dialog on its own.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "ui/Program.h"
#include "ui/common/QueuedMessagesNote.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace {

QPixmap grabWindow(QWidget* w) {
  w->adjustSize();
  QApplication::processEvents();
  return w->grab();
}

bool save(const QPixmap& pixmap, const QString& path) {
  if (!pixmap.save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rotavox");
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("build/screenshots");
  const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  QDir().mkpath(dir);
  if (argc > 3 && QString(argv[3]) == "dark") {
    // A dark desktop theme, as a user's platform theme would hand it over.
    QApplication::setStyle("Fusion");
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 47, 51));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 31, 34));
    dark.setColor(QPalette::AlternateBase, QColor(45, 47, 51));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 58, 63));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(60, 130, 220));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(55, 58, 63));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::Mid, QColor(80, 84, 90));
    dark.setColor(QPalette::Dark, QColor(25, 26, 28));
    dark.setColor(QPalette::Light, QColor(90, 94, 100));
    QApplication::setPalette(dark);
  }

  rotavox::Program program;
  program.start();
  rotavox::MainWindow& window = program.window();
  rotavox::AppContext& ctx = program.context();
  QApplication::processEvents();

  bool ok = true;
  const QPixmap main = grabWindow(&window);
  QPixmap composite = main;
  if (rotavox::MidiSettingsDialog* settings = window.midiSettings()) {
    const QPixmap dialog = grabWindow(settings);
    ok &= save(dialog, dir + "/midi-settings" + suffix + ".png");
    QPainter p(&composite);
    const QPoint at((main.width() - dialog.width()) / 2, main.height() / 6);
    p.fillRect(QRect(at - QPoint(1, 1), dialog.size() / dialog.devicePixelRatio() + QSize(2, 2)), Qt::black);
    p.drawPixmap(at, dialog);
    settings->close();
  }
  ok &= save(composite, dir + "/rotavox-main" + suffix + ".png");

  ctx.midi.state().MidiChannel = 0;
  window.Menu_InitW_Click();
  ok &= save(grabWindow(&window), dir + "/rotavox-main-init" + suffix + ".png");

  window.Menu_About_Click();
  if (QWidget* about = window.findChild<QWidget*>("F_About")) ok &= save(grabWindow(about), dir + "/about" + suffix + ".png");
  for (const char* name : {"F_Sequenzer", "F_FileIO"}) {
    if (QString(name) == "F_Sequenzer") window.Menu_Sequenzer_Click();
    else window.Menu_SaveSound_Click();
    if (QWidget* w = window.findChild<QWidget*>(name)) ok &= save(grabWindow(w), dir + "/" + name + suffix + ".png");
  }
  // The note shown when the program ends with messages still queued.
  rotavox::QueuedMessagesNote note([] { return std::size_t{2032}; });
  note.show();
  ok &= save(grabWindow(&note), dir + "/queued-messages" + suffix + ".png");
  return ok ? 0 : 1;
}
