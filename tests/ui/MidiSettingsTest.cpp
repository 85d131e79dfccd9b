#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "ui/midi/MidiSettingsDialog.h"

namespace rotavox {
namespace {

using test::child;

struct MidiSettingsTest : ::testing::Test {
  test::MidiFixture f;
  QPointer<MidiSettingsDialog> dialog;

  MidiSettingsDialog* load() {
    dialog = new MidiSettingsDialog(f.ctx);
    dialog->Form_Load();
    dialog->show();
    return dialog;
  }
  void TearDown() override { delete dialog.data(); }
  QComboBox* combo(const char* name) { return child<QComboBox>(dialog, name); }
  QString label(const char* name) { return child<QLabel>(dialog, name)->text(); }
  QStringList items(const char* name) {
    QStringList out;
    for (int i = 0; i < combo(name)->count(); ++i) out << combo(name)->itemText(i);
    return out;
  }
};

// A port as the memory service lists it: its shown name and what the system knows it by.
struct PortSpec {
  PortSpec(const char* shown, const char* id = "") : name(shown), identity(id) {}
  std::string name;
  std::string identity;  // empty: known by its name
};

std::vector<MidiOutCaps> outputs(const std::vector<PortSpec>& ports) {
  std::vector<MidiOutCaps> out;
  for (const PortSpec& p : ports) out.push_back({0, 0, 0, p.name, kTechOutputPort, p.identity});
  return out;
}

std::vector<MidiInCaps> inputs(const std::vector<PortSpec>& ports) {
  std::vector<MidiInCaps> out;
  for (const PortSpec& p : ports) out.push_back({0, 0, 0, p.name, p.identity});
  return out;
}

// The choice is made in one list; other programs come and go; the dialog loads again.
struct ShiftCase {
  const char* what;
  std::vector<PortSpec> before;
  int chosen;  // position chosen at the first load; for outputs, before.size() is the own port
  std::vector<PortSpec> after;
  int expected;  // position preselected at the second load, -1 for none
};

const ShiftCase kShiftCases[] = {
    {"a port sorting before it appears", {{"synthB"}, {"synthC"}}, 1, {{"synthA"}, {"synthB"}, {"synthC"}}, 2},
    {"a port before it goes", {{"synthA"}, {"synthB"}, {"synthC"}}, 2, {{"synthB"}, {"synthC"}}, 1},
    {"the chosen port goes, a port moves into its place", {{"synthA"}, {"synthC"}}, 1, {{"synthA"}, {"synthB"}}, -1},
    {"the chosen port goes and the list is empty", {{"synthC"}}, 0, {}, -1},
    {"another program gets its client number", {{"synth", "130:0 synth:in"}}, 0, {{"synth", "130:0 other:in"}}, -1},
    {"the same program comes back under another number", {{"synth", "130:0 synth:in"}}, 0,
     {{"synth", "131:0 synth:in"}}, -1},
    {"two ports claim its identity", {{"synthC"}}, 0, {{"synthC"}, {"synthC"}}, -1},
    {"every other port goes", {{"synthA"}, {"synthB"}, {"synthC"}}, 1, {{"synthB"}}, 0},
};

TEST_F(MidiSettingsTest, ChosenOutputPortIsFoundAgainWhereverItNowStands) {
  for (const ShiftCase& c : kShiftCases) {
    SCOPED_TRACE(c.what);
    f.midi.resetChoices();
    f.service.outPorts = outputs(c.before);
    load();
    combo("AuswahlMIDIPort")->setCurrentIndex(c.chosen);
    QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(dialog.isNull());

    f.service.outPorts = outputs(c.after);
    f.service.clearRecords();
    f.presenter.boxes.clear();
    load();
    EXPECT_EQ(combo("AuswahlMIDIPort")->currentIndex(), c.expected);
    EXPECT_EQ(f.midi.state().MidiOutDevice, c.expected);
    if (c.expected >= 0) {
      EXPECT_EQ(combo("AuswahlMIDIPort")->currentText().toStdString(), c.before[static_cast<std::size_t>(c.chosen)].name);
    } else {
      EXPECT_EQ(label("Text1"), "Manufacturer ID: - not set -");
    }

    // Close opens the port found, or asks for a choice instead of opening a stranger's port.
    f.service.calls.clear();
    QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (c.expected >= 0) {
      ASSERT_FALSE(f.service.calls.empty());
      EXPECT_EQ(f.service.calls.front(), "openOut " + std::to_string(c.expected));
    } else {
      EXPECT_TRUE(f.service.calls.empty());
      ASSERT_EQ(f.presenter.boxes.size(), 1u);
      EXPECT_EQ(f.presenter.boxes[0].caption, "No MIDI port set");
      delete dialog.data();
    }
  }
}

TEST_F(MidiSettingsTest, ChosenInputPortIsFoundAgainWhereverItNowStands) {
  for (const ShiftCase& c : kShiftCases) {
    SCOPED_TRACE(c.what);
    f.midi.resetChoices();
    f.service.inPorts = inputs(c.before);
    load();
    combo("AuswahlMIDIinPort")->setCurrentIndex(c.chosen);
    delete dialog.data();

    f.service.inPorts = inputs(c.after);
    load();
    EXPECT_EQ(combo("AuswahlMIDIinPort")->currentIndex(), c.expected);
    EXPECT_EQ(f.midi.state().MidiInDevice, c.expected);
    if (c.expected >= 0) {
      EXPECT_EQ(combo("AuswahlMIDIinPort")->currentText().toStdString(), c.before[static_cast<std::size_t>(c.chosen)].name);
    }
    delete dialog.data();
  }
}

TEST_F(MidiSettingsTest, OwnVirtualPortStaysChosenAsTheLastEntry) {
  const struct {
    const char* what;
    std::vector<PortSpec> after;
  } cases[] = {
      {"ports appear", {{"synthA"}, {"synthB"}, {"synthC"}}},
      {"every port goes", {}},
      {"a port takes the virtual port's old place", {{"synthA"}, {"Rotavox virtual out"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    f.midi.resetChoices();
    f.service.outPorts = outputs({{"synthA"}});
    load();
    combo("AuswahlMIDIPort")->setCurrentIndex(1);
    delete dialog.data();

    f.service.outPorts = outputs(c.after);
    load();
    const int last = static_cast<int>(c.after.size());
    EXPECT_EQ(combo("AuswahlMIDIPort")->currentIndex(), last);
    EXPECT_EQ(f.midi.state().MidiOutDevice, last);
    EXPECT_EQ(label("Text4"), "Type:  MIDI mapper");
    delete dialog.data();
  }
}

TEST_F(MidiSettingsTest, FailedReloadOpensNothingAndTheNextLoadFindsThePortAgain) {
  f.service.outPorts = outputs({{"synthA"}, {"synthC"}});
  load();
  combo("AuswahlMIDIPort")->setCurrentIndex(1);
  combo("AuswahlMIDIinPort")->setCurrentIndex(0);
  delete dialog.data();

  // The listing fails half way: no port position is left over for Close to open.
  f.service.failures["outCaps:0"] = 6;
  load();
  EXPECT_EQ(f.midi.state().MidiOutDevice, -1);
  EXPECT_EQ(f.midi.state().MidiInDevice, -1);
  f.service.calls.clear();
  f.presenter.boxes.clear();
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(f.service.calls.empty());
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].caption, "No MIDI port set");
  delete dialog.data();

  f.service.failures.clear();
  f.service.outPorts = outputs({{"synthA"}, {"synthB"}, {"synthC"}});
  load();
  EXPECT_EQ(combo("AuswahlMIDIPort")->currentText(), "synthC");
  EXPECT_EQ(f.midi.state().MidiOutDevice, 2);
  EXPECT_EQ(combo("AuswahlMIDIinPort")->currentText(), "Test keyboard");
}

TEST_F(MidiSettingsTest, NoOutputPortsLeavesTheMapperAlone) {
  f.service.outPorts.clear();
  load();
  EXPECT_EQ(label("Bezeichnung1"), "MIDI-port (1):");
  EXPECT_EQ(items("AuswahlMIDIPort"), QStringList{"Rotavox virtual out"});
  EXPECT_EQ(combo("AuswahlMIDIPort")->currentIndex(), -1);
}

TEST_F(MidiSettingsTest, FirstLoadListsPortsAndChannelsAndChoosesChannelOne) {
  f.service.outPorts.push_back({1, 2, 0x1000, std::string("Second\0hidden", 13), 6, {}});
  load();
  EXPECT_EQ(dialog->windowTitle(), "Midi settings");
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(label("Bezeichnung1"), "MIDI-port (3):");
  EXPECT_EQ(items("AuswahlMIDIPort"), (QStringList{"Test synth", "Second", "Rotavox virtual out"}));
  EXPECT_EQ(items("AuswahlMIDIinPort"), QStringList{"Test keyboard"});
  QStringList channels;
  for (int c = 1; c <= 16; ++c) channels << QString("#%1").arg(c);
  EXPECT_EQ(items("AuswahlMIDIChannel"), channels);
  EXPECT_EQ(items("AuswahlMIDIinChannel"), channels);
  EXPECT_EQ(combo("AuswahlMIDIChannel")->currentIndex(), 0);
  EXPECT_EQ(combo("AuswahlMIDIinChannel")->currentIndex(), 0);
  EXPECT_EQ(f.midi.state().MidiChannel, 0);
  EXPECT_EQ(f.midi.state().MidiInChannel, 0);
  EXPECT_EQ(f.midi.state().MidiOutDevice, -1);
  EXPECT_EQ(label("Text1"), "Manufacturer ID: - not set -");
  EXPECT_EQ(label("Text4"), "Type: - not set -");
}

TEST_F(MidiSettingsTest, ChoosingAPortFillsTheFourLabels) {
  f.service.outPorts.push_back({0xBEEF, 0x7, 0x1000, "Odd", 6, {}});
  load();
  struct Case {
    int position;
    const char* manufacturer;
    const char* product;
    const char* driver;
    const char* type;
  } cases[] = {
      {0, "Manufacturer ID: 41\r\n", "Product ID: 22\r\n", "Driver ver.:50.0", "Type:  output port"},
      {1, "Manufacturer ID: BEEF\r\n", "Product ID: 7\r\n", "Driver ver.:10.00", "Type: unknown"},
      {2, "Manufacturer ID: 0\r\n", "Product ID: 0\r\n", "Driver ver.:0.", "Type:  MIDI mapper"},
  };
  for (const Case& c : cases) {
    combo("AuswahlMIDIPort")->setCurrentIndex(c.position);
    EXPECT_EQ(f.midi.state().MidiOutDevice, c.position);
    EXPECT_EQ(label("Text1"), c.manufacturer);
    EXPECT_EQ(label("Text2"), c.product);
    EXPECT_EQ(label("Text3"), c.driver);
    EXPECT_EQ(label("Text4"), c.type);
  }
}

TEST_F(MidiSettingsTest, CloseWithoutOutputPortWarnsAndStaysOpen) {
  load();
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, "You have to select a MIDI OUT port first!");
  EXPECT_EQ(f.presenter.boxes[0].caption, "No MIDI port set");
  EXPECT_EQ(f.presenter.boxes[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(dialog && dialog->isVisible());
  EXPECT_EQ(f.midi.state().MidiOutDevice, -1);
  EXPECT_EQ(f.midi.state().MidiOutHandle, kNoMidiHandle);
}

TEST_F(MidiSettingsTest, CloseOpensOutputThenThruAndUnloads) {
  load();
  combo("AuswahlMIDIPort")->setCurrentIndex(0);
  combo("AuswahlMIDIinPort")->setCurrentIndex(0);
  combo("AuswahlMIDIChannel")->setCurrentIndex(4);
  f.service.calls.clear();
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull());
  EXPECT_TRUE(f.presenter.boxes.empty());
  EXPECT_EQ(f.service.calls, (std::vector<std::string>{"openOut 0", "openIn 0", "connect 2 1", "startIn 2"}));
  EXPECT_EQ(f.midi.state().MidiChannel, 4);
}

TEST_F(MidiSettingsTest, CloseWithoutInputPortKeepsOutputOpenAfterTheInputError) {
  load();
  combo("AuswahlMIDIPort")->setCurrentIndex(1);  // the virtual port
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, "Osterlin midi out detection:\r\nmemory input error 2\r\n");
  EXPECT_NE(f.midi.state().MidiOutHandle, kNoMidiHandle);
}

TEST_F(MidiSettingsTest, UnopenablePortGivesTwoOutputBoxesAndStillUnloads) {
  f.service.failures["openOut"] = 4;
  load();
  combo("AuswahlMIDIPort")->setCurrentIndex(0);
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(f.presenter.boxes.size(), 2u);
  for (const auto& box : f.presenter.boxes) EXPECT_EQ(box.text, "Osterlin midi out detection:\r\nmemory output error 4\r\n");
  EXPECT_TRUE(dialog.isNull());
}

TEST_F(MidiSettingsTest, SecondLoadClosesTheConnectionAndPreselectsEarlierChoices) {
  f.service.outPorts.push_back({0x1, 0x2, 0x1000, "Other", 2, {}});
  load();
  combo("AuswahlMIDIPort")->setCurrentIndex(1);
  combo("AuswahlMIDIinPort")->setCurrentIndex(0);
  combo("AuswahlMIDIChannel")->setCurrentIndex(9);
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  f.midi.state().MidiInChannel = 5;
  f.service.calls.clear();

  load();
  EXPECT_EQ(f.service.calls.at(0), "closeOut 1");
  EXPECT_EQ(f.service.calls.at(1), "stopIn 2");
  EXPECT_EQ(f.service.calls.at(2), "closeIn 2");
  EXPECT_EQ(f.midi.state().MidiOutHandle, kNoMidiHandle);
  EXPECT_EQ(f.midi.state().MidiInHandle, kNoMidiHandle);
  EXPECT_EQ(combo("AuswahlMIDIPort")->currentIndex(), 1);
  EXPECT_EQ(combo("AuswahlMIDIinPort")->currentIndex(), 0);
  EXPECT_EQ(combo("AuswahlMIDIChannel")->currentIndex(), 9);
  EXPECT_EQ(combo("AuswahlMIDIinChannel")->currentIndex(), 5);
  EXPECT_EQ(label("Text4"), "Type:  internal synth");
  combo("AuswahlMIDIinChannel")->setCurrentIndex(2);
  EXPECT_EQ(f.midi.state().MidiInChannel, 5);
}

TEST_F(MidiSettingsTest, CapabilityFailureEndsTheLoadWithItsBox) {
  f.service.failures["outCaps:0"] = 6;
  load();
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, "Osterlin midi out detection:\r\nmemory output error 6\r\n");
  EXPECT_EQ(combo("AuswahlMIDIPort")->count(), 0);
  EXPECT_EQ(combo("AuswahlMIDIChannel")->count(), 0);
  EXPECT_EQ(f.midi.state().MidiChannel, -1);
  EXPECT_TRUE(dialog->isVisible());

  f.service.failures.clear();
  f.service.failures["inCaps:0"] = 6;
  f.presenter.boxes.clear();
  delete dialog.data();
  load();
  ASSERT_EQ(f.presenter.boxes.size(), 1u);
  EXPECT_EQ(f.presenter.boxes[0].text, "Osterlin midi out detection:\r\nmemory input error 6\r\n");
  EXPECT_EQ(combo("AuswahlMIDIPort")->count(), 2);
  EXPECT_EQ(combo("AuswahlMIDIinPort")->count(), 0);
}

TEST_F(MidiSettingsTest, PortsBeyondTheTablesAreNotListedAndVanishedPortsAreForgotten) {
  for (int i = 0; i < 150; ++i) f.service.outPorts.push_back({0, 0, 0, "Port " + std::to_string(i), 1, {}});
  for (int i = 0; i < 150; ++i) f.service.inPorts.push_back({0, 0, 0, "In " + std::to_string(i), {}});
  load();
  EXPECT_EQ(label("Bezeichnung1"), "MIDI-port (100):");
  EXPECT_EQ(combo("AuswahlMIDIPort")->count(), 100);
  EXPECT_EQ(combo("AuswahlMIDIinPort")->count(), 100);
  combo("AuswahlMIDIPort")->setCurrentIndex(99);
  EXPECT_EQ(label("Text4"), "Type:  MIDI mapper");
  combo("AuswahlMIDIPort")->setCurrentIndex(60);
  combo("AuswahlMIDIinPort")->setCurrentIndex(70);
  delete dialog.data();

  f.service.outPorts.resize(3);
  f.service.inPorts.resize(3);
  load();
  EXPECT_EQ(combo("AuswahlMIDIPort")->currentIndex(), -1);
  EXPECT_EQ(combo("AuswahlMIDIinPort")->currentIndex(), -1);
  EXPECT_EQ(f.midi.state().MidiOutDevice, -1);
  EXPECT_EQ(f.midi.state().MidiInDevice, -1);
}

}  // namespace
}  // namespace rotavox

namespace rotavox {
namespace {

// The program's MIDI system goes away while it runs; each choice made anew finds another one.
TEST(MidiSettingsServiceChoice, LoadAfterTheSystemWentAwayListsTheSystemChosenAnew) {
  std::vector<MemoryService*> made;
  MidiServiceHolder services([&made] {
    auto s = std::make_unique<MemoryService>();
    // The same instrument port in every system, shown under a name that tells them apart.
    s->outPorts.push_back({0, 0, 0, "Synth of system " + std::to_string(made.size() + 1), kTechOutputPort, "synth:in"});
    made.push_back(s.get());
    return s;
  });
  test::RecordingPresenter presenter;
  MidiLink midi(services, presenter);
  AppContext ctx{midi, presenter, {}, {}, {}};
  midi.state().MidiOutDevice = 0;
  midi.state().outPort = {"synth:in", false};
  midi.state().MidiChannel = 0;
  midi.SwitchMidiOut("open");
  ASSERT_TRUE(made[0]->isOutOpen(midi.state().MidiOutHandle));

  made[0]->gone = true;
  const QPointer<MidiSettingsDialog> dialog = new MidiSettingsDialog(ctx);
  dialog->Form_Load();
  ASSERT_EQ(made.size(), 2u) << "the MIDI system was not chosen anew";
  auto* outList = child<QComboBox>(dialog, "AuswahlMIDIPort");
  EXPECT_EQ(outList->itemText(0), "Synth of system 2");
  EXPECT_EQ(outList->currentIndex(), 0) << "the earlier choice stays";
  QTest::mouseClick(child<QPushButton>(dialog, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(made[1]->isOutOpen(midi.state().MidiOutHandle));
  EXPECT_EQ(presenter.boxes.size(), 1u) << "only the box of the thru without an input port is expected";
  delete dialog.data();

  // A system that runs is kept at the next load.
  const QPointer<MidiSettingsDialog> again = new MidiSettingsDialog(ctx);
  again->Form_Load();
  EXPECT_EQ(made.size(), 2u);
  delete again.data();
}

}  // namespace
}  // namespace rotavox
