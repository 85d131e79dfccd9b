#pragma once

#include "core/common/MessagePresenter.h"
#include "core/editor/KnobDrag.h"
#include "core/files/FileDialogState.h"
#include "core/midi/MidiLink.h"
#include "core/play/SequencerState.h"

namespace rotavox {

// The program-wide state and services, owned by the application and handed to the windows.
struct AppContext {
  MidiLink& midi;
  MessagePresenter& presenter;
  KnobDrag knob;
  SequencerState sequencer;
  FileDialogState files;
};

}  // namespace rotavox
