// The sequencer service on the program's thread: every call of the MIDI service interface.
// The client's life and its closed outputs are in AlsaSeqClient, the threads' code in
// AlsaSeqListener.cpp and AlsaSeqSender.cpp.

#include "platform/midi/alsa/AlsaSeqService.h"

#include <algorithm>
#include <mutex>

#include "platform/midi/alsa/AlsaSeqClient.h"
#include "platform/midi/alsa/AlsaSeqPorts.h"

namespace rotavox {

using namespace alsaseq;

AlsaSeqService::AlsaSeqService(std::unique_ptr<AlsaSeqClient> client) : impl_(std::move(client)) {}

AlsaSeqService::~AlsaSeqService() = default;

unsigned AlsaSeqService::outDeviceCount() {
  impl_->outList = listedPorts(queryPorts(impl_->seq), Direction::Output, impl_->ownClient);
  impl_->outListed = true;
  return static_cast<unsigned>(impl_->outList.size());
}

MidiResult AlsaSeqService::outCaps(int device, MidiOutCaps& caps) {
  if (!impl_->outListed) outDeviceCount();
  const int count = static_cast<int>(impl_->outList.size());
  if (device == kMidiMapperDevice || device == count) {
    caps = outCapsOf(impl_->virtualRecord(), true, deviceNumbers(-1, impl_->libraryVersion, impl_->paths));
    return kMidiOk;
  }
  if (device < 0 || device > count) return kNoSuchPort;
  const PortRecord& port = impl_->outList[static_cast<std::size_t>(device)];
  caps = outCapsOf(port, false, deviceNumbers(port.card, impl_->libraryVersion, impl_->paths));
  return kMidiOk;
}

MidiResult AlsaSeqService::openOut(int device, MidiHandle& handle) {
  if (impl_->output) return kAlreadyOpen;
  if (!impl_->outListed) outDeviceCount();
  const int count = static_cast<int>(impl_->outList.size());
  if (device < 0) return kNoPortChosen;
  if (device > count) return kNoSuchPort;
  impl_->dropFinished();

  std::optional<SeqAddress> dest;
  if (device < count) {
    const PortRecord& port = impl_->outList[static_cast<std::size_t>(device)];
    if (!stillThere(impl_->seq, port)) return kNoSuchPort;
    dest = port.address();
  }

  // Closed outputs that still send what they held.
  std::unique_ptr<AlsaSeqClient::Output> output;
  std::vector<std::unique_ptr<AlsaSeqClient::Output>> ended;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto it = impl_->closed.begin(); it != impl_->closed.end();) {
      AlsaSeqClient::Output& c = **it;
      const bool movedAside = c.direct->source() != impl_->virtualPort;
      switch (fateOnOpening(c.dest, c.subscribedByUs, movedAside, dest)) {
        case ClosedOutputFate::TakeUp:
          if (!output && c.sender->reopen()) {
            output = std::move(*it);
          } else {
            // It is just letting go of its port: that must be over before the port is taken
            // anew, or it would take the new subscription away.
            ended.push_back(std::move(*it));
          }
          it = impl_->closed.erase(it);
          continue;
        case ClosedOutputFate::MoveAside: impl_->moveAside(c); break;
        case ClosedOutputFate::Leave: break;
      }
      ++it;
    }
  }
  ended.clear();  // joins their threads, outside the lock the announce listener takes

  if (output && output->direct->source() != impl_->virtualPort) {
    // Taken up after it was moved aside: back to the program's own port, subscribed anew.
    const int hidden = output->direct->source();
    const SubscribeOutcome subscribed =
        subscribeOutcome(subscribe(impl_->seq, impl_->virtualAddress(), *dest, false),
                         kOutputRefused);
    output->subscribedByUs = subscribed.madeByUs;
    output->direct->setSource(impl_->virtualPort);
    snd_seq_delete_simple_port(impl_->seq, hidden);
    if (subscribed.result != kMidiOk) {
      output->sender->close([] {});
      std::lock_guard<std::mutex> lock(impl_->mutex);
      impl_->closed.push_back(std::move(output));
      return subscribed.result;
    }
  } else if (!output) {
    bool subscribedByUs = false;
    if (dest) {
      const SubscribeOutcome subscribed = subscribeOutcome(
          subscribe(impl_->seq, impl_->virtualAddress(), *dest, false), kOutputRefused);
      if (subscribed.result != kMidiOk) return subscribed.result;
      subscribedByUs = subscribed.madeByUs;
    }
    output = std::make_unique<AlsaSeqClient::Output>();
    auto direct = std::make_unique<SeqDirectOutput>(impl_->seq, impl_->virtualPort);
    output->direct = direct.get();
    output->sender = std::make_unique<PacedSender>(std::make_unique<DirectSink>(std::move(direct)));
    output->dest = dest;
    output->subscribedByUs = subscribedByUs;
  }
  output->handle = impl_->newHandle();
  handle = output->handle;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->output = std::move(output);
  return kMidiOk;
}

MidiResult AlsaSeqService::closeOut(MidiHandle handle) {
  if (!impl_->output || impl_->output->handle != handle) return kBadHandle;
  return impl_->closeOutput();
}

MidiResult AlsaSeqService::sendShort(MidiHandle handle, std::uint32_t message) {
  if (!impl_->output || impl_->output->handle != handle) return kBadHandle;
  // The sequencer carries channel messages only.
  if (decodeShort(message).kind == ShortKind::Invalid) return kBadMessage;
  return sendResult(impl_->output->sender->send(message));
}

std::string AlsaSeqService::outErrorText(MidiResult code) { return errorText(code, Direction::Output); }

std::size_t AlsaSeqService::pendingMessages() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::size_t pending = impl_->output ? impl_->output->sender->pending() : 0;
  for (const auto& c : impl_->closed) pending += c->sender->pending();
  return pending;
}

unsigned AlsaSeqService::inDeviceCount() {
  impl_->inList = listedPorts(queryPorts(impl_->seq), Direction::Input, impl_->ownClient);
  impl_->inListed = true;
  return static_cast<unsigned>(impl_->inList.size());
}

MidiResult AlsaSeqService::inCaps(int device, MidiInCaps& caps) {
  if (!impl_->inListed) inDeviceCount();
  if (device < 0 || device >= static_cast<int>(impl_->inList.size())) return kNoSuchPort;
  const PortRecord& port = impl_->inList[static_cast<std::size_t>(device)];
  caps = inCapsOf(port, deviceNumbers(port.card, impl_->libraryVersion, impl_->paths));
  return kMidiOk;
}

MidiResult AlsaSeqService::chosenInput(int device, const PortRecord*& port) {
  if (!impl_->inListed) inDeviceCount();
  if (device < 0) return kNoPortChosen;
  if (device >= static_cast<int>(impl_->inList.size())) return kNoSuchPort;
  port = &impl_->inList[static_cast<std::size_t>(device)];
  return stillThere(impl_->seq, *port) ? kMidiOk : kNoSuchPort;
}

MidiResult AlsaSeqService::openIn(int device, MidiHandle& handle) {
  const PortRecord* port = nullptr;
  if (const MidiResult r = chosenInput(device, port); r != kMidiOk) return r;
  handle = impl_->newHandle();
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->inputs[handle] = port->address();
  return kMidiOk;
}

// The thru needs no reading by the program, so starting and stopping only check the handle.
MidiResult AlsaSeqService::startIn(MidiHandle handle) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->inputs.count(handle) ? kMidiOk : kBadHandle;
}

MidiResult AlsaSeqService::stopIn(MidiHandle handle) { return startIn(handle); }

MidiResult AlsaSeqService::closeIn(MidiHandle handle) {
  std::vector<AlsaSeqClient::Link> links;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->inputs.erase(handle) == 0) return kBadHandle;
    impl_->goneInputs.erase(handle);
    links = impl_->thru.takeFrom(handle);
  }
  // Closing the thru's input ends the thru, whether or not it was disconnected first.
  return impl_->removeLinks(links);
}

std::string AlsaSeqService::inErrorText(MidiResult code) { return errorText(code, Direction::Input); }

MidiResult AlsaSeqService::connect(MidiHandle in, MidiHandle out) {
  SeqAddress sender;
  SeqAddress dest;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto input = impl_->inputs.find(in);
    const AlsaSeqClient::Output* output = impl_->output.get();
    if (input == impl_->inputs.end() || output == nullptr || output->handle != out) return kBadHandle;
    if (impl_->goneInputs.count(in) || output->sender->gone()) return kPortGone;
    if (!output->dest) return kThruToOwnPort;
    if (impl_->thru.has(in, out)) return kMidiOk;
    sender = input->second;
    dest = *output->dest;
  }
  const SubscribeOutcome outcome = subscribeOutcome(subscribe(impl_->seq, sender, dest, false), kThruRefused);
  if (outcome.result != kMidiOk) return outcome.result;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->thru.add({in, out, sender, dest, outcome.madeByUs});
  return kMidiOk;
}

MidiResult AlsaSeqService::disconnect(MidiHandle in, MidiHandle out) {
  std::vector<AlsaSeqClient::Link> links;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    links = impl_->thru.take(in, out);
  }
  // A thru that was never made, or went with its port, leaves nothing to undo.
  return impl_->removeLinks(links);
}

MidiResult AlsaSeqService::followIn(int device, MidiReceiver& receiver) {
  stopFollowing();
  const PortRecord* port = nullptr;
  if (const MidiResult r = chosenInput(device, port); r != kMidiOk) return r;
  return impl_->startFollowing(port->address(), receiver);
}

void AlsaSeqService::stopFollowing() { impl_->stopFollowing(); }

std::unique_ptr<MidiService> tryOpenAlsaSeqService(const char* clientName) {
  std::unique_ptr<AlsaSeqClient> client = AlsaSeqClient::open(clientName);
  if (!client) return nullptr;
  return std::unique_ptr<MidiService>(new AlsaSeqService(std::move(client)));
}

}  // namespace rotavox
