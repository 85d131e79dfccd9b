#pragma once

// What the tests against a live kernel sequencer need around the service: the raw MIDI side of
// a virtual MIDI card (the bytes an interface would put on the wire, and a keyboard's bytes),
// the port lists as aconnect shows them, and the card's unplug and return.
//
// snd-virmidi card 0 gives four sequencer ports, "VirMIDI 0-0" .. "VirMIDI 0-3". What reaches
// port 0-N can be read from /dev/snd/midiC0DN; bytes written there leave port 0-N.

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/common/MessagePresenter.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiService.h"
#include "platform/midi/alsa/AlsaSeqPorts.h"
#include "contract/Backend.h"
#include "support/RecordingPresenter.h"

namespace rotavox::alsavm {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline const char* const kSequencerDevice = "/dev/snd/seq";
inline const char* const kCardDriver = "/sys/bus/platform/drivers/snd_virmidi";
inline const char* const kCardDevice = "snd_virmidi.0";

// Names of the virtual card's ports as the program lists them ("client:port").
inline std::string virmidiPortName(int device) {
  const std::string n = "0-" + std::to_string(device);
  return "Virtual Raw MIDI " + n + ":VirMIDI " + n;
}
inline std::string rawMidiPath(int device) { return "/dev/snd/midiC0D" + std::to_string(device); }

inline bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// For GoogleTest tests. Inside the test machine (scripts/test-alsa sets ROTAVOX_ALSA_VM) a
// missing sequencer is a failure; elsewhere these tests have nothing to run against.
#define ROTAVOX_REQUIRE_SEQUENCER()                                                            \
  do {                                                                                         \
    if (!::rotavox::alsavm::exists(::rotavox::alsavm::kSequencerDevice)) {                    \
      if (std::getenv("ROTAVOX_ALSA_VM") != nullptr) FAIL() << "no ALSA sequencer in the test machine"; \
      GTEST_SKIP() << "no ALSA sequencer here: scripts/test-alsa runs these in a virtual machine"; \
    }                                                                                          \
  } while (0)

// Turns a MIDI byte stream back into short messages: running status, real-time bytes in
// between, and system messages (which end a running status) are all understood.
class MidiByteParser {
 public:
  // Feeds one byte; true when it completed a channel message, which is then in `message`.
  bool feed(std::uint8_t byte, std::uint32_t& message) {
    if (byte >= 0xF8) return false;  // real-time: may stand anywhere, changes nothing
    if (byte >= 0x80) {
      status_ = byte < 0xF0 ? byte : 0;
      count_ = 0;
      return false;
    }
    if (status_ == 0) return false;  // data without a status: nothing a receiver could use
    data_[count_++] = byte;
    const int needed = (status_ & 0xF0) == 0xC0 || (status_ & 0xF0) == 0xD0 ? 1 : 2;
    if (count_ < needed) return false;
    count_ = 0;
    message = shortMessage(status_, data_[0], needed == 2 ? data_[1] : 0);
    return true;
  }

 private:
  std::uint32_t status_ = 0;
  std::uint8_t data_[2] = {0, 0};
  int count_ = 0;
};

// The bytes of short messages as a sender without running status writes them: one for a
// clock tick, two for a program change, three for a control change.
inline std::vector<std::uint8_t> bytesOf(const std::vector<std::uint32_t>& messages) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t m : messages) {
    bytes.push_back(statusByte(m));
    if (shortMessageBytes(m) >= 2) bytes.push_back(data1Byte(m));
    if (shortMessageBytes(m) == 3) bytes.push_back(data2Byte(m));
  }
  return bytes;
}

// Reads what arrives on one raw MIDI device in a thread of its own, as the instrument behind a
// MIDI interface would, and keeps every message with the time its last byte was read.
class RawMidiReader {
 public:
  struct Arrival {
    std::uint32_t message = 0;
    Clock::time_point at;
  };

  explicit RawMidiReader(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), opened_(fd_ >= 0) {
    if (!opened_) return;
    // The virtual card passes events on only to readers that have started reading.
    std::uint8_t scratch[64];
    while (::read(fd_, scratch, sizeof scratch) > 0) {
    }
    thread_ = std::thread([this] { run(); });
  }
  ~RawMidiReader() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  RawMidiReader(const RawMidiReader&) = delete;
  RawMidiReader& operator=(const RawMidiReader&) = delete;

  bool ok() const { return opened_; }
  // The device went away under the reader (the card was removed); it has let go of it.
  bool gone() const { return gone_; }

  std::size_t count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_.size();
  }
  std::vector<Arrival> arrivals(std::size_t from = 0) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (from >= arrivals_.size()) return {};
    return {arrivals_.begin() + static_cast<std::ptrdiff_t>(from), arrivals_.end()};
  }
  std::vector<std::uint32_t> messages(std::size_t from = 0) const {
    std::vector<std::uint32_t> out;
    for (const Arrival& a : arrivals(from)) out.push_back(a.message);
    return out;
  }

  // Waits until at least n messages arrived; false when the limit passed first.
  bool waitFor(std::size_t n, Clock::duration limit) const {
    const Clock::time_point end = Clock::now() + limit;
    while (count() < n) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }
  // Waits until nothing has arrived for `quiet`; a late duplicate or stray message shows then.
  void settle(Clock::duration quiet = 300ms) const {
    std::size_t seen = count();
    for (;;) {
      std::this_thread::sleep_for(quiet);
      const std::size_t now = count();
      if (now == seen) return;
      seen = now;
    }
  }

 private:
  void run() {
    std::uint8_t buffer[512];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      const int ready = ::poll(&p, 1, 20);
      if (ready < 0 && errno != EINTR) break;
      if (ready <= 0) continue;
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) {
        // The card is going: close at once, or its removal waits for this reader.
        ::close(fd_);
        fd_ = -1;
        gone_ = true;
        return;
      }
      const Clock::time_point at = Clock::now();
      std::lock_guard<std::mutex> lock(mutex_);
      for (ssize_t i = 0; i < n; ++i) {
        std::uint32_t message = 0;
        if (parser_.feed(buffer[i], message)) arrivals_.push_back({message, at});
      }
    }
  }

  int fd_ = -1;  // the reader thread's once it runs
  const bool opened_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> gone_{false};
  mutable std::mutex mutex_;
  MidiByteParser parser_;
  std::vector<Arrival> arrivals_;
  std::thread thread_;
};

// Plays bytes into a raw MIDI device, as a keyboard behind an interface would.
inline bool writeRawBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);  // waits until the bytes have left
  return written;
}
inline bool writeRawMidi(const std::string& path, const std::vector<std::uint32_t>& messages) {
  return writeRawBytes(path, bytesOf(messages));
}

// A SysEx of `size` bytes in all: 0xF0, data bytes, 0xF7.
inline std::vector<std::uint8_t> sysExBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 0x7F);
  bytes.front() = 0xF0;
  bytes.back() = 0xF7;
  return bytes;
}

// The ports of the named client that other programs see (none marked no-export), as the
// sequencer names them.
inline std::vector<std::string> exportedPortsOf(const std::string& clientName) {
  std::vector<std::string> names;
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return names;
  for (const alsaseq::PortRecord& port : alsaseq::queryPorts(seq))
    if (port.clientName == clientName && (port.capability & SND_SEQ_PORT_CAP_NO_EXPORT) == 0)
      names.push_back(port.portName);
  snd_seq_close(seq);
  return names;
}

// A program on the sequencer with one port that others can write to, standing in for a
// software synth: it reads what arrives only when asked to, so it can also be one that falls
// behind. Its input pool can be made small.
class SeqClient {
 public:
  explicit SeqClient(const std::string& name, int inputPool = 0) : name_(name) {
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
      seq_ = nullptr;
      return;
    }
    snd_seq_set_client_name(seq_, name.c_str());
    port_ = snd_seq_create_simple_port(seq_, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    outPort_ = snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (inputPool > 0 && snd_seq_set_client_pool_input(seq_, inputPool) < 0) port_ = -1;
  }
  ~SeqClient() { close(); }
  SeqClient(const SeqClient&) = delete;
  SeqClient& operator=(const SeqClient&) = delete;

  bool ok() const { return seq_ != nullptr && port_ >= 0 && outPort_ >= 0; }
  // The program ends: its port and every subscription to it go away.
  void close() {
    if (seq_ != nullptr) snd_seq_close(seq_);
    seq_ = nullptr;
  }
  // As the program lists it.
  std::string portName() const { return name_ + ":in"; }
  std::string sendPortName() const { return name_ + ":out"; }

  // Sends to the subscribers of its "out" port, as direct events, waiting while a receiver's
  // input is full (the sequencer refuses the event) as a well-behaved program does. A short
  // message is a channel message or a one-byte system message; a SysEx goes in pieces of 256
  // bytes, as the kernel hands on one from a MIDI interface.
  bool send(const std::vector<std::uint32_t>& messages) {
    for (std::uint32_t m : messages) {
      snd_seq_event_t ev = outEvent();
      const int status = statusByte(m);
      const int channel = status & 0x0F;
      switch (status & 0xF0) {
        case 0x80: snd_seq_ev_set_noteoff(&ev, channel, data1Byte(m), data2Byte(m)); break;
        case 0x90: snd_seq_ev_set_noteon(&ev, channel, data1Byte(m), data2Byte(m)); break;
        case 0xA0: snd_seq_ev_set_keypress(&ev, channel, data1Byte(m), data2Byte(m)); break;
        case 0xB0: snd_seq_ev_set_controller(&ev, channel, data1Byte(m), data2Byte(m)); break;
        case 0xC0: snd_seq_ev_set_pgmchange(&ev, channel, data1Byte(m)); break;
        case 0xD0: snd_seq_ev_set_chanpress(&ev, channel, data1Byte(m)); break;
        case 0xE0: snd_seq_ev_set_pitchbend(&ev, channel, (data1Byte(m) | (data2Byte(m) << 7)) - 8192); break;
        default:
          if (status == 0xF8) ev.type = SND_SEQ_EVENT_CLOCK;
          else if (status == 0xFE) ev.type = SND_SEQ_EVENT_SENSING;
          else return false;
      }
      if (!output(ev)) return false;
    }
    return true;
  }
  bool sendSysEx(std::size_t size) {
    std::vector<std::uint8_t> bytes = sysExBytes(size);
    for (std::size_t at = 0; at < bytes.size(); at += 256) {
      snd_seq_event_t ev = outEvent();
      snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(std::min<std::size_t>(256, bytes.size() - at)), bytes.data() + at);
      if (!output(ev)) return false;
    }
    return true;
  }

  // Takes what has arrived, without waiting. Counts the times the kernel said that the input
  // overran (and dropped what it held).
  void readAvailable() {
    if (seq_ == nullptr) return;
    for (;;) {
      snd_seq_event_t* ev = nullptr;
      const int rc = snd_seq_event_input(seq_, &ev);
      if (rc == -ENOSPC) {
        ++overruns_;
        continue;
      }
      if (rc < 0 || ev == nullptr) return;
      if (ev->type == SND_SEQ_EVENT_NOTEON)
        messages_.push_back(noteOn(ev->data.note.channel, ev->data.note.note, ev->data.note.velocity));
      else if (ev->type == SND_SEQ_EVENT_CONTROLLER)
        messages_.push_back(controlChange(ev->data.control.channel, static_cast<int>(ev->data.control.param),
                                          ev->data.control.value));
    }
  }
  // Reads until `done(messages)` holds; false when the limit passed first.
  template <class Done>
  bool readUntilDone(Done done, Clock::duration limit) {
    const Clock::time_point end = Clock::now() + limit;
    for (;;) {
      readAvailable();
      if (done(messages_)) return true;
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(1ms);
    }
  }
  bool readUntil(std::size_t n, Clock::duration limit) {
    return readUntilDone([n](const std::vector<std::uint32_t>& got) { return got.size() >= n; }, limit);
  }
  const std::vector<std::uint32_t>& messages() const { return messages_; }
  int overruns() const { return overruns_; }

 private:
  snd_seq_event_t outEvent() const {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, static_cast<unsigned char>(outPort_));
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    return ev;
  }
  bool output(snd_seq_event_t& ev) {
    const Clock::time_point end = Clock::now() + 30s;
    for (;;) {
      const int rc = snd_seq_event_output_direct(seq_, &ev);
      if (rc >= 0) return true;
      if ((rc != -EAGAIN && rc != -ENOMEM) || Clock::now() >= end) return false;
      std::this_thread::sleep_for(200us);
    }
  }

  std::string name_;
  snd_seq_t* seq_ = nullptr;
  int port_ = -1;
  int outPort_ = -1;
  std::vector<std::uint32_t> messages_;
  int overruns_ = 0;
};

// The output of a shell command, or nothing when it failed.
inline bool runCommand(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = ::pclose(pipe);
  if (output != nullptr) *output = text;
  return status == 0;
}

// One port as `aconnect -i` / `aconnect -o` lists it.
struct AconnectPort {
  int client = 0;
  std::string clientName;
  int port = 0;
  std::string portName;
};

// Parses aconnect's listing: "client 14: 'Midi Through' [type=kernel]" lines, each followed
// by "    0 'Midi Through Port-0'" lines. aconnect pads port names to 16 characters.
inline std::vector<AconnectPort> parseAconnect(const std::string& text) {
  std::vector<AconnectPort> ports;
  std::istringstream in(text);
  std::string line;
  AconnectPort client;
  bool inClient = false;
  while (std::getline(in, line)) {
    const std::size_t open = line.find('\'');
    const std::size_t close = line.rfind('\'');
    if (open == std::string::npos || close <= open) continue;
    const std::string quoted = line.substr(open + 1, close - open - 1);
    if (line.rfind("client ", 0) == 0) {
      client = AconnectPort{};
      client.client = std::atoi(line.c_str() + 7);
      client.clientName = quoted;
      inClient = true;
    } else if (inClient && line.size() > 0 && line[0] == ' ') {
      AconnectPort port = client;
      port.port = std::atoi(line.c_str());
      port.portName = quoted.substr(0, quoted.find_last_not_of(' ') + 1);
      ports.push_back(port);
    }
  }
  return ports;
}

// ---- The virtual card's unplug and return ---------------------------------------------------

inline bool writeSysfs(const std::string& path, const std::string& value) {
  std::ofstream out(path);
  out << value;
  out.flush();
  return static_cast<bool>(out);
}

// Waits until the card's raw MIDI device is there (present) or gone (!present).
inline bool waitForCard(bool present, Clock::duration limit = 10s) {
  const Clock::time_point end = Clock::now() + limit;
  while (exists(rawMidiPath(0)) != present) {
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Loads the virtual card's driver if it is not there, as after a test that unplugged it.
inline bool ensureCard() {
  if (exists(rawMidiPath(0))) return true;
  runCommand("modprobe snd-virmidi");
  return waitForCard(true);
}

using test::RecordingPresenter;

using contract::findInput;
using contract::findOutput;
using contract::firstDifference;
using contract::panicSweep;

}  // namespace rotavox::alsavm
