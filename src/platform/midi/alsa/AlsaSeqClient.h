#pragma once

// The sequencer client behind AlsaSeqService and its life: opened with the program's own port,
// the listener's thread (AlsaSeqListener.cpp: announcements and the followed port's MIDI), the
// outputs with their sender threads (AlsaSeqSender.h), the closed outputs on their way out and
// the followed port. Shared by the program's thread, the listener and the senders; who may
// touch what is said at each member.

#include <alsa/asoundlib.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/midi/MidiService.h"
#include "platform/midi/PacedSender.h"
#include "platform/midi/ReceiverSlot.h"
#include "platform/midi/ThruLinks.h"
#include "platform/midi/alsa/AlsaSeqEventRules.h"
#include "platform/midi/alsa/AlsaSeqRules.h"
#include "platform/midi/alsa/AlsaSeqSender.h"
#include "platform/midi/alsa/UsbIdentity.h"

namespace rotavox::alsaseq {

inline constexpr unsigned kVirtualPortCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
inline constexpr unsigned kVirtualPortType =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SOFTWARE | SND_SEQ_PORT_TYPE_APPLICATION;
// A port that only sends the rest of a closed output: nobody lists it or connects to it.
inline constexpr unsigned kHiddenPortCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_NO_EXPORT;
// The port the followed port is subscribed to, there only while the program follows.
inline constexpr unsigned kFollowPortCaps = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
// Room in the kernel for what arrives between two reads of the listener, the most the
// sequencer gives a client: a flood overruns it only when the listener cannot keep up at all.
inline constexpr int kInputPool = 2000;

struct AlsaSeqClient {
  struct Output {
    MidiHandle handle = kNoMidiHandle;
    std::optional<SeqAddress> dest;  // none: the program's own port alone
    bool subscribedByUs = false;
    std::unique_ptr<PacedSender> sender;
    SeqDirectOutput* direct = nullptr;  // the sender's, for the own port it sends from
  };
  using Links = ThruLinks<SeqAddress>;
  using Link = Links::Link;

  // The client under the given name with its own port and announce listener, or nothing when
  // the sequencer cannot be opened (no /dev/snd/seq).
  static std::unique_ptr<AlsaSeqClient> open(const char* name);
  // What is still queued is dropped; the thru subscriptions this client made go.
  ~AlsaSeqClient();

  // ---- The program's thread (AlsaSeqClient.cpp) ----------------------------------------------
  PortRecord virtualRecord() const;
  SeqAddress virtualAddress() const { return {ownClient, virtualPort}; }
  // The open output stops taking messages; what it holds goes out in the background.
  MidiResult closeOutput();
  // A hidden port takes over a closed output's subscription, so that another port can open.
  void moveAside(Output& closing);
  // Ends the senders whose thread ended by itself.
  void dropFinished();
  std::vector<std::unique_ptr<Output>> takeAllOutputs();
  // Removes the subscriptions among these that this client made.
  MidiResult removeLinks(const std::vector<Link>& links);
  MidiHandle newHandle() { return nextHandle++; }
  // Creates the program's input port, subscribes the source to it and hands what arrives
  // there to `receiver`; and takes all that away again (nothing while nothing is followed).
  MidiResult startFollowing(SeqAddress source, MidiReceiver& receiver);
  void stopFollowing();

  // ---- The listener's thread (AlsaSeqListener.cpp) --------------------------------------------
  void listen();
  void onAnnounce(const AnnounceEvent& event);
  void onFollowedEvent(const snd_seq_event_t& event, std::int64_t arrivalNanos);
  // After the kernel threw away what the client's input held: was the followed port's end
  // among it?
  void checkFollowedSource();

  snd_seq_t* seq = nullptr;
  int ownClient = -1;
  int virtualPort = -1;
  int announcePort = -1;
  std::string clientName;
  std::string virtualPortName;
  std::uint32_t libraryVersion = SND_LIB_VERSION;
  SystemPaths paths;

  // The program's thread only.
  std::vector<PortRecord> outList;
  std::vector<PortRecord> inList;
  bool outListed = false;
  bool inListed = false;
  MidiHandle nextHandle = 1;

  // Shared with the announce listener. Only the program's thread changes `output`, and it does
  // so under the lock; it may read it without.
  std::mutex mutex;
  std::unique_ptr<Output> output;
  std::vector<std::unique_ptr<Output>> closed;  // closed, still sending what they hold
  std::map<MidiHandle, SeqAddress> inputs;
  std::set<MidiHandle> goneInputs;
  Links thru;

  // The followed port. The program's thread sets the addresses before it attaches the receiver
  // and clears them before it detaches it; the listener reads them and hands over through
  // `followed` without a lock.
  std::atomic<int> followPort{-1};  // the program's own input port; -1 while nothing is followed
  std::atomic<int> sourceClient{-1};
  std::atomic<int> sourcePort{-1};
  ReceiverSlot followed;

  int wakePipe[2] = {-1, -1};
  std::thread listener;

 private:
  bool setUp(const char* name);
};

}  // namespace rotavox::alsaseq
