#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <set>

#include "TestSupport.h"
#include "support/ParameterSheet.h"
#include "core/editor/ParameterTable.h"
#include "ui/common/Twips.h"

namespace rotavox::test {
namespace {

QRect scrollBarPart(QScrollBar* bar, QStyle::SubControl part) {
  QStyleOptionSlider opt;
  opt.initFrom(bar);
  opt.subControls = QStyle::SC_All;
  opt.orientation = bar->orientation();
  opt.minimum = bar->minimum();
  opt.maximum = bar->maximum();
  opt.sliderPosition = bar->sliderPosition();
  opt.sliderValue = bar->value();
  opt.singleStep = bar->singleStep();
  opt.pageStep = bar->pageStep();
  opt.upsideDown = bar->invertedAppearance();
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
}

// The colour the box is drawn in: a corner of it, outside the tick square.
QColor background(QCheckBox* box) { return box->grab().toImage().pixelColor(1, 1); }

struct PanelTest : ::testing::Test, PanelFixture {
  QLineEdit* field(const char* name) { return get<QLineEdit>(name); }
  // Empties a field, sending whatever its handling sends, and forgets it.
  void empty(const char* name) {
    field(name)->setText("");
    clear();
  }
};

// ---- the panel as built ---------------------------------------------------------------------

TEST_F(PanelTest, EveryParameterHasItsControlsUnderTheirNames) {
  for (const Parameter& p : kParameters) {
    const QString control = QString::fromUtf8(p.control.data(), p.control.size());
    SCOPED_TRACE(control.toStdString());
    switch (p.kind) {
      case ParamKind::Octave:
      case ParamKind::Shape:
      case ParamKind::FilterType:
        ASSERT_NE(panel.findChild<QComboBox*>(control), nullptr);
        EXPECT_EQ(panel.findChild<QComboBox*>(control)->currentText(), "?");
        break;
      case ParamKind::Volume:
        ASSERT_NE(panel.findChild<QAbstractSlider*>(control), nullptr);
        EXPECT_EQ(panel.findChild<QAbstractSlider*>(control)->value(), 0);
        break;
      default:
        ASSERT_NE(panel.findChild<QLineEdit*>(control), nullptr);
        EXPECT_EQ(panel.findChild<QLineEdit*>(control)->text(), "?");
    }
    if (!p.companion.empty()) {
      EXPECT_NE(panel.findChild<QWidget*>(QString::fromUtf8(p.companion.data(), p.companion.size())), nullptr)
          << p.companion;
    }
  }
  EXPECT_TRUE(sent().empty());
}

TEST_F(PanelTest, GroupsLabelsAndToolTipsReadAsDesigned) {
  std::set<QString> titles, labels;
  for (QGroupBox* g : panel.findChildren<QGroupBox*>()) titles.insert(g->title());
  for (QLabel* l : panel.findChildren<QLabel*>()) labels.insert(l->text());
  for (const char* t : {"OSC 1", "OSC 2", "OSC 3", "Filter 1", "Filter 2", "Envelope Amp", "Envelope Filter"})
    EXPECT_TRUE(titles.count(t)) << t;
  for (const char* l : {"Semi", "Detune", "PW", "PWM", "F1 - F2", "Cutoff", "Reso", "Drive", "Keytrck", "EnvAmt",
                        "EnvVel", "Att", "Dec", "Sustain", "Rel", "Main vol.:"})
    EXPECT_TRUE(labels.count(l)) << l;

  const QString balance = "Filter balance (-64 routes OSC to F1, +64 routes OSC to F2)";
  const QString mute = "This mutes/unmutes the OSC!";
  const QString routing = "Selects parallel (4-pole) or serial (2x 2-pole) filter";
  for (const char* n : {"TextOSC1fbalance", "TextOSC2fbalance", "TextOSC3fbalance"})
    EXPECT_EQ(get(n)->toolTip(), balance) << n;
  for (const char* n : {"CheckOSC1mute", "CheckOSC2mute", "CheckOSC3mute"}) {
    EXPECT_EQ(get(n)->toolTip(), mute) << n;
    EXPECT_EQ(background(get<QCheckBox>(n)), QColor(0, 192, 0)) << n;
  }
  for (const char* n : {"TextFilterParSer", "ImageParallel", "ImageSeriell"}) EXPECT_EQ(get(n)->toolTip(), routing);
  EXPECT_TRUE(get("knobF1_cutoff")->toolTip().isEmpty());
}

TEST_F(PanelTest, RoutingFieldHasNoWidthNoTabStopAndPicturesShareOnePlace) {
  EXPECT_EQ(get("TextFilterParSer")->width(), 0);
  EXPECT_EQ(get("TextFilterParSer")->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(get("ImageParallel")->size(), QSize(100, 41));
  EXPECT_EQ(get("ImageParallel")->geometry(), get("ImageSeriell")->geometry());
  EXPECT_FALSE(get("ImageParallel")->isHidden());
  EXPECT_TRUE(get("ImageSeriell")->isHidden());
}

TEST_F(PanelTest, SlidersHaveTheirRangesAndVolumesGrowUpward) {
  for (const char* n : {"HScrollOSC1semi", "HScrollOSC2semi", "HScrollOSC3semi"}) {
    EXPECT_EQ(get<QScrollBar>(n)->minimum(), -12);
    EXPECT_EQ(get<QScrollBar>(n)->maximum(), 12);
  }
  for (const char* n : {"HScrollOSC1detune", "HScrollOSC3fbalance"}) {
    EXPECT_EQ(get<QScrollBar>(n)->minimum(), -64);
    EXPECT_EQ(get<QScrollBar>(n)->maximum(), 63);
    EXPECT_FALSE(get<QScrollBar>(n)->hasTracking());
  }
  // 127 at the top: a press on the upper end of the groove raises the value.
  panel.show();
  auto* vol = get<QSlider>("VScrollOSC1vol");
  QTest::mouseClick(vol, Qt::LeftButton, {}, QPoint(vol->width() / 2, 3));
  EXPECT_GT(vol->value(), 0);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(52, vol->value())}));
}

// The controls stay clear of the play area in the lower right corner and of each other's
// groups; the knobs stand in their cells.
TEST_F(PanelTest, NothingReachesIntoThePlayArea) {
  const QRect play = twipRect(8600, 5700, EditorPanel::kWidthTwips - 8600, EditorPanel::kHeightTwips - 5700);
  for (QWidget* w : panel.findChildren<QWidget*>()) {
    if (w->window() != panel.window()) continue;  // the selectors' drop-down lists
    const QRect r(w->mapTo(&panel, QPoint(0, 0)), w->size());
    EXPECT_FALSE(r.intersects(play)) << w->objectName().toStdString();
    EXPECT_TRUE(panel.rect().contains(r)) << w->objectName().toStdString();
  }
  EXPECT_EQ(get("knobEnvAmp1")->size(), QSize(40, 44));
}

// ---- knob fields and offset fields -----------------------------------------------------------

TEST_F(PanelTest, ClearingCutoffSendsNothingAndTyping100SendsEachKeystroke) {
  field("TextF1_cutoff")->setText("5");
  clear();
  field("TextF1_cutoff")->setText("");
  EXPECT_TRUE(sent().empty());
  QTest::keyClicks(field("TextF1_cutoff"), "100");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(69, 1), cc(69, 10), cc(69, 100)}));
}

struct SendCase {
  const char* field;
  const char* text;
  std::vector<Msg> messages;
};

TEST_F(PanelTest, EachFieldSendsItsNumberOnItsController) {
  const SendCase cases[] = {
      {"TextOSC1semi", "-12", {cc(28, 52)}},       {"TextOSC1semi", "0", {cc(28, 64)}},
      {"TextOSC1semi", "12", {cc(28, 76)}},        {"TextOSC2detune", "-64", {cc(37, 0)}},
      {"TextOSC3detune", "63", {cc(44, 127)}},     {"TextOSC1fbalance", "63", {cc(53, 127)}},
      {"TextOSC2fbalance", "-64", {cc(57, 0)}},    {"TextF1_envvol", "33", {cc(74, 33)}},
      {"TextF2_envvel", "34", {cc(85, 34)}},       {"TextOSC3pw", "0", {cc(47, 0)}},
      {"TextOSC2pwm", "127", {cc(41, 127)}},       {"TextF2_keytrack", "+7", {cc(83, 7)}},
      {"TextOSC1semi", " 3 ", {cc(28, 67)}},
  };
  for (const SendCase& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.text);
    empty(c.field);
    field(c.field)->setText(c.text);
    EXPECT_EQ(sent(), c.messages);
  }
}

TEST_F(PanelTest, EmptyingAnyKnobOrOffsetFieldSendsNothing) {
  for (const Parameter& p : kParameters) {
    if (p.kind != ParamKind::Knob && p.kind != ParamKind::Semitone && p.kind != ParamKind::Detune &&
        p.kind != ParamKind::Balance)
      continue;
    QLineEdit* f = panel.findChild<QLineEdit*>(QString::fromUtf8(p.control.data(), p.control.size()));
    f->setText("1");
    clear();
    f->setText("");
    EXPECT_TRUE(sent().empty()) << p.control;
  }
}

TEST_F(PanelTest, TypingTwelveIntoEmptySemitoneSendsTwiceAndLeavesTheSlider) {
  empty("TextOSC1semi");
  QTest::keyClicks(field("TextOSC1semi"), "12");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(28, 65), cc(28, 76)}));
  EXPECT_EQ(get<QScrollBar>("HScrollOSC1semi")->value(), 0);
}

TEST_F(PanelTest, DetuneThumbDragSendsOnceWhenLetGo) {
  panel.show();
  auto* bar = get<QScrollBar>("HScrollOSC2detune");
  const QRect thumb = scrollBarPart(bar, QStyle::SC_ScrollBarSlider);
  const QRect groove = scrollBarPart(bar, QStyle::SC_ScrollBarGroove);
  const QPoint grip = thumb.center();
  // Where the grip stands when the thumb shows a value.
  auto gripAt = [&](int value) {
    const int left = QStyle::sliderPositionFromValue(bar->minimum(), bar->maximum(), value,
                                                     groove.width() - thumb.width());
    return QPoint(groove.left() + left + (grip.x() - thumb.left()), grip.y());
  };
  QTest::mousePress(bar, Qt::LeftButton, {}, grip);
  for (int value : {-5, -10, -15, -20}) moveHeld(bar, gripAt(value));
  EXPECT_TRUE(sent().empty()) << "nothing while the thumb is held";
  QTest::mouseRelease(bar, Qt::LeftButton, {}, gripAt(-20));
  EXPECT_EQ(bar->value(), -20);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(37, 44)}));
  EXPECT_EQ(field("TextOSC2detune")->text(), "-20");
}

TEST_F(PanelTest, InitWriteLeavesDetuneSliderWhereItWasAndItsArrowStepsFromThere) {
  panel.show();
  auto* bar = get<QScrollBar>("HScrollOSC1detune");
  bar->setValue(20);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(29, 84)}));
  clear();
  field("TextOSC1detune")->setText("0");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(29, 64)}));
  EXPECT_EQ(bar->value(), 20);
  clear();
  QTest::mouseClick(bar, Qt::LeftButton, {}, scrollBarPart(bar, QStyle::SC_ScrollBarAddLine).center());
  EXPECT_EQ(field("TextOSC1detune")->text(), "21");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(29, 85)}));
}

TEST_F(PanelTest, MirrorSliderSendsOneMessageAndNoneForTheNumberShown) {
  field("TextOSC3semi")->setText("4");
  clear();
  get<QScrollBar>("HScrollOSC3semi")->setValue(4);  // the field shows 4 already
  EXPECT_TRUE(sent().empty());
  get<QScrollBar>("HScrollOSC3semi")->setValue(-3);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(43, 61)}));
  // A balance slider moved by its field comes back to the same place: still one message.
  clear();
  get<QScrollBar>("HScrollOSC1fbalance")->setValue(10);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(53, 74)}));
  EXPECT_EQ(field("TextOSC1fbalance")->text(), "10");
}

TEST_F(PanelTest, TypingMinusThirtyIntoBalanceMovesItsSlider) {
  empty("TextOSC3fbalance");
  QTest::keyClicks(field("TextOSC3fbalance"), "-30");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(59, 61), cc(59, 34)}));
  EXPECT_EQ(get<QScrollBar>("HScrollOSC3fbalance")->value(), -30);
  EXPECT_EQ(field("TextOSC3fbalance")->text(), "-30");
}

// ---- text that is no value -------------------------------------------------------------------

TEST_F(PanelTest, TextThatIsNoWholeNumberInRangeSendsNothingAndIsMarkedUntilValid) {
  struct Bad {
    const char* field;
    const char* text;
    const char* hint;
  };
  const Bad cases[] = {
      {"TextF1_cutoff", "abc", "Whole number from 0 to 127"}, {"TextF1_cutoff", "300", "Whole number from 0 to 127"},
      {"TextOSC1pw", "12.5", "Whole number from 0 to 127"},   {"TextOSC2pwm", "-1", "Whole number from 0 to 127"},
      {"TextOSC1semi", "-", "Whole number from -12 to 12"},   {"TextOSC1semi", "13", "Whole number from -12 to 12"},
      {"TextOSC2detune", "64", "Whole number from -64 to 63"}, {"TextOSC3fbalance", "-65", "Whole number from -64 to 63"},
      {"TextOSC3fbalance", "1e3", "Whole number from -64 to 63"},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- " + c.text);
    QLineEdit* f = field(c.field);
    const QString ownTip = f->toolTip();
    f->setText("1");
    clear();
    f->setText(c.text);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(f->text(), c.text) << "left as typed";
    EXPECT_TRUE(f->property("invalid").toBool());
    EXPECT_EQ(f->toolTip(), c.hint);
    f->setText("2");
    EXPECT_FALSE(f->property("invalid").toBool());
    EXPECT_EQ(f->toolTip(), ownTip);
  }
}

TEST_F(PanelTest, BalanceOutsideItsRangeLeavesTheSlider) {
  field("TextOSC2fbalance")->setText("-10");
  clear();
  field("TextOSC2fbalance")->setText("-100");
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(get<QScrollBar>("HScrollOSC2fbalance")->value(), -10);
}

// Random texts into every number field: the program keeps running, and whatever goes out is a
// Control Change of the editor with a data byte within 0..127.
TEST_F(PanelTest, RandomTextsNeverSendABadByte) {
  std::set<int> controllers;
  for (const Parameter& p : kParameters) controllers.insert(p.cc);
  const char alphabet[] = "0123456789-+. ?xe";
  QRandomGenerator rng(20240607);
  std::vector<QLineEdit*> fields;
  for (const Parameter& p : kParameters)
    if (auto* f = panel.findChild<QLineEdit*>(QString::fromUtf8(p.control.data(), p.control.size())))
      fields.push_back(f);
  std::size_t numberFields = 0;
  for (const SheetRow& r : kSheet) numberFields += std::string_view(r.control).starts_with("Text");
  ASSERT_EQ(fields.size(), numberFields);
  for (int round = 0; round < 3000; ++round) {
    QString text;
    const int length = rng.bounded(7);
    for (int i = 0; i < length; ++i) text += QChar(alphabet[rng.bounded(int(sizeof alphabet) - 1)]);
    fields[rng.bounded(int(fields.size()))]->setText(text);
  }
  ASSERT_FALSE(fx.service.delivered().empty());
  for (const Msg& m : sent()) {
    EXPECT_EQ(m.status, 0xB0);
    EXPECT_TRUE(controllers.count(m.data1)) << m.data1;
    EXPECT_GE(m.data2, 0);
    EXPECT_LE(m.data2, 127);
  }
}

// ---- volume sliders and mute boxes ------------------------------------------------------------

TEST_F(PanelTest, MuteSendsZeroAndTurnsRedUnmuteSendsThePositionAndTurnsGreen) {
  get<QSlider>("VScrollOSC2vol")->setValue(90);
  clear();
  auto* box = get<QCheckBox>("CheckOSC2mute");
  panel.show();
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(56, 0)}));
  EXPECT_EQ(background(box), QColor(255, 0, 0));
  clear();
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(56, 90)}));
  EXPECT_EQ(background(box), QColor(0, 192, 0));
  EXPECT_EQ(get<QSlider>("VScrollOSC2vol")->value(), 90) << "muting does not move the slider";
}

TEST_F(PanelTest, MovingAVolumeSliderWhileMutedSendsTwiceAndUnmutes) {
  get<QSlider>("VScrollOSC1vol")->setValue(40);
  get<QCheckBox>("CheckOSC1mute")->setChecked(true);
  clear();
  get<QSlider>("VScrollOSC1vol")->setValue(70);
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(52, 70), cc(52, 70)}));
  EXPECT_FALSE(get<QCheckBox>("CheckOSC1mute")->isChecked());
  EXPECT_EQ(background(get<QCheckBox>("CheckOSC1mute")), QColor(0, 192, 0));
  clear();
  get<QSlider>("VScrollOSC1vol")->setValue(71);  // not muted: once
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(52, 71)}));
}

// ---- main volume ------------------------------------------------------------------------------

TEST_F(PanelTest, MainVolumeFieldMovesTheSliderWhichSends) {
  struct Case {
    int sliderAt;
    const char* text;
    const char* shown;
    std::vector<Msg> messages;
  };
  const Case cases[] = {
      {50, "200", "0", {cc(7, 0)}},       // beyond 127: back to "0"
      {0, "200", "0", {}},                // ... and nothing when the slider stood at 0
      {50, "-5", "5", {cc(7, 5)}},        // the sign is dropped
      {50, "5.5", "6", {cc(7, 6)}},       // rounded, halves to even
      {50, "4.5", "4", {cc(7, 4)}},
      {50, "50", "50", {}},               // the slider's own value: nothing
      {50, "", "0", {cc(7, 0)}},          // empty reads 0
      {50, "-128", "0", {cc(7, 0)}},
      {50, "-127", "127", {cc(7, 127)}},
      {50, "99abc", "99", {cc(7, 99)}},   // the leading number
  };
  auto* field = get<QLineEdit>("TextVolume");
  auto* slider = get<QSlider>("RollVolume");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    field->setText("?");
    slider->setValue(c.sliderAt);
    field->setText(QString::number(c.sliderAt));
    clear();
    field->setText(c.text);
    EXPECT_EQ(field->text(), c.shown);
    EXPECT_EQ(sent(), c.messages);
    EXPECT_EQ(panel.mainVolume(), slider->value());
  }
}

TEST_F(PanelTest, MainVolumeSliderWritesTheFieldAndSends) {
  get<QSlider>("RollVolume")->setValue(110);
  EXPECT_EQ(get<QLineEdit>("TextVolume")->text(), "110");
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(7, 110)}));
  EXPECT_EQ(panel.mainVolume(), 110);
}

// ---- routing ----------------------------------------------------------------------------------

TEST_F(PanelTest, ClickingTheVisibleRoutingPictureSwitchesTheRouting) {
  panel.show();
  QTest::mouseClick(get("ImageParallel"), Qt::LeftButton, {}, QPoint(50, 20));
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(67, 1)}));
  EXPECT_TRUE(get("ImageSeriell")->isVisible());
  EXPECT_FALSE(get("ImageParallel")->isVisible());
  EXPECT_EQ(get<QLineEdit>("TextFilterParSer")->text(), "1");
  clear();
  QTest::mouseClick(get("ImageSeriell"), Qt::LeftButton, {}, QPoint(50, 20));
  EXPECT_EQ(sent(), (std::vector<Msg>{cc(67, 0)}));
  EXPECT_TRUE(get("ImageParallel")->isVisible());
  EXPECT_FALSE(get("ImageSeriell")->isVisible());
}

TEST_F(PanelTest, RoutingFieldKeepsToZeroOrOne) {
  panel.show();
  struct Case {
    const char* from;
    const char* text;
    const char* shown;
    bool serial;
    std::vector<Msg> messages;
  };
  const Case cases[] = {
      {"1", "5", "0", false, {cc(67, 0), cc(67, 0)}},  // the nested run for "0", then the first run
      {"0", "1", "1", true, {cc(67, 1)}},
      {"1", "0", "0", false, {cc(67, 0)}},
      {"0", "x", "0", false, {cc(67, 0), cc(67, 0)}},
      {"1", "", "0", false, {cc(67, 0), cc(67, 0)}},
  };
  auto* field = get<QLineEdit>("TextFilterParSer");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    field->setText(c.from);
    clear();
    field->setText(c.text);
    EXPECT_EQ(field->text(), c.shown);
    EXPECT_EQ(sent(), c.messages);
    EXPECT_EQ(get("ImageSeriell")->isVisible(), c.serial);
    EXPECT_EQ(get("ImageParallel")->isVisible(), !c.serial);
  }
}

// ---- how it looks -----------------------------------------------------------------------------

TEST_F(PanelTest, RendersToAPictureThatIsNotBlank) {
  panel.show();
  const QImage image = panel.grab().toImage();
  QDir().mkpath(ROTAVOX_SCREENSHOT_DIR);
  const QString name = QString("%1/editor_panel_%2x.png").arg(ROTAVOX_SCREENSHOT_DIR).arg(panel.devicePixelRatioF());
  ASSERT_TRUE(image.save(name));
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 20u);
  // A graph line is drawn where its twips say: the amp attack line at the base line's start.
  const double dpr = image.devicePixelRatioF();
  const QColor attack = image.pixelColor(int(twips(380) * dpr), int(twips(6465) * dpr));
  EXPECT_LT(attack.red(), 120) << "dark blue near (380, 6465)";
  EXPECT_GT(attack.blue(), attack.red());
}

}  // namespace
}  // namespace rotavox::test
