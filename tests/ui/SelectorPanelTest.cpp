#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "TestSupport.h"

namespace rotavox::test {
namespace {

const char* const kOctaveTip = "Sets the octave in (historical) pipelenght. The bigger the value the deeper the octave!";
const char* const kShapeTip = "Selects oscillator type (i.e. pulse or saw)";
const char* const kFilterTip = "Select a filter type (Lowpass is a typical filter type)";

struct SelectorPanelTest : ::testing::Test, PanelFixture {
  QComboBox* box(const char* name) { return get<QComboBox>(name); }
  // A pick from the list: the item becomes the box's current one, as a click in the list does.
  void pick(const char* name, int index) { box(name)->setCurrentIndex(index); }
  // The one box expected, with its text, caption, stop icon and OK button.
  void expectOneError(const char* text) {
    ASSERT_EQ(fx.presenter.boxes.size(), 1u);
    EXPECT_EQ(fx.presenter.boxes[0].text, text);
    EXPECT_EQ(fx.presenter.boxes[0].caption, "Internal error");
    EXPECT_EQ(fx.presenter.boxes[0].icon, MessageIcon::Critical);
    EXPECT_EQ(fx.presenter.boxes[0].buttons, MessageButtons::Ok);
  }
};

TEST_F(SelectorPanelTest, BoxesListTheirItemsAndShowAQuestionMarkAtStart) {
  const QStringList octaves = {"1/2\"", "1\"", "2\"", "4\"", "8\"", "16\"", "32\"", "64\"", "128\""};
  const QStringList shapes = {"OSC off", "Pulse", "Saw", "Triangle", "Sine", "Alt1 Waves", "Alt2 Waves"};
  const QStringList filters = {"---- Bypass",       "\\_ Lowpass 24 dB",  "\\_ Lowpass 12 dB", "/\\ Bandpass 24 dB",
                               "/\\ Bandpass 12 dB", "_/ Highpass 24 dB", "_/ Highpass 12 dB", "\\/  Notch 24 dB",
                               "\\/  Notch 12 dB",   "||||| Comb (+)",    "||||| Comb (-)"};
  auto items = [](QComboBox* b) {
    QStringList out;
    for (int i = 0; i < b->count(); ++i) out << b->itemText(i);
    return out;
  };
  for (const char* n : {"ComboOSC1oct", "ComboOSC2oct", "ComboOSC3oct"}) {
    EXPECT_EQ(items(box(n)), octaves) << n;
    EXPECT_EQ(box(n)->toolTip(), kOctaveTip);
  }
  EXPECT_EQ(items(box("ComboOSC1shape")), shapes);
  EXPECT_EQ(items(box("ComboOSC2shape")), shapes);
  EXPECT_EQ(items(box("ComboOSC3shape")), shapes.mid(0, 5));
  for (const char* n : {"ComboOSC1shape", "ComboOSC2shape", "ComboOSC3shape"}) EXPECT_EQ(box(n)->toolTip(), kShapeTip);
  for (const char* n : {"ComboFilter1", "ComboFilter2"}) {
    EXPECT_EQ(items(box(n)), filters) << n;
    EXPECT_EQ(box(n)->toolTip(), kFilterTip);
  }
  for (QComboBox* b : panel.findChildren<QComboBox*>()) {
    EXPECT_EQ(b->currentText(), "?") << b->objectName().toStdString();
    EXPECT_TRUE(b->isEditable());
    EXPECT_EQ(b->completer(), nullptr);
  }
  EXPECT_EQ(get<QPushButton>("ResetFilter1")->text(), "Reset to standard");
  EXPECT_EQ(get<QPushButton>("ResetFilter2")->text(), "Reset to standard");
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(fx.presenter.boxes.empty());
}

TEST_F(SelectorPanelTest, APickSendsTheItemsNumberOnce) {
  struct Case {
    const char* box;
    int index;
    Msg message;
  };
  const Case cases[] = {
      {"ComboOSC2oct", 4, cc(35, 64)},  {"ComboOSC1oct", 8, cc(27, 16)},   {"ComboOSC3oct", 0, cc(42, 112)},
      {"ComboOSC3shape", 0, cc(46, 0)}, {"ComboOSC1shape", 6, cc(31, 6)},  {"ComboOSC2shape", 2, cc(39, 2)},
      {"ComboFilter2", 8, cc(79, 8)},   {"ComboFilter1", 10, cc(68, 10)},  {"ComboFilter1", 0, cc(68, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " item " + std::to_string(c.index));
    clear();
    pick(c.box, c.index);
    EXPECT_EQ(sent(), (std::vector<Msg>{c.message}));
  }
  EXPECT_TRUE(fx.presenter.boxes.empty());
}

// The first pick right after start, through the list itself.
TEST_F(SelectorPanelTest, ClickInTheDropDownListSends) {
  panel.show();
  QComboBox* b = box("ComboFilter2");
  b->showPopup();
  QAbstractItemView* list = b->view();
  const QRect item = list->visualRect(list->model()->index(8, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_EQ(b->currentText(), "\\/  Notch 12 dB");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(79, 8)}));
}

TEST_F(SelectorPanelTest, TextsThatAreNoItemAreAnsweredAndSendNothing) {
  struct Case {
    const char* box;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"ComboOSC3shape", "Alt1 Waves", "Wrong OSC type!"},
      {"ComboOSC1shape", "saw", "Wrong OSC type!"},
      {"ComboOSC2shape", "Saw ", "Wrong OSC type!"},
      {"ComboOSC1oct", "8", "Wrong octave!"},
      {"ComboOSC2oct", "8'", "Wrong octave!"},
      {"ComboOSC3oct", "", "Wrong octave!"},
      {"ComboFilter2", "\\/ Notch 12 dB", "Wrong filter type - please restart program"},
      {"ComboFilter1", "Lowpass", "Wrong filter type - please restart program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " <- \"" + c.text + "\"");
    clear();
    box(c.box)->setEditText(c.text);
    EXPECT_EQ(box(c.box)->currentText(), c.text) << "the box keeps the text";
    EXPECT_TRUE(sent().empty());
    expectOneError(c.message);
  }
}

TEST_F(SelectorPanelTest, TypingSawLetterByLetterAnswersTwiceThenSends) {
  QComboBox* b = box("ComboOSC2shape");
  b->setEditText("");
  clear();
  QTest::keyClicks(b->lineEdit(), "Saw");
  EXPECT_EQ(b->currentText(), "Saw");
  ASSERT_EQ(fx.presenter.boxes.size(), 2u);
  for (const auto& shown : fx.presenter.boxes) EXPECT_EQ(shown.text, "Wrong OSC type!");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(39, 2)}));
}

TEST_F(SelectorPanelTest, AWriteOfTheShownTextRunsNothing) {
  box("ComboOSC1oct")->setEditText("4\"");
  clear();
  box("ComboOSC1oct")->setEditText("4\"");
  EXPECT_TRUE(sent().empty());
}

// ---- Reset to standard ------------------------------------------------------------------------

struct ResetCase {
  const char* button;
  std::vector<std::pair<const char*, const char*>> before;  // every control away from standard
  std::vector<Msg> messages;
};

TEST_F(SelectorPanelTest, ResetWritesTypeThenSixFieldsAndASecondPressSendsNothing) {
  const ResetCase cases[] = {
      {"ResetFilter1",
       {{"ComboFilter1", "||||| Comb (+)"}, {"TextF1_cutoff", "10"}, {"TextF1_reso", "10"}, {"TextF1_drive", "10"},
        {"TextF1_keytrack", "10"}, {"TextF1_envamt", "10"}, {"TextF1_envvol", "10"}},
       {cc(68, 1), cc(69, 127), cc(70, 0), cc(71, 0), cc(72, 64), cc(73, 64), cc(74, 64)}},
      {"ResetFilter2",
       {{"ComboFilter2", "_/ Highpass 12 dB"}, {"TextF2_cutoff", "10"}, {"TextF2_reso", "10"}, {"TextF2_drive", "10"},
        {"TextF2_keytrack", "10"}, {"TextF2_envamt", "10"}, {"TextF2_envvel", "10"}},
       {cc(79, 0), cc(80, 127), cc(81, 0), cc(82, 0), cc(83, 64), cc(84, 64), cc(85, 64)}},
  };
  panel.show();
  for (const ResetCase& c : cases) {
    SCOPED_TRACE(c.button);
    for (const auto& [name, text] : c.before) {
      if (auto* b = panel.findChild<QComboBox*>(name))
        b->setEditText(text);
      else
        get<QLineEdit>(name)->setText(text);
    }
    clear();
    QTest::mouseClick(get<QPushButton>(c.button), Qt::LeftButton);
    EXPECT_EQ(sent(), c.messages);
    clear();
    QTest::mouseClick(get<QPushButton>(c.button), Qt::LeftButton);
    EXPECT_TRUE(sent().empty()) << "second press";
    EXPECT_TRUE(fx.presenter.boxes.empty());
  }
}

TEST_F(SelectorPanelTest, ResetOfFilterOneSendsOnlyWhatDifferedAndTouchesNothingElse) {
  box("ComboFilter2")->setEditText("||||| Comb (-)");
  get<QLineEdit>("TextF2_cutoff")->setText("5");
  get<QLineEdit>("TextFilterParSer")->setText("1");
  get<QLineEdit>("TextEnv1T1")->setText("9");
  get<QLineEdit>("TextF1_cutoff")->setText("127");
  get<QLineEdit>("TextF1_keytrack")->setText("64");
  clear();
  panel.ResetFilter1_Click();
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(68, 1), cc(70, 0), cc(71, 0), cc(73, 64), cc(74, 64)}));
  EXPECT_EQ(box("ComboFilter2")->currentText(), "||||| Comb (-)");
  EXPECT_EQ(get<QLineEdit>("TextF2_cutoff")->text(), "5");
  EXPECT_EQ(get<QLineEdit>("TextFilterParSer")->text(), "1");
  EXPECT_EQ(get<QLineEdit>("TextEnv1T1")->text(), "9");
}

}  // namespace
}  // namespace rotavox::test
