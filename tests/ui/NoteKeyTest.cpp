#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <QWindow>

#include "TestSupport.h"
#include "ui/common/Twips.h"
#include "ui/editor/MainWindow.h"
#include "ui/play/NoteKey.h"

namespace rotavox::test {
namespace {

struct KeyCase {
  const char* name;
  int note;
  int left;  // twips
};

const KeyCase kKeys[] = {
    {"NoteC1", 36, 8760}, {"NoteC2", 48, 9150}, {"NoteC3", 60, 9540}, {"NoteC4", 72, 9930}, {"NoteC5", 84, 10320},
};

Msg noteOn(int channel, int number, int velocity) { return {0x90 + channel, number, velocity}; }

struct NoteKeys : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};
  NoteKey* key(const char* name) { return child<NoteKey>(&window, name); }
};

TEST_F(NoteKeys, EveryKeyAndButtonPlaysItsNoteUntilReleased) {
  for (int channel : {0, 9, 15}) {
    fx.openOutput(channel);
    for (const KeyCase& k : kKeys) {
      for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        fx.service.clearRecords();
        NoteKey* w = key(k.name);
        ASSERT_NE(w, nullptr) << k.name;
        QTest::mousePress(w, button, Qt::ShiftModifier, QPoint(3, 50));
        EXPECT_EQ(decode(fx.service.delivered()), (std::vector<Msg>{noteOn(channel, k.note, 100)})) << k.name;
        QTest::mouseRelease(w, button, {}, QPoint(20, 5));
        EXPECT_EQ(decode(fx.service.delivered()),
                  (std::vector<Msg>{noteOn(channel, k.note, 100), noteOn(channel, k.note, 0)}))
            << k.name << " channel " << channel;
      }
    }
    fx.midi.SwitchMidiOut("close");
  }
}

// Through the window system: the release reaches the pressed key wherever the pointer is.
TEST_F(NoteKeys, ReleaseAfterLeavingTheKeyStillEndsItsNote) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  fx.openOutput();
  QWindow* w = window.windowHandle();
  NoteKey* c1 = key("NoteC1");
  NoteKey* c5 = key("NoteC5");
  const QPoint onC1 = c1->mapTo(&window, c1->rect().center());
  const QPoint onC5 = c5->mapTo(&window, c5->rect().center());
  QTest::mousePress(w, Qt::LeftButton, {}, onC1);
  QTest::mouseMove(w, onC1 + QPoint(0, -200));
  QTest::mouseMove(w, onC5);
  QTest::mouseRelease(w, Qt::LeftButton, {}, onC5);
  EXPECT_EQ(decode(fx.service.delivered()), (std::vector<Msg>{note(36, 100), note(36, 0)}));
}

// The keys sit left to right from low to high, and nothing of the panel covers them.
TEST_F(NoteKeys, SitInOneRowUncovered) {
  QWidget* panel = key("NoteC1")->parentWidget();
  int lastRight = twips(8600);
  for (const KeyCase& k : kKeys) {
    const QRect r = key(k.name)->geometry();
    EXPECT_GT(r.left(), lastRight) << k.name;
    EXPECT_EQ(r.left(), twips(k.left)) << k.name;
    lastRight = r.right();
    for (const QPoint p : {r.topLeft(), r.center(), r.bottomRight()})
      EXPECT_EQ(panel->childAt(p), key(k.name)) << k.name;
  }
}

TEST_F(NoteKeys, Screenshot) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  fx.openOutput();
  QTest::mousePress(key("NoteC3"), Qt::LeftButton);
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  const QString scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qgetenv("QT_SCALE_FACTOR") : "1";
  EXPECT_TRUE(window.grab().save(QString(ROTAVOX_SCREENSHOT_DIR) + "/main_play_x" + scale + ".png"));
  QTest::mouseRelease(key("NoteC3"), Qt::LeftButton);
  EXPECT_EQ(decode(fx.service.delivered()), (std::vector<Msg>{note(60, 100), note(60, 0)}));
}

}  // namespace
}  // namespace rotavox::test
