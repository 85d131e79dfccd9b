// Starts the editor as the program does, offscreen, and saves pictures of its windows:
// the main window with the MIDI settings dialog over it, with its Edit menu open, and each
// dialog on its own.
#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QDir>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "core/editor/InitSound.h"
#include "core/midi/Messages.h"
#include "core/midi/MidiServiceHolder.h"
#include "ui/Program.h"
#include "ui/editor/EditActions.h"
#include "ui/editor/EditorPanel.h"
#include "platform/midi/ReceiveQueue.h"
#include "ui/midi/FollowWindow.h"
#include "ui/midi/Instrument.h"
#include "ui/midi/ProgramWindow.h"
#include "ui/monitor/MidiMonitor.h"
#include "ui/monitor/MonitorWindow.h"
#include "ui/common/QueuedMessagesNote.h"
#include "ui/midi/MidiSettingsDialog.h"
#include "platform/fs/SoundFileStore.h"
#include "ui/files/BrowserWindow.h"
#include <QCheckBox>
#include "ui/files/SoundBrowser.h"

namespace {

// An instrument for the monitor's and the follow window's pictures: one port that takes every
// message, or refuses them once told to, and three that send, of which one can be followed.
class PictureService : public rotavox::MidiService {
 public:
  bool failing = false;
  rotavox::MidiReceiver* receiver = nullptr;
  const char* inNames[3] = {"microQ MIDI out", "USB keyboard", "Midi Through Port-0"};
  unsigned outDeviceCount() override { return 1; }
  rotavox::MidiResult outCaps(int, rotavox::MidiOutCaps& caps) override {
    caps.name = "microQ";
    return rotavox::kMidiOk;
  }
  rotavox::MidiResult openOut(int, rotavox::MidiHandle& handle) override {
    handle = 1;
    return rotavox::kMidiOk;
  }
  rotavox::MidiResult closeOut(rotavox::MidiHandle) override { return rotavox::kMidiOk; }
  rotavox::MidiResult sendShort(rotavox::MidiHandle, std::uint32_t) override { return failing ? 1 : rotavox::kMidiOk; }
  std::string outErrorText(rotavox::MidiResult) override { return "the port has gone"; }
  unsigned inDeviceCount() override { return 3; }
  rotavox::MidiResult inCaps(int device, rotavox::MidiInCaps& caps) override {
    caps.name = caps.identity = inNames[device];
    return rotavox::kMidiOk;
  }
  rotavox::MidiResult followIn(int, rotavox::MidiReceiver& r) override {
    receiver = &r;
    return rotavox::kMidiOk;
  }
  void stopFollowing() override { receiver = nullptr; }
  rotavox::MidiResult openIn(int, rotavox::MidiHandle&) override { return 1; }
  rotavox::MidiResult startIn(rotavox::MidiHandle) override { return 1; }
  rotavox::MidiResult stopIn(rotavox::MidiHandle) override { return 1; }
  rotavox::MidiResult closeIn(rotavox::MidiHandle) override { return 1; }
  std::string inErrorText(rotavox::MidiResult) override { return "no input"; }
  rotavox::MidiResult connect(rotavox::MidiHandle, rotavox::MidiHandle) override { return 1; }
  rotavox::MidiResult disconnect(rotavox::MidiHandle, rotavox::MidiHandle) override { return 1; }
  std::string systemName() const override { return "picture"; }
};

QPixmap grabWindow(QWidget* w) {
  w->adjustSize();
  QApplication::processEvents();
  return w->grab();
}

bool save(const QPixmap& pixmap, const QString& path) {
  if (!pixmap.save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Rotavox");
  const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("build/screenshots");
  const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  QDir().mkpath(dir);
  if (argc > 3 && QString(argv[3]) == "dark") {
    // A dark desktop theme, as a user's platform theme would hand it over.
    QApplication::setStyle("Fusion");
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 47, 51));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 31, 34));
    dark.setColor(QPalette::AlternateBase, QColor(45, 47, 51));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 58, 63));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(60, 130, 220));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(55, 58, 63));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::Mid, QColor(80, 84, 90));
    dark.setColor(QPalette::Dark, QColor(25, 26, 28));
    dark.setColor(QPalette::Light, QColor(90, 94, 100));
    QApplication::setPalette(dark);
  }

  rotavox::Program program;
  program.start();
  rotavox::MainWindow& window = program.window();
  rotavox::AppContext& ctx = program.context();
  QApplication::processEvents();

  bool ok = true;
  const QPixmap main = grabWindow(&window);
  QPixmap composite = main;
  if (rotavox::MidiSettingsDialog* settings = window.midiSettings()) {
    const QPixmap dialog = grabWindow(settings);
    ok &= save(dialog, dir + "/midi-settings" + suffix + ".png");
    QPainter p(&composite);
    const QPoint at((main.width() - dialog.width()) / 2, main.height() / 6);
    p.fillRect(QRect(at - QPoint(1, 1), dialog.size() / dialog.devicePixelRatio() + QSize(2, 2)), Qt::black);
    p.drawPixmap(at, dialog);
    settings->close();
  }
  ok &= save(composite, dir + "/rotavox-main" + suffix + ".png");

  ctx.midi.state().MidiChannel = 0;
  window.Menu_InitW_Click();
  ok &= save(grabWindow(&window), dir + "/rotavox-main-init" + suffix + ".png");

  // The Edit menu open over the window, after an edit that Undo can take back.
  if (auto* cutoff = window.findChild<QLineEdit*>("TextF1_cutoff")) cutoff->setText("96");
  // Then the File menu with the sound browser's items.
  for (const auto& [menuName, picture] :
       {std::pair{"Menu_Edit", "rotavox-edit-menu"}, {"Menu_File", "rotavox-file-menu"},
        {"Menu_Options", "rotavox-midi-menu"}}) {
    if (auto* menu = window.findChild<QMenu*>(menuName)) {
      const QRect title = window.menuBar()->actionGeometry(menu->menuAction());
      menu->popup(window.menuBar()->mapToGlobal(title.bottomLeft()));
      QApplication::processEvents();
      QPixmap withMenu = grabWindow(&window);
      QPainter p(&withMenu);
      p.drawPixmap(window.menuBar()->mapTo(&window, title.bottomLeft()), menu->grab());
      p.end();
      ok &= save(withMenu, dir + "/" + picture + suffix + ".png");
      menu->hide();
    }
  }
  if (rotavox::EditActions* edit = window.editActions()) {
    edit->Menu_Mutate_Click();
    if (QWidget* w = window.findChild<QWidget*>("F_Mutate")) ok &= save(grabWindow(w), dir + "/F_Mutate" + suffix + ".png");
  }
  {
    // The monitor as it looks with an instrument connected: a stand-in port takes the messages
    // of an init sound, a note and an All Notes Off; one send fails, as on an unplugged cable.
    PictureService service;
    rotavox::MidiServiceHolder services(service);
    rotavox::MidiLink link(services, ctx.presenter);
    rotavox::AppContext pictureCtx{link, ctx.presenter, {}, {}, {}};
    QWidget owner;
    QMenu menu;
    rotavox::MidiMonitor monitor(pictureCtx, &menu, &owner);
    link.state().MidiOutDevice = 0;
    link.state().MidiChannel = 0;
    link.SwitchMidiOut("open");
    for (const rotavox::ControlWrite& w : rotavox::kInitSound) {
      const rotavox::Parameter& p = rotavox::parameter(w.control.row);
      if (!w.control.muteBox) link.SendControlChange(p.cc, rotavox::readField(p, w.value).byte);
    }
    link.SendNoteOn(60, 100);
    link.SendNoteOn(60, 0);
    link.sendRaw(rotavox::controlChange(0, rotavox::kAllNotesOffController, 0));
    service.failing = true;
    link.SendControlChange(69, 96);
    monitor.Menu_Monitor_Click();
    if (rotavox::MonitorWindow* w = monitor.window()) {
      w->takeBatch();
      QApplication::processEvents();
      ok &= save(w->grab(), dir + "/F_Monitor" + suffix + ".png");
      w->close();
    }
    // Following the microQ, which has just sent a turn of its cutoff knob.
    rotavox::EditorPanel panel(pictureCtx);
    rotavox::Instrument instrument(pictureCtx, panel, monitor, &menu, &owner);
    instrument.Menu_Follow_Click();
    if (rotavox::FollowWindow* w = instrument.followWindow()) {
      if (auto* list = w->findChild<QComboBox*>("ListFollowPort")) list->setCurrentIndex(1);
      w->ListFollowPort_Click(1);
      if (service.receiver) service.receiver->received(rotavox::controlChange(0, 69, 100), rotavox::receiveClockNow());
      instrument.takeReceived();
      QApplication::processEvents();
      ok &= save(grabWindow(w), dir + "/F_Follow" + suffix + ".png");
      w->close();
    }
  }
  // Choosing the microQ's sound B042.
  if (rotavox::Instrument* instrument = window.instrument()) {
    instrument->Menu_Program_Click();
    if (rotavox::ProgramWindow* w = instrument->programWindow()) {
      w->findChild<QComboBox*>("ListProgramBank")->setCurrentIndex(1);
      w->findChild<QLineEdit*>("TextProgramNumber")->setText("42");
      ok &= save(grabWindow(w), dir + "/F_Program" + suffix + ".png");
      w->close();
    }
  }
  window.Menu_About_Click();
  if (QWidget* about = window.findChild<QWidget*>("F_About")) ok &= save(grabWindow(about), dir + "/about" + suffix + ".png");
  for (const char* name : {"F_Sequenzer", "F_FileIO"}) {
    if (QString(name) == "F_Sequenzer") window.Menu_Sequenzer_Click();
    else window.Menu_SaveSound_Click();
    if (QWidget* w = window.findChild<QWidget*>(name)) ok &= save(grabWindow(w), dir + "/" + name + suffix + ".png");
  }
  {
    // The sound browser over a folder of the init sound under a dozen names, one of them in
    // Latin-1 and one cut short; one sound on the panel, the cut one tried.
    char folderName[] = "/tmp/rotavox-browser-picture-XXXXXX";
    const std::filesystem::path base = ::mkdtemp(folderName), folder = base / "microQ sounds";
    std::filesystem::create_directory(folder);
    for (const char* name : {"Bass 1", "Bass 2", "Bass 10", "Brass stab", "Glass bell", "Pad 1", "Pad 2", "Pad 10",
                             "Sweep lead", "Warm strings", "Kl\xe4nge"})
      rotavox::saveSoundFile((folder / (std::string(name) + ".rvs")).string(), *window.panel());
    std::ofstream(folder / "Cut short.rvs", std::ios::binary) << "\"Rotavox soundfileformat v.0.2\"\r\n\"100\"\r\n";
    rotavox::SoundBrowser& browser = *window.browser();
    browser.setFolder(folder.string());
    window.findChild<QAction*>("Menu_Browser")->trigger();
    if (rotavox::BrowserWindow* w = browser.window()) {
      browser.loadNow("Cut short.rvs");
      browser.loadNow("Pad 2.rvs");
      w->CheckBrowserNote()->setChecked(true);
      QApplication::processEvents();  // at the size it opens with
      ok &= save(w->grab(), dir + "/F_Browser" + suffix + ".png");
      w->close();
    }
    std::filesystem::remove_all(base);
  }
  // The note shown when the program ends with messages still queued.
  rotavox::QueuedMessagesNote note([] { return std::size_t{2032}; });
  note.show();
  ok &= save(grabWindow(&note), dir + "/queued-messages" + suffix + ".png");
  return ok ? 0 : 1;
}
