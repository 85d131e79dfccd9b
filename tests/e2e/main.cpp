#include <gtest/gtest.h>

#include <QApplication>

#include "e2e/OverPipeWire.h"

// The window tests need an application object; the offscreen platform unless told otherwise.
int main(int argc, char** argv) {
  rotavox::jacktest::startOverPipeWireWhenAsked(argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  rotavox::jacktest::watchForLateGraph();
  return RUN_ALL_TESTS();
}
