#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/files/BrowserRules.h"
#include "core/files/SoundControls.h"
#include "platform/fs/FileSystemView.h"
#include "ui/common/AppContext.h"

class QAction;
class QMenu;
class QSocketNotifier;
class QTimer;

namespace rotavox {

class BrowserWindow;
class FileDialog;
class FolderWatch;

// The sound browser's side that runs all the time: the folder it lists and the filter, the
// File menu's "Sound browser…", "Next sound" and "Previous sound", the loads (through the
// file dialog's load) and the note after each. The window F_Browser shows it; Next and
// Previous work without the window too. Paths and file names are the file system's bytes.
class SoundBrowser : public QObject {
  Q_OBJECT
 public:
  // Puts the three menu items before `before` in `fileMenu`; loads go into `panel`.
  SoundBrowser(AppContext& ctx, SoundControls& panel, QWidget* window, QMenu* fileMenu, QAction* before);
  ~SoundBrowser() override;

  void Menu_Browser_Click();
  void Menu_NextSound_Click();
  void Menu_PrevSound_Click();

  // What the file dialog saves from and loads into: the panel, with the browser told which
  // file the panel's sound came from.
  SoundControls& panelControls();
  // The browser's folder follows the folder list of this dialog.
  void follow(FileDialog& dialog);
  // The note sounding now, if any, is released at once: the MIDI output is about to close
  // or the program to end.
  void releaseNote();
  // The main window has closed: no note sounds on, and the window goes with the panel.
  void mainWindowClosed();

  // The folder shown: the one chosen last, else the file dialog's, else the home folder.
  const std::string& folder();
  void setFolder(const std::string& folder);
  // Why the folder could not be listed, or None.
  FileErrorCode folderError() const { return folderError_; }
  const SoundList& list() const { return list_; }
  // Counts the changes of the list itself: new names, another filter.
  std::uint64_t listVersion() const { return listVersion_; }
  void setFilter(std::string_view text);
  // The error text a file's last load ended in, or empty.
  std::string errorOf(const std::string& file) const;
  // The file the panel's sound came from, when it lies in the folder shown.
  std::string fileOnPanel();
  // The selected file: where the next and previous sound are counted from.
  const std::string& selected() const { return selected_; }
  // The selection moved here: the sound loads once the selection has rested.
  void select(const std::string& file);
  // Loads the sound at once (Enter, a double click).
  void loadNow(const std::string& file);
  bool playsNote() const { return playsNote_; }
  void setPlaysNote(bool on) { playsNote_ = on; }

  // Asks the user for another folder, starting at the given one; the standard folder chooser
  // unless tests put another in.
  using FolderChooser = std::function<std::optional<std::string>(const std::string& start)>;
  void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
  std::optional<std::string> chooseFolder();

  // The window tells when it opens and closes: the folder is watched while it is open.
  void windowOpened();
  void windowClosed();
  BrowserWindow* window() const;

 private:
  class PanelControls;

  void relist();
  void step(int direction);
  void loadPath(const std::string& path);
  void restDue();
  void soundOnPanel(std::string_view path);
  void watchNews();
  std::int64_t now() const { return clock_.elapsed(); }
  void showChanges();

  AppContext& ctx_;
  QWidget* parentWindow_;
  std::unique_ptr<PanelControls> panel_;
  std::unique_ptr<FileSystemView> fs_;
  std::string folder_;
  FileErrorCode folderError_ = FileErrorCode::None;
  SoundList list_;
  std::uint64_t listVersion_ = 0;
  std::map<std::string, std::string> errors_;  // file -> the error text of its last load
  std::string panelPath_;                      // where the panel's sound came from
  std::string selected_;
  bool playsNote_ = false;
  SelectionRest rest_;
  AuditionNote note_;
  QElapsedTimer clock_;
  QTimer* restTimer_;
  QTimer* noteTimer_;
  QTimer* relistTimer_;
  std::unique_ptr<FolderWatch> watch_;
  QSocketNotifier* watchNotifier_ = nullptr;
  QAction* next_ = nullptr;
  QAction* prev_ = nullptr;
  FolderChooser chooseFolder_;
  QPointer<BrowserWindow> window_;
};

}  // namespace rotavox
