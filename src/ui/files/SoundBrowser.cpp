#include "ui/files/SoundBrowser.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "core/files/PathRule.h"
#include "core/files/SoundFileMessages.h"
#include "platform/fs/FolderWatch.h"
#include "platform/fs/SoundLoad.h"
#include "ui/common/QtText.h"
#include "ui/common/ShowOrRaise.h"
#include "ui/files/BrowserWindow.h"
#include "ui/files/FileDialog.h"

namespace rotavox {

namespace {

// Changes in the folder come in bursts (a save is a create and a rename, a copy of a
// hundred files a hundred creates): the list is read again once per burst.
constexpr int kRelistDelayMs = 100;

int delayUntil(std::int64_t due, std::int64_t now) { return static_cast<int>(std::max<std::int64_t>(0, due - now)); }

}  // namespace

// The panel as the file dialog and the browser load into it: every call goes to the panel,
// and the browser hears which file the panel's sound now comes from.
class SoundBrowser::PanelControls : public SoundControls {
 public:
  PanelControls(SoundControls& panel, SoundBrowser& browser) : panel_(panel), browser_(browser) {}
  std::string shown(ValueControl control) const override { return panel_.shown(control); }
  void write(ValueControl control, std::string_view value) override { panel_.write(control, value); }
  void soundLoaded(std::string_view path, bool complete) override {
    panel_.soundLoaded(path, complete);
    // A load that stopped half-way leaves a sound on the panel that is no file's.
    browser_.soundOnPanel(complete ? path : std::string_view());
  }
  void soundSaved(std::string_view path) override {
    panel_.soundSaved(path);
    browser_.soundOnPanel(path);
  }

 private:
  SoundControls& panel_;
  SoundBrowser& browser_;
};

SoundBrowser::SoundBrowser(AppContext& ctx, SoundControls& panel, QWidget* window, QMenu* fileMenu, QAction* before)
    : QObject(window),
      ctx_(ctx),
      parentWindow_(window),
      panel_(std::make_unique<PanelControls>(panel, *this)),
      fs_(std::make_unique<LocalFileSystem>()),
      restTimer_(new QTimer(this)),
      noteTimer_(new QTimer(this)),
      relistTimer_(new QTimer(this)) {
  setObjectName("SoundBrowser");
  clock_.start();
  for (QTimer* t : {restTimer_, noteTimer_, relistTimer_}) {
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
  }
  connect(restTimer_, &QTimer::timeout, this, &SoundBrowser::restDue);
  connect(noteTimer_, &QTimer::timeout, this, [this] {
    if (const auto off = note_.releaseIfDue(now())) ctx_.midi.sendRaw(*off);
    if (const auto at = note_.releaseAt()) noteTimer_->start(delayUntil(*at, now()));
  });
  connect(relistTimer_, &QTimer::timeout, this, [this] {
    relist();
    showChanges();
  });

  auto item = [&](const char* name, const char* caption, const char* shortcut, void (SoundBrowser::*handler)()) {
    auto* a = new QAction(QString::fromUtf8(caption), fileMenu);
    a->setObjectName(name);
    a->setShortcut(QKeySequence(shortcut));
    fileMenu->insertAction(before, a);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  fileMenu->insertSeparator(before);
  item("Menu_Browser", "Sound &browser\u2026", "Ctrl+B", &SoundBrowser::Menu_Browser_Click);
  next_ = item("Menu_NextSound", "&Next sound", "Ctrl+PgDown", &SoundBrowser::Menu_NextSound_Click);
  prev_ = item("Menu_PrevSound", "&Previous sound", "Ctrl+PgUp", &SoundBrowser::Menu_PrevSound_Click);
  fileMenu->insertSeparator(before);

  chooseFolder_ = [this](const std::string& start) -> std::optional<std::string> {
    const QString chosen = QFileDialog::getExistingDirectory(window_, "Sound folder", QFile::decodeName(start.c_str()));
    if (chosen.isEmpty()) return std::nullopt;
    return bytesOf(QFile::encodeName(chosen));
  };
}

SoundBrowser::~SoundBrowser() { releaseNote(); }

SoundControls& SoundBrowser::panelControls() { return *panel_; }

BrowserWindow* SoundBrowser::window() const { return window_; }

void SoundBrowser::Menu_Browser_Click() {
  showOrRaise(window_, [this] {
    auto* w = new BrowserWindow(*this, parentWindow_);
    // The shortcuts of Next and Previous work in the browser's window too.
    w->addActions({next_, prev_});
    return w;
  });
}

void SoundBrowser::Menu_NextSound_Click() { step(+1); }

void SoundBrowser::Menu_PrevSound_Click() { step(-1); }

void SoundBrowser::follow(FileDialog& dialog) {
  connect(&dialog, &FileDialog::soundFolderShown, this, [this](const QByteArray& folder) { setFolder(bytesOf(folder)); });
}

const std::string& SoundBrowser::folder() {
  if (folder_.empty()) {
    const char* home = std::getenv("HOME");
    folder_ = withoutTrailingSeparator(ctx_.files.LastSoundFolder != "?" ? ctx_.files.LastSoundFolder
                                       : home && *home                  ? home
                                                                          : "/");
  }
  return folder_;
}

void SoundBrowser::setFolder(const std::string& chosen) {
  const std::string folder = withoutTrailingSeparator(chosen);
  if (folder == folder_) return;
  folder_ = folder;
  errors_.clear();
  selected_.clear();
  if (!window_) return;  // read when it is needed
  if (watch_) watch_->watch(folder_);
  relist();
  showChanges();
}

void SoundBrowser::relist() {
  FolderListing listing = fs_->files(folder(), kSoundFilePattern);
  folderError_ = listing.error;
  list_.setFiles(std::move(listing.names));
  ++listVersion_;
}

void SoundBrowser::setFilter(std::string_view text) {
  list_.setFilter(text);
  ++listVersion_;
  showChanges();
}

std::string SoundBrowser::errorOf(const std::string& file) const {
  const auto found = errors_.find(file);
  return found == errors_.end() ? std::string() : found->second;
}

std::string SoundBrowser::fileOnPanel() {
  return folderOf(panelPath_) == folder() ? std::string(fileNameOf(panelPath_)) : std::string();
}

std::optional<std::string> SoundBrowser::chooseFolder() { return chooseFolder_(folder()); }

void SoundBrowser::step(int direction) {
  // Without the window nothing watches the folder: its names are read now.
  if (!window_) relist();
  const SoundEntry* to = list_.step(selected_, direction);
  if (to == nullptr) return;
  select(to->file);
  showChanges();
}

void SoundBrowser::select(const std::string& file) {
  selected_ = file;
  rest_.moved(joinPath(folder(), file), now());
  restTimer_->start(static_cast<int>(SelectionRest::kRestMs));
}

void SoundBrowser::restDue() {
  if (const auto path = rest_.take(now())) loadPath(*path);
  if (const auto due = rest_.dueAt()) restTimer_->start(delayUntil(*due, now()));
}

void SoundBrowser::loadNow(const std::string& file) { loadPath(joinPath(folder(), file)); }

void SoundBrowser::loadPath(const std::string& path) {
  // News of changes made before this load must not wipe out what the load finds.
  if (watch_) watchNews();
  releaseNote();
  rest_.loaded(path);
  restTimer_->stop();
  const SoundFileOutcome outcome = loadSoundInto(path, *panel_);
  if (folderOf(path) == folder()) {
    const std::string file(fileNameOf(path));
    selected_ = file;
    // The walk goes on: what went wrong stands in the file's row, not in a box.
    if (const auto message = soundFileMessage(readableName(path), outcome))
      errors_[file] = message->text;
    else
      errors_.erase(file);
  }
  if (outcome.ok() && playsNote_) {
    for (const std::uint32_t m : note_.play(ctx_.midi.state().MidiChannel, now())) ctx_.midi.sendRaw(m);
    if (const auto at = note_.releaseAt()) noteTimer_->start(delayUntil(*at, now()));
  }
  showChanges();
}

void SoundBrowser::releaseNote() {
  noteTimer_->stop();
  if (const auto off = note_.release()) ctx_.midi.sendRaw(*off);
}

void SoundBrowser::mainWindowClosed() {
  restTimer_->stop();
  releaseNote();
  if (window_) window_->close();
}

void SoundBrowser::soundOnPanel(std::string_view path) {
  panelPath_ = path;
  // Coming back to this file needs no load: the panel has it.
  rest_.loaded(panelPath_);
  if (!path.empty() && folderOf(path) == folder()) selected_ = fileNameOf(path);
  showChanges();
}

void SoundBrowser::windowOpened() {
  watch_ = std::make_unique<FolderWatch>();
  watch_->watch(folder());
  if (watch_->fd() >= 0) {
    watchNotifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
    connect(watchNotifier_, &QSocketNotifier::activated, this, &SoundBrowser::watchNews);
  }
  relist();
}

void SoundBrowser::windowClosed() {
  // A selection the user left the window on a moment ago is not loaded behind their back.
  restTimer_->stop();
  releaseNote();
  delete watchNotifier_;
  watchNotifier_ = nullptr;
  watch_.reset();
  relistTimer_->stop();
}

void SoundBrowser::watchNews() {
  const FolderWatch::News news = watch_->take();
  if (!news.any) return;
  // A changed file may load now where it failed before.
  for (const std::string& name : news.names) errors_.erase(name);
  if (news.everything) watch_->watch(folder());
  if (!relistTimer_->isActive()) relistTimer_->start(kRelistDelayMs);
}

void SoundBrowser::showChanges() {
  if (window_) window_->refresh();
}

}  // namespace rotavox
