#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files/PathRule.h"

namespace rotavox {
namespace {

TEST(PathRule, BuildsTheFullPathFromFolderAndName) {
  struct Case {
    std::string folder, name, path;
  };
  const std::vector<Case> cases{
      {"/home/ann/sounds", "bass", "/home/ann/sounds/bass.rvs"},
      {"/home/ann/sounds", "bass.rvs", "/home/ann/sounds/bass.rvs"},
      {"/home/ann/sounds", "bass.RVS", "/home/ann/sounds/bass.RVS.rvs"},
      {"/home/ann/sounds", "bass.rvs.rvs", "/home/ann/sounds/bass.rvs.rvs"},
      {"/home/ann/sounds", "*.rvs", "/home/ann/sounds/*.rvs"},
      {"/home/ann/sounds", ".rvs", "/home/ann/sounds/.rvs"},
      {"/home/ann/sounds", "", "/home/ann/sounds/.rvs"},
      {"/home/ann/sounds", "rvs", "/home/ann/sounds/rvs.rvs"},
      {"/", "bass", "/bass.rvs"},
      {"/media/usb/", "lead", "/media/usb/lead.rvs"},
  };
  for (const Case& c : cases) EXPECT_EQ(soundFilePath(c.folder, c.name), c.path) << c.folder << " + " << c.name;
  EXPECT_EQ(soundFilePath("C:\\", "bass", '\\'), "C:\\bass.rvs");
  EXPECT_EQ(soundFilePath("C:\\Sounds", "bass", '\\'), "C:\\Sounds\\bass.rvs");
}

TEST(PathRule, SplitsPathsIntoFolderAndName) {
  EXPECT_EQ(fileNameOf("/a/b/bass.rvs"), "bass.rvs");
  EXPECT_EQ(fileNameOf("bass.rvs"), "bass.rvs");
  EXPECT_EQ(fileNameOf("/a/"), "");
  EXPECT_EQ(folderOf("/a/b/bass.rvs"), "/a/b");
  EXPECT_EQ(folderOf("/bass.rvs"), "/");
  EXPECT_EQ(folderOf("bass.rvs"), "");
}

TEST(PathRule, ReadableNamesOfAnyBytes) {
  struct Case {
    std::string bytes, shown;
  };
  const std::vector<Case> cases{
      {"bass.rvs", "bass.rvs"},
      {"Kl\xc3\xa4nge.rvs", "Kl\xc3\xa4nge.rvs"},            // UTF-8 stays
      {"Kl\xe4nge.rvs", "Kl\xc3\xa4nge.rvs"},                 // Latin-1 reads the same
      {"bad\xff\xfe name.rvs", "bad\xc3\xbf\xc3\xbe name.rvs"},
      {"\xe2\x82\xac \xf0\x9f\x8e\xb9", "\xe2\x82\xac \xf0\x9f\x8e\xb9"},  // three- and four-byte characters
      {"cut\xe2\x82", "cut\xc3\xa2\xef\xbf\xbd"},          // a character cut short
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                       // an overlong "/" is no "/"
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xef\xbf\xbd"},      // a surrogate
      {"\xf4\x90\x80\x80", "\xc3\xb4\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // beyond U+10FFFF
      {"a\nb\tc\x1b\x7f", "a\xe2\x90\x8a" "b\xe2\x90\x89" "c\xe2\x90\x9b\xe2\x90\xa1"},
      {"c1\xc2\x85", "c1\xef\xbf\xbd"},                      // an invisible C1 control
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(readableName(c.bytes), c.shown) << c.bytes;
}

TEST(PathRule, FilePatterns) {
  struct Case {
    std::string name, pattern;
    bool matches;
  };
  const std::vector<Case> cases{
      {"bass.rvs", "*.rvs", true},  {"bass.RVS", "*.rvs", false}, {"bass.rvs.bak", "*.rvs", false},
      {".rvs", "*.rvs", true},      {"rvs", "*.rvs", false},      {"a.rvs.rvs", "*.rvs", true},
      {"pad1.rvs", "pad?.rvs", true}, {"pad.rvs", "pad?.rvs", false}, {"x", "*", true},
      {"", "*", true},              {"abc", "a*b*c", true},       {"abXc", "a*b*c", true},
      {"acb", "a*b*c", false},
  };
  for (const Case& c : cases) EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
  EXPECT_TRUE(holdsWildcard("*.rvs"));
  EXPECT_TRUE(holdsWildcard("a?.rvs"));
  EXPECT_FALSE(holdsWildcard("bass.rvs"));
}

}  // namespace
}  // namespace rotavox
