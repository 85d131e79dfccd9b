#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
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
  // The table's rows as lines without their time, which depends on when the test ran.
  static QStringList untimed(MonitorWindow* w) {
    QStringList out;
    const QRegularExpression time("^\\d+\\.\\d{3}\t");
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
  EXPECT_EQ(untimed(w), (QStringList{"out\tB0 45 64\t1\tCC 69\tFilter 1 Cutoff = 100\t",
                                     "out\t90 3C 64\t1\tNote On 60\tvel 100\t",
                                     "out\tB0 7B 00\t1\tCC 123\tAll Notes Off\t",
                                     QString::fromStdString("out\tB0 07 05\t1\tCC 7\tMain volume = 5\t" + error)}));
  EXPECT_EQ(window.findChild<QTableView*>("ListMessages")->model(), &w->model());
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
  EXPECT_TRUE(w->model().line(0).endsWith("\tFilter 1 Cutoff = " + QString::number(50 % 128) + "\t"));

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
  EXPECT_EQ(untimed(w), QStringList{"out\t90 3E 03\t1\tNote On 62\tvel 3\t"}) << "cleared ones stay gone";
}

// A screen reader reads the monitor as a table: a column per part of a message, each headed
// by its title, each wide enough for its longest text so far.
TEST_F(MonitorTest, ReadsAsATableWithEachColumnWideEnoughForItsText) {
  fx.midi.SendControlChange(7, 5);
  MonitorWindow* w = open();
  auto* table = window.findChild<QTableView*>("ListMessages");
  ASSERT_NE(table, nullptr);
  QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(table);
  ASSERT_NE(seen->tableInterface(), nullptr);
  EXPECT_EQ(seen->role(), QAccessible::Table);
  EXPECT_EQ(seen->tableInterface()->columnCount(), 7);
  EXPECT_EQ(seen->tableInterface()->rowCount(), 1);
  QStringList titles;
  for (int c = 0; c < 7; ++c) titles << w->model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  EXPECT_EQ(titles, (QStringList{"Time", "Direction", "Bytes", "Channel", "Message", "Meaning", "Error"}));
  EXPECT_EQ(seen->tableInterface()->cellAt(0, 5)->text(QAccessible::Name), "Main volume = 5");

  auto fits = [&] {
    const QFontMetrics metrics(table->font());
    for (int row = 0; row < w->model().rowCount(); ++row)
      for (int c = 0; c < 7; ++c) {
        const QString text = w->model().index(row, c).data().toString();
        EXPECT_GE(table->columnWidth(c), metrics.horizontalAdvance(text)) << text.toStdString();
        EXPECT_GE(table->columnWidth(c), table->horizontalHeader()->sectionSizeHint(c)) << c;
      }
  };
  fits();
  // A longer meaning and a failed send's text widen their columns.
  const int meaning = table->columnWidth(5);
  fx.midi.SendControlChange(68, 9);
  fx.service.failures["sendShort"] = 7;
  fx.midi.SendControlChange(7, 6);
  w->takeBatch();
  EXPECT_GT(table->columnWidth(5), meaning);
  fits();
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
  const QStringList expected{"out\tB0 07 01\t1\tCC 7\tMain volume = 1\tNo MIDI system is running.",
                             "out\tB0 07 02\t1\tCC 7\tMain volume = 2\tStill none.",
                             "out\tB0 07 03\t1\tCC 7\tMain volume = 3\tThe JACK server has stopped."};
  EXPECT_EQ(MonitorTest::untimed(w).join("\n").toStdString(), expected.join("\n").toStdString());
}

}  // namespace
}  // namespace rotavox::test
