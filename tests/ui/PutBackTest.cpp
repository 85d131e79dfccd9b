#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QCheckBox>

#include "TestSupport.h"

namespace rotavox::test {
namespace put_back_test {

// The colour the box is drawn in: a corner of it, outside the tick square.
QColor background(QCheckBox* box) { return box->grab().toImage().pixelColor(1, 1); }

// Putting a whole sound back (undo, redo, compare) sends for an oscillator's volume only what
// its level on the instrument needs: the level it ends at, once, when it differs from the level
// it had (0 while muted); nothing when the two are the same. Every combination of mute and
// level before and after, on oscillator 2.
TEST(PutBack, AnOscillatorsVolumeSendsOnlyTheLevelItEndsAtOnce) {
  PanelFixture f;
  f.panel.show();
  auto* slider = f.get<QAbstractSlider>("VScrollOSC2vol");
  auto* box = f.get<QCheckBox>("CheckOSC2mute");
  const ValueControl volume{Param::VScrollOSC2vol}, mute = muteBoxOf(Param::VScrollOSC2vol);
  const int levels[] = {0, 40, 100};
  for (bool mutedBefore : {false, true})
    for (int before : levels)
      for (bool mutedAfter : {false, true})
        for (int after : levels) {
          SCOPED_TRACE(::testing::Message() << "from " << before << (mutedBefore ? " muted" : "") << " to " << after
                                            << (mutedAfter ? " muted" : ""));
          f.panel.write(volume, std::to_string(before));
          f.panel.write(mute, mutedBefore ? "1" : "0");
          SoundState target = f.panel.soundState();
          target[valueIndex(volume)] = std::to_string(after);
          target[valueIndex(mute)] = mutedAfter ? "1" : "0";
          f.clear();

          f.panel.putBack(target);

          const int heardBefore = mutedBefore ? 0 : before, heardAfter = mutedAfter ? 0 : after;
          const std::vector<Msg> expected =
              heardBefore == heardAfter ? std::vector<Msg>{} : std::vector<Msg>{cc(56, heardAfter)};
          EXPECT_EQ(f.sent(), expected);
          EXPECT_EQ(f.panel.soundState(), target);
          EXPECT_EQ(slider->value(), after);
          EXPECT_EQ(box->isChecked(), mutedAfter);
          EXPECT_EQ(background(box), mutedAfter ? QColor(255, 0, 0) : QColor(0, 192, 0));
        }
}

}  // namespace put_back_test
}  // namespace rotavox::test
