#include "platform/midi/alsa/AlsaSeqSender.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/midi/alsa/AlsaSeqPorts.h"

namespace rotavox::alsaseq {

SeqDirectOutput::SeqDirectOutput(snd_seq_t* seq, int port) : seq_(seq), port_(port) {
  const int count = snd_seq_poll_descriptors_count(seq_, POLLOUT);
  fds_.resize(static_cast<std::size_t>(std::max(count, 0)));
  const int filled = snd_seq_poll_descriptors(seq_, fds_.data(), static_cast<unsigned>(fds_.size()), POLLOUT);
  fds_.resize(static_cast<std::size_t>(std::max(filled, 0)));
}

int SeqDirectOutput::outputDirect(std::uint32_t message) {
  const ShortEvent e = decodeShort(message);
  snd_seq_event_t ev;
  snd_seq_ev_clear(&ev);
  snd_seq_ev_set_source(&ev, static_cast<unsigned char>(port_.load(std::memory_order_acquire)));
  snd_seq_ev_set_subs(&ev);
  snd_seq_ev_set_direct(&ev);
  switch (e.kind) {
    case ShortKind::NoteOff:
      snd_seq_ev_set_noteoff(&ev, e.channel, e.param, e.value);
      break;
    case ShortKind::NoteOn:
      snd_seq_ev_set_noteon(&ev, e.channel, e.param, e.value);
      break;
    case ShortKind::KeyPressure:
      snd_seq_ev_set_keypress(&ev, e.channel, e.param, e.value);
      break;
    case ShortKind::Controller:
      snd_seq_ev_set_controller(&ev, e.channel, e.param, e.value);
      break;
    case ShortKind::ProgramChange:
      snd_seq_ev_set_pgmchange(&ev, e.channel, e.value);
      break;
    case ShortKind::ChannelPressure:
      snd_seq_ev_set_chanpress(&ev, e.channel, e.value);
      break;
    case ShortKind::PitchBend:
      snd_seq_ev_set_pitchbend(&ev, e.channel, e.value);
      break;
    case ShortKind::Invalid:
      return -EINVAL;
  }
  return snd_seq_event_output_direct(seq_, &ev);
}

int SeqDirectOutput::waitForRoom(int timeoutMs) {
  if (fds_.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return 0;
  }
  for (pollfd& fd : fds_) fd.revents = 0;
  const int rc = ::poll(fds_.data(), fds_.size(), timeoutMs);
  if (rc < 0) return -errno;
  // -EAGAIN also comes from a receiving client whose own queue is full, which this poll does
  // not see; a pause of about one event's time on the wire keeps the retry from spinning.
  if (rc > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return rc;
}

void letGoOfPort(snd_seq_t* seq, SeqAddress virtualPort, const SeqDirectOutput& direct,
                 const std::optional<SeqAddress>& dest, bool subscribedByUs) {
  if (!dest || !subscribedByUs) return;
  const int source = direct.source();
  if (source != virtualPort.port) {
    snd_seq_delete_simple_port(seq, source);  // and its subscription with it
    return;
  }
  subscribe(seq, virtualPort, *dest, true);
}

}  // namespace rotavox::alsaseq
