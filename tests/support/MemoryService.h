#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/midi/MidiService.h"

namespace rotavox {

// In-process MIDI ports for tests: scriptable port lists and capability records, any call
// can be told to fail with a result code, and every message and call is recorded.
class MemoryService : public MidiService {
 public:
  struct Sent {
    MidiHandle handle;
    std::uint32_t message;
  };

  // A port given without an identity is known by its name, as a system whose names are unique.
  std::vector<MidiOutCaps> outPorts;
  MidiOutCaps mapper{0, 0, 0, "Rotavox virtual out", kTechMapper, "rotavox:virtual out"};
  std::vector<MidiInCaps> inPorts;
  // Call name ("openOut", "closeOut", "outCaps", "openIn", "connect", "disconnect", "closeIn",
  // "inCaps", "sendShort"), optionally with ":device" for the caps calls, to its result code.
  std::map<std::string, MidiResult> failures;

  std::vector<Sent> sent;           // every sendShort, open handle or not
  std::vector<std::string> calls;   // "openOut 0", "connect 2 1", ...

  // Messages that reached an open output, in order.
  std::vector<std::uint32_t> delivered() const;
  void clearRecords();
  bool isOutOpen(MidiHandle h) const { return openOuts_.count(h) > 0; }
  bool isInOpen(MidiHandle h) const { return openIns_.count(h) > 0; }
  bool isConnected(MidiHandle in, MidiHandle out) const { return connections_.count({in, out}) > 0; }

  unsigned outDeviceCount() override;
  MidiResult outCaps(int device, MidiOutCaps& caps) override;
  MidiResult openOut(int device, MidiHandle& handle) override;
  MidiResult closeOut(MidiHandle handle) override;
  MidiResult sendShort(MidiHandle handle, std::uint32_t message) override;
  std::string outErrorText(MidiResult code) override;

  unsigned inDeviceCount() override;
  MidiResult inCaps(int device, MidiInCaps& caps) override;
  MidiResult openIn(int device, MidiHandle& handle) override;
  MidiResult startIn(MidiHandle handle) override;
  MidiResult stopIn(MidiHandle handle) override;
  MidiResult closeIn(MidiHandle handle) override;
  std::string inErrorText(MidiResult code) override;

  MidiResult connect(MidiHandle in, MidiHandle out) override;
  MidiResult disconnect(MidiHandle in, MidiHandle out) override;
  // Follows an input port as a backend does; "followIn" in `failures` makes it fail.
  MidiResult followIn(int device, MidiReceiver& receiver) override;
  void stopFollowing() override;
  std::string systemName() const override { return "memory"; }

  // The input device followed now, -1 for none.
  int followed() const { return followed_; }
  // What the followed port sends, as a backend's receiving thread hands it over: from any one
  // thread at a time, also while the program's thread runs (a test joins that thread before
  // the program stops following). False when nothing is followed (or the port went away), so
  // nothing could arrive.
  bool receive(std::uint32_t message);
  bool receive(std::uint32_t message, std::int64_t arrivalNanos);
  // The followed port goes away: the receiver is told once, and nothing more arrives.
  void followedPortVanishes();
  std::size_t pendingMessages() const override { return pending; }
  bool systemGone() const override { return gone; }
  bool answering() const override { return answers; }

  // What pendingMessages() answers: tests play a slow wire by setting it.
  std::size_t pending = 0;
  // What systemGone() answers: tests play a MIDI system that went away.
  bool gone = false;
  // What answering() answers: tests play a MIDI system that has stopped answering.
  bool answers = true;

  static constexpr MidiResult kBadDevice = 2;
  static constexpr MidiResult kBadHandle = 5;

 private:
  MidiResult failure(const std::string& call, int device = -2) const;
  MidiHandle next_ = 1;
  std::set<MidiHandle> openOuts_;
  std::set<MidiHandle> openIns_;
  std::set<std::pair<MidiHandle, MidiHandle>> connections_;
  int followed_ = -1;
  std::atomic<MidiReceiver*> receiver_{nullptr};  // read by the thread that plays the backend's
};

}  // namespace rotavox
