#include <QApplication>

#include "ui/Program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rotavox");
  rotavox::Program program;
  program.start();
  return app.exec();
}
