// The announce listener's thread: it reads what the sequencer sends to the client's own
// ports and learns from the System client's announce port when a port or a client goes away.
// It waits in poll without a time limit; the client's end wakes it through a pipe. It takes the
// client's lock only while it changes the account of outputs, inputs and thru links, and never
// calls the sequencer under it.
//
// MIDI that arrives at an input port of the program's own would be read here too, and handed to
// the program's thread without waiting.

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "platform/midi/alsa/AlsaSeqClient.h"

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
    for (;;) {
      snd_seq_event_t* ev = nullptr;
      const int rc = snd_seq_event_input(seq, &ev);
      if (rc == -ENOSPC) continue;  // the input overran; what is still there is read on
      if (rc < 0 || ev == nullptr) break;
      if (ev->source.client == SND_SEQ_CLIENT_SYSTEM)
        onAnnounce(AnnounceEvent{ev->type, SeqAddress{ev->data.addr.client, ev->data.addr.port}});
    }
  }
}

void AlsaSeqClient::onAnnounce(const AnnounceEvent& event) {
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

}  // namespace rotavox::alsaseq
