#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SoundSends.h"
#include "TestSupport.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/FileDialog.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace sound_file_main_window_test {

namespace fs = std::filesystem;
using test::Msg;
using test::kSoundA;
using test::kSoundB;
using test::soundFile;
using test::soundOf;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct SoundFileMainWindowTest : ::testing::Test {
  test::MidiFixture f;
  MainWindow window{f.ctx};
  fs::path dir;

  void SetUp() override {
    // The selectors join the panel in their own change; until then the file names controls
    // the window does not have.
    if (!window.findChild<QComboBox*>("ComboOSC1shape")) GTEST_SKIP() << "the panel has no selectors yet";
    char name[] = "/tmp/rotavox-main-XXXXXX";
    dir = ::mkdtemp(name);
    window.Form_Load();
    window.show();
    MidiSettingsDialog* settings = window.midiSettings();
    settings->AuswahlMIDIPort_Click(0);
    settings->Command1_Click();
    flush();
    f.ctx.files.LastSoundFolder = dir.string();
    std::ofstream(dir / "a.rvs", std::ios::binary) << soundFile(kSoundA);
    std::ofstream(dir / "b.rvs", std::ios::binary) << soundFile(kSoundB);
    f.service.clearRecords();
    f.presenter.boxes.clear();
  }
  void TearDown() override {
    if (!dir.empty()) fs::remove_all(dir);
  }

  static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  FileDialog* menu(const char* action) {
    window.findChild<QAction*>(action)->trigger();
    return window.findChild<FileDialog*>("F_FileIO");
  }
  // Presses the dialog's action button; true when the dialog closed.
  static bool press(FileDialog* dialog) {
    QPointer<FileDialog> watch(dialog);
    QTest::mouseClick(dialog->C_File(), Qt::LeftButton);
    flush();
    return watch.isNull();
  }
  bool load(const QString& name) {
    FileDialog* dialog = menu("Menu_OpenSound");
    QListWidget* files = dialog->File1();
    const QList<QListWidgetItem*> found = files->findItems(name, Qt::MatchExactly);
    if (found.size() != 1) return false;
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(found[0]).center());
    return press(dialog);
  }
  bool save(const QString& name) {
    FileDialog* dialog = menu("Menu_SaveSound");
    dialog->TextFilename()->clear();
    QTest::keyClicks(dialog->TextFilename(), name);
    return press(dialog);
  }
  std::vector<Msg> sent() const { return test::decode(f.service.delivered()); }
};

TEST_F(SoundFileMainWindowTest, SaveThenLoadRestoresThePanelAndResendsTheSoundInFileOrder) {
  ASSERT_TRUE(load("b.rvs"));
  f.service.clearRecords();
  ASSERT_TRUE(save("saved"));
  EXPECT_TRUE(sent().empty()) << "saving sends nothing";
  EXPECT_EQ(readFile(dir / "saved.rvs"), soundFile(kSoundB));

  ASSERT_TRUE(load("a.rvs"));
  f.service.clearRecords();
  ASSERT_TRUE(load("saved.rvs"));
  // Line by line, every control of B over A: each sends once, and an oscillator volume whose
  // box A had ticked sends once more as its slider unticks it.
  test::Sound shown = soundOf(kSoundA);
  EXPECT_EQ(sent(), test::sendsOfWrites(shown, soundOf(kSoundB), test::fileOrder()));
  EXPECT_TRUE(f.presenter.boxes.empty());

  // Every stored control shows B's value again: saving it gives B's file byte for byte.
  ASSERT_TRUE(save("again.rvs"));
  EXPECT_EQ(readFile(dir / "again.rvs"), soundFile(kSoundB));
}

TEST_F(SoundFileMainWindowTest, MenuWhileTheDialogIsOpenBringsItForwardAndTheButtonFollowsTheNewMode) {
  FileDialog* opened = menu("Menu_OpenSound");
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(opened->isVisible());
  EXPECT_FALSE(opened->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the main window stays usable";
  opened->TextFilename()->setText("new");
  EXPECT_EQ(opened->windowTitle().toStdString(), "Open " + (dir / "new.rvs").string());

  EXPECT_EQ(menu("Menu_SaveSound"), opened) << "no second dialog, no second start-up";
  EXPECT_EQ(opened->C_File()->text(), "&Load file");
  EXPECT_TRUE(press(opened));
  EXPECT_TRUE(fs::exists(dir / "new.rvs")) << "the button acts by the mode at the click";
}

}  // namespace sound_file_main_window_test
}  // namespace rotavox
