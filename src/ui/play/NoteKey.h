#pragma once

#include <QWidget>

#include "core/midi/MidiLink.h"

namespace rotavox {

// A white key that plays one note for as long as a mouse button is held on it: Note On with
// velocity 100 on the press, velocity 0 on the release. Qt's mouse grab delivers the release
// to the key that got the press, also when the pointer has left it.
class NoteKey : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kVelocity = 100;

  NoteKey(MidiLink& midi, int note, QWidget* parent);
  int note() const { return note_; }

  void MouseDown();
  void MouseUp();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  MidiLink& midi_;
  int note_;
  int held_ = 0;  // buttons down on the key, only for drawing it pressed
};

}  // namespace rotavox
