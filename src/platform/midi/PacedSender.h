#pragma once

// The backend-neutral part of every MIDI output: the queue that the program's sends go into,
// paced to the rate of a MIDI wire, and a thread that feeds a MIDI system one message at a
// time. A callback-driven system (JACK) takes from a PacedQueue in its own callback; a system
// that takes one message per call (the ALSA sequencer) hands a MessageSink to a PacedSender.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/midi/Pacing.h"
#include "platform/midi/OutputQueue.h"

namespace rotavox {

// One output's ordered queue and the pacer that spaces it to the wire rate. The producer side
// is OutputQueue's; peek() and take() are the consumer's (one thread, which may be real-time:
// neither blocks, allocates nor locks).
class PacedQueue {
 public:
  explicit PacedQueue(std::size_t capacity = OutputQueue::kDefaultCapacity,
                      const std::atomic<bool>* sharedAbort = nullptr);

  OutputQueue& queue() { return queue_; }
  const OutputQueue& queue() const { return queue_; }

  // Consumer: the oldest message, its bytes on the wire and the earliest time, not before
  // `now`, at which it may go out (seconds on the consumer's own clock). False when nothing
  // is queued.
  bool peek(double now, std::uint32_t& message, int& bytes, double& due);
  // Consumer: the message that peek() showed goes out at time `at` (>= its due time). False
  // when a discard took it away in between: the consumer must then not put it out.
  bool take(double at);

 private:
  OutputQueue queue_;
  WirePacer pacer_;  // the consumer's only
  int bytes_ = 0;    // of the message peek() showed
};

enum class Delivery { Sent, Failed, Aborted };

// The MIDI system's call for one message, as a sender thread makes it.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Puts one message out. Where the system has no room it waits and tries again for as long
  // as it takes; it returns Aborted once `abort` is set. Failed means this message cannot go
  // out (the port is going) and the sender goes on with the next.
  virtual Delivery put(std::uint32_t message, const std::atomic<bool>& abort) = 0;
};

// One output fed by a thread of its own: send() queues and returns at once; the thread takes
// the messages out one by one at the wire rate and hands each to the sink. Closing stops the
// sends, not the thread: what is queued still goes out, in order, and then the thread ends.
class PacedSender {
 public:
  enum class SendResult {
    Queued,
    NotShort,  // not a short message: nothing was queued
    Gone,      // the port went away
    Closed,    // the output was closed (or the sender stopped)
    Full,      // the MIDI system has taken nothing for so long that no room is left
  };

  explicit PacedSender(std::unique_ptr<MessageSink> sink, std::size_t capacity = OutputQueue::kDefaultCapacity);
  ~PacedSender();
  PacedSender(const PacedSender&) = delete;
  PacedSender& operator=(const PacedSender&) = delete;

  // The program's thread: queues one message. Never waits.
  SendResult send(std::uint32_t message);
  // The program's thread: the output closes. Later sends fail; what is queued still goes out
  // in the background, and then the thread ends by itself. `afterLast`, when given, runs on
  // the sender's thread once the last message went out (not when the port went away or the
  // sender was stopped): the place to let go of the port.
  void close(std::function<void()> afterLast = {});
  // The program's thread: the same port opens again. A closed sender that has not finished
  // takes messages again, behind those still queued, and forgets `afterLast`; false when it
  // had finished already.
  bool reopen();
  // Runs `change` while the sender cannot finish, unless it has finished already (false).
  bool unlessFinished(const std::function<void()>& change);
  // True once the thread has ended by itself: a closed sender sent everything, or the port
  // went away.
  bool finished() const;
  // Any thread: the port went away. What is queued is dropped, the thread lets go of the
  // message it is putting out and ends; later sends fail.
  void portGone();
  bool gone() const { return gone_.load(std::memory_order_acquire); }
  // Ends the thread; anything still queued is dropped. The destructor does it too.
  void stop();
  // Messages queued and not yet handed to the sink.
  std::size_t pending() const { return paced_.queue().size(); }

 private:
  void run();
  void wakeAll();

  std::unique_ptr<MessageSink> sink_;
  std::atomic<bool> abort_{false};  // gone or stopping: let go of the message in hand
  std::atomic<bool> gone_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> closed_{false};
  PacedQueue paced_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool finished_ = false;            // under mutex_
  std::function<void()> afterLast_;  // under mutex_
  std::thread thread_;     // started last, when everything it uses is built
};

}  // namespace rotavox
