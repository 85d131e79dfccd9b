#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files/BrowserRules.h"
#include "core/midi/Messages.h"

namespace rotavox {
namespace browser_rules_test {

std::vector<std::string> shownRows(const SoundList& list) {
  std::vector<std::string> out;
  for (std::size_t r = 0; r < list.rowCount(); ++r) out.push_back(list.row(r).shown);
  return out;
}

SoundList listOf(std::vector<std::string> files, std::string_view filter = "") {
  SoundList list;
  list.setFiles(std::move(files));
  list.setFilter(filter);
  return list;
}

TEST(BrowserRules, FoldsTheCaseOfLatinGreekAndCyrillicLetters) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"\xC3\x84rger \xC3\x96l \xC3\x9C", "\xC3\xA4rger \xC3\xB6l \xC3\xBC"},  // Ärger Öl Ü
      {"\xC3\x97 \xC3\x9F", "\xC3\x97 \xC3\x9F"},                              // × and ß stay
      {"\xC5\x81\xC3\xB3" "d\xC5\xBA \xC5\x92", "\xC5\x82\xC3\xB3" "d\xC5\xBA \xC5\x93"},  // Łódź Œ
      {"\xC5\xB9\xC5\xB8", "\xC5\xBA\xC3\xBF"},                                // Ź Ÿ
      {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91", "\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1"},  // ΣΟΦΙΑ
      {"\xD0\x81\xD0\x96", "\xD1\x91\xD0\xB6"},                                // ЁЖ
      {"\xFF\xC3 A", "\xFF\xC3 a"},                                            // stray bytes stay
  };
  for (const auto& c : cases) EXPECT_EQ(foldCase(c.in), c.out) << c.in;
}

TEST(BrowserRules, NumbersInNamesCompareByValue) {
  const struct {
    std::string a, b;
    int order;
  } cases[] = {
      {"pad 2", "pad 10", -1},
      {"pad 10", "pad 9", 1},
      {"pad 02", "pad 2", 0},
      {"pad", "pad 1", -1},
      {"x9y10", "x9y9", 1},
      {"take 99999999999999999999", "take 100000000000000000000", -1},  // beyond any integer type
      {"a0", "a", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(naturalCompare(c.a, c.b), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(naturalCompare(c.b, c.a), -c.order) << c.b << " / " << c.a;
  }
}

TEST(BrowserRules, ListsSoundsInNaturalOrderWithoutTheirExtension) {
  const SoundList list = listOf({"pad 10.rvs", "Pad 2.rvs", "pad 1.rvs", "bass.rvs", "Zebra.rvs", "bass 1.rvs",
                                 "Bass 01.rvs", "\xC4rger.rvs", "pad 2b.rvs", "x9y10.rvs", "x9y9.rvs"});
  EXPECT_EQ(shownRows(list), (std::vector<std::string>{"bass", "Bass 01", "bass 1", "pad 1", "Pad 2", "pad 2b",
                                                       "pad 10", "x9y9", "x9y10", "Zebra", "\xC3\x84rger"}));
  EXPECT_EQ(list.row(10).file, "\xC4rger.rvs") << "the name that is not UTF-8 keeps its own bytes";
}

TEST(BrowserRules, FilterKeepsNamesThatContainTheTextInAnyCase) {
  const std::vector<std::string> files{"Pad 1.rvs", "warm PAD.rvs", "Bass.rvs", "\xC4rger.rvs", "Sweep.rvs"};
  const struct {
    std::string filter;
    std::vector<std::string> rows;
  } cases[] = {
      {"", {"Bass", "Pad 1", "Sweep", "warm PAD", "\xC3\x84rger"}},
      {"pAd", {"Pad 1", "warm PAD"}},
      {"\xC3\xA4", {"\xC3\x84rger"}},  // ä finds the Latin-1 Ä
      {"ss", {"Bass"}},
      {".rvs", {}},  // the extension is not part of the name
      {std::string(1 << 20, 'a'), {}},
  };
  for (const auto& c : cases) {
    const SoundList list = listOf(files, c.filter);
    EXPECT_EQ(shownRows(list), c.rows) << c.filter.substr(0, 20);
    EXPECT_EQ(list.fileCount(), files.size());
  }
}

TEST(BrowserRules, NextAndPreviousStepThroughTheFilteredRowsAndStopAtTheEnds) {
  const std::vector<std::string> files{"pad 1.rvs", "pad 2.rvs", "bass 3.rvs", "pad 10.rvs", "lead 5.rvs"};
  const struct {
    std::string filter, from;
    int direction;
    const char* to;  // nullptr: no step
  } cases[] = {
      {"", "", +1, "bass 3.rvs"},
      {"", "", -1, "pad 10.rvs"},
      {"", "lead 5.rvs", +1, "pad 1.rvs"},
      {"", "pad 10.rvs", +1, nullptr},
      {"", "bass 3.rvs", -1, nullptr},
      {"pad", "pad 2.rvs", +1, "pad 10.rvs"},
      {"pad", "lead 5.rvs", +1, "pad 1.rvs"},   // filtered out: from where it would stand
      {"pad", "lead 5.rvs", -1, nullptr},
      {"", "pad 3.rvs", +1, "pad 10.rvs"},      // deleted meanwhile
      {"", "pad 3.rvs", -1, "pad 2.rvs"},
      {"none", "", +1, nullptr},
  };
  for (const auto& c : cases) {
    const SoundList list = listOf(files, c.filter);
    const SoundEntry* to = list.step(c.from, c.direction);
    EXPECT_EQ(to ? to->file.c_str() : "(none)", std::string(c.to ? c.to : "(none)"))
        << "'" << c.filter << "' from '" << c.from << "' " << c.direction;
  }
}

TEST(BrowserRules, AHeldArrowLoadsOnlyWhereTheSelectionRests) {
  SelectionRest rest;
  // Auto-repeat every 33 ms for 10 s: nothing is due while the key is held.
  std::int64_t t = 0;
  for (int row = 0; row < 300; ++row, t += 33) {
    rest.moved("/s/" + std::to_string(row), t);
    EXPECT_FALSE(rest.take(t)) << "row " << row;
  }
  const std::int64_t last = t - 33;
  EXPECT_EQ(rest.dueAt(), last + SelectionRest::kRestMs);
  EXPECT_FALSE(rest.take(last + SelectionRest::kRestMs - 1));
  EXPECT_EQ(rest.take(last + SelectionRest::kRestMs), "/s/299");
  EXPECT_FALSE(rest.take(last + 1000)) << "taken once";
  EXPECT_FALSE(rest.dueAt());

  // Back to the sound loaded last: the panel has it already.
  rest.loaded("/s/299");
  rest.moved("/s/298", 20000);
  rest.moved("/s/299", 20050);
  EXPECT_FALSE(rest.take(21000));
  // A load from elsewhere (Enter, the file dialog) ends the wait.
  rest.moved("/s/5", 30000);
  rest.loaded("/other/x");
  EXPECT_FALSE(rest.dueAt());
  EXPECT_FALSE(rest.take(40000));
}

TEST(BrowserRules, TheNoteAfterALoadIsReleasedOnceOnItsOwnChannel) {
  AuditionNote note;
  EXPECT_TRUE(note.play(16, 0).empty()) << "no channel, no note";
  EXPECT_FALSE(note.release());

  EXPECT_EQ(note.play(3, 1000), (std::vector<std::uint32_t>{noteOn(3, 60, 100)}));
  EXPECT_EQ(note.releaseAt(), 1600);
  EXPECT_FALSE(note.releaseIfDue(1599));
  EXPECT_EQ(note.releaseIfDue(1600), noteOn(3, 60, 0));
  EXPECT_FALSE(note.releaseIfDue(1700)) << "released once";
  EXPECT_FALSE(note.releaseAt());

  // The next sound comes before the note's time is up: released first, on the old channel.
  note.play(3, 2000);
  EXPECT_EQ(note.play(5, 2100), (std::vector<std::uint32_t>{noteOn(3, 60, 0), noteOn(5, 60, 100)}));
  EXPECT_EQ(note.release(), noteOn(5, 60, 0));
  EXPECT_FALSE(note.release());
}

}  // namespace browser_rules_test
}  // namespace rotavox
