#include "platform/midi/alsa/AlsaSeqEventRules.h"
#include "platform/midi/alsa/AlsaSeqRules.h"
#include "platform/midi/alsa/UsbIdentity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <future>
#include <random>
#include <set>

#include "core/midi/Messages.h"
#include "core/midi/Pacing.h"

namespace rotavox::alsaseq {
namespace {

constexpr int kOwn = 128;
constexpr unsigned kOutCaps = kCapWrite | kCapSubsWrite;
constexpr unsigned kInCaps = kCapRead | kCapSubsRead;
// A USB MIDI interface port as the kernel's rawmidi client offers it: both ways, and duplex.
constexpr unsigned kUsbPortCaps = kCapRead | kCapWrite | kCapSubsRead | kCapSubsWrite | (1u << 4);

// ---- Which ports are listed ---------------------------------------------------------------

TEST(AlsaSeqPortFilter, ListsOnlyForeignSubscribablePorts) {
  struct Case {
    const char* what;
    int client;
    unsigned caps;
    bool output;
    bool input;
  };
  const Case cases[] = {
      {"USB interface port, both ways", 24, kUsbPortCaps, true, true},
      {"write-only synth port", 130, kOutCaps, true, false},
      {"read-only keyboard port", 20, kInCaps, false, true},
      {"writable but not subscribable", 130, kCapWrite, false, false},
      {"subscribable but not writable", 130, kCapSubsWrite, false, false},
      {"readable but not subscribable", 130, kCapRead, false, false},
      {"marked no-export", 130, kUsbPortCaps | kCapNoExport, false, false},
      {"system client (timer, announce)", kSystemClient, kUsbPortCaps, false, false},
      {"our own port", kOwn, kUsbPortCaps, false, false},
      {"no capabilities", 130, 0, false, false},
  };
  for (const Case& c : cases) {
    PortRecord port;
    port.client = c.client;
    port.capability = c.caps;
    EXPECT_EQ(isListed(port, Direction::Output, kOwn), c.output) << c.what;
    EXPECT_EQ(isListed(port, Direction::Input, kOwn), c.input) << c.what;
  }
}

TEST(AlsaSeqPortFilter, ListIsOrderedByClientThenPortWhateverTheQueryOrder) {
  std::vector<PortRecord> all = {
      {24, 1, "UM-2", "UM-2 MIDI 2", kUsbPortCaps, 0, 1},
      {0, 1, "System", "Announce", kInCaps, 0, -1},
      {14, 0, "Midi Through", "Midi Through Port-0", kUsbPortCaps, 0, -1},
      {130, 0, "FLUID Synth (4242)", "Synth input port (4242:0)", kOutCaps, 0, -1},
      {kOwn, 0, "Rotavox", "Rotavox virtual out", kInCaps, 0, -1},
      {24, 0, "UM-2", "UM-2 MIDI 1", kUsbPortCaps, 0, 1},
      {20, 0, "Keystation", "Keystation MIDI 1", kInCaps, 0, 0},
  };
  std::mt19937 shuffle(7);
  for (int round = 0; round < 5; ++round) {
    std::shuffle(all.begin(), all.end(), shuffle);
    std::vector<std::pair<int, int>> out, in;
    for (const PortRecord& p : listedPorts(all, Direction::Output, kOwn)) out.emplace_back(p.client, p.port);
    for (const PortRecord& p : listedPorts(all, Direction::Input, kOwn)) in.emplace_back(p.client, p.port);
    EXPECT_EQ(out, (std::vector<std::pair<int, int>>{{14, 0}, {24, 0}, {24, 1}, {130, 0}}));
    EXPECT_EQ(in, (std::vector<std::pair<int, int>>{{14, 0}, {20, 0}, {24, 0}, {24, 1}}));
  }
}

TEST(AlsaSeqPortNames, ClientAndPortAsAUserKnowsThem) {
  struct Case {
    const char* client;
    const char* port;
    const char* shown;
  };
  const Case cases[] = {
      {"UM-ONE", "UM-ONE MIDI 1", "UM-ONE MIDI 1"},
      {"Midi Through", "Midi Through Port-0", "Midi Through Port-0"},
      {"FLUID Synth (4242)", "Synth input port (4242:0)", "FLUID Synth (4242):Synth input port (4242:0)"},
      {"microQ", "MIDI 1", "microQ:MIDI 1"},
      {"microQ", "", "microQ"},
      {"", "MIDI 1", "MIDI 1"},
  };
  for (const Case& c : cases) {
    PortRecord port;
    port.clientName = c.client;
    port.portName = c.port;
    EXPECT_EQ(displayName(port), c.shown) << c.client << " / " << c.port;
  }
}

// Two ports that a user could mistake for one another (same shown name) are still two ports.
TEST(AlsaSeqPortNames, IdentityTellsApartWhatTheShownNameDoesNot) {
  const PortRecord umOne{24, 0, "UM-ONE", "UM-ONE MIDI 1", 0, 0, 1};
  EXPECT_EQ(portIdentity(umOne), "24:0 UM-ONE:UM-ONE MIDI 1");
  const struct {
    const char* what;
    PortRecord other;
  } cases[] = {
      {"the same device on another client number", {28, 0, "UM-ONE", "UM-ONE MIDI 1", 0, 0, 2}},
      {"another port of the same client", {24, 1, "UM-ONE", "UM-ONE MIDI 1", 0, 0, 1}},
      {"another program under the same client number", {24, 0, "UM-ONE clone", "UM-ONE MIDI 1", 0, 0, -1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(displayName(c.other) == displayName(umOne), c.other.clientName == umOne.clientName) << c.what;
    EXPECT_NE(portIdentity(c.other), portIdentity(umOne)) << c.what;
  }
}

// ---- Technology codes -----------------------------------------------------------------------

TEST(AlsaSeqTechnology, FromPortTypeBits) {
  struct Case {
    const char* what;
    unsigned type;
    bool own;
    std::uint16_t technology;
  };
  const Case cases[] = {
      {"USB MIDI port", kTypeMidiGeneric | kTypeHardware | kTypePort, false, kTechOutputPort},
      {"Midi Through", kTypeMidiGeneric, false, kTechOutputPort},
      {"sequencer program's input", kTypeMidiGeneric | kTypeApplication, false, kTechOutputPort},
      {"application port without MIDI bit", kTypeApplication, false, kTechOutputPort},
      {"software port", kTypeSoftware, false, kTechOutputPort},
      {"GM-only port", kTypeMidiGm, false, kTechOutputPort},
      {"FluidSynth", kTypeMidiGeneric | kTypeMidiGm | kTypeSynthesizer | kTypeApplication, false, kTechInternalSynth},
      {"synth chip of a card", kTypeMidiGeneric | kTypeSynthesizer | kTypeHardware, false, kTechInternalSynth},
      {"wavetable of a card", kTypeMidiGeneric | kTypeMidiGm | kTypeSynth | kTypeSynthesizer | kTypeHardware, false,
       kTechWavetable},
      {"sample player", kTypeDirectSample | kTypeSample, false, kTechWavetable},
      {"no type bits", 0, false, 0},
      {"device-specific only", kTypeSpecific, false, 0},
      {"our own virtual port", kTypeMidiGeneric | kTypeApplication, true, kTechMapper},
      {"our own, whatever its bits", 0, true, kTechMapper},
  };
  for (const Case& c : cases) EXPECT_EQ(technologyOf(c.type, c.own), c.technology) << c.what;
}

// ---- Text the kernel writes -----------------------------------------------------------------

TEST(AlsaSeqParsing, UsbIdAndHexAndLibraryVersion) {
  using Ids = std::optional<std::pair<std::uint16_t, std::uint16_t>>;
  const std::pair<const char*, Ids> usbIds[] = {
      {"0582:0096\n", Ids{{0x0582, 0x0096}}},
      {"3f0c:ffff", Ids{{0x3F0C, 0xFFFF}}},
      {"  1:2 \n", Ids{{1, 2}}},
      {"0582 : 0096", std::nullopt},
      {"05820096", std::nullopt},
      {"0582:", std::nullopt},
      {":0096", std::nullopt},
      {"10582:0096", std::nullopt},
      {"zz82:0096", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : usbIds) EXPECT_EQ(parseUsbId(text), expected) << '"' << text << '"';

  const std::pair<const char*, std::optional<std::uint16_t>> hex[] = {
      {"0100\n", 0x0100}, {"1.00", std::nullopt}, {"ffff", 0xFFFF}, {"10000", std::nullopt},
      {"0", 0},           {"", std::nullopt},     {"\n", std::nullopt}, {"-1", std::nullopt},
  };
  for (const auto& [text, expected] : hex) EXPECT_EQ(parseHex16(text), expected) << '"' << text << '"';

  const std::pair<const char*, std::optional<std::uint32_t>> versions[] = {
      {"1.2.8", 0x010208}, {"1.2.10", 0x01020A},     {"1.2.6.1", 0x010206}, {"1.2", 0x010200},
      {"1", std::nullopt}, {"", std::nullopt},       {"1.256.0", std::nullopt}, {"x.2.8", std::nullopt},
  };
  for (const auto& [text, expected] : versions)
    EXPECT_EQ(parseLibraryVersion(text), expected) << '"' << text << '"';
}

// ---- USB ids from a fake /proc and sysfs tree -----------------------------------------------

class FakeSoundTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rotavox-alsa-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr) << std::strerror(errno);
    root_ = pattern;
    paths_.procAsound = root_ / "proc/asound";
    paths_.sysSound = root_ / "sys/class/sound";
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void write(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  // A card whose device link points at interface 1-1:1.0 of USB device 1-1, as on a real system.
  std::filesystem::path addUsbCard(int card) {
    const std::filesystem::path usbDevice = root_ / "sys/devices/usb1" / ("1-" + std::to_string(card));
    const std::filesystem::path iface = usbDevice / ("1-" + std::to_string(card) + ":1.0");
    std::filesystem::create_directories(iface);
    const std::filesystem::path cardDir = paths_.sysSound / ("card" + std::to_string(card));
    std::filesystem::create_directories(cardDir);
    std::filesystem::create_directory_symlink(iface, cardDir / "device");
    return usbDevice;
  }

  std::filesystem::path root_;
  SystemPaths paths_;
};

TEST_F(FakeSoundTree, UsbCardGivesVendorProductAndRelease) {
  const auto usb = addUsbCard(1);
  write(paths_.procAsound / "card1/usbid", "0582:0096\n");
  write(usb / "bcdDevice", "0105\n");
  write(usb / "idVendor", "dead\n");  // /proc wins where it speaks

  const DeviceNumbers numbers = deviceNumbers(1, 0x010208, paths_);
  EXPECT_EQ(numbers.manufacturerId, 0x0582);
  EXPECT_EQ(numbers.productId, 0x0096);
  EXPECT_EQ(numbers.driverVersion, 0x0105u);
}

TEST_F(FakeSoundTree, SysfsIdsStandInWhenProcHasNoUsbId) {
  const auto usb = addUsbCard(2);
  write(usb / "idVendor", "1acc\n");
  write(usb / "idProduct", "0004\n");
  write(usb / "bcdDevice", "0200\n");

  const auto identity = readUsbIdentity(2, paths_);
  ASSERT_TRUE(identity.has_value());
  EXPECT_EQ(identity->vendor, 0x1ACC);
  EXPECT_EQ(identity->product, 0x0004);
  EXPECT_EQ(identity->release, std::optional<std::uint16_t>(0x0200));
}

TEST_F(FakeSoundTree, OtherPortsGetZeroIdsAndTheLibraryVersion) {
  // A PCI card: a device link, but no USB ids anywhere.
  write(root_ / "sys/devices/pci0000:00/0000:00:1f.3/vendor", "0x8086\n");
  std::filesystem::create_directories(paths_.sysSound / "card0");
  std::filesystem::create_directory_symlink(root_ / "sys/devices/pci0000:00/0000:00:1f.3",
                                            paths_.sysSound / "card0/device");
  const auto usb = addUsbCard(3);
  write(paths_.procAsound / "card3/usbid", "0582:0096\n");  // release unreadable
  write(paths_.procAsound / "card4/usbid", "garbage\n");   // and nothing in sysfs

  struct Case {
    const char* what;
    int card;
    DeviceNumbers expected;
  };
  const Case cases[] = {
      {"PCI card", 0, {0, 0, 0x010208}},
      {"user client, no card", -1, {0, 0, 0x010208}},
      {"card that does not exist", 9, {0, 0, 0x010208}},
      {"USB card without bcdDevice", 3, {0x0582, 0x0096, 0x010208}},
      {"unreadable usbid", 4, {0, 0, 0x010208}},
  };
  for (const Case& c : cases) {
    const DeviceNumbers n = deviceNumbers(c.card, 0x010208, paths_);
    EXPECT_EQ(n.manufacturerId, c.expected.manufacturerId) << c.what;
    EXPECT_EQ(n.productId, c.expected.productId) << c.what;
    EXPECT_EQ(n.driverVersion, c.expected.driverVersion) << c.what;
  }
}

TEST_F(FakeSoundTree, CapabilityRecordsCombineNameIdsAndTechnology) {
  const auto usb = addUsbCard(1);
  write(paths_.procAsound / "card1/usbid", "0582:0096\n");
  write(usb / "bcdDevice", "0100\n");

  const PortRecord umOne{24, 0, "UM-ONE", "UM-ONE MIDI 1", kUsbPortCaps,
                         kTypeMidiGeneric | kTypeHardware | kTypePort, 1};
  const MidiOutCaps out = outCapsOf(umOne, false, deviceNumbers(1, 0x010208, paths_));
  EXPECT_EQ(out.name, "UM-ONE MIDI 1");
  EXPECT_EQ(out.manufacturerId, 0x0582);
  EXPECT_EQ(out.productId, 0x0096);
  EXPECT_EQ(out.driverVersion, 0x0100u);
  EXPECT_EQ(out.technology, kTechOutputPort);

  EXPECT_EQ(out.identity, "24:0 UM-ONE:UM-ONE MIDI 1");

  const MidiInCaps in = inCapsOf(umOne, deviceNumbers(1, 0x010208, paths_));
  EXPECT_EQ(in.name, "UM-ONE MIDI 1");
  EXPECT_EQ(in.manufacturerId, 0x0582);
  EXPECT_EQ(in.identity, "24:0 UM-ONE:UM-ONE MIDI 1");

  const PortRecord own{kOwn, 0, "Rotavox", "Rotavox virtual out", kInCaps, kTypeMidiGeneric | kTypeApplication, -1};
  const MidiOutCaps mapper = outCapsOf(own, true, deviceNumbers(-1, 0x010208, paths_));
  EXPECT_EQ(mapper.name, "Rotavox virtual out");
  EXPECT_EQ(mapper.technology, kTechMapper);
  EXPECT_EQ(mapper.manufacturerId, 0);
  EXPECT_EQ(mapper.driverVersion, 0x010208u);
}

// ---- Results and their texts ----------------------------------------------------------------

TEST(AlsaSeqResults, SubscriptionOutcomes) {
  struct Case {
    int rc;
    MidiResult result;
    bool madeByUs;
  };
  const Case cases[] = {
      {0, kMidiOk, true},
      {-EBUSY, kMidiOk, false},  // already there: counts as made, but is not ours to remove
      {-EPERM, kThruRefused, false},
      {-ENOENT, kErrnoBase + ENOENT, false},
      {-EINVAL, kErrnoBase + EINVAL, false},
  };
  for (const Case& c : cases) {
    const SubscribeOutcome o = subscribeOutcome(c.rc, kThruRefused);
    EXPECT_EQ(o.result, c.result) << c.rc;
    EXPECT_EQ(o.madeByUs, c.madeByUs) << c.rc;
  }
  EXPECT_EQ(subscribeOutcome(-EPERM, kOutputRefused).result, kOutputRefused);

  // Undoing a subscription whose port or subscription is already gone is no failure.
  const std::pair<int, MidiResult> undo[] = {
      {0, kMidiOk}, {-ENOENT, kMidiOk}, {-ENXIO, kMidiOk}, {-EPERM, kErrnoBase + EPERM}, {-EINVAL, kErrnoBase + EINVAL}};
  for (const auto& [rc, result] : undo) EXPECT_EQ(unsubscribeResult(rc), result) << rc;
}

TEST(AlsaSeqShortMessages, DecodedIntoChannelEvents) {
  struct Case {
    std::uint32_t message;
    ShortKind kind;
    int channel, param, value;
  };
  const Case cases[] = {
      {0x7F3C90, ShortKind::NoteOn, 0, 60, 127},
      {0x003C9F, ShortKind::NoteOn, 15, 60, 0},  // the program's note release
      {0x403C83, ShortKind::NoteOff, 3, 60, 64},
      {0x2A45B0, ShortKind::Controller, 0, 69, 42},
      {0x007BBF, ShortKind::Controller, 15, 123, 0},
      {0x1040A2, ShortKind::KeyPressure, 2, 64, 16},
      {0x0005C1, ShortKind::ProgramChange, 1, 0, 5},
      {0x7705C1, ShortKind::ProgramChange, 1, 0, 5},  // a two-byte message ignores the third byte
      {0x0050D4, ShortKind::ChannelPressure, 4, 0, 80},
      {0x4000E0, ShortKind::PitchBend, 0, 0, 0},
      {0x0000E0, ShortKind::PitchBend, 0, 0, -8192},
      {0x7F7FE5, ShortKind::PitchBend, 5, 0, 8191},
  };
  for (const Case& c : cases) {
    const ShortEvent e = decodeShort(c.message);
    EXPECT_EQ(e.kind, c.kind) << std::hex << c.message;
    EXPECT_EQ(e.channel, c.channel) << std::hex << c.message;
    EXPECT_EQ(e.param, c.param) << std::hex << c.message;
    EXPECT_EQ(e.value, c.value) << std::hex << c.message;
  }
  const std::uint32_t invalid[] = {0x000000, 0x7F3C10, 0x0000F8, 0x0000FF, 0x0000F0, 0x7F803C90 & 0xFFFFFF,
                                   0x803C90, 0x0080C0};
  for (std::uint32_t message : invalid)
    EXPECT_EQ(decodeShort(message).kind, ShortKind::Invalid) << std::hex << message;
}

// What the listener hands over for each event of the followed port: the channel messages a
// MIDI cable would carry for it, and nothing for system events or fields out of range.
TEST(AlsaSeqReceivedEvents, BecomeTheChannelMessagesACableWouldCarry) {
  using M = std::vector<std::uint32_t>;
  const struct {
    ReceivedEvent event;
    M messages;
  } cases[] = {
      {{kEventNoteOn, 0, 60, 127}, {0x7F3C90}},
      {{kEventNoteOn, 15, 60, 0}, {0x003C9F}},  // a release stays a Note On
      {{kEventNoteOff, 3, 60, 64}, {0x403C83}},
      {{kEventKeyPress, 2, 64, 16}, {0x1040A2}},
      {{kEventController, 0, 69, 42}, {0x2A45B0}},
      {{kEventController, 9, 127, 127}, {0x7F7FB9}},
      {{kEventProgramChange, 1, 0, 5}, {0x0005C1}},
      {{kEventChannelPressure, 4, 0, 80}, {0x0050D4}},
      {{kEventPitchBend, 0, 0, 0}, {0x4000E0}},
      {{kEventPitchBend, 5, 0, -8192}, {0x0000E5}},
      {{kEventPitchBend, 5, 0, 8191}, {0x7F7FE5}},
      {{kEventControl14, 0, 7, 0x3FFF}, {0x7F07B0, 0x7F27B0}},  // volume: MSB, then LSB on 39
      {{kEventControl14, 2, 1, 129}, {0x0101B2, 0x0121B2}},
      {{kEventControl14, 0, 74, 100}, {0x644AB0}},  // no LSB above 31
      {{kEventNonRegisteredParam, 0, 0x0102, 0x0203}, {0x0263B0, 0x0262B0, 0x0406B0, 0x0326B0}},
      {{kEventRegisteredParam, 1, 0, 0x2000}, {0x0065B1, 0x0064B1, 0x4006B1, 0x0026B1}},
      // Nothing for what carries no channel message, or what no cable could carry.
      {{5, 0, 60, 100}, {}},    // a note with a duration only exists in a queue
      {{130, 0, 0, 0}, {}},     // SysEx
      {{36, 0, 0, 0}, {}},      // clock
      {{42, 0, 0, 0}, {}},      // active sensing
      {{kEventPortExit, 0, 20, 0}, {}},
      {{kEventNoteOn, 16, 60, 100}, {}},
      {{kEventNoteOn, -1, 60, 100}, {}},
      {{kEventNoteOn, 0, 128, 100}, {}},
      {{kEventController, 0, 7, 128}, {}},
      {{kEventController, 0, 7, -1}, {}},
      {{kEventController, 0, 0x100000007LL, 1}, {}},  // the parameter is an unsigned int in the event
      {{kEventProgramChange, 0, 0, 128}, {}},
      {{kEventPitchBend, 0, 0, 8192}, {}},
      {{kEventControl14, 0, 7, 0x4000}, {}},
      {{kEventControl14, 0, 74, 128}, {}},
      {{kEventRegisteredParam, 0, 0x4000, 0}, {}},
  };
  for (const auto& c : cases) {
    std::uint32_t out[kMaxMessagesPerEvent] = {};
    const int n = shortMessagesOf(c.event, out);
    EXPECT_EQ(M(out, out + n), c.messages) << "type " << c.event.type << " channel " << c.event.channel << " "
                                          << c.event.first << " " << c.event.second;
  }
}

TEST(AlsaSeqResults, EveryCodeHasItsOwnText) {
  const MidiResult codes[] = {kNoSuchPort,    kNoPortChosen,  kAlreadyOpen,        kBadHandle,
                              kPortGone,      kOutputRefused, kThruRefused,        kThruToOwnPort,
                              kBadMessage,    kFollowRefused, kErrnoBase + ENOENT, kErrnoBase + EAGAIN,
                              77};
  std::set<std::string> texts;
  for (MidiResult code : codes) EXPECT_TRUE(texts.insert(errorText(code, Direction::Output)).second) << code;

  EXPECT_NE(errorText(kThruRefused, Direction::Input).find("refused the MIDI thru"), std::string::npos);
  EXPECT_NE(errorText(kNoPortChosen, Direction::Input).find("input"), std::string::npos);
  EXPECT_NE(errorText(resultFromReturn(-ENOENT), Direction::Output).find(std::strerror(ENOENT)), std::string::npos);
  EXPECT_EQ(resultFromReturn(5), kMidiOk);
  EXPECT_NE(resultFromReturn(INT32_MIN), kMidiOk);
}

// ---- Announce events ------------------------------------------------------------------------

TEST(AlsaSeqAnnounce, OnlyTheExitOfTheOpenPortOrItsClientTakesItAway) {
  const SeqAddress out{24, 0};
  const std::vector<SeqAddress> ins{{20, 0}, {24, 1}};
  struct Case {
    const char* what;
    AnnounceEvent event;
    bool outputGone;
    std::vector<SeqAddress> inputsGone;
  };
  const Case cases[] = {
      {"output port exits", {kEventPortExit, {24, 0}}, true, {}},
      {"other port of the same client exits", {kEventPortExit, {24, 1}}, false, {{24, 1}}},
      {"whole client exits (unplugged)", {kEventClientExit, {24, 0}}, true, {{24, 1}}},
      {"keyboard unplugged", {kEventClientExit, {20, 0}}, false, {{20, 0}}},
      {"unrelated client exits", {kEventClientExit, {130, 0}}, false, {}},
      {"port with the same number on another client", {kEventPortExit, {25, 0}}, false, {}},
      {"port starts (replugged)", {kEventPortStart, {24, 0}}, false, {}},
      {"client starts", {kEventClientStart, {24, 0}}, false, {}},
      {"port changes", {kEventPortChange, {24, 0}}, false, {}},
  };
  for (const Case& c : cases) {
    const AnnounceReaction r = reactToAnnounce(c.event, out, ins);
    EXPECT_EQ(r.outputGone, c.outputGone) << c.what;
    EXPECT_EQ(r.inputsGone, c.inputsGone) << c.what;
  }
  EXPECT_FALSE(reactToAnnounce({kEventClientExit, {24, 0}}, std::nullopt, {}).outputGone);
}

// ---- Output through a full pool -------------------------------------------------------------

// Plays the sequencer: each output attempt takes the next scripted return; a poll can raise the
// abort flag the way the announce listener does on an unplug.
class ScriptedOutput : public DirectOutput {
 public:
  std::vector<int> returns;  // consumed front to back; success once they run out
  std::vector<int> pollReturns;
  std::vector<std::uint32_t> attempts;
  std::vector<std::uint32_t> delivered;
  int polls = 0;
  std::atomic<bool>* abortOnPoll = nullptr;
  int abortAfterPolls = 0;

  int outputDirect(std::uint32_t message) override {
    attempts.push_back(message);
    int rc = 0;
    if (next_ < returns.size()) rc = returns[next_++];
    if (rc >= 0) delivered.push_back(message);
    return rc;
  }
  int waitForRoom(int) override {
    ++polls;
    if (abortOnPoll && polls >= abortAfterPolls) abortOnPoll->store(true);
    return static_cast<std::size_t>(polls - 1) < pollReturns.size() ? pollReturns[polls - 1] : 1;
  }

 private:
  std::size_t next_ = 0;
};

TEST(AlsaSeqDelivery, FullPoolIsWaitedOutAndTheSameEventSentAgain) {
  ScriptedOutput out;
  out.returns = {-EAGAIN, -EAGAIN, -EAGAIN, 12};
  out.pollReturns = {1, 0, -EINTR};  // room, a timeout and an interrupted poll all go round
  std::atomic<bool> abort{false};

  const DeliveryOutcome outcome = deliver(out, 0x7F45B0, abort);
  EXPECT_EQ(outcome.delivery, Delivery::Sent);
  EXPECT_EQ(out.attempts, (std::vector<std::uint32_t>(4, 0x7F45B0)));
  EXPECT_EQ(out.delivered, (std::vector<std::uint32_t>{0x7F45B0}));
  EXPECT_EQ(out.polls, 3);
}

TEST(AlsaSeqDelivery, AnUnplugReleasesAWaitingSender) {
  ScriptedOutput out;
  out.returns = std::vector<int>(1000, -EAGAIN);  // the pool never drains
  std::atomic<bool> abort{false};
  out.abortOnPoll = &abort;
  out.abortAfterPolls = 4;

  const DeliveryOutcome outcome = deliver(out, 0x3C90, abort);
  EXPECT_EQ(outcome.delivery, Delivery::Aborted);
  EXPECT_EQ(out.polls, 4);
  EXPECT_EQ(out.attempts.size(), 4u);  // not one attempt after the abort
  EXPECT_TRUE(out.delivered.empty());

  // Once aborted, nothing more goes out.
  EXPECT_EQ(deliver(out, 0x3C90, abort).delivery, Delivery::Aborted);
  EXPECT_EQ(out.attempts.size(), 4u);
}

TEST(AlsaSeqDelivery, OtherErrorsFailTheEventWithoutRetrying) {
  struct Case {
    std::vector<int> returns;
    std::vector<int> pollReturns;
    int error;
    std::size_t attempts;
  };
  const Case cases[] = {
      {{-ENOENT}, {}, -ENOENT, 1},            // the destination is gone
      {{-EAGAIN, -ENXIO}, {1}, -ENXIO, 2},    // gone while waiting
      {{-EAGAIN}, {-EBADF}, -EBADF, 1},       // the poll itself fails: no busy loop
  };
  for (const Case& c : cases) {
    ScriptedOutput out;
    out.returns = c.returns;
    out.pollReturns = c.pollReturns;
    std::atomic<bool> abort{false};
    const DeliveryOutcome outcome = deliver(out, 0x40B0, abort);
    EXPECT_EQ(outcome.delivery, Delivery::Failed);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(out.attempts.size(), c.attempts);
  }
}

// ---- The paced sender thread ---------------------------------------------------------------

// A sequencer for the sender thread: records when each event went out, and can be told to
// keep its pool full (every output -EAGAIN) or to be full on every n-th attempt.
class ThreadedOutput : public DirectOutput {
 public:
  using Clock = std::chrono::steady_clock;
  std::atomic<bool> poolFull{false};
  int fullEvery = 0;

  int outputDirect(std::uint32_t message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++attempts_;
    if (poolFull || (fullEvery > 0 && attempts_ % fullEvery == 0)) return -EAGAIN;
    delivered_.push_back({message, Clock::now()});
    return 0;
  }
  int waitForRoom(int) override {
    if (!poolFull) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
  }
  int attempts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return attempts_;
  }
  std::vector<std::pair<std::uint32_t, Clock::time_point>> delivered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
  }

 private:
  std::mutex mutex_;
  int attempts_ = 0;
  std::vector<std::pair<std::uint32_t, Clock::time_point>> delivered_;
};

// Waits until a closed sender's thread has ended by itself.
bool finishes(const PacedSender& sender, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!sender.finished()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(AlsaSeqPacedSender, EverythingArrivesInOrderAndNeverFasterThanTheWire) {
  auto owned = std::make_unique<ThreadedOutput>();
  ThreadedOutput& out = *owned;
  out.fullEvery = 5;
  PacedSender sender(std::make_unique<DirectSink>(std::move(owned)));

  // Control changes and program changes, 1500 bytes: more than the burst, so the tail is paced.
  std::vector<std::uint32_t> sent;
  for (int i = 0; i < 600; ++i) {
    const std::uint32_t message = 0xB0 + 256u * (i % 128) + 65536u * (i / 128) + (i % 2 ? 0x10 : 0);
    sent.push_back(message);
    ASSERT_EQ(sendResult(sender.send(message)), kMidiOk);
  }
  sender.close();
  ASSERT_TRUE(finishes(sender, std::chrono::seconds(20)));
  EXPECT_EQ(sender.pending(), 0u);

  const auto delivered = out.delivered();
  std::vector<std::uint32_t> messages;
  for (const auto& d : delivered) messages.push_back(d.first);
  EXPECT_EQ(messages, sent);

  // Up to each event, no more bytes than a burst plus what the wire carried since the first.
  double bytes = 0;
  for (const auto& [message, at] : delivered) {
    bytes += shortMessageBytes(message);
    const double elapsed = std::chrono::duration<double>(at - delivered.front().second).count();
    ASSERT_LE(bytes, WirePacer::kBurstBytes + WirePacer::kWireBytesPerSecond * elapsed + 0.5)
        << "after " << elapsed << " s";
  }
}

TEST(AlsaSeqPacedSender, AnUnplugDropsTheQueueAndReleasesTheSender) {
  auto owned = std::make_unique<ThreadedOutput>();
  ThreadedOutput& out = *owned;
  out.poolFull = true;
  PacedSender sender(std::make_unique<DirectSink>(std::move(owned)), 8);

  // More than the queue's ring holds, into a sequencer that takes nothing: none waits.
  for (int note = 1; note <= 20; ++note) ASSERT_EQ(sendResult(sender.send(0x90 + 256u * note)), kMidiOk);
  while (out.attempts() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(sender.pending(), 20u);

  sender.portGone();
  ASSERT_TRUE(finishes(sender, std::chrono::seconds(10))) << "the sender still pushes its event";
  EXPECT_EQ(sender.pending(), 0u);
  EXPECT_EQ(sendResult(sender.send(0x3C90)), kPortGone);
  EXPECT_FALSE(sender.reopen()) << "a sender whose port went away cannot take messages again";
  sender.stop();
  EXPECT_TRUE(out.delivered().empty());
}

TEST(AlsaSeqPacedSender, StopEndsAStuckSenderAndDropsWhatItHolds) {
  auto owned = std::make_unique<ThreadedOutput>();
  ThreadedOutput& out = *owned;
  out.poolFull = true;
  PacedSender sender(std::make_unique<DirectSink>(std::move(owned)));
  EXPECT_EQ(sendResult(sender.send(0x45B0)), kMidiOk);
  EXPECT_EQ(sendResult(sender.send(0x45)), kBadMessage);
  sender.close();
  EXPECT_EQ(sendResult(sender.send(0x46B0)), kBadHandle) << "a closed output took a message";
  EXPECT_FALSE(finishes(sender, std::chrono::seconds(0)));
  EXPECT_EQ(sender.pending(), 1u);
  sender.stop();
  EXPECT_EQ(sender.pending(), 0u);
  EXPECT_TRUE(out.delivered().empty());
  EXPECT_FALSE(sender.gone());
}

// ---- Closing and opening again ---------------------------------------------------------------

TEST(AlsaSeqClosing, WhatAnOpeningDoesWithAClosedOutputStillSending) {
  const std::optional<SeqAddress> none;
  const SeqAddress synth{24, 0};
  struct Case {
    const char* what;
    std::optional<SeqAddress> closed;
    bool subscribedByUs;
    bool movedAside;
    std::optional<SeqAddress> opening;
    ClosedOutputFate fate;
  };
  const Case cases[] = {
      {"same port again", synth, true, false, synth, ClosedOutputFate::TakeUp},
      {"same port again after it was moved aside", synth, true, true, synth, ClosedOutputFate::TakeUp},
      {"same port, subscribed by someone else", synth, false, false, synth, ClosedOutputFate::TakeUp},
      {"own port alone, both times", none, false, false, none, ClosedOutputFate::TakeUp},
      {"another port of the same client", synth, true, false, SeqAddress{24, 1}, ClosedOutputFate::MoveAside},
      {"another client", synth, true, false, SeqAddress{130, 0}, ClosedOutputFate::MoveAside},
      {"the own port alone after a chosen one", synth, true, false, none, ClosedOutputFate::MoveAside},
      {"moved aside already", synth, true, true, SeqAddress{130, 0}, ClosedOutputFate::Leave},
      {"a subscription someone else made", synth, false, false, SeqAddress{130, 0}, ClosedOutputFate::Leave},
      {"the own port alone: its listeners stay", none, false, false, synth, ClosedOutputFate::Leave},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fateOnOpening(c.closed, c.subscribedByUs, c.movedAside, c.opening), c.fate) << c.what;
}

}  // namespace
}  // namespace rotavox::alsaseq
