#include "support/MemoryService.h"

#include "platform/midi/ReceiveQueue.h"

namespace rotavox {

MidiResult MemoryService::failure(const std::string& call, int device) const {
  if (device != -2) {
    const auto it = failures.find(call + ":" + std::to_string(device));
    if (it != failures.end()) return it->second;
  }
  const auto it = failures.find(call);
  return it == failures.end() ? kMidiOk : it->second;
}

std::vector<std::uint32_t> MemoryService::delivered() const {
  std::vector<std::uint32_t> out;
  for (const Sent& s : sent)
    if (s.handle != kNoMidiHandle) out.push_back(s.message);
  return out;
}

void MemoryService::clearRecords() {
  sent.clear();
  calls.clear();
}

unsigned MemoryService::outDeviceCount() { return static_cast<unsigned>(outPorts.size()); }

MidiResult MemoryService::outCaps(int device, MidiOutCaps& caps) {
  calls.push_back("outCaps " + std::to_string(device));
  if (const MidiResult r = failure("outCaps", device)) return r;
  if (device == kMidiMapperDevice) {
    caps = mapper;
    return kMidiOk;
  }
  if (device < 0 || device >= static_cast<int>(outPorts.size())) return kBadDevice;
  caps = outPorts[static_cast<std::size_t>(device)];
  if (caps.identity.empty()) caps.identity = caps.name;
  return kMidiOk;
}

MidiResult MemoryService::openOut(int device, MidiHandle& handle) {
  calls.push_back("openOut " + std::to_string(device));
  if (const MidiResult r = failure("openOut", device)) return r;
  if (device < 0 || device > static_cast<int>(outPorts.size())) return kBadDevice;
  handle = next_++;
  openOuts_.insert(handle);
  return kMidiOk;
}

MidiResult MemoryService::closeOut(MidiHandle handle) {
  calls.push_back("closeOut " + std::to_string(handle));
  if (const MidiResult r = failure("closeOut")) return r;
  return openOuts_.erase(handle) ? kMidiOk : kBadHandle;
}

MidiResult MemoryService::sendShort(MidiHandle handle, std::uint32_t message) {
  if (!isOutOpen(handle)) {
    sent.push_back({kNoMidiHandle, message});
    return kBadHandle;
  }
  sent.push_back({handle, message});
  return failure("sendShort");
}

std::string MemoryService::outErrorText(MidiResult code) { return "memory output error " + std::to_string(code); }

unsigned MemoryService::inDeviceCount() { return static_cast<unsigned>(inPorts.size()); }

MidiResult MemoryService::inCaps(int device, MidiInCaps& caps) {
  calls.push_back("inCaps " + std::to_string(device));
  if (const MidiResult r = failure("inCaps", device)) return r;
  if (device < 0 || device >= static_cast<int>(inPorts.size())) return kBadDevice;
  caps = inPorts[static_cast<std::size_t>(device)];
  if (caps.identity.empty()) caps.identity = caps.name;
  return kMidiOk;
}

MidiResult MemoryService::openIn(int device, MidiHandle& handle) {
  calls.push_back("openIn " + std::to_string(device));
  if (const MidiResult r = failure("openIn", device)) return r;
  if (device < 0 || device >= static_cast<int>(inPorts.size())) return kBadDevice;
  handle = next_++;
  openIns_.insert(handle);
  return kMidiOk;
}

MidiResult MemoryService::startIn(MidiHandle handle) {
  calls.push_back("startIn " + std::to_string(handle));
  return isInOpen(handle) ? kMidiOk : kBadHandle;
}

MidiResult MemoryService::stopIn(MidiHandle handle) {
  calls.push_back("stopIn " + std::to_string(handle));
  return isInOpen(handle) ? kMidiOk : kBadHandle;
}

MidiResult MemoryService::closeIn(MidiHandle handle) {
  calls.push_back("closeIn " + std::to_string(handle));
  if (const MidiResult r = failure("closeIn")) return r;
  return openIns_.erase(handle) ? kMidiOk : kBadHandle;
}

std::string MemoryService::inErrorText(MidiResult code) { return "memory input error " + std::to_string(code); }

MidiResult MemoryService::connect(MidiHandle in, MidiHandle out) {
  calls.push_back("connect " + std::to_string(in) + " " + std::to_string(out));
  if (const MidiResult r = failure("connect")) return r;
  if (!isInOpen(in) || !isOutOpen(out)) return kBadHandle;
  connections_.insert({in, out});
  return kMidiOk;
}

MidiResult MemoryService::disconnect(MidiHandle in, MidiHandle out) {
  calls.push_back("disconnect " + std::to_string(in) + " " + std::to_string(out));
  if (const MidiResult r = failure("disconnect")) return r;
  return connections_.erase({in, out}) ? kMidiOk : kBadHandle;
}

MidiResult MemoryService::followIn(int device, MidiReceiver& receiver) {
  calls.push_back("followIn " + std::to_string(device));
  if (const MidiResult r = failure("followIn", device)) return r;
  if (device < 0 || device >= static_cast<int>(inPorts.size())) return kBadDevice;
  followed_ = device;
  receiver_.store(&receiver);
  return kMidiOk;
}

void MemoryService::stopFollowing() {
  if (followed_ < 0) return;
  calls.push_back("stopFollowing");
  followed_ = -1;
  receiver_.store(nullptr);
}

bool MemoryService::receive(std::uint32_t message) { return receive(message, receiveClockNow()); }

bool MemoryService::receive(std::uint32_t message, std::int64_t arrivalNanos) {
  MidiReceiver* receiver = receiver_.load();
  if (!receiver) return false;
  receiver->received(message, arrivalNanos);
  return true;
}

void MemoryService::followedPortVanishes() {
  if (MidiReceiver* receiver = receiver_.exchange(nullptr)) receiver->sourceGone();
}

}  // namespace rotavox
