#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "TestSupport.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiServiceHolder.h"
#include "ui/editor/MainWindow.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/monitor/MonitorWindow.h"

namespace rotavox::test {
namespace {

struct MonitorTest : ::testing::Test {
  MidiFixture fx;
  MainWindow window{fx.ctx};

  MonitorTest() { fx.openOutput(); }

  MonitorWindow* open() {
    window.findChild<QAction*>("Menu_Monitor")->trigger();
    return window.findChild<MonitorWindow*>("F_Monitor");
  }
  // The list's lines without their time, which depends on when the test ran.
  static QStringList untimed(MonitorWindow* w) {
    QStringList out;
    const QRegularExpression time("^\\d+\\.\\d{3}  ");
    for (int row = 0; row < w->model().rowCount(); ++row) {
      const QString line = w->model().line(row);
      EXPECT_TRUE(time.match(line).hasMatch()) << line.toStdString();
      out << QString(line).remove(time);
    }
    return out;
  }
};

// What was sent before the window opened is listed when it opens, newest last, with bytes and
// meaning; a send the service refused says why.
TEST_F(MonitorTest, ListsEverythingHandedToTheServiceWithItsMeaning) {
  auto* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff");
  cutoff->setText("100");
  fx.midi.SendNoteOn(60, 100);
  fx.midi.sendRaw(controlChange(0, 123, 0));
  fx.service.failures["sendShort"] = 7;
  fx.midi.SendControlChange(7, 5);
  const std::string error = fx.service.outErrorText(7);

  MonitorWindow* w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "MIDI monitor");
  EXPECT_EQ(untimed(w), (QStringList{"B0 45 64  ch 1  CC 69  Filter 1 Cutoff = 100",
                                     "90 3C 64  ch 1  Note On 60 vel 100",
                                     "B0 7B 00  ch 1  CC 123  All Notes Off",
                                     QString::fromStdString("B0 07 05  ch 1  CC 7  Main volume = 5  -- failed: " + error)}));
  EXPECT_EQ(window.findChild<QListView*>("ListMessages")->model(), &w->model());
}

TEST_F(MonitorTest, TakesNewMessagesInBatchesAndPauseHoldsTheListStill) {
  MonitorWindow* w = open();
  ASSERT_NE(w, nullptr);
  fx.midi.SendPanic();
  EXPECT_EQ(w->model().rowCount(), 0) << "nothing before the next batch";
  QTRY_COMPARE_WITH_TIMEOUT(w->model().rowCount(), 2032, 2000);

  auto* pause = window.findChild<QPushButton*>("C_Pause");
  EXPECT_EQ(pause->text(), "&Pause");
  QTest::mouseClick(pause, Qt::LeftButton);
  ASSERT_TRUE(pause->isChecked());
  fx.midi.SendNoteOn(61, 1);
  QTest::qWait(150);
  EXPECT_EQ(w->model().rowCount(), 2032) << "paused: the list stands still";
  QTest::mouseClick(pause, Qt::LeftButton);
  EXPECT_EQ(w->model().rowCount(), 2033) << "kept meanwhile, shown on release";
}

TEST_F(MonitorTest, KeepsTheLastTenThousandWhileClosedAndClearForgetsThem) {
  for (int i = 0; i < 10050; ++i) fx.midi.SendControlChange(69, i % 128);
  MonitorWindow* w = open();
  ASSERT_EQ(w->model().rowCount(), 10000);
  EXPECT_TRUE(w->model().line(0).endsWith("Filter 1 Cutoff = " + QString::number(50 % 128)));

  QTest::mouseClick(window.findChild<QPushButton*>("C_Copy"), Qt::LeftButton);
  const QStringList copied = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(copied.size(), 10000);
  EXPECT_EQ(copied.front(), w->model().line(0));
  EXPECT_EQ(copied.back(), w->model().line(9999));

  QTest::mouseClick(window.findChild<QPushButton*>("C_Clear"), Qt::LeftButton);
  EXPECT_EQ(w->model().rowCount(), 0);
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  fx.midi.SendNoteOn(62, 3);
  w = open();
  EXPECT_EQ(untimed(w), QStringList{"90 3E 03  ch 1  Note On 62 vel 3"}) << "cleared ones stay gone";
}

// A memory service whose error text says which MIDI system gave it, and may change.
struct TellingService : MemoryService {
  std::string text;
  std::string outErrorText(MidiResult) override { return text; }
};

// A failed send names the cause that the service which answered gave when it answered, also
// once the program has chosen another MIDI system; the rows are shown only afterwards.
TEST(MonitorAfterServiceChoice, AFailedSendNamesTheCauseItsOwnServiceGaveThen) {
  std::vector<TellingService*> made;
  MidiServiceHolder services([&made] {
    auto s = std::make_unique<TellingService>();
    made.push_back(s.get());
    return s;
  });
  RecordingPresenter presenter;
  MidiLink midi(services, presenter);
  AppContext ctx{midi, presenter, {}, {}, {}};
  MainWindow window(ctx);
  midi.state().MidiChannel = 0;
  services.service();  // the first choice, as the settings dialog's first load makes it
  ASSERT_EQ(made.size(), 1u);

  made[0]->text = "No MIDI system is running.";
  midi.SendControlChange(7, 1);
  made[0]->text = "Still none.";
  midi.SendControlChange(7, 2);
  made[0]->gone = true;
  midi.chooseServiceAgainIfGone();
  ASSERT_EQ(made.size(), 2u);
  made[1]->text = "The JACK server has stopped.";
  midi.SendControlChange(7, 3);

  window.findChild<QAction*>("Menu_Monitor")->trigger();
  auto* w = window.findChild<MonitorWindow*>("F_Monitor");
  ASSERT_NE(w, nullptr);
  const QStringList expected{"B0 07 01  ch 1  CC 7  Main volume = 1  -- failed: No MIDI system is running.",
                             "B0 07 02  ch 1  CC 7  Main volume = 2  -- failed: Still none.",
                             "B0 07 03  ch 1  CC 7  Main volume = 3  -- failed: The JACK server has stopped."};
  EXPECT_EQ(MonitorTest::untimed(w).join("\n").toStdString(), expected.join("\n").toStdString());
}

}  // namespace
}  // namespace rotavox::test
