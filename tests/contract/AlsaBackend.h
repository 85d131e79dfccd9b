#pragma once

// The contract's stand-ins on a live kernel sequencer (scripts/test-alsa runs them in a virtual
// machine): the instrument behind the virtual MIDI card's port "VirMIDI 0-0", read back as the
// bytes on its wire; a synth program on the sequencer that can quit; the keyboard behind
// "VirMIDI 0-1", played as raw bytes.

#include <cstdlib>

#include "alsa/AlsaVmSupport.h"
#include "contract/Backend.h"
#include "platform/midi/alsa/AlsaSeqRules.h"
#include "platform/midi/alsa/AlsaSeqService.h"

namespace rotavox::contract {

// The wire of the virtual card's port 0-0.
class CardInstrument : public Instrument {
 public:
  CardInstrument() {
    if (!wire_.ok()) ADD_FAILURE() << "cannot read " << alsavm::rawMidiPath(0);
  }
  std::string portName() const override { return alsavm::virmidiPortName(0); }
  std::vector<std::uint32_t> messages() override { return wire_.messages(); }
  std::vector<double> arrivalSeconds() override {
    const std::vector<alsavm::RawMidiReader::Arrival> got = wire_.arrivals();
    std::vector<double> out;
    for (const auto& a : got) out.push_back(std::chrono::duration<double>(a.at - got.front().at).count());
    return out;
  }
  // The card's port 0-0 sends what is written to its raw MIDI device.
  std::string sendPortName() const override { return alsavm::virmidiPortName(0); }
  bool send(const std::vector<std::uint32_t>& messages) override {
    return alsavm::writeRawMidi(alsavm::rawMidiPath(0), messages);
  }
  bool sendSysEx(std::size_t bytes) override {
    return alsavm::writeRawBytes(alsavm::rawMidiPath(0), alsavm::sysExBytes(bytes));
  }
  // Taking the card away is a test of its own (AlsaSeqLiveTest): the kernel's removal differs.
  void quit() override { ADD_FAILURE() << "the card's port does not quit"; }
  bool startAgain() override { return false; }

 private:
  alsavm::RawMidiReader wire_{alsavm::rawMidiPath(0)};
};

// A synth program on the sequencer that reads what arrives all the time, as a synth does (one
// that stops reading loses what its input held: AlsaSeqLiveTest).
class SynthInstrument : public Instrument {
 public:
  explicit SynthInstrument(std::string name) : name_(std::move(name)) { startAgain(); }
  ~SynthInstrument() override { quit(); }
  std::string portName() const override { return name_ + ":in"; }
  std::vector<std::uint32_t> messages() override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::uint32_t> out = before_;
    if (synth_) out.insert(out.end(), synth_->messages().begin(), synth_->messages().end());
    return out;
  }
  std::vector<double> arrivalSeconds() override { return {}; }
  std::string sendPortName() const override { return name_ + ":out"; }
  bool send(const std::vector<std::uint32_t>& messages) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return synth_ && synth_->send(messages);
  }
  bool sendSysEx(std::size_t bytes) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return synth_ && synth_->sendSysEx(bytes);
  }
  void quit() override {
    reading_ = false;
    if (reader_.joinable()) reader_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!synth_) return;
    before_.insert(before_.end(), synth_->messages().begin(), synth_->messages().end());
    synth_.reset();
  }
  bool startAgain() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      synth_ = std::make_unique<alsavm::SeqClient>(name_);
      if (!synth_->ok()) {
        ADD_FAILURE() << "the synth program " << name_ << " did not start";
        return false;
      }
    }
    reading_ = true;
    reader_ = std::thread([this] {
      while (reading_) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          synth_->readAvailable();
        }
        std::this_thread::sleep_for(1ms);
      }
    });
    return true;
  }

 private:
  std::string name_;
  std::mutex mutex_;
  std::vector<std::uint32_t> before_;  // what arrived before the program quit
  std::unique_ptr<alsavm::SeqClient> synth_;
  std::atomic<bool> reading_{false};
  std::thread reader_;
};

class CardKeyboard : public Keyboard {
 public:
  std::string portName() const override { return alsavm::virmidiPortName(1); }
  bool play(const std::vector<std::uint32_t>& messages) override {
    return alsavm::writeRawMidi(alsavm::rawMidiPath(1), messages);
  }
};

class AlsaBackend : public Backend {
 public:
  std::optional<std::string> unavailable(bool& mustRun) override {
    // Inside the test machine (scripts/test-alsa sets ROTAVOX_ALSA_VM) a missing sequencer is a
    // failure; elsewhere these tests have nothing to run against.
    mustRun = std::getenv("ROTAVOX_ALSA_VM") != nullptr;
    if (!alsavm::exists(alsavm::kSequencerDevice))
      return "no ALSA sequencer here: scripts/test-alsa runs these in a virtual machine";
    mustRun = true;
    if (!alsavm::ensureCard()) return "the virtual MIDI card (snd-virmidi) is not there";
    return std::nullopt;
  }
  std::unique_ptr<MidiService> openService(const std::string& clientName) override {
    return tryOpenAlsaSeqService(clientName.c_str());
  }
  std::unique_ptr<Instrument> instrument(int which) override {
    if (which == 0) return std::make_unique<CardInstrument>();
    return std::make_unique<SynthInstrument>("Contract synth");
  }
  std::unique_ptr<Keyboard> keyboard() override { return std::make_unique<CardKeyboard>(); }
  // In a virtual machine on a busy host the reader's thread can wait a quarter of a second to
  // run; a sender without pacing delivers the Panic some 1.5 s too early.
  double timingSlack() const override { return 0.25; }
  // The keyboard and the instrument are the card's ports 0-1 and 0-0.
  bool connectOutside(const Keyboard&, const Instrument&, bool remove) override {
    std::string text;
    return alsavm::runCommand(std::string("aconnect ") + (remove ? "-d " : "") +
                                  "'Virtual Raw MIDI 0-1:0' 'Virtual Raw MIDI 0-0:0'",
                              &text);
  }
  std::vector<std::string> portsOf(const std::string& clientName) override {
    return alsavm::exportedPortsOf(clientName);
  }
  MidiResult portGoneResult() const override { return alsaseq::kPortGone; }
  ::testing::AssertionResult saysPortGone(const std::string& text, const std::string&) const override {
    if (text.find("no such MIDI output port") != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the text does not say that the port is gone: " << text;
  }
};

}  // namespace rotavox::contract
