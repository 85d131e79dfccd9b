#include "ui/Program.h"

#include "platform/midi/ServiceChoice.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {

Program::Program()
    : services_(&openSystemMidiService), midi_(services_, presenter_), ctx_{midi_, presenter_, {}, {}, {}}, window_(ctx_) {}

Program::~Program() = default;

void Program::start() {
  window_.Form_Load();
  window_.show();
  if (MidiSettingsDialog* settings = window_.midiSettings()) settings->raise();
}

}  // namespace rotavox
