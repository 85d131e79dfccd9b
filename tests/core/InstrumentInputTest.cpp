#include <gtest/gtest.h>

#include <vector>

#include "core/midi/InstrumentInput.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"

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
    Param row;
    int value;
  } cases[] = {
      {msg(0xB0, 69, 100), 0, Kind::Parameter, Param::TextF1_cutoff, 100},
      {msg(0xB3, 7, 0), 3, Kind::Parameter, Param::TextVolume, 0},
      {msg(0xBF, 106, 127), 15, Kind::Parameter, Param::TextEnv1T3, 127},
      {msg(0xB1, 69, 100), 0, Kind::Nothing, {}, 0},   // another channel
      {msg(0xB0, 69, 100), -1, Kind::Nothing, {}, 0},  // no channel chosen yet
      {msg(0xB0, 1, 64), 0, Kind::Nothing, {}, 0},     // modulation wheel: no parameter of the panel
      {msg(0xB0, 123, 0), 0, Kind::Nothing, {}, 0},    // All Notes Off
      {msg(0xB0, 0, 1), 0, Kind::Nothing, {}, 0},      // Bank Select MSB
      {msg(0xB0, 32, 0), 0, Kind::Bank, {}, 0},
      {msg(0xB0, 32, 2), 0, Kind::Bank, {}, 2},
      {msg(0xB0, 32, 3), 0, Kind::Nothing, {}, 0},     // no bank D
      {msg(0xC0, 0), 0, Kind::Program, {}, 1},
      {msg(0xC5, 99), 5, Kind::Program, {}, 100},
      {msg(0xC0, 100), 0, Kind::Nothing, {}, 0},       // no sound 101
      {msg(0xC1, 5), 0, Kind::Nothing, {}, 0},
      {msg(0x90, 60, 100), 0, Kind::Nothing, {}, 0},
      {msg(0x80, 60, 0), 0, Kind::Nothing, {}, 0},
      {msg(0xE0, 0, 64), 0, Kind::Nothing, {}, 0},
      {msg(0xD0, 30), 0, Kind::Nothing, {}, 0},
      {msg(0xF8, 0), 0, Kind::Nothing, {}, 0},
      {msg(0xFE, 0), 0, Kind::Nothing, {}, 0},
      {msg(0xF0, 0x3E, 0x10), 0, Kind::Nothing, {}, 0},
      {msg(0xB0, 69, 200), 0, Kind::Nothing, {}, 0},   // a data byte with its top bit set
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.message) + " on channel " + std::to_string(c.channel));
    const ReceivedMeaning m = meaningOf(c.message, c.channel);
    EXPECT_EQ(m.kind, c.kind);
    if (m.kind == c.kind && c.kind != Kind::Nothing) {
      EXPECT_EQ(m.value, c.value);
      if (c.kind == Kind::Parameter) {
        EXPECT_EQ(m.row, c.row);
      }
    }
  }
}

void add(ReceivedBatch& batch, std::initializer_list<std::uint32_t> messages) {
  for (std::uint32_t m : messages) batch.add(meaningOf(m, 0));
}

// A batch keeps the last value of each parameter, in the order they first changed.
TEST(InstrumentInput, ABatchKeepsTheLastValueOfEachParameter) {
  ReceivedBatch batch;
  EXPECT_TRUE(batch.empty());
  add(batch, {msg(0xB0, 69, 1), msg(0xB0, 70, 5), msg(0xB0, 69, 2), msg(0xB1, 69, 99), msg(0x90, 60, 1),
              msg(0xB0, 69, 3), msg(0xB0, 52, 0)});
  EXPECT_EQ(batch.values(), (std::vector<ReceivedValue>{
                                {Param::TextF1_cutoff, 3}, {Param::TextF1_reso, 5}, {Param::VScrollOSC1vol, 0}}));
  EXPECT_FALSE(batch.program());
  batch.clear();
  EXPECT_TRUE(batch.empty());
  EXPECT_TRUE(batch.values().empty());
}

// A program change voids what came before it in the batch; the bank selected before (in an
// earlier batch, or by the program's own send) stays until another is selected.
TEST(InstrumentInput, AProgramChangeStartsTheBatchAnewWithTheBankSelectedLast) {
  ReceivedBatch batch;
  add(batch, {msg(0xB0, 69, 1), msg(0xC0, 4)});
  ASSERT_TRUE(batch.program());
  EXPECT_EQ(*batch.program(), (InstrumentProgram{InstrumentProgram::kUnknownBank, 5}));
  EXPECT_TRUE(batch.values().empty());
  batch.clear();
  add(batch, {msg(0xB0, 32, 1)});
  EXPECT_TRUE(batch.empty()) << "a bank alone changes nothing on the panel";
  add(batch, {msg(0xB0, 70, 9), msg(0xC0, 41), msg(0xB0, 71, 7)});
  EXPECT_EQ(*batch.program(), (InstrumentProgram{1, 42}));
  EXPECT_EQ(batch.values(), (std::vector<ReceivedValue>{{Param::TextF1_drive, 7}}));
  batch.clear();
  batch.bankSent(2);
  add(batch, {msg(0xC0, 0)});
  EXPECT_EQ(*batch.program(), (InstrumentProgram{2, 1}));
}

TEST(InstrumentInput, ValuesAreShownAtMostOnceAFrame) {
  EXPECT_EQ(receivedShowDelay(kReceivedFrameNanos), 0);
  EXPECT_EQ(receivedShowDelay(1'000'000'000), 0);
  EXPECT_EQ(receivedShowDelay(0), kReceivedFrameNanos);
  EXPECT_EQ(receivedShowDelay(10'000'000), kReceivedFrameNanos - 10'000'000);
}

TEST(InstrumentProgram, StepsAcrossBanksOnOneRing) {
  const struct {
    InstrumentProgram from;
    int steps;
    InstrumentProgram to;
  } cases[] = {
      {{0, 1}, 1, {0, 2}},     {{0, 100}, 1, {1, 1}},  {{1, 1}, -1, {0, 100}}, {{2, 100}, 1, {0, 1}},
      {{0, 1}, -1, {2, 100}},  {{1, 50}, 300, {1, 50}}, {{InstrumentProgram::kUnknownBank, 7}, 1, {0, 8}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(steppedProgram(c.from, c.steps), c.to) << programText(c.from) << " " << c.steps;
}

TEST(InstrumentProgram, TextTitleAndTypedNumber) {
  EXPECT_EQ(programText({0, 1}), "A001");
  EXPECT_EQ(programText({2, 100}), "C100");
  EXPECT_EQ(programText({InstrumentProgram::kUnknownBank, 42}), "?042");
  EXPECT_EQ(programTitle("Rotavox v0.2.0", InstrumentProgram{0, 1}), "Rotavox v0.2.0 [A001]");
  EXPECT_EQ(programTitle("Rotavox v0.2.0", std::nullopt), "Rotavox v0.2.0");
  const struct {
    const char* text;
    std::optional<int> number;
  } typed[] = {{"1", 1}, {"100", 100}, {" 42 ", 42}, {"42.0", 42}, {"0", std::nullopt}, {"101", std::nullopt},
               {"4.5", std::nullopt}, {"", std::nullopt}, {"x", std::nullopt}, {"-3", std::nullopt}};
  for (const auto& t : typed) EXPECT_EQ(programNumber(t.text), t.number) << '"' << t.text << '"';
}

// The link's following: one port at a time, and a MIDI system replaced under it ends it with
// the receiver told, as when the port goes.
class FollowedService : public MidiService {
 public:
  std::vector<std::string> calls;
  bool gone = false;
  MidiReceiver* receiver = nullptr;
  unsigned outDeviceCount() override { return 0; }
  MidiResult outCaps(int, MidiOutCaps&) override { return 1; }
  MidiResult openOut(int, MidiHandle&) override { return 1; }
  MidiResult closeOut(MidiHandle) override { return 1; }
  MidiResult sendShort(MidiHandle, std::uint32_t) override { return 1; }
  std::string outErrorText(MidiResult) override { return {}; }
  unsigned inDeviceCount() override { return 2; }
  MidiResult inCaps(int, MidiInCaps&) override { return kMidiOk; }
  MidiResult openIn(int, MidiHandle&) override { return 1; }
  MidiResult startIn(MidiHandle) override { return 1; }
  MidiResult stopIn(MidiHandle) override { return 1; }
  MidiResult closeIn(MidiHandle) override { return 1; }
  std::string inErrorText(MidiResult) override { return {}; }
  MidiResult connect(MidiHandle, MidiHandle) override { return 1; }
  MidiResult disconnect(MidiHandle, MidiHandle) override { return 1; }
  std::string systemName() const override { return "followed"; }
  bool systemGone() const override { return gone; }
  MidiResult followIn(int device, MidiReceiver& r) override {
    calls.push_back("followIn " + std::to_string(device));
    if (device == 1) return 7;
    receiver = &r;
    return kMidiOk;
  }
  void stopFollowing() override {
    calls.push_back("stopFollowing");
    receiver = nullptr;
  }
};

struct CountingReceiver : MidiReceiver {
  int gone = 0;
  void received(std::uint32_t, std::int64_t) noexcept override {}
  void sourceGone() noexcept override { ++gone; }
};

struct NoBoxes : MessagePresenter {
  MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override {
    return MessageAnswer::Ok;
  }
};

TEST(InstrumentInput, TheLinkFollowsOnePortAtATimeAndEndsWithItsSystem) {
  auto owned = std::make_unique<FollowedService>();
  FollowedService* first = owned.get();
  int chosen = 0;
  MidiServiceHolder holder([&]() -> std::unique_ptr<MidiService> {
    if (chosen++ == 0) return std::move(owned);
    return std::make_unique<FollowedService>();
  });
  NoBoxes boxes;
  MidiLink link(holder, boxes);
  CountingReceiver receiver;

  EXPECT_EQ(link.follow(0, receiver), kMidiOk);
  EXPECT_TRUE(link.following());
  EXPECT_EQ(link.follow(1, receiver), 7u);
  EXPECT_FALSE(link.following()) << "a refused port leaves nothing followed";
  EXPECT_EQ(first->calls, (std::vector<std::string>{"followIn 0", "stopFollowing", "followIn 1"}));
  link.stopFollowing();
  EXPECT_EQ(first->calls.size(), 3u) << "stopping while nothing is followed asks nothing";

  ASSERT_EQ(link.follow(0, receiver), kMidiOk);
  link.chooseServiceAgainIfGone();
  EXPECT_TRUE(link.following()) << "a system that runs stays";
  first->gone = true;
  link.chooseServiceAgainIfGone();
  EXPECT_FALSE(link.following());
  EXPECT_EQ(receiver.gone, 1);
  EXPECT_NE(&link.service(), static_cast<MidiService*>(nullptr));
}

TEST(InstrumentInput, AProgramGoesOutAsBankSelectThenProgramChange) {
  EXPECT_EQ(programChange(0, 0), 0x0000C0u);
  EXPECT_EQ(programChange(15, 99), 0x0063CFu);
  EXPECT_EQ(shortMessageBytes(programChange(3, 41)), 2);
}

}  // namespace rotavox::instrument_input_test
