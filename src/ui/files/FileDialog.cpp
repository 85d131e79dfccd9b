#include "ui/files/FileDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include "core/files/PathRule.h"
#include "platform/fs/FileSystemView.h"
#include "platform/fs/Mounts.h"
#include "platform/fs/SoundFileStore.h"
#include "ui/common/Twips.h"

namespace rotavox {

namespace {

constexpr int kFolderRole = Qt::UserRole;

std::string utf8(const QString& s) { return s.toStdString(); }
QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string joinPath(const std::string& folder, const std::string& name) {
  return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + name;
}

// Folder paths are kept without a trailing separator; the root stays "/".
std::string withoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void showError(MessagePresenter& presenter, const std::string& text, const std::string& caption) {
  presenter.show(text, caption, MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace

FileDialog::FileDialog(AppContext& ctx, QWidget* soundRoot, QWidget* parent, std::unique_ptr<FileSystemView> fs)
    : QWidget(parent, Qt::Window),
      ctx_(ctx),
      fs_(fs ? std::move(fs) : std::make_unique<LocalFileSystem>()),
      controls_(soundRoot) {
  setObjectName("F_FileIO");
  setWindowTitle("File");
  setAttribute(Qt::WA_DeleteOnClose);
  setFixedSize(twips(5880), twips(4845));

  Drive1_ = placed<QComboBox>(this, "Drive1", twipRect(375, 435, 3400, 315));
  Dir1_ = placed<QListWidget>(this, "Dir1", twipRect(375, 840, 3400, 1890));
  File1_ = placed<QListWidget>(this, "File1", twipRect(375, 2790, 3400, 1065));
  TextFilename_ = placed<QLineEdit>(this, "TextFilename", twipRect(375, 4095, 3400, 330), qstr(kSoundFilePattern));
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
  for (const std::string& d : drives_) Drive1_->addItem(driveIcon, qstr(d));
  Drive1_->setCurrentIndex(Drive1_->findText(qstr(driveHolding(start, drives_))));
  if (fs_->folders(start).ok()) {
    dir1Path_ = qstr(start);
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
    setDrive(qstr(driveHolding(remembered, drives_)));
    if (const FileErrorCode error = setDir1Path(qstr(remembered)); error != FileErrorCode::None)
      showInvalidSelection(error);
  }
  ctx_.files.DialogStartDrive = utf8(Drive1_->currentText());
}

bool FileDialog::setDrive(const QString& drive) {
  const int index = Drive1_->findText(drive, Qt::MatchExactly);
  if (index < 0) return false;
  Drive1_->setCurrentIndex(index);
  return true;
}

FileErrorCode FileDialog::setDir1Path(const QString& path) {
  const std::string folder = withoutTrailingSeparator(utf8(path));
  // A folder that cannot be listed is not shown at all; the list keeps the last good one.
  const FolderListing listing = fs_->folders(folder);
  if (!listing.ok()) return listing.error;
  const bool changed = qstr(folder) != dir1Path_;
  dir1Path_ = qstr(folder);
  fillFolderList();
  if (changed) Dir1_Change();
  return FileErrorCode::None;
}

// The folder list shows the way from the drive's top folder down to the current folder, then
// the current folder's sub-folders; activating an entry moves there.
void FileDialog::fillFolderList() {
  const std::string folder = utf8(dir1Path_);
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
    auto* item = new QListWidgetItem(open, QString(static_cast<int>(depth) * 2, ' ') + qstr(label), Dir1_);
    item->setData(kFolderRole, qstr(way[depth]));
  }
  Dir1_->setCurrentRow(Dir1_->count() - 1);
  for (const std::string& name : fs_->folders(folder).names) {
    auto* item = new QListWidgetItem(closed, QString(static_cast<int>(way.size()) * 2, ' ') + qstr(name), Dir1_);
    item->setData(kFolderRole, qstr(joinPath(folder, name)));
  }
}

FileErrorCode FileDialog::fillFileList() {
  File1_->clear();
  const FolderListing listing = fs_->files(utf8(dir1Path_), kSoundFilePattern);
  for (const std::string& name : listing.names) File1_->addItem(qstr(name));
  return listing.error;
}

void FileDialog::applyPathRule() {
  const QString path = qstr(soundFilePath(utf8(dir1Path_), utf8(TextFilename_->text())));
  if (path == LabelPath_->text()) return;
  LabelPath_->setText(path);
  LabelPath_Change();
}

void FileDialog::showInvalidSelection(FileErrorCode error) {
  showError(ctx_.presenter, std::string(fileErrorDescription(error)), "Invalid selection " + utf8(Drive1_->currentText()));
}

void FileDialog::Drive1_Change() {
  const std::string drive = utf8(Drive1_->currentText());
  const auto remembered = driveFolders_.find(drive);
  const QString folder = remembered != driveFolders_.end() ? remembered->second : qstr(drive);
  if (const FileErrorCode error = setDir1Path(folder); error != FileErrorCode::None) {
    showInvalidSelection(error);
    // Back to the drive the dialog opened on; that change runs this handler for it.
    setDrive(qstr(ctx_.files.DialogStartDrive));
  }
  applyPathRule();
}

void FileDialog::Dir1_Change() {
  driveFolders_[driveHolding(utf8(dir1Path_), drives_)] = dir1Path_;
  if (const FileErrorCode error = fillFileList(); error != FileErrorCode::None) showInvalidSelection(error);
  applyPathRule();
  ctx_.files.LastSoundFolder = utf8(dir1Path_);
}

void FileDialog::Dir1_Activated(QListWidgetItem* item) {
  if (!item) return;
  if (const FileErrorCode error = setDir1Path(item->data(kFolderRole).toString()); error != FileErrorCode::None)
    showInvalidSelection(error);
}

void FileDialog::File1_Click(QListWidgetItem* item) {
  if (item) TextFilename_->setText(item->text());
}

void FileDialog::TextFilename_Change() { applyPathRule(); }

void FileDialog::LabelPath_Change() {
  setWindowTitle(qstr(ctx_.files.FileDialogMode) + " " + LabelPath_->text());
}

void FileDialog::C_File_Click() {
  // The mode is read now: the menu may have changed it while the dialog stood open.
  const std::string path = utf8(LabelPath_->text());
  const bool done = ctx_.files.FileDialogMode == "Save" ? SaveSoundFile(path) : LoadSoundFile(path);
  if (done) close();
}

void FileDialog::Command1_Click() { close(); }

void FileDialog::showFileError(const std::string& path, const SoundFileOutcome& outcome) {
  switch (outcome.kind) {
    case SoundFileOutcome::Kind::Done: return;
    case SoundFileOutcome::Kind::HeaderMismatch:
      showError(ctx_.presenter, "This betaversion reads only Rotavox format 0.2", "Error reading file");
      return;
    case SoundFileOutcome::Kind::EndOfInput:
      showError(ctx_.presenter, "File corrupt or wrong version! This betaversion reads only Rotavox format 0.2",
                "Error reading file");
      return;
    case SoundFileOutcome::Kind::Failed:
      showError(ctx_.presenter, fileErrorText(outcome.error), fileErrorTitle(path));
      return;
  }
}

bool FileDialog::SaveSoundFile(const std::string& path) {
  const SoundFileOutcome outcome = saveSoundFile(path, controls_);
  if (!outcome.ok()) {
    showFileError(path, outcome);
    return false;
  }
  fillFileList();
  return true;
}

bool FileDialog::LoadSoundFile(const std::string& path) {
  const SoundFileOutcome outcome = loadSoundFile(path, controls_);
  showFileError(path, outcome);
  // A file of another version closes the dialog like a good one; other errors leave it open
  // so that the name or folder can be corrected.
  return outcome.ok() || outcome.kind == SoundFileOutcome::Kind::HeaderMismatch;
}

}  // namespace rotavox
