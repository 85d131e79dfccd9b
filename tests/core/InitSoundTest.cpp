#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/editor/InitSound.h"
#include "core/editor/ParameterTable.h"

namespace rotavox {
namespace {

// The value control a write goes to: a parameter's value control, or a volume's mute box.
const Parameter* target(std::string_view control, bool& isMuteBox) {
  isMuteBox = false;
  if (const Parameter* p = findParameter(control)) return p;
  for (const Parameter& p : kParameters)
    if (p.kind == ParamKind::Volume && p.companion == control) {
      isMuteBox = true;
      return &p;
    }
  return nullptr;
}

TEST(InitSound, SetsEveryParameterOnceWithAValueItsControlTakes) {
  std::set<std::string_view> written;
  int muteBoxes = 0;
  for (const ControlWrite& w : kInitSound) {
    SCOPED_TRACE(std::string(w.control) + " <- " + std::string(w.value));
    bool isMuteBox = false;
    const Parameter* p = target(w.control, isMuteBox);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(written.insert(w.control).second) << "written twice";
    if (isMuteBox) {
      ++muteBoxes;
      EXPECT_TRUE(w.value == "0" || w.value == "1");
    } else {
      EXPECT_EQ(readField(*p, w.value).state, FieldState::Valid);
    }
  }
  EXPECT_EQ(muteBoxes, 3);
  EXPECT_EQ(written.size() - muteBoxes, kParameterCount) << "every parameter of the panel";
}

TEST(InitSound, ResetsWriteTheTypeThenTheSixFieldsOfTheirOwnFilter) {
  for (ParamGroup filter : {ParamGroup::Filter1, ParamGroup::Filter2}) {
    const auto writes = filterReset(filter);
    ASSERT_EQ(writes.size(), 7u);
    EXPECT_EQ(findParameter(writes[0].control)->kind, ParamKind::FilterType);
    std::size_t knob = 0;
    for (const Parameter& p : kParameters) {
      if (p.group != filter) continue;
      const auto it = std::find_if(writes.begin(), writes.end(), [&](const ControlWrite& w) { return w.control == p.control; });
      ASSERT_NE(it, writes.end()) << p.control;
      EXPECT_EQ(readField(p, it->value).state, FieldState::Valid) << p.control;
      if (p.kind == ParamKind::Knob) {
        EXPECT_EQ(writes[++knob].control, p.control) << "in the panel's order";
      }
    }
    EXPECT_EQ(knob, 6u);
  }
  EXPECT_EQ(kFilter1Reset[0].value, "\\_ Lowpass 24 dB");
  EXPECT_EQ(kFilter2Reset[0].value, "---- Bypass");
}

TEST(InitSound, AsksOnlyOnceTheVolumeFieldHoldsAValue) {
  EXPECT_FALSE(initNeedsConfirmation("?"));
  EXPECT_TRUE(initNeedsConfirmation("110"));
  EXPECT_TRUE(initNeedsConfirmation(""));
  EXPECT_TRUE(initNeedsConfirmation("? "));
}

}  // namespace
}  // namespace rotavox
