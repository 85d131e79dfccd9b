#include <QApplication>
#include <memory>

#include "platform/midi/ServiceChoice.h"
#include "ui/common/AppContext.h"
#include "ui/common/QtMessagePresenter.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rotavox");

  const std::unique_ptr<rotavox::MidiService> service = rotavox::openSystemMidiService();
  rotavox::QtMessagePresenter presenter;
  rotavox::MidiLink midi(*service, presenter);
  rotavox::AppContext ctx{midi, presenter, {}, {}, {}};

  rotavox::MainWindow window(ctx);
  window.Form_Load();
  window.show();
  if (window.midiSettings()) window.midiSettings()->raise();
  return app.exec();
}
