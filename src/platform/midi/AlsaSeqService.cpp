#include "platform/midi/AlsaSeqService.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/midi/AlsaSeqRules.h"

namespace rotavox {

using namespace alsaseq;

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
static_assert(kEventClientStart == SND_SEQ_EVENT_CLIENT_START && kEventClientExit == SND_SEQ_EVENT_CLIENT_EXIT &&
              kEventClientChange == SND_SEQ_EVENT_CLIENT_CHANGE && kEventPortStart == SND_SEQ_EVENT_PORT_START &&
              kEventPortExit == SND_SEQ_EVENT_PORT_EXIT && kEventPortChange == SND_SEQ_EVENT_PORT_CHANGE);

constexpr unsigned kVirtualPortCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kVirtualPortType =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SOFTWARE | SND_SEQ_PORT_TYPE_APPLICATION;
// A port that only sends the rest of a closed output: nobody lists it or connects to it.
constexpr unsigned kHiddenPortCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_NO_EXPORT;

void silentErrors(const char*, int, const char*, int, const char*, ...) {}

snd_seq_addr_t seqAddr(SeqAddress a) {
  snd_seq_addr_t addr;
  addr.client = static_cast<unsigned char>(a.client);
  addr.port = static_cast<unsigned char>(a.port);
  return addr;
}

// A subscription the way aconnect makes one: no queue, no time stamps, not exclusive.
int subscribe(snd_seq_t* seq, SeqAddress sender, SeqAddress dest, bool remove) {
  snd_seq_port_subscribe_t* subs = nullptr;
  snd_seq_port_subscribe_alloca(&subs);
  const snd_seq_addr_t from = seqAddr(sender);
  const snd_seq_addr_t to = seqAddr(dest);
  snd_seq_port_subscribe_set_sender(subs, &from);
  snd_seq_port_subscribe_set_dest(subs, &to);
  snd_seq_port_subscribe_set_queue(subs, 0);
  snd_seq_port_subscribe_set_exclusive(subs, 0);
  snd_seq_port_subscribe_set_time_update(subs, 0);
  snd_seq_port_subscribe_set_time_real(subs, 0);
  return remove ? snd_seq_unsubscribe_port(seq, subs) : snd_seq_subscribe_port(seq, subs);
}

// The sender thread's two sequencer calls. Events go straight to the subscribers of one of
// the program's own ports, past the library's output buffer.
class SeqDirectOutput : public DirectOutput {
 public:
  SeqDirectOutput(snd_seq_t* seq, int port) : seq_(seq), port_(port) {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLOUT);
    fds_.resize(static_cast<std::size_t>(std::max(count, 0)));
    const int filled = snd_seq_poll_descriptors(seq_, fds_.data(), static_cast<unsigned>(fds_.size()), POLLOUT);
    fds_.resize(static_cast<std::size_t>(std::max(filled, 0)));
  }

  int outputDirect(std::uint32_t message) override {
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

  int waitForRoom(int timeoutMs) override {
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

  // The own port the events come from; the sender takes a change up with its next event.
  int source() const { return port_.load(std::memory_order_acquire); }
  void setSource(int port) { port_.store(port, std::memory_order_release); }

 private:
  snd_seq_t* const seq_;
  std::atomic<int> port_;
  std::vector<pollfd> fds_;
};

}  // namespace

struct AlsaSeqService::Impl {
  struct Output {
    MidiHandle handle = kNoMidiHandle;
    std::optional<SeqAddress> dest;  // none: the program's own port alone
    bool subscribedByUs = false;
    std::unique_ptr<PacedSender> sender;
    SeqDirectOutput* direct = nullptr;  // the sender's, for the own port it sends from
  };
  struct ThruLink {
    MidiHandle in = kNoMidiHandle;
    MidiHandle out = kNoMidiHandle;
    SeqAddress sender;
    SeqAddress dest;
    bool madeByUs = false;
  };

  snd_seq_t* seq = nullptr;
  int ownClient = -1;
  int virtualPort = -1;
  int announcePort = -1;
  std::string clientName;
  std::string virtualPortName;
  std::uint32_t libraryVersion = SND_LIB_VERSION;
  SystemPaths paths;

  // The program's thread only.
  std::vector<PortRecord> outList;
  std::vector<PortRecord> inList;
  bool outListed = false;
  bool inListed = false;
  MidiHandle nextHandle = 1;

  // Shared with the announce listener. Only the program's thread changes `output`, and it
  // does so under the lock; it may read it without.
  std::mutex mutex;
  std::unique_ptr<Output> output;
  std::vector<std::unique_ptr<Output>> closed;  // closed, still sending what they hold
  std::map<MidiHandle, SeqAddress> inputs;
  std::set<MidiHandle> goneInputs;
  std::vector<ThruLink> thru;

  int wakePipe[2] = {-1, -1};
  std::thread listener;

  ~Impl();
  bool setUp(const char* name);
  void listen();
  void onAnnounce(const AnnounceEvent& event);
  std::vector<PortRecord> queryPorts();
  std::optional<PortRecord> currentPort(SeqAddress address);
  bool stillThere(const PortRecord& listed);
  PortRecord virtualRecord() const;
  MidiResult closeOutput();
  void letGoOf(Output& closing);
  void moveAside(Output& closing);
  void dropFinished();
  std::vector<std::unique_ptr<Output>> takeAllOutputs();
  MidiResult removeLinks(std::vector<ThruLink> links);
  MidiHandle newHandle() { return nextHandle++; }
};

bool AlsaSeqService::Impl::setUp(const char* name) {
  clientName = name != nullptr && *name != '\0' ? name : "Rotavox";
  virtualPortName = clientName + " virtual out";
  if (const auto version = parseLibraryVersion(snd_asoundlib_version())) libraryVersion = *version;

  if (snd_seq_set_client_name(seq, clientName.c_str()) < 0) return false;
  ownClient = snd_seq_client_id(seq);
  if (ownClient < 0) return false;
  virtualPort = snd_seq_create_simple_port(seq, virtualPortName.c_str(), kVirtualPortCaps, kVirtualPortType);
  if (virtualPort < 0) return false;

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

AlsaSeqService::Impl::~Impl() {
  // What is still queued is dropped: the program waits for it before it ends, if it wants
  // to. Closing the client below removes the program's own subscriptions anyway.
  for (const std::unique_ptr<Output>& out : takeAllOutputs()) out->sender->stop();
  if (listener.joinable()) {
    const char stop = 'x';
    while (::write(wakePipe[1], &stop, 1) < 0 && errno == EINTR) {
    }
    listener.join();
  }
  for (int fd : wakePipe)
    if (fd >= 0) ::close(fd);
  // Only the thru subscriptions this program made are removed; closing the client takes
  // the program's own ports and their subscriptions with it.
  removeLinks(std::move(thru));
  if (seq != nullptr) snd_seq_close(seq);
}

void AlsaSeqService::Impl::listen() {
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

void AlsaSeqService::Impl::onAnnounce(const AnnounceEvent& event) {
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
  std::erase_if(thru, [&](const ThruLink& link) { return takesAway(event, link.sender) || takesAway(event, link.dest); });
}

std::vector<PortRecord> AlsaSeqService::Impl::queryPorts() {
  std::vector<PortRecord> all;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    const int number = snd_seq_client_info_get_client(client);
    snd_seq_port_info_set_client(port, number);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      all.push_back(PortRecord{number, snd_seq_port_info_get_port(port), snd_seq_client_info_get_name(client),
                               snd_seq_port_info_get_name(port), snd_seq_port_info_get_capability(port),
                               snd_seq_port_info_get_type(port), snd_seq_client_info_get_card(client)});
    }
  }
  return all;
}

std::optional<PortRecord> AlsaSeqService::Impl::currentPort(SeqAddress address) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  if (snd_seq_get_any_client_info(seq, address.client, client) < 0) return std::nullopt;
  if (snd_seq_get_any_port_info(seq, address.client, address.port, port) < 0) return std::nullopt;
  return PortRecord{address.client,
                    address.port,
                    snd_seq_client_info_get_name(client),
                    snd_seq_port_info_get_name(port),
                    snd_seq_port_info_get_capability(port),
                    snd_seq_port_info_get_type(port),
                    snd_seq_client_info_get_card(client)};
}

// The list may be older than the last unplug: the port must still be there, and be the same.
bool AlsaSeqService::Impl::stillThere(const PortRecord& listed) {
  const auto now = currentPort(listed.address());
  return now && displayName(*now) == displayName(listed);
}

PortRecord AlsaSeqService::Impl::virtualRecord() const {
  return PortRecord{ownClient, virtualPort, clientName, virtualPortName, kVirtualPortCaps, kVirtualPortType, -1};
}

MidiResult AlsaSeqService::Impl::closeOutput() {
  if (!output) return kMidiOk;
  Output& out = *output;
  // What it holds still goes out, in the background; its subscription goes after the last
  // message (the sequencer passes nothing on to a device without one).
  out.sender->close([this, &out] { letGoOf(out); });
  {
    std::lock_guard<std::mutex> lock(mutex);
    closed.push_back(std::move(output));
  }
  dropFinished();
  return kMidiOk;
}

// The sender's thread, after the last message of a closed output: its subscription goes, with
// the hidden port it may have moved to. An output stays in `closed` until its thread has ended.
void AlsaSeqService::Impl::letGoOf(Output& closing) {
  if (!closing.dest || !closing.subscribedByUs) return;
  const int source = closing.direct->source();
  if (source != virtualPort) {
    snd_seq_delete_simple_port(seq, source);  // and its subscription with it
    return;
  }
  subscribe(seq, SeqAddress{ownClient, virtualPort}, *closing.dest, true);
}

// The program's thread, opening another port while a closed output still sends: a hidden port
// of the program's own takes over its subscription and sends the rest, so that neither port
// gets the other's messages. Without a hidden port the rest stays where it was.
void AlsaSeqService::Impl::moveAside(Output& closing) {
  closing.sender->unlessFinished([&] {
    const int hidden = snd_seq_create_simple_port(seq, "closing output", kHiddenPortCaps, kVirtualPortType);
    if (hidden < 0) return;
    if (subscribe(seq, SeqAddress{ownClient, hidden}, *closing.dest, false) < 0) {
      snd_seq_delete_simple_port(seq, hidden);
      return;
    }
    closing.direct->setSource(hidden);
    subscribe(seq, SeqAddress{ownClient, virtualPort}, *closing.dest, true);
  });
}

// Senders whose thread ended by itself (everything went out, or the port went away).
void AlsaSeqService::Impl::dropFinished() {
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

std::vector<std::unique_ptr<AlsaSeqService::Impl::Output>> AlsaSeqService::Impl::takeAllOutputs() {
  std::lock_guard<std::mutex> lock(mutex);
  std::vector<std::unique_ptr<Output>> all = std::move(closed);
  closed.clear();
  if (output) all.push_back(std::move(output));
  return all;
}

MidiResult AlsaSeqService::Impl::removeLinks(std::vector<ThruLink> links) {
  MidiResult result = kMidiOk;
  for (const ThruLink& link : links) {
    if (!link.madeByUs) continue;
    const MidiResult removed = unsubscribeResult(subscribe(seq, link.sender, link.dest, true));
    if (result == kMidiOk) result = removed;
  }
  return result;
}

AlsaSeqService::AlsaSeqService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

AlsaSeqService::~AlsaSeqService() = default;

unsigned AlsaSeqService::outDeviceCount() {
  impl_->outList = listedPorts(impl_->queryPorts(), Direction::Output, impl_->ownClient);
  impl_->outListed = true;
  return static_cast<unsigned>(impl_->outList.size());
}

MidiResult AlsaSeqService::outCaps(int device, MidiOutCaps& caps) {
  if (!impl_->outListed) outDeviceCount();
  const int count = static_cast<int>(impl_->outList.size());
  if (device == kMidiMapperDevice || device == count) {
    caps = outCapsOf(impl_->virtualRecord(), true, impl_->libraryVersion, impl_->paths);
    return kMidiOk;
  }
  if (device < 0 || device > count) return kNoSuchPort;
  caps = outCapsOf(impl_->outList[static_cast<std::size_t>(device)], false, impl_->libraryVersion, impl_->paths);
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
    if (!impl_->stillThere(port)) return kNoSuchPort;
    dest = port.address();
  }

  // Closed outputs that still send what they held.
  std::unique_ptr<Impl::Output> output;
  std::vector<std::unique_ptr<Impl::Output>> ended;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (auto it = impl_->closed.begin(); it != impl_->closed.end();) {
      Impl::Output& c = **it;
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
        subscribeOutcome(subscribe(impl_->seq, SeqAddress{impl_->ownClient, impl_->virtualPort}, *dest, false),
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
          subscribe(impl_->seq, SeqAddress{impl_->ownClient, impl_->virtualPort}, *dest, false), kOutputRefused);
      if (subscribed.result != kMidiOk) return subscribed.result;
      subscribedByUs = subscribed.madeByUs;
    }
    output = std::make_unique<Impl::Output>();
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
  impl_->inList = listedPorts(impl_->queryPorts(), Direction::Input, impl_->ownClient);
  impl_->inListed = true;
  return static_cast<unsigned>(impl_->inList.size());
}

MidiResult AlsaSeqService::inCaps(int device, MidiInCaps& caps) {
  if (!impl_->inListed) inDeviceCount();
  if (device < 0 || device >= static_cast<int>(impl_->inList.size())) return kNoSuchPort;
  caps = inCapsOf(impl_->inList[static_cast<std::size_t>(device)], impl_->libraryVersion, impl_->paths);
  return kMidiOk;
}

MidiResult AlsaSeqService::openIn(int device, MidiHandle& handle) {
  if (!impl_->inListed) inDeviceCount();
  if (device < 0) return kNoPortChosen;
  if (device >= static_cast<int>(impl_->inList.size())) return kNoSuchPort;
  const PortRecord& port = impl_->inList[static_cast<std::size_t>(device)];
  if (!impl_->stillThere(port)) return kNoSuchPort;
  handle = impl_->newHandle();
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->inputs[handle] = port.address();
  return kMidiOk;
}

// The thru needs no reading by the program, so starting and stopping only check the handle.
MidiResult AlsaSeqService::startIn(MidiHandle handle) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->inputs.count(handle) ? kMidiOk : kBadHandle;
}

MidiResult AlsaSeqService::stopIn(MidiHandle handle) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->inputs.count(handle) ? kMidiOk : kBadHandle;
}

MidiResult AlsaSeqService::closeIn(MidiHandle handle) {
  std::vector<Impl::ThruLink> links;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->inputs.erase(handle) == 0) return kBadHandle;
    impl_->goneInputs.erase(handle);
    auto& thru = impl_->thru;
    const auto first = std::stable_partition(thru.begin(), thru.end(), [&](const auto& l) { return l.in != handle; });
    links.assign(first, thru.end());
    thru.erase(first, thru.end());
  }
  // Closing the thru's input ends the thru, whether or not it was disconnected first.
  return impl_->removeLinks(std::move(links));
}

std::string AlsaSeqService::inErrorText(MidiResult code) { return errorText(code, Direction::Input); }

MidiResult AlsaSeqService::connect(MidiHandle in, MidiHandle out) {
  SeqAddress sender;
  SeqAddress dest;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto input = impl_->inputs.find(in);
    const Impl::Output* output = impl_->output.get();
    if (input == impl_->inputs.end() || output == nullptr || output->handle != out) return kBadHandle;
    if (impl_->goneInputs.count(in) || output->sender->gone()) return kPortGone;
    if (!output->dest) return kThruToOwnPort;
    for (const Impl::ThruLink& link : impl_->thru)
      if (link.in == in && link.out == out) return kMidiOk;
    sender = input->second;
    dest = *output->dest;
  }
  const SubscribeOutcome outcome = subscribeOutcome(subscribe(impl_->seq, sender, dest, false), kThruRefused);
  if (outcome.result != kMidiOk) return outcome.result;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->thru.push_back(Impl::ThruLink{in, out, sender, dest, outcome.madeByUs});
  return kMidiOk;
}

MidiResult AlsaSeqService::disconnect(MidiHandle in, MidiHandle out) {
  std::vector<Impl::ThruLink> links;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    auto& thru = impl_->thru;
    const auto first =
        std::stable_partition(thru.begin(), thru.end(), [&](const auto& l) { return !(l.in == in && l.out == out); });
    links.assign(first, thru.end());
    thru.erase(first, thru.end());
  }
  // A thru that was never made, or went with its port, leaves nothing to undo.
  return impl_->removeLinks(std::move(links));
}

std::unique_ptr<MidiService> tryOpenAlsaSeqService(const char* clientName) {
  // Without a sequencer the library would print its failure; the program then simply goes
  // on with JACK or without ports.
  snd_lib_error_set_handler(silentErrors);
  snd_seq_t* seq = nullptr;
  const int opened = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
  snd_lib_error_set_handler(nullptr);
  if (opened < 0 || seq == nullptr) return nullptr;

  auto impl = std::make_unique<AlsaSeqService::Impl>();
  impl->seq = seq;
  if (!impl->setUp(clientName)) return nullptr;
  return std::unique_ptr<MidiService>(new AlsaSeqService(std::move(impl)));
}

}  // namespace rotavox
