#pragma once

// JACK clients that stand in for the instrument (a receiver that records every event with
// its frame time) and for a keyboard (a sender), and a private JACK server that a test can
// start and kill. Shared by the end-to-end tests and the JACK benchmark.

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/midi/Messages.h"

extern char** environ;

namespace rotavox::jacktest {

using Clock = std::chrono::steady_clock;

inline jack_client_t* openClient(const std::string& name, const char* server = nullptr) {
  jack_status_t status{};
  if (server != nullptr)
    return jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                            server);
  return jack_client_open(name.c_str(), JackNoStartServer, &status);
}

// The JACK the tests run against: jackd, or PipeWire's JACK when ROTAVOX_JACK_SERVER says
// "pipewire" (scripts/test's PipeWire lane, which also points the loader at PipeWire's libjack).
inline bool overPipeWire() {
  const char* server = std::getenv("ROTAVOX_JACK_SERVER");
  return server != nullptr && std::string_view(server) == "pipewire";
}

// A message as the program sent it. Between two JACK clients PipeWire hands a Note On of
// velocity 0 on as a Note Off of velocity 64; over PipeWire the tests read that back as the
// Note On it was, over jackd they take only what was sent.
inline std::uint32_t asSent(std::uint32_t message) {
  if (overPipeWire() && (message & 0xF0) == 0x80 && ((message >> 16) & 0x7F) == 64)
    return 0x90 | (message & 0x0F) | (message & 0x7F00);
  return message;
}

// Cycles missed by all receivers of this process so far.
inline std::atomic<std::size_t>& missedCyclesInProcess() {
  static std::atomic<std::size_t> missed{0};
  return missed;
}

inline void markServerGone(jack_status_t, const char*, void* flag) { static_cast<std::atomic<bool>*>(flag)->store(true); }

// True when a JACK server answers (the default one, or the named one). Asking keeps libjack
// from printing its complaints about a server that is not (yet) there.
inline bool serverReachable(const char* server = nullptr) {
  jack_set_error_function([](const char*) {});
  jack_set_info_function([](const char*) {});
  jack_client_t* c = openClient("rotavox-probe", server);
  if (c == nullptr) return false;
  jack_client_close(c);
  return true;
}

// A JACK client with one MIDI input port that keeps every event it gets, with the absolute
// frame time and the steady-clock time of the cycle in which it came.
class Receiver {
 public:
  struct Event {
    std::uint64_t frame;  // frames since the receiver started, at the event
    Clock::time_point arrived;
    int size;
    std::array<std::uint8_t, 3> bytes;
    std::uint32_t shortMessage() const {
      return asSent(static_cast<std::uint32_t>(bytes[0]) | (size > 1 ? bytes[1] << 8 : 0) |
                    (size > 2 ? bytes[2] << 16 : 0));
    }
  };
  static constexpr std::size_t kCapacity = 1 << 17;

  // `work`: time spent in each cycle before the input is read, as a sound generator spends it.
  explicit Receiver(const std::string& name, const char* server = nullptr, std::size_t capacity = kCapacity,
                    std::chrono::microseconds work = {})
      : events_(capacity), work_(work) {
    client_ = openClient(name, server);
    if (client_ == nullptr) return;
    port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &Receiver::process, this);
    jack_on_info_shutdown(client_, &markServerGone, &gone_);
    if (port_ == nullptr || jack_activate(client_) != 0) close();
  }
  ~Receiver() { close(); }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  bool ok() const { return client_ != nullptr; }
  // True once the client has noticed that its server went away.
  bool serverGone() const { return gone_.load(); }
  jack_client_t* client() const { return client_; }
  std::string portName() const { return client_ ? jack_port_name(port_) : std::string(); }
  double sampleRate() const { return client_ ? jack_get_sample_rate(client_) : 0.0; }
  jack_nframes_t period() const { return client_ ? jack_get_buffer_size(client_) : 0; }
  std::size_t count() const { return count_.load(std::memory_order_acquire); }
  std::size_t overflow() const { return overflow_.load(); }
  // Cycles of the server in which this client's callback did not run: the graph ran late (a
  // client, this one or a sender, took longer than a cycle), and PipeWire's JACK then loses
  // what was on its way in those cycles; jackd in synchronous mode waits instead.
  std::size_t missedCycles() const { return missed_.load(); }

  // Events from position `from` on, as far as they have come.
  std::vector<Event> events(std::size_t from = 0) const {
    const std::size_t n = count();
    if (from >= n) return {};
    return std::vector<Event>(events_.begin() + static_cast<std::ptrdiff_t>(from),
                              events_.begin() + static_cast<std::ptrdiff_t>(n));
  }

  // The same, as short messages.
  std::vector<std::uint32_t> messages(std::size_t from = 0) const {
    std::vector<std::uint32_t> out;
    for (const Event& e : events(from)) out.push_back(e.shortMessage());
    return out;
  }

  // Waits until at least n events have come; false at the time limit.
  bool waitFor(std::size_t n, std::chrono::milliseconds limit) const {
    const auto end = Clock::now() + limit;
    while (count() < n) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  // A client whose server went away is left alone: closing it can crash libjack once a
  // server of the same name runs again.
  void close() {
    if (client_ != nullptr && !gone_.load()) jack_client_close(client_);
    client_ = nullptr;
  }

 private:
  static int process(jack_nframes_t nframes, void* arg) {
    auto& self = *static_cast<Receiver*>(arg);
    if (self.work_.count() > 0) std::this_thread::sleep_for(self.work_);
    const jack_nframes_t start = jack_last_frame_time(self.client_);
    if (!self.running_) {
      self.frames_ = 0;
      self.running_ = true;
    } else {
      const auto step = static_cast<jack_nframes_t>(start - self.last_);
      self.frames_ += step;
      if (step > nframes) {
        self.missed_.fetch_add(step / nframes - 1);
        missedCyclesInProcess().fetch_add(step / nframes - 1);
      }
    }
    self.last_ = start;
    const Clock::time_point now = Clock::now();
    void* buffer = jack_port_get_buffer(self.port_, nframes);
    const jack_nframes_t n = jack_midi_get_event_count(buffer);
    std::size_t at = self.count_.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < n; ++i) {
      jack_midi_event_t e;
      if (jack_midi_event_get(&e, buffer, i) != 0) continue;
      if (at >= self.events_.size()) {
        self.overflow_.fetch_add(1);
        continue;
      }
      Event& out = self.events_[at++];
      out.frame = self.frames_ + e.time;
      out.arrived = now;
      out.size = static_cast<int>(e.size);
      out.bytes = {0, 0, 0};
      for (std::size_t b = 0; b < e.size && b < 3; ++b) out.bytes[b] = e.buffer[b];
    }
    self.count_.store(at, std::memory_order_release);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::atomic<bool> gone_{false};
  std::vector<Event> events_;
  std::atomic<std::size_t> count_{0};
  std::atomic<std::size_t> overflow_{0};
  std::atomic<std::size_t> missed_{0};
  std::chrono::microseconds work_;
  bool running_ = false;
  jack_nframes_t last_ = 0;
  std::uint64_t frames_ = 0;
};

// A JACK client with one MIDI output port, standing in for a keyboard or for an instrument that
// sends: send() hands messages to its process callback, which puts them out at the start of the
// next cycle, up to kPerCycle of them (and no more than the port's buffer takes), the rest in
// the cycles after. Short messages take the bytes their status says (a clock tick one, a program
// change two); a SysEx goes out in pieces of kSysExPiece bytes, one event each, as a MIDI
// interface's driver hands it on. PipeWire's JACK (0.3.65, 1024 frames a cycle) carries about a
// thousand events from one client to another in a cycle; of a cycle of 2048 nothing arrives.
// It keeps when each message went out: the time of its cycle, in which the ports it is connected
// to get it.
class Sender {
 public:
  static constexpr std::size_t kCapacity = 1 << 15;
  static constexpr std::size_t kSysExPiece = 256;
  static constexpr std::size_t kPerCycle = 256;

  explicit Sender(const std::string& name, const char* server = nullptr) : mailbox_(kCapacity), sentAt_(kCapacity) {
    client_ = openClient(name, server);
    if (client_ == nullptr) return;
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client_, &Sender::process, this);
    jack_on_info_shutdown(client_, &markServerGone, &gone_);
    if (port_ == nullptr || jack_activate(client_) != 0) close();
  }
  ~Sender() { close(); }
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  bool ok() const { return client_ != nullptr; }
  // True once the client has noticed that its server went away.
  bool serverGone() const { return gone_.load(); }
  jack_client_t* client() const { return client_; }
  std::string portName() const { return client_ ? jack_port_name(port_) : std::string(); }

  // A short message, channel or system; false when the mailbox is full or it is none.
  bool send(std::uint32_t message) { return shortMessageBytes(message) > 0 && post(message); }
  // A SysEx of `bytes` bytes in all (0xF0, data, 0xF7), after what was sent before it.
  bool sendSysEx(std::size_t bytes) { return bytes >= 2 && post(kSysExTag | bytes); }
  // Waits until two more cycles have begun: JACK makes a connection change visible at the
  // start of a cycle, so after this the graph shows every change made before the call.
  void settle() const {
    const std::size_t start = cycles_.load();
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (cycles_.load() < start + 2 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // True once everything handed to send() has gone out.
  bool flushed() const { return sent_.load(std::memory_order_acquire) == written_.load(std::memory_order_acquire); }
  // When the message handed over `index`-th (0 first) went out; only for one that has, and until
  // kCapacity later ones have.
  Clock::time_point sentAt(std::size_t index) const {
    if (index >= sent_.load(std::memory_order_acquire)) return {};
    return sentAt_[index % kCapacity];
  }

  // A client whose server went away is left alone: closing it can crash libjack once a
  // server of the same name runs again.
  void close() {
    if (client_ != nullptr && !gone_.load()) jack_client_close(client_);
    client_ = nullptr;
  }

 private:
  static constexpr std::uint64_t kSysExTag = 1ull << 40;

  bool post(std::uint64_t entry) {
    const std::size_t w = written_.load(std::memory_order_relaxed);
    if (w - sent_.load(std::memory_order_acquire) >= kCapacity) return false;
    mailbox_[w % kCapacity] = entry;
    written_.store(w + 1, std::memory_order_release);
    return true;
  }

  static int process(jack_nframes_t nframes, void* arg) {
    auto& self = *static_cast<Sender*>(arg);
    self.cycles_.fetch_add(1);
    void* buffer = jack_port_get_buffer(self.port_, nframes);
    jack_midi_clear_buffer(buffer);
    const std::size_t w = self.written_.load(std::memory_order_acquire);
    std::size_t s = self.sent_.load(std::memory_order_relaxed);
    const Clock::time_point now = s < w ? Clock::now() : Clock::time_point{};
    self.events_ = 0;
    for (; s < w && self.events_ < kPerCycle; ++s, ++self.events_) {
      const std::uint64_t entry = self.mailbox_[s % kCapacity];
      self.sentAt_[s % kCapacity] = now;
      if (entry & kSysExTag) {
        if (!self.putSysEx(buffer, entry & ~kSysExTag)) break;
        continue;
      }
      const auto message = static_cast<std::uint32_t>(entry);
      const auto size = static_cast<std::size_t>(shortMessageBytes(message));
      jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
      if (data == nullptr) break;
      for (std::size_t b = 0; b < size; ++b) data[b] = static_cast<jack_midi_data_t>((message >> (8 * b)) & 0xFF);
    }
    self.sent_.store(s, std::memory_order_release);
    return 0;
  }

  // Puts out the SysEx's next pieces; true once the last has gone out.
  bool putSysEx(void* buffer, std::size_t total) {
    while (sysExDone_ < total) {
      if (++events_ > kPerCycle) return false;
      const std::size_t size = std::min(kSysExPiece, total - sysExDone_);
      jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
      if (data == nullptr) return false;
      for (std::size_t b = 0; b < size; ++b) {
        const std::size_t at = sysExDone_ + b;
        data[b] = at == 0 ? 0xF0 : at == total - 1 ? 0xF7 : static_cast<jack_midi_data_t>(at % 0x7F);
      }
      sysExDone_ += size;
    }
    sysExDone_ = 0;
    return true;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::atomic<bool> gone_{false};
  std::vector<std::uint64_t> mailbox_;
  std::vector<Clock::time_point> sentAt_;
  std::atomic<std::size_t> written_{0};
  std::atomic<std::size_t> sent_{0};
  std::atomic<std::size_t> cycles_{0};
  std::size_t sysExDone_ = 0;  // the process callback's: bytes of the current SysEx put out
  std::size_t events_ = 0;     // the process callback's: events put out in this cycle
};

// A JACK server of its own, started with a unique name and stopped or killed by its process id:
// jackd (dummy driver, 256 frames at 48 kHz, synchronous), or over PipeWire a pipewire daemon
// of its own whose socket bears that name (PipeWire's JACK takes the server name as the name
// of the PipeWire instance to reach).
class PrivateServer {
 public:
  explicit PrivateServer(std::string name) : name_(std::move(name)) { up_ = start(); }
  // Stops the server. One that was killed left its entry in JACK's table of servers, which
  // has room for only a few: a server started under the same name takes the entry over and
  // its clean stop frees it. Clients of the server must be closed or left before this.
  ~PrivateServer() {
    resume();
    if (pid_ <= 0 && killed_ && start()) killed_ = false;
    kill(SIGTERM);
    // One that had to be killed at the end (a client still busy with it after a freeze)
    // gets one more clean start and stop, which frees its entry.
    if (killed_ && start()) {
      killed_ = false;
      kill(SIGTERM);
    }
    // Clients that were left with their server gone leave their semaphore files behind.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
      const std::string file = entry.path().filename().string();
      if (file.rfind("jack_sem.", 0) == 0 && file.find("_" + name_ + "_") != std::string::npos)
        std::filesystem::remove(entry.path(), ec);
    }
  }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  bool up() const { return up_; }
  const char* name() const { return name_.c_str(); }

  // Sends the signal and waits for the server to end (killing it if it lingers).
  void kill(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    if (!wait(std::chrono::seconds(5))) killed_ = true;
  }

  // Stops the server's process where it stands (it answers nobody) and lets it go on again.
  void freeze() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
  }
  void resume() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
  }

  // Starts the server again under the same name, after kill().
  bool restart() {
    if (pid_ > 0) return true;
    up_ = start();
    if (up_) killed_ = false;
    return up_;
  }

 private:
  bool start() {
    // Synchronous mode: the server waits for its clients in each cycle, so that on a busy
    // machine without real-time threads a late client delays the cycle instead of losing
    // that cycle's MIDI.
    std::vector<std::string> args = {"jackd", "-S", "--no-realtime", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "256"};
    if (overPipeWire()) args = {"pipewire"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"JACK_NO_AUDIO_RESERVATION=1", "PIPEWIRE_CORE=" + name_};
    for (char** e = environ; *e != nullptr; ++e)
      if (std::string_view(*e).substr(0, 19) != "JACK_DEFAULT_SERVER") env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // The server is stopped when the test ends, and also when it crashes: the child asks
    // for SIGTERM at its parent's death before it becomes jackd.
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(1);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execvpe(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    if (pid_ <= 0) return false;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
      if (serverReachable(name_.c_str())) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // Waits for the server process to end; true when it ended by itself within the limit
  // (a kill by signal does not count as ending by itself).
  bool wait(std::chrono::seconds limit) {
    int status = 0;
    const auto end = Clock::now() + limit;
    bool exited = false;
    for (;;) {
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exited = WIFEXITED(status);
        break;
      }
      if (r < 0) break;
      if (Clock::now() > end) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return exited;
  }

  std::string name_;
  pid_t pid_ = -1;
  bool up_ = false;
  bool killed_ = false;
};

}  // namespace rotavox::jacktest
