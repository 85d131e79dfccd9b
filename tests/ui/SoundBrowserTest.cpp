// The sound browser on real files in a temporary folder: what it lists, where it loads, what
// a file that cannot load shows, how it follows the folder, and its note.

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../support/HandWrittenSounds.h"
#include "TestSupport.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/BrowserWindow.h"
#include "ui/files/FileDialog.h"
#include "ui/files/SoundBrowser.h"

namespace rotavox {
namespace sound_browser_test {

namespace fs = std::filesystem;
using test::Msg;
using test::note;

// Root reads every file; without the two capabilities that let it, mode 000 keeps it out.
struct WithoutReadOverride {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved[2]{};
  WithoutReadOverride() {
    ::syscall(SYS_capget, &header, saved);
    __user_cap_data_struct less[2] = {saved[0], saved[1]};
    less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &header, less);
  }
  ~WithoutReadOverride() { ::syscall(SYS_capset, &header, saved); }
};

void settle(int ms = 0) {
  if (ms > 0) QTest::qWait(ms);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
// Long enough for the selection to count as rested, or for the folder watch to be heard.
void rest() { settle(static_cast<int>(SelectionRest::kRestMs) + 100); }

void writeSound(const fs::path& path, const std::vector<std::string>& lines) {
  std::ofstream(path, std::ios::binary) << test::soundFile(lines);
}

// What the file dialog's Load sends for this file into a fresh main window.
std::vector<Msg> fileDialogLoad(const fs::path& path) {
  test::MidiFixture g;
  g.openOutput();
  MainWindow w(g.ctx);
  FileDialog(g.ctx, *w.panel(), &w).LoadSoundFile(path.string());
  return test::decode(g.service.delivered());
}

struct SoundBrowserTest : ::testing::Test {
  test::MidiFixture f;
  MainWindow window{f.ctx};
  SoundBrowser& browser = *window.browser();
  fs::path dir;

  void SetUp() override {
    char name[] = "/tmp/rotavox-browser-XXXXXX";
    dir = ::mkdtemp(name);
    f.openOutput();
    for (const char* n : {"pad 10.rvs", "pad 1.rvs", "Kl\xe4nge.rvs", ".hidden.rvs"}) writeSound(dir / n, test::kSoundA);
    writeSound(dir / "pad 2.rvs", test::kSoundB);
    std::ofstream(dir / "notes.txt") << "not a sound";
    fs::create_directories(dir / "folder.rvs" / "inner.rvs");
    f.ctx.files.LastSoundFolder = dir.string();
  }
  void TearDown() override { fs::remove_all(dir); }

  BrowserWindow* open() {
    window.findChild<QAction*>("Menu_Browser")->trigger();
    return browser.window();
  }
  QListView* list() { return browser.window()->ListBrowserSounds(); }
  QModelIndex at(int row) { return list()->model()->index(row, 0); }
  std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (int r = 0; r < list()->model()->rowCount(); ++r) out.push_back(at(r).data().toString().toStdString());
    return out;
  }
  void key(Qt::Key k, int times = 1) {
    for (int i = 0; i < times; ++i) QTest::keyClick(list(), k);
  }
  std::vector<Msg> sent() {
    std::vector<Msg> out = test::decode(f.service.delivered());
    f.service.clearRecords();
    return out;
  }
};

TEST_F(SoundBrowserTest, ListsTheFolderSoundsAndLoadsWhereTheSelectionRestsAsTheFileDialogWould) {
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(browser.window()->TextBrowserFolder()->text().toStdString(), dir.string());
  EXPECT_EQ(rows(), (std::vector<std::string>{"Kl\u00e4nge", "pad 1", "pad 2", "pad 10"}));
  EXPECT_EQ(browser.window()->LabelBrowserCount()->text(), "4 sounds");

  key(Qt::Key_Down, 3);  // held: nothing loads on the way
  EXPECT_TRUE(sent().empty());
  rest();
  EXPECT_EQ(sent(), fileDialogLoad(dir / "pad 2.rvs"));
  EXPECT_EQ(rows()[2], "\u25B6 pad 2") << "the sound on the panel is marked";
  EXPECT_TRUE(at(2).data(Qt::FontRole).value<QFont>().bold());
  EXPECT_EQ(window.editActions()->history().undoCaption(), "Load pad 2.rvs");

  // The name that is not UTF-8 loads by its own bytes, at once by Enter.
  key(Qt::Key_Home);
  key(Qt::Key_Enter);
  EXPECT_FALSE(sent().empty());
  EXPECT_EQ(window.findChild<QLineEdit*>("TextVolume")->text(), "100") << "sound A is on the panel";
  rest();
  EXPECT_TRUE(sent().empty()) << "the rest after Enter loaded it again";
  EXPECT_TRUE(f.presenter.boxes.empty());
}

TEST_F(SoundBrowserTest, AFileThatCannotLoadIsMarkedInItsRowAndTheWalkGoesOn) {
  const struct {
    QString name;
    std::function<void(const fs::path&)> spoil;
    QString mark;
  } cases[] = {
      {"a unreadable", [](const fs::path& p) { fs::permissions(p, fs::perms::none); }, " 4: Permission denied"},
      {"b deleted", [](const fs::path& p) { fs::remove(p); }, " 3: File not found"},
      {"c cut", [](const fs::path& p) { std::ofstream(p, std::ios::binary) << test::soundFile({}); },
       "File corrupt or wrong version! This betaversion reads only Rotavox format 0.2"},
  };
  for (const auto& c : cases) writeSound(dir / (c.name.toStdString() + ".rvs"), test::kSoundA);
  open();
  WithoutReadOverride asAnyone;
  std::vector<std::string> marked;
  for (int i = 0; i < 3; ++i) {
    cases[i].spoil(dir / (cases[i].name.toStdString() + ".rvs"));  // while it is listed
    list()->setCurrentIndex(at(i));
    key(Qt::Key_Enter);
    marked.push_back((cases[i].name + "  \u2014 " + cases[i].mark).toStdString());
    EXPECT_EQ(rows()[i], marked.back());
    EXPECT_EQ(at(i).data(Qt::ForegroundRole).value<QColor>(), QColor(200, 0, 0));
  }
  EXPECT_TRUE(f.presenter.boxes.empty()) << "a box stopped the walk";
  rest();  // the folder watch is heard: the deleted file goes, the marks stay
  EXPECT_EQ(rows(), (std::vector<std::string>{marked[0], marked[2], "Kl\u00e4nge", "pad 1", "pad 2", "pad 10"}));
  sent();
  key(Qt::Key_Down);
  rest();
  EXPECT_EQ(sent(), fileDialogLoad(dir / "Kl\xe4nge.rvs"));
}

TEST_F(SoundBrowserTest, TheListFollowsTheFolderWhoeverChangesIt) {
  open();
  auto fileDialog = [&](const char* menu) {
    window.findChild<QAction*>(menu)->trigger();
    return window.findChild<FileDialog*>("F_FileIO");
  };
  const struct {
    const char* what;
    std::function<void()> change;
    std::vector<std::string> rows;
    QString count;
  } cases[] = {
      {"Rotavox saves",
       [&] {
         FileDialog* d = fileDialog("Menu_SaveSound");
         d->TextFilename()->setText("pad 3");
         d->C_File_Click();
       },
       {"Kl\u00e4nge", "pad 1", "pad 2", "\u25B6 pad 3", "pad 10"}, "5 sounds"},
      {"another program renames", [&] { fs::rename(dir / "pad 1.rvs", dir / "Pad 11.rvs"); },
       {"Kl\u00e4nge", "pad 2", "\u25B6 pad 3", "pad 10", "Pad 11"}, "5 sounds"},
      {"the file dialog shows another folder",
       [&] { fileDialog("Menu_OpenSound")->setDir1Path((dir / "folder.rvs").string()); }, {}, "0 sounds"},
      {"the folder shown is deleted", [&] { fs::remove_all(dir / "folder.rvs"); }, {}, "Path not found"},
      {"the user chooses the folder",
       [&] {
         browser.setFolderChooser([&](const std::string& start) {
           EXPECT_EQ(start, (dir / "folder.rvs").string());
           return std::optional<std::string>(dir.string());
         });
         QTest::mouseClick(browser.window()->CommandBrowserFolder(), Qt::LeftButton);
       },
       {"Kl\u00e4nge", "pad 2", "\u25B6 pad 3", "pad 10", "Pad 11"}, "5 sounds"},
  };
  for (const auto& c : cases) {
    c.change();
    rest();
    EXPECT_EQ(rows(), c.rows) << c.what;
    EXPECT_EQ(browser.window()->LabelBrowserCount()->text(), c.count) << c.what;
  }
  EXPECT_TRUE(f.presenter.boxes.empty());
}

TEST_F(SoundBrowserTest, NextAndPreviousStepThroughTheFilteredListWithTheBrowserClosed) {
  std::vector<std::string> file;
  for (QAction* a : window.findChild<QMenu*>("Menu_File")->actions())
    if (!a->isSeparator()) file.push_back((a->text() + " " + a->shortcut().toString()).toStdString());
  EXPECT_EQ(file, (std::vector<std::string>{"&Open sound Ctrl+O", "Save sound &as Ctrl+S", "Sound &browser\u2026 Ctrl+B",
                               "&Next sound Ctrl+PgDown", "&Previous sound Ctrl+PgUp", "&Quit "}));
  open();
  QTest::keyClicks(browser.window()->TextBrowserFilter(), "PAD");
  EXPECT_EQ(rows(), (std::vector<std::string>{"pad 1", "pad 2", "pad 10"}));
  EXPECT_EQ(browser.window()->LabelBrowserCount()->text(), "3 of 4 sounds");
  browser.window()->close();
  settle();
  const struct {
    const char* item;
    std::string onPanel;  // empty: no step, nothing sent
  } steps[] = {{"Menu_NextSound", "pad 1.rvs"}, {"Menu_NextSound", "pad 2.rvs"}, {"Menu_PrevSound", "pad 1.rvs"},
               {"Menu_PrevSound", ""}};
  for (const auto& s : steps) {
    window.findChild<QAction*>(s.item)->trigger();
    rest();
    EXPECT_EQ(sent().empty(), s.onPanel.empty()) << s.item << " to " << s.onPanel;
    if (!s.onPanel.empty()) {
      EXPECT_EQ(browser.fileOnPanel(), s.onPanel);
    }
  }
}

TEST_F(SoundBrowserTest, TheNoteFollowsTheLoadAndNeverHangs) {
  open();
  QTest::mouseClick(browser.window()->CheckBrowserNote(), Qt::LeftButton);
  browser.loadNow("pad 1.rvs");
  const std::vector<Msg> got = sent();
  ASSERT_GT(got.size(), 1u);
  EXPECT_EQ(got.back(), note(60, 100)) << "after the sound's Control Changes";

  const struct {
    const char* what;
    std::function<void()> end;
  } endings[] = {
      {"the browser closes", [&] { browser.window()->close(); }},
      {"the MIDI settings open (they close the output)", [&] { window.Menu_Midisettings_Click(); }},
      {"Quit", [&] { window.findChild<QAction*>("Menu_Quit")->trigger(); }},
      {"the main window closes", [&] { window.close(); }},
  };
  for (const auto& e : endings) {
    f.openOutput();
    browser.loadNow("pad 1.rvs");
    sent();
    e.end();
    EXPECT_EQ(sent(), std::vector<Msg>{note(60, 0)}) << e.what;
  }
}

}  // namespace sound_browser_test
}  // namespace rotavox
