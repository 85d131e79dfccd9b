#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/midi/Messages.h"
#include "core/midi/MidiLink.h"
#include "core/midi/PortCaps.h"

namespace rotavox {
namespace {

// A scriptable service just for the link's rules: records calls, fails on request.
class FakeService : public MidiService {
 public:
  std::map<std::string, MidiResult> fail;
  std::vector<std::string> calls;
  std::vector<std::pair<MidiHandle, std::uint32_t>> sent;
  MidiHandle nextHandle = 10;
  MidiResult sendAnswer = kMidiOk;  // what every sendShort answers

  MidiResult result(const std::string& call) {
    calls.push_back(call);
    const auto it = fail.find(call);
    return it == fail.end() ? kMidiOk : it->second;
  }
  unsigned outDeviceCount() override { return 2; }
  MidiResult outCaps(int, MidiOutCaps&) override { return kMidiOk; }
  MidiResult openOut(int device, MidiHandle& h) override {
    const MidiResult r = result("openOut");
    if (r == kMidiOk) h = nextHandle++;
    calls.back() += " " + std::to_string(device);
    return r;
  }
  MidiResult closeOut(MidiHandle) override { return result("closeOut"); }
  MidiResult sendShort(MidiHandle h, std::uint32_t m) override {
    sent.push_back({h, m});
    if (sendAnswer == kMidiOk) ++queued;
    return sendAnswer;
  }
  // A wire that takes its time: what was queued and has not gone out; tests let it go out.
  std::size_t queued = 0;
  std::size_t pendingMessages() const override { return queued; }
  std::string outErrorText(MidiResult code) override { return "out text " + std::to_string(code); }
  unsigned inDeviceCount() override { return 1; }
  MidiResult inCaps(int, MidiInCaps&) override { return kMidiOk; }
  MidiResult openIn(int device, MidiHandle& h) override {
    const MidiResult r = device < 0 ? MidiResult{11} : result("openIn");
    if (device < 0) calls.push_back("openIn");
    if (r == kMidiOk) h = nextHandle++;
    return r;
  }
  MidiResult startIn(MidiHandle) override { return result("startIn"); }
  MidiResult stopIn(MidiHandle) override { return result("stopIn"); }
  MidiResult closeIn(MidiHandle) override { return result("closeIn"); }
  std::string inErrorText(MidiResult code) override { return "in text " + std::to_string(code); }
  MidiResult connect(MidiHandle, MidiHandle) override { return result("connect"); }
  MidiResult disconnect(MidiHandle, MidiHandle) override { return result("disconnect"); }
  std::string systemName() const override { return "fake"; }
};

class Boxes : public MessagePresenter {
 public:
  struct Box {
    std::string text, caption;
    MessageIcon icon;
  };
  std::vector<Box> shown;
  MessageAnswer show(const std::string& text, const std::string& caption, MessageIcon icon, MessageButtons) override {
    shown.push_back({text, caption, icon});
    return MessageAnswer::Ok;
  }
};

struct LinkTest : ::testing::Test {
  FakeService service;
  Boxes boxes;
  MidiLink link{service, boxes};
  void SetUp() override {
    link.state().MidiOutDevice = 1;
    link.state().MidiInDevice = 0;
    link.state().MidiChannel = 0;
  }
  std::vector<std::uint32_t> messages() const {
    std::vector<std::uint32_t> out;
    for (auto& [h, m] : service.sent) out.push_back(m);
    return out;
  }
};

TEST(Messages, LayoutIsStatusPlusDataBytesTimes256And65536) {
  struct Case {
    std::uint32_t message;
    std::uint32_t expected;
  } cases[] = {
      {controlChange(0, 69, 100), 0x006445B0u},
      {controlChange(15, 69, 100), 0x006445BFu},
      {noteOn(9, 60, 127), 0x007F3C99u},
      {noteOn(15, 1, 0), 0x0000019Fu},
      {noteOn(0, 127, 127), 0x007F7F90u},
  };
  for (const Case& c : cases) EXPECT_EQ(c.message, c.expected);
}

TEST_F(LinkTest, ControlChangeTextRules) {
  link.SwitchMidiOut("open");
  struct Case {
    const char* text;
    bool sends;
    int value;
  } cases[] = {
      {"", false, 0},   {"0", true, 0},     {"64", true, 64},    {"127", true, 127}, {" 5 ", true, 5},
      {"128", false, 0}, {"-1", false, 0},  {"12.5", false, 0},  {"abc", false, 0},  {"-", false, 0},
      {"?", false, 0},  {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    service.sent.clear();
    link.SendControlChange(69, std::string_view(c.text));
    ASSERT_EQ(service.sent.size(), c.sends ? 1u : 0u) << '"' << c.text << '"';
    if (c.sends) {
      EXPECT_EQ(service.sent[0].second, controlChange(0, 69, c.value)) << c.text;
    }
  }
  service.sent.clear();
  link.SendControlChange(7, 0);
  ASSERT_EQ(messages(), std::vector<std::uint32_t>{controlChange(0, 7, 0)});
}

TEST_F(LinkTest, ChannelFifteenSetsStatusLowNibble) {
  link.state().MidiChannel = 15;
  link.SwitchMidiOut("open");
  link.SendNoteOn(60, 100);
  link.SendControlChange(7, 1);
  EXPECT_EQ(statusByte(messages().at(0)), 0x9F);
  EXPECT_EQ(statusByte(messages().at(1)), 0xBF);
}

TEST_F(LinkTest, NothingOutsideADataByteLeaves) {
  link.SwitchMidiOut("open");
  link.SendNoteOn(-12, 0);
  link.SendNoteOn(128, 0);
  link.SendNoteOn(60, 128);
  link.SendControlChange(128, 0);
  link.SendControlChange(7, -1);
  link.state().MidiChannel = -1;
  link.SendNoteOn(60, 100);
  EXPECT_TRUE(service.sent.empty());
}

TEST_F(LinkTest, PanicSweepsNotesOneTo127SixteenTimesWithVelocityZero) {
  link.state().MidiChannel = 3;
  link.SwitchMidiOut("open");
  link.SendPanic();
  const auto sent = messages();
  ASSERT_EQ(sent.size(), 2032u);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(sent[i], noteOn(3, static_cast<int>(i % 127) + 1, 0)) << i;
  }
}

// A Panic asked for while the last sweep is still queued adds none: the queued one silences
// every note when it goes out, and dozens queued (a held key) would hold back every edit for
// minutes. Once its last message is out, the next Panic sends a whole sweep again.
TEST_F(LinkTest, APanicWhileTheLastSweepIsStillQueuedSendsNothing) {
  enum Op { Panic, Edit, WireTakes, WireTakesAll, Reopen, SendsFail, SendsWork };
  struct Case {
    const char* what;
    std::vector<std::pair<Op, std::size_t>> ops;
    std::size_t sweeps;
  };
  const Case cases[] = {
      {"two at once", {{Panic, 0}, {Panic, 0}}, 1},
      {"the first one's last message still queued", {{Panic, 0}, {WireTakes, 2031}, {Panic, 0}}, 1},
      {"the first one out", {{Panic, 0}, {WireTakesAll, 0}, {Panic, 0}}, 2},
      {"edits queued behind the first one", {{Panic, 0}, {Edit, 0}, {Edit, 0}, {WireTakes, 2032}, {Panic, 0}}, 2},
      {"edits queued, the first one not out", {{Panic, 0}, {Edit, 0}, {Edit, 0}, {WireTakes, 2031}, {Panic, 0}}, 1},
      {"the output opened again in between", {{Panic, 0}, {Reopen, 0}, {Panic, 0}}, 2},
      {"the first one not taken by the service", {{SendsFail, 0}, {Panic, 0}, {SendsWork, 0}, {Panic, 0}}, 2},
  };
  for (const Case& c : cases) {
    FakeService wire;
    MidiLink l(wire, boxes);
    l.state().MidiOutDevice = 1;
    l.state().MidiChannel = 0;
    l.SwitchMidiOut("open");
    std::size_t edits = 0;
    for (const auto& [op, n] : c.ops) {
      switch (op) {
        case Panic: l.SendPanic(); break;
        case Edit: l.SendControlChange(69, 100); ++edits; break;
        case WireTakes: wire.queued -= n; break;
        case WireTakesAll: wire.queued = 0; break;
        case Reopen: l.SwitchMidiOut("close"); l.SwitchMidiOut("open"); break;
        case SendsFail: wire.sendAnswer = 7; break;
        case SendsWork: wire.sendAnswer = kMidiOk; break;
      }
    }
    EXPECT_EQ(wire.sent.size(), c.sweeps * 2032 + edits) << c.what;
  }
}

TEST_F(LinkTest, SendsGoToWhateverHandleIsOpenAndAreSilentWhenClosed) {
  link.SendControlChange(7, 5);
  ASSERT_EQ(service.sent.size(), 1u);
  EXPECT_EQ(service.sent[0].first, kNoMidiHandle);
  EXPECT_TRUE(boxes.shown.empty());
}

// Whatever path a message takes (control change, note, panic, raw), the listener hears it
// after the service took it, with the service's answer, and without a box for a failure.
TEST_F(LinkTest, SendListenerHearsEveryHandOverWithItsAnswer) {
  std::vector<std::pair<std::uint32_t, MidiResult>> heard;
  link.setSendListener([&](std::uint32_t m, MidiResult r) {
    EXPECT_EQ(service.sent.back().second, m) << "the service has it first";
    heard.push_back({m, r});
  });
  link.SwitchMidiOut("open");
  link.SendControlChange(69, 100);
  link.SendControlChange(69, std::string_view("12"));
  link.SendNoteOn(60, 100);
  link.sendRaw(controlChange(0, 123, 0));
  link.SendControlChange(69, 128);  // refused before the service: nothing to hear
  service.sendAnswer = 7;
  link.SendNoteOn(61, 0);
  const std::vector<std::pair<std::uint32_t, MidiResult>> expected{
      {controlChange(0, 69, 100), kMidiOk}, {controlChange(0, 69, 12), kMidiOk}, {noteOn(0, 60, 100), kMidiOk},
      {controlChange(0, 123, 0), kMidiOk},  {noteOn(0, 61, 0), 7}};
  EXPECT_EQ(heard, expected);
  EXPECT_TRUE(boxes.shown.empty()) << "sending stays silent";

  heard.clear();
  link.SendPanic();
  EXPECT_EQ(heard.size(), 2032u);
  link.setSendListener(nullptr);
  link.SendControlChange(7, 1);
  EXPECT_EQ(heard.size(), 2032u) << "an empty listener hears nothing";
}

TEST_F(LinkTest, CloseWithNothingOpenDoesNothing) {
  link.SwitchMidiOut("close");
  link.SwitchMidiThru("close");
  EXPECT_TRUE(service.calls.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LinkTest, OnlyLowerCaseOpenOpens) {
  link.SwitchMidiOut("open");
  ASSERT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  link.SwitchMidiOut("Open");
  EXPECT_EQ(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(service.calls, (std::vector<std::string>{"openOut 1", "closeOut"}));
  link.SwitchMidiThru("OPEN");
  EXPECT_EQ(link.state().MidiInHandle, kNoMidiHandle);
}

TEST_F(LinkTest, ThruOpenOpensOutputFirst) {
  link.SwitchMidiThru("open");
  EXPECT_EQ(service.calls, (std::vector<std::string>{"openOut 1", "openIn", "connect", "startIn"}));
  EXPECT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_NE(link.state().MidiInHandle, kNoMidiHandle);
}

TEST_F(LinkTest, ThruOpenWithFailingOutputShowsExactlyOneOutputBox) {
  service.fail["openOut"] = 4;
  link.SwitchMidiThru("open");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Osterlin midi out detection:\r\nout text 4\r\n");
  EXPECT_EQ(boxes.shown[0].caption, "Rotavox");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
  EXPECT_EQ(service.calls, std::vector<std::string>{"openOut 1"});
}

TEST_F(LinkTest, FailedInputOpenLeavesOutputOpen) {
  link.state().MidiInDevice = -1;
  link.SwitchMidiOut("open");
  link.SwitchMidiThru("open");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Osterlin midi out detection:\r\nin text 11\r\n");
  EXPECT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(link.state().MidiInHandle, kNoMidiHandle);
}

TEST_F(LinkTest, FailedConnectLeavesInputOpenAndStartedAndCloseStillDisconnects) {
  service.fail["connect"] = 7;
  link.SwitchMidiThru("open");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Osterlin midi out detection:\r\nin text 7\r\n");
  EXPECT_NE(link.state().MidiInHandle, kNoMidiHandle);
  EXPECT_EQ(service.calls.back(), "startIn");
  service.calls.clear();
  link.SwitchMidiThru("close");
  EXPECT_EQ(service.calls, (std::vector<std::string>{"stopIn", "disconnect", "closeIn"}));
}

TEST_F(LinkTest, ThruCloseSkipsDisconnectWhenOutputAlreadyClosedAndSecondCloseDoesNothing) {
  link.SwitchMidiThru("open");
  service.calls.clear();
  link.SwitchMidiOut("close");
  link.SwitchMidiThru("close");
  EXPECT_EQ(service.calls, (std::vector<std::string>{"closeOut", "stopIn", "closeIn"}));
  service.calls.clear();
  link.SwitchMidiThru("close");
  EXPECT_TRUE(service.calls.empty());
}

TEST_F(LinkTest, FailedClosesStillForgetTheHandlesAndReport) {
  service.fail["closeOut"] = 3;
  service.fail["disconnect"] = 8;
  service.fail["closeIn"] = 9;
  link.SwitchMidiThru("open");
  link.SwitchMidiThru("close");
  link.SwitchMidiOut("close");
  EXPECT_EQ(link.state().MidiInHandle, kNoMidiHandle);
  EXPECT_EQ(link.state().MidiOutHandle, kNoMidiHandle);
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[0].text, "Osterlin midi out detection:\r\nin text 8\r\n");
  EXPECT_EQ(boxes.shown[1].text, "Osterlin midi out detection:\r\nin text 9\r\n");
  EXPECT_EQ(boxes.shown[2].text, "Osterlin midi out detection:\r\nout text 3\r\n");
}

TEST(MidiErrors, NameSelectsOutputOrInputTexts) {
  struct Case {
    const char* name;
    bool output;
  } cases[] = {
      {"midiOUT_Open", true},    {"midiOUT_Close", true}, {"OUTCaps", true},       {"midiTHRU_Open", false},
      {"midiConnect", false},    {"midiDisconnect", false}, {"midiTHRU_Close", false}, {"INCaps", false},
      {"routing", true},         {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(usesOutputErrorTexts(c.name), c.output) << c.name;
}

TEST(MidiErrors, MessageUsesTextUpToNulAndAtMost254Characters) {
  EXPECT_EQ(midiErrorMessage(std::string("busy\0junk", 9)), "Osterlin midi out detection:\r\nbusy\r\n");
  const std::string longText(400, 'x');
  EXPECT_EQ(midiErrorMessage(longText), "Osterlin midi out detection:\r\n" + std::string(254, 'x') + "\r\n");
}

TEST(PortCapsText, HexDriverVersionAndTechnology) {
  EXPECT_EQ(hexText(0x41), "41");
  EXPECT_EQ(hexText(0), "0");
  EXPECT_EQ(hexText(0xBEEF), "BEEF");
  EXPECT_EQ(driverVersionText(0x0500), "Driver ver.:50.0");
  EXPECT_EQ(driverVersionText(0x1000), "Driver ver.:10.00");
  EXPECT_EQ(driverVersionText(0x5), "Driver ver.:5.");
  struct Case {
    std::uint16_t code;
    const char* text;
  } kinds[] = {{1, " output port"}, {2, " internal synth"}, {3, " square wave internal synth"}, {4, " FM synth"},
               {5, " MIDI mapper"}, {6, "unknown"},         {7, " Wavetable synth"},          {0, "unknown"},
               {8, "unknown"}};
  for (const Case& c : kinds) EXPECT_EQ(technologyText(c.code), c.text) << c.code;
}

}  // namespace
}  // namespace rotavox

namespace rotavox {
namespace {

// A service whose MIDI system can go away; it writes its making and its end into a log.
class FadingService : public FakeService {
 public:
  FadingService(int number, std::vector<std::string>& log) : number_(number), log_(log) {
    log_.push_back("made " + std::to_string(number_));
  }
  ~FadingService() override { log_.push_back("ended " + std::to_string(number_)); }
  bool systemGone() const override { return gone; }
  bool answering() const override { return answers; }
  int number() const { return number_; }
  bool gone = false;
  bool answers = true;

 private:
  int number_;
  std::vector<std::string>& log_;
};

struct ServiceChoiceTest : ::testing::Test {
  std::vector<std::string> log;
  int made = 0;
  bool bornGone = false;  // a service without a MIDI system, as when none runs
  MidiServiceHolder services{[this] {
    auto s = std::make_unique<FadingService>(++made, log);
    s->gone = bornGone;
    return s;
  }};
  Boxes boxes;
  MidiLink link{services, boxes};
  FadingService& current() { return static_cast<FadingService&>(link.service()); }
};

TEST_F(ServiceChoiceTest, ChosenOnceAndAgainOnlyWhenItsSystemHasGone) {
  EXPECT_EQ(current().number(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"made 1"}));
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 1) << "a service whose system runs is kept";

  current().gone = true;
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 2);
  // The old service ends before the new one is made: a client of the same system (a JACK
  // client's name) is free again for the new one.
  EXPECT_EQ(log, (std::vector<std::string>{"made 1", "ended 1", "made 2"}));
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 2);
}

// The start chooses the MIDI system once: the settings dialog's first load, which looks for a
// system anew when the one chosen has none, makes that first choice itself. Looking twice would
// wait twice for a JACK server that does not answer.
TEST_F(ServiceChoiceTest, TheStartChoosesOnceEvenWithoutAMidiSystem) {
  bornGone = true;
  EXPECT_TRUE(log.empty()) << "chosen before anything needed MIDI";
  link.chooseServiceAgainIfGone();  // the settings dialog's first load
  EXPECT_EQ(log, (std::vector<std::string>{"made 1"}));
  link.chooseServiceAgainIfGone();  // its next load: a system may run by now
  EXPECT_EQ(log, (std::vector<std::string>{"made 1", "ended 1", "made 2"}));
}

// A system that does not answer (a stopped JACK server) counts as gone, but choosing anew would
// only wait for it again: that waits until it answers.
TEST_F(ServiceChoiceTest, NotChosenAgainWhileItsSystemDoesNotAnswer) {
  link.chooseServiceAgainIfGone();
  current().gone = true;
  current().answers = false;
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 1) << "chosen anew while the system does not answer";
  current().answers = true;
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 2);
}

TEST_F(ServiceChoiceTest, NotWhileAHandleOfTheOldServiceIsOpen) {
  link.state().MidiOutDevice = 0;
  link.state().MidiInDevice = 0;
  link.state().MidiChannel = 0;
  link.SwitchMidiThru("open");
  ASSERT_NE(link.state().MidiOutHandle, kNoMidiHandle);
  current().gone = true;

  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 1) << "the open handles belong to the first service";
  link.SwitchMidiOut("close");
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 1) << "the thru's input is still open there";
  link.SwitchMidiThru("close");
  EXPECT_EQ(current().calls.back(), "closeIn") << "the input was closed on the service that opened it";
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(current().number(), 2);
  EXPECT_EQ(link.state().MidiOutDevice, 0) << "the choices stay";
}

TEST(ServiceChoice, AServiceHandedToTheLinkIsNeverReplaced) {
  std::vector<std::string> log;
  FadingService service(7, log);
  service.gone = true;
  Boxes boxes;
  MidiLink link(service, boxes);
  link.chooseServiceAgainIfGone();
  EXPECT_EQ(&link.service(), &service);
  EXPECT_EQ(log, (std::vector<std::string>{"made 7"}));
}

}  // namespace
}  // namespace rotavox
