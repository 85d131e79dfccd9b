#include "ui/editor/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>

#include "core/editor/CompareSwitch.h"
#include "core/midi/InstrumentProgram.h"
#include "rotavox/version.h"
#include "ui/about/AboutBox.h"
#include "ui/common/ShowOrRaise.h"
#include "ui/common/Twips.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/EditorPanel.h"
#include "ui/files/FileDialog.h"
#include "ui/files/SoundBrowser.h"
#include "ui/midi/Instrument.h"
#include "ui/midi/MidiSettingsDialog.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/ProgramEnding.h"
#include "ui/play/PlayControls.h"

namespace rotavox {

QString windowTitleText() {
  return QString("Rotavox v%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

namespace {

// Runs a dialog command under the busy pointer.
template <typename F>
void withBusyPointer(F&& f) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  f();
  QApplication::restoreOverrideCursor();
}

}  // namespace

MainWindow::MainWindow(AppContext& ctx, QWidget* parent) : QMainWindow(parent), ctx_(ctx) {
  setObjectName("F_Rotavox");
  panel_ = new EditorPanel(ctx_, this);
  setCentralWidget(panel_);

  Panic_ = new QPushButton("&Panic", panel_);
  Panic_->setObjectName("Panic");
  Panic_->setToolTip("Stops 'hanging' notes");
  Panic_->setGeometry(twipRect(10860, 5805, 1000, 450));
  connect(Panic_, &QPushButton::clicked, this, &MainWindow::Panic_Click);

  InitSnd_ = new QPushButton("Init sound", panel_);
  InitSnd_->setObjectName("InitSnd");
  InitSnd_->setToolTip(
      "Resets parameters to the microQ init sound! Only the parameters displayed on this form are changed - it "
      "is not a complete sound init!");
  InitSnd_->setGeometry(twipRect(10860, 6330, 1000, 450));
  connect(InitSnd_, &QPushButton::clicked, this, &MainWindow::InitSnd_Click);

  buildMenus();
  // Additions beside the menus of old: "&Edit" before "&Midi", the monitor at the end of it.
  auto* midiMenu = menuBar()->findChild<QMenu*>("Menu_Options");
  edit_ = new EditActions(ctx_, *panel_, *this, midiMenu);
  monitor_ = new MidiMonitor(ctx_, midiMenu, this);
  // After the monitor: following the instrument and choosing its programs.
  instrument_ = new Instrument(ctx_, *panel_, *monitor_, midiMenu, this);
  connect(instrument_, &Instrument::programChanged, this, &MainWindow::refreshTitle);
  connect(edit_, &EditActions::comparingChanged, this, &MainWindow::refreshTitle);
  play_ = installPlayControls(ctx_, panel_, Menu_StartSequenzer_, this);
  ending_ = new ProgramEnding(ctx_.midi, *this);
  // The sound browser's items join the File menu before Quit.
  auto* fileMenu = menuBar()->findChild<QMenu*>("Menu_File");
  browser_ = new SoundBrowser(ctx_, *panel_, this, fileMenu, fileMenu->findChild<QAction*>("Menu_Quit"));
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  auto item = [this](QMenu* menu, const char* name, const char* caption, QKeySequence shortcut,
                     void (MainWindow::*handler)()) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    if (handler) connect(a, &QAction::triggered, this, handler);
    return a;
  };

  QMenu* file = bar->addMenu("&File");
  file->setObjectName("Menu_File");
  item(file, "Menu_OpenSound", "&Open sound", QKeySequence("Ctrl+O"), &MainWindow::Menu_OpenSound_Click);
  item(file, "Menu_SaveSound", "Save sound &as", QKeySequence("Ctrl+S"), &MainWindow::Menu_SaveSound_Click);
  item(file, "Menu_Quit", "&Quit", QKeySequence(), &MainWindow::Menu_Quit_Click);

  QMenu* options = bar->addMenu("&Midi");
  options->setObjectName("Menu_Options");
  item(options, "Menu_InitW", "Init sound to mQ Waldorf default", QKeySequence(), &MainWindow::Menu_InitW_Click);
  // Offered in the menu but never available: the program has no second preset.
  item(options, "Menu_InitK", "Init sound to Rotavox default", QKeySequence(), nullptr)->setEnabled(false);
  // A held F12 is one Panic: each sweep takes about 1.6 s of the wire, and the key's own repeat
  // would queue one after another in front of every edit.
  QAction* panic = item(options, "Menu_Panic", "Send &Panic", QKeySequence("F12"), &MainWindow::Menu_Panic_Click);
  panic->setAutoRepeat(false);
  item(options, "Menu_Sequenzer", "Sequenzer settings", QKeySequence("F11"), &MainWindow::Menu_Sequenzer_Click);
  Menu_StartSequenzer_ = item(options, "Menu_StartSequenzer", "Start se&quenzer", QKeySequence("Ctrl+Q"),
                              &MainWindow::Menu_StartSequenzer_Click);
  Menu_StartSequenzer_->setEnabled(false);  // unavailable for the whole run
  item(options, "Menu_Midisettings", "Midi settings", QKeySequence(), &MainWindow::Menu_Midisettings_Click);

  QAction* about = bar->addAction("&About");
  about->setObjectName("Menu_About");
  connect(about, &QAction::triggered, this, &MainWindow::Menu_About_Click);
}

void MainWindow::Form_Load() {
  ctx_.sequencer.SeqRunning = false;
  ctx_.sequencer.SeqVelocity = 100;
  ctx_.sequencer.SeqOctave = 0;
  ctx_.midi.resetChoices();
  setWindowTitle(windowTitleText());
  showMidiSettings();
  ctx_.files.LastSoundFolder = "?";
  panel_->takeAnchors();
  ctx_.sequencer.SeqStep = 0;
}

MidiSettingsDialog* MainWindow::midiSettings() const { return midiSettings_; }

void MainWindow::refreshTitle() {
  setWindowTitle(QString::fromStdString(
      comparedTitle(programTitle(windowTitleText().toStdString(), instrument_->program()), edit_->comparing())));
}

void MainWindow::showMidiSettings() {
  showOrRaise(midiSettings_, [this] {
    auto* dialog = new MidiSettingsDialog(ctx_, this);
    // The thru's input may have changed: following says whether it is the followed port.
    connect(dialog, &QObject::destroyed, instrument_, &Instrument::stateChanged);
    return dialog;
  });
}

// An open dialog is only brought forward: its start-up runs once per opening, and the
// action button reads the new mode when pressed.
void MainWindow::showFileDialog() {
  showOrRaise(fileDialog_, [this] {
    // Through the browser, which learns where the panel's sound comes from and follows the folder.
    auto* dialog = new FileDialog(ctx_, browser_->panelControls(), this);
    browser_->follow(*dialog);
    return dialog;
  });
}

void MainWindow::Menu_OpenSound_Click() {
  ctx_.files.FileDialogMode = "Open";
  showFileDialog();
}

void MainWindow::Menu_SaveSound_Click() {
  ctx_.files.FileDialogMode = "Save";
  showFileDialog();
}

// Ends the program at once: no unload step runs, the MIDI output is left to the system (what
// it still has queued goes out first, under a note that counts it down).
void MainWindow::Menu_Quit_Click() {
  browser_->releaseNote();  // queued like the rest, so it goes out before the end
  ending_->quitNow();
}

// The menu initialises at once, without the button's question.
void MainWindow::Menu_InitW_Click() { panel_->InitSoundPreset(); }

void MainWindow::Menu_Panic_Click() { ctx_.midi.SendPanic(); }

void MainWindow::Panic_Click() { ctx_.midi.SendPanic(); }

void MainWindow::InitSnd_Click() { panel_->InitSnd_Click(); }

void MainWindow::Menu_Sequenzer_Click() {
  withBusyPointer([this] { play_->showSettings(); });
}

void MainWindow::Menu_StartSequenzer_Click() { play_->Menu_StartSequenzer_Click(); }

void MainWindow::Menu_Midisettings_Click() {
  browser_->releaseNote();  // the dialog closes the output: a note let go of later would hang
  withBusyPointer([this] { showMidiSettings(); });
}

void MainWindow::Menu_About_Click() {
  showOrRaise(about_, [this] { return new AboutBox(this); });
}

// The other windows stay open; the program ends when the last of them closes.
void MainWindow::closeEvent(QCloseEvent* event) {
  browser_->mainWindowClosed();  // first: its note's release still goes out
  instrument_->mainWindowClosed();
  ctx_.midi.SwitchMidiOut("close");
  if (fileDialog_) fileDialog_->soundPanelClosed();
  event->accept();
}

}  // namespace rotavox
