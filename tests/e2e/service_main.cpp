#include <gtest/gtest.h>

#include "e2e/OverPipeWire.h"

int main(int argc, char** argv) {
  rotavox::jacktest::startOverPipeWireWhenAsked(argv);
  ::testing::InitGoogleTest(&argc, argv);
  rotavox::jacktest::watchForLateGraph();
  return RUN_ALL_TESTS();
}
