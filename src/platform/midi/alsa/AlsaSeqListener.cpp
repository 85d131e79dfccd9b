// The listener's thread: it reads everything the sequencer sends to the client's own ports.
// From the System client's announce port it learns when a port or a client goes away; from the
// program's input port, while the program follows, it takes the followed port's MIDI. One
// thread reads both because the sequencer gives a client one input for all its ports.
//
// It waits in poll without a time limit; the client's end wakes it through a pipe. It takes the
// client's lock only while it changes the account of outputs, inputs and thru links, and never
// calls the sequencer under it. The followed port's MIDI goes to the receiver without a lock,
// an allocation or a wait (ReceiverSlot); events that carry no channel message (SysEx, clock,
// active sensing ...) are read and dropped. When the kernel has thrown away what the client's
// input held (a flood that outran the listener), the followed port is looked up anew, in case
// the news of its end was thrown away with it.

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "platform/midi/ReceiveQueue.h"
#include "platform/midi/alsa/AlsaSeqClient.h"
#include "platform/midi/alsa/AlsaSeqPorts.h"

namespace rotavox::alsaseq {

void AlsaSeqClient::listen() {
  const int count = std::max(snd_seq_poll_descriptors_count(seq, POLLIN), 0);
  std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
  const int filled = std::max(snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(count), POLLIN), 0);
  fds.resize(static_cast<std::size_t>(filled) + 1);
  fds.back() = pollfd{wakePipe[0], POLLIN, 0};

  for (;;) {
    for (pollfd& fd : fds) fd.revents = 0;
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds.back().revents != 0) return;
    std::int64_t arrival = 0;
    for (;;) {
      // One look at the clock per read from the kernel: a flood comes in reads of many events.
      const bool fresh = snd_seq_event_input_pending(seq, 0) == 0;
      snd_seq_event_t* ev = nullptr;
      const int rc = snd_seq_event_input(seq, &ev);
      if (fresh) arrival = receiveClockNow();
      if (rc == -ENOSPC) {  // the input overran and the kernel emptied it; what comes now is read on
        checkFollowedSource();
        continue;
      }
      if (rc < 0 || ev == nullptr) break;
      if (ev->source.client == SND_SEQ_CLIENT_SYSTEM && ev->dest.port == announcePort)
        onAnnounce(AnnounceEvent{ev->type, SeqAddress{ev->data.addr.client, ev->data.addr.port}});
      else
        onFollowedEvent(*ev, arrival);
    }
  }
}

void AlsaSeqClient::onAnnounce(const AnnounceEvent& event) {
  if (followPort.load(std::memory_order_seq_cst) >= 0 &&
      takesAway(event, SeqAddress{sourceClient.load(std::memory_order_seq_cst), sourcePort.load(std::memory_order_seq_cst)}))
    followed.reportGone();
  std::lock_guard<std::mutex> lock(mutex);
  std::optional<SeqAddress> out;
  if (output && output->dest) out = output->dest;
  std::vector<SeqAddress> ins;
  std::vector<MidiHandle> inHandles;
  for (const auto& [handle, address] : inputs) {
    ins.push_back(address);
    inHandles.push_back(handle);
  }
  const AnnounceReaction reaction = reactToAnnounce(event, out, ins);
  if (reaction.outputGone) output->sender->portGone();
  for (const std::unique_ptr<Output>& c : closed)
    if (c->dest && reactToAnnounce(event, c->dest, {}).outputGone) c->sender->portGone();
  for (std::size_t i = 0; i < ins.size(); ++i)
    if (std::find(reaction.inputsGone.begin(), reaction.inputsGone.end(), ins[i]) != reaction.inputsGone.end())
      goneInputs.insert(inHandles[i]);
  // The kernel removed these subscriptions with the port; a device that comes back under the
  // same address must not lose a subscription that someone else makes to it.
  thru.forget([&](const Link& link) { return takesAway(event, link.from) || takesAway(event, link.to); });
}

// Only what the followed port sends to the program's input port counts: another program that
// subscribed itself to that port, or sent to it directly, is not followed.
void AlsaSeqClient::onFollowedEvent(const snd_seq_event_t& ev, std::int64_t arrival) {
  const int own = followPort.load(std::memory_order_seq_cst);
  if (own < 0 || ev.dest.port != own || ev.source.client != sourceClient.load(std::memory_order_seq_cst) ||
      ev.source.port != sourcePort.load(std::memory_order_seq_cst))
    return;
  const ReceivedEvent fields = carriesNote(ev.type)
                                    ? ReceivedEvent{ev.type, ev.data.note.channel, ev.data.note.note, ev.data.note.velocity}
                                    : ReceivedEvent{ev.type, ev.data.control.channel, ev.data.control.param,
                                                    ev.data.control.value};
  std::uint32_t messages[kMaxMessagesPerEvent];
  const int count = shortMessagesOf(fields, messages);
  if (count == 0) return;
  for (int i = 0; i < count; ++i) followed.deliver(messages[i], arrival);
}

void AlsaSeqClient::checkFollowedSource() {
  if (followPort.load(std::memory_order_seq_cst) < 0) return;
  const SeqAddress source{sourceClient.load(std::memory_order_seq_cst), sourcePort.load(std::memory_order_seq_cst)};
  if (!currentPort(seq, source)) followed.reportGone();
}

}  // namespace rotavox::alsaseq
