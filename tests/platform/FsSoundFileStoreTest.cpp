#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
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
      const std::string name(controlName(line.control));
      if (line.kind == SoundLineKind::Text) texts[name] = std::to_string(n++ % 128);
      if (line.kind == SoundLineKind::Octave) texts[name] = "16\"";
      if (line.kind == SoundLineKind::Position) positions[name] = line.control.muteBox ? n++ % 2 : n++ % 128;
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

// Runs `body` in a child process; its exit code, or 128 plus the signal that ended it.
int inChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Saves in a child that has become user `uid`, as a user other than root saves; the child's
// exit code is the error number.
int saveAs(uid_t uid, const std::string& path, const MapControls& controls = MapControls()) {
  return inChild([&] {
    if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) return 99;
    return static_cast<int>(saveSoundFile(path, controls).error);
  });
}

// Users that own nothing on the machine, for files "someone else" made.
constexpr uid_t kAnn = 41001;
constexpr uid_t kBob = 41002;

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

TEST_F(SoundFileStoreTest, FileSizeLimitFailsTheSaveWithoutKillingTheProgram) {
  const fs::path path = dir_ / "lead.rvs";
  const std::string old = "\"Rotavox soundfileformat v.0.2\"\r\n\"old\"\r\n";
  writeFile(path, old);
  // The child starts as the program does; a write past the limit would kill it otherwise.
  const int result = inChild([&] {
    ignoreFileSizeSignal();
    const rlimit small{100, 100};
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 99;
    return static_cast<int>(saveSoundFile(path.string(), MapControls(9)).error);
  });
  EXPECT_EQ(result, static_cast<int>(FileErrorCode::FileTooLarge));
  EXPECT_EQ(readFile(path), old);
  EXPECT_EQ(entries(), std::vector<std::string>{"lead.rvs"}) << "no temporary file is left";
}

// A private mount in a child: a full disk and a read-only one, as a real user meets them.
TEST_F(SoundFileStoreTest, FullAndReadOnlyDisksLeaveTheOldFile) {
  const std::string old = "\"Rotavox soundfileformat v.0.2\"\r\n\"old\"\r\n";
  const fs::path disk = dir_ / "disk";
  fs::create_directory(disk);
  const std::string path = (disk / "pad.rvs").string();
  constexpr int kNoMount = 77, kOldChanged = 78, kLeftovers = 79;
  struct Case {
    const char* name;
    bool readOnly;
    FileErrorCode error;
  };
  for (const Case& c : {Case{"full", false, FileErrorCode::DiskFull}, Case{"read-only", true, FileErrorCode::ReadOnlyFileSystem}}) {
    const int result = inChild([&] {
      if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k") != 0)
        return kNoMount;
      writeFile(path, old);
      if (c.readOnly) {
        if (::mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return kNoMount;
      } else {
        // Fills every block that is left.
        const int fd = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        const std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {}
        ::close(fd);
      }
      const FileErrorCode error = saveSoundFile(path, MapControls(2)).error;
      if (readFile(path) != old) return kOldChanged;
      for (const auto& e : fs::directory_iterator(disk))
        if (e.path().filename() != "pad.rvs" && e.path().filename() != "filler") return kLeftovers;
      return static_cast<int>(error);
    });
    if (result == kNoMount) GTEST_SKIP() << "this machine does not let a test mount a file system";
    EXPECT_EQ(result, static_cast<int>(c.error)) << c.name;
  }
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
      {(dir_ / std::string(1 << 20, 'n')).string() + ".rvs", FileErrorCode::NameTooLong},
      {(dir_ / "line\nfeed.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "car\rriage.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "tab\tbed.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "\x1b[31mred.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "del\x7f.rvs").string(), FileErrorCode::BadFileName},
      {(dir_ / "bell\x07.rvs").string(), FileErrorCode::BadFileName},
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
      {(dir_ / "tab\tbed.rvs").string(), FileErrorCode::BadFileName},
  };
  writeFile(dir_ / "tab\tbed.rvs", "\"Rotavox soundfileformat v.0.2\"\r\n");
  for (const Case& c : cases) {
    MapControls controls;
    const MapControls before = controls;
    const SoundFileOutcome loaded = loadSoundFile(c.path, controls);
    EXPECT_EQ(loaded.kind, SoundFileOutcome::Kind::Failed) << c.path;
    EXPECT_EQ(loaded.error, c.error) << c.path;
    EXPECT_EQ(controls.texts, before.texts);
  }
}

// Root may write any file, so the missing write bits must count on their own: root too is
// refused. Another user is refused a file that only its owner may write.
TEST_F(SoundFileStoreTest, ReadOnlyFileIsNotReplaced) {
  struct Case {
    mode_t mode;
    uid_t saver;  // 0: this process, whoever runs it
  };
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  for (const Case& c : {Case{0444, 0}, Case{0400, 0}, Case{0, 0}, Case{0555, 0}, Case{0644, kAnn}, Case{0444, kAnn}}) {
    if (c.saver != 0 && !root) continue;  // only root can play another user
    const fs::path path = dir_ / "locked.rvs";
    writeFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    const int error = c.saver == 0 ? static_cast<int>(saveSoundFile(path.string(), MapControls()).error)
                                   : saveAs(c.saver, path.string());
    EXPECT_EQ(error, static_cast<int>(FileErrorCode::PermissionDenied)) << std::oct << c.mode << " by " << std::dec << c.saver;
    EXPECT_EQ(readFile(path), "old");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the same file, not a new one";
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(entries(), std::vector<std::string>{"locked.rvs"});
    fs::remove(path);
  }
}

// Root saving over another user's file leaves it that user's, with its permissions.
TEST_F(SoundFileStoreTest, RootSavingOverAnotherUsersFileKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can save over another user's file";
  const fs::path path = dir_ / "ann.rvs";
  writeFile(path, "old");
  ASSERT_EQ(::chown(path.c_str(), kAnn, kAnn), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
  ASSERT_TRUE(saveSoundFile(path.string(), MapControls(6)).ok());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(readFile(path), composeSoundFile(MapControls(6)).bytes);
  EXPECT_EQ(st.st_uid, kAnn);
  EXPECT_EQ(st.st_gid, kAnn);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
}

TEST_F(SoundFileStoreTest, SavingThroughALinkReplacesItsTarget) {
  fs::create_directory(dir_ / "real");
  writeFile(dir_ / "real" / "target.rvs", "old");
  fs::create_symlink(dir_ / "real" / "target.rvs", dir_ / "link.rvs");
  fs::create_symlink("link.rvs", dir_ / "chain.rvs");
  fs::create_symlink("../real/target.rvs", dir_ / "real" / "relative.rvs");
  fs::create_symlink(dir_ / "nowhere.rvs", dir_ / "dangling.rvs");
  for (const char* name : {"link.rvs", "chain.rvs", "real/relative.rvs"}) {
    const MapControls c(11 + name[0]);
    ASSERT_TRUE(saveSoundFile((dir_ / name).string(), c).ok()) << name;
    EXPECT_TRUE(fs::is_symlink(dir_ / name)) << name;
    EXPECT_EQ(readFile(dir_ / "real" / "target.rvs"), composeSoundFile(c).bytes) << name;
  }
  // A link to nothing is replaced itself.
  ASSERT_TRUE(saveSoundFile((dir_ / "dangling.rvs").string(), MapControls(3)).ok());
  EXPECT_FALSE(fs::is_symlink(dir_ / "dangling.rvs"));
  EXPECT_EQ(readFile(dir_ / "dangling.rvs"), composeSoundFile(MapControls(3)).bytes);
  EXPECT_EQ(entries(), (std::vector<std::string>{"chain.rvs", "dangling.rvs", "link.rvs", "real"}));
}

// A link is followed only where the kernel's protected_symlinks rule would follow it: the
// saver owns the link, or its folder is not both sticky and world-writable, or the link's
// owner owns that folder. Anywhere else the link may have been planted by another user to
// make the save overwrite one of the saver's files, so the save is refused and nothing moves.
TEST_F(SoundFileStoreTest, LinkPlantedInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make links of other users";
  struct Case {
    const char* what;
    mode_t folderMode;
    uid_t folderOwner, linkOwner, saver;  // saver 0: this process (root)
    bool linksAFolder;                    // the link stands for a folder on the way, not the file
    bool followed;
  };
  const std::vector<Case> cases{
      {"someone else's link in /tmp", 01777, 0, kAnn, 0, false, false},
      {"the saver's own link in /tmp", 01777, 0, 0, 0, false, true},
      {"a folder not sticky", 0777, 0, kAnn, 0, false, true},
      {"a sticky folder only its owner writes", 01755, 0, kAnn, 0, false, true},
      {"the folder's owner made the link", 01777, kAnn, kAnn, 0, false, true},
      {"another user's link, saved by a user", 01777, 0, kBob, kAnn, false, false},
      {"a user's own link", 01777, 0, kAnn, kAnn, false, true},
      {"the folder owner's link, saved by a user", 01777, kBob, kBob, kAnn, false, true},
      {"someone else's folder link in /tmp", 01777, 0, kAnn, 0, true, false},
      {"the saver's own folder link", 01777, 0, kAnn, kAnn, true, true},
  };
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  const fs::path home = dir_ / "home", shared = dir_ / "shared";
  const std::string notes = "my notes, not a sound";
  for (const Case& c : cases) {
    fs::create_directory(home);
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(home.c_str(), 0777), 0);
    writeFile(home / "notes.rvs", notes);
    ASSERT_EQ(::chmod((home / "notes.rvs").c_str(), 0666), 0);
    const fs::path link = shared / (c.linksAFolder ? "sub" : "song.rvs");
    fs::create_symlink(c.linksAFolder ? home : home / "notes.rvs", link);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
    ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);

    const std::string path = (c.linksAFolder ? link / "notes.rvs" : link).string();
    const int error = c.saver == 0 ? static_cast<int>(saveSoundFile(path, MapControls(8)).error)
                                   : saveAs(c.saver, path, MapControls(8));
    EXPECT_TRUE(fs::is_symlink(link)) << c.what;
    EXPECT_EQ(fs::read_symlink(link), c.linksAFolder ? home : home / "notes.rvs") << c.what;
    if (c.followed) {
      EXPECT_EQ(error, 0) << c.what;
      EXPECT_EQ(readFile(home / "notes.rvs"), composeSoundFile(MapControls(8)).bytes) << c.what;
    } else {
      EXPECT_EQ(error, static_cast<int>(FileErrorCode::PermissionDenied)) << c.what;
      EXPECT_EQ(readFile(home / "notes.rvs"), notes) << c.what;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(home), fs::directory_iterator()), 1) << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 1) << c.what;
    fs::remove_all(home);
    fs::remove_all(shared);
  }
}

// A save killed before its rename leaves its hidden temporary file; the next save into that
// folder removes the saver's own ones that are older than a minute, and nothing else.
TEST_F(SoundFileStoreTest, StaleTemporaryFilesAreRemovedByTheNextSave) {
  struct Case {
    const char* name;
    int ageSeconds;
    uid_t owner;
    char kind;  // 'f' file, 'l' link, 'd' folder
    bool removed;
  };
  const bool root = ::geteuid() == 0;
  const std::vector<Case> cases{
      {".rvs-save-a1B2c3", 120, 0, 'f', true},       {".rvs-save-x", 3600 * 24, 0, 'f', true},
      {".rvs-save-fresh1", 30, 0, 'f', false},       {".rvs-save-other", 120, kAnn, 'f', false},
      {".rvs-save-link01", 120, 0, 'l', false},      {".rvs-save-dir001", 120, 0, 'd', false},
      {"rvs-save-a1B2c3", 120, 0, 'f', false},       {".rvs-saved", 120, 0, 'f', false},
      {"old.rvs", 120, 0, 'f', false},
  };
  std::vector<std::string> kept{"new.rvs"};
  for (const Case& c : cases) {
    if (c.owner != 0 && !root) continue;
    const fs::path p = dir_ / c.name;
    if (c.kind == 'f') writeFile(p, "partial");
    if (c.kind == 'l') fs::create_symlink("old.rvs", p);
    if (c.kind == 'd') fs::create_directory(p);
    if (c.owner != 0) {
      ASSERT_EQ(::lchown(p.c_str(), c.owner, c.owner), 0);
    }
    const timespec when[2] = {{::time(nullptr) - c.ageSeconds, 0}, {::time(nullptr) - c.ageSeconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
    if (!c.removed) kept.push_back(c.name);
  }
  ASSERT_TRUE(saveSoundFile((dir_ / "new.rvs").string(), MapControls()).ok());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(entries(), kept);
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
