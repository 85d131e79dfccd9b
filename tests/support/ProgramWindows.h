#pragma once

// The program's windows over a MIDI service, as Program builds them: recorded message boxes,
// the MIDI link, the program-wide state and the main window. The window tests on memory ports,
// on JACK and on the ALSA sequencer share it. Needs the widgets (rotavox_ui) and an application.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <string>

#include "core/midi/MidiLink.h"
#include "support/RecordingPresenter.h"
#include "ui/common/AppContext.h"
#include "ui/editor/MainWindow.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox::test {

struct ProgramWindows {
  RecordingPresenter boxes;
  MidiLink link;
  AppContext ctx{link, boxes, {}, {}, {}};
  MainWindow window{ctx};

  explicit ProgramWindows(MidiService& service) : link(service, boxes) {}
  explicit ProgramWindows(MidiServiceHolder& services) : link(services, boxes) {}

  // The main window's start-up: the MIDI settings dialog stands open on top of it.
  void start() {
    window.Form_Load();
    window.show();
  }

  // In the open settings dialog: chooses the output port, and the input port unless none is
  // given, shown under these names, and presses Close.
  void chooseAndClose(const std::string& out, const std::string& in = {}) {
    MidiSettingsDialog* dialog = window.midiSettings();
    ASSERT_NE(dialog, nullptr) << "the settings dialog is not open";
    for (const auto& [list, name] : {std::pair{"AuswahlMIDIPort", out}, std::pair{"AuswahlMIDIinPort", in}}) {
      if (name.empty()) continue;
      auto* combo = dialog->findChild<QComboBox*>(list);
      const int at = combo->findText(QString::fromStdString(name));
      ASSERT_GE(at, 0) << name << " is not in the list " << list;
      combo->setCurrentIndex(at);
    }
    pressClose();
  }

  // Presses the settings dialog's Close with what it shows chosen.
  void pressClose() {
    QPointer<MidiSettingsDialog> dialog = window.midiSettings();
    ASSERT_NE(dialog, nullptr) << "the settings dialog is not open";
    QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << "the dialog stayed open";
  }
};

}  // namespace rotavox::test
