#pragma once

#include <memory>

#include "core/midi/MidiLink.h"
#include "core/midi/MidiServiceHolder.h"
#include "ui/common/AppContext.h"
#include "ui/common/QtMessagePresenter.h"
#include "ui/editor/MainWindow.h"

namespace rotavox {

// The program as it runs: this desktop's MIDI system, the message boxes, the program-wide
// state and the main window. Built once by main() (and by the tools that measure or picture it).
class Program {
 public:
  Program();
  ~Program();

  // The main window's start-up, then shown with the MIDI settings dialog on top of it.
  void start();
  MainWindow& window() { return window_; }
  AppContext& context() { return ctx_; }

 private:
  MidiServiceHolder services_;
  QtMessagePresenter presenter_;
  MidiLink midi_;
  AppContext ctx_;
  MainWindow window_;
};

}  // namespace rotavox
