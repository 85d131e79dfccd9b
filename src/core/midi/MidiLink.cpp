#include "core/midi/MidiLink.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/common/Readings.h"
#include "core/midi/Messages.h"

namespace rotavox {

namespace {
constexpr std::size_t kErrorTextBuffer = 255;
}

bool usesOutputErrorTexts(std::string_view name) {
  for (std::size_t i = 0; i + 3 <= name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) == 'o' &&
        std::tolower(static_cast<unsigned char>(name[i + 1])) == 'u' &&
        std::tolower(static_cast<unsigned char>(name[i + 2])) == 't')
      return true;
  }
  return false;
}

std::string midiErrorMessage(std::string_view errorText) {
  // The system's text comes in a buffer of 255 characters, used up to its NUL.
  std::string_view text = errorText.substr(0, errorText.find('\0'));
  if (text.size() > kErrorTextBuffer - 1) text = text.substr(0, kErrorTextBuffer - 1);
  return "Osterlin midi out detection:\r\n" + std::string(text) + "\r\n";
}

MidiLink::MidiLink(MidiService& service, MessagePresenter& presenter)
    : fixed_(std::make_unique<MidiServiceHolder>(service)), services_(*fixed_), presenter_(presenter) {}

void MidiLink::chooseServiceAgainIfGone() {
  // An open handle belongs to the service it came from; it must be closed there first.
  if (state_.MidiOutHandle != kNoMidiHandle || state_.MidiInHandle != kNoMidiHandle) return;
  if (!services_.chooseAgainIfGone()) return;
  takenSinceSweep_.reset();
  if (!receiver_) return;
  // Following ended with the system that carried it (the old service let go of the receiver
  // when it went): the receiver hears it as the end of its port.
  MidiReceiver* receiver = std::exchange(receiver_, nullptr);
  receiver->sourceGone();
}

void MidiLink::resetChoices() {
  state_.MidiOutDevice = -1;
  state_.MidiInDevice = -1;
  state_.MidiChannel = -1;
  state_.MidiInChannel = -1;
  state_.outPort = {};
  state_.inPort = {};
}

void MidiLink::ShowMidiError(std::string_view name, MidiResult code) {
  const std::string errorText = usesOutputErrorTexts(name) ? service().outErrorText(code) : service().inErrorText(code);
  presenter_.show(midiErrorMessage(errorText), "Rotavox", MessageIcon::None, MessageButtons::Ok);
}

void MidiLink::SwitchMidiOut(std::string_view action) {
  // A sweep queued for the output that closes is no Panic for the one that opens next.
  takenSinceSweep_.reset();
  if (action == "open") {
    MidiHandle handle = kNoMidiHandle;
    const MidiResult result = service().openOut(state_.MidiOutDevice, handle);
    if (result != kMidiOk) {
      state_.MidiOutHandle = kNoMidiHandle;
      ShowMidiError("midiOUT_Open", result);
      return;
    }
    state_.MidiOutHandle = handle;
    return;
  }
  if (state_.MidiOutHandle == kNoMidiHandle) return;
  const MidiResult result = service().closeOut(state_.MidiOutHandle);
  state_.MidiOutHandle = kNoMidiHandle;
  if (result != kMidiOk) ShowMidiError("midiOUT_Close", result);
}

void MidiLink::SwitchMidiThru(std::string_view action) {
  if (action == "open") {
    if (state_.MidiOutHandle == kNoMidiHandle) {
      SwitchMidiOut("open");
      if (state_.MidiOutHandle == kNoMidiHandle) return;
    }
    MidiHandle handle = kNoMidiHandle;
    const MidiResult opened = service().openIn(state_.MidiInDevice, handle);
    if (opened != kMidiOk) {
      state_.MidiInHandle = kNoMidiHandle;
      ShowMidiError("midiTHRU_Open", opened);
      return;
    }
    state_.MidiInHandle = handle;
    const MidiResult connected = service().connect(state_.MidiInHandle, state_.MidiOutHandle);
    if (connected != kMidiOk) ShowMidiError("midiConnect", connected);
    service().startIn(state_.MidiInHandle);
    return;
  }
  if (state_.MidiInHandle == kNoMidiHandle) return;
  service().stopIn(state_.MidiInHandle);
  if (state_.MidiOutHandle != kNoMidiHandle) {
    const MidiResult result = service().disconnect(state_.MidiInHandle, state_.MidiOutHandle);
    if (result != kMidiOk) ShowMidiError("midiDisconnect", result);
  }
  const MidiResult closed = service().closeIn(state_.MidiInHandle);
  state_.MidiInHandle = kNoMidiHandle;
  if (closed != kMidiOk) ShowMidiError("midiTHRU_Close", closed);
}

// A note or value outside 0..127, or a channel outside 0..15, would spill into the next byte
// of the message and corrupt it; such a message is not sent.
void MidiLink::SendNoteOn(int note, int velocity) {
  if (!channelValid() || !isDataByte(note) || !isDataByte(velocity)) return;
  hand(noteOn(state_.MidiChannel, note, velocity));
}

void MidiLink::SendControlChange(int controller, int value) {
  if (!channelValid() || !isDataByte(controller) || !isDataByte(value)) return;
  hand(controlChange(state_.MidiChannel, controller, value));
}

void MidiLink::SendControlChange(int controller, std::string_view text) {
  if (text.empty()) return;
  const auto value = wholeReading(text);
  if (!value || !isDataByte(static_cast<int>(std::clamp<std::int64_t>(*value, -1, 128)))) return;
  SendControlChange(controller, static_cast<int>(*value));
}

void MidiLink::SendPanic() {
  if (!channelValid() || sweepStillQueued()) return;
  MidiResult last = kMidiOk;
  for (int pass = 0; pass < 16; ++pass)
    for (int note = 1; note <= 127; ++note)
      last = hand(noteOn(state_.MidiChannel, note, 0));
  if (last == kMidiOk) takenSinceSweep_ = 0;
}

bool MidiLink::sweepStillQueued() {
  if (!takenSinceSweep_) return false;
  if (service().pendingMessages() > *takenSinceSweep_) return true;
  takenSinceSweep_.reset();
  return false;
}

void MidiLink::sendRaw(std::uint32_t message) { hand(message); }

void MidiLink::SendProgramChange(int program) {
  if (!channelValid() || !isDataByte(program)) return;
  hand(programChange(state_.MidiChannel, program));
}

MidiResult MidiLink::follow(int device, MidiReceiver& receiver) {
  stopFollowing();
  const MidiResult result = service().followIn(device, receiver);
  if (result == kMidiOk) receiver_ = &receiver;
  return result;
}

void MidiLink::stopFollowing() {
  if (!receiver_) return;
  service().stopFollowing();
  receiver_ = nullptr;
}

MidiResult MidiLink::hand(std::uint32_t message) {
  const MidiResult result = service().sendShort(state_.MidiOutHandle, message);
  if (result == kMidiOk && takenSinceSweep_) ++*takenSinceSweep_;
  if (listener_) listener_(message, result);
  return result;
}

}  // namespace rotavox
