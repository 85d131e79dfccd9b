// Port queries and changes of the JACK client. All of them run on the JACK thread, one after
// another; they may wait as long as the server takes, which is why the program's thread never
// calls them itself (JackClient::ask).

#include <jack/metadata.h>

#include <cerrno>
#include <utility>

#include "platform/midi/jack/JackClient.h"

namespace rotavox {

using namespace jackrules;

// What JACK tells about one port: its pretty name (metadata) and, for a hardware port, its
// first alias.
PortFacts JackClient::facts(jack_port_t* port, const char* fullName) const {
  PortFacts f;
  f.name = fullName;
  f.physical = (jack_port_flags(port) & JackPortIsPhysical) != 0;
  char* value = nullptr;
  char* type = nullptr;
  if (jack_get_property(jack_port_uuid(port), JACK_METADATA_PRETTY_NAME, &value, &type) == 0 && value != nullptr) {
    f.prettyName = value;
    jack_free(value);
    if (type != nullptr) jack_free(type);
  }
  if (f.physical) {
    const int size = jack_port_name_size();
    std::vector<char> first(static_cast<std::size_t>(size)), second(static_cast<std::size_t>(size));
    char* aliases[2] = {first.data(), second.data()};
    if (jack_port_get_aliases(port, aliases) > 0) f.alias = first.data();
  }
  return f;
}

// The MIDI ports with the given flag as the lists offer them.
std::vector<PortInfo> JackClient::listPorts(unsigned long flags) const {
  std::vector<PortFacts> all;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  if (ports == nullptr) return {};
  for (const char** p = ports; *p != nullptr; ++p) {
    if (isOwnPort(*p, name)) continue;  // no need to ask about them
    jack_port_t* port = jack_port_by_name(client, *p);
    if (port != nullptr) all.push_back(facts(port, *p));
  }
  jack_free(ports);
  return listedPorts(all, name);
}

bool JackClient::portExists(const std::string& portName) const {
  return jack_port_by_name(client, portName.c_str()) != nullptr;
}

std::string JackClient::freeOwnPortName(std::string_view base) const {
  return freePortName(base, [this](const std::string& shortName) { return portExists(name + ":" + shortName); });
}

void JackClient::removeLinks(const std::vector<Link>& made) const {
  if (gone()) return;
  for (const Link& l : made)
    if (l.madeByUs) jack_disconnect(client, l.from.c_str(), l.to.c_str());
}

// Registers the program's own port, connects it to the target and puts the new output in a
// slot of the process callback.
JackClient::Answer JackClient::openOutput(const PortInfo& target, bool virtualPort) {
  jack_port_t* targetPort = nullptr;
  if (!virtualPort) {
    targetPort = jack_port_by_name(client, target.name.c_str());
    if (targetPort == nullptr) return {fail(kPortGone, portGoneText(target.display))};
  }
  {
    const std::lock_guard<std::mutex> lock(mu);
    if (!rt->freeSlot()) {
      texts.erase(kTooManyOutputs);
      return {kTooManyOutputs};
    }
  }
  const std::string ownShort = freeOwnPortName(virtualPort ? "virtual out" : "midi out");
  jack_port_t* own = jack_port_register(client, ownShort.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (own == nullptr) return {fail(kPortNotCreated, portNotCreatedText(name + ":" + ownShort))};
  const std::string ownName = jack_port_name(own);
  if (!virtualPort) {
    const int r = jack_connect(client, ownName.c_str(), target.name.c_str());
    if (r != 0 && r != EEXIST) {
      jack_port_unregister(client, own);
      switch (const MidiResult result = connectOutcome(r, gone(), portExists(target.name)).result) {
        case kPortGone: return {fail(kPortGone, portGoneText(target.display))};
        case kConnectRefused: return {fail(kConnectRefused, connectRefusedText(ownName, target.name))};
        default: return {fail(result)};
      }
    }
  }

  auto out = std::make_shared<JackOutput>(&serverGone);
  out->port = own;
  out->ownName = ownName;
  out->target = targetPort;
  out->targetName = target.name;
  out->targetDisplay = target.display;
  {
    const std::lock_guard<std::mutex> lock(mu);
    if (const std::optional<std::size_t> slot = rt->freeSlot()) {
      out->handle = nextHandle++;
      out->slot = *slot;
      // The connection was made before this point, so the cycle after the next one has surely
      // begun after it (one more than needed, against a cycle about to begin).
      out->firstCycle = rt->passesBegun() + 2;
      outputs[out->handle] = out;
      rt->fill(*slot, out.get());
    }
  }
  if (out->handle == kNoMidiHandle) {
    jack_port_unregister(client, own);
    return {fail(kTooManyOutputs)};
  }
  // The port may have gone between looking it up and the output being known to the
  // port-registration notice.
  if (!virtualPort && !portExists(target.name)) {
    out->gone = true;
    out->queue().abort();
  }
  return {kMidiOk, out->handle};
}

JackClient::Answer JackClient::connectPorts(MidiHandle in, MidiHandle out, const Input& from, const std::string& to,
                                            const std::string& toDisplay) {
  for (const auto& [portName, display] : {std::pair{from.name, from.display}, std::pair{to, toDisplay}})
    if (!portExists(portName)) return {fail(kPortGone, portGoneText(display))};
  const ConnectOutcome outcome = connectOutcome(jack_connect(client, from.name.c_str(), to.c_str()), gone(), true);
  if (outcome.result == kConnectRefused) return {fail(kConnectRefused, connectRefusedText(from.name, to))};
  if (outcome.result != kMidiOk) return {fail(outcome.result)};
  // One made by someone else is not ours to remove later. One made after the caller gave up
  // waiting is still recorded, so that the client's end removes it.
  if (outcome.madeByUs) {
    const std::lock_guard<std::mutex> lock(mu);
    links.add({in, out, from.name, to, true});
  }
  return {kMidiOk};
}

JackClient::Answer JackClient::disconnectPorts(const Link& link) {
  if (jack_disconnect(client, link.from.c_str(), link.to.c_str()) == 0) return {kMidiOk};
  jack_port_t* from = jack_port_by_name(client, link.from.c_str());
  if (from == nullptr || !jack_port_connected_to(from, link.to.c_str())) return {kMidiOk};  // gone anyway
  {
    const std::lock_guard<std::mutex> lock(mu);
    links.add(link);
  }
  return {fail(kDisconnectRefused, disconnectRefusedText(link.from, link.to))};
}

// Registers the client's own input port and connects the source to it. The port exists only
// while the program follows, so that other programs see the port lists as before otherwise.
std::pair<MidiResult, jack_port_t*> JackClient::openFollowPort(const Input& source) {
  if (!portExists(source.name)) return {fail(kPortGone, portGoneText(source.display)), nullptr};
  const std::string ownShort = freeOwnPortName("midi in");
  jack_port_t* own = jack_port_register(client, ownShort.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (own == nullptr) return {fail(kPortNotCreated, portNotCreatedText(name + ":" + ownShort)), nullptr};
  const std::string ownName = jack_port_name(own);
  const int r = jack_connect(client, source.name.c_str(), ownName.c_str());
  if (r == 0 || r == EEXIST) return {kMidiOk, own};
  jack_port_unregister(client, own);
  switch (const MidiResult result = connectOutcome(r, gone(), portExists(source.name)).result) {
    case kPortGone: return {fail(kPortGone, portGoneText(source.display)), nullptr};
    case kConnectRefused: return {fail(kConnectRefused, connectRefusedText(source.name, ownName)), nullptr};
    default: return {fail(result), nullptr};
  }
}

// Unregistering takes the connection from the source with it.
void JackClient::closeFollowPort(jack_port_t* own) const {
  if (!gone()) jack_port_unregister(client, own);
}

}  // namespace rotavox
