#pragma once

#include <QMainWindow>
#include <QPointer>

#include "ui/common/AppContext.h"

class QAction;
class QPushButton;

namespace rotavox {

class AboutBox;
class EditActions;
class EditorPanel;
class MidiMonitor;
class FileDialog;
class Instrument;
class MidiSettingsDialog;
class PlayControls;
class ProgramEnding;
class SoundBrowser;

// F_Rotavox: the editor window with its menus, the Panic and Init buttons, and the panel.
class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Start-up: state to its start values, title, the MIDI settings dialog, graph anchors.
  void Form_Load();

  void Menu_OpenSound_Click();
  void Menu_SaveSound_Click();
  void Menu_Quit_Click();
  void Menu_InitW_Click();
  void Menu_Panic_Click();
  void Menu_Sequenzer_Click();
  void Menu_StartSequenzer_Click();
  void Menu_Midisettings_Click();
  void Menu_About_Click();
  void Panic_Click();
  void InitSnd_Click();

  EditorPanel* panel() const { return panel_; }
  EditActions* editActions() const { return edit_; }
  MidiMonitor* monitor() const { return monitor_; }
  MidiSettingsDialog* midiSettings() const;
  AppContext& context() { return ctx_; }
  ProgramEnding* ending() const { return ending_; }
  SoundBrowser* browser() const { return browser_; }
  Instrument* instrument() const { return instrument_; }
  // The title: the version, the program the instrument plays, and whether the panel compares.
  void refreshTitle();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void showFileDialog();
  void showMidiSettings();

  AppContext& ctx_;
  EditorPanel* panel_;
  QPushButton* Panic_;
  QPushButton* InitSnd_;
  QAction* Menu_StartSequenzer_ = nullptr;
  QPointer<MidiSettingsDialog> midiSettings_;
  QPointer<AboutBox> about_;
  PlayControls* play_ = nullptr;
  EditActions* edit_ = nullptr;
  MidiMonitor* monitor_ = nullptr;
  QPointer<FileDialog> fileDialog_;
  ProgramEnding* ending_ = nullptr;
  SoundBrowser* browser_ = nullptr;
  Instrument* instrument_ = nullptr;
};

// "Rotavox v0.2.0", from the build's version numbers.
QString windowTitleText();

}  // namespace rotavox
