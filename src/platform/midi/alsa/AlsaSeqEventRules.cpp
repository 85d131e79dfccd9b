#include "platform/midi/alsa/AlsaSeqEventRules.h"

#include "core/midi/Messages.h"

namespace rotavox::alsaseq {

bool carriesNote(int type) { return type == kEventNoteOn || type == kEventNoteOff || type == kEventKeyPress; }

int shortMessagesOf(const ReceivedEvent& event, std::uint32_t (&out)[kMaxMessagesPerEvent]) {
  const auto within = [](long long v, long long top) { return v >= 0 && v <= top; };
  if (!within(event.channel, 15)) return 0;
  const auto channel = static_cast<std::uint32_t>(event.channel);
  const auto a = static_cast<std::uint32_t>(event.first & 0x3FFF);
  const auto b = static_cast<std::uint32_t>(event.second & 0x3FFF);
  const auto control = [&](int at, std::uint32_t number, std::uint32_t value) {
    out[at] = shortMessage(0xB0 | channel, number, value);
  };
  switch (event.type) {
    case kEventNoteOn:
    case kEventNoteOff:
    case kEventKeyPress:
    case kEventController: {
      if (!within(event.first, 127) || !within(event.second, 127)) return 0;
      const std::uint32_t kind = event.type == kEventNoteOn    ? 0x90
                                 : event.type == kEventNoteOff ? 0x80
                                 : event.type == kEventKeyPress ? 0xA0
                                                                 : 0xB0;
      out[0] = shortMessage(kind | channel, a, b);
      return 1;
    }
    case kEventProgramChange:
    case kEventChannelPressure:
      if (!within(event.second, 127)) return 0;
      out[0] = shortMessage((event.type == kEventProgramChange ? 0xC0 : 0xD0) | channel, b, 0);
      return 1;
    case kEventPitchBend: {
      if (event.second < -8192 || event.second > 8191) return 0;
      const auto bend = static_cast<std::uint32_t>(event.second + 8192);
      out[0] = shortMessage(0xE0 | channel, bend & 0x7F, bend >> 7);
      return 1;
    }
    case kEventControl14:
      // A controller below 32 has its least significant byte 32 numbers up; the others are 7-bit.
      if (within(event.first, 31) && within(event.second, 0x3FFF)) {
        control(0, a, b >> 7);
        control(1, a + 32, b & 0x7F);
        return 2;
      }
      if (!within(event.first, 127) || !within(event.second, 127)) return 0;
      control(0, a, b);
      return 1;
    case kEventNonRegisteredParam:
    case kEventRegisteredParam: {
      if (!within(event.first, 0x3FFF) || !within(event.second, 0x3FFF)) return 0;
      const std::uint32_t msb = event.type == kEventRegisteredParam ? 101 : 99;
      control(0, msb, a >> 7);
      control(1, msb - 1, a & 0x7F);
      control(2, 6, b >> 7);
      control(3, 38, b & 0x7F);
      return 4;
    }
    default:
      return 0;
  }
}

}  // namespace rotavox::alsaseq
