#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <map>
#include <memory>

#include "TestSupport.h"
#include "support/MapSoundControls.h"
#include "core/files/PathRule.h"
#include "platform/fs/FileSystemView.h"
#include "ui/common/Twips.h"
#include "ui/files/FileDialog.h"

namespace rotavox {
namespace {

// A small made-up file system: three drives, the program started in /home/ann.
class FakeFileSystem : public FileSystemView {
 public:
  std::vector<std::string> driveList{"/", "/home", "/media/usb"};
  std::string cwd = "/home/ann";
  std::map<std::string, std::vector<std::string>> subfolders{
      {"/", {"home", "media", "tmp"}}, {"/home", {"ann"}},         {"/home/ann", {"pads", "sounds"}},
      {"/home/ann/sounds", {}},        {"/home/ann/pads", {}},     {"/tmp", {}},
      {"/media", {"usb"}},             {"/media/usb", {"banks"}}, {"/media/usb/banks", {}},
  };
  std::map<std::string, std::vector<std::string>> fileNames{
      {"/home/ann/sounds", {"bass.rvs", "lead.rvs", "notes.txt"}}};
  std::map<std::string, FileErrorCode> broken;  // folders that cannot be read

  std::vector<std::string> drives() override { return driveList; }
  std::string currentFolder() override { return cwd; }
  FolderListing folders(const std::string& path) override {
    if (broken.count(path)) return {broken[path], {}};
    const auto it = subfolders.find(path);
    if (it == subfolders.end()) return {FileErrorCode::PathNotFound, {}};
    return {FileErrorCode::None, it->second};
  }
  FolderListing files(const std::string& path, std::string_view pattern) override {
    if (broken.count(path)) return {broken[path], {}};
    FolderListing listing;
    for (const std::string& name : fileNames[path])
      if (matchesPattern(name, pattern)) listing.names.push_back(name);
    return listing;
  }
};

struct FileDialogTest : ::testing::Test {
  test::MidiFixture f;
  test::MapSoundControls sound;  // these tests never get as far as the sound
  FakeFileSystem model;
  QPointer<FileDialog> dialog;

  ~FileDialogTest() override { delete dialog.data(); }

  FileDialog* open(const std::string& mode) {
    f.ctx.files.FileDialogMode = mode;
    dialog = new FileDialog(f.ctx, sound, nullptr, std::make_unique<FakeFileSystem>(model));
    dialog->Form_Load();
    dialog->show();
    return dialog;
  }
  static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  QListWidgetItem* folderItem(const std::string& path) {
    for (int i = 0; i < dialog->Dir1()->count(); ++i)
      if (dialog->Dir1()->item(i)->data(Qt::UserRole).toByteArray() == QByteArray::fromStdString(path))
        return dialog->Dir1()->item(i);
    return nullptr;
  }
  // A double click on the folder list's entry for `path`, as the user moves into a folder.
  void enterFolder(const std::string& path) {
    QListWidgetItem* item = folderItem(path);
    ASSERT_NE(item, nullptr) << path;
    QListWidget* list = dialog->Dir1();
    // What a real double click delivers: press, release, double click, release.
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  }
  void typeName(const QString& name) {
    dialog->TextFilename()->clear();
    QTest::keyClicks(dialog->TextFilename(), name);
  }
  void chooseDrive(const QString& drive) { dialog->Drive1()->setCurrentIndex(dialog->Drive1()->findText(drive)); }
  QString label() const { return dialog->LabelPath()->text(); }
};

TEST_F(FileDialogTest, StartUpSetsCaptionsByModeAndShowsTheStartFolder) {
  struct Case {
    std::string mode;
    QString caption, button;
  };
  for (const Case& c : {Case{"Open", "Open:", "&Load file"}, Case{"Save", "Save:", "&Save file"},
                        Case{"", "Open:", "&Load file"}, Case{"save", "Open:", "&Load file"}}) {
    f.ctx.files.FileDialogMode = c.mode;
    FileDialog fresh(f.ctx, sound, nullptr, std::make_unique<FakeFileSystem>(model));
    EXPECT_EQ(fresh.windowTitle(), "File");
    EXPECT_EQ(fresh.C_File()->text(), "-");
    fresh.Form_Load();
    EXPECT_EQ(fresh.windowTitle(), c.caption) << c.mode;
    EXPECT_EQ(fresh.C_File()->text(), c.button) << c.mode;
    EXPECT_EQ(fresh.LabelPath()->text(), "");
    EXPECT_EQ(fresh.TextFilename()->text(), "*.rvs");
    EXPECT_EQ(fresh.TextFilename()->toolTip(), "Enter a name for your sound filename");
    EXPECT_EQ(fresh.Command1()->text(), "&Exit");
    EXPECT_EQ(fresh.Drive1()->currentText(), "/home");
    EXPECT_EQ(fresh.dir1Path(), "/home/ann");
    EXPECT_EQ(fresh.Dir1()->count(), 4);  // "/home", "ann", then "pads" and "sounds"
    EXPECT_EQ(fresh.File1()->count(), 0);
    EXPECT_EQ(f.ctx.files.DialogStartDrive, "/home");
    EXPECT_EQ(f.ctx.files.LastSoundFolder, "?");
  }
  EXPECT_TRUE(f.presenter.boxes.empty());
  EXPECT_TRUE(f.service.sent.empty());
}

TEST_F(FileDialogTest, ControlsStandAtTheirPlaces) {
  open("Open");
  EXPECT_EQ(dialog->size(), QSize(twips(5880), twips(4845)));
  EXPECT_EQ(dialog->Drive1()->geometry(), twipRect(375, 435, 3400, 315));
  EXPECT_EQ(dialog->Dir1()->geometry(), twipRect(375, 840, 3400, 1890));
  EXPECT_EQ(dialog->File1()->geometry(), twipRect(375, 2790, 3400, 1065));
  EXPECT_EQ(dialog->TextFilename()->geometry(), twipRect(375, 4095, 3400, 330));
  EXPECT_EQ(dialog->C_File()->geometry(), twipRect(4140, 3000, 1350, 555));
  EXPECT_EQ(dialog->Command1()->geometry(), twipRect(4125, 3885, 1350, 555));
  EXPECT_EQ(dialog->LabelPath()->geometry(), twipRect(360, 4485, 5130, 270));
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_FALSE(dialog->isModal());
}

TEST_F(FileDialogTest, PathRuleFollowsFolderAndName) {
  open("Open");
  enterFolder("/home/ann/sounds");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann/sounds");
  EXPECT_EQ(label(), "/home/ann/sounds/*.rvs");
  EXPECT_EQ(dialog->windowTitle(), "Open /home/ann/sounds/*.rvs");
  EXPECT_EQ(f.ctx.files.LastSoundFolder, "/home/ann/sounds");
  ASSERT_EQ(dialog->File1()->count(), 2);
  EXPECT_EQ(dialog->File1()->item(1)->text(), "lead.rvs");

  const std::vector<std::pair<QString, QString>> cases{
      {"bass", "/home/ann/sounds/bass.rvs"},
      {"bass.rvs", "/home/ann/sounds/bass.rvs"},
      {"bass.RVS", "/home/ann/sounds/bass.RVS.rvs"},
      {"my pad", "/home/ann/sounds/my pad.rvs"},
  };
  for (const auto& [name, path] : cases) {
    typeName(name);
    EXPECT_EQ(label(), path) << name.toStdString();
    EXPECT_EQ(dialog->windowTitle(), "Open " + path);
  }
}

TEST_F(FileDialogTest, RootFolderGetsNoSecondSeparator) {
  open("Save");
  chooseDrive("/");
  EXPECT_EQ(dialog->dir1Path(), "/");
  EXPECT_EQ(label(), "/*.rvs");
  typeName("bass");
  EXPECT_EQ(label(), "/bass.rvs");
  EXPECT_EQ(dialog->windowTitle(), "Save /bass.rvs");
}

TEST_F(FileDialogTest, ClickingAFileFillsTheNameAndThePath) {
  open("Open");
  enterFolder("/home/ann/sounds");
  QListWidget* files = dialog->File1();
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(1)).center());
  EXPECT_EQ(dialog->TextFilename()->text(), "lead.rvs");
  EXPECT_EQ(label(), "/home/ann/sounds/lead.rvs");
  EXPECT_EQ(dialog->windowTitle(), "Open /home/ann/sounds/lead.rvs");
}

TEST_F(FileDialogTest, DriveListMovesTheFolderListAndRemembersEachDrivesFolder) {
  open("Open");
  enterFolder("/home/ann/pads");
  chooseDrive("/media/usb");
  EXPECT_EQ(dialog->dir1Path(), "/media/usb");
  EXPECT_EQ(label(), "/media/usb/*.rvs");
  enterFolder("/media/usb/banks");
  chooseDrive("/home");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann/pads");
  chooseDrive("/media/usb");
  EXPECT_EQ(dialog->dir1Path(), "/media/usb/banks");
  EXPECT_TRUE(f.presenter.boxes.empty());
}

TEST_F(FileDialogTest, UnreadableDriveIsReportedAndTheStartDriveComesBack) {
  model.broken["/media/usb"] = FileErrorCode::PermissionDenied;
  open("Open");
  chooseDrive("/");  // another drive in between
  ASSERT_EQ(dialog->dir1Path(), "/");
  chooseDrive("/media/usb");
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, "Permission denied");
  EXPECT_EQ(f.presenter.boxes[0].caption, "Invalid selection /media/usb");
  EXPECT_EQ(f.presenter.boxes[0].icon, MessageIcon::Error);
  EXPECT_EQ(f.presenter.boxes[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(dialog->Drive1()->currentText(), "/home");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann");
  EXPECT_EQ(label(), "/home/ann/*.rvs");
}

TEST_F(FileDialogTest, UnreadableFolderIsReportedAndTheListStays) {
  model.broken["/home/ann/pads"] = FileErrorCode::PermissionDenied;
  open("Open");
  enterFolder("/home/ann/pads");
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].caption, "Invalid selection /home");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann");
  EXPECT_EQ(dialog->Drive1()->currentText(), "/home");
}

TEST_F(FileDialogTest, FirstOpeningWithAnEmptyPathFailsWithTheGeneralMessage) {
  for (const char* mode : {"Open", "Save"}) {
    f.presenter.boxes.clear();
    open(mode);
    QTest::mouseClick(dialog->C_File(), Qt::LeftButton);
    ASSERT_EQ(f.presenter.boxes.size(), 1u) << mode;
    EXPECT_EQ(f.presenter.boxes[0].caption, "Error writing/reading file: ");
    EXPECT_EQ(f.presenter.boxes[0].text, " 1: Bad file name");
    EXPECT_EQ(f.presenter.boxes[0].icon, MessageIcon::Error);
    flushDeletes();
    ASSERT_TRUE(dialog) << "stays open";
    EXPECT_TRUE(dialog->isVisible());
    delete dialog.data();
  }
}

TEST_F(FileDialogTest, ReopeningStartsInTheRememberedFolder) {
  open("Open");
  enterFolder("/home/ann/sounds");
  QTest::mouseClick(dialog->Command1(), Qt::LeftButton);
  flushDeletes();
  ASSERT_FALSE(dialog) << "Exit closes and destroys the dialog";

  open("Save");
  EXPECT_EQ(dialog->Drive1()->currentText(), "/home");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann/sounds");
  EXPECT_EQ(dialog->File1()->count(), 2);
  EXPECT_EQ(label(), "/home/ann/sounds/*.rvs");
  EXPECT_EQ(dialog->windowTitle(), "Save /home/ann/sounds/*.rvs");
  EXPECT_EQ(f.ctx.files.DialogStartDrive, "/home");
  delete dialog.data();

  // On another drive the drive list moves first, then the folder list.
  f.ctx.files.LastSoundFolder = "/media/usb/banks";
  open("Open");
  EXPECT_EQ(dialog->Drive1()->currentText(), "/media/usb");
  EXPECT_EQ(dialog->dir1Path(), "/media/usb/banks");
  EXPECT_EQ(f.ctx.files.DialogStartDrive, "/media/usb");
  EXPECT_EQ(f.ctx.files.LastSoundFolder, "/media/usb/banks");
  delete dialog.data();

  // A new run starts in the program's folder.
  f.ctx.files.LastSoundFolder = "?";
  open("Open");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann");
  EXPECT_TRUE(f.presenter.boxes.empty());
}

TEST_F(FileDialogTest, RememberedFolderThatIsGoneIsReported) {
  f.ctx.files.LastSoundFolder = "/home/ann/deleted";
  open("Open");
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].caption, "Invalid selection /home");
  EXPECT_EQ(f.presenter.boxes[0].text, "Path not found");
  EXPECT_EQ(dialog->dir1Path(), "/home/ann");
}

TEST_F(FileDialogTest, ModeChangedWhileOpenRetitlesAtTheNextPathChange) {
  open("Open");
  f.ctx.files.FileDialogMode = "Save";
  typeName("x");
  EXPECT_EQ(dialog->windowTitle(), "Save /home/ann/x.rvs");
}

// Names are bytes: two files whose names read alike each give their own path, and a drive and
// folder whose names are not UTF-8 are reached under their own bytes.
TEST_F(FileDialogTest, ListedNamesKeepTheirOwnBytes) {
  const std::string usb = "/media/Kl\xe4nge", bank = usb + "/B\xe4sse";
  model.driveList.push_back(usb);
  model.subfolders["/media"].push_back("Kl\xe4nge");
  model.subfolders[usb] = {"B\xe4sse"};
  model.subfolders[bank] = {};
  model.fileNames[bank] = {"Kl\xc3\xa4nge.rvs", "Kl\xe4nge.rvs"};
  open("Save");
  chooseDrive(QString::fromUtf8("/media/Kl\u00e4nge"));
  EXPECT_EQ(dialog->dir1Path(), usb);
  ASSERT_NE(folderItem(bank), nullptr);
  EXPECT_EQ(folderItem(bank)->text().trimmed().toStdString(), "B\u00e4sse");
  enterFolder(bank);
  ASSERT_EQ(dialog->dir1Path(), bank);
  EXPECT_EQ(f.ctx.files.LastSoundFolder, bank);

  QListWidget* files = dialog->File1();
  ASSERT_EQ(files->count(), 2);
  EXPECT_EQ(files->item(0)->text(), files->item(1)->text()) << "both read Kl\u00e4nge.rvs";
  auto click = [&](int row) {
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(row)).center());
  };
  const QString shownPath = QString::fromUtf8("/media/Kl\u00e4nge/B\u00e4sse/Kl\u00e4nge.rvs");
  for (int row : {1, 0, 1}) {
    click(row);
    EXPECT_EQ(dialog->labelPath(), bank + "/" + model.fileNames[bank][static_cast<std::size_t>(row)]) << row;
    EXPECT_EQ(label().toStdString(), shownPath.toStdString());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Save " + shownPath.toStdString());
  }
  // An edited name is the text typed, in UTF-8.
  QTest::keyClicks(dialog->TextFilename(), "2");
  EXPECT_EQ(dialog->labelPath(), bank + "/Kl\xc3\xa4nge.rvs2.rvs");
  EXPECT_TRUE(f.presenter.boxes.empty());
}

// Renders the dialog in both modes for a look, on the real file system of a made-up folder.
TEST_F(FileDialogTest, RendersBothModes) {
  char name[] = "/tmp/rotavox-look-XXXXXX";
  const std::string folder = ::mkdtemp(name);
  // Names from other systems too: Latin-1 bytes, and a tab that a paste left in a name.
  for (const char* sub : {"pads", "B\xe4sse"}) ::mkdir((folder + "/" + sub).c_str(), 0755);
  for (const char* file : {"bass.rvs", "lead.rvs", "strings.rvs", "Kl\xe4nge.rvs", "tab\tbed.rvs"})
    ::close(::open((folder + "/" + file).c_str(), O_WRONLY | O_CREAT, 0644));
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  for (const char* mode : {"Open", "Save"}) {
    f.ctx.files.FileDialogMode = mode;
    f.ctx.files.LastSoundFolder = folder;
    FileDialog look(f.ctx, sound);
    look.Form_Load();
    look.show();
    look.TextFilename()->setText("bass");
    const QImage image = look.grab().toImage();
    EXPECT_EQ(image.size(), look.size() * look.devicePixelRatio());
    const QString file = QString("%1/file-dialog-%2-x%3.png")
                             .arg(ROTAVOX_SCREENSHOT_DIR, QString(mode).toLower())
                             .arg(look.devicePixelRatio());
    EXPECT_TRUE(image.save(file)) << file.toStdString();
    EXPECT_EQ(look.windowTitle().toStdString(), std::string(mode) + " " + folder + "/bass.rvs");
  }
  // QDir cannot name the Latin-1 entries in a UTF-8 locale; the standard library takes bytes.
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace rotavox
