#include <gtest/gtest.h>

#include "core/midi/Messages.h"

namespace rotavox {
namespace {

TEST(Messages, LayoutIsStatusThenDataBytes) {
  EXPECT_EQ(controlChange(0, 69, 100), 0x6445B0u);
  EXPECT_EQ(noteOn(9, 60, 127), 0x7F3C99u);
}

}  // namespace
}  // namespace rotavox
