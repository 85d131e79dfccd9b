#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../support/HandWrittenSounds.h"
#include "../support/MapSoundControls.h"
#include "core/files/SoundFile.h"

namespace rotavox {
namespace {

using MapControls = test::MapSoundControls;

// The hand-written file, one string per line, the header first.
std::vector<std::string> fileLines() {
  std::vector<std::string> lines{"\"Rotavox soundfileformat v.0.2\""};
  lines.insert(lines.end(), test::kSoundA.begin(), test::kSoundA.end());
  return lines;
}

std::string joinLines(const std::vector<std::string>& lines, std::size_t count = std::string::npos) {
  std::string out;
  for (std::size_t i = 0; i < lines.size() && i < count; ++i) out += lines[i] + "\r\n";
  return out;
}

SoundFileOutcome load(std::string_view bytes, MapControls& controls) {
  MemorySource source(bytes);
  return applySoundFile(source, controls);
}

TEST(SoundFileLines, ReservedLinesAndTheirConstants) {
  std::map<int, int> reserved;
  for (int i = 0; i < kSoundFileLineCount; ++i)
    if (kSoundFileLines[i].kind == SoundLineKind::Reserved) reserved[i + 1] = kSoundFileLines[i].constant;
  const std::map<int, int> expected{{9, 0},  {10, 0}, {20, 0}, {21, 0}, {31, 0}, {32, 0}, {36, 0},  {37, 64}, {38, 64},
                                    {39, 64}, {40, 0}, {41, 0}, {42, 0}, {43, 0}, {44, 64}, {45, 0}};
  EXPECT_EQ(reserved, expected);
}

TEST(SoundFileLoad, HandWrittenFileSetsEveryControlInFileOrder) {
  MapControls c;
  const SoundFileOutcome outcome = load(joinLines(fileLines()), c);
  ASSERT_TRUE(outcome.ok());
  EXPECT_EQ(c.texts["TextVolume"], "100");
  EXPECT_EQ(c.texts["ComboOSC1oct"], "8\"");
  EXPECT_EQ(c.texts["ComboOSC2oct"], "1/2\"");
  EXPECT_EQ(c.texts["ComboOSC3oct"], "128\"");
  EXPECT_EQ(c.texts["TextOSC1semi"], "-12");
  EXPECT_EQ(c.positions["VScrollOSC1vol"], 127);
  EXPECT_EQ(c.positions["CheckOSC2mute"], 1);
  EXPECT_EQ(c.positions["VScrollOSC2vol"], 90);
  EXPECT_EQ(c.texts["ComboFilter1"], "\\_ Lowpass 24 dB");
  EXPECT_EQ(c.texts["ComboFilter2"], "||||| Comb (-)");
  EXPECT_EQ(c.texts["TextF1_envvol"], "30");
  EXPECT_EQ(c.texts["TextF2_envvel"], "4");
  EXPECT_EQ(c.texts["TextFilterParSer"], "1");
  EXPECT_EQ(c.texts["TextEnv2T3"], "15");
  // One write per value control, in the order of their lines; the reserved lines write nothing.
  std::vector<std::string> expected;
  const test::Sound sound = test::soundOf(test::kSoundA);
  for (const std::string& control : test::fileOrder()) expected.push_back(control + "=" + sound.at(control));
  EXPECT_EQ(c.log, expected);
}

TEST(SoundFileCompose, WritesTheHandWrittenFileByteForByte) {
  MapControls source;
  ASSERT_TRUE(load(joinLines(fileLines()), source).ok());
  const ComposedSoundFile composed = composeSoundFile(source);
  ASSERT_TRUE(composed.outcome.ok());
  EXPECT_EQ(composed.bytes, joinLines(fileLines()));
}

TEST(SoundFileCompose, RoundTripGivesEveryControlItsValue) {
  MapControls first;
  first.texts["TextOSC2detune"] = "-7";
  first.texts["ComboOSC1oct"] = "16\"";
  first.texts["ComboFilter1"] = "\\/  Notch 12 dB";
  first.texts["TextF1_cutoff"] = " 12, with comma";
  first.positions["VScrollOSC3vol"] = 33;
  first.positions["CheckOSC1mute"] = 1;
  const ComposedSoundFile composed = composeSoundFile(first);
  ASSERT_TRUE(composed.outcome.ok());

  MapControls second;
  ASSERT_TRUE(load(composed.bytes, second).ok());
  EXPECT_EQ(second.positions, first.positions);
  // The octave selectors that showed the start text "?" come back as a lone double quote.
  MapControls expected = first;
  for (const char* name : {"ComboOSC2oct", "ComboOSC3oct"}) expected.texts[name] = "\"";
  EXPECT_EQ(second.texts, expected.texts);
}

TEST(SoundFileCompose, BeforeAnyValueIsSetWritesStartTexts) {
  MapControls c;
  const ComposedSoundFile composed = composeSoundFile(c);
  ASSERT_TRUE(composed.outcome.ok());
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < composed.bytes.size();) {
    const std::size_t end = composed.bytes.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    lines.push_back(composed.bytes.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_EQ(lines.size(), fileLines().size());
  EXPECT_EQ(lines[0], "\"Rotavox soundfileformat v.0.2\"");
  EXPECT_EQ(lines[1], "\"?\"");
  EXPECT_EQ(lines[3], "\"\"");   // octave: "?" less its last character
  EXPECT_EQ(lines[14], "\"\"");
  EXPECT_EQ(lines[25], "\"\"");
  EXPECT_EQ(lines[10], "0");     // slider position
  EXPECT_EQ(lines.back(), "\"?\"");
  // ... and such a file loads again.
  MapControls again;
  EXPECT_TRUE(load(composed.bytes, again).ok());
}

TEST(SoundFileCompose, RefusesTextsThatWouldNotReadBack) {
  for (const char* bad : {"a\"b", "12\r", "line\nbreak"}) {
    MapControls c;
    c.texts["TextF2_reso"] = bad;
    const ComposedSoundFile composed = composeSoundFile(c);
    EXPECT_EQ(composed.outcome.kind, SoundFileOutcome::Kind::Failed) << bad;
    EXPECT_EQ(composed.outcome.error, FileErrorCode::ValueNotStorable);
    EXPECT_EQ(composed.outcome.line, 55);
    EXPECT_TRUE(composed.bytes.empty());
  }
  // The octave's own closing quote is dropped before the check.
  MapControls octave;
  octave.texts["ComboOSC1oct"] = "8\"";
  EXPECT_TRUE(composeSoundFile(octave).outcome.ok());
}

TEST(SoundFileLoad, HeaderIsRecognisedByItsLastFiveCharacters) {
  struct Case {
    std::string header;
    bool accepted;
  };
  const std::vector<Case> cases{
      {"\"Rotavox soundfileformat v.0.2\"", true},
      {"\"anything at all v.0.2\"", true},
      {"v.0.2", true},
      {"\"Rotavox soundfileformat V.0.2\"", false},
      {"\"Rotavox soundfileformat v.0.3\"", false},
      {"\"v.0.2 \"", false},
      {"\".0.2\"", false},
      {"\"\"", false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = fileLines();
    lines[0] = c.header;
    MapControls controls;
    const SoundFileOutcome outcome = load(joinLines(lines), controls);
    EXPECT_EQ(outcome.kind, c.accepted ? SoundFileOutcome::Kind::Done : SoundFileOutcome::Kind::HeaderMismatch)
        << c.header;
    if (!c.accepted) {
      EXPECT_TRUE(controls.log.empty()) << c.header;
    }
  }
}

TEST(SoundFileLoad, EmptyOrBlankFileEndsEarlyWithoutChanges) {
  for (const char* bytes : {"", "   ", " \t "}) {
    MapControls c;
    const SoundFileOutcome outcome = load(bytes, c);
    EXPECT_EQ(outcome.kind, SoundFileOutcome::Kind::EndOfInput);
    EXPECT_TRUE(c.log.empty());
  }
}

TEST(SoundFileLoad, FileCutAfterLine30SetsLines2To30ThenEnds) {
  MapControls c;
  const SoundFileOutcome outcome = load(joinLines(fileLines(), 30), c);
  EXPECT_EQ(outcome.kind, SoundFileOutcome::Kind::EndOfInput);
  EXPECT_EQ(outcome.line, 31);
  ASSERT_FALSE(c.log.empty());
  EXPECT_EQ(c.log.back(), "TextOSC3pwm=1");  // line 30
  EXPECT_EQ(c.texts["TextOSC3pw"], "127");
  EXPECT_EQ(c.positions["VScrollOSC3vol"], 0);  // line 33: untouched
  EXPECT_EQ(c.texts["TextF1_cutoff"], "?");
}

TEST(SoundFileLoad, LinesAfterTheLastAreIgnored) {
  MapControls c;
  std::string bytes = joinLines(fileLines());
  bytes += "\"extra\"\r\n12\r\n\"unterminated" + std::string(100000, 'x');
  EXPECT_TRUE(load(bytes, c).ok());
  EXPECT_EQ(c.log.size(), test::sheetControls().size());
  // The last value may also end without a line end.
  MapControls d;
  std::string noEnd = joinLines(fileLines());
  noEnd.resize(noEnd.size() - 2);
  EXPECT_TRUE(load(noEnd, d).ok());
  EXPECT_EQ(d.texts, c.texts);
  EXPECT_EQ(d.positions, c.positions);
}

// Bare line feeds end lines as CR LF does: the hand-written file without its carriage returns
// sets the same controls to the same values.
TEST(SoundFileLoad, BareLineFeedsEndLinesToo) {
  MapControls crlf, lf;
  ASSERT_TRUE(load(joinLines(fileLines()), crlf).ok());
  std::string bytes;
  for (const std::string& line : fileLines()) bytes += line + "\n";
  ASSERT_TRUE(load(bytes, lf).ok());
  EXPECT_EQ(lf.log, crlf.log);
}

TEST(SoundFileLoad, PositionsThatDoNotFitTheirControlStopTheLoad) {
  struct Case {
    std::size_t line;  // 1-based
    std::string value;
    bool fits;
    int shown;
  };
  const std::vector<Case> cases{
      {11, "abc", false, 0},   {11, "", false, 0},     {11, "128", false, 0},  {11, "-1", false, 0},
      {11, "70000", false, 0}, {11, "99999999999999999999", false, 0},         {11, "1e3", false, 0},
      {11, "127", true, 127},  {11, "\"64\"", true, 64}, {11, "  5", true, 5}, {11, "12.5", true, 12},
      {11, "13.5", true, 14},  {12, "2", false, 0},    {12, "-1", false, 0},   {12, "1", true, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = fileLines();
    lines[c.line - 1] = c.value;
    MapControls controls;
    const SoundFileOutcome outcome = load(joinLines(lines), controls);
    const std::string control(controlName(kSoundFileLines[c.line - 1].control));
    if (c.fits) {
      EXPECT_TRUE(outcome.ok()) << c.value;
      EXPECT_EQ(controls.positions[control], c.shown) << c.value;
      continue;
    }
    EXPECT_EQ(outcome.kind, SoundFileOutcome::Kind::Failed) << c.value;
    EXPECT_EQ(outcome.error, FileErrorCode::ValueDoesNotFit) << c.value;
    EXPECT_EQ(outcome.line, static_cast<int>(c.line));
    EXPECT_EQ(controls.positions[control], 0) << "never clamped: " << c.value;
    // Lines before it are applied, lines after it are not.
    EXPECT_EQ(controls.texts["TextOSC1pwm"], "10");
    EXPECT_EQ(controls.texts["TextOSC1fbalance"], "?");
  }
}

TEST(SoundFileLoad, SelectorTextsAreSetAsRead) {
  std::vector<std::string> lines = fileLines();
  lines[2] = "\"Square\"";  // no such shape
  lines[3] = "\"\"";        // octave stored from the start text
  MapControls c;
  EXPECT_TRUE(load(joinLines(lines), c).ok());
  EXPECT_EQ(c.texts["ComboOSC1shape"], "Square");
  EXPECT_EQ(c.texts["ComboOSC1oct"], "\"");
}

TEST(SoundFileLoad, OverlongFieldFailsInsteadOfGrowing) {
  std::vector<std::string> lines = fileLines();
  lines[5] = "\"" + std::string(kMaxFieldBytes + 1, '7') + "\"";
  MapControls c;
  const SoundFileOutcome outcome = load(joinLines(lines), c);
  EXPECT_EQ(outcome.error, FileErrorCode::ValueDoesNotFit);
  EXPECT_EQ(outcome.line, 6);
  lines[5] = "\"" + std::string(kMaxFieldBytes, '7') + "\"";
  MapControls d;
  EXPECT_TRUE(load(joinLines(lines), d).ok());
}

// Fails after handing out a given number of bytes.
class BrokenSource : public ByteSource {
 public:
  BrokenSource(std::string bytes, std::size_t failAt) : bytes_(std::move(bytes)), failAt_(failAt) {}
  Chunk read(char* buffer, std::size_t size) override {
    if (pos_ >= failAt_) return {0, FileErrorCode::ReadFailed};
    const std::size_t n = std::min({size, failAt_ - pos_, bytes_.size() - pos_, std::size_t{7}});
    std::copy_n(bytes_.data() + pos_, n, buffer);
    pos_ += n;
    return {n, FileErrorCode::None};
  }

 private:
  std::string bytes_;
  std::size_t failAt_;
  std::size_t pos_ = 0;
};

TEST(SoundFileLoad, ReadErrorStopsTheLoadWhereItHappens) {
  const std::string bytes = joinLines(fileLines());
  const std::size_t cut = bytes.find("\"-12\"");  // start of line 5
  BrokenSource source(bytes, cut + 2);
  MapControls c;
  const SoundFileOutcome outcome = applySoundFile(source, c);
  EXPECT_EQ(outcome.error, FileErrorCode::ReadFailed);
  EXPECT_EQ(outcome.line, 5);
  EXPECT_EQ(c.log, (std::vector<std::string>{"TextVolume=100", "ComboOSC1shape=Saw", "ComboOSC1oct=8\""}));
}

// The fuzzer's corpus: the named files are typed from the format, the others are inputs the
// fuzzer found interesting. Each must load, or stop, without harm.
TEST(SoundFileCorpus, EveryFileLoadsOrStopsCleanly) {
  const std::filesystem::path dir = std::filesystem::path(ROTAVOX_TEST_DATA_DIR) / "sound-files";
  const std::map<std::string, std::pair<SoundFileOutcome::Kind, int>> expected{
      {"valid.rvs", {SoundFileOutcome::Kind::Done, 0}},
      {"more-than-68.rvs", {SoundFileOutcome::Kind::Done, 0}},
      {"empty.rvs", {SoundFileOutcome::Kind::EndOfInput, 1}},
      {"cut-after-30.rvs", {SoundFileOutcome::Kind::EndOfInput, 31}},
      {"capital-v.rvs", {SoundFileOutcome::Kind::HeaderMismatch, 1}},
      {"other-version.rvs", {SoundFileOutcome::Kind::HeaderMismatch, 1}},
      {"non-numeric-line-11.rvs", {SoundFileOutcome::Kind::Failed, 11}},
      {"volume-too-high.rvs", {SoundFileOutcome::Kind::Failed, 22}},
  };
  std::size_t named = 0, files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    MapControls c;
    const SoundFileOutcome outcome = load(bytes.str(), c);
    ++files;
    EXPECT_GE(outcome.line, 0);
    EXPECT_LE(outcome.line, kSoundFileLineCount);
    EXPECT_FALSE(c.positionOutOfRange) << entry.path().filename() << ": a position the control cannot hold";
    const auto it = expected.find(entry.path().filename().string());
    if (it == expected.end()) continue;
    ++named;
    EXPECT_EQ(outcome.kind, it->second.first) << it->first;
    EXPECT_EQ(outcome.line, it->second.second) << it->first;
  }
  EXPECT_EQ(named, expected.size());
  EXPECT_GT(files, named);
}

TEST(FieldReader, SplitsFieldsByTheFormatsRules) {
  struct Case {
    std::string input;
    std::vector<std::string> fields;
  };
  const std::vector<Case> cases{
      {"a,b\r\nc", {"a", "b", "c"}},
      {"\"x,y\"\r\n\"z\"", {"x,y", "z"}},
      {"   \"q\" junk,next", {"q", "next"}},
      {"  plain text  \r\n", {"plain text"}},
      {"\"unterminated", {"unterminated"}},
      {"\"\"\r\n\"\"", {"", ""}},
      {"1\n2\r3\r\n4", {"1", "2", "3", "4"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {",", {""}},
      {"\"a\"\"b\"", {"a"}},
      {std::string("n\0l,x", 5), {std::string("n\0l", 3), "x"}},
  };
  for (const Case& c : cases) {
    MemorySource source(c.input);
    FieldReader reader(source);
    std::vector<std::string> got;
    std::string field;
    while (reader.next(field) == FieldReader::Status::Field) got.push_back(field);
    EXPECT_EQ(got, c.fields) << c.input;
    EXPECT_EQ(reader.error(), FileErrorCode::None);
  }
}

TEST(SixteenBitReading, AcceptsDecimalNumbersWithinSixteenBits) {
  const std::vector<std::pair<std::string, std::optional<int>>> cases{
      {"0", 0},         {"-32768", -32768}, {"32767", 32767},   {"32768", std::nullopt}, {"-32769", std::nullopt},
      {"2.5", 2},       {"3.5", 4},         {"-0.5", 0},        {"+7", 7},               {"", std::nullopt},
      {"?", std::nullopt}, {"1 2", std::nullopt}, {"0x10", std::nullopt}, {"nan", std::nullopt}, {"inf", std::nullopt},
  };
  for (const auto& [field, expected] : cases) EXPECT_EQ(sixteenBitReading(field), expected) << field;
}

TEST(WithoutLastCharacter, DropsOneWholeCharacter) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"1/2\"", "1/2"}, {"8\"", "8"}, {"?", ""}, {"", ""}, {"a\xC3\xA4", "a"}, {"\xE2\x80\x9D", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(withoutLastCharacter(text), expected) << text;
}

TEST(FileErrors, GeneralMessageTexts) {
  EXPECT_EQ(fileErrorText(FileErrorCode::FileNotFound), " 3: File not found");
  EXPECT_EQ(fileErrorText(FileErrorCode::ValueDoesNotFit), " 13: Value doesn't fit its control");
  EXPECT_EQ(fileErrorTitle("/home/a/bass.rvs"), "Error writing/reading file: /home/a/bass.rvs");
  // Every number has a description of its own.
  std::set<std::string_view> seen;
  for (int n = 1; n <= static_cast<int>(FileErrorCode::FileSystemError); ++n)
    EXPECT_TRUE(seen.insert(fileErrorDescription(static_cast<FileErrorCode>(n))).second) << n;
}

}  // namespace
}  // namespace rotavox
