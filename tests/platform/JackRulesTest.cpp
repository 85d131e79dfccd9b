#include "platform/midi/jack/JackRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <set>
#include <vector>

namespace rotavox::jackrules {
namespace {

// ---- Which ports are listed, in which order, under which name ------------------------------

TEST(JackPortList, OtherClientsPortsOnlySortedByFullNameWhateverJacksOrder) {
  std::vector<PortFacts> all = {
      {"synthB:midi_in", false, "", ""},
      {"RotavoxTest:midi out", false, "", ""},  // the program's own
      {"a2j:UM-ONE [24] (playback): UM-ONE MIDI 1", false, "", ""},
      {"RotavoxTest2:in", false, "", ""},  // another client whose name starts like ours
      {"system:midi_playback_1", true, "", "alsa_pcm:UM-ONE/midi_playback_1"},
      {"RotavoxTest:virtual out", false, "", ""},
      {"synthA:midi_in", false, "Synth A", ""},
  };
  const std::vector<std::string> expected = {"RotavoxTest2:in", "a2j:UM-ONE [24] (playback): UM-ONE MIDI 1",
                                             "synthA:midi_in", "synthB:midi_in", "system:midi_playback_1"};
  std::mt19937 shuffle(11);
  for (int round = 0; round < 5; ++round) {
    std::shuffle(all.begin(), all.end(), shuffle);
    const std::vector<PortInfo> listed = listedPorts(all, "RotavoxTest");
    std::vector<std::string> names;
    for (const PortInfo& p : listed) names.push_back(p.name);
    EXPECT_EQ(names, expected);
  }
  const std::vector<PortInfo> listed = listedPorts(all, "RotavoxTest");
  EXPECT_EQ(listed[2], (PortInfo{"synthA:midi_in", "Synth A", false}));
  EXPECT_EQ(listed[4], (PortInfo{"system:midi_playback_1", "alsa_pcm:UM-ONE/midi_playback_1", true}));
}

TEST(JackPortList, OwnPortIsTheClientNameFollowedByAColon) {
  struct Case {
    const char* port;
    const char* client;
    bool own;
  };
  const Case cases[] = {
      {"Rotavox:midi out", "Rotavox", true},
      {"Rotavox:virtual out 2", "Rotavox", true},
      {"Rotavox-01:midi out", "Rotavox", false},
      {"Rotavox-01:midi out", "Rotavox-01", true},
      {"Rotavox", "Rotavox", false},
      {"rotavox:midi out", "Rotavox", false},
      {"synth:Rotavox:in", "Rotavox", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isOwnPort(c.port, c.client), c.own) << c.port << " / " << c.client;
}

TEST(JackPortNames, PrettyNameThenAliasOfAHardwarePortThenFullName) {
  struct Case {
    const char* what;
    PortFacts port;
    const char* shown;
  };
  const Case cases[] = {
      {"pretty name given by its program", {"fluidsynth:midi_00", false, "FluidSynth MIDI in", ""}, "FluidSynth MIDI in"},
      {"pretty name wins over the alias", {"system:midi_playback_1", true, "microQ", "alsa_pcm:UM-ONE"}, "microQ"},
      {"hardware port: its alias names the device", {"system:midi_playback_1", true, "", "alsa_pcm:UM-ONE"},
       "alsa_pcm:UM-ONE"},
      {"hardware port without alias", {"system:midi_playback_2", true, "", ""}, "system:midi_playback_2"},
      {"program's port: an alias does not count", {"bridge:out", false, "", "some alias"}, "bridge:out"},
      {"nothing but the name", {"synth:midi_in", false, "", ""}, "synth:midi_in"},
  };
  for (const Case& c : cases) EXPECT_EQ(displayName(c.port), c.shown) << c.what;
}

// ---- Capability records ----------------------------------------------------------------------

TEST(JackCaps, VersionDigitsAsHexadecimalDigits) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"1.9.21", 0x1921},
      {"1.9.17 (PipeWire 0.3.65)", 0x1917},
      {"0.125.0", 0x01250},
      {"2", 0x2},
      {"123456789", 0x12345678},  // eight digits at most
      {"", 0},
      {"unknown", 0},
      {nullptr, 0},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(versionNumber(text), number) << (text ? text : "(null)");
}

TEST(JackCaps, HardwarePortIsAnOutputPortOtherProgramsAreSynthsOwnPortTheMapper) {
  const MidiOutCaps hardware = outCapsOf({"system:midi_playback_1", "UM-ONE", true}, 0x1921);
  EXPECT_EQ(hardware.name, "UM-ONE");
  EXPECT_EQ(hardware.technology, kTechOutputPort);
  EXPECT_EQ(hardware.driverVersion, 0x1921u);
  EXPECT_EQ(hardware.manufacturerId, 0);
  EXPECT_EQ(hardware.productId, 0);
  EXPECT_EQ(hardware.identity, "system:midi_playback_1");  // the shown name hides it

  const MidiOutCaps program = outCapsOf({"synth:in", "Synth", false}, 0x1921);
  EXPECT_EQ(program.technology, kTechInternalSynth);
  EXPECT_EQ(program.name, "Synth");

  const MidiOutCaps own = virtualPortCaps("Rotavox-02", 0x1921);
  EXPECT_EQ(own.name, "Rotavox-02 virtual out");
  EXPECT_EQ(own.technology, kTechMapper);
  EXPECT_EQ(own.driverVersion, 0x1921u);

  const MidiInCaps keyboard = inCapsOf({"kbd:out", "Keystation", true}, 0x1917);
  EXPECT_EQ(keyboard.name, "Keystation");
  EXPECT_EQ(keyboard.driverVersion, 0x1917u);
  EXPECT_EQ(keyboard.identity, "kbd:out");
}

// ---- Device numbers ---------------------------------------------------------------------------

TEST(JackDevices, OutputNumbersMeanAPortTheVirtualPortOrNothing) {
  struct Case {
    int device;
    std::size_t listed;
    OutChoice::Kind kind;
    std::size_t index;
  };
  const Case cases[] = {
      {0, 3, OutChoice::Port, 0},        {2, 3, OutChoice::Port, 2},
      {3, 3, OutChoice::VirtualPort, 0},  // the entry past the list
      {kMidiMapperDevice, 3, OutChoice::VirtualPort, 0},
      {0, 0, OutChoice::VirtualPort, 0},  // no other port: the first entry is the own one
      {4, 3, OutChoice::NoSuchPort, 0},  {-2, 3, OutChoice::NoSuchPort, 0},
      {1, 0, OutChoice::NoSuchPort, 0},
  };
  for (const Case& c : cases) {
    const OutChoice choice = outChoice(c.device, c.listed);
    EXPECT_EQ(choice.kind, c.kind) << c.device << " of " << c.listed;
    if (c.kind == OutChoice::Port) {
      EXPECT_EQ(choice.index, c.index) << c.device << " of " << c.listed;
    }
  }
  const std::tuple<int, std::size_t, bool> inputs[] = {{0, 2, true}, {1, 2, true}, {2, 2, false}, {-1, 2, false},
                                                       {0, 0, false}};
  for (const auto& [device, listed, ok] : inputs) EXPECT_EQ(inDeviceListed(device, listed), ok) << device;
}

TEST(JackDevices, OwnPortGetsTheFirstFreeName) {
  struct Case {
    std::set<std::string> taken;
    const char* name;
  };
  const Case cases[] = {
      {{}, "midi out"},
      {{"midi out"}, "midi out 2"},
      {{"midi out", "midi out 2", "midi out 3"}, "midi out 4"},
      {{"midi out 2"}, "midi out"},
      {{"virtual out"}, "midi out"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(freePortName("midi out", [&](const std::string& n) { return c.taken.count(n) > 0; }), c.name);
}

// ---- Results and texts ------------------------------------------------------------------------

TEST(JackResults, EveryCodeHasItsOwnText) {
  const MidiResult codes[] = {kMidiOk,          kServerGone,     kBadDevice,       kPortGone,
                              kPortNotCreated,  kConnectRefused, kBadHandle,       kThruIntoOwnPort,
                              kDisconnectRefused, kNotShortMessage, kOutputStalled, kTooManyOutputs,
                              99};
  std::set<std::string> texts;
  for (MidiResult code : codes) {
    const std::string text = errorText(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_TRUE(texts.insert(text).second) << code << ": " << text;
  }
  EXPECT_EQ(errorText(kServerGone),
            "The JACK server has stopped. Once it runs again, open the MIDI settings again and MIDI works as "
            "before.");
  EXPECT_NE(errorText(99).find("99"), std::string::npos);
}

TEST(JackResults, DetailedTextsNameWhatFailed) {
  struct Case {
    std::string text;
    const char* expected;
  };
  const Case cases[] = {
      {portGoneText("synthA:midi_in"),
       "The MIDI port \"synthA:midi_in\" is gone: its program has quit or its device was unplugged."},
      {errorText(kPortGone), "The MIDI port is gone: its program has quit or its device was unplugged."},
      {noSuchPortText(true, 7), "There is no MIDI output port number 7."},
      {noSuchPortText(false, -3), "There is no MIDI input port number -3."},
      {noInputChosenText(), "No MIDI input port is chosen."},
      {portNotCreatedText("Rotavox:midi out"), "JACK could not create the MIDI port \"Rotavox:midi out\"."},
      {connectRefusedText("kbd:out", "synth:in"), "JACK refused to connect \"kbd:out\" to \"synth:in\"."},
      {disconnectRefusedText("kbd:out", "synth:in"),
       "JACK refused to remove the connection from \"kbd:out\" to \"synth:in\"."},
      {notAnsweringText(),
       "The JACK server does not answer. Once it answers again, open the MIDI settings again and MIDI works as "
       "before."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
}

// ---- What goes away ---------------------------------------------------------------------------

TEST(JackGone, AStoppedServerFailsOpensAndSendsButNotCloses) {
  const std::pair<Call, MidiResult> cases[] = {
      {Call::OpenOut, kServerGone}, {Call::Send, kServerGone},    {Call::OpenIn, kServerGone},
      {Call::Connect, kServerGone}, {Call::CloseOut, kMidiOk},    {Call::CloseIn, kMidiOk},
      {Call::Disconnect, kMidiOk},
  };
  for (const auto& [call, result] : cases) EXPECT_EQ(resultWithServerGone(call), result) << static_cast<int>(call);
}

TEST(JackGone, AVanishedPortTakesAwayTheOutputLeadingToIt) {
  struct Case {
    const char* what;
    bool samePort;
    const char* gone;
    const char* target;
    bool takenAway;
  };
  const Case cases[] = {
      {"the target port itself", true, "synth:in", "synth:in", true},
      {"a port of the target's name (looked up again)", false, "synth:in", "synth:in", true},
      {"another port of the same program", false, "synth:in2", "synth:in", false},
      {"another program", false, "other:in", "synth:in", false},
      {"the virtual port has no target to lose", false, "synth:in", "", false},
      {"the virtual port, even for a nameless port", false, "", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(takesAwayTarget(c.samePort, c.gone, c.target), c.takenAway) << c.what;
}

TEST(JackGone, WhatAConnectsReturnMeans) {
  struct Case {
    const char* what;
    int rc;
    bool serverGone;
    bool portsThere;
    MidiResult result;
    bool madeByUs;
  };
  const Case cases[] = {
      {"made", 0, false, true, kMidiOk, true},
      {"made by someone else before", EEXIST, false, true, kMidiOk, false},
      {"refused", -1, false, true, kConnectRefused, false},
      {"a port went away meanwhile", -1, false, false, kPortGone, false},
      {"the server went away", -1, true, false, kServerGone, false},
      {"the server went away, ports looked there", -1, true, true, kServerGone, false},
  };
  for (const Case& c : cases) {
    const ConnectOutcome o = connectOutcome(c.rc, c.serverGone, c.portsThere);
    EXPECT_EQ(o.result, c.result) << c.what;
    EXPECT_EQ(o.madeByUs, c.madeByUs) << c.what;
  }
}

// ---- Time -------------------------------------------------------------------------------------

TEST(JackTime, AMessageGoesOutAtTheFirstFrameNotBeforeItIsDue) {
  constexpr double kRate = 48000.0;
  struct Case {
    const char* what;
    double due;         // seconds
    double cycleStart;  // frames
    double frame;
  };
  const Case cases[] = {
      {"due at the cycle's start", 1.0, 48000.0, 0.0},
      {"due before the cycle (late)", 0.5, 48000.0, 0.0},
      {"due on a frame within the cycle", 1.0 + 100.0 / kRate, 48000.0, 100.0},
      {"due between two frames: the later", 1.0 + 100.5 / kRate, 48000.0, 101.0},
      {"a rounding hair past a frame: that frame", 1.0 + (100.0 + 1e-9) / kRate, 48000.0, 100.0},
      {"due after this cycle: a frame past its end", 1.0 + 300.0 / kRate, 48000.0, 300.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(frameInCycle(c.due, c.cycleStart, kRate), c.frame) << c.what;
}

// Looks of the program's thread, one after another, each with what it sees and what the watch
// must say: a stall is no cycle begun for the limit (1 s) while messages waited all along.
TEST(JackTime, AServerCountsAsStalledOnlyAfterTheLimitWithoutACycleWhileMessagesWait) {
  struct Look {
    std::uint64_t cycles;
    bool waiting;
    double now;
    bool stalled;
  };
  const struct {
    const char* what;
    std::vector<Look> looks;
  } cases[] = {
      {"cycles go on", {{1, true, 0.0, false}, {50, true, 0.5, false}, {99, true, 1.5, false}}},
      {"no cycle for the limit", {{7, true, 0.0, false}, {7, true, 0.99, false}, {7, true, 1.0, true}}},
      {"no cycle, but nothing waits", {{7, false, 0.0, false}, {7, false, 5.0, false}}},
      {"the clock starts when messages begin to wait",
       {{7, false, 0.0, false}, {7, true, 4.0, false}, {7, true, 4.5, false}, {7, true, 5.0, true}}},
      {"a cycle after the stall: answering again", {{7, true, 0.0, false}, {7, true, 2.0, true}, {8, true, 2.1, false}}},
      {"the queue emptied meanwhile starts the clock anew",
       {{7, true, 0.0, false}, {7, false, 0.8, false}, {7, true, 0.9, false}, {7, true, 1.5, false}}},
  };
  for (const auto& c : cases) {
    StallWatch watch(1.0);
    for (std::size_t i = 0; i < c.looks.size(); ++i) {
      const Look& l = c.looks[i];
      EXPECT_EQ(watch.stalled(l.cycles, l.waiting, l.now), l.stalled) << c.what << ", look " << i;
    }
  }
}

// ---- Receiving ---------------------------------------------------------------------------

TEST(JackReceiving, AnEventGivesItsChannelMessageAndNothingElseGivesAny) {
  using Bytes = std::vector<unsigned char>;
  const struct {
    Bytes event;
    std::uint32_t message;  // 0: none
  } cases[] = {
      {{0xB0, 0x45, 0x64}, 0x6445B0},
      {{0x9F, 0x3C, 0x00}, 0x003C9F},
      {{0x83, 0x3C, 0x40}, 0x403C83},
      {{0xA2, 0x40, 0x10}, 0x1040A2},
      {{0xE5, 0x7F, 0x7F}, 0x7F7FE5},
      {{0xC1, 0x05}, 0x0005C1},        // two bytes
      {{0xD4, 0x50}, 0x0050D4},
      {{0xC1, 0x05, 0x66}, 0x0005C1},  // a byte past the message is no part of it
      {{0xB0, 0x07, 0x64, 0x08}, 0x6407B0},
      // None: no status, cut short, a data byte that is none, SysEx, system messages.
      {{}, 0},
      {{0x45, 0x64}, 0},                    // running status has no place in a JACK event
      {{0xB0}, 0},
      {{0xB0, 0x07}, 0},
      {{0xC0}, 0},
      {{0xB0, 0x87, 0x64}, 0},
      {{0xB0, 0x07, 0xE4}, 0},
      {{0xC0, 0x85}, 0},
      {{0xF0, 0x43, 0x10, 0x4C, 0xF7}, 0},  // SysEx
      {{0x10, 0x11, 0x12, 0xF7}, 0},        // the rest of a SysEx split over events
      {{0xF8}, 0},                          // clock
      {{0xFE}, 0},                          // active sensing
      {{0xFA}, 0},
      {{0xF2, 0x10, 0x20}, 0},              // song position
      {{0xF1, 0x10}, 0},
  };
  for (const auto& c : cases) {
    std::string bytes;
    for (unsigned char b : c.event) bytes += std::to_string(b) + " ";
    EXPECT_EQ(channelMessageOf(c.event.data(), c.event.size()), c.message) << bytes;
  }
}

}  // namespace
}  // namespace rotavox::jackrules
