#pragma once

// Port queries and subscriptions on the sequencer: what the port lists are read from, whether
// a listed port is still the same, and subscribing the way aconnect does. Plain sequencer
// calls that return at once; any thread may make them.

#include <alsa/asoundlib.h>

#include <optional>
#include <vector>

#include "platform/midi/alsa/AlsaSeqRules.h"

namespace rotavox::alsaseq {

// Every port of every client, in the order the sequencer tells them.
std::vector<PortRecord> queryPorts(snd_seq_t* seq);
// The port at this address now, or nothing when it has gone.
std::optional<PortRecord> currentPort(snd_seq_t* seq, SeqAddress address);
// The list may be older than the last unplug: the port must still be there, and be the same.
bool stillThere(snd_seq_t* seq, const PortRecord& listed);

// Makes (or with `remove` takes away) a subscription the way aconnect does: no queue, no time
// stamps, not exclusive. The sequencer's return: >= 0 or -errno.
int subscribe(snd_seq_t* seq, SeqAddress sender, SeqAddress dest, bool remove);

}  // namespace rotavox::alsaseq
