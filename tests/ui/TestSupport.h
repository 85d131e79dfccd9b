#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/common/MessagePresenter.h"
#include "core/midi/MidiLink.h"
#include "support/MemoryService.h"
#include "support/RecordingPresenter.h"
#include "ui/common/AppContext.h"
#include "ui/editor/EditorPanel.h"

namespace rotavox::test {

// A memory MIDI service with one output and one input port, the link and the program state.
struct MidiFixture {
  MemoryService service;
  RecordingPresenter presenter;
  MidiLink midi{service, presenter};
  AppContext ctx{midi, presenter, {}, {}, {}};

  MidiFixture() {
    service.outPorts.push_back({0x41, 0x22, 0x0500, "Test synth", kTechOutputPort, {}});
    service.inPorts.push_back({0, 0, 0, "Test keyboard", {}});
  }

  // Channel 0 with the first output port open, records cleared.
  void openOutput(int channel = 0) {
    midi.state().MidiOutDevice = 0;
    midi.state().MidiChannel = channel;
    midi.SwitchMidiOut("open");
    service.clearRecords();
  }
};

// The messages as (status, data1, data2) triples, for readable failure output.
struct Msg {
  int status, data1, data2;
  bool operator==(const Msg&) const = default;
};
inline std::vector<Msg> decode(const std::vector<std::uint32_t>& messages) {
  std::vector<Msg> out;
  for (std::uint32_t m : messages)
    out.push_back({static_cast<int>(m & 0xFF), static_cast<int>((m >> 8) & 0xFF), static_cast<int>((m >> 16) & 0xFF)});
  return out;
}
inline void PrintTo(const Msg& m, std::ostream* os) { *os << "{0x" << std::hex << m.status << std::dec << ", " << m.data1 << ", " << m.data2 << "}"; }

// Control Change triples on channel 0.
inline Msg cc(int controller, int value) { return {0xB0, controller, value}; }
inline Msg note(int number, int velocity) { return {0x90, number, velocity}; }

template <typename T>
T* child(QWidget* root, const char* name) {
  return root->findChild<T*>(QString::fromLatin1(name));
}

// The editor panel on a memory MIDI port with channel 0 open; `sent()` gives what reached the
// port since the last `clear()`.
struct PanelFixture {
  MidiFixture fx;
  EditorPanel panel{fx.ctx};

  PanelFixture() { fx.openOutput(); }

  template <typename T = QWidget>
  T* get(const char* name) {
    T* w = panel.findChild<T*>(QString::fromLatin1(name));
    if (!w) ADD_FAILURE() << "no control named " << name;
    return w;
  }
  std::vector<Msg> sent() const { return decode(fx.service.delivered()); }
  void clear() {
    fx.service.clearRecords();
    fx.presenter.boxes.clear();
  }
};

// A mouse move with the left button held, as Qt delivers it to the widget that got the press.
inline void moveHeld(QWidget* w, QPointF pos) {
  QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

}  // namespace rotavox::test
