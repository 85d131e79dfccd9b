#include <gtest/gtest.h>

#include <string>

#include "core/midi/Messages.h"
#include "core/monitor/MessageText.h"
#include "core/monitor/MidiLog.h"

namespace rotavox {
namespace {

TEST(MonitorText, WhatEachMessageMeans) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {controlChange(0, 69, 100), "ch 1  CC 69  Filter 1 Cutoff = 100"},
      {controlChange(15, 7, 110), "ch 16  CC 7  Main volume = 110"},
      {controlChange(0, 31, 2), "ch 1  CC 31  OSC 1 Shape = 2 (Saw)"},
      {controlChange(0, 35, 112), "ch 1  CC 35  OSC 2 Octave = 112 (1/2\")"},
      {controlChange(0, 79, 8), "ch 1  CC 79  Filter 2 Type = 8 (\\/  Notch 12 dB)"},
      {controlChange(0, 46, 6), "ch 1  CC 46  OSC 3 Shape = 6"},  // no such item for OSC 3
      {controlChange(2, 56, 0), "ch 3  CC 56  OSC 2 Volume = 0"},
      {controlChange(0, 67, 1), "ch 1  CC 67  Filter routing = 1"},
      {controlChange(0, 101, 5), "ch 1  CC 101  Envelope Amp Att = 5"},
      {controlChange(0, 97, 127), "ch 1  CC 97  Envelope Filter Sustain = 127"},
      {controlChange(0, 123, 0), "ch 1  CC 123  All Notes Off"},
      {controlChange(0, 1, 64), "ch 1  CC 1 = 64"},
      {noteOn(0, 60, 100), "ch 1  Note On 60 vel 100"},
      {noteOn(9, 127, 0), "ch 10  Note On 127 vel 0"},
      {shortMessage(0x80, 60, 64), "ch 1  Note Off 60 vel 64"},
      {shortMessage(0xC3, 5, 0), "ch 4  Program 5"},
      {shortMessage(0xE0, 0, 64), "ch 1  Pitch Bend 0"},
      {shortMessage(0xF8, 0, 0), "status F8"},
  };
  for (const auto& [message, text] : cases) EXPECT_EQ(describeMessage(message), text) << std::hex << message;
}

TEST(MonitorText, BytesSecondsAndWholeLines) {
  EXPECT_EQ(messageBytes(controlChange(0, 69, 100)), "B0 45 64");
  EXPECT_EQ(messageBytes(noteOn(15, 1, 0)), "9F 01 00");
  EXPECT_EQ(messageBytes(shortMessage(0xC0, 5, 0)), "C0 05");
  EXPECT_EQ(secondsText(0), "0.000");
  EXPECT_EQ(secondsText(5999), "0.005");
  EXPECT_EQ(secondsText(12345678), "12.345");
  EXPECT_EQ(secondsText(-3), "0.000");
  EXPECT_EQ(monitorLine({0, 1500000, controlChange(0, 69, 100), kMidiOk}, ""),
            "1.500  B0 45 64  ch 1  CC 69  Filter 1 Cutoff = 100");
  EXPECT_EQ(monitorLine({0, 2000, noteOn(0, 60, 100), 5}, "no output is open"),
            "0.002  90 3C 64  ch 1  Note On 60 vel 100  -- failed: no output is open");
  EXPECT_EQ(monitorLine({0, 2000, noteOn(0, 60, 100), 5}, ""), "0.002  90 3C 64  ch 1  Note On 60 vel 100  -- failed: error 5");
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
  log.clear();
  EXPECT_EQ(log.size(), 0u);
  EXPECT_EQ(log.first(), 10005u);
  log.add(1, 42, kMidiOk);
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(log.at(log.first()).message, 42u);
  EXPECT_EQ(log.at(log.first()).number, 10005u) << "numbering goes on after a clear";
}

}  // namespace
}  // namespace rotavox
