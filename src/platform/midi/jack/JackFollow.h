#pragma once

// One followed port of the JACK client: the client's own input port, which the source is
// connected to and which the process callback reads (JackProcess), and the watcher, a thread
// of the follow's own that tells the receiver when the source goes away. It is a thread of its
// own rather than a job of the JACK thread because that thread may be held in a call to a server
// that has stopped answering, which is one of the things the watcher must notice.
//
// The watcher's rules: it never calls JACK and never takes the client's lock; it looks every
// kLook, or at once when JACK's notification thread says that a port went away, and it tells
// the receiver at most once (through the process callback's ReceiverSlot), then ends.

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/midi/MidiService.h"
#include "platform/midi/jack/JackProcess.h"

namespace rotavox {

class JackFollow {
 public:
  static constexpr std::chrono::milliseconds kLook{50};

  // Starts handing the events of `own` to `receiver`. A source gone, a server gone
  // (`serverGone`) or a server that has begun no cycle for `silenceLimit` is told once.
  JackFollow(JackProcess& rt, const std::atomic<bool>& serverGone, std::chrono::milliseconds silenceLimit,
             MidiReceiver& receiver, jack_port_t* own, std::string sourceName);
  ~JackFollow() { stop(); }
  JackFollow(const JackFollow&) = delete;
  JackFollow& operator=(const JackFollow&) = delete;

  // JACK's notification thread: a port of this full name was unregistered.
  void portUnregistered(std::string_view name);

  // The program's thread. Once this returns nothing touches the receiver any more, and the
  // process callback no longer reads the own port, so that it may be unregistered.
  void stop();

  jack_port_t* port() const { return own_; }
  const std::string& sourceName() const { return sourceName_; }

 private:
  void watch();

  JackProcess& rt_;
  const std::atomic<bool>& serverGone_;
  const std::chrono::milliseconds silenceLimit_;
  jack_port_t* const own_;
  const std::string sourceName_;
  std::atomic<bool> sourceUnregistered_{false};
  std::mutex mu_;
  std::condition_variable wake_;
  bool stopping_ = false;  // under mu_
  bool stopped_ = false;   // the program's thread only
  std::thread watcher_;
};

}  // namespace rotavox
