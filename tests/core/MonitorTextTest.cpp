#include <gtest/gtest.h>

#include <string>

#include "core/midi/Messages.h"
#include "core/monitor/MessageText.h"
#include "core/monitor/MidiLog.h"

namespace rotavox {
namespace {

TEST(MonitorText, EachMessageTakenApart) {
  const std::pair<std::uint32_t, MessageParts> cases[] = {
      {controlChange(0, 69, 100), {"1", "CC 69", "Filter 1 Cutoff = 100"}},
      {controlChange(15, 7, 110), {"16", "CC 7", "Main volume = 110"}},
      {controlChange(0, 31, 2), {"1", "CC 31", "OSC 1 Shape = 2 (Saw)"}},
      {controlChange(0, 35, 112), {"1", "CC 35", "OSC 2 Octave = 112 (1/2\")"}},
      {controlChange(0, 79, 8), {"1", "CC 79", "Filter 2 Type = 8 (\\/  Notch 12 dB)"}},
      {controlChange(0, 46, 6), {"1", "CC 46", "OSC 3 Shape = 6"}},  // no such item for OSC 3
      {controlChange(2, 56, 0), {"3", "CC 56", "OSC 2 Volume = 0"}},
      {controlChange(0, 67, 1), {"1", "CC 67", "Filter routing = 1"}},
      {controlChange(0, 101, 5), {"1", "CC 101", "Envelope Amp Att = 5"}},
      {controlChange(0, 97, 127), {"1", "CC 97", "Envelope Filter Sustain = 127"}},
      {controlChange(0, 123, 0), {"1", "CC 123", "All Notes Off"}},
      {controlChange(0, 1, 64), {"1", "CC 1", "= 64"}},
      {noteOn(0, 60, 100), {"1", "Note On 60", "vel 100"}},
      {noteOn(9, 127, 0), {"10", "Note On 127", "vel 0"}},
      {shortMessage(0x80, 60, 64), {"1", "Note Off 60", "vel 64"}},
      {shortMessage(0xA1, 60, 5), {"2", "Key Pressure 60", "= 5"}},
      {shortMessage(0xC3, 5, 0), {"4", "Program 5", ""}},
      {shortMessage(0xD0, 9, 0), {"1", "Channel Pressure", "= 9"}},
      {shortMessage(0xE0, 0, 64), {"1", "Pitch Bend", "= 0"}},
      {shortMessage(0xF8, 0, 0), {"", "status F8", ""}},
  };
  for (const auto& [message, parts] : cases) EXPECT_EQ(messageParts(message), parts) << std::hex << message;
}

TEST(MonitorText, BytesSecondsAndDirection) {
  EXPECT_EQ(messageBytes(controlChange(0, 69, 100)), "B0 45 64");
  EXPECT_EQ(messageBytes(noteOn(15, 1, 0)), "9F 01 00");
  EXPECT_EQ(messageBytes(shortMessage(0xC0, 5, 0)), "C0 05");
  EXPECT_EQ(secondsText(0), "0.000");
  EXPECT_EQ(secondsText(5999), "0.005");
  EXPECT_EQ(secondsText(12345678), "12.345");
  EXPECT_EQ(secondsText(-3), "0.000");
  EXPECT_EQ(directionText(MessageDirection::Out), "out");
  EXPECT_EQ(directionText(MessageDirection::In), "in");
}

// A row has every column, the error one empty unless the send failed; a line is the row with
// tabs between the columns.
TEST(MonitorText, RowsAndLines) {
  const struct {
    LoggedMessage logged;
    const char* error;
    MonitorRow row;
  } cases[] = {
      {{0, 1500000, controlChange(0, 69, 100), kMidiOk}, "", {"1.500", "out", "B0 45 64", "1", "CC 69", "Filter 1 Cutoff = 100", ""}},
      {{0, 2000, noteOn(0, 60, 100), 5}, "no output is open", {"0.002", "out", "90 3C 64", "1", "Note On 60", "vel 100", "no output is open"}},
      {{0, 2000, noteOn(0, 60, 100), 5}, "", {"0.002", "out", "90 3C 64", "1", "Note On 60", "vel 100", "error 5"}},
      {{0, 0, noteOn(1, 60, 0), kMidiOk, 0, MessageDirection::In}, "", {"0.000", "in", "91 3C 00", "2", "Note On 60", "vel 0", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(monitorRow(c.logged, c.error), c.row);
  EXPECT_EQ(monitorLine(cases[0].logged, ""), "1.500\tout\tB0 45 64\t1\tCC 69\tFilter 1 Cutoff = 100\t");
  EXPECT_EQ(monitorLine(cases[1].logged, "gone"), "0.002\tout\t90 3C 64\t1\tNote On 60\tvel 100\tgone");
}

TEST(MidiLog, KeepsTheLastTenThousandInOrder) {
  MidiLog log;
  EXPECT_EQ(log.size(), 0u);
  for (std::uint32_t i = 0; i < 10005; ++i) log.add(i, i, i % 3 == 0 ? kMidiOk : 7);
  EXPECT_EQ(log.size(), MidiLog::kCapacity);
  EXPECT_EQ(log.first(), 5u);
  EXPECT_EQ(log.next(), 10005u);
  for (std::uint64_t n = log.first(); n < log.next(); ++n) {
    ASSERT_EQ(log.at(n).number, n);
    ASSERT_EQ(log.at(n).message, n);
  }
  EXPECT_EQ(log.at(10004).result, 7u);
  EXPECT_EQ(log.at(10004).direction, MessageDirection::Out) << "every message kept was sent";
  log.clear();
  EXPECT_EQ(log.size(), 0u);
  EXPECT_EQ(log.first(), 10005u);
  log.add(1, 42, kMidiOk);
  log.addReceived(2, 43);
  EXPECT_EQ(log.size(), 2u);
  EXPECT_EQ(log.at(log.first()).message, 42u);
  EXPECT_EQ(log.at(log.first()).number, 10005u) << "numbering goes on after a clear";
  EXPECT_EQ(log.at(log.first()).direction, MessageDirection::Out);
  EXPECT_EQ(log.at(log.first() + 1).direction, MessageDirection::In);
}

}  // namespace
}  // namespace rotavox
