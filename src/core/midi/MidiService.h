#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rotavox {

// Result of a MIDI service call: 0 is success, every other value has an error text.
using MidiResult = std::uint32_t;
inline constexpr MidiResult kMidiOk = 0;

// An open port as the service hands it out; 0 is "none".
using MidiHandle = std::uint32_t;
inline constexpr MidiHandle kNoMidiHandle = 0;

// Device number that asks for the program's own virtual output port (the last entry of the
// output list) in outCaps().
inline constexpr int kMidiMapperDevice = -1;

// Technology codes of an output port.
enum MidiTechnology : std::uint16_t {
  kTechOutputPort = 1,
  kTechInternalSynth = 2,
  kTechSquareSynth = 3,
  kTechFmSynth = 4,
  kTechMapper = 5,
  kTechWavetable = 7,
};

// A port's identity is what the MIDI system itself calls it (JACK: the full port name; ALSA:
// client and port number with the names). Unlike the list position it stays with the port when
// other ports come and go, so a choice made earlier finds the same port again. Empty when the
// service cannot tell.

struct MidiOutCaps {
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint32_t driverVersion = 0;
  std::string name;  // at most 31 characters are shown
  std::uint16_t technology = 0;
  std::string identity;
};

struct MidiInCaps {
  std::uint16_t manufacturerId = 0;
  std::uint16_t productId = 0;
  std::uint32_t driverVersion = 0;
  std::string name;
  std::string identity;
};

// Where the messages of a followed port go (MidiService::followIn). The service calls it on
// its own receiving thread, which may be a real-time one; both calls return at once and never
// lock, allocate or block.
class MidiReceiver {
 public:
  // One message as it arrived: a short message in sendShort()'s layout (status + data1 * 256 +
  // data2 * 65536; data2 is 0 for a two-byte message such as Program Change), and when it
  // arrived, in nanoseconds of std::chrono::steady_clock (CLOCK_MONOTONIC).
  virtual void received(std::uint32_t message, std::int64_t arrivalNanos) noexcept = 0;
  // The followed port went away (unplugged, its program ended, the MIDI system with it).
  virtual void sourceGone() noexcept = 0;

 protected:
  ~MidiReceiver() = default;
};

// followIn()'s answer from a service that cannot receive at all.
inline constexpr MidiResult kMidiCannotFollow = 0x7F000001;

// The system's MIDI service: port lists, capability records, opening, sending and the thru.
// Output devices are numbered 0..outDeviceCount()-1; number outDeviceCount() opens the
// program's own virtual output port. Every call returns at once; sendShort() queues.
class MidiService {
 public:
  virtual ~MidiService() = default;

  virtual unsigned outDeviceCount() = 0;
  virtual MidiResult outCaps(int device, MidiOutCaps& caps) = 0;
  virtual MidiResult openOut(int device, MidiHandle& handle) = 0;
  virtual MidiResult closeOut(MidiHandle handle) = 0;
  virtual MidiResult sendShort(MidiHandle handle, std::uint32_t message) = 0;
  virtual std::string outErrorText(MidiResult code) = 0;

  virtual unsigned inDeviceCount() = 0;
  virtual MidiResult inCaps(int device, MidiInCaps& caps) = 0;
  virtual MidiResult openIn(int device, MidiHandle& handle) = 0;
  virtual MidiResult startIn(MidiHandle handle) = 0;
  virtual MidiResult stopIn(MidiHandle handle) = 0;
  virtual MidiResult closeIn(MidiHandle handle) = 0;
  virtual std::string inErrorText(MidiResult code) = 0;

  // The thru: the system routes everything arriving at the input to the output.
  virtual MidiResult connect(MidiHandle in, MidiHandle out) = 0;
  virtual MidiResult disconnect(MidiHandle in, MidiHandle out) = 0;

  // A short name of the MIDI system behind the service ("JACK", "ALSA sequencer", ...).
  virtual std::string systemName() const = 0;

  // True once the MIDI system behind the service has gone (or, for the service without a MIDI
  // system, always): choosing the service anew may then find one that runs.
  virtual bool systemGone() const { return false; }

  // False while the MIDI system does not answer: a call that the service gave up waiting for is
  // still outstanding, or the system has taken no message for the service's waiting limit while
  // messages wait (a JACK server stopped with SIGSTOP). Asking it anything would only wait
  // again, and what is queued does not go out until it answers.
  virtual bool answering() const { return true; }

  // Messages handed over but not yet on the wire: those of open outputs and those of closed
  // outputs that still go out in the background. The program waits for them before it ends.
  virtual std::size_t pendingMessages() const { return 0; }

  // ---- Following: receiving what one port sends --------------------------------------------
  //
  // followIn() starts receiving from input device `device` (numbered as inCaps() numbers them,
  // so the port the thru's input list shows at that position) into `receiver`. The service
  // receives on an input port of the program's own that exists only while it follows (ALSA: a
  // port of the program's client with a subscription from the source; JACK: an input port of
  // the program's client that the source is connected to): with nothing followed, every other
  // program sees the port lists as before. One port at a time: the program stops following
  // before it follows another. Result 0, or a code whose text followErrorText() gives.
  //
  // The rules every service keeps:
  // - followIn() and stopFollowing() are called on the program's thread, one at a time.
  // - From followIn()'s return until stopFollowing() returns, the service's receiving thread
  //   (the JACK process callback; the sequencer's listener thread) calls receiver.received()
  //   once per channel message (status 0x80..0xEF, running status resolved), in the order they
  //   arrived, from one thread at a time, without a lock, an allocation or a blocking call of
  //   its own. System messages (SysEx, MIDI clock, active sensing ...) need not be passed on;
  //   the receiver drops any it is given.
  // - When the followed port goes away, or the MIDI system with it, the service calls
  //   receiver.sourceGone() once, from any of its threads, and received() no more. The
  //   program then calls stopFollowing().
  // - Once stopFollowing() has returned, or the service is destroyed, the service never
  //   touches `receiver` again.
  // A service that cannot receive answers kMidiCannotFollow; so does this default.
  virtual MidiResult followIn(int device, MidiReceiver& receiver);
  // Stops receiving and removes the program's input port; nothing while nothing is followed.
  virtual void stopFollowing() {}
  // The text for a result of followIn().
  std::string followErrorText(MidiResult code);
};

}  // namespace rotavox
