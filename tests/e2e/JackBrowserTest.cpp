// The sound browser against a real JACK server: the user walks three sounds with the down
// arrow, resting on each, with the note after each load. The instrument gets each sound (what
// the browser loads is the file dialog's load, shown by the widget tests) followed by its note
// and the note's release, every message once, in order.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListView>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "core/midi/Messages.h"
#include "e2e/E2eSupport.h"
#include "platform/midi/jack/JackService.h"
#include "support/HandWrittenSounds.h"
#include "support/ProgramWindows.h"
#include "ui/editor/MainWindow.h"
#include "ui/files/BrowserWindow.h"
#include "ui/files/SoundBrowser.h"
#include "ui/monitor/MidiMonitor.h"

namespace rotavox {
namespace jack_browser_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using jacktest::Receiver;

TEST(JackBrowser, WalkingThreeSoundsSendsEachSoundAndItsNoteOnce) {
  if (!jacktest::serverReachable()) GTEST_SKIP() << "no JACK server can be reached";
  char name[] = "/tmp/rotavox-e2e-browser-XXXXXX";
  const fs::path dir = ::mkdtemp(name);
  std::vector<std::string> soundC = test::kSoundA;
  soundC[45] = "\"33\"";  // filter 1 cutoff
  std::ofstream(dir / "1 warm.rvs", std::ios::binary) << test::soundFile(test::kSoundA);
  std::ofstream(dir / "2 bright.rvs", std::ios::binary) << test::soundFile(test::kSoundB);
  std::ofstream(dir / "10 dark.rvs", std::ios::binary) << test::soundFile(soundC);

  Receiver instrument("rv-browser-synth");
  ASSERT_TRUE(instrument.ok());
  std::unique_ptr<JackService> service = JackService::open("RotavoxBrowser");
  ASSERT_NE(service, nullptr);
  std::vector<std::uint32_t> sent;
  {
    test::ProgramWindows program(*service);
    MainWindow& window = program.window;
    program.start();
    program.chooseAndClose(instrument.portName());
    program.boxes.boxes.clear();  // the thru's note that no input port is chosen

    window.browser()->setFolder(dir.string());
    window.browser()->Menu_Browser_Click();
    BrowserWindow* browser = window.browser()->window();
    ASSERT_NE(browser, nullptr);
    QTest::mouseClick(browser->CheckBrowserNote(), Qt::LeftButton);
    window.monitor()->clear();
    // Resting past the note's length, then shorter than it: the release comes by its time,
    // then with the next load.
    for (const int restMs : {900, 300, 900}) {
      QTest::keyClick(browser->ListBrowserSounds(), Qt::Key_Down);
      QTest::qWait(restMs);
    }
    browser->close();
    // What the program handed to the MIDI system, as its monitor kept it.
    const MidiLog& log = window.monitor()->log();
    for (std::uint64_t n = log.first(); n < log.next(); ++n) sent.push_back(log.at(n).message);
    EXPECT_TRUE(program.boxes.boxes.empty()) << program.boxes.texts().front();
  }
  fs::remove_all(dir);
  ASSERT_TRUE(instrument.waitFor(sent.size(), 10s)) << instrument.count() << " of " << sent.size();
  std::this_thread::sleep_for(300ms);  // long enough for a copy to come after
  const std::vector<Receiver::Event> events = instrument.events();
  const std::vector<std::uint32_t> got = instrument.messages();
  EXPECT_TRUE(got == sent) << firstDifference(got, sent);

  // Three sounds in list order ("1", "2", "10"): each its Control Changes, its note, the release.
  std::string shape;
  std::vector<std::size_t> notes;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] == noteOn(0, 60, 100)) notes.push_back(i);
    shape += statusByte(got[i]) == 0xB0 ? 'c' : got[i] == noteOn(0, 60, 100) ? 'N' : got[i] == noteOn(0, 60, 0) ? 'o' : '?';
  }
  ASSERT_TRUE(std::regex_match(shape, std::regex("(c+No){3}"))) << shape;
  EXPECT_NE(std::find(got.begin() + notes[1] + 2, got.begin() + notes[2], controlChange(0, 69, 33)),
            got.begin() + notes[2]) << "the third sound is not the one with cutoff 33";
  // The first note held until its 600 ms were up (resting 900 ms), the second until the next load.
  auto held = [&](std::size_t k) {
    return double(events[notes[k] + 1].frame - events[notes[k]].frame) / instrument.sampleRate();
  };
  const double period = double(instrument.period()) / instrument.sampleRate();
  EXPECT_GE(held(0), 0.6 - period);
  EXPECT_LT(held(0), 0.9) << "released only when the next sound loaded";
  EXPECT_LT(held(1), 0.6) << "not released when the next sound loaded";
}

}  // namespace jack_browser_test
}  // namespace rotavox
