// The JACK service on the program's thread: every call of the MIDI service interface, and the
// client's bookkeeping that only this thread does. What asks the server runs on the JACK
// thread (JackClient::ask); what runs in real time is in JackProcess.

#include "platform/midi/jack/JackService.h"

#include <algorithm>
#include <utility>

#include "core/midi/Messages.h"
#include "platform/midi/jack/JackClient.h"

namespace rotavox {

using namespace jackrules;

// ---- The client's bookkeeping on the program's thread -----------------------------------------

unsigned JackClient::refresh(bool out) {
  std::vector<PortInfo> list;
  if (!unusable()) {
    const unsigned long flags = out ? JackPortIsInput : JackPortIsOutput;
    if (auto answer = ask<std::vector<PortInfo>>([this, flags] { return listPorts(flags); })) list = std::move(*answer);
  }
  const std::lock_guard<std::mutex> lock(mu);
  (out ? outList : inList) = std::move(list);
  (out ? outListed : inListed) = true;
  return static_cast<unsigned>((out ? outList : inList).size());
}

bool JackClient::listed(bool out) {
  const std::lock_guard<std::mutex> lock(mu);
  return out ? outListed : inListed;
}

std::shared_ptr<JackOutput> JackClient::findOutput(MidiHandle handle) const {
  const std::lock_guard<std::mutex> lock(mu);
  const auto it = outputs.find(handle);
  return it == outputs.end() ? nullptr : it->second;
}

bool JackClient::answering() const {
  if (unanswered.load(std::memory_order_acquire) > 0) return false;
  if (gone()) return true;  // gone, not silent: nothing waits for it
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  const std::lock_guard<std::mutex> lock(mu);
  return !stallWatch.stalled(rt->passesBegun(), queuedLocked() > 0, now);
}

std::size_t JackClient::queuedLocked() const {
  std::size_t queued = 0;
  for (const auto& [handle, out] : outputs) queued += out->queue().size();
  for (const std::shared_ptr<JackOutput>& out : closed) queued += out->queue().size();
  return queued;
}

void JackClient::removeLinksWaiting(std::vector<Link> made) {
  if (made.empty() || unusable()) return;
  ask<bool>([this, made = std::move(made)] {
    removeLinks(made);
    return true;
  });
}

// ---- The service -------------------------------------------------------------------------------

std::unique_ptr<JackService> JackService::open(const char* clientName, const char* serverName) {
  std::optional<std::string> server;
  if (serverName != nullptr) server = serverName;
  std::shared_ptr<JackClient> client = JackClient::openInTime(clientName, server);
  return client ? std::unique_ptr<JackService>(new JackService(std::move(client))) : nullptr;
}

JackService::JackService(std::shared_ptr<JackClient> client) : impl_(std::move(client)) {}

// The own input port goes with the client.
JackService::~JackService() {
  endFollow();
  impl_->end();
}

std::string JackService::clientName() const { return impl_->name; }

bool JackService::alive() const { return !impl_->unusable(); }

std::string JackService::ownPortName(MidiHandle out) const {
  const std::shared_ptr<JackOutput> o = impl_->findOutput(out);
  return o ? o->ownName : std::string();
}

std::size_t JackService::queuedMessages(MidiHandle out) const {
  const std::shared_ptr<JackOutput> o = impl_->findOutput(out);
  return o ? o->queue().size() : 0;
}

bool JackService::answering() const { return impl_->answering(); }

std::size_t JackService::pendingMessages() const {
  const JackClient& d = *impl_;
  // Nothing more goes out through a server that went away or does not answer.
  if (d.unusable()) return 0;
  const std::lock_guard<std::mutex> lock(d.mu);
  return d.queuedLocked();
}

unsigned JackService::outDeviceCount() { return impl_->refresh(true); }

MidiResult JackService::outCaps(int device, MidiOutCaps& caps) {
  JackClient& d = *impl_;
  if (!d.listed(true)) d.refresh(true);
  const std::lock_guard<std::mutex> lock(d.mu);
  const OutChoice choice = outChoice(device, d.outList.size());
  switch (choice.kind) {
    case OutChoice::VirtualPort: caps = virtualPortCaps(d.name, d.driverVersion); return kMidiOk;
    case OutChoice::Port: caps = outCapsOf(d.outList[choice.index], d.driverVersion); return kMidiOk;
    case OutChoice::NoSuchPort: break;
  }
  d.texts[kBadDevice] = noSuchPortText(true, device);
  return kBadDevice;
}

MidiResult JackService::openOut(int device, MidiHandle& handle) {
  JackClient& d = *impl_;
  if (d.unusable()) return d.goneResult(Call::OpenOut);
  if (!d.listed(true)) d.refresh(true);
  PortInfo target;
  bool virtualPort = false;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    const OutChoice choice = outChoice(device, d.outList.size());
    if (choice.kind == OutChoice::NoSuchPort) {
      d.texts[kBadDevice] = noSuchPortText(true, device);
      return kBadDevice;
    }
    virtualPort = choice.kind == OutChoice::VirtualPort;
    if (!virtualPort) target = d.outList[choice.index];
    // The same port opened again while its closed output still sends: that output goes on,
    // so what this opening sends comes after what it still holds.
    for (auto it = d.closed.begin(); it != d.closed.end(); ++it) {
      const std::shared_ptr<JackOutput> out = *it;
      const bool sending = out->stage == JackOutputStage::Closing || out->stage == JackOutputStage::Drained;
      if (!sending || out->gone.load() || out->targetName != target.name) continue;
      out->stage = JackOutputStage::Open;
      out->handle = d.nextHandle++;
      d.outputs[out->handle] = out;
      d.closed.erase(it);
      handle = out->handle;
      return kMidiOk;
    }
  }
  const std::optional<JackClient::Answer> answer =
      d.ask<JackClient::Answer>([&d, target, virtualPort] { return d.openOutput(target, virtualPort); });
  if (!answer) return d.goneResult(Call::OpenOut);
  if (answer->result == kMidiOk) handle = answer->handle;
  return answer->result;
}

// The thru into the output stays: it runs between the keyboard's and the instrument's ports,
// and the program leaves it to the system until it closes the thru's input (the settings
// dialog's next load) or ends.
MidiResult JackService::closeOut(MidiHandle handle) {
  JackClient& d = *impl_;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    const auto it = d.outputs.find(handle);
    if (it == d.outputs.end()) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    // It takes no more messages; what it holds goes out in the background, and then its port.
    it->second->stage = JackOutputStage::Closing;
    d.closed.push_back(it->second);
    d.outputs.erase(it);
  }
  d.wakeForCare();
  return kMidiOk;
}

MidiResult JackService::sendShort(MidiHandle handle, std::uint32_t message) {
  JackClient& d = *impl_;
  if (d.unusable()) return resultWithServerGone(Call::Send);
  if (shortMessageBytes(message) == 0) return kNotShortMessage;
  const std::shared_ptr<JackOutput> out = d.findOutput(handle);
  if (!out) return kBadHandle;
  if (out->gone.load(std::memory_order_acquire)) return kPortGone;
  switch (out->queue().push(message)) {
    case OutputQueue::PushResult::Queued:
      if (out->queue().overflowing()) d.wakeForCare();
      return kMidiOk;
    case OutputQueue::PushResult::Full: return kOutputStalled;
    case OutputQueue::PushResult::Aborted: break;
  }
  return d.gone() ? kServerGone : kPortGone;
}

std::string JackService::outErrorText(MidiResult code) { return impl_->errorText(code); }

unsigned JackService::inDeviceCount() { return impl_->refresh(false); }

MidiResult JackService::inCaps(int device, MidiInCaps& caps) {
  JackClient& d = *impl_;
  if (!d.listed(false)) d.refresh(false);
  const std::lock_guard<std::mutex> lock(d.mu);
  if (!inDeviceListed(device, d.inList.size())) {
    d.texts[kBadDevice] = noSuchPortText(false, device);
    return kBadDevice;
  }
  caps = inCapsOf(d.inList[static_cast<std::size_t>(device)], d.driverVersion);
  return kMidiOk;
}

// The input port at `device` in the list, for opening or following it.
static MidiResult chosenInput(JackClient& d, int device, JackClient::Input& in) {
  if (d.unusable()) return d.goneResult(Call::OpenIn);
  if (device == -1) return d.fail(kBadDevice, noInputChosenText());
  if (!d.listed(false)) d.refresh(false);
  const std::lock_guard<std::mutex> lock(d.mu);
  if (!inDeviceListed(device, d.inList.size())) {
    d.texts[kBadDevice] = noSuchPortText(false, device);
    return kBadDevice;
  }
  in.name = d.inList[static_cast<std::size_t>(device)].name;
  in.display = d.inList[static_cast<std::size_t>(device)].display;
  return kMidiOk;
}

MidiResult JackService::openIn(int device, MidiHandle& handle) {
  JackClient& d = *impl_;
  JackClient::Input in;
  if (const MidiResult r = chosenInput(d, device, in); r != kMidiOk) return r;
  const std::optional<bool> there = d.ask<bool>([&d, name = in.name] { return d.portExists(name); });
  if (!there) return d.goneResult(Call::OpenIn);
  if (!*there) return d.fail(kPortGone, portGoneText(in.display));
  const std::lock_guard<std::mutex> lock(d.mu);
  handle = d.nextHandle++;
  d.inputs[handle] = std::move(in);
  return kMidiOk;
}

// JACK carries the thru by itself, so starting and stopping the input only checks the handle.
MidiResult JackService::startIn(MidiHandle handle) {
  JackClient& d = *impl_;
  const std::lock_guard<std::mutex> lock(d.mu);
  if (d.inputs.count(handle) > 0) return kMidiOk;
  d.texts.erase(kBadHandle);
  return kBadHandle;
}

MidiResult JackService::stopIn(MidiHandle handle) { return startIn(handle); }

MidiResult JackService::closeIn(MidiHandle handle) {
  JackClient& d = *impl_;
  std::vector<JackClient::Link> ending;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.inputs.erase(handle) == 0) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    ending = d.links.takeFrom(handle);
  }
  d.removeLinksWaiting(std::move(ending));
  return kMidiOk;
}

std::string JackService::inErrorText(MidiResult code) { return impl_->errorText(code); }

MidiResult JackService::connect(MidiHandle in, MidiHandle out) {
  JackClient& d = *impl_;
  if (d.unusable()) return d.goneResult(Call::Connect);
  JackClient::Input from;
  std::string to;
  std::string toDisplay;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    const auto i = d.inputs.find(in);
    const auto o = d.outputs.find(out);
    if (i == d.inputs.end() || o == d.outputs.end()) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    if (o->second->target == nullptr) {
      d.texts.erase(kThruIntoOwnPort);
      return kThruIntoOwnPort;
    }
    if (d.links.has(in, out)) return kMidiOk;
    from = i->second;
    to = o->second->targetName;
    toDisplay = o->second->targetDisplay;
  }
  const std::optional<JackClient::Answer> answer =
      d.ask<JackClient::Answer>([&d, in, out, from, to, toDisplay] { return d.connectPorts(in, out, from, to, toDisplay); });
  if (!answer) return d.goneResult(Call::Connect);
  return answer->result;
}

MidiResult JackService::disconnect(MidiHandle in, MidiHandle out) {
  JackClient& d = *impl_;
  std::vector<JackClient::Link> taken;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.inputs.count(in) == 0 || d.outputs.count(out) == 0) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    taken = d.links.take(in, out);
    // No connection of ours between them: it failed, or it was there before and stays.
    if (taken.empty()) return kMidiOk;
  }
  const JackClient::Link link = taken.front();
  if (d.unusable()) return resultWithServerGone(Call::Disconnect);
  const std::optional<JackClient::Answer> answer = d.ask<JackClient::Answer>([&d, link] { return d.disconnectPorts(link); });
  if (!answer) return resultWithServerGone(Call::Disconnect);
  return answer->result;
}

MidiResult JackService::followIn(int device, MidiReceiver& receiver) {
  JackClient& d = *impl_;
  stopFollowing();
  JackClient::Input source;
  if (const MidiResult r = chosenInput(d, device, source); r != kMidiOk) return r;
  using Opened = std::pair<MidiResult, jack_port_t*>;
  const std::optional<Opened> opened = d.ask<Opened>([&d, source] { return d.openFollowPort(source); });
  if (!opened) return d.goneResult(Call::OpenIn);
  if (opened->first != kMidiOk) return opened->first;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    d.following = std::make_unique<JackFollow>(*d.rt, d.serverGone, JackClient::kAnswerLimit, receiver, opened->second,
                                               source.name);
  }
  // The source may have gone before JACK's notices could find the follow.
  const std::optional<bool> there = d.ask<bool>([&d, name = source.name] { return d.portExists(name); });
  if (there && !*there) {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.following) d.following->portUnregistered(source.name);
  }
  return kMidiOk;
}

jack_port_t* JackService::endFollow() {
  std::unique_ptr<JackFollow> follow;
  {
    const std::lock_guard<std::mutex> lock(impl_->mu);
    follow = std::move(impl_->following);
  }
  if (!follow) return nullptr;
  follow->stop();
  return follow->port();
}

void JackService::stopFollowing() {
  JackClient& d = *impl_;
  jack_port_t* own = endFollow();
  if (own == nullptr || d.gone()) return;  // a server that went away took the port with it
  // A server that does not answer gets the port taken away once it answers again.
  if (d.notAnswering.load(std::memory_order_acquire))
    d.post([&d, own] { d.closeFollowPort(own); });
  else
    d.ask<bool>([&d, own] {
      d.closeFollowPort(own);
      return true;
    });
}

std::unique_ptr<MidiService> tryOpenJackService(const char* clientName, const char* serverName) {
  return JackService::open(clientName, serverName);
}

}  // namespace rotavox
