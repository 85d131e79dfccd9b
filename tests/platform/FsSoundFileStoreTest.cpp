#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "../support/MapSoundControls.h"
#include "platform/fs/SoundFileStore.h"

namespace rotavox {
namespace {

namespace fs = std::filesystem;

// Every value control with a value of its own, so a file of them shows which line went where.
struct MapControls : test::MapSoundControls {
  explicit MapControls(int seed = 0) {
    int n = seed;
    for (const SoundFileLine& line : kSoundFileLines) {
      if (line.kind == SoundLineKind::Text) texts[std::string(line.control)] = std::to_string(n++ % 128);
      if (line.kind == SoundLineKind::Octave) texts[std::string(line.control)] = "16\"";
      if (line.kind == SoundLineKind::Position) positions[std::string(line.control)] = line.control[0] == 'C' ? n++ % 2 : n++ % 128;
    }
  }
};

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

class SoundFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/rotavox-store-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(SoundFileStoreTest, SaveThenLoadRestoresEveryControl) {
  const MapControls saved(5);
  const std::string path = (dir_ / "bass.rvs").string();
  ASSERT_TRUE(saveSoundFile(path, saved).ok());
  EXPECT_EQ(readFile(path), composeSoundFile(saved).bytes);
  EXPECT_EQ(entries(), std::vector<std::string>{"bass.rvs"});

  MapControls loaded(77);
  ASSERT_TRUE(loadSoundFile(path, loaded).ok());
  EXPECT_EQ(loaded.texts, saved.texts);
  EXPECT_EQ(loaded.positions, saved.positions);
}

TEST_F(SoundFileStoreTest, SavingOverAFileReplacesItAndKeepsItsPermissions) {
  const fs::path path = dir_ / "pad.rvs";
  writeFile(path, std::string(5000, 'x'));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const MapControls c(3);
  ASSERT_TRUE(saveSoundFile(path.string(), c).ok());
  EXPECT_EQ(readFile(path), composeSoundFile(c).bytes);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(entries(), std::vector<std::string>{"pad.rvs"});
}

TEST_F(SoundFileStoreTest, NewFileGetsTheUsualPermissions) {
  const mode_t old = ::umask(022);
  ASSERT_TRUE(saveSoundFile((dir_ / "new.rvs").string(), MapControls()).ok());
  ::umask(old);
  EXPECT_EQ(fs::status(dir_ / "new.rvs").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(SoundFileStoreTest, SaveThatFailsHalfWayLeavesTheOldFileAndNoTemporary) {
  const fs::path path = dir_ / "lead.rvs";
  const std::string old = "\"Rotavox soundfileformat v.0.2\"\r\n\"old\"\r\n";
  writeFile(path, old);
  // A file size limit makes the write fail part-way, as a full disk would, even for root.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SoundFileOutcome outcome = saveSoundFile(path.string(), MapControls(9));
  ::setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(outcome.kind, SoundFileOutcome::Kind::Failed);
  EXPECT_EQ(outcome.error, FileErrorCode::FileTooLarge);
  EXPECT_EQ(readFile(path), old);
  EXPECT_EQ(entries(), std::vector<std::string>{"lead.rvs"});
}

TEST_F(SoundFileStoreTest, BadPathsWriteNothing) {
  struct Case {
    std::string path;
    FileErrorCode error;
  };
  const std::vector<Case> cases{
      {"", FileErrorCode::BadFileName},
      {(dir_ / "*.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "a?.rvs").string(), FileErrorCode::BadFileName},
      {dir_.string() + "/", FileErrorCode::BadFileName},
      {(dir_ / "missing" / "bass.rvs").string(), FileErrorCode::PathNotFound},
      {(dir_ / "sub").string(), FileErrorCode::IsFolder},
      {(dir_ / std::string(300, 'n')).string() + ".rvs", FileErrorCode::NameTooLong},
  };
  fs::create_directory(dir_ / "sub");
  for (const Case& c : cases) {
    const SoundFileOutcome saved = saveSoundFile(c.path, MapControls());
    EXPECT_EQ(saved.kind, SoundFileOutcome::Kind::Failed) << c.path;
    EXPECT_EQ(saved.error, c.error) << c.path;
    EXPECT_EQ(entries(), std::vector<std::string>{"sub"}) << c.path;
  }
}

TEST_F(SoundFileStoreTest, LoadFailuresNameTheirCause) {
  fs::create_directory(dir_ / "sub");
  ASSERT_EQ(::mkfifo((dir_ / "pipe.rvs").c_str(), 0600), 0);
  struct Case {
    std::string path;
    FileErrorCode error;
  };
  const std::vector<Case> cases{
      {"", FileErrorCode::BadFileName},
      {(dir_ / "*.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "none.rvs").string(), FileErrorCode::FileNotFound},
      {(dir_ / "missing" / "none.rvs").string(), FileErrorCode::PathNotFound},
      {(dir_ / "sub").string(), FileErrorCode::IsFolder},
      {(dir_ / "pipe.rvs").string(), FileErrorCode::NotAFile},  // must not wait for a writer
  };
  for (const Case& c : cases) {
    MapControls controls;
    const MapControls before = controls;
    const SoundFileOutcome loaded = loadSoundFile(c.path, controls);
    EXPECT_EQ(loaded.kind, SoundFileOutcome::Kind::Failed) << c.path;
    EXPECT_EQ(loaded.error, c.error) << c.path;
    EXPECT_EQ(controls.texts, before.texts);
  }
}

TEST_F(SoundFileStoreTest, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const fs::path path = dir_ / "locked.rvs";
  writeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const SoundFileOutcome outcome = saveSoundFile(path.string(), MapControls());
  EXPECT_EQ(outcome.error, FileErrorCode::PermissionDenied);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(entries(), std::vector<std::string>{"locked.rvs"});
}

TEST_F(SoundFileStoreTest, SavingThroughALinkReplacesItsTarget) {
  fs::create_directory(dir_ / "real");
  writeFile(dir_ / "real" / "target.rvs", "old");
  fs::create_symlink(dir_ / "real" / "target.rvs", dir_ / "link.rvs");
  const MapControls c(11);
  ASSERT_TRUE(saveSoundFile((dir_ / "link.rvs").string(), c).ok());
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.rvs"));
  EXPECT_EQ(readFile(dir_ / "real" / "target.rvs"), composeSoundFile(c).bytes);
  EXPECT_EQ(entries(), (std::vector<std::string>{"link.rvs", "real"}));
}

TEST_F(SoundFileStoreTest, LoadReadsAHandWrittenFileCutShort) {
  const fs::path path = dir_ / "cut.rvs";
  writeFile(path, "\"Rotavox soundfileformat v.0.2\"\r\n\"90\"\r\n\"Saw\"\r\n\"4\"\r\n");
  MapControls c;
  const SoundFileOutcome outcome = loadSoundFile(path.string(), c);
  EXPECT_EQ(outcome.kind, SoundFileOutcome::Kind::EndOfInput);
  EXPECT_EQ(c.texts["TextVolume"], "90");
  EXPECT_EQ(c.texts["ComboOSC1shape"], "Saw");
  EXPECT_EQ(c.texts["ComboOSC1oct"], "4\"");
}

}  // namespace
}  // namespace rotavox
