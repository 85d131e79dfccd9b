// The JACK client's life: opening within the time limit, the JACK thread that makes every call
// to the server, the server's notices, and the end.

#include "platform/midi/jack/JackClient.h"

#include <algorithm>
#include <map>

namespace rotavox {

using namespace jackrules;

namespace {

// libjack writes its complaints to stderr; the program keeps no log.
void quiet(const char*) {}

// Servers with an opening still waiting that the program gave up on, by name ("" for the
// default one): asking such a server for another client would only wait again.
std::mutex hangingMu;
std::map<std::string, int> hangingOpens;

// How often the JACK thread looks after closed outputs and waiting messages while there are
// any: a message leaves the wire about every millisecond, the ring holds many seconds of them.
constexpr std::chrono::milliseconds kCareInterval{5};
// How long the end waits for the passes that may still carry the last messages.
constexpr std::chrono::milliseconds kLastPassesLimit{200};

}  // namespace

std::shared_ptr<JackClient> JackClient::openInTime(const std::string& clientName,
                                                   const std::optional<std::string>& server) {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  // A server that does not answer would hold the caller in jack_client_open for as long as it
  // is stopped: the client is opened on a thread of its own, and given up after the answer
  // limit. A client that comes later is ended again by that thread. While such an opening of
  // the same server still waits, another fails at once: it would only wait again.
  struct Attempt {
    std::mutex mu;
    std::condition_variable done;
    bool answered = false;
    bool abandoned = false;
    std::shared_ptr<JackClient> client;
  };
  const std::string key = server.value_or("");
  {
    const std::lock_guard<std::mutex> lock(hangingMu);
    if (hangingOpens.count(key) > 0) return nullptr;
  }
  auto attempt = std::make_shared<Attempt>();
  std::thread([attempt, clientName, server, key] {
    std::shared_ptr<JackClient> client = open(clientName, server);
    std::unique_lock<std::mutex> lock(attempt->mu);
    if (attempt->abandoned) {
      {
        const std::lock_guard<std::mutex> hanging(hangingMu);
        if (--hangingOpens[key] == 0) hangingOpens.erase(key);
      }
      lock.unlock();
      if (client) client->end();
      return;
    }
    attempt->client = std::move(client);
    attempt->answered = true;
    attempt->done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(attempt->mu);
  if (!attempt->done.wait_for(lock, kAnswerLimit, [&] { return attempt->answered; })) {
    attempt->abandoned = true;
    const std::lock_guard<std::mutex> hanging(hangingMu);
    ++hangingOpens[key];
    return nullptr;
  }
  return std::move(attempt->client);
}

// May wait as long as the server takes.
std::shared_ptr<JackClient> JackClient::open(const std::string& clientName, const std::optional<std::string>& server) {
  jack_status_t status{};
  jack_client_t* client = nullptr;
  if (server)
    client = jack_client_open(clientName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                              &status, server->c_str());
  else
    client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (client == nullptr) return nullptr;

  auto self = std::make_shared<JackClient>();
  self->client = client;
  self->name = jack_get_client_name(client);
  self->driverVersion = versionNumber(jack_get_version_string());
  self->rt = std::make_unique<JackProcess>(client, jack_get_sample_rate(client));
  self->rt->registerWith(client);
  jack_set_port_registration_callback(client, &JackClient::portRegistration, self.get());
  jack_on_info_shutdown(client, &JackClient::shutdown, self.get());
  if (jack_activate(client) != 0) {
    jack_client_close(client);
    return nullptr;
  }
  // The JACK thread holds the state as long as it runs: it may still be waiting in libjack for
  // a server that does not answer after the service has ended.
  self->worker = std::thread([self] {
    self->run();
    self->workerEnded.set_value();
  });
  return self;
}

// The thru connections are between other programs' ports and would outlive this client, so
// the ones it made are removed before it goes, on the JACK thread like every call to the
// server. What is still queued is not waited for: the program does that before it ends, if it
// wants to.
void JackClient::end() {
  std::future<void> ended = workerEnded.get_future();
  {
    const std::lock_guard<std::mutex> lock(jobsMu);
    jobs.push_back([this] { finish(); });
    ending = true;
  }
  jobsWake.notify_all();
  const auto limit = notAnswering.load() || !answering() ? std::chrono::milliseconds(0) : kAnswerLimit;
  if (ended.wait_for(limit) == std::future_status::ready)
    worker.join();
  else
    worker.detach();  // it ends the client once the server answers, or goes away
}

MidiResult JackClient::fail(MidiResult code, std::string text) {
  const std::lock_guard<std::mutex> lock(mu);
  if (text.empty())
    texts.erase(code);
  else
    texts[code] = std::move(text);
  return code;
}

MidiResult JackClient::goneResult(Call call) {
  const MidiResult result = resultWithServerGone(call);
  if (result == kMidiOk) return result;
  return fail(result, gone() ? std::string() : notAnsweringText());
}

std::string JackClient::errorText(MidiResult code) const {
  const std::lock_guard<std::mutex> lock(mu);
  const auto it = texts.find(code);
  return it != texts.end() ? it->second : jackrules::errorText(code);
}

// ---- The JACK thread -------------------------------------------------------------------------

void JackClient::post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(jobsMu);
    jobs.push_back(std::move(job));
  }
  jobsWake.notify_all();
}

void JackClient::wakeForCare() {
  if (careNeeded.exchange(true)) return;
  { const std::lock_guard<std::mutex> lock(jobsMu); }
  jobsWake.notify_all();
}

void JackClient::run() {
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
bool JackClient::care() {
  if (clientClosed) return false;
  std::vector<std::shared_ptr<JackOutput>> all;
  {
    const std::lock_guard<std::mutex> lock(mu);
    for (const auto& [handle, out] : outputs) all.push_back(out);
    all.insert(all.end(), closed.begin(), closed.end());
  }
  bool more = false;
  for (const std::shared_ptr<JackOutput>& out : all)
    if (out->queue().overflowing() && !out->queue().refill()) more = true;

  if (gone()) {
    // The server took the ports with it and runs no more passes: nothing to take down.
    const std::lock_guard<std::mutex> lock(mu);
    for (const std::shared_ptr<JackOutput>& out : closed) out->queue().discard();
    stuck.insert(stuck.end(), closed.begin(), closed.end());
    closed.clear();
    return false;
  }

  std::vector<std::shared_ptr<JackOutput>> toDisconnect;
  std::vector<std::shared_ptr<JackOutput>> toUnregister;
  {
    const std::lock_guard<std::mutex> lock(mu);
    const std::uint64_t ended = rt->passesEnded();
    for (const std::shared_ptr<JackOutput>& out : closed) {
      switch (out->stage) {
        case JackOutputStage::Open: break;
        case JackOutputStage::Closing:
          if (out->gone.load()) {
            out->stage = JackOutputStage::Disconnected;  // from here on no reopening takes it back
            toDisconnect.push_back(out);
          } else if (out->queue().size() == 0) {
            out->stage = JackOutputStage::Drained;
            out->passesToEnd = rt->passesBegun() + 2;
          }
          break;
        case JackOutputStage::Drained:
          if (ended >= out->passesToEnd || out->gone.load()) {
            out->stage = JackOutputStage::Disconnected;
            toDisconnect.push_back(out);
          }
          break;
        case JackOutputStage::Disconnected:
          if (ended >= out->passesToEnd) {
            rt->empty(out->slot);
            out->passesToEnd = rt->passesBegun();
            out->stage = JackOutputStage::Unslotted;
          }
          break;
        case JackOutputStage::Unslotted:
          if (ended >= out->passesToEnd) toUnregister.push_back(out);
          break;
      }
    }
  }
  for (const std::shared_ptr<JackOutput>& out : toDisconnect) {
    // The last messages went out in a pass that has ended, and two more passes have ended
    // since, so the receiver has read them: PipeWire's JACK may take a disconnection into
    // effect in the middle of a cycle, before a receiver that is late in its cycle reads what
    // the pass under way wrote. Until two
    // passes begun after it have ended, the callback keeps clearing the buffer, so that no
    // cycle hands the receiver the old buffer a second time.
    jack_port_disconnect(client, out->port);
    const std::lock_guard<std::mutex> lock(mu);
    out->passesToEnd = rt->passesBegun() + 2;
  }
  for (const std::shared_ptr<JackOutput>& out : toUnregister) {
    jack_port_unregister(client, out->port);
    const std::lock_guard<std::mutex> lock(mu);
    std::erase(closed, out);
  }
  const std::lock_guard<std::mutex> lock(mu);
  return more || !closed.empty();
}

void JackClient::finish() {
  std::vector<Link> made;
  {
    const std::lock_guard<std::mutex> lock(mu);
    made = links.takeAll();
  }
  removeLinks(made);
  // After the server went away, closing the client touches shared memory that a server
  // started since under the same name has made anew, and libjack crashes. The client's
  // threads have ended with the server, so what stays behind is only its memory.
  if (!gone()) {
    // The last messages may be in the pass under way: the receiver has read them once two
    // passes after it have ended too (PipeWire's JACK would drop them with the client).
    rt->waitEnded(rt->passesBegun() + 2, kLastPassesLimit);
    jack_deactivate(client);
    jack_client_close(client);
  }
  clientClosed = true;
}

// ---- JACK's notification thread ----------------------------------------------------------------

// A foreign port went away. Outputs leading to it, open or closed, drop what they hold and
// refuse further messages; a followed port tells its receiver.
void JackClient::portRegistration(jack_port_id_t id, int registered, void* arg) {
  if (registered) return;
  JackClient& self = *static_cast<JackClient*>(arg);
  jack_port_t* port = jack_port_by_id(self.client, id);
  if (port == nullptr) return;
  const char* portName = jack_port_name(port);
  const std::lock_guard<std::mutex> lock(self.mu);
  const auto lose = [&](JackOutput& out) {
    if (!takesAwayTarget(out.target == port, portName != nullptr ? portName : "", out.targetName)) return;
    out.gone.store(true, std::memory_order_release);
    out.queue().abort();
    out.queue().discard();
  };
  for (auto& [handle, out] : self.outputs) lose(*out);
  for (const std::shared_ptr<JackOutput>& out : self.closed) lose(*out);
  if (self.following && portName != nullptr) self.following->portUnregistered(portName);
}

// Called like a signal handler on a JACK thread: only flags. The shared flag makes every queue
// refuse further messages.
void JackClient::shutdown(jack_status_t, const char*, void* arg) {
  static_cast<JackClient*>(arg)->serverGone.store(true, std::memory_order_release);
}

}  // namespace rotavox
