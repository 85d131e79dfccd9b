// The watcher of a followed port, and starting and stopping it (the program's thread).

#include "platform/midi/jack/JackFollow.h"

#include "platform/midi/jack/JackRules.h"

namespace rotavox {

JackFollow::JackFollow(JackProcess& rt, const std::atomic<bool>& serverGone, std::chrono::milliseconds silenceLimit,
                       MidiReceiver& receiver, jack_port_t* own, std::string sourceName)
    : rt_(rt), serverGone_(serverGone), silenceLimit_(silenceLimit), own_(own), sourceName_(std::move(sourceName)) {
  rt_.received().attach(receiver);
  rt_.listen(own_);
  watcher_ = std::thread([this] { watch(); });
}

void JackFollow::portUnregistered(std::string_view name) {
  if (name != sourceName_) return;
  sourceUnregistered_.store(true, std::memory_order_release);
  { const std::lock_guard<std::mutex> lock(mu_); }
  wake_.notify_all();
}

void JackFollow::stop() {
  if (stopped_) return;
  stopped_ = true;
  {
    const std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake_.notify_all();
  watcher_.join();
  rt_.received().detach();
  // A callback still in its pass finishes it without waiting for anything: the limit only
  // guards against a process thread that JACK ended in the middle of one.
  rt_.stopListening(std::chrono::milliseconds(1000));
}

void JackFollow::watch() {
  // A stopped server (SIGSTOP) runs no cycles and sends no notice: only its silence tells.
  jackrules::StallWatch silence(std::chrono::duration<double>(silenceLimit_).count());
  const auto seconds = [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  };
  silence.stalled(rt_.passesBegun(), true, seconds());
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait_for(lock, kLook, [this] { return stopping_ || sourceUnregistered_.load(std::memory_order_acquire); });
    if (stopping_) return;
    const bool gone = sourceUnregistered_.load(std::memory_order_acquire) ||
                      serverGone_.load(std::memory_order_acquire) ||
                      silence.stalled(rt_.passesBegun(), true, seconds());
    if (gone) {
      lock.unlock();
      rt_.received().reportGone();
      return;
    }
  }
}

}  // namespace rotavox
