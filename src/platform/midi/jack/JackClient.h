#pragma once

// The JACK client behind JackService and its life: opened within a time limit, one thread of
// its own (the JACK thread) on which every call that asks the server something runs, and the
// notices JACK sends on its own thread. Shared by the program's thread, the JACK thread and
// JACK's notification thread under `mu`; the real-time side is JackProcess, which takes no lock.
//
// Its member functions stand in the file of the thread that runs them: JackClient.cpp (the
// client's life, the JACK thread, the notices), JackPorts.cpp (port queries and changes, on the
// JACK thread), JackService.cpp (the program's thread).

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/midi/MidiService.h"
#include "platform/midi/ThruLinks.h"
#include "platform/midi/jack/JackFollow.h"
#include "platform/midi/jack/JackOutput.h"
#include "platform/midi/jack/JackProcess.h"
#include "platform/midi/jack/JackRules.h"

namespace rotavox {

class JackClient {
 public:
  // How long the program's thread waits for an answer of the JACK server. A server that takes
  // longer does not answer (it is frozen, or stopped with SIGSTOP) and counts as gone.
  static constexpr std::chrono::milliseconds kAnswerLimit{1000};

  struct Input {
    std::string name;
    std::string display;
  };
  // Thru connections between full JACK port names; only those this client made are recorded.
  using Links = ThruLinks<std::string>;
  using Link = Links::Link;
  // What a call made on the JACK thread brings back.
  struct Answer {
    MidiResult result = kMidiOk;
    MidiHandle handle = kNoMidiHandle;
  };

  // ---- Life (JackClient.cpp) ----------------------------------------------------------------

  // Opens a client on the named server (none: the default one) and starts its JACK thread.
  // Waits at most kAnswerLimit: nothing when no server runs or it does not answer in time. A
  // client that comes later is ended by the thread that opened it.
  static std::shared_ptr<JackClient> openInTime(const std::string& clientName,
                                                const std::optional<std::string>& server);
  // The last job: the thru connections this client made go, and the client with its ports.
  // Waits for the JACK thread at most kAnswerLimit (not at all once the server did not
  // answer); a thread still waiting for the server then ends the client by itself later.
  void end();

  bool gone() const { return serverGone.load(std::memory_order_acquire); }
  bool unusable() const { return gone() || notAnswering.load(std::memory_order_acquire); }

  // Records the text of a failure (none: the code's own) and returns its code.
  MidiResult fail(MidiResult code, std::string text = {});
  // The result of a call once the server has gone or does not answer, with its text.
  MidiResult goneResult(jackrules::Call call);
  std::string errorText(MidiResult code) const;

  // Runs a job on the JACK thread and waits for its answer, at most kAnswerLimit. Nothing when
  // the server does not answer in time (it then counts as gone) or did not before. The job
  // must not refer to the caller's stack: it may run long after the caller gave up.
  template <class T>
  std::optional<T> ask(std::function<T()> job) {
    if (notAnswering.load(std::memory_order_acquire)) return std::nullopt;
    auto task = std::make_shared<std::packaged_task<T()>>(std::move(job));
    std::future<T> answer = task->get_future();
    // Whichever comes second, the answer or the caller giving up, tells that it was given up.
    auto settled = std::make_shared<std::atomic<bool>>(false);
    post([this, task, settled] {
      (*task)();
      if (settled->exchange(true)) unanswered.fetch_sub(1, std::memory_order_acq_rel);
    });
    if (answer.wait_for(kAnswerLimit) != std::future_status::ready) {
      notAnswering.store(true, std::memory_order_release);
      if (!settled->exchange(true)) unanswered.fetch_add(1, std::memory_order_acq_rel);
      return std::nullopt;
    }
    return answer.get();
  }
  // False while a call that was given up on is still outstanding, or while messages wait and
  // the server has begun no cycle for kAnswerLimit (the program's thread).
  bool answering() const;
  // Messages still queued in the open and the closed outputs; the caller holds `mu`.
  std::size_t queuedLocked() const;
  // Asks the JACK thread to look after closed outputs and waiting messages.
  void wakeForCare();
  // Runs a job on the JACK thread without waiting for it.
  void post(std::function<void()> job);

  // ---- Port queries and changes, on the JACK thread (JackPorts.cpp) -------------------------

  std::vector<jackrules::PortInfo> listPorts(unsigned long flags) const;
  bool portExists(const std::string& portName) const;
  Answer openOutput(const jackrules::PortInfo& target, bool virtualPort);
  Answer connectPorts(MidiHandle in, MidiHandle out, const Input& from, const std::string& to,
                      const std::string& toDisplay);
  Answer disconnectPorts(const Link& link);
  void removeLinks(const std::vector<Link>& made) const;
  // Following: the client's own input port, registered and connected from the source; and
  // taken away again.
  std::pair<MidiResult, jack_port_t*> openFollowPort(const Input& source);
  void closeFollowPort(jack_port_t* own) const;

  // ---- On the program's thread (JackService.cpp) --------------------------------------------

  // Device numbers refer to the list as it was last counted, so that a port appearing between
  // listing and opening does not shift the user's choice onto another port.
  unsigned refresh(bool out);
  bool listed(bool out);
  std::shared_ptr<JackOutput> findOutput(MidiHandle handle) const;
  // Removes thru connections on the JACK thread, waiting for it as for any answer.
  void removeLinksWaiting(std::vector<Link> made);

  // ---- State ---------------------------------------------------------------------------------

  jack_client_t* client = nullptr;
  std::string name;
  std::uint32_t driverVersion = 0;
  std::atomic<bool> serverGone{false};    // the server shut down or went away
  std::atomic<bool> notAnswering{false};  // a call waited longer than kAnswerLimit
  std::atomic<int> unanswered{0};         // calls given up on that the server has not answered yet
  std::unique_ptr<JackProcess> rt;        // the real-time side

  // Guards everything below. Never held while calling the JACK server, since the server's
  // notifications (port registration) take it on JACK's own thread.
  mutable std::mutex mu;
  std::map<MidiHandle, std::shared_ptr<JackOutput>> outputs;  // open
  std::vector<std::shared_ptr<JackOutput>> closed;            // closed, on their way out
  std::vector<std::shared_ptr<JackOutput>> stuck;             // left behind by a server that went away
  std::map<MidiHandle, Input> inputs;
  Links links;
  std::vector<jackrules::PortInfo> outList;
  std::vector<jackrules::PortInfo> inList;
  bool outListed = false;
  bool inListed = false;
  MidiHandle nextHandle = 1;
  std::map<MidiResult, std::string> texts;  // the text of the last failure with each code
  std::unique_ptr<JackFollow> following;    // the followed port; its notices come on JACK's thread
  mutable jackrules::StallWatch stallWatch{std::chrono::duration<double>(kAnswerLimit).count()};

 private:
  // ---- The JACK thread (JackClient.cpp) -----------------------------------------------------
  static std::shared_ptr<JackClient> open(const std::string& clientName, const std::optional<std::string>& server);
  void run();
  bool care();
  void finish();
  // JACK's notification thread.
  static void portRegistration(jack_port_id_t id, int registered, void* arg);
  static void shutdown(jack_status_t, const char*, void* arg);

  jackrules::PortFacts facts(jack_port_t* port, const char* fullName) const;
  std::string freeOwnPortName(std::string_view base) const;

  std::mutex jobsMu;
  std::condition_variable jobsWake;
  std::deque<std::function<void()>> jobs;
  bool ending = false;                  // under jobsMu
  std::atomic<bool> careNeeded{false};  // closed outputs or waiting messages to look after
  bool clientClosed = false;            // the JACK thread's only
  std::thread worker;
  std::promise<void> workerEnded;
};

}  // namespace rotavox
