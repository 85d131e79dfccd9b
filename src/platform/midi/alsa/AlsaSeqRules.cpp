#include "platform/midi/alsa/AlsaSeqRules.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <tuple>

#include "core/midi/Messages.h"

namespace rotavox::alsaseq {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

namespace {

const char* directionWord(Direction direction) { return direction == Direction::Output ? "output" : "input"; }

}  // namespace

bool isListed(const PortRecord& port, Direction direction, int ownClient) {
  if (port.client == kSystemClient || port.client == ownClient) return false;
  if (port.capability & kCapNoExport) return false;
  const unsigned needed = direction == Direction::Output ? (kCapWrite | kCapSubsWrite) : (kCapRead | kCapSubsRead);
  return (port.capability & needed) == needed;
}

std::vector<PortRecord> listedPorts(std::vector<PortRecord> all, Direction direction, int ownClient) {
  std::erase_if(all, [&](const PortRecord& p) { return !isListed(p, direction, ownClient); });
  std::stable_sort(all.begin(), all.end(), [](const PortRecord& a, const PortRecord& b) {
    return std::tie(a.client, a.port) < std::tie(b.client, b.port);
  });
  return all;
}

std::string displayName(const PortRecord& port) {
  if (port.portName.empty()) return port.clientName;
  if (port.clientName.empty() || port.portName.starts_with(port.clientName)) return port.portName;
  return port.clientName + ":" + port.portName;
}

std::string portIdentity(const PortRecord& port) {
  return std::to_string(port.client) + ":" + std::to_string(port.port) + " " + port.clientName + ":" + port.portName;
}

std::uint16_t technologyOf(unsigned portType, bool ownVirtualPort) {
  if (ownVirtualPort) return kTechMapper;
  // A sound chip that plays wavetables or downloaded samples.
  if (portType & (kTypeSynth | kTypeDirectSample | kTypeSample)) return kTechWavetable;
  // Any other synthesizer, on a card or in software (FluidSynth, TiMidity).
  if (portType & kTypeSynthesizer) return kTechInternalSynth;
  constexpr unsigned kMidiPort = kTypeMidiGeneric | kTypeMidiGm | kTypeMidiGs | kTypeMidiXg | kTypeMidiMt32 |
                                 kTypeMidiGm2 | kTypeHardware | kTypeSoftware | kTypePort | kTypeApplication;
  if (portType & kMidiPort) return kTechOutputPort;
  return 0;  // says nothing about itself: shown as unknown
}

std::optional<std::uint32_t> parseLibraryVersion(std::string_view text) {
  text = trimmed(text);
  std::uint32_t parts[3] = {0, 0, 0};
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  int count = 0;
  while (count < 3) {
    unsigned value = 0;
    const auto [next, error] = std::from_chars(p, end, value, 10);
    if (error != std::errc() || value > 255) return std::nullopt;
    parts[count++] = value;
    p = next;
    if (p == end || *p != '.') break;
    ++p;
  }
  // At least major.minor; anything after the third number ("1.2.6.1", "-rc1") is ignored.
  if (count < 2) return std::nullopt;
  return (parts[0] << 16) | (parts[1] << 8) | parts[2];
}

DeviceNumbers deviceNumbersOf(const std::optional<UsbIdentity>& usb, std::uint32_t libraryVersion) {
  if (!usb) return {0, 0, libraryVersion};
  // A USB device without a readable release number still gets a version that means something.
  return {usb->vendor, usb->product, usb->release ? *usb->release : libraryVersion};
}

MidiOutCaps outCapsOf(const PortRecord& port, bool ownVirtualPort, const DeviceNumbers& numbers) {
  return MidiOutCaps{numbers.manufacturerId, numbers.productId, numbers.driverVersion, displayName(port),
                     technologyOf(port.type, ownVirtualPort), portIdentity(port)};
}

MidiInCaps inCapsOf(const PortRecord& port, const DeviceNumbers& numbers) {
  return MidiInCaps{numbers.manufacturerId, numbers.productId, numbers.driverVersion, displayName(port),
                    portIdentity(port)};
}

MidiResult resultFromReturn(int rc) {
  if (rc >= 0) return kMidiOk;
  const long long error = -static_cast<long long>(rc);
  return static_cast<MidiResult>(std::min<long long>(kErrnoBase + error, UINT32_MAX));
}

std::string errorText(MidiResult code, Direction direction) {
  const std::string dir = directionWord(direction);
  switch (code) {
    case kMidiOk:
      return "No error.";
    case kNoSuchPort:
      return "There is no such MIDI " + dir +
             " port: it may have been unplugged. Open the MIDI settings again to see the ports as they are now.";
    case kNoPortChosen:
      return "No MIDI " + dir + " port is chosen.";
    case kAlreadyOpen:
      return "The MIDI " + dir + " is already open.";
    case kBadHandle:
      return "The MIDI " + dir + " port is not open.";
    case kPortGone:
      return "The MIDI " + dir + " port has gone away: its device was unplugged or its program ended.";
    case kOutputRefused:
      return "The ALSA sequencer refused the connection to the MIDI output port (permission denied).";
    case kThruRefused:
      return "The ALSA sequencer refused the MIDI thru: the input port may not be connected to the output "
             "port (permission denied).";
    case kThruToOwnPort:
      return "The MIDI thru cannot lead to Rotavox's own virtual port. Choose the instrument's port as the "
             "output, or connect the keyboard to it directly.";
    case kBadMessage:
      return "The message is not a MIDI channel message and was not sent.";
    case kFollowRefused:
      return "The ALSA sequencer refused to connect the MIDI input port to Rotavox (permission denied).";
    default:
      break;
  }
  if (code > kErrnoBase && code - kErrnoBase <= 4095) {
    const int error = static_cast<int>(code - kErrnoBase);
    return "ALSA sequencer error: " + std::string(std::strerror(error)) + ".";
  }
  return "Unknown MIDI error " + std::to_string(code) + ".";
}

SubscribeOutcome subscribeOutcome(int rc, MidiResult refusedCode) {
  if (rc >= 0) return {kMidiOk, true};
  if (rc == -EBUSY) return {kMidiOk, false};
  if (rc == -EPERM) return {refusedCode, false};
  return {resultFromReturn(rc), false};
}

MidiResult unsubscribeResult(int rc) {
  if (rc >= 0 || rc == -ENOENT || rc == -ENXIO) return kMidiOk;
  return resultFromReturn(rc);
}

ShortEvent decodeShort(std::uint32_t message) {
  const int status = statusByte(message);
  const int data1 = data1Byte(message);
  const int data2 = data2Byte(message);
  const int channel = status & 0x0F;
  // The sequencer has events for channel messages only; the program sends nothing else.
  if (shortMessageBytes(message) == 0 || status >= 0xF0) return {};
  switch (status & 0xF0) {
    case 0x80:
      return {ShortKind::NoteOff, channel, data1, data2};
    case 0x90:
      return {ShortKind::NoteOn, channel, data1, data2};
    case 0xA0:
      return {ShortKind::KeyPressure, channel, data1, data2};
    case 0xB0:
      return {ShortKind::Controller, channel, data1, data2};
    case 0xC0:
      return {ShortKind::ProgramChange, channel, 0, data1};
    case 0xD0:
      return {ShortKind::ChannelPressure, channel, 0, data1};
    default:
      return {ShortKind::PitchBend, channel, 0, (data1 | (data2 << 7)) - 8192};
  }
}

bool takesAway(const AnnounceEvent& event, SeqAddress port) {
  switch (event.type) {
    case kEventPortExit:
      return event.address == port;
    case kEventClientExit:
      return event.address.client == port.client;
    default:
      return false;
  }
}

AnnounceReaction reactToAnnounce(const AnnounceEvent& event, const std::optional<SeqAddress>& output,
                                 const std::vector<SeqAddress>& inputs) {
  AnnounceReaction reaction;
  reaction.outputGone = output && takesAway(event, *output);
  for (const SeqAddress& input : inputs)
    if (takesAway(event, input)) reaction.inputsGone.push_back(input);
  return reaction;
}

ClosedOutputFate fateOnOpening(const std::optional<SeqAddress>& closed, bool subscribedByUs, bool movedAside,
                               const std::optional<SeqAddress>& opening) {
  if (closed == opening) return ClosedOutputFate::TakeUp;
  if (!closed || !subscribedByUs || movedAside) return ClosedOutputFate::Leave;
  return ClosedOutputFate::MoveAside;
}

DeliveryOutcome deliver(DirectOutput& output, std::uint32_t message, const std::atomic<bool>& abort,
                        int pollTimeoutMs) {
  while (!abort.load(std::memory_order_acquire)) {
    const int sent = output.outputDirect(message);
    if (sent >= 0) return {Delivery::Sent, 0};
    if (sent != -EAGAIN) return {Delivery::Failed, sent};
    // The pool is full: wait for room, then the same event again. A timeout goes round too,
    // so an abort is seen within one poll period.
    const int room = output.waitForRoom(pollTimeoutMs);
    if (room < 0 && room != -EINTR) return {Delivery::Failed, room};
  }
  return {Delivery::Aborted, 0};
}

MidiResult sendResult(PacedSender::SendResult result) {
  switch (result) {
    case PacedSender::SendResult::Queued: return kMidiOk;
    case PacedSender::SendResult::NotShort: return kBadMessage;
    case PacedSender::SendResult::Gone: return kPortGone;
    case PacedSender::SendResult::Closed: return kBadHandle;
    case PacedSender::SendResult::Full: break;
  }
  return resultFromReturn(-EAGAIN);
}

}  // namespace rotavox::alsaseq
