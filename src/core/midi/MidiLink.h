#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <memory>
#include <optional>

#include "core/common/MessagePresenter.h"
#include "core/midi/MidiService.h"
#include "core/midi/MidiServiceHolder.h"
#include "core/midi/PortChoice.h"

namespace rotavox {

// The program-wide MIDI state: chosen ports, channel and the two open handles.
struct MidiState {
  int MidiOutDevice = -1;
  int MidiInDevice = -1;
  int MidiChannel = -1;
  std::int16_t MidiInChannel = -1;
  MidiHandle MidiOutHandle = kNoMidiHandle;
  MidiHandle MidiInHandle = kNoMidiHandle;
  // The ports behind MidiOutDevice and MidiInDevice, found again by the settings dialog's
  // next load wherever they then stand.
  RememberedPort outPort;
  RememberedPort inPort;
};

// The program's only link to the instrument: opens and closes the output and the thru,
// reports MIDI failures in a box, and composes and sends the messages.
class MidiLink {
 public:
  // A service that stays for the link's life.
  MidiLink(MidiService& service, MessagePresenter& presenter);
  // The program's service, which may be chosen anew while the connection is closed.
  MidiLink(MidiServiceHolder& services, MessagePresenter& presenter) : services_(services), presenter_(presenter) {}

  MidiState& state() { return state_; }
  const MidiState& state() const { return state_; }
  MidiService& service() { return services_.service(); }

  // With the connection closed (the settings dialog's load): when the MIDI system has gone,
  // chooses the one that runs now. The choices of ports stay as they are.
  void chooseServiceAgainIfGone();

  // Back to the start values: nothing chosen.
  void resetChoices();

  void ShowMidiError(std::string_view name, MidiResult code);
  void SwitchMidiOut(std::string_view action);
  void SwitchMidiThru(std::string_view action);
  void SendNoteOn(int note, int velocity);
  void SendControlChange(int controller, int value);
  // A number field's text: empty sends nothing; otherwise the decimal number it shows.
  void SendControlChange(int controller, std::string_view text);
  // Note releases for every note on the channel: notes 1 to 127, sixteen times, velocity 0.
  // Sends nothing while the last sweep is still queued: that one silences every note when it
  // goes out, and more of them would only hold back every edit behind them.
  void SendPanic();
  // A ready-made short message straight to the output (the sequencer's All Notes Off).
  void sendRaw(std::uint32_t message);
  // Program Change with `program` (0..127) on MidiChannel.
  void SendProgramChange(int program);

  // Following the instrument: receives from input device `device` (numbered as the thru's
  // input list) into `receiver`, after stopping any following before. The service's answer.
  MidiResult follow(int device, MidiReceiver& receiver);
  // Stops receiving; nothing while nothing is followed.
  void stopFollowing();
  bool following() const { return receiver_ != nullptr; }

  // Told of every short message handed to the service, after the service took it, with its
  // answer (the MIDI monitor listens here). One listener; an empty function removes it.
  using SendListener = std::function<void(std::uint32_t message, MidiResult result)>;
  void setSendListener(SendListener listener) { listener_ = std::move(listener); }

 private:
  bool channelValid() const { return state_.MidiChannel >= 0 && state_.MidiChannel <= 15; }
  // Every short message leaves through here.
  MidiResult hand(std::uint32_t message);
  bool sweepStillQueued();

  std::unique_ptr<MidiServiceHolder> fixed_;  // for a service that stays
  MidiServiceHolder& services_;
  MessagePresenter& presenter_;
  MidiState state_;
  SendListener listener_;
  // Messages the service took after the last Panic sweep while that sweep may still be queued;
  // empty once it is known to be out, or when the output it went to was closed. The queue is
  // in order, so the sweep is out once the service holds no more than these.
  std::optional<std::size_t> takenSinceSweep_;
  MidiReceiver* receiver_ = nullptr;  // while following
};

// The text of the MIDI error box for an error text of the system.
std::string midiErrorMessage(std::string_view errorText);

// True when the operation name selects the output error texts ("out" in any letter case).
bool usesOutputErrorTexts(std::string_view name);

}  // namespace rotavox
