// The sound browser against a real JACK server: the user walks three sounds with the down
// arrow, resting on each, with the note after each load; the instrument gets exactly each
// sound as the file dialog would send it, each followed by its note and the note's release.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/midi/Messages.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/JackService.h"
#include "support/HandWrittenSounds.h"
#include "support/MemoryService.h"
#include "ui/editor/EditorPanel.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/BrowserWindow.h"
#include "ui/files/FileDialog.h"
#include "ui/files/SoundBrowser.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace jack_browser_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using jacktest::Receiver;

// What the file dialog's Load sends for these files, one after the other, into a fresh main
// window on channel 1; each followed by the browser's note and its release.
std::vector<std::uint32_t> fileDialogLoadsWithNotes(const std::vector<fs::path>& files) {
  MemoryService memory;
  memory.outPorts.push_back({0, 0, 0, "synth", kTechOutputPort, {}});
  RecordingPresenter boxes;
  MidiLink link(memory, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  link.state().MidiOutDevice = 0;
  link.state().MidiChannel = 0;
  link.SwitchMidiOut("open");
  MainWindow window(ctx);
  FileDialog dialog(ctx, *window.panel(), &window);
  std::vector<std::uint32_t> out;
  for (const fs::path& file : files) {
    memory.clearRecords();
    dialog.LoadSoundFile(file.string());
    const std::vector<std::uint32_t> sound = memory.delivered();
    out.insert(out.end(), sound.begin(), sound.end());
    out.push_back(noteOn(0, 60, 100));
    out.push_back(noteOn(0, 60, 0));
  }
  return out;
}

// What the instrument got as the program sent it: PipeWire's JACK hands a Note On of velocity
// 0 on as a Note Off of velocity 64, jackd as it is.
std::uint32_t asSent(std::uint32_t message) {
  const char* server = std::getenv("ROTAVOX_JACK_SERVER");
  const bool pipewire = server != nullptr && std::string(server) == "pipewire";
  if (pipewire && (message & 0xF0) == 0x80 && data2Byte(message) == 64)
    return noteOn(static_cast<int>(message & 0x0F), data1Byte(message), 0);
  return message;
}

TEST(JackBrowser, WalkingThreeSoundsSendsEachSoundAndItsNoteOnce) {
  if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
  char name[] = "/tmp/rotavox-e2e-browser-XXXXXX";
  const fs::path dir = ::mkdtemp(name);
  std::vector<std::string> soundC = test::kSoundA;
  soundC[45] = "\"33\"";  // filter 1 cutoff
  const std::vector<fs::path> files{dir / "1 warm.rvs", dir / "2 bright.rvs", dir / "10 dark.rvs"};
  std::ofstream(files[0], std::ios::binary) << test::soundFile(test::kSoundA);
  std::ofstream(files[1], std::ios::binary) << test::soundFile(test::kSoundB);
  std::ofstream(files[2], std::ios::binary) << test::soundFile(soundC);
  const std::vector<std::uint32_t> expected = fileDialogLoadsWithNotes(files);

  Receiver instrument("rv-browser-synth");
  ASSERT_TRUE(instrument.ok());
  std::unique_ptr<JackService> service = JackService::open("RotavoxBrowser");
  ASSERT_NE(service, nullptr);
  RecordingPresenter boxes;
  MidiLink link(*service, boxes);
  AppContext ctx{link, boxes, {}, {}, {}};
  {
    MainWindow window(ctx);
    window.Form_Load();
    window.show();
    MidiSettingsDialog* settings = window.midiSettings();
    auto* outList = settings->findChild<QComboBox*>("AuswahlMIDIPort");
    outList->setCurrentIndex(outList->findText(QString::fromStdString(instrument.portName())));
    ASSERT_GE(outList->currentIndex(), 0);
    QTest::mouseClick(settings->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    boxes.boxes.clear();  // the thru's note that no input port is chosen

    window.browser()->setFolder(dir.string());
    window.browser()->Menu_Browser_Click();
    BrowserWindow* browser = window.browser()->window();
    ASSERT_NE(browser, nullptr);
    QTest::mouseClick(browser->CheckBrowserNote(), Qt::LeftButton);
    // Resting past the note's length, then shorter than it: the release comes by time, then
    // with the next load.
    for (const int restMs : {900, 300, 900}) {
      QTest::keyClick(browser->ListBrowserSounds(), Qt::Key_Down);
      QTest::qWait(restMs);
    }
    browser->close();
    ASSERT_TRUE(instrument.waitFor(expected.size(), 10s)) << instrument.count() << " of " << expected.size();
    std::this_thread::sleep_for(300ms);  // long enough for a copy to come after
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.texts().front();
  }
  std::vector<std::uint32_t> got;
  for (const Receiver::Event& e : instrument.events()) got.push_back(asSent(e.shortMessage()));
  EXPECT_TRUE(got == expected) << firstDifference(got, expected);

  // The first note lasted its 600 ms; the second ended when the third sound began to load.
  const std::vector<Receiver::Event> events = instrument.events();
  std::vector<double> held;
  for (std::size_t i = 0; i + 1 < events.size(); ++i)
    if (events[i].shortMessage() == noteOn(0, 60, 100))
      held.push_back(double(events[i + 1].frame - events[i].frame) / instrument.sampleRate());
  ASSERT_EQ(held.size(), 3u);
  EXPECT_GE(held[0], 0.6 - double(instrument.period()) / instrument.sampleRate());
  EXPECT_LT(held[1], 0.6);
  fs::remove_all(dir);
}

}  // namespace jack_browser_test
}  // namespace rotavox
