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

#include "SoundSends.h"
#include "TestSupport.h"
#include "core/files/SoundFile.h"
#include "ui/files/FileDialog.h"

namespace rotavox {
namespace {

namespace fs = std::filesystem;
using test::Msg;
using test::Sound;
using test::SoundLines;

std::string shownValue(QWidget* panel, const char* name);

// A stand-in for the editor panel: the value controls under their names, each with a change
// handler that sends its parameter the simple way, by the sheet (number fields and selectors
// their byte, volume sliders their position and unticking their box, mute boxes 0 or the
// slider's position). It writes and reads the controls the dialog names by row through their
// widgets.
class StandInPanel : public QWidget, public SoundControls {
 public:
  explicit StandInPanel(AppContext& ctx) : ctx_(ctx) {
    for (const SoundFileLine& line : kSoundFileLines) {
      if (line.kind == SoundLineKind::Header || line.kind == SoundLineKind::Reserved) continue;
      const std::string_view control = controlName(line.control);
      const QString name = QString::fromLatin1(control.data(), static_cast<qsizetype>(control.size()));
      const test::SheetRow& row = *test::sheetRow(control);
      if (name.startsWith("Text")) {
        auto* edit = new QLineEdit("?", this);
        edit->setObjectName(name);
        connect(edit, &QLineEdit::textChanged, this, [this, &row](const QString& t) {
          if (const int byte = test::sheetByte(row, t.toStdString()); byte >= 0) ctx_.midi.SendControlChange(row.cc, byte);
        });
      } else if (name.startsWith("Combo")) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(name);
        combo->setEditable(true);
        for (const test::SheetItem& item : test::sheetItems(row.sends)) combo->addItem(QString::fromUtf8(item.text));
        combo->setEditText("?");
        connect(combo, &QComboBox::editTextChanged, this, [this, &row](const QString& t) {
          const int byte = test::sheetByte(row, t.toStdString());
          if (byte < 0)
            ctx_.presenter.show("Internal error", "Internal error", MessageIcon::Error, MessageButtons::Ok);
          else
            ctx_.midi.SendControlChange(row.cc, byte);
        });
      } else if (name.startsWith("VScroll")) {
        auto* slider = new QScrollBar(Qt::Vertical, this);
        slider->setObjectName(name);
        slider->setRange(0, 127);
        connect(slider, &QScrollBar::valueChanged, this, [this, &row](int v) {
          ctx_.midi.SendControlChange(row.cc, v);
          findChild<QCheckBox*>(row.companion)->setChecked(false);
        });
      } else if (name.startsWith("Check")) {
        auto* box = new QCheckBox(this);
        box->setObjectName(name);
        connect(box, &QCheckBox::toggled, this, [this, &row](bool on) {
          ctx_.midi.SendControlChange(row.cc, on ? 0 : findChild<QScrollBar*>(row.control)->value());
        });
      }
    }
  }

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
  AppContext& ctx_;
};

// The hand-written sound: its file's lines, the header first, and what each control shows
// once it is loaded.
SoundLines soundLines() {
  SoundLines lines{"\"Rotavox soundfileformat v.0.2\""};
  lines.insert(lines.end(), test::kSoundA.begin(), test::kSoundA.end());
  return lines;
}
const Sound& sound() {
  static const Sound s = test::soundOf(test::kSoundA);
  return s;
}

std::string crlf(const SoundLines& lines, std::size_t count = std::string::npos) {
  std::string out;
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) out += lines[i] + "\r\n";
  return out;
}

// What a fresh stand-in sends as the sound's lines `first` to `last` are loaded into it, in
// file order; `odd` gives some controls other values.
std::vector<Msg> sendsOfLines(int first, int last, const Sound& odd = {}) {
  Sound target;
  for (const auto& [control, shown] : sound())
    if (test::lineOf(control) >= first && test::lineOf(control) <= last) target[control] = shown;
  for (const auto& [control, shown] : odd) target[control] = shown;
  Sound shown = test::startSound();
  return test::sendsOfWrites(shown, target, test::fileOrder());
}

std::string shownValue(QWidget* panel, const char* name) {
  QWidget* w = panel->findChild<QWidget*>(name);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
  if (auto* s = qobject_cast<QScrollBar*>(w)) return std::to_string(s->value());
  if (auto* b = qobject_cast<QCheckBox*>(w)) return b->isChecked() ? "1" : "0";
  return "<missing>";
}

// Shows a sound in the stand-in's controls, in file order (a slider moved after its box
// would untick it).
void setShown(QWidget* panel, const Sound& sound) {
  for (const std::string& control : test::fileOrder()) {
    const std::string& shown = sound.at(control);
    QWidget* w = panel->findChild<QWidget*>(QString::fromStdString(control));
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(QString::fromStdString(shown));
    if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(QString::fromStdString(shown));
    if (auto* s = qobject_cast<QScrollBar*>(w)) s->setValue(std::stoi(shown));
    if (auto* b = qobject_cast<QCheckBox*>(w)) b->setChecked(shown == "1");
  }
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
  setShown(panel.get(), sound());
  open("Save");
  typeName("bass");
  ASSERT_TRUE(pressAction());
  EXPECT_EQ(readFile(dir / "bass.rvs"), crlf(soundLines()));
  EXPECT_TRUE(sent().empty()) << "saving sends nothing";

  panel = std::make_unique<StandInPanel>(f.ctx);
  open("Open");
  clickFile("bass.rvs");
  EXPECT_TRUE(pressAction()) << "a good load closes the dialog";
  EXPECT_EQ(sent(), sendsOfLines(2, kSoundFileLineCount));
  for (const auto& [control, shown] : sound()) EXPECT_EQ(shownValue(panel.get(), control.c_str()), shown) << control;
  EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundFileDialogTest, HandWrittenFileWithMoreLinesLoads) {
  std::vector<std::string> lines = soundLines();
  lines.push_back("\"a 69th line\"");
  lines.push_back("garbage,\"more");
  EXPECT_TRUE(loadFile("long.rvs", crlf(lines, lines.size())));
  EXPECT_EQ(sent(), sendsOfLines(2, kSoundFileLineCount));
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
  EXPECT_EQ(sent(), sendsOfLines(2, kSoundFileLineCount, {{"ComboOSC1shape", "Square"}}));
  EXPECT_EQ(shownValue(panel.get(), "ComboOSC1shape"), "Square");
}

TEST_F(SoundFileDialogTest, SavingBeforeAnyValueIsSetWritesTheStartTexts) {
  open("Save");
  typeName("init.rvs");
  ASSERT_TRUE(pressAction());
  // Every field and selector "?", an octave less its last character, sliders and boxes 0.
  EXPECT_EQ(readFile(dir / "init.rvs"), test::soundFile(test::linesOf(test::startSound(), test::kSoundA)));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundFileDialogTest, SavingOverAnExistingFileReplacesItWithoutAQuestion) {
  std::ofstream(dir / "pad.rvs") << "an older sound";
  setShown(panel.get(), sound());
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
    std::size_t lines;      // of the sound's lines; 0: all, under another version's header
    bool toldLoaded;
    bool complete;
  };
  for (const Case& c : {Case{"whole.rvs", soundLines().size(), true, true}, Case{"cut.rvs", 30, true, false},
                        Case{"other.rvs", 0, false, false}}) {
    panel = std::make_unique<StandInPanel>(f.ctx);
    std::vector<std::string> lines = soundLines();
    if (c.lines == 0) lines[0] = "\"Rotavox soundfileformat v.0.3\"";
    loadFile(c.name, crlf(lines, c.lines == 0 ? lines.size() : c.lines));
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
    EXPECT_EQ(sent(), sendsOfLines(2, kSoundFileLineCount)) << where;

    // Saved back over the same file, not beside it under a look-alike name.
    std::ofstream(folder / c.file, std::ios::binary) << "an older sound";
    setShown(panel.get(), sound());
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
