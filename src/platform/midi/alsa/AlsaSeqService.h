#pragma once

#include <memory>

#include "core/midi/MidiService.h"

namespace rotavox {

namespace alsaseq {
struct AlsaSeqClient;
struct PortRecord;
}

// The ALSA sequencer as the program's MIDI service. Devices are the ports of other clients;
// the output is the program's own port, subscribed to the chosen one and fed by a paced sender
// thread, which goes on with what it holds after the output is closed; the thru is a
// subscription from the input port to the output port, so the data never passes through the
// program. Output device outDeviceCount() is the program's own port alone, which other
// programs can subscribe to.
class AlsaSeqService : public MidiService {
 public:
  ~AlsaSeqService() override;
  AlsaSeqService(const AlsaSeqService&) = delete;
  AlsaSeqService& operator=(const AlsaSeqService&) = delete;

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
  // Following creates an input port of the program's client ("<client> in"), subscribes the
  // source to it, and the listener's thread reads it; stopping deletes the port again.
  MidiResult followIn(int device, MidiReceiver& receiver) override;
  void stopFollowing() override;
  std::string systemName() const override { return "ALSA sequencer"; }
  std::size_t pendingMessages() const override;

 private:
  explicit AlsaSeqService(std::unique_ptr<alsaseq::AlsaSeqClient> client);
  friend std::unique_ptr<MidiService> tryOpenAlsaSeqService(const char* clientName);
  // The input port at `device` in the list, still there, for opening or following it.
  MidiResult chosenInput(int device, const alsaseq::PortRecord*& port);

  std::unique_ptr<alsaseq::AlsaSeqClient> impl_;
};

// The sequencer service under the given client name, or nullptr when the sequencer cannot be
// opened (no /dev/snd/seq).
std::unique_ptr<MidiService> tryOpenAlsaSeqService(const char* clientName = "Rotavox");

}  // namespace rotavox
