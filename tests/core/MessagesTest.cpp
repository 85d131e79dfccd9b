#include <gtest/gtest.h>

#include <cstdint>

#include "core/midi/Messages.h"

namespace rotavox {
namespace {

// What every MIDI service lets onto the wire, and how many bytes it takes there.
TEST(ShortMessageCheck, BytesOnTheWireOrZeroForWhatIsNoShortMessage) {
  struct Case {
    const char* what;
    std::uint32_t message;
    int bytes;
  };
  const Case cases[] = {
      {"Control Change 69 = 100, channel 1", controlChange(0, 69, 100), 3},
      {"Note On 60 velocity 127, channel 10", noteOn(9, 60, 127), 3},
      {"Panic's note release", noteOn(15, 127, 0), 3},
      {"Note Off", 0x403C80, 3},
      {"polyphonic pressure", 0x10'3CA0, 3},
      {"pitch bend centre", 0x40'00E0, 3},
      {"program change: one data byte", 0x05C3, 2},
      {"channel pressure: one data byte", 0x7FD0, 2},
      {"program change ignores the unused byte", 0xFF'05C3, 2},
      {"MIDI time code quarter frame", 0x12F1, 2},
      {"song select", 0x03F3, 2},
      {"song position", 0x10'20F2, 3},
      {"tune request", 0xF6, 1},
      {"timing clock", 0xF8, 1},
      {"start / continue / stop", 0xFA, 1},
      {"active sensing", 0xFE, 1},
      {"system reset", 0xFF, 1},
      {"data byte alone", 0x45, 0},
      {"nothing", 0, 0},
      {"first data byte with its top bit", 0x0080B0, 0},
      {"second data byte with its top bit", 0x8045B0, 0},
      {"program change with a status as its data", 0x90C0, 0},
      {"song position with a broken second byte", 0x8010F2, 0},
      {"system exclusive start", 0xF0, 0},
      {"system exclusive end", 0xF7, 0},
      {"undefined system common F4", 0xF4, 0},
      {"undefined system common F5", 0xF5, 0},
      {"undefined real-time F9", 0xF9, 0},
      {"undefined real-time FD", 0xFD, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(shortMessageBytes(c.message), c.bytes) << c.what;
}

// The program's own messages are always short messages, on every channel.
TEST(ShortMessageCheck, EveryMessageTheProgramComposesPasses) {
  for (int channel = 0; channel < 16; ++channel)
    for (int data = 0; data < 128; ++data) {
      ASSERT_EQ(shortMessageBytes(noteOn(channel, data, 127 - data)), 3) << channel << " " << data;
      ASSERT_EQ(shortMessageBytes(controlChange(channel, data, data)), 3) << channel << " " << data;
    }
}

}  // namespace
}  // namespace rotavox
