// The sequencer client's life on the program's thread: opening it with the program's own port
// and the announce listener, closing outputs so that what they hold still goes out, moving a
// closed output aside, and the end.

#include "platform/midi/alsa/AlsaSeqClient.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "platform/midi/alsa/AlsaSeqPorts.h"

namespace rotavox::alsaseq {

namespace {

static_assert(kCapRead == SND_SEQ_PORT_CAP_READ && kCapWrite == SND_SEQ_PORT_CAP_WRITE &&
              kCapSubsRead == SND_SEQ_PORT_CAP_SUBS_READ && kCapSubsWrite == SND_SEQ_PORT_CAP_SUBS_WRITE &&
              kCapNoExport == SND_SEQ_PORT_CAP_NO_EXPORT);
static_assert(kTypeSpecific == SND_SEQ_PORT_TYPE_SPECIFIC && kTypeMidiGeneric == SND_SEQ_PORT_TYPE_MIDI_GENERIC &&
              kTypeMidiGm == SND_SEQ_PORT_TYPE_MIDI_GM && kTypeMidiGs == SND_SEQ_PORT_TYPE_MIDI_GS &&
              kTypeMidiXg == SND_SEQ_PORT_TYPE_MIDI_XG && kTypeMidiMt32 == SND_SEQ_PORT_TYPE_MIDI_MT32 &&
              kTypeMidiGm2 == SND_SEQ_PORT_TYPE_MIDI_GM2 && kTypeSynth == SND_SEQ_PORT_TYPE_SYNTH &&
              kTypeDirectSample == SND_SEQ_PORT_TYPE_DIRECT_SAMPLE && kTypeSample == SND_SEQ_PORT_TYPE_SAMPLE &&
              kTypeHardware == SND_SEQ_PORT_TYPE_HARDWARE && kTypeSoftware == SND_SEQ_PORT_TYPE_SOFTWARE &&
              kTypeSynthesizer == SND_SEQ_PORT_TYPE_SYNTHESIZER && kTypePort == SND_SEQ_PORT_TYPE_PORT &&
              kTypeApplication == SND_SEQ_PORT_TYPE_APPLICATION);
static_assert(kSystemClient == SND_SEQ_CLIENT_SYSTEM);
static_assert(kEventNoteOn == SND_SEQ_EVENT_NOTEON && kEventNoteOff == SND_SEQ_EVENT_NOTEOFF &&
              kEventKeyPress == SND_SEQ_EVENT_KEYPRESS && kEventController == SND_SEQ_EVENT_CONTROLLER &&
              kEventProgramChange == SND_SEQ_EVENT_PGMCHANGE && kEventChannelPressure == SND_SEQ_EVENT_CHANPRESS &&
              kEventPitchBend == SND_SEQ_EVENT_PITCHBEND && kEventControl14 == SND_SEQ_EVENT_CONTROL14 &&
              kEventNonRegisteredParam == SND_SEQ_EVENT_NONREGPARAM && kEventRegisteredParam == SND_SEQ_EVENT_REGPARAM);
static_assert(kEventClientStart == SND_SEQ_EVENT_CLIENT_START && kEventClientExit == SND_SEQ_EVENT_CLIENT_EXIT &&
              kEventClientChange == SND_SEQ_EVENT_CLIENT_CHANGE && kEventPortStart == SND_SEQ_EVENT_PORT_START &&
              kEventPortExit == SND_SEQ_EVENT_PORT_EXIT && kEventPortChange == SND_SEQ_EVENT_PORT_CHANGE);

void silentErrors(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::unique_ptr<AlsaSeqClient> AlsaSeqClient::open(const char* name) {
  // Without a sequencer the library would print its failure; the program then simply goes on
  // with JACK or without ports.
  snd_lib_error_set_handler(silentErrors);
  snd_seq_t* seq = nullptr;
  const int opened = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
  snd_lib_error_set_handler(nullptr);
  if (opened < 0 || seq == nullptr) return nullptr;

  auto client = std::make_unique<AlsaSeqClient>();
  client->seq = seq;
  if (!client->setUp(name)) return nullptr;
  return client;
}

bool AlsaSeqClient::setUp(const char* name) {
  clientName = name != nullptr && *name != '\0' ? name : "Rotavox";
  virtualPortName = clientName + " virtual out";
  if (const auto version = parseLibraryVersion(snd_asoundlib_version())) libraryVersion = *version;

  if (snd_seq_set_client_name(seq, clientName.c_str()) < 0) return false;
  ownClient = snd_seq_client_id(seq);
  if (ownClient < 0) return false;
  virtualPort = snd_seq_create_simple_port(seq, virtualPortName.c_str(), kVirtualPortCaps, kVirtualPortType);
  if (virtualPort < 0) return false;

  // A followed port that floods must not overrun the client's input before the listener reads
  // it; the library's buffer takes all of it at once, so that even the largest event fits.
  if (snd_seq_set_client_pool_input(seq, kInputPool) >= 0)
    snd_seq_set_input_buffer_size(seq, 2 * kInputPool * sizeof(snd_seq_event_t));

  // The announce port hears about clients and ports coming and going. Without it the program
  // still works; it just learns of an unplugged output only when it opens it again.
  announcePort = snd_seq_create_simple_port(seq, "announce listener",
                                            SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                            SND_SEQ_PORT_TYPE_APPLICATION);
  if (announcePort >= 0 &&
      snd_seq_connect_from(seq, announcePort, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) >= 0) {
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    listener = std::thread([this] { listen(); });
  }
  return true;
}

AlsaSeqClient::~AlsaSeqClient() {
  // The receiver is the program's: let go of it first. Closing the client takes the port.
  followed.detach();
  // What is still queued is dropped: the program waits for it before it ends, if it wants to.
  // Closing the client below removes the program's own subscriptions anyway.
  for (const std::unique_ptr<Output>& out : takeAllOutputs()) out->sender->stop();
  if (listener.joinable()) {
    const char stop = 'x';
    while (::write(wakePipe[1], &stop, 1) < 0 && errno == EINTR) {
    }
    listener.join();
  }
  for (int fd : wakePipe)
    if (fd >= 0) ::close(fd);
  // Only the thru subscriptions this program made are removed; closing the client takes the
  // program's own ports and their subscriptions with it.
  removeLinks(thru.takeAll());
  if (seq != nullptr) snd_seq_close(seq);
}

PortRecord AlsaSeqClient::virtualRecord() const {
  return PortRecord{ownClient, virtualPort, clientName, virtualPortName, kVirtualPortCaps, kVirtualPortType, -1};
}

MidiResult AlsaSeqClient::closeOutput() {
  if (!output) return kMidiOk;
  Output& out = *output;
  // What it holds still goes out, in the background; its subscription goes after the last
  // message (the sequencer passes nothing on to a device without one).
  out.sender->close([seq = seq, own = virtualAddress(), direct = out.direct, dest = out.dest,
                     byUs = out.subscribedByUs] { letGoOfPort(seq, own, *direct, dest, byUs); });
  {
    std::lock_guard<std::mutex> lock(mutex);
    closed.push_back(std::move(output));
  }
  dropFinished();
  return kMidiOk;
}

// Opening another port while a closed output still sends: a hidden port of the program's own
// takes over its subscription and sends the rest, so that neither port gets the other's
// messages. Without a hidden port the rest stays where it was.
void AlsaSeqClient::moveAside(Output& closing) {
  closing.sender->unlessFinished([&] {
    const int hidden = snd_seq_create_simple_port(seq, "closing output", kHiddenPortCaps, kVirtualPortType);
    if (hidden < 0) return;
    if (subscribe(seq, SeqAddress{ownClient, hidden}, *closing.dest, false) < 0) {
      snd_seq_delete_simple_port(seq, hidden);
      return;
    }
    closing.direct->setSource(hidden);
    subscribe(seq, virtualAddress(), *closing.dest, true);
  });
}

// Senders whose thread ended by itself (everything went out, or the port went away). An output
// stays in `closed` until its thread has ended.
void AlsaSeqClient::dropFinished() {
  std::vector<std::unique_ptr<Output>> done;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const auto first = std::stable_partition(closed.begin(), closed.end(),
                                             [](const std::unique_ptr<Output>& c) { return !c->sender->finished(); });
    std::move(first, closed.end(), std::back_inserter(done));
    closed.erase(first, closed.end());
  }
  // Ending them joins threads that have already ended.
}

std::vector<std::unique_ptr<AlsaSeqClient::Output>> AlsaSeqClient::takeAllOutputs() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::unique_ptr<Output>> all = std::move(closed);
  closed.clear();
  if (output) all.push_back(std::move(output));
  return all;
}

MidiResult AlsaSeqClient::removeLinks(const std::vector<Link>& links) {
  MidiResult result = kMidiOk;
  for (const Link& link : links) {
    if (!link.madeByUs) continue;
    const MidiResult removed = unsubscribeResult(subscribe(seq, link.from, link.to, true));
    if (result == kMidiOk) result = removed;
  }
  return result;
}

// The input port exists only while the program follows, so that otherwise other programs see
// the port lists as before. The listener knows what to look for before anything can arrive.
MidiResult AlsaSeqClient::startFollowing(SeqAddress source, MidiReceiver& receiver) {
  const int own = snd_seq_create_simple_port(seq, (clientName + " in").c_str(), kFollowPortCaps, kVirtualPortType);
  if (own < 0) return resultFromReturn(own);
  sourceClient.store(source.client, std::memory_order_seq_cst);
  sourcePort.store(source.port, std::memory_order_seq_cst);
  followPort.store(own, std::memory_order_seq_cst);
  followed.attach(receiver);
  const SubscribeOutcome subscribed = subscribeOutcome(subscribe(seq, source, SeqAddress{ownClient, own}, false),
                                                       kFollowRefused);
  if (subscribed.result != kMidiOk) {
    stopFollowing();
    // The source went away since the list was read: its subscription cannot be made.
    return currentPort(seq, source) ? subscribed.result : kNoSuchPort;
  }
  return kMidiOk;
}

// Deleting the port takes the subscription with it.
void AlsaSeqClient::stopFollowing() {
  const int own = followPort.exchange(-1, std::memory_order_seq_cst);
  if (own < 0) return;
  followed.detach();
  snd_seq_delete_simple_port(seq, own);
}

}  // namespace rotavox::alsaseq
