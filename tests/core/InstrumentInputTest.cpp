#include <gtest/gtest.h>

#include <vector>

#include "core/midi/InstrumentInput.h"
#include "core/midi/Messages.h"

namespace rotavox::instrument_input_test {

using Kind = ReceivedMeaning::Kind;
std::uint32_t msg(int status, int d1, int d2 = 0) { return shortMessage(status, d1, d2); }

// Only the chosen channel counts, and on it only the panel's controllers, the bank and the
// program; every other message means nothing.
TEST(InstrumentInput, WhatAMessageMeansOnTheChosenChannel) {
  const struct {
    std::uint32_t message;
    int channel;
    Kind kind;
    int value;
    Param row = {};
  } cases[] = {
      {msg(0xB0, 69, 100), 0, Kind::Parameter, 100, Param::TextF1_cutoff},
      {msg(0xBF, 7, 0), 15, Kind::Parameter, 0, Param::TextVolume},
      {msg(0xB0, 32, 2), 0, Kind::Bank, 2},  {msg(0xC5, 99), 5, Kind::Program, 100},
      {msg(0xC0, 0), 0, Kind::Program, 1},   {msg(0xB1, 69, 100), 0, Kind::Nothing, 0},
      {msg(0xB0, 69, 1), -1, Kind::Nothing, 0}, {msg(0xB0, 1, 64), 0, Kind::Nothing, 0},
      {msg(0xB0, 0, 1), 0, Kind::Nothing, 0},  {msg(0xB0, 32, 3), 0, Kind::Nothing, 0},
      {msg(0xC0, 100), 0, Kind::Nothing, 0},  {msg(0x90, 60, 9), 0, Kind::Nothing, 0},
      {msg(0xE0, 0, 64), 0, Kind::Nothing, 0}, {msg(0xF8, 0), 0, Kind::Nothing, 0},
      {msg(0xB0, 69, 200), 0, Kind::Nothing, 0},
  };
  for (const auto& c : cases) {
    const ReceivedMeaning m = meaningOf(c.message, c.channel);
    EXPECT_TRUE(m.kind == c.kind && m.value == c.value && m.row == c.row) << std::hex << c.message;
  }
}

// A batch keeps the last value of each parameter in the order they first changed; a program
// change voids what came before it; the bank stays selected across batches, and the program's
// own Bank Select counts too.
TEST(InstrumentInput, ABatchKeepsTheLastValuesAfterTheLastProgram) {
  ReceivedBatch batch;
  const auto add = [&](std::initializer_list<std::uint32_t> messages) {
    for (std::uint32_t m : messages) batch.add(meaningOf(m, 0));
  };
  add({msg(0xB0, 69, 1), msg(0xB0, 70, 5), msg(0xB0, 69, 2), msg(0xB1, 69, 99), msg(0x90, 60, 1), msg(0xB0, 52, 0)});
  EXPECT_EQ(batch.values(), (std::vector<ReceivedValue>{
                                {Param::TextF1_cutoff, 2}, {Param::TextF1_reso, 5}, {Param::VScrollOSC1vol, 0}}));
  EXPECT_FALSE(batch.program());
  add({msg(0xC0, 4)});
  EXPECT_EQ(batch.program(), (InstrumentProgram{InstrumentProgram::kUnknownBank, 5}));
  EXPECT_TRUE(batch.values().empty());
  batch.clear();
  add({msg(0xB0, 32, 1)});
  EXPECT_TRUE(batch.empty()) << "a bank alone changes nothing on the panel";
  add({msg(0xC0, 41), msg(0xB0, 71, 7)});
  EXPECT_EQ(batch.program(), (InstrumentProgram{1, 42}));
  EXPECT_EQ(batch.values(), (std::vector<ReceivedValue>{{Param::TextF1_drive, 7}}));
  batch.clear();
  batch.bankSent(2);
  add({msg(0xC0, 0)});
  EXPECT_EQ(batch.program(), (InstrumentProgram{2, 1}));
  EXPECT_EQ(receivedShowDelay(0), kReceivedFrameNanos);
  EXPECT_EQ(receivedShowDelay(kReceivedFrameNanos - 5), 5);
  EXPECT_EQ(receivedShowDelay(kReceivedFrameNanos), 0);
}

TEST(InstrumentProgram, StepsTextTitleAndTypedNumber) {
  const struct {
    InstrumentProgram from;
    int steps;
    InstrumentProgram to;
  } steps[] = {{{0, 1}, 1, {0, 2}},   {{0, 100}, 1, {1, 1}},   {{1, 1}, -1, {0, 100}},
               {{2, 100}, 1, {0, 1}}, {{1, 50}, 300, {1, 50}}, {{InstrumentProgram::kUnknownBank, 7}, 1, {0, 8}}};
  for (const auto& c : steps) EXPECT_EQ(steppedProgram(c.from, c.steps), c.to) << programText(c.from) << c.steps;
  EXPECT_EQ(programText({2, 100}), "C100");
  EXPECT_EQ(programText({InstrumentProgram::kUnknownBank, 42}), "?042");
  EXPECT_EQ(programTitle("Rotavox v0.2.0", InstrumentProgram{0, 1}), "Rotavox v0.2.0 [A001]");
  EXPECT_EQ(programTitle("Rotavox v0.2.0", std::nullopt), "Rotavox v0.2.0");
  for (const char* text : {"0", "101", "4.5", "", "x", "-3"}) EXPECT_FALSE(programNumber(text)) << text;
  EXPECT_EQ(programNumber(" 42 "), 42);
  EXPECT_EQ(programNumber("100"), 100);
}

}  // namespace rotavox::instrument_input_test
