#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <jack/types.h>

#include "core/midi/MidiService.h"
#include "platform/midi/jack/JackRules.h"

namespace rotavox {

class JackClient;

// The MIDI service of a JACK server. Output devices are the MIDI input ports of other JACK
// clients and input devices their MIDI output ports, each list sorted by full port name;
// the program's own ports are never listed. Output number outDeviceCount() (and caps device
// -1) is the program's own virtual output port, which other programs connect to themselves.
// Each open output is a JACK port of this client with an ordered queue that the process
// callback empties at the pace of a MIDI wire; a closed output's queue still goes out, and
// its port goes once it has. The thru is a JACK connection made between the two foreign
// ports, so the data never passes through the program.
//
// Every call that asks the JACK server something runs on the service's own JACK thread and is
// waited for at most about a second: a server that does not answer in time counts as gone
// from then on, and the program's thread goes on.
class JackService : public MidiService {
 public:
  // The result codes; their texts are in JackRules.
  enum Error : MidiResult {
    kServerGone = jackrules::kServerGone,
    kBadDevice = jackrules::kBadDevice,
    kPortGone = jackrules::kPortGone,
    kPortNotCreated = jackrules::kPortNotCreated,
    kConnectRefused = jackrules::kConnectRefused,
    kBadHandle = jackrules::kBadHandle,
    kThruIntoOwnPort = jackrules::kThruIntoOwnPort,
    kDisconnectRefused = jackrules::kDisconnectRefused,
    kNotShortMessage = jackrules::kNotShortMessage,
    kOutputStalled = jackrules::kOutputStalled,
    kTooManyOutputs = jackrules::kTooManyOutputs,
  };

  // A client on the named JACK server (nullptr: the default one, which JACK_DEFAULT_SERVER
  // may name). Never starts a server: nullptr when none runs, or when it does not answer in
  // time.
  static std::unique_ptr<JackService> open(const char* clientName, const char* serverName = nullptr);
  ~JackService() override;
  JackService(const JackService&) = delete;
  JackService& operator=(const JackService&) = delete;

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
  // Following registers an input port of the client's own ("<client>:midi in"), connects the
  // source to it, and reads it in the process callback; stopping unregisters it again.
  MidiResult followIn(int device, MidiReceiver& receiver) override;
  void stopFollowing() override;
  std::string systemName() const override { return "JACK"; }
  bool systemGone() const override { return !alive(); }
  bool answering() const override;
  std::size_t pendingMessages() const override;

  // The name the server gave this client: the one asked for, or that name with a number.
  std::string clientName() const;
  // Full JACK name of this client's own port behind an open output; empty for no output.
  std::string ownPortName(MidiHandle out) const;
  // Messages of an open output that have not gone out yet.
  std::size_t queuedMessages(MidiHandle out) const;
  // False once the server has shut down, gone away or not answered in time.
  bool alive() const;

 private:
  explicit JackService(std::shared_ptr<JackClient> client);
  // Takes the follow away from JACK's notices and stops it; nothing when nothing is followed.
  jack_port_t* endFollow();
  // Shared with the client's JACK thread, which may outlive the service while it waits for a
  // server that does not answer.
  std::shared_ptr<JackClient> impl_;
};

// The JACK service for the program, or nullptr when no JACK server runs.
std::unique_ptr<MidiService> tryOpenJackService(const char* clientName = "Rotavox", const char* serverName = nullptr);

}  // namespace rotavox
