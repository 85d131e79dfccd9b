#include "ui/files/FileDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include "core/files/PathRule.h"
#include "core/files/SoundFileMessages.h"
#include "platform/fs/FileSystemView.h"
#include "platform/fs/Mounts.h"
#include "platform/fs/SoundFileStore.h"
#include "platform/fs/SoundLoad.h"
#include "ui/common/QtText.h"
#include "ui/common/Twips.h"

namespace rotavox {

namespace {

// Where the lists keep an entry's bytes: a folder's full path, a file's or a drive's name.
constexpr int kBytesRole = Qt::UserRole;

std::string utf8(const QString& s) { return s.toStdString(); }
QString shown(std::string_view bytes) { return qs(readableName(bytes)); }
QByteArray rawBytes(std::string_view s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }
std::string bytesOf(const QVariant& v) { return rotavox::bytesOf(v.toByteArray()); }

void showError(MessagePresenter& presenter, const std::string& text, const std::string& caption) {
  presenter.show(text, caption, MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace

FileDialog::FileDialog(AppContext& ctx, SoundControls& sound, QWidget* parent, std::unique_ptr<FileSystemView> fs)
    : QWidget(parent, Qt::Window),
      ctx_(ctx),
      fs_(fs ? std::move(fs) : std::make_unique<LocalFileSystem>()),
      controls_(sound) {
  setObjectName("F_FileIO");
  setWindowTitle("File");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(5880), twips(4845));

  Drive1_ = placed<QComboBox>(this, "Drive1", twipRect(375, 435, 3400, 315));
  Dir1_ = placed<QListWidget>(this, "Dir1", twipRect(375, 840, 3400, 1890));
  File1_ = placed<QListWidget>(this, "File1", twipRect(375, 2790, 3400, 1065));
  TextFilename_ = placed<QLineEdit>(this, "TextFilename", twipRect(375, 4095, 3400, 330), qs(kSoundFilePattern));
  TextFilename_->setToolTip("Enter a name for your sound filename");
  C_File_ = placed<QPushButton>(this, "C_File", twipRect(4140, 3000, 1350, 555), "-");
  Command1_ = placed<QPushButton>(this, "Command1", twipRect(4125, 3885, 1350, 555), "&Exit");
  LabelPath_ = placed<QLabel>(this, "LabelPath", twipRect(360, 4485, 5130, 270));
  LabelPath_->setTextFormat(Qt::PlainText);

  Drive1_->setAccessibleName("Drive");
  Dir1_->setAccessibleName("Folder");
  File1_->setAccessibleName("Sound files");
  TextFilename_->setAccessibleName("File name");
  setTabOrder(Drive1_, Dir1_);
  setTabOrder(Dir1_, File1_);
  setTabOrder(File1_, TextFilename_);
  setTabOrder(TextFilename_, C_File_);
  setTabOrder(C_File_, Command1_);

  // The lists start on the folder the program runs in; nothing runs until the user or the
  // start-up changes them.
  drives_ = fs_->drives();
  const std::string start = withoutTrailingSeparator(fs_->currentFolder());
  const QIcon driveIcon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  for (const std::string& d : drives_) Drive1_->addItem(driveIcon, shown(d), rawBytes(d));
  Drive1_->setCurrentIndex(Drive1_->findData(rawBytes(driveHolding(start, drives_))));
  if (fs_->folders(start).ok()) {
    dir1Path_ = start;
    driveFolders_[driveHolding(start, drives_)] = dir1Path_;
    fillFolderList();
    fillFileList();
  }

  connect(Drive1_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) Drive1_Change();
  });
  connect(Dir1_, &QListWidget::itemActivated, this, &FileDialog::Dir1_Activated);
  connect(File1_, &QListWidget::itemClicked, this, &FileDialog::File1_Click);
  connect(TextFilename_, &QLineEdit::textChanged, this, &FileDialog::TextFilename_Change);
  connect(C_File_, &QPushButton::clicked, this, &FileDialog::C_File_Click);
  connect(Command1_, &QPushButton::clicked, this, &FileDialog::Command1_Click);
}

FileDialog::~FileDialog() = default;

void FileDialog::Form_Load() {
  if (ctx_.files.FileDialogMode != "Save") {
    setWindowTitle("Open:");
    C_File_->setText("&Load file");
  } else {
    setWindowTitle("Save:");
    C_File_->setText("&Save file");
  }
  // Copied first: moving to the drive shows that drive's folder, which becomes the last
  // folder shown before the remembered one is reached.
  const std::string remembered = ctx_.files.LastSoundFolder;
  if (remembered != "?") {
    setDrive(driveHolding(remembered, drives_));
    if (const FileErrorCode error = setDir1Path(remembered); error != FileErrorCode::None)
      showInvalidSelection(error);
  }
  ctx_.files.DialogStartDrive = currentDrive();
}

std::string FileDialog::currentDrive() const { return bytesOf(Drive1_->currentData(kBytesRole)); }

bool FileDialog::setDrive(const std::string& drive) {
  const int index = Drive1_->findData(rawBytes(drive), kBytesRole);
  if (index < 0) return false;
  Drive1_->setCurrentIndex(index);
  return true;
}

FileErrorCode FileDialog::setDir1Path(const std::string& path) {
  const std::string folder = withoutTrailingSeparator(path);
  // A folder that cannot be listed is not shown at all; the list keeps the last good one.
  const FolderListing listing = fs_->folders(folder);
  if (!listing.ok()) return listing.error;
  const bool changed = folder != dir1Path_;
  dir1Path_ = folder;
  fillFolderList();
  if (changed) Dir1_Change();
  return FileErrorCode::None;
}

// The folder list shows the way from the drive's top folder down to the current folder, then
// the current folder's sub-folders; activating an entry moves there.
void FileDialog::fillFolderList() {
  const std::string& folder = dir1Path_;
  std::string top = driveHolding(folder, drives_);
  if (top.empty()) top = "/";
  std::vector<std::string> way{top};
  std::string rest = folder.size() > top.size() ? folder.substr(top.size()) : std::string();
  std::string at = top;
  std::size_t begin = 0;
  while (begin < rest.size()) {
    if (rest[begin] == '/') {
      ++begin;
      continue;
    }
    std::size_t end = rest.find('/', begin);
    if (end == std::string::npos) end = rest.size();
    at = joinPath(at, rest.substr(begin, end - begin));
    way.push_back(at);
    begin = end;
  }

  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  Dir1_->clear();
  for (std::size_t depth = 0; depth < way.size(); ++depth) {
    const std::string label = depth == 0 ? way[0] : std::string(fileNameOf(way[depth]));
    auto* item = new QListWidgetItem(open, QString(static_cast<int>(depth) * 2, ' ') + shown(label), Dir1_);
    item->setData(kBytesRole, rawBytes(way[depth]));
  }
  Dir1_->setCurrentRow(Dir1_->count() - 1);
  for (const std::string& name : fs_->folders(folder).names) {
    auto* item = new QListWidgetItem(closed, QString(static_cast<int>(way.size()) * 2, ' ') + shown(name), Dir1_);
    item->setData(kBytesRole, rawBytes(joinPath(folder, name)));
  }
}

FileErrorCode FileDialog::fillFileList() {
  File1_->clear();
  const FolderListing listing = fs_->files(dir1Path_, kSoundFilePattern);
  for (const std::string& name : listing.names) {
    auto* item = new QListWidgetItem(shown(name), File1_);
    item->setData(kBytesRole, rawBytes(name));
  }
  return listing.error;
}

// The name field's text as a file name: a clicked file's own bytes while the field still
// shows it, so that a name that is not UTF-8 is not rebuilt from how it looks.
std::string FileDialog::nameBytes() const {
  const QString text = TextFilename_->text();
  return !clickedName_.empty() && text == clickedNameShown_ ? clickedName_ : utf8(text);
}

void FileDialog::applyPathRule() {
  std::string path = soundFilePath(dir1Path_, nameBytes());
  if (path == labelPath_) return;
  labelPath_ = std::move(path);
  const QString text = shown(labelPath_);
  if (text == LabelPath_->text()) return;
  LabelPath_->setText(text);
  LabelPath_Change();
}

void FileDialog::showInvalidSelection(FileErrorCode error) {
  showError(ctx_.presenter, std::string(fileErrorDescription(error)), "Invalid selection " + utf8(Drive1_->currentText()));
}

void FileDialog::Drive1_Change() {
  const std::string drive = currentDrive();
  const auto remembered = driveFolders_.find(drive);
  const std::string folder = remembered != driveFolders_.end() ? remembered->second : drive;
  if (const FileErrorCode error = setDir1Path(folder); error != FileErrorCode::None) {
    showInvalidSelection(error);
    // Back to the drive the dialog opened on; that change runs this handler for it.
    setDrive(ctx_.files.DialogStartDrive);
  }
  applyPathRule();
}

void FileDialog::Dir1_Change() {
  driveFolders_[driveHolding(dir1Path_, drives_)] = dir1Path_;
  if (const FileErrorCode error = fillFileList(); error != FileErrorCode::None) showInvalidSelection(error);
  applyPathRule();
  ctx_.files.LastSoundFolder = dir1Path_;
  emit soundFolderShown(rawBytes(dir1Path_));
}

void FileDialog::Dir1_Activated(QListWidgetItem* item) {
  if (!item) return;
  if (const FileErrorCode error = setDir1Path(bytesOf(item->data(kBytesRole))); error != FileErrorCode::None)
    showInvalidSelection(error);
}

void FileDialog::File1_Click(QListWidgetItem* item) {
  if (!item) return;
  clickedName_ = bytesOf(item->data(kBytesRole));
  clickedNameShown_ = item->text();
  // Two names can look alike; the field then does not change, but the path must.
  if (TextFilename_->text() == item->text())
    applyPathRule();
  else
    TextFilename_->setText(item->text());
}

void FileDialog::TextFilename_Change() { applyPathRule(); }

void FileDialog::LabelPath_Change() {
  setWindowTitle(qs(ctx_.files.FileDialogMode) + " " + LabelPath_->text());
}

void FileDialog::soundPanelClosed() { soundPanelClosed_ = true; }

void FileDialog::C_File_Click() {
  // The mode is read now: the menu may have changed it while the dialog stood open.
  if (soundPanelClosed_ && ctx_.files.FileDialogMode != "Save") {
    // Saving still keeps the sound the closed window showed; a load would go nowhere.
    ctx_.presenter.show("The editor window is closed: there is no sound panel to load the sound into.",
                        "Rotavox", MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  const std::string path = labelPath_;
  const bool done = ctx_.files.FileDialogMode == "Save" ? SaveSoundFile(path) : LoadSoundFile(path);
  if (done) close();
}

void FileDialog::Command1_Click() { close(); }

void FileDialog::showFileError(const std::string& path, const SoundFileOutcome& outcome) {
  if (const auto message = soundFileMessage(readableName(path), outcome))
    showError(ctx_.presenter, message->text, message->caption);
}

bool FileDialog::SaveSoundFile(const std::string& path) {
  const SoundFileOutcome outcome = saveSoundFile(path, controls_);
  if (!outcome.ok()) {
    showFileError(path, outcome);
    return false;
  }
  fillFileList();
  controls_.soundSaved(path);
  return true;
}

bool FileDialog::LoadSoundFile(const std::string& path) {
  const SoundFileOutcome outcome = loadSoundInto(path, controls_);
  showFileError(path, outcome);
  // A file of another version closes the dialog like a good one; other errors leave it open
  // so that the name or folder can be corrected.
  return outcome.ok() || outcome.kind == SoundFileOutcome::Kind::HeaderMismatch;
}

}  // namespace rotavox
