#include "platform/midi/JackService.h"

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <semaphore>
#include <utility>
#include <vector>

#include "core/midi/Messages.h"
#include "platform/midi/JackRules.h"
#include "platform/midi/PacedSender.h"

namespace rotavox {

using namespace jackrules;

namespace {

// libjack writes its complaints to stderr; the program keeps no log.
void quiet(const char*) {}

constexpr std::size_t kOutputSlots = kMaxOutputs;

// How a closer learns that the process callback has let go of what it took from a slot. The
// callback counts the passes it begins and ends and, while someone waits, wakes the waiter
// through a semaphore: a post is safe in a real-time thread, a condition variable's mutex is
// not.
class PassWatch {
 public:
  // The process callback, before it reads the slots and after it is done with them.
  void begin() noexcept { begun_.fetch_add(1, std::memory_order_seq_cst); }
  void end() noexcept {
    ended_.fetch_add(1, std::memory_order_seq_cst);
    if (waiters_.load(std::memory_order_seq_cst) > 0) wake_.release();
  }

  // Waits until every pass begun before this call has ended; false at the limit. Called after
  // a slot was emptied, a pass that begins later cannot see what the slot held.
  bool waitForPassesSoFar(std::chrono::milliseconds limit) {
    const std::uint64_t target = begun_.load(std::memory_order_seq_cst);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    waiters_.fetch_add(1, std::memory_order_seq_cst);
    bool done = ended_.load(std::memory_order_seq_cst) >= target;
    while (!done && wake_.try_acquire_until(deadline)) done = ended_.load(std::memory_order_seq_cst) >= target;
    if (!done) done = ended_.load(std::memory_order_seq_cst) >= target;
    waiters_.fetch_sub(1, std::memory_order_seq_cst);
    return done;
  }

 private:
  std::atomic<std::uint64_t> begun_{0};
  std::atomic<std::uint64_t> ended_{0};
  std::atomic<int> waiters_{0};
  std::counting_semaphore<> wake_{0};
};

struct Output {
  explicit Output(const std::atomic<bool>* serverGone) : paced(OutputQueue::kDefaultCapacity, serverGone) {}
  MidiHandle handle = kNoMidiHandle;
  jack_port_t* port = nullptr;  // this client's own port
  std::string ownName;
  jack_port_t* target = nullptr;  // the chosen foreign port; nullptr for the virtual port
  std::string targetName;
  std::string targetDisplay;
  std::size_t slot = 0;
  // The first cycle that may carry messages: JACK makes a new connection effective at the
  // start of a cycle, so events written in the cycle running while it was made are lost.
  std::uint64_t firstCycle = 0;
  PacedQueue paced;  // its consumer side is the process thread's
  OutputQueue& queue() { return paced.queue(); }
  std::atomic<bool> gone{false};
};

struct Input {
  std::string name;
  std::string display;
  jack_port_t* port = nullptr;
};

// A thru connection that this service made (and only such: one that existed before is not
// ours to remove).
struct Link {
  MidiHandle in;
  MidiHandle out;
  std::string from;
  std::string to;
};

}  // namespace

struct JackService::Impl {
  jack_client_t* client = nullptr;
  std::string name;
  std::uint32_t driverVersion = 0;
  std::atomic<bool> serverGone{false};
  std::atomic<jack_nframes_t> sampleRate{48000};

  // Read by the process callback without a lock. An output is put in a slot once it is
  // complete; before it is freed its slot is emptied and the closer waits until every pass
  // of the callback begun before has ended, so the callback never sees a freed one.
  std::array<std::atomic<Output*>, kOutputSlots> slots{};
  PassWatch passes;
  std::atomic<std::uint64_t> cycles{0};  // process cycles begun
  // The process thread's own clock: frames since the server started, without the wrap of
  // the 32-bit frame time.
  bool clockRunning = false;
  jack_nframes_t lastFrameTime = 0;
  std::uint64_t frames = 0;

  // Guards everything below. Never held while calling the JACK server, since the server's
  // notifications (port registration) take it on JACK's own thread.
  mutable std::mutex mu;
  std::map<MidiHandle, std::shared_ptr<Output>> outputs;
  std::map<MidiHandle, Input> inputs;
  std::vector<Link> links;
  std::vector<PortInfo> outList;
  std::vector<PortInfo> inList;
  bool outListed = false;
  bool inListed = false;
  MidiHandle nextHandle = 1;
  std::map<MidiResult, std::string> texts;  // the text of the last failure with each code
  std::vector<std::shared_ptr<Output>> stuck;  // outputs the process callback might still hold

  bool dead() const { return serverGone.load(std::memory_order_acquire); }

  MidiResult fail(MidiResult code, std::string text = {}) {
    const std::lock_guard<std::mutex> lock(mu);
    if (text.empty())
      texts.erase(code);
    else
      texts[code] = std::move(text);
    return code;
  }

  std::string errorText(MidiResult code) const {
    const std::lock_guard<std::mutex> lock(mu);
    const auto it = texts.find(code);
    return it != texts.end() ? it->second : jackrules::errorText(code);
  }

  // What JACK tells about one port: its pretty name (metadata) and, for a hardware port,
  // its first alias.
  PortFacts facts(jack_port_t* port, const char* fullName) const {
    PortFacts f;
    f.name = fullName;
    f.physical = (jack_port_flags(port) & JackPortIsPhysical) != 0;
    char* value = nullptr;
    char* type = nullptr;
    if (jack_get_property(jack_port_uuid(port), JACK_METADATA_PRETTY_NAME, &value, &type) == 0 && value != nullptr) {
      f.prettyName = value;
      jack_free(value);
      if (type != nullptr) jack_free(type);
    }
    if (f.physical) {
      const int size = jack_port_name_size();
      std::vector<char> first(static_cast<std::size_t>(size)), second(static_cast<std::size_t>(size));
      char* aliases[2] = {first.data(), second.data()};
      if (jack_port_get_aliases(port, aliases) > 0) f.alias = first.data();
    }
    return f;
  }

  // The MIDI ports with the given flag as the lists offer them.
  std::vector<PortInfo> listPorts(unsigned long flags) const {
    std::vector<PortFacts> all;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (ports == nullptr) return {};
    for (const char** p = ports; *p != nullptr; ++p) {
      if (isOwnPort(*p, name)) continue;  // no need to ask about them
      jack_port_t* port = jack_port_by_name(client, *p);
      if (port != nullptr) all.push_back(facts(port, *p));
    }
    jack_free(ports);
    return listedPorts(all, name);
  }

  // Device numbers refer to the list as it was last counted, so that a port appearing
  // between listing and opening does not shift the user's choice onto another port.
  unsigned refresh(bool out) {
    std::vector<PortInfo> list;
    if (!dead()) list = listPorts(out ? JackPortIsInput : JackPortIsOutput);
    const std::lock_guard<std::mutex> lock(mu);
    (out ? outList : inList) = std::move(list);
    (out ? outListed : inListed) = true;
    return static_cast<unsigned>((out ? outList : inList).size());
  }

  bool listed(bool out) {
    const std::lock_guard<std::mutex> lock(mu);
    return out ? outListed : inListed;
  }

  std::shared_ptr<Output> findOutput(MidiHandle handle) const {
    const std::lock_guard<std::mutex> lock(mu);
    const auto it = outputs.find(handle);
    return it == outputs.end() ? nullptr : it->second;
  }

  std::string freeOwnPortName(std::string_view base) const {
    return freePortName(base, [this](const std::string& shortName) {
      return jack_port_by_name(client, (name + ":" + shortName).c_str()) != nullptr;
    });
  }

  void removeLinks(const std::vector<Link>& gone) const {
    if (dead()) return;
    for (const Link& l : gone) jack_disconnect(client, l.from.c_str(), l.to.c_str());
  }


  // Real-time: no lock, no allocation, no log.
  static int process(jack_nframes_t nframes, void* arg) {
    Impl& self = *static_cast<Impl*>(arg);
    self.passes.begin();
    const std::uint64_t cycle = self.cycles.load(std::memory_order_relaxed) + 1;
    self.cycles.store(cycle, std::memory_order_release);
    const jack_nframes_t frameTime = jack_last_frame_time(self.client);
    if (!self.clockRunning) {
      self.frames = frameTime;
      self.clockRunning = true;
    } else {
      self.frames += static_cast<jack_nframes_t>(frameTime - self.lastFrameTime);
    }
    self.lastFrameTime = frameTime;
    const double rate = self.sampleRate.load(std::memory_order_relaxed);
    for (std::atomic<Output*>& slot : self.slots) {
      Output* out = slot.load(std::memory_order_seq_cst);
      if (out != nullptr) drain(*out, nframes, cycle, self.frames, rate);
    }
    self.passes.end();
    return 0;
  }

  // Moves queued messages into the output's port buffer, each at the frame the wire pacer
  // allows; what falls beyond this cycle, or does not fit the buffer, waits for the next.
  static void drain(Output& out, jack_nframes_t nframes, std::uint64_t cycle, std::uint64_t cycleStart, double rate) {
    void* buffer = jack_port_get_buffer(out.port, nframes);
    if (buffer == nullptr) return;
    jack_midi_clear_buffer(buffer);
    if (cycle < out.firstCycle) return;
    const double start = static_cast<double>(cycleStart);
    std::uint32_t message = 0;
    int bytes = 0;
    double due = 0.0;
    while (out.paced.peek(start / rate, message, bytes, due)) {
      const double offset = frameInCycle(due, start, rate);
      if (offset >= nframes) break;
      if (jack_midi_max_event_size(buffer) < static_cast<std::size_t>(bytes)) break;
      if (!out.paced.take((start + offset) / rate)) continue;  // discarded meanwhile
      const auto frame = static_cast<jack_nframes_t>(offset);
      jack_midi_data_t* data = jack_midi_event_reserve(buffer, frame, static_cast<std::size_t>(bytes));
      if (data == nullptr) break;
      for (int i = 0; i < bytes; ++i) data[i] = static_cast<jack_midi_data_t>((message >> (8 * i)) & 0xFF);
    }
  }

  // Called like a signal handler on a JACK thread: only flags. The shared flag releases
  // every producer waiting at a full queue.
  static void shutdown(jack_status_t, const char*, void* arg) {
    static_cast<Impl*>(arg)->serverGone.store(true, std::memory_order_release);
  }

  static int sampleRateChanged(jack_nframes_t rate, void* arg) {
    if (rate > 0) static_cast<Impl*>(arg)->sampleRate.store(rate, std::memory_order_relaxed);
    return 0;
  }

  // JACK's notification thread: a foreign port went away. Outputs leading to it drop what
  // they hold and refuse further messages.
  static void portRegistration(jack_port_id_t id, int registered, void* arg) {
    if (registered) return;
    Impl& self = *static_cast<Impl*>(arg);
    jack_port_t* port = jack_port_by_id(self.client, id);
    if (port == nullptr) return;
    const char* portName = jack_port_name(port);
    const std::lock_guard<std::mutex> lock(self.mu);
    for (auto& [handle, out] : self.outputs) {
      if (takesAwayTarget(out->target == port, portName != nullptr ? portName : "", out->targetName)) {
        out->gone.store(true, std::memory_order_release);
        out->queue().abort();
        out->queue().discard();
      }
    }
  }
};

std::unique_ptr<JackService> JackService::open(const char* clientName, const char* serverName) {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  jack_status_t status{};
  jack_client_t* client = nullptr;
  if (serverName != nullptr)
    client = jack_client_open(clientName, static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                              serverName);
  else
    client = jack_client_open(clientName, JackNoStartServer, &status);
  if (client == nullptr) return nullptr;

  auto impl = std::make_unique<Impl>();
  impl->client = client;
  impl->name = jack_get_client_name(client);
  impl->driverVersion = versionNumber(jack_get_version_string());
  impl->sampleRate.store(jack_get_sample_rate(client));
  jack_set_process_callback(client, &Impl::process, impl.get());
  jack_set_sample_rate_callback(client, &Impl::sampleRateChanged, impl.get());
  jack_set_port_registration_callback(client, &Impl::portRegistration, impl.get());
  jack_on_info_shutdown(client, &Impl::shutdown, impl.get());
  if (jack_activate(client) != 0) {
    jack_client_close(client);
    return nullptr;
  }
  return std::unique_ptr<JackService>(new JackService(std::move(impl)));
}

JackService::JackService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

// The thru connections are between other programs' ports and would outlive this client,
// so the ones the service made are removed before it goes.
JackService::~JackService() {
  Impl& d = *impl_;
  std::vector<Link> links;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    links.swap(d.links);
  }
  d.removeLinks(links);
  // After the server went away, closing the client touches shared memory that a server
  // started since under the same name has made anew, and libjack crashes. The client's
  // threads have ended with the server, so what stays behind is only its memory.
  if (d.dead()) return;
  jack_deactivate(d.client);
  jack_client_close(d.client);
}

std::string JackService::clientName() const { return impl_->name; }

bool JackService::alive() const { return !impl_->dead(); }

std::string JackService::ownPortName(MidiHandle out) const {
  const std::shared_ptr<Output> o = impl_->findOutput(out);
  return o ? o->ownName : std::string();
}

std::size_t JackService::queuedMessages(MidiHandle out) const {
  const std::shared_ptr<Output> o = impl_->findOutput(out);
  return o ? o->queue().size() : 0;
}

unsigned JackService::outDeviceCount() { return impl_->refresh(true); }

MidiResult JackService::outCaps(int device, MidiOutCaps& caps) {
  Impl& d = *impl_;
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
  Impl& d = *impl_;
  if (d.dead()) return d.fail(resultWithServerGone(Call::OpenOut));
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
  }
  jack_port_t* targetPort = nullptr;
  if (!virtualPort) {
    targetPort = jack_port_by_name(d.client, target.name.c_str());
    if (targetPort == nullptr) return d.fail(kPortGone, portGoneText(target.display));
  }
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.outputs.size() >= kOutputSlots) {
      d.texts.erase(kTooManyOutputs);
      return kTooManyOutputs;
    }
  }

  const std::string ownShort = d.freeOwnPortName(virtualPort ? "virtual out" : "midi out");
  jack_port_t* own = jack_port_register(d.client, ownShort.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (own == nullptr) return d.fail(kPortNotCreated, portNotCreatedText(d.name + ":" + ownShort));
  const std::string ownName = jack_port_name(own);
  if (!virtualPort) {
    const int r = jack_connect(d.client, ownName.c_str(), target.name.c_str());
    if (r != 0 && r != EEXIST) {
      jack_port_unregister(d.client, own);
      const bool stillThere = jack_port_by_name(d.client, target.name.c_str()) != nullptr;
      switch (const MidiResult result = connectOutcome(r, d.dead(), stillThere).result) {
        case kPortGone: return d.fail(kPortGone, portGoneText(target.display));
        case kConnectRefused: return d.fail(kConnectRefused, connectRefusedText(ownName, target.name));
        default: return d.fail(result);
      }
    }
  }

  auto out = std::make_shared<Output>(&d.serverGone);
  out->port = own;
  out->ownName = ownName;
  out->target = targetPort;
  out->targetName = target.name;
  out->targetDisplay = target.display;
  bool placed = false;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    std::size_t slot = 0;
    while (slot < kOutputSlots && d.slots[slot].load() != nullptr) ++slot;
    if (slot < kOutputSlots) {
      out->handle = d.nextHandle++;
      out->slot = slot;
      // The connection was made before this point, so the cycle after the next one has
      // surely begun after it (one more than needed, against a cycle about to begin).
      out->firstCycle = d.cycles.load(std::memory_order_acquire) + 2;
      d.outputs[out->handle] = out;
      d.slots[slot].store(out.get(), std::memory_order_seq_cst);
      placed = true;
    }
  }
  if (!placed) {
    jack_port_unregister(d.client, own);
    return d.fail(kTooManyOutputs);
  }
  // The port may have gone between looking it up and the output being known to the
  // port-registration notice.
  if (!virtualPort && jack_port_by_name(d.client, target.name.c_str()) == nullptr) {
    out->gone = true;
    out->queue().abort();
  }
  handle = out->handle;
  return kMidiOk;
}

MidiResult JackService::closeOut(MidiHandle handle) {
  Impl& d = *impl_;
  std::shared_ptr<Output> out;
  std::vector<Link> gone;
  {
    // What was sent before the close still reaches the wire (a Panic, then the settings
    // dialog), within the time the wire needs for it.
    std::shared_ptr<Output> draining = d.findOutput(handle);
    if (draining && !d.dead()) draining->queue().drain(closeDrainLimit(draining->queue().size()));
  }
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    const auto it = d.outputs.find(handle);
    if (it == d.outputs.end()) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    out = it->second;
    d.outputs.erase(it);
    d.slots[out->slot].store(nullptr, std::memory_order_seq_cst);
    // Closing an output ends the thru into it, as it does with a MIDI cable.
    for (auto l = d.links.begin(); l != d.links.end();) {
      if (l->out == handle) {
        gone.push_back(*l);
        l = d.links.erase(l);
      } else {
        ++l;
      }
    }
  }
  out->queue().abort();
  out->queue().discard();
  if (!d.passes.waitForPassesSoFar(std::chrono::seconds(2))) {
    const std::lock_guard<std::mutex> lock(d.mu);
    d.stuck.push_back(out);
  }
  d.removeLinks(gone);
  if (d.dead()) return resultWithServerGone(Call::CloseOut);
  jack_port_unregister(d.client, out->port);
  return kMidiOk;
}

MidiResult JackService::sendShort(MidiHandle handle, std::uint32_t message) {
  Impl& d = *impl_;
  if (d.dead()) return resultWithServerGone(Call::Send);
  if (shortMessageBytes(message) == 0) return kNotShortMessage;
  const std::shared_ptr<Output> out = d.findOutput(handle);
  if (!out) return kBadHandle;
  if (out->gone.load(std::memory_order_acquire)) return kPortGone;
  switch (out->queue().push(message)) {
    case OutputQueue::PushResult::Queued: return kMidiOk;
    case OutputQueue::PushResult::Stalled: return kOutputStalled;
    case OutputQueue::PushResult::Aborted: break;
  }
  return d.dead() ? kServerGone : kPortGone;
}

std::string JackService::outErrorText(MidiResult code) { return impl_->errorText(code); }

unsigned JackService::inDeviceCount() { return impl_->refresh(false); }

MidiResult JackService::inCaps(int device, MidiInCaps& caps) {
  Impl& d = *impl_;
  if (!d.listed(false)) d.refresh(false);
  const std::lock_guard<std::mutex> lock(d.mu);
  if (!inDeviceListed(device, d.inList.size())) {
    d.texts[kBadDevice] = noSuchPortText(false, device);
    return kBadDevice;
  }
  caps = inCapsOf(d.inList[static_cast<std::size_t>(device)], d.driverVersion);
  return kMidiOk;
}

MidiResult JackService::openIn(int device, MidiHandle& handle) {
  Impl& d = *impl_;
  if (d.dead()) return d.fail(resultWithServerGone(Call::OpenIn));
  if (device == -1) return d.fail(kBadDevice, noInputChosenText());
  if (!d.listed(false)) d.refresh(false);
  Input in;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (!inDeviceListed(device, d.inList.size())) {
      d.texts[kBadDevice] = noSuchPortText(false, device);
      return kBadDevice;
    }
    in.name = d.inList[static_cast<std::size_t>(device)].name;
    in.display = d.inList[static_cast<std::size_t>(device)].display;
  }
  in.port = jack_port_by_name(d.client, in.name.c_str());
  if (in.port == nullptr) return d.fail(kPortGone, portGoneText(in.display));
  const std::lock_guard<std::mutex> lock(d.mu);
  handle = d.nextHandle++;
  d.inputs[handle] = std::move(in);
  return kMidiOk;
}

// JACK carries the thru by itself, so starting and stopping the input only checks the handle.
MidiResult JackService::startIn(MidiHandle handle) {
  Impl& d = *impl_;
  const std::lock_guard<std::mutex> lock(d.mu);
  if (d.inputs.count(handle) > 0) return kMidiOk;
  d.texts.erase(kBadHandle);
  return kBadHandle;
}

MidiResult JackService::stopIn(MidiHandle handle) { return startIn(handle); }

MidiResult JackService::closeIn(MidiHandle handle) {
  Impl& d = *impl_;
  std::vector<Link> gone;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.inputs.erase(handle) == 0) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    for (auto l = d.links.begin(); l != d.links.end();) {
      if (l->in == handle) {
        gone.push_back(*l);
        l = d.links.erase(l);
      } else {
        ++l;
      }
    }
  }
  d.removeLinks(gone);
  return kMidiOk;
}

std::string JackService::inErrorText(MidiResult code) { return impl_->errorText(code); }

MidiResult JackService::connect(MidiHandle in, MidiHandle out) {
  Impl& d = *impl_;
  if (d.dead()) return d.fail(resultWithServerGone(Call::Connect));
  std::string from;
  std::string fromDisplay;
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
    for (const Link& l : d.links)
      if (l.in == in && l.out == out) return kMidiOk;
    from = i->second.name;
    fromDisplay = i->second.display;
    to = o->second->targetName;
    toDisplay = o->second->targetDisplay;
  }
  for (const auto& [portName, display] : {std::pair{from, fromDisplay}, std::pair{to, toDisplay}})
    if (jack_port_by_name(d.client, portName.c_str()) == nullptr) return d.fail(kPortGone, portGoneText(display));
  const ConnectOutcome outcome = connectOutcome(jack_connect(d.client, from.c_str(), to.c_str()), d.dead(), true);
  if (outcome.result == kConnectRefused) return d.fail(kConnectRefused, connectRefusedText(from, to));
  if (outcome.result != kMidiOk) return d.fail(outcome.result);
  if (!outcome.madeByUs) return kMidiOk;  // made by someone else: not ours to remove later
  const std::lock_guard<std::mutex> lock(d.mu);
  d.links.push_back({in, out, from, to});
  return kMidiOk;
}

MidiResult JackService::disconnect(MidiHandle in, MidiHandle out) {
  Impl& d = *impl_;
  Link link;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.inputs.count(in) == 0 || d.outputs.count(out) == 0) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    const auto l = std::find_if(d.links.begin(), d.links.end(), [&](const Link& x) { return x.in == in && x.out == out; });
    // No connection of ours between them: it failed, or it was there before and stays.
    if (l == d.links.end()) return kMidiOk;
    link = *l;
    d.links.erase(l);
  }
  if (d.dead()) return resultWithServerGone(Call::Disconnect);
  if (jack_disconnect(d.client, link.from.c_str(), link.to.c_str()) == 0) return kMidiOk;
  jack_port_t* from = jack_port_by_name(d.client, link.from.c_str());
  if (from == nullptr || !jack_port_connected_to(from, link.to.c_str())) return kMidiOk;  // gone anyway
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    d.links.push_back(link);
  }
  return d.fail(kDisconnectRefused, disconnectRefusedText(link.from, link.to));
}

std::unique_ptr<MidiService> tryOpenJackService(const char* clientName, const char* serverName) {
  return JackService::open(clientName, serverName);
}

}  // namespace rotavox
