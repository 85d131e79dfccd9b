#pragma once

// What the events the sequencer delivers from a followed port carry: the channel messages a
// MIDI cable would carry for them. Kept apart from the sequencer so that it can be fed with
// recorded values; no ALSA type appears here, and the event numbers below are the sequencer's
// own (AlsaSeqClient.cpp checks them against alsa-lib at compile time).

#include <cstdint>

namespace rotavox::alsaseq {

// Event types that carry channel messages.
inline constexpr int kEventNoteOn = 6;
inline constexpr int kEventNoteOff = 7;
inline constexpr int kEventKeyPress = 8;
inline constexpr int kEventController = 10;
inline constexpr int kEventProgramChange = 11;
inline constexpr int kEventChannelPressure = 12;
inline constexpr int kEventPitchBend = 13;
inline constexpr int kEventControl14 = 14;
inline constexpr int kEventNonRegisteredParam = 15;
inline constexpr int kEventRegisteredParam = 16;

// What a received event says, as far as a channel message could be in it: note events carry
// note and velocity (carriesNote), control events a parameter and a value.
struct ReceivedEvent {
  int type = 0;
  int channel = 0;
  long long first = 0;   // note, or controller / parameter number
  long long second = 0;  // velocity, or value
};
bool carriesNote(int type);

// The channel messages a received event stands for, in the order a MIDI cable carries them:
// one for a note, controller, program, pressure or pitch bend event, two for a 14-bit
// controller (most significant byte first), four for a registered or non-registered parameter;
// none for anything else (SysEx, clock, active sensing, announce events ...) or for an event
// whose fields no MIDI cable could carry. Returns how many it put into `out`.
inline constexpr int kMaxMessagesPerEvent = 4;
int shortMessagesOf(const ReceivedEvent& event, std::uint32_t (&out)[kMaxMessagesPerEvent]);

}  // namespace rotavox::alsaseq
