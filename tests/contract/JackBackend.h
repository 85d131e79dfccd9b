#pragma once

// The contract's stand-ins on a JACK server (the one JACK_DEFAULT_SERVER names; scripts/test
// starts one): JACK clients that record what reaches their input port (with the frame of each
// event), that send from an output port of their own, and that play into the thru.

#include <jack/jack.h>

#include "contract/Backend.h"
#include "e2e/JackTestClients.h"
#include "platform/midi/jack/JackService.h"

namespace rotavox::contract {

class JackInstrument : public Instrument {
 public:
  explicit JackInstrument(std::string client) : client_(std::move(client)) { startAgain(); }
  std::string portName() const override { return client_ + ":in"; }
  std::vector<std::uint32_t> messages() override {
    std::vector<std::uint32_t> out = before_;
    if (receiver_) {
      const std::vector<std::uint32_t> now = receiver_->messages();
      out.insert(out.end(), now.begin(), now.end());
    }
    return out;
  }
  std::vector<double> arrivalSeconds() override {
    std::vector<double> out;
    if (receiver_ && before_.empty())
      for (const jacktest::Receiver::Event& e : receiver_->events())
        out.push_back(static_cast<double>(e.frame) / receiver_->sampleRate());
    return out;
  }
  void quit() override {
    before_ = messages();
    receiver_.reset();
    sender_.reset();
  }
  bool startAgain() override {
    receiver_ = std::make_unique<jacktest::Receiver>(client_);
    sender_ = std::make_unique<jacktest::Sender>(client_ + "-out");
    if (receiver_->ok() && receiver_->portName() == portName() && sender_->ok()) return true;
    ADD_FAILURE() << "the JACK client " << client_ << " did not start";
    return false;
  }
  std::string sendPortName() const override { return client_ + "-out:out"; }
  bool send(const std::vector<std::uint32_t>& messages) override {
    return sendEach(messages.size(), [&](std::size_t i) { return sender_->send(messages[i]); });
  }
  bool sendSysEx(std::size_t bytes) override {
    return sendEach(1, [&](std::size_t) { return sender_->sendSysEx(bytes); });
  }
  jacktest::Receiver* receiver() const { return receiver_.get(); }

 private:
  // Hands each over as room comes, then waits until all has gone out.
  template <class Post>
  bool sendEach(std::size_t count, Post post) {
    if (!sender_ || !sender_->ok()) return false;
    sender_->settle();  // connections made before take effect
    const Clock::time_point end = Clock::now() + 30s;
    for (std::size_t i = 0; i < count; ++i) {
      while (!post(i)) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(1ms);
      }
    }
    while (!sender_->flushed()) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::string client_;
  std::vector<std::uint32_t> before_;  // what arrived before the program quit
  std::unique_ptr<jacktest::Receiver> receiver_;
  std::unique_ptr<jacktest::Sender> sender_;
};

class JackKeyboard : public Keyboard {
 public:
  JackKeyboard() {
    if (!sender_.ok()) ADD_FAILURE() << "the keyboard's JACK client did not start";
  }
  std::string portName() const override { return sender_.portName(); }
  bool play(const std::vector<std::uint32_t>& messages) override {
    // Connections made or removed before take effect from the next cycle on.
    sender_.settle();
    for (std::uint32_t m : messages)
      if (!sender_.send(m)) return false;
    const Clock::time_point end = Clock::now() + 2s;
    while (!sender_.flushed() && Clock::now() < end) std::this_thread::sleep_for(1ms);
    return sender_.flushed();
  }
  jack_client_t* client() const { return sender_.client(); }

 private:
  jacktest::Sender sender_{"rv-contract-keyboard"};
};

class JackBackend : public Backend {
 public:
  std::optional<std::string> unavailable(bool& mustRun) override {
    mustRun = false;
    if (!jacktest::serverReachable()) return "no JACK server can be reached";
    return std::nullopt;
  }
  std::unique_ptr<MidiService> openService(const std::string& clientName) override {
    return JackService::open(clientName.c_str());
  }
  std::unique_ptr<Instrument> instrument(int which) override {
    return std::make_unique<JackInstrument>("rv-contract-" + std::to_string(which));
  }
  std::unique_ptr<Keyboard> keyboard() override { return std::make_unique<JackKeyboard>(); }
  // The frames of the events are exact; a few stand for rounding.
  double timingSlack() const override { return 1e-4; }
  bool connectOutside(const Keyboard& from, const Instrument& to, bool remove) override {
    jack_client_t* c = static_cast<const JackKeyboard&>(from).client();
    const std::string a = from.portName();
    const std::string b = to.portName();
    return (remove ? jack_disconnect(c, a.c_str(), b.c_str()) : jack_connect(c, a.c_str(), b.c_str())) == 0;
  }
  std::vector<std::string> portsOf(const std::string& clientName) override {
    std::vector<std::string> names;
    jack_client_t* observer = jacktest::openClient("rv-contract-observer");
    if (observer == nullptr) {
      ADD_FAILURE() << "the observing JACK client did not start";
      return names;
    }
    if (const char** ports = jack_get_ports(observer, nullptr, nullptr, 0)) {
      for (const char** p = ports; *p != nullptr; ++p)
        if (std::string_view(*p).starts_with(clientName + ":")) names.emplace_back(*p);
      jack_free(ports);
    }
    jack_client_close(observer);
    return names;
  }
  MidiResult portGoneResult() const override { return JackService::kPortGone; }
  ::testing::AssertionResult saysPortGone(const std::string& text, const std::string& port) const override {
    if (text.find(port) != std::string::npos && text.find("gone") != std::string::npos)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the text does not name the gone port: " << text;
  }
};

}  // namespace rotavox::contract
