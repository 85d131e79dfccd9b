#pragma once

// The decisions of the JACK service, kept apart from JACK itself so that they can be fed with
// recorded values: which ports are listed and in what order, the name a user knows a port by,
// what a capability record says, which device number means which port, the result codes and
// their texts, and what a port or a server that went away means for each call. No JACK type
// appears here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/midi/MidiService.h"

namespace rotavox::jackrules {

// ---- Result codes ------------------------------------------------------------------------

inline constexpr MidiResult kServerGone = 1;
inline constexpr MidiResult kBadDevice = 2;
inline constexpr MidiResult kPortGone = 3;
inline constexpr MidiResult kPortNotCreated = 4;
inline constexpr MidiResult kConnectRefused = 5;
inline constexpr MidiResult kBadHandle = 6;
inline constexpr MidiResult kThruIntoOwnPort = 7;
inline constexpr MidiResult kDisconnectRefused = 8;
inline constexpr MidiResult kNotShortMessage = 9;
inline constexpr MidiResult kOutputStalled = 10;
inline constexpr MidiResult kTooManyOutputs = 11;

// Outputs open at once, each with a port of its own.
inline constexpr std::size_t kMaxOutputs = 16;

// The text of a result code where nothing more is known.
std::string errorText(MidiResult code);

// Texts that name what failed. The first sentence of each is that of errorText().
std::string noSuchPortText(bool output, int device);
std::string noInputChosenText();
std::string portGoneText(std::string_view portDisplay);
std::string portNotCreatedText(std::string_view portName);
std::string connectRefusedText(std::string_view from, std::string_view to);
std::string disconnectRefusedText(std::string_view from, std::string_view to);
// kServerGone for a server that still runs but has not answered in time (a frozen server).
std::string notAnsweringText();

// ---- Ports -------------------------------------------------------------------------------

// What JACK tells about one MIDI port of another client.
struct PortFacts {
  std::string name;        // full JACK name, "client:port"
  bool physical = false;   // a socket of a MIDI interface
  std::string prettyName;  // the name its program gave it (JACK metadata); empty for none
  std::string alias;       // its first alias; empty for none
};

// A port as the lists offer it.
struct PortInfo {
  std::string name;     // full JACK name
  std::string display;  // what the user sees in the port lists
  bool physical = false;
  friend bool operator==(const PortInfo&, const PortInfo&) = default;
};

// The name a user knows a port by: its pretty name if its program gave one, the alias of a
// hardware port (which names the device), else the full JACK name.
std::string displayName(const PortFacts& port);

// True for a port of the client with this name ("client:..." exactly).
bool isOwnPort(std::string_view portName, std::string_view clientName);

// The ports of one list: other clients' ports only, sorted by full name.
std::vector<PortInfo> listedPorts(const std::vector<PortFacts>& all, std::string_view ownClient);

// The driver version of the capability records: the digits of the JACK library's version as
// hexadecimal digits, so that "1.9.21" is 0x1921 and the settings dialog shows "19.21".
std::uint32_t versionNumber(const char* text);

// A hardware port leads to an instrument's socket; another program's port is a program that
// plays, which is what the record calls an internal synth.
MidiOutCaps outCapsOf(const PortInfo& port, std::uint32_t driverVersion);
MidiOutCaps virtualPortCaps(std::string_view clientName, std::uint32_t driverVersion);
MidiInCaps inCapsOf(const PortInfo& port, std::uint32_t driverVersion);

// What an output device number means for a list of `listed` ports: one of them, the program's
// own virtual port (the mapper number, or the number just past the list), or nothing.
struct OutChoice {
  enum Kind { Port, VirtualPort, NoSuchPort } kind = NoSuchPort;
  std::size_t index = 0;  // for Port
};
OutChoice outChoice(int device, std::size_t listed);
bool inDeviceListed(int device, std::size_t listed);

// A short name for one of this client's own ports that no port has yet: "base", "base 2", ...
std::string freePortName(std::string_view base, const std::function<bool(const std::string&)>& taken);

// ---- What goes away ----------------------------------------------------------------------

// The calls of the service that a stopped server answers without JACK.
enum class Call { OpenOut, CloseOut, Send, OpenIn, CloseIn, Connect, Disconnect };

// A call's result once the server has gone: an open or a send fails with kServerGone; a close
// or a disconnect succeeds, since the server took the ports and connections with it.
MidiResult resultWithServerGone(Call call);

// True when the port that went away is an output's target: the same port, or one of the same
// full name. An output to the program's own virtual port (no target name) has none to lose.
bool takesAwayTarget(bool samePort, std::string_view goneName, std::string_view targetName);

// What a connect (JACK's return rc) means: EEXIST is a connection that someone else made,
// which counts as made but is not ours to remove; a failure is the server's end, a port that
// went away meanwhile, or JACK's refusal.
struct ConnectOutcome {
  MidiResult result = kMidiOk;
  bool madeByUs = false;
};
ConnectOutcome connectOutcome(int rc, bool serverGone, bool portsStillThere);

// ---- Receiving ---------------------------------------------------------------------------

// The channel message one JACK MIDI event carries, as a short message, or 0 for an event that
// carries none: SysEx (and its continuation, which begins with a data byte), system common and
// real-time messages, an empty event, one cut short or one with a data byte that has its top
// bit set. A JACK MIDI event holds whole messages, so there is no running status to resolve;
// bytes past the message are ignored. Cheap enough for the process callback.
std::uint32_t channelMessageOf(const unsigned char* data, std::size_t size) noexcept;

// ---- Time --------------------------------------------------------------------------------

// Tells a server that has stopped running its cycles (frozen, stopped with SIGSTOP) from one
// that is busy: fed, at each look of the program's thread, the number of cycles begun so far,
// whether messages wait to go out and the time in seconds, it says whether no cycle has begun
// for `limit` while messages waited. Without waiting messages a still server is no stall.
class StallWatch {
 public:
  explicit StallWatch(double limitSeconds) : limit_(limitSeconds) {}
  bool stalled(std::uint64_t cycles, bool waiting, double now);

 private:
  double limit_;
  bool watching_ = false;
  std::uint64_t cycles_ = 0;
  double since_ = 0.0;
};

// The frame within the current cycle at which a message due at `dueSeconds` goes out, for a
// cycle that begins at frame `cycleStart` (frames since the client started) at `rate` frames a
// second: never before the cycle's first frame. A frame at or past the cycle's length belongs
// to a later cycle.
double frameInCycle(double dueSeconds, double cycleStart, double rate);

}  // namespace rotavox::jackrules
