#pragma once

// What runs on an output's sender thread (PacedSender's): the two sequencer calls it makes for
// each event, and what it does after the last event of a closed output. Its rules: it takes no
// lock of the service's (the announce listener and the program's thread hold those while they
// stop or reopen a sender, and would wait for it); it waits only in poll, with a time limit, so
// that an abort is seen within one poll period; every return of the sequencer is checked, and a
// full pool is waited out, never dropped (alsaseq::deliver).

#include <alsa/asoundlib.h>
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/midi/alsa/AlsaSeqRules.h"

namespace rotavox::alsaseq {

// Events go straight to the subscribers of one of the program's own ports, past the library's
// output buffer.
class SeqDirectOutput : public DirectOutput {
 public:
  SeqDirectOutput(snd_seq_t* seq, int port);

  int outputDirect(std::uint32_t message) override;
  int waitForRoom(int timeoutMs) override;

  // The own port the events come from; the sender takes a change up with its next event.
  int source() const { return port_.load(std::memory_order_acquire); }
  void setSource(int port) { port_.store(port, std::memory_order_release); }

 private:
  snd_seq_t* const seq_;
  std::atomic<int> port_;
  std::vector<pollfd> fds_;
};

// After the last message of a closed output: the subscription it made to `dest` goes, and with
// it the hidden port the output may have been moved to (see AlsaSeqClient::moveAside).
// `virtualPort` is the program's own port.
void letGoOfPort(snd_seq_t* seq, SeqAddress virtualPort, const SeqDirectOutput& direct,
                 const std::optional<SeqAddress>& dest, bool subscribedByUs);

}  // namespace rotavox::alsaseq
