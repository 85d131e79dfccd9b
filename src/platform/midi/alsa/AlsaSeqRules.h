#pragma once

// The decisions of the ALSA sequencer service, kept apart from the sequencer itself so that
// they can be fed with recorded values: which ports are listed, what a port's capability
// record says, what an error code means, what an announce event takes away, and how an
// event is pushed through a full output pool. No ALSA type appears here, and nothing is read
// from the system (UsbIdentity.h reads the cards' USB ids); the bit values and event numbers
// below are the sequencer's own (AlsaSeqClient.cpp checks them against alsa-lib at compile
// time).

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/midi/MidiService.h"
#include "platform/midi/PacedSender.h"

namespace rotavox::alsaseq {

// Port capability bits.
inline constexpr unsigned kCapRead = 1u << 0;
inline constexpr unsigned kCapWrite = 1u << 1;
inline constexpr unsigned kCapSubsRead = 1u << 5;
inline constexpr unsigned kCapSubsWrite = 1u << 6;
inline constexpr unsigned kCapNoExport = 1u << 7;

// Port type bits.
inline constexpr unsigned kTypeSpecific = 1u << 0;
inline constexpr unsigned kTypeMidiGeneric = 1u << 1;
inline constexpr unsigned kTypeMidiGm = 1u << 2;
inline constexpr unsigned kTypeMidiGs = 1u << 3;
inline constexpr unsigned kTypeMidiXg = 1u << 4;
inline constexpr unsigned kTypeMidiMt32 = 1u << 5;
inline constexpr unsigned kTypeMidiGm2 = 1u << 6;
inline constexpr unsigned kTypeSynth = 1u << 10;
inline constexpr unsigned kTypeDirectSample = 1u << 11;
inline constexpr unsigned kTypeSample = 1u << 12;
inline constexpr unsigned kTypeHardware = 1u << 16;
inline constexpr unsigned kTypeSoftware = 1u << 17;
inline constexpr unsigned kTypeSynthesizer = 1u << 18;
inline constexpr unsigned kTypePort = 1u << 19;
inline constexpr unsigned kTypeApplication = 1u << 20;

// The kernel's own client (timer and announce ports); never a MIDI device.
inline constexpr int kSystemClient = 0;

// Announce event types.
inline constexpr int kEventClientStart = 60;
inline constexpr int kEventClientExit = 61;
inline constexpr int kEventClientChange = 62;
inline constexpr int kEventPortStart = 63;
inline constexpr int kEventPortExit = 64;
inline constexpr int kEventPortChange = 65;

enum class Direction { Output, Input };

struct SeqAddress {
  int client = 0;
  int port = 0;
  friend bool operator==(const SeqAddress&, const SeqAddress&) = default;
};

// What the sequencer tells about one port of one client.
struct PortRecord {
  int client = 0;
  int port = 0;
  std::string clientName;
  std::string portName;
  unsigned capability = 0;
  unsigned type = 0;
  int card = -1;  // the sound card behind the client, -1 for none (user clients)

  SeqAddress address() const { return {client, port}; }
};

// True when the port is offered in the given list: a port of another client that the program
// may write to (output) or read from (input) through a subscription, and that is meant to be
// routed at all.
bool isListed(const PortRecord& port, Direction direction, int ownClient);

// The ports of one list, in the order (client, port).
std::vector<PortRecord> listedPorts(std::vector<PortRecord> all, Direction direction, int ownClient);

// The name a user knows the port by: "client:port", or the port name alone where it already
// starts with the client's name ("UM-ONE MIDI 1" rather than "UM-ONE:UM-ONE MIDI 1").
std::string displayName(const PortRecord& port);

// What the port is known by: "client:port clientName:portName". A client number that the
// system hands to another program, or a program that comes back under a new number, makes
// another identity, so a remembered choice never lands on a stranger's port.
std::string portIdentity(const PortRecord& port);

// Technology code of an output port from its type bits; the program's own port is the mapper.
std::uint16_t technologyOf(unsigned portType, bool ownVirtualPort);

// ---- What a capability record says ---------------------------------------------------------

// A sound card's USB identity, as UsbIdentity.h reads it from the kernel.
struct UsbIdentity {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::optional<std::uint16_t> release;  // bcdDevice
};

// The text without the blanks and line ends around it.
std::string_view trimmed(std::string_view text);

// "1.2.8" -> 0x010208, the layout of alsa-lib's own version number.
std::optional<std::uint32_t> parseLibraryVersion(std::string_view text);

// The three numbers of a capability record: for a USB card the vendor and product ids and the
// device's release number; for anything else 0, 0 and the ALSA library version.
struct DeviceNumbers {
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint32_t driverVersion = 0;
};
DeviceNumbers deviceNumbersOf(const std::optional<UsbIdentity>& usb, std::uint32_t libraryVersion);

MidiOutCaps outCapsOf(const PortRecord& port, bool ownVirtualPort, const DeviceNumbers& numbers);
MidiInCaps inCapsOf(const PortRecord& port, const DeviceNumbers& numbers);

// ---- Result codes and their texts --------------------------------------------------------

inline constexpr MidiResult kNoSuchPort = 2;
inline constexpr MidiResult kNoPortChosen = 3;
inline constexpr MidiResult kAlreadyOpen = 4;
inline constexpr MidiResult kBadHandle = 5;
inline constexpr MidiResult kPortGone = 6;
inline constexpr MidiResult kOutputRefused = 7;
inline constexpr MidiResult kThruRefused = 8;
inline constexpr MidiResult kThruToOwnPort = 9;
inline constexpr MidiResult kBadMessage = 10;
inline constexpr MidiResult kFollowRefused = 11;
// A sequencer call failed with errno e: the result is kErrnoBase + e.
inline constexpr MidiResult kErrnoBase = 1000;

// The result for a negative return of the sequencer (-errno); 0 and above are success.
MidiResult resultFromReturn(int rc);
std::string errorText(MidiResult code, Direction direction);

// How a subscription attempt ended. An existing subscription counts as made, but not by us,
// so it is left alone when we tidy up; a refusal gets its own result code.
struct SubscribeOutcome {
  MidiResult result = kMidiOk;
  bool madeByUs = false;
};
SubscribeOutcome subscribeOutcome(int rc, MidiResult refusedCode);
// Removing a subscription that is already gone (its port went away, someone else removed it)
// leaves nothing to undo and is no failure.
MidiResult unsubscribeResult(int rc);

// ---- Short messages as sequencer events ----------------------------------------------------

enum class ShortKind { NoteOff, NoteOn, KeyPressure, Controller, ProgramChange, ChannelPressure, PitchBend, Invalid };
struct ShortEvent {
  ShortKind kind = ShortKind::Invalid;
  int channel = 0;
  int param = 0;  // note or controller number
  int value = 0;  // velocity, pressure, controller value, program; pitch bend -8192..8191
};
// The channel message in a short message; Invalid for system messages and bad data bytes.
ShortEvent decodeShort(std::uint32_t message);

// ---- Announce events ---------------------------------------------------------------------

struct AnnounceEvent {
  int type = 0;
  SeqAddress address;  // the client (and port) the event is about
};

// True when the event means that the port no longer exists.
bool takesAway(const AnnounceEvent& event, SeqAddress port);

struct AnnounceReaction {
  bool outputGone = false;             // discard the queue, release the sender, drop later sends
  std::vector<SeqAddress> inputsGone;  // thru inputs whose subscriptions the kernel removed
};
AnnounceReaction reactToAnnounce(const AnnounceEvent& event, const std::optional<SeqAddress>& output,
                                 const std::vector<SeqAddress>& inputs);

// ---- Closing and opening again -----------------------------------------------------------

// A closed output keeps its subscription while it still sends what it held: the sequencer
// opens a device's MIDI output only while a subscription leads to its port. What an opening
// meanwhile does with such an output:
enum class ClosedOutputFate {
  TakeUp,     // the same port (or the own port alone again): it goes on, with the new messages
              // behind its own
  MoveAside,  // its subscription moves to a hidden port of the program's own that sends its
              // rest, so that the port opened now does not get the rest, nor the old port
              // what is sent now
  Leave,      // as it is: its messages go to whoever listens to the program's own port (the
              // own port alone), or a subscription someone else made carries everything anyway
};
ClosedOutputFate fateOnOpening(const std::optional<SeqAddress>& closed, bool subscribedByUs, bool movedAside,
                               const std::optional<SeqAddress>& opening);

// ---- Pushing one event out ---------------------------------------------------------------

// The two sequencer calls the sender makes for each event; the service wraps the real ones,
// tests a fake.
class DirectOutput {
 public:
  virtual ~DirectOutput() = default;
  // Hands the event to the sequencer at once: >= 0 on success, -errno on failure.
  virtual int outputDirect(std::uint32_t message) = 0;
  // Waits until the sequencer has room for output, at most timeoutMs: > 0 room, 0 timeout,
  // < 0 -errno.
  virtual int waitForRoom(int timeoutMs) = 0;
};

struct DeliveryOutcome {
  Delivery delivery = Delivery::Sent;
  int error = 0;  // the failing return for Delivery::Failed
};

// Outputs one event. A full pool (-EAGAIN) is waited out and the same event sent again, for as
// long as it takes; only `abort` (the port went away, the output closes) ends the waiting.
// Any other error fails this event.
DeliveryOutcome deliver(DirectOutput& output, std::uint32_t message, const std::atomic<bool>& abort,
                        int pollTimeoutMs = 50);

// The paced sender's sink on the sequencer: every event goes through deliver().
class DirectSink : public MessageSink {
 public:
  explicit DirectSink(std::unique_ptr<DirectOutput> output) : output_(std::move(output)) {}
  Delivery put(std::uint32_t message, const std::atomic<bool>& abort) override {
    return deliver(*output_, message, abort).delivery;
  }

 private:
  std::unique_ptr<DirectOutput> output_;
};

// The service's result for what the paced sender did with a send.
MidiResult sendResult(PacedSender::SendResult result);

}  // namespace rotavox::alsaseq
