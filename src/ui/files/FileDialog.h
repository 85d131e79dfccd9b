#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "core/files/SoundFile.h"
#include "platform/fs/FileSystemView.h"
#include "ui/common/AppContext.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace rotavox {

// F_FileIO: picks drive, folder and name of a sound file, shows the full path, and saves the
// main window's sound to it or loads it from there, by FileDialogMode. Modeless; it deletes
// itself when closed, and the next opening runs its start-up again.
class FileDialog : public QWidget {
  Q_OBJECT
 public:
  // `sound` holds the value controls the sound is saved from and loaded into. Without a file
  // system view the machine's own is used.
  FileDialog(AppContext& ctx, SoundControls& sound, QWidget* parent = nullptr,
             std::unique_ptr<FileSystemView> fs = nullptr);
  ~FileDialog() override;

  // Start-up: captions by the mode, then the remembered folder, then DialogStartDrive.
  void Form_Load();

  void Drive1_Change();
  void Dir1_Change();
  void File1_Click(QListWidgetItem* item);
  void TextFilename_Change();
  void LabelPath_Change();
  void C_File_Click();
  void Command1_Click();

  // The main window has closed: its panel is no longer shown, so the action button loads
  // nothing into it (and says so); saving still saves the sound it held.
  void soundPanelClosed();

  // Both report their own errors; true when the dialog is to close.
  bool SaveSoundFile(const std::string& path);
  bool LoadSoundFile(const std::string& path);

  // Paths and names here are the file system's own bytes, which need not be UTF-8; the lists
  // and LabelPath show them readably (readableName) and keep the bytes beside.

  // The folder the folder list shows.
  const std::string& dir1Path() const { return dir1Path_; }
  // Sets the folder list's folder; its change handler runs when the folder changes. Fails,
  // leaving the list as it was, when the folder cannot be read.
  FileErrorCode setDir1Path(const std::string& path);
  // Picks a drive (a mount point) in the drive list; false when it is not listed.
  bool setDrive(const std::string& drive);
  // The path that LabelPath shows and the action button uses.
  const std::string& labelPath() const { return labelPath_; }

  QComboBox* Drive1() const { return Drive1_; }
  QListWidget* Dir1() const { return Dir1_; }
  QListWidget* File1() const { return File1_; }
  QLineEdit* TextFilename() const { return TextFilename_; }
  QPushButton* C_File() const { return C_File_; }
  QPushButton* Command1() const { return Command1_; }
  QLabel* LabelPath() const { return LabelPath_; }

 signals:
  // The folder list moved to another folder (the one LastSoundFolder now holds), its bytes.
  void soundFolderShown(const QByteArray& folder);

 private:
  void fillFolderList();
  FileErrorCode fillFileList();
  void applyPathRule();
  std::string currentDrive() const;
  std::string nameBytes() const;
  void showInvalidSelection(FileErrorCode error);
  void showFileError(const std::string& path, const SoundFileOutcome& outcome);
  void Dir1_Activated(QListWidgetItem* item);

  AppContext& ctx_;
  std::unique_ptr<FileSystemView> fs_;
  SoundControls& controls_;
  bool soundPanelClosed_ = false;
  std::vector<std::string> drives_;
  std::map<std::string, std::string> driveFolders_;  // the folder each drive was last shown in
  std::string dir1Path_;
  std::string labelPath_;
  // The file last clicked in the list: its name's bytes, and how the name field shows them.
  std::string clickedName_;
  QString clickedNameShown_;

  QComboBox* Drive1_;
  QListWidget* Dir1_;
  QListWidget* File1_;
  QLineEdit* TextFilename_;
  QPushButton* C_File_;
  QPushButton* Command1_;
  QLabel* LabelPath_;
};

}  // namespace rotavox
