#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "../support/ParameterSheet.h"
#include "core/editor/ReceivedValue.h"

namespace rotavox::received_value_test {

const Parameter& param(std::string_view control) {
  for (const Parameter& p : kParameters)
    if (p.control == control) return p;
  throw std::runtime_error("no parameter " + std::string(control));
}

// Every value the sheet says a control can show, for every parameter: the byte it sends, once
// received, shows that value again, and the program's own rule sends that byte for it. A
// value that would come back as another (an offset taken the wrong way, a selector item read
// in the wrong order, a range cut short) fails here.
TEST(ReceivedValue, EveryValueAControlSendsComesBackAsItself) {
  for (const test::SheetRow& r : test::kSheet) {
    SCOPED_TRACE(r.control);
    const Parameter& p = param(r.control);
    std::vector<std::string> shown;
    if (test::isSelector(r)) {
      for (const test::SheetItem& item : test::sheetItems(r.sends)) shown.emplace_back(item.text);
    } else {
      for (int v = r.low; v <= r.high; ++v) shown.push_back(std::to_string(v));
    }
    EXPECT_GE(shown.size(), 2u) << "a control that shows one value";
    for (const std::string& text : shown) {
      const int byte = test::sheetByte(r, text);
      ASSERT_GE(byte, 0) << text;
      EXPECT_EQ(receivedContent(p, byte), text) << "byte " << byte;
      EXPECT_EQ(readField(p, text).byte, byte) << text;
    }
  }
}

// What a control does with a byte it cannot show: a number beyond its range takes the nearest
// end, the octave the nearest pipe length, and a shape or filter type it has no item for
// changes nothing.
TEST(ReceivedValue, BytesAControlCannotShowTakeTheNearestOrNothing) {
  const struct {
    const char* control;
    int byte;
    std::optional<std::string> shown;
  } cases[] = {
      {"TextOSC1semi", 51, "-12"},      {"TextOSC2semi", 77, "12"},        {"TextFilterParSer", 2, "1"},
      {"ComboOSC1oct", 21, "128\""},    {"ComboOSC1oct", 22, "64\""},      {"ComboOSC3oct", 69, "8\""},
      {"ComboOSC3oct", 70, "4\""},      {"ComboOSC1oct", 0, "128\""},      {"ComboOSC2oct", 127, "1/2\""},
      {"ComboOSC1shape", 7, {}},        {"ComboOSC3shape", 5, {}},         {"ComboFilter1", 11, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.byte));
    EXPECT_EQ(receivedContent(param(c.control), c.byte), c.shown);
  }
}

}  // namespace rotavox::received_value_test
