#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "TestSupport.h"
#include "core/files/SoundFile.h"
#include "ui/files/FileDialog.h"

namespace rotavox {
namespace {

namespace fs = std::filesystem;
using test::cc;
using test::Msg;

std::string shownValue(QWidget* panel, const char* name);

// A stand-in for the editor panel: the value controls under their names, each with a change
// handler that sends its parameter the simple way (number fields as shown, selectors by item,
// volume sliders by position, mute boxes 0 or the slider's position). It writes and reads the
// controls the dialog names by row through their widgets.
class StandInPanel : public QWidget, public SoundControls {
 public:
  explicit StandInPanel(AppContext& ctx) : ctx_(ctx) {
    for (const SoundFileLine& line : kSoundFileLines) {
      if (line.kind == SoundLineKind::Header || line.kind == SoundLineKind::Reserved) continue;
      const std::string_view control = controlName(line.control);
      const QString name = QString::fromLatin1(control.data(), static_cast<qsizetype>(control.size()));
      const int controller = kControllers.at(std::string(control));
      if (name.startsWith("Text")) {
        auto* edit = new QLineEdit("?", this);
        edit->setObjectName(name);
        connect(edit, &QLineEdit::textChanged, this,
                [this, controller](const QString& t) { ctx_.midi.SendControlChange(controller, t.toStdString()); });
      } else if (name.startsWith("Combo")) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(name);
        combo->setEditable(true);
        const std::vector<std::pair<const char*, int>>& items = itemsFor(name);
        for (const auto& [text, value] : items) combo->addItem(QString::fromUtf8(text), value);
        combo->setEditText("?");
        connect(combo, &QComboBox::editTextChanged, this, [this, combo, controller](const QString& t) {
          const int index = combo->findText(t, Qt::MatchExactly);
          if (index < 0)
            ctx_.presenter.show("Internal error", "Internal error", MessageIcon::Error, MessageButtons::Ok);
          else
            ctx_.midi.SendControlChange(controller, combo->itemData(index).toInt());
        });
      } else if (name.startsWith("VScroll")) {
        auto* slider = new QScrollBar(Qt::Vertical, this);
        slider->setObjectName(name);
        slider->setRange(0, 127);
        connect(slider, &QScrollBar::valueChanged, this, [this, name, controller](int v) {
          ctx_.midi.SendControlChange(controller, v);
          findChild<QCheckBox*>(QString(name).replace("VScroll", "Check").replace("vol", "mute"))->setChecked(false);
        });
      } else if (name.startsWith("Check")) {
        auto* box = new QCheckBox(this);
        box->setObjectName(name);
        connect(box, &QCheckBox::toggled, this, [this, name, controller](bool on) {
          const auto* slider = findChild<QScrollBar*>(QString(name).replace("Check", "VScroll").replace("mute", "vol"));
          ctx_.midi.SendControlChange(controller, on ? 0 : slider->value());
        });
      }
    }
  }

  static const std::map<std::string, int> kControllers;

  std::string shown(ValueControl control) const override {
    return shownValue(const_cast<StandInPanel*>(this), std::string(controlName(control)).c_str());
  }
  void write(ValueControl control, std::string_view value) override {
    const std::string_view name = controlName(control);
    QWidget* w = findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(text);
    if (auto* s = qobject_cast<QScrollBar*>(w)) s->setValue(text.toInt());
    if (auto* b = qobject_cast<QCheckBox*>(w)) b->setChecked(text != "0");
    written.push_back(std::string(controlName(control)));
  }
  void soundLoaded(std::string_view path, bool complete) override { loads.push_back({std::string(path), complete}); }
  void soundSaved(std::string_view path) override { saves.push_back(std::string(path)); }

  std::vector<std::string> written;                   // every write's control, in order
  std::vector<std::pair<std::string, bool>> loads;    // what soundLoaded() was told
  std::vector<std::string> saves;

 private:
  static const std::vector<std::pair<const char*, int>>& itemsFor(const QString& name) {
    static const std::vector<std::pair<const char*, int>> shapes{
        {"OSC off", 0}, {"Pulse", 1}, {"Saw", 2}, {"Triangle", 3}, {"Sine", 4}, {"Alt1 Waves", 5}, {"Alt2 Waves", 6}};
    static const std::vector<std::pair<const char*, int>> octaves{
        {"1/2\"", 112}, {"1\"", 100}, {"2\"", 88}, {"4\"", 76}, {"8\"", 64},
        {"16\"", 52},   {"32\"", 40}, {"64\"", 28}, {"128\"", 16}};
    static const std::vector<std::pair<const char*, int>> filters{
        {"---- Bypass", 0},       {"\\_ Lowpass 24 dB", 1},  {"\\_ Lowpass 12 dB", 2}, {"/\\ Bandpass 24 dB", 3},
        {"/\\ Bandpass 12 dB", 4}, {"_/ Highpass 24 dB", 5}, {"_/ Highpass 12 dB", 6}, {"\\/  Notch 24 dB", 7},
        {"\\/  Notch 12 dB", 8},   {"||||| Comb (+)", 9},     {"||||| Comb (-)", 10}};
    if (name.endsWith("shape")) return shapes;
    if (name.endsWith("oct")) return octaves;
    return filters;
  }

  AppContext& ctx_;
};

const std::map<std::string, int> StandInPanel::kControllers{
    {"TextVolume", 7},        {"ComboOSC1shape", 31},   {"ComboOSC1oct", 27},
    {"TextOSC1semi", 28},       {"TextOSC1detune", 29},   {"TextOSC1pw", 33},       {"TextOSC1pwm", 34},
    {"VScrollOSC1vol", 52},     {"CheckOSC1mute", 52},    {"TextOSC1fbalance", 53}, {"ComboOSC2shape", 39},
    {"ComboOSC2oct", 35},       {"TextOSC2semi", 36},     {"TextOSC2detune", 37},   {"TextOSC2pw", 40},
    {"TextOSC2pwm", 41},        {"VScrollOSC2vol", 56},   {"CheckOSC2mute", 56},    {"TextOSC2fbalance", 57},
    {"ComboOSC3shape", 46},     {"ComboOSC3oct", 42},     {"TextOSC3semi", 43},     {"TextOSC3detune", 44},
    {"TextOSC3pw", 47},         {"TextOSC3pwm", 48},      {"VScrollOSC3vol", 58},   {"CheckOSC3mute", 58},
    {"TextOSC3fbalance", 59},   {"ComboFilter1", 68},     {"TextF1_cutoff", 69},    {"TextF1_reso", 70},
    {"TextF1_drive", 71},       {"TextF1_keytrack", 72},  {"TextF1_envamt", 73},    {"TextF1_envvol", 74},
    {"ComboFilter2", 79},       {"TextF2_cutoff", 80},    {"TextF2_reso", 81},      {"TextF2_drive", 82},
    {"TextF2_keytrack", 83},    {"TextF2_envamt", 84},    {"TextF2_envvel", 85},    {"TextFilterParSer", 67},
    {"TextEnv1T1", 101},        {"TextEnv1T2", 102},      {"TextEnv1L2", 103},      {"TextEnv1T3", 106},
    {"TextEnv2T1", 95},         {"TextEnv2T2", 96},       {"TextEnv2L2", 97},       {"TextEnv2T3", 100},
};

// One sound, in file order: the control, the line as it stands in the file, the value the
// control shows, and what a fresh panel sends when it receives it.
struct SoundRow {
  int line;
  const char* control;
  const char* stored;
  const char* shown;
  std::vector<Msg> sends;
};
const std::vector<SoundRow> kSound{
    {2, "TextVolume", "\"100\"", "100", {cc(7, 100)}},
    {3, "ComboOSC1shape", "\"Saw\"", "Saw", {cc(31, 2)}},
    {4, "ComboOSC1oct", "\"8\"", "8\"", {cc(27, 64)}},
    {5, "TextOSC1semi", "\"3\"", "3", {cc(28, 3)}},
    {6, "TextOSC1detune", "\"5\"", "5", {cc(29, 5)}},
    {7, "TextOSC1pw", "\"64\"", "64", {cc(33, 64)}},
    {8, "TextOSC1pwm", "\"10\"", "10", {cc(34, 10)}},
    {11, "VScrollOSC1vol", "127", "127", {cc(52, 127)}},
    {12, "CheckOSC1mute", "0", "0", {}},
    {13, "TextOSC1fbalance", "\"20\"", "20", {cc(53, 20)}},
    {14, "ComboOSC2shape", "\"Pulse\"", "Pulse", {cc(39, 1)}},
    {15, "ComboOSC2oct", "\"1/2\"", "1/2\"", {cc(35, 112)}},
    {16, "TextOSC2semi", "\"0\"", "0", {cc(36, 0)}},
    {17, "TextOSC2detune", "\"7\"", "7", {cc(37, 7)}},
    {18, "TextOSC2pw", "\"32\"", "32", {cc(40, 32)}},
    {19, "TextOSC2pwm", "\"0\"", "0", {cc(41, 0)}},
    {22, "VScrollOSC2vol", "90", "90", {cc(56, 90)}},
    {23, "CheckOSC2mute", "1", "1", {cc(56, 0)}},
    {24, "TextOSC2fbalance", "\"63\"", "63", {cc(57, 63)}},
    {25, "ComboOSC3shape", "\"Sine\"", "Sine", {cc(46, 4)}},
    {26, "ComboOSC3oct", "\"128\"", "128\"", {cc(42, 16)}},
    {27, "TextOSC3semi", "\"12\"", "12", {cc(43, 12)}},
    {28, "TextOSC3detune", "\"1\"", "1", {cc(44, 1)}},
    {29, "TextOSC3pw", "\"127\"", "127", {cc(47, 127)}},
    {30, "TextOSC3pwm", "\"1\"", "1", {cc(48, 1)}},
    {33, "VScrollOSC3vol", "44", "44", {cc(58, 44)}},
    {34, "CheckOSC3mute", "0", "0", {}},
    {35, "TextOSC3fbalance", "\"0\"", "0", {cc(59, 0)}},
    {46, "ComboFilter1", "\"\\_ Lowpass 24 dB\"", "\\_ Lowpass 24 dB", {cc(68, 1)}},
    {47, "TextF1_cutoff", "\"70\"", "70", {cc(69, 70)}},
    {48, "TextF1_reso", "\"20\"", "20", {cc(70, 20)}},
    {49, "TextF1_drive", "\"0\"", "0", {cc(71, 0)}},
    {50, "TextF1_keytrack", "\"64\"", "64", {cc(72, 64)}},
    {51, "TextF1_envamt", "\"90\"", "90", {cc(73, 90)}},
    {52, "TextF1_envvol", "\"30\"", "30", {cc(74, 30)}},
    {53, "ComboFilter2", "\"||||| Comb (-)\"", "||||| Comb (-)", {cc(79, 10)}},
    {54, "TextF2_cutoff", "\"127\"", "127", {cc(80, 127)}},
    {55, "TextF2_reso", "\"0\"", "0", {cc(81, 0)}},
    {56, "TextF2_drive", "\"1\"", "1", {cc(82, 1)}},
    {57, "TextF2_keytrack", "\"2\"", "2", {cc(83, 2)}},
    {58, "TextF2_envamt", "\"3\"", "3", {cc(84, 3)}},
    {59, "TextF2_envvel", "\"4\"", "4", {cc(85, 4)}},
    {60, "TextFilterParSer", "\"1\"", "1", {cc(67, 1)}},
    {61, "TextEnv1T1", "\"0\"", "0", {cc(101, 0)}},
    {62, "TextEnv1T2", "\"40\"", "40", {cc(102, 40)}},
    {63, "TextEnv1L2", "\"100\"", "100", {cc(103, 100)}},
    {64, "TextEnv1T3", "\"20\"", "20", {cc(106, 20)}},
    {65, "TextEnv2T1", "\"5\"", "5", {cc(95, 5)}},
    {66, "TextEnv2T2", "\"60\"", "60", {cc(96, 60)}},
    {67, "TextEnv2L2", "\"80\"", "80", {cc(97, 80)}},
    {68, "TextEnv2T3", "\"15\"", "15", {cc(100, 15)}},
};

// The sound's file typed line by line from the format: header, the rows, the reserved
// constants 0, 0 per oscillator and 0, 64, 64, 64, 0, 0, 0, 0, 64, 0 after the oscillators.
std::vector<std::string> soundLines() {
  std::vector<std::string> lines(68);
  lines[0] = "\"Rotavox soundfileformat v.0.2\"";
  for (int reserved : {9, 10, 20, 21, 31, 32}) lines[reserved - 1] = "0";
  const int block[] = {0, 64, 64, 64, 0, 0, 0, 0, 64, 0};
  for (int i = 0; i < 10; ++i) lines[35 + i] = std::to_string(block[i]);
  for (const SoundRow& row : kSound) lines[row.line - 1] = row.stored;
  return lines;
}

std::string crlf(const std::vector<std::string>& lines, std::size_t count = 68) {
  std::string out;
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) out += lines[i] + "\r\n";
  return out;
}

std::vector<Msg> sendsOfLines(int first, int last, const char* skip = nullptr) {
  std::vector<Msg> out;
  for (const SoundRow& row : kSound)
    if (row.line >= first && row.line <= last && (!skip || std::string(row.control) != skip))
      out.insert(out.end(), row.sends.begin(), row.sends.end());
  return out;
}

std::string shownValue(QWidget* panel, const char* name) {
  QWidget* w = panel->findChild<QWidget*>(name);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
  if (auto* s = qobject_cast<QScrollBar*>(w)) return std::to_string(s->value());
  if (auto* b = qobject_cast<QCheckBox*>(w)) return b->isChecked() ? "1" : "0";
  return "<missing>";
}

void setShown(QWidget* panel, const SoundRow& row) {
  QWidget* w = panel->findChild<QWidget*>(row.control);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(row.shown);
  if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(QString::fromUtf8(row.shown));
  if (auto* s = qobject_cast<QScrollBar*>(w)) s->setValue(std::stoi(row.shown));
  if (auto* b = qobject_cast<QCheckBox*>(w)) b->setChecked(std::string(row.shown) == "1");
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct SoundFileDialogTest : ::testing::Test {
  test::MidiFixture f;
  fs::path dir;
  std::unique_ptr<StandInPanel> panel;
  QPointer<FileDialog> dialog;

  SoundFileDialogTest() {
    char name[] = "/tmp/rotavox-dialog-XXXXXX";
    dir = ::mkdtemp(name);
    f.openOutput();
    panel = std::make_unique<StandInPanel>(f.ctx);
    f.ctx.files.LastSoundFolder = dir.string();
  }
  ~SoundFileDialogTest() override {
    delete dialog.data();
    fs::remove_all(dir);
  }

  void open(const std::string& mode) {
    f.ctx.files.FileDialogMode = mode;
    dialog = new FileDialog(f.ctx, *panel);
    dialog->Form_Load();
    dialog->show();
  }
  void typeName(const QString& name) {
    dialog->TextFilename()->clear();
    QTest::keyClicks(dialog->TextFilename(), name);
  }
  // Double-clicks the folder list's entry that reads `shown`, as the user moves into a folder.
  void enterFolder(const QString& shown) {
    QListWidget* list = dialog->Dir1();
    const QList<QListWidgetItem*> found = list->findItems(shown, Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1) << shown.toStdString();
    ASSERT_EQ(found[0]->text().trimmed(), shown);
    const QPoint at = list->visualItemRect(found[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  void clickFile(const QString& name) {
    const QList<QListWidgetItem*> found = dialog->File1()->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QListWidget* list = dialog->File1();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
  }
  // Presses the action button; true when the dialog closed.
  bool pressAction() {
    f.service.clearRecords();
    QTest::mouseClick(dialog->C_File(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return dialog.isNull();
  }
  bool loadFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    open("Open");
    clickFile(QString::fromStdString(name));
    return pressAction();
  }
  std::vector<Msg> sent() const { return test::decode(f.service.delivered()); }
  using Box = std::pair<std::string, std::string>;
  std::vector<Box> boxes() const {
    std::vector<Box> out;
    for (const auto& b : f.presenter.boxes) out.push_back({b.caption, b.text});
    return out;
  }
};

const char* const kHeaderText = "This betaversion reads only Rotavox format 0.2";
const char* const kEndText = "File corrupt or wrong version! This betaversion reads only Rotavox format 0.2";

TEST_F(SoundFileDialogTest, SaveThenLoadRestoresEveryControlAndResendsTheSoundInFileOrder) {
  for (const SoundRow& row : kSound) setShown(panel.get(), row);
  open("Save");
  typeName("bass");
  ASSERT_TRUE(pressAction());
  EXPECT_EQ(readFile(dir / "bass.rvs"), crlf(soundLines()));
  EXPECT_TRUE(sent().empty()) << "saving sends nothing";

  panel = std::make_unique<StandInPanel>(f.ctx);
  open("Open");
  clickFile("bass.rvs");
  EXPECT_TRUE(pressAction()) << "a good load closes the dialog";
  EXPECT_EQ(sent(), sendsOfLines(2, 68));
  for (const SoundRow& row : kSound) EXPECT_EQ(shownValue(panel.get(), row.control), row.shown) << row.control;
  EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundFileDialogTest, HandWrittenFileWithMoreThan68LinesLoads) {
  std::vector<std::string> lines = soundLines();
  lines.push_back("\"a 69th line\"");
  lines.push_back("garbage,\"more");
  EXPECT_TRUE(loadFile("long.rvs", crlf(lines, lines.size())));
  EXPECT_EQ(sent(), sendsOfLines(2, 68));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundFileDialogTest, EmptyFileGivesTheEndOfInputMessage) {
  EXPECT_FALSE(loadFile("empty.rvs", ""));
  EXPECT_EQ(boxes(), (std::vector<Box>{{"Error reading file", kEndText}}));
  EXPECT_EQ(f.presenter.boxes[0].icon, MessageIcon::Error);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(shownValue(panel.get(), "TextVolume"), "?");
}

TEST_F(SoundFileDialogTest, OtherVersionsGiveTheHeaderMessageAndCloseTheDialog) {
  for (const char* header : {"\"Rotavox soundfileformat v.0.3\"", "\"Rotavox soundfileformat V.0.2\""}) {
    f.presenter.boxes.clear();
    std::vector<std::string> lines = soundLines();
    lines[0] = header;
    EXPECT_TRUE(loadFile("other.rvs", crlf(lines))) << header;
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Error reading file", kHeaderText}})) << header;
    EXPECT_TRUE(sent().empty()) << header;
  }
}

TEST_F(SoundFileDialogTest, FileCutAfterLine30SendsLines2To30ThenReportsTheEnd) {
  EXPECT_FALSE(loadFile("cut.rvs", crlf(soundLines(), 30)));
  EXPECT_EQ(sent(), sendsOfLines(2, 30));
  EXPECT_EQ(boxes(), (std::vector<Box>{{"Error reading file", kEndText}}));
  EXPECT_EQ(shownValue(panel.get(), "TextOSC3pwm"), "1");
  EXPECT_EQ(shownValue(panel.get(), "VScrollOSC3vol"), "0");
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(SoundFileDialogTest, ValuesThatDoNotFitStopTheLoadWithTheGeneralMessage) {
  struct Case {
    int line;
    const char* value;
    int lastApplied;
  };
  for (const Case& c : {Case{11, "\"loud\"", 8}, Case{11, "128", 8}, Case{22, "200", 19}, Case{23, "2", 22},
                        Case{33, "40000", 30}}) {
    panel = std::make_unique<StandInPanel>(f.ctx);
    f.presenter.boxes.clear();
    std::vector<std::string> lines = soundLines();
    lines[c.line - 1] = c.value;
    EXPECT_FALSE(loadFile("bad.rvs", crlf(lines))) << c.value;
    EXPECT_EQ(sent(), sendsOfLines(2, c.lastApplied)) << c.value;
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Error writing/reading file: " + (dir / "bad.rvs").string(),
                                          " 13: Value doesn't fit its control"}}));
    EXPECT_EQ(shownValue(panel.get(), std::string(controlName(kSoundFileLines[c.line - 1].control)).c_str()), "0")
        << "not clamped: " << c.value;
    delete dialog.data();
  }
}

TEST_F(SoundFileDialogTest, SelectorTextMatchingNoItemIsAnsweredByTheBoxAndTheLoadGoesOn) {
  std::vector<std::string> lines = soundLines();
  lines[2] = "\"Square\"";
  EXPECT_TRUE(loadFile("odd.rvs", crlf(lines)));
  EXPECT_EQ(boxes(), (std::vector<Box>{{"Internal error", "Internal error"}}));
  EXPECT_EQ(sent(), sendsOfLines(2, 68, "ComboOSC1shape"));
  EXPECT_EQ(shownValue(panel.get(), "ComboOSC1shape"), "Square");
}

TEST_F(SoundFileDialogTest, SavingBeforeAnyValueIsSetWritesTheStartTexts) {
  open("Save");
  typeName("init.rvs");
  ASSERT_TRUE(pressAction());
  std::vector<std::string> lines = soundLines();
  for (const SoundRow& row : kSound) {
    const std::string name = row.control;
    if (name.rfind("VScroll", 0) == 0 || name.rfind("Check", 0) == 0)
      lines[row.line - 1] = "0";
    else
      lines[row.line - 1] = name.find("oct") != std::string::npos ? "\"\"" : "\"?\"";
  }
  EXPECT_EQ(readFile(dir / "init.rvs"), crlf(lines));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundFileDialogTest, SavingOverAnExistingFileReplacesItWithoutAQuestion) {
  std::ofstream(dir / "pad.rvs") << "an older sound";
  for (const SoundRow& row : kSound) setShown(panel.get(), row);
  open("Save");
  clickFile("pad.rvs");
  EXPECT_TRUE(pressAction());
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(readFile(dir / "pad.rvs"), crlf(soundLines()));
}

TEST_F(SoundFileDialogTest, FolderThatIsGoneGivesTheGeneralMessageAndWritesNothing) {
  fs::create_directory(dir / "gone");
  f.ctx.files.LastSoundFolder = (dir / "gone").string();
  open("Save");
  typeName("bass");
  fs::remove(dir / "gone");
  EXPECT_FALSE(pressAction());
  const std::string path = (dir / "gone" / "bass.rvs").string();
  EXPECT_EQ(boxes(), (std::vector<Box>{{"Error writing/reading file: " + path, " 2: Path not found"}}));
  EXPECT_EQ(dialog->LabelPath()->text().toStdString(), path) << "the path stays for a correction";
  EXPECT_FALSE(fs::exists(dir / "gone"));
}

TEST_F(SoundFileDialogTest, WildcardNameGivesTheGeneralMessageInBothDirections) {
  for (const char* mode : {"Save", "Open"}) {
    f.presenter.boxes.clear();
    open(mode);
    const std::string path = (dir / "*.rvs").string();
    ASSERT_EQ(dialog->LabelPath()->text().toStdString(), path);
    EXPECT_FALSE(pressAction()) << mode;
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Error writing/reading file: " + path, " 1: Bad file name"}})) << mode;
    EXPECT_TRUE(fs::is_empty(dir)) << mode;
    delete dialog.data();
  }
}

// Whoever holds the controls learns of each load and save: the undo history and the compare
// switch rely on it. A file of another version changed nothing and is not told.
TEST_F(SoundFileDialogTest, TellsTheControlsOfEveryLoadAndSave) {
  struct Case {
    const char* name;
    std::size_t lines;      // of the sound's lines; 0 for another version's header
    bool toldLoaded;
    bool complete;
  };
  for (const Case& c : {Case{"whole.rvs", 68, true, true}, Case{"cut.rvs", 30, true, false},
                        Case{"other.rvs", 0, false, false}}) {
    panel = std::make_unique<StandInPanel>(f.ctx);
    std::vector<std::string> lines = soundLines();
    if (c.lines == 0) lines[0] = "\"Rotavox soundfileformat v.0.3\"";
    loadFile(c.name, crlf(lines, c.lines == 0 ? 68 : c.lines));
    const std::vector<std::pair<std::string, bool>> expected =
        c.toldLoaded ? std::vector<std::pair<std::string, bool>>{{(dir / c.name).string(), c.complete}}
                     : std::vector<std::pair<std::string, bool>>{};
    EXPECT_EQ(panel->loads, expected) << c.name;
    EXPECT_TRUE(panel->saves.empty()) << c.name;
    delete dialog.data();
  }
  open("Save");
  typeName("kept");
  ASSERT_TRUE(pressAction());
  EXPECT_EQ(panel->saves, std::vector<std::string>{(dir / "kept.rvs").string()});
  open("Save");
  typeName("*");
  EXPECT_FALSE(pressAction());
  EXPECT_EQ(panel->saves.size(), 1u) << "a failed save is not told";
}

TEST_F(SoundFileDialogTest, MissingFileGivesTheGeneralMessage) {
  open("Open");
  typeName("nothing");
  EXPECT_FALSE(pressAction());
  EXPECT_EQ(boxes(), (std::vector<Box>{{"Error writing/reading file: " + (dir / "nothing.rvs").string(),
                                        " 3: File not found"}}));
}

}  // namespace
}  // namespace rotavox

namespace rotavox {
namespace {

// Names from other systems need not be UTF-8: a Latin-1 "Kl\xe4nge", stray bytes. They are
// listed readably and open and save under their own bytes, in folders of such names too.
TEST_F(SoundFileDialogTest, NamesThatAreNotUtf8OpenAndSaveUnderTheirOwnBytes) {
  struct Case {
    std::string folder, file;  // the bytes on the disk
    QString shownFolder, shownFile;
  };
  const std::vector<Case> cases{
      {"", "Kl\xe4nge.rvs", "", "Kl\u00e4nge.rvs"},
      {"", "bad\xff\xfe name.rvs", "", "bad\u00ff\u00fe name.rvs"},
      {"B\xe4sse", "Kl\xe4nge.rvs", "B\u00e4sse", "Kl\u00e4nge.rvs"},
  };
  for (const Case& c : cases) {
    const std::string where = c.folder.empty() ? c.file : c.folder + "/" + c.file;
    const fs::path folder = c.folder.empty() ? dir : dir / c.folder;
    fs::create_directories(folder);
    std::ofstream(folder / c.file, std::ios::binary) << crlf(soundLines());
    f.ctx.files.LastSoundFolder = dir.string();
    panel = std::make_unique<StandInPanel>(f.ctx);
    f.presenter.boxes.clear();

    open("Open");
    if (!c.folder.empty()) enterFolder(c.shownFolder);
    EXPECT_EQ(f.ctx.files.LastSoundFolder, folder.string()) << where;
    clickFile(c.shownFile);
    const QString shownPath = QString::fromStdString(dir.string()) + "/" +
                              (c.folder.empty() ? c.shownFile : c.shownFolder + "/" + c.shownFile);
    EXPECT_EQ(dialog->LabelPath()->text().toStdString(), shownPath.toStdString()) << where;
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Open " + shownPath.toStdString()) << where;
    EXPECT_TRUE(pressAction()) << where;
    EXPECT_EQ(boxes(), std::vector<Box>{}) << where;
    EXPECT_EQ(sent(), sendsOfLines(2, 68)) << where;

    // Saved back over the same file, not beside it under a look-alike name.
    std::ofstream(folder / c.file, std::ios::binary) << "an older sound";
    for (const SoundRow& row : kSound) setShown(panel.get(), row);
    open("Save");
    clickFile(c.shownFile);
    EXPECT_TRUE(pressAction()) << where;
    EXPECT_EQ(boxes(), std::vector<Box>{}) << where;
    EXPECT_EQ(readFile(folder / c.file), crlf(soundLines())) << where;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << where;
    fs::remove(folder / c.file);
  }
}

}  // namespace
}  // namespace rotavox
namespace rotavox {
namespace {

// What a careless paste puts into the name field: a line feed, a tab and an escape from a
// terminal, or a megabyte. Nothing is written, and the message shows the name readably.
TEST_F(SoundFileDialogTest, PastedNamesThatCannotBeSavedAreRefused) {
  struct Case {
    QString pasted;
    std::string shownName, text;
  };
  const std::vector<Case> cases{
      {"a\nb\tc\x1b[0m", "a\u240ab\u2409c\u241b[0m.rvs", " 1: Bad file name"},
      {"del\x7f", "del\u2421.rvs", " 1: Bad file name"},
      {QString(1 << 20, 'n'), std::string(32767, 'n') + ".rvs", " 8: File name too long"},
  };
  for (const Case& c : cases) {
    f.presenter.boxes.clear();
    open("Save");
    dialog->TextFilename()->clear();
    QApplication::clipboard()->setText(c.pasted);
    QTest::keyClick(dialog->TextFilename(), Qt::Key_V, Qt::ControlModifier);
    const std::string path = dir.string() + "/" + c.shownName;
    EXPECT_EQ(dialog->LabelPath()->text().toStdString(), path);
    EXPECT_FALSE(pressAction());
    EXPECT_EQ(boxes(), (std::vector<Box>{{"Error writing/reading file: " + path, c.text}})) << c.text;
    EXPECT_TRUE(fs::is_empty(dir));
    delete dialog.data();
  }
}

}  // namespace
}  // namespace rotavox
