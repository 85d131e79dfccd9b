#include "platform/midi/JackService.h"

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
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

// How long the program's thread waits for an answer of the JACK server. A server that takes
// longer does not answer (it is frozen, or stopped with SIGSTOP) and counts as gone.
constexpr std::chrono::milliseconds kAnswerLimit{1000};

// How often the JACK thread looks after closed outputs and waiting messages while there are
// any: a message leaves the wire about every millisecond, the ring holds many seconds of them.
constexpr std::chrono::milliseconds kCareInterval{5};

// Where a closed output stands on its way out. Only the JACK thread moves it on, under the
// service's lock; a reopening of its port may take it back while it is still Closing.
enum class Stage {
  Open,          // takes messages
  Closing,       // takes none; what is queued still goes out
  Disconnected,  // everything went out and the port was disconnected; the process callback
                 // clears its buffer until the disconnection has surely taken effect
  Unslotted,     // out of the process callback's slots; unregistered once the passes that
                 // might still hold it have ended
};

struct Output {
  explicit Output(const std::atomic<bool>* serverGone) : paced(OutputQueue::kDefaultCapacity, serverGone) {}
  OutputQueue& queue() { return paced.queue(); }

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
  std::atomic<bool> gone{false};
  Stage stage = Stage::Open;       // under the service's lock
  std::uint64_t passesToEnd = 0;  // for Disconnected and Unslotted: passes that must have ended
};

struct Input {
  std::string name;
  std::string display;
};

// A thru connection that this service made (and only such: one that existed before is not
// ours to remove).
struct Link {
  MidiHandle in;
  MidiHandle out;
  std::string from;
  std::string to;
};

// What a call made on the JACK thread brings back.
struct Answer {
  MidiResult result = kMidiOk;
  MidiHandle handle = kNoMidiHandle;
};

}  // namespace

struct JackService::Impl {
  jack_client_t* client = nullptr;
  std::string name;
  std::uint32_t driverVersion = 0;
  std::atomic<bool> serverGone{false};    // the server shut down or went away
  std::atomic<bool> notAnswering{false};  // a call waited longer than kAnswerLimit
  std::atomic<jack_nframes_t> sampleRate{48000};

  // Read by the process callback without a lock. An output is put in a slot once it is
  // complete; it is freed only after its slot was emptied and every pass of the callback
  // begun until then has ended, so the callback never sees a freed one.
  std::array<std::atomic<Output*>, kOutputSlots> slots{};
  std::atomic<std::uint64_t> passesBegun{0};  // also the number of the current cycle
  std::atomic<std::uint64_t> passesEnded{0};
  // The process thread's own clock: frames since the server started, without the wrap of
  // the 32-bit frame time.
  bool clockRunning = false;
  jack_nframes_t lastFrameTime = 0;
  std::uint64_t frames = 0;

  // Guards everything below. Never held while calling the JACK server, since the server's
  // notifications (port registration) take it on JACK's own thread.
  mutable std::mutex mu;
  std::map<MidiHandle, std::shared_ptr<Output>> outputs;  // open
  std::vector<std::shared_ptr<Output>> closed;            // closed, on their way out
  std::vector<std::shared_ptr<Output>> stuck;             // left behind by a server that went away
  std::map<MidiHandle, Input> inputs;
  std::vector<Link> links;
  std::vector<PortInfo> outList;
  std::vector<PortInfo> inList;
  bool outListed = false;
  bool inListed = false;
  MidiHandle nextHandle = 1;
  std::map<MidiResult, std::string> texts;  // the text of the last failure with each code

  // The JACK thread: every call that asks the server something runs here, one after another.
  std::mutex jobsMu;
  std::condition_variable jobsWake;
  std::deque<std::function<void()>> jobs;
  bool ending = false;                  // under jobsMu
  std::atomic<bool> careNeeded{false};  // closed outputs or waiting messages to look after
  bool clientClosed = false;            // the JACK thread's only
  std::thread worker;
  std::promise<void> workerEnded;

  bool gone() const { return serverGone.load(std::memory_order_acquire); }
  bool unusable() const { return gone() || notAnswering.load(std::memory_order_acquire); }

  MidiResult fail(MidiResult code, std::string text = {}) {
    const std::lock_guard<std::mutex> lock(mu);
    if (text.empty())
      texts.erase(code);
    else
      texts[code] = std::move(text);
    return code;
  }

  // The result of a call once the server has gone or does not answer, with its text.
  MidiResult goneResult(Call call) {
    const MidiResult result = resultWithServerGone(call);
    if (result == kMidiOk) return result;
    return fail(result, gone() ? std::string() : notAnsweringText());
  }

  std::string errorText(MidiResult code) const {
    const std::lock_guard<std::mutex> lock(mu);
    const auto it = texts.find(code);
    return it != texts.end() ? it->second : jackrules::errorText(code);
  }

  // ---- The JACK thread ---------------------------------------------------------------------

  void post(std::function<void()> job) {
    {
      const std::lock_guard<std::mutex> lock(jobsMu);
      jobs.push_back(std::move(job));
    }
    jobsWake.notify_all();
  }

  void wakeForCare() {
    if (careNeeded.exchange(true)) return;
    { const std::lock_guard<std::mutex> lock(jobsMu); }
    jobsWake.notify_all();
  }

  // Runs a job on the JACK thread and waits for its answer, at most kAnswerLimit. Nothing
  // when the server does not answer in time (it then counts as gone) or did not before.
  // The job must not refer to the caller's stack: it may run long after the caller gave up.
  template <class T>
  std::optional<T> ask(std::function<T()> job) {
    if (notAnswering.load(std::memory_order_acquire)) return std::nullopt;
    auto task = std::make_shared<std::packaged_task<T()>>(std::move(job));
    std::future<T> answer = task->get_future();
    post([task] { (*task)(); });
    if (answer.wait_for(kAnswerLimit) != std::future_status::ready) {
      notAnswering.store(true, std::memory_order_release);
      return std::nullopt;
    }
    return answer.get();
  }

  void run() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(jobsMu);
        const auto ready = [this] { return !jobs.empty() || ending || careNeeded.load(); };
        if (careNeeded.load())
          jobsWake.wait_for(lock, kCareInterval, [this] { return !jobs.empty() || ending; });
        else
          jobsWake.wait(lock, ready);
        if (!jobs.empty()) {
          job = std::move(jobs.front());
          jobs.pop_front();
        } else if (ending) {
          break;
        }
      }
      if (job) job();
      // Cleared before looking, so that a request made meanwhile is not lost.
      if (careNeeded.exchange(false) && care()) careNeeded.store(true);
    }
  }

  // Moves waiting messages into their rings and takes closed outputs on along their way out.
  // True while there is more to look after.
  bool care() {
    if (clientClosed) return false;
    std::vector<std::shared_ptr<Output>> all;
    {
      const std::lock_guard<std::mutex> lock(mu);
      for (const auto& [handle, out] : outputs) all.push_back(out);
      all.insert(all.end(), closed.begin(), closed.end());
    }
    bool more = false;
    for (const std::shared_ptr<Output>& out : all)
      if (out->queue().overflowing() && !out->queue().refill()) more = true;

    if (gone()) {
      // The server took the ports with it and runs no more passes: nothing to take down.
      const std::lock_guard<std::mutex> lock(mu);
      for (const std::shared_ptr<Output>& out : closed) out->queue().discard();
      stuck.insert(stuck.end(), closed.begin(), closed.end());
      closed.clear();
      return false;
    }

    std::vector<std::shared_ptr<Output>> toDisconnect;
    std::vector<std::shared_ptr<Output>> toUnregister;
    {
      const std::lock_guard<std::mutex> lock(mu);
      const std::uint64_t ended = passesEnded.load(std::memory_order_seq_cst);
      for (const std::shared_ptr<Output>& out : closed) {
        switch (out->stage) {
          case Stage::Open: break;
          case Stage::Closing:
            if (out->queue().size() == 0 || out->gone.load()) {
              out->stage = Stage::Disconnected;  // from here on no reopening takes it back
              toDisconnect.push_back(out);
            }
            break;
          case Stage::Disconnected:
            if (ended >= out->passesToEnd) {
              slots[out->slot].store(nullptr, std::memory_order_seq_cst);
              out->passesToEnd = passesBegun.load(std::memory_order_seq_cst);
              out->stage = Stage::Unslotted;
            }
            break;
          case Stage::Unslotted:
            if (ended >= out->passesToEnd) toUnregister.push_back(out);
            break;
        }
      }
    }
    for (const std::shared_ptr<Output>& out : toDisconnect) {
      // The last messages are in the buffer of the cycle under way and reach the receiver in
      // it; a disconnection takes effect at the start of a cycle. Until two passes begun
      // after it have ended, the callback keeps clearing the buffer, so that no cycle hands
      // the receiver the old buffer a second time.
      jack_port_disconnect(client, out->port);
      const std::lock_guard<std::mutex> lock(mu);
      out->passesToEnd = passesBegun.load(std::memory_order_seq_cst) + 2;
    }
    for (const std::shared_ptr<Output>& out : toUnregister) {
      jack_port_unregister(client, out->port);
      const std::lock_guard<std::mutex> lock(mu);
      std::erase(closed, out);
    }
    const std::lock_guard<std::mutex> lock(mu);
    return more || !closed.empty();
  }

  // The last job: the thru connections this service made go, and the client with its ports.
  void finish() {
    std::vector<Link> made;
    {
      const std::lock_guard<std::mutex> lock(mu);
      made.swap(links);
    }
    removeLinks(made);
    // After the server went away, closing the client touches shared memory that a server
    // started since under the same name has made anew, and libjack crashes. The client's
    // threads have ended with the server, so what stays behind is only its memory.
    if (!gone()) {
      jack_deactivate(client);
      jack_client_close(client);
    }
    clientClosed = true;
  }

  // ---- Asking JACK (on the JACK thread) ----------------------------------------------------

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

  bool portExists(const std::string& portName) const { return jack_port_by_name(client, portName.c_str()) != nullptr; }

  std::string freeOwnPortName(std::string_view base) const {
    return freePortName(base, [this](const std::string& shortName) { return portExists(name + ":" + shortName); });
  }

  void removeLinks(const std::vector<Link>& made) const {
    if (gone()) return;
    for (const Link& l : made) jack_disconnect(client, l.from.c_str(), l.to.c_str());
  }

  // Registers the program's own port, connects it to the target and puts the new output in
  // a slot of the process callback.
  Answer openOutput(const PortInfo& target, bool virtualPort) {
    jack_port_t* targetPort = nullptr;
    if (!virtualPort) {
      targetPort = jack_port_by_name(client, target.name.c_str());
      if (targetPort == nullptr) return {fail(kPortGone, portGoneText(target.display))};
    }
    {
      const std::lock_guard<std::mutex> lock(mu);
      if (slotsInUse() >= kOutputSlots) {
        texts.erase(kTooManyOutputs);
        return {kTooManyOutputs};
      }
    }
    const std::string ownShort = freeOwnPortName(virtualPort ? "virtual out" : "midi out");
    jack_port_t* own = jack_port_register(client, ownShort.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (own == nullptr) return {fail(kPortNotCreated, portNotCreatedText(name + ":" + ownShort))};
    const std::string ownName = jack_port_name(own);
    if (!virtualPort) {
      const int r = jack_connect(client, ownName.c_str(), target.name.c_str());
      if (r != 0 && r != EEXIST) {
        jack_port_unregister(client, own);
        switch (const MidiResult result = connectOutcome(r, gone(), portExists(target.name)).result) {
          case kPortGone: return {fail(kPortGone, portGoneText(target.display))};
          case kConnectRefused: return {fail(kConnectRefused, connectRefusedText(ownName, target.name))};
          default: return {fail(result)};
        }
      }
    }

    auto out = std::make_shared<Output>(&serverGone);
    out->port = own;
    out->ownName = ownName;
    out->target = targetPort;
    out->targetName = target.name;
    out->targetDisplay = target.display;
    {
      const std::lock_guard<std::mutex> lock(mu);
      std::size_t slot = 0;
      while (slot < kOutputSlots && slots[slot].load() != nullptr) ++slot;
      if (slot < kOutputSlots) {
        out->handle = nextHandle++;
        out->slot = slot;
        // The connection was made before this point, so the cycle after the next one has
        // surely begun after it (one more than needed, against a cycle about to begin).
        out->firstCycle = passesBegun.load(std::memory_order_acquire) + 2;
        outputs[out->handle] = out;
        slots[slot].store(out.get(), std::memory_order_seq_cst);
      }
    }
    if (out->handle == kNoMidiHandle) {
      jack_port_unregister(client, own);
      return {fail(kTooManyOutputs)};
    }
    // The port may have gone between looking it up and the output being known to the
    // port-registration notice.
    if (!virtualPort && !portExists(target.name)) {
      out->gone = true;
      out->queue().abort();
    }
    return {kMidiOk, out->handle};
  }

  std::size_t slotsInUse() const {
    std::size_t used = 0;
    for (const auto& slot : slots) used += slot.load() != nullptr;
    return used;
  }

  Answer connectPorts(MidiHandle in, MidiHandle out, const Input& from, const std::string& to,
                      const std::string& toDisplay) {
    for (const auto& [portName, display] : {std::pair{from.name, from.display}, std::pair{to, toDisplay}})
      if (!portExists(portName)) return {fail(kPortGone, portGoneText(display))};
    const ConnectOutcome outcome = connectOutcome(jack_connect(client, from.name.c_str(), to.c_str()), gone(), true);
    if (outcome.result == kConnectRefused) return {fail(kConnectRefused, connectRefusedText(from.name, to))};
    if (outcome.result != kMidiOk) return {fail(outcome.result)};
    // One made by someone else is not ours to remove later. One made after the caller gave
    // up waiting is still recorded, so that the service's end removes it.
    if (outcome.madeByUs) {
      const std::lock_guard<std::mutex> lock(mu);
      links.push_back({in, out, from.name, to});
    }
    return {kMidiOk};
  }

  Answer disconnectPorts(const Link& link) {
    if (jack_disconnect(client, link.from.c_str(), link.to.c_str()) == 0) return {kMidiOk};
    jack_port_t* from = jack_port_by_name(client, link.from.c_str());
    if (from == nullptr || !jack_port_connected_to(from, link.to.c_str())) return {kMidiOk};  // gone anyway
    {
      const std::lock_guard<std::mutex> lock(mu);
      links.push_back(link);
    }
    return {fail(kDisconnectRefused, disconnectRefusedText(link.from, link.to))};
  }

  // ---- On the program's thread -------------------------------------------------------------

  // Device numbers refer to the list as it was last counted, so that a port appearing
  // between listing and opening does not shift the user's choice onto another port.
  unsigned refresh(bool out) {
    std::vector<PortInfo> list;
    if (!unusable()) {
      const unsigned long flags = out ? JackPortIsInput : JackPortIsOutput;
      if (auto answer = ask<std::vector<PortInfo>>([this, flags] { return listPorts(flags); })) list = std::move(*answer);
    }
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

  // Removes thru connections on the JACK thread, waiting for it as for any answer.
  void removeLinksWaiting(std::vector<Link> made) {
    if (made.empty() || unusable()) return;
    ask<bool>([this, made = std::move(made)] {
      removeLinks(made);
      return true;
    });
  }

  // ---- JACK's threads ----------------------------------------------------------------------

  // Real-time: no lock, no allocation, no log.
  static int process(jack_nframes_t nframes, void* arg) {
    Impl& self = *static_cast<Impl*>(arg);
    const std::uint64_t cycle = self.passesBegun.fetch_add(1, std::memory_order_seq_cst) + 1;
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
    self.passesEnded.fetch_add(1, std::memory_order_seq_cst);
    return 0;
  }

  // Moves queued messages into the output's port buffer, each at the frame the wire pacer
  // allows; what falls beyond this cycle, or does not fit the buffer, waits for the next. The
  // buffer is cleared in every cycle, with or without messages: JACK hands a connected port's
  // buffer to the receiver each cycle as it stands.
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

  // Called like a signal handler on a JACK thread: only flags. The shared flag makes every
  // queue refuse further messages.
  static void shutdown(jack_status_t, const char*, void* arg) {
    static_cast<Impl*>(arg)->serverGone.store(true, std::memory_order_release);
  }

  // Opens the client and starts the JACK thread; may wait as long as the server takes.
    static std::shared_ptr<Impl> open(const std::string& clientName, const std::optional<std::string>& server) {
    jack_status_t status{};
    jack_client_t* client = nullptr;
    if (server)
      client = jack_client_open(clientName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                &status, server->c_str());
    else
      client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (client == nullptr) return nullptr;

    auto impl = std::make_shared<Impl>();
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
    // The JACK thread holds the state as long as it runs: it may still be waiting in libjack
    // for a server that does not answer after the service has ended.
    impl->worker = std::thread([impl] {
      impl->run();
      impl->workerEnded.set_value();
    });
    return impl;
  }

  static int sampleRateChanged(jack_nframes_t rate, void* arg) {
    if (rate > 0) static_cast<Impl*>(arg)->sampleRate.store(rate, std::memory_order_relaxed);
    return 0;
  }

  // JACK's notification thread: a foreign port went away. Outputs leading to it, open or
  // closed, drop what they hold and refuse further messages.
  static void portRegistration(jack_port_id_t id, int registered, void* arg) {
    if (registered) return;
    Impl& self = *static_cast<Impl*>(arg);
    jack_port_t* port = jack_port_by_id(self.client, id);
    if (port == nullptr) return;
    const char* portName = jack_port_name(port);
    const std::lock_guard<std::mutex> lock(self.mu);
    const auto lose = [&](Output& out) {
      if (!takesAwayTarget(out.target == port, portName != nullptr ? portName : "", out.targetName)) return;
      out.gone.store(true, std::memory_order_release);
      out.queue().abort();
      out.queue().discard();
    };
    for (auto& [handle, out] : self.outputs) lose(*out);
    for (const std::shared_ptr<Output>& out : self.closed) lose(*out);
  }
};

std::unique_ptr<JackService> JackService::open(const char* clientName, const char* serverName) {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  // A server that does not answer would hold the caller in jack_client_open for as long as it
  // is stopped: the client is opened on a thread of its own, and given up after the answer
  // limit. A client that comes later is closed again by that thread.
  struct Attempt {
    std::mutex mu;
    std::condition_variable done;
    bool answered = false;
    bool abandoned = false;
    std::unique_ptr<JackService> service;
  };
  auto attempt = std::make_shared<Attempt>();
  std::optional<std::string> server;
  if (serverName != nullptr) server = serverName;
  std::thread([attempt, name = std::string(clientName), server] {
    std::shared_ptr<Impl> impl = Impl::open(name, server);
    std::unique_ptr<JackService> service(impl ? new JackService(std::move(impl)) : nullptr);
    std::unique_lock<std::mutex> lock(attempt->mu);
    if (attempt->abandoned) return;  // `service` ends here, on this thread
    attempt->service = std::move(service);
    attempt->answered = true;
    attempt->done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(attempt->mu);
  if (!attempt->done.wait_for(lock, kAnswerLimit, [&] { return attempt->answered; })) {
    attempt->abandoned = true;
    return nullptr;
  }
  return std::move(attempt->service);
}

JackService::JackService(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

// The thru connections are between other programs' ports and would outlive this client,
// so the ones the service made are removed before it goes, on the JACK thread like every
// call to the server. What is still queued is not waited for: the program does that before
// it ends, if it wants to.
JackService::~JackService() {
  Impl& d = *impl_;
  std::future<void> ended = d.workerEnded.get_future();
  {
    const std::lock_guard<std::mutex> lock(d.jobsMu);
    d.jobs.push_back([&d] { d.finish(); });
    d.ending = true;
  }
  d.jobsWake.notify_all();
  const auto limit = d.notAnswering.load() ? std::chrono::milliseconds(0) : kAnswerLimit;
  if (ended.wait_for(limit) == std::future_status::ready)
    d.worker.join();
  else
    d.worker.detach();  // it ends the client once the server answers, or goes away
}

std::string JackService::clientName() const { return impl_->name; }

bool JackService::alive() const { return !impl_->unusable(); }

std::string JackService::ownPortName(MidiHandle out) const {
  const std::shared_ptr<Output> o = impl_->findOutput(out);
  return o ? o->ownName : std::string();
}

std::size_t JackService::queuedMessages(MidiHandle out) const {
  const std::shared_ptr<Output> o = impl_->findOutput(out);
  return o ? o->queue().size() : 0;
}

std::size_t JackService::pendingMessages() const {
  const Impl& d = *impl_;
  // Nothing more goes out through a server that went away or does not answer.
  if (d.unusable()) return 0;
  const std::lock_guard<std::mutex> lock(d.mu);
  std::size_t pending = 0;
  for (const auto& [handle, out] : d.outputs) pending += out->queue().size();
  for (const std::shared_ptr<Output>& out : d.closed) pending += out->queue().size();
  return pending;
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
  if (d.unusable()) return d.goneResult(Call::OpenOut);
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
    // The same port opened again while its closed output still sends: that output goes on,
    // so what this opening sends comes after what it still holds.
    for (auto it = d.closed.begin(); it != d.closed.end(); ++it) {
      const std::shared_ptr<Output> out = *it;
      if (out->stage != Stage::Closing || out->gone.load() || out->targetName != target.name) continue;
      out->stage = Stage::Open;
      out->handle = d.nextHandle++;
      d.outputs[out->handle] = out;
      d.closed.erase(it);
      handle = out->handle;
      return kMidiOk;
    }
  }
  const std::optional<Answer> answer =
      d.ask<Answer>([&d, target, virtualPort] { return d.openOutput(target, virtualPort); });
  if (!answer) return d.goneResult(Call::OpenOut);
  if (answer->result == kMidiOk) handle = answer->handle;
  return answer->result;
}

MidiResult JackService::closeOut(MidiHandle handle) {
  Impl& d = *impl_;
  std::vector<Link> ending;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    const auto it = d.outputs.find(handle);
    if (it == d.outputs.end()) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    // It takes no more messages; what it holds goes out in the background, and then its port.
    it->second->stage = Stage::Closing;
    d.closed.push_back(it->second);
    d.outputs.erase(it);
    // Closing an output ends the thru into it, as it does with a MIDI cable.
    for (auto l = d.links.begin(); l != d.links.end();) {
      if (l->out == handle) {
        ending.push_back(*l);
        l = d.links.erase(l);
      } else {
        ++l;
      }
    }
  }
  d.wakeForCare();
  d.removeLinksWaiting(std::move(ending));
  return kMidiOk;
}

MidiResult JackService::sendShort(MidiHandle handle, std::uint32_t message) {
  Impl& d = *impl_;
  if (d.unusable()) return resultWithServerGone(Call::Send);
  if (shortMessageBytes(message) == 0) return kNotShortMessage;
  const std::shared_ptr<Output> out = d.findOutput(handle);
  if (!out) return kBadHandle;
  if (out->gone.load(std::memory_order_acquire)) return kPortGone;
  switch (out->queue().push(message)) {
    case OutputQueue::PushResult::Queued:
      if (out->queue().overflowing()) d.wakeForCare();
      return kMidiOk;
    case OutputQueue::PushResult::Full: return kOutputStalled;
    case OutputQueue::PushResult::Aborted: break;
  }
  return d.gone() ? kServerGone : kPortGone;
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
  if (d.unusable()) return d.goneResult(Call::OpenIn);
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
  const std::optional<bool> there = d.ask<bool>([&d, name = in.name] { return d.portExists(name); });
  if (!there) return d.goneResult(Call::OpenIn);
  if (!*there) return d.fail(kPortGone, portGoneText(in.display));
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
  std::vector<Link> ending;
  {
    const std::lock_guard<std::mutex> lock(d.mu);
    if (d.inputs.erase(handle) == 0) {
      d.texts.erase(kBadHandle);
      return kBadHandle;
    }
    for (auto l = d.links.begin(); l != d.links.end();) {
      if (l->in == handle) {
        ending.push_back(*l);
        l = d.links.erase(l);
      } else {
        ++l;
      }
    }
  }
  d.removeLinksWaiting(std::move(ending));
  return kMidiOk;
}

std::string JackService::inErrorText(MidiResult code) { return impl_->errorText(code); }

MidiResult JackService::connect(MidiHandle in, MidiHandle out) {
  Impl& d = *impl_;
  if (d.unusable()) return d.goneResult(Call::Connect);
  Input from;
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
    from = i->second;
    to = o->second->targetName;
    toDisplay = o->second->targetDisplay;
  }
  const std::optional<Answer> answer =
      d.ask<Answer>([&d, in, out, from, to, toDisplay] { return d.connectPorts(in, out, from, to, toDisplay); });
  if (!answer) return d.goneResult(Call::Connect);
  return answer->result;
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
  if (d.unusable()) return resultWithServerGone(Call::Disconnect);
  const std::optional<Answer> answer = d.ask<Answer>([&d, link] { return d.disconnectPorts(link); });
  if (!answer) return resultWithServerGone(Call::Disconnect);
  return answer->result;
}

std::unique_ptr<MidiService> tryOpenJackService(const char* clientName, const char* serverName) {
  return JackService::open(clientName, serverName);
}

}  // namespace rotavox
