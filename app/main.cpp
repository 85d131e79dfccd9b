#include <QApplication>

#include "platform/fs/SoundFileStore.h"
#include "ui/Program.h"

int main(int argc, char** argv) {
  rotavox::ignoreFileSizeSignal();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rotavox");
  rotavox::Program program;
  program.start();
  return app.exec();
}
