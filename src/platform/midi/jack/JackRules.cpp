#include "platform/midi/jack/JackRules.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace rotavox::jackrules {

namespace {

constexpr std::string_view kGone = " is gone: its program has quit or its device was unplugged.";

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::string errorText(MidiResult code) {
  switch (code) {
    case kMidiOk: return "No error.";
    case kServerGone:
      return "The JACK server has stopped. Once it runs again, open the MIDI settings again and MIDI works as "
             "before.";
    case kBadDevice: return "There is no MIDI port with this number.";
    case kPortGone: return "The MIDI port" + std::string(kGone);
    case kPortNotCreated: return "JACK could not create a MIDI port for Rotavox.";
    case kConnectRefused: return "JACK refused to connect the two MIDI ports.";
    case kBadHandle: return "This MIDI port is not open.";
    case kThruIntoOwnPort:
      return "The MIDI thru cannot lead into Rotavox's own virtual port. Connect the input port to the programs that "
             "listen to the virtual port, or choose another output port.";
    case kDisconnectRefused: return "JACK refused to remove the connection between the two MIDI ports.";
    case kNotShortMessage: return "This is not a MIDI short message.";
    case kOutputStalled: return "The JACK server takes no MIDI from this port; the message was dropped.";
    case kTooManyOutputs: return "Too many MIDI outputs are open at once.";
    default: return "Unknown JACK MIDI error " + std::to_string(code) + ".";
  }
}

std::string noSuchPortText(bool output, int device) {
  return std::string("There is no MIDI ") + (output ? "output" : "input") + " port number " + std::to_string(device) +
         ".";
}

std::string noInputChosenText() { return "No MIDI input port is chosen."; }

std::string portGoneText(std::string_view portDisplay) { return "The MIDI port " + quoted(portDisplay) + std::string(kGone); }

std::string portNotCreatedText(std::string_view portName) {
  return "JACK could not create the MIDI port " + quoted(portName) + ".";
}

std::string connectRefusedText(std::string_view from, std::string_view to) {
  return "JACK refused to connect " + quoted(from) + " to " + quoted(to) + ".";
}

std::string disconnectRefusedText(std::string_view from, std::string_view to) {
  return "JACK refused to remove the connection from " + quoted(from) + " to " + quoted(to) + ".";
}

std::string notAnsweringText() {
  return "The JACK server does not answer. Once it answers again, open the MIDI settings again and MIDI works as "
         "before.";
}

std::string displayName(const PortFacts& port) {
  if (!port.prettyName.empty()) return port.prettyName;
  if (port.physical && !port.alias.empty()) return port.alias;
  return port.name;
}

bool isOwnPort(std::string_view portName, std::string_view clientName) {
  return portName.size() > clientName.size() && portName.starts_with(clientName) &&
         portName[clientName.size()] == ':';
}

std::vector<PortInfo> listedPorts(const std::vector<PortFacts>& all, std::string_view ownClient) {
  std::vector<PortInfo> list;
  for (const PortFacts& p : all)
    if (!isOwnPort(p.name, ownClient)) list.push_back({p.name, displayName(p), p.physical});
  std::sort(list.begin(), list.end(), [](const PortInfo& a, const PortInfo& b) { return a.name < b.name; });
  return list;
}

std::uint32_t versionNumber(const char* text) {
  std::uint32_t number = 0;
  int digits = 0;
  for (const char* p = text; p != nullptr && *p != '\0' && digits < 8; ++p) {
    if (*p >= '0' && *p <= '9') {
      number = number * 16 + static_cast<std::uint32_t>(*p - '0');
      ++digits;
    } else if (*p != '.') {
      break;  // "1.9.17 (PipeWire ...)": only the leading version counts
    }
  }
  return number;
}

MidiOutCaps outCapsOf(const PortInfo& port, std::uint32_t driverVersion) {
  return MidiOutCaps{0, 0, driverVersion, port.display, port.physical ? kTechOutputPort : kTechInternalSynth,
                     port.name};
}

MidiOutCaps virtualPortCaps(std::string_view clientName, std::uint32_t driverVersion) {
  return MidiOutCaps{0, 0, driverVersion, std::string(clientName) + " virtual out", kTechMapper, {}};
}

MidiInCaps inCapsOf(const PortInfo& port, std::uint32_t driverVersion) {
  return MidiInCaps{0, 0, driverVersion, port.display, port.name};
}

OutChoice outChoice(int device, std::size_t listed) {
  const auto n = static_cast<long long>(listed);
  if (device == kMidiMapperDevice || device == n) return {OutChoice::VirtualPort, 0};
  if (device < 0 || device > n) return {OutChoice::NoSuchPort, 0};
  return {OutChoice::Port, static_cast<std::size_t>(device)};
}

bool inDeviceListed(int device, std::size_t listed) {
  return device >= 0 && static_cast<std::size_t>(device) < listed;
}

std::string freePortName(std::string_view base, const std::function<bool(const std::string&)>& taken) {
  for (int n = 1;; ++n) {
    std::string candidate(base);
    if (n > 1) candidate += " " + std::to_string(n);
    if (!taken(candidate)) return candidate;
  }
}

MidiResult resultWithServerGone(Call call) {
  switch (call) {
    case Call::OpenOut:
    case Call::Send:
    case Call::OpenIn:
    case Call::Connect: return kServerGone;
    case Call::CloseOut:
    case Call::CloseIn:
    case Call::Disconnect: return kMidiOk;
  }
  return kServerGone;
}

bool takesAwayTarget(bool samePort, std::string_view goneName, std::string_view targetName) {
  if (targetName.empty()) return false;
  return samePort || goneName == targetName;
}

ConnectOutcome connectOutcome(int rc, bool serverGone, bool portsStillThere) {
  if (rc == 0) return {kMidiOk, true};
  if (rc == EEXIST) return {kMidiOk, false};
  if (serverGone) return {kServerGone, false};
  if (!portsStillThere) return {kPortGone, false};
  return {kConnectRefused, false};
}

std::uint32_t channelMessageOf(const unsigned char* data, std::size_t size) noexcept {
  if (size == 0) return 0;
  const std::uint32_t status = data[0];
  if (status < 0x80 || status >= 0xF0) return 0;
  const std::size_t length = (status & 0xE0) == 0xC0 ? 2 : 3;
  if (size < length) return 0;
  std::uint32_t message = status;
  for (std::size_t i = 1; i < length; ++i) {
    if (data[i] > 0x7F) return 0;
    message |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  }
  return message;
}

bool StallWatch::stalled(std::uint64_t cycles, bool waiting, double now) {
  if (!waiting || !watching_ || cycles != cycles_) {
    watching_ = waiting;
    cycles_ = cycles;
    since_ = now;
    return false;
  }
  return now - since_ >= limit_;
}

double frameInCycle(double dueSeconds, double cycleStart, double rate) {
  // A due time a hair past a frame boundary (rounding) counts as that frame.
  return std::max(0.0, std::ceil(dueSeconds * rate - cycleStart - 1e-6));
}

}  // namespace rotavox::jackrules
