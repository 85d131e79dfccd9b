#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/fs/FileSystemView.h"
#include "platform/fs/Mounts.h"

namespace rotavox {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTable =
    "sysfs /sys sysfs rw,nosuid 0 0\n"
    "proc /proc proc rw 0 0\n"
    "/dev/sda2 / ext4 rw,relatime 0 0\n"
    "tmpfs /run tmpfs rw 0 0\n"
    "/dev/sda3 /home ext4 rw 0 0\n"
    "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
    "/dev/sdc1 /run/media/ann/CARD exfat rw 0 0\n"
    "server:/music /mnt/music nfs rw 0 0\n"
    "/dev/sdd1 /mediation ext4 rw 0 0\n"
    "broken-line\n"
    "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n";

TEST(Mounts, ParsesTheTableAndDecodesEscapes) {
  const std::vector<MountEntry> entries = parseMounts(kTable);
  ASSERT_EQ(entries.size(), 10u);
  EXPECT_EQ(entries[2].device, "/dev/sda2");
  EXPECT_EQ(entries[2].mountPoint, "/");
  EXPECT_EQ(entries[2].type, "ext4");
  EXPECT_EQ(entries[5].mountPoint, "/media/ann/USB STICK");
}

TEST(Mounts, PicksRootHomeAndRemovableMedia) {
  const std::vector<MountEntry> entries = parseMounts(kTable);
  EXPECT_EQ(pickDrives(entries, "/home/ann"),
            (std::vector<std::string>{"/", "/home", "/media/ann/USB STICK", "/run/media/ann/CARD", "/mnt/music"}));
  // A home on the root file system adds no drive of its own.
  EXPECT_EQ(pickDrives(parseMounts("/dev/sda2 / ext4 rw 0 0\n"), "/root"), std::vector<std::string>{"/"});
  // The root is offered even when the table cannot be read.
  EXPECT_EQ(pickDrives({}, ""), std::vector<std::string>{"/"});
}

TEST(Mounts, FindsTheDriveThatHoldsAPath) {
  const std::vector<std::string> drives{"/", "/home", "/media/ann/USB STICK"};
  EXPECT_EQ(driveHolding("/home/ann/sounds", drives), "/home");
  EXPECT_EQ(driveHolding("/home", drives), "/home");
  EXPECT_EQ(driveHolding("/homework", drives), "/");
  EXPECT_EQ(driveHolding("/media/ann/USB STICK/pads", drives), "/media/ann/USB STICK");
  EXPECT_EQ(driveHolding("relative", drives), "");
  EXPECT_TRUE(pathIsUnder("/a/b", "/a/"));
  EXPECT_FALSE(pathIsUnder("/ab", "/a"));
}

TEST(LocalFileSystem, ListsVisibleFoldersAndSoundFilesSorted) {
  char name[] = "/tmp/rotavox-list-XXXXXX";
  ASSERT_NE(::mkdtemp(name), nullptr);
  const fs::path dir = name;
  for (const char* d : {"zeta", "Alpha", "beta", ".hidden"}) fs::create_directory(dir / d);
  for (const char* f : {"pad.rvs", "Bass.rvs", "lead.RVS", ".secret.rvs", "notes.txt", "a.rvs.bak"})
    std::ofstream(dir / f) << "x";
  fs::create_directory(dir / "folder.rvs");
  fs::create_symlink(dir / "zeta", dir / "link-to-zeta");

  LocalFileSystem local;
  const FolderListing folders = local.folders(dir.string());
  ASSERT_TRUE(folders.ok());
  EXPECT_EQ(folders.names, (std::vector<std::string>{"Alpha", "beta", "folder.rvs", "link-to-zeta", "zeta"}));
  const FolderListing files = local.files(dir.string(), "*.rvs");
  ASSERT_TRUE(files.ok());
  EXPECT_EQ(files.names, (std::vector<std::string>{"Bass.rvs", "pad.rvs"}));

  EXPECT_EQ(local.folders((dir / "missing").string()).error, FileErrorCode::PathNotFound);
  EXPECT_EQ(local.files((dir / "notes.txt").string(), "*.rvs").error, FileErrorCode::PathNotFound);
  fs::remove_all(dir);

  const std::vector<std::string> drives = local.drives();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives.front(), "/");
  EXPECT_EQ(local.currentFolder(), fs::current_path().string());
}

}  // namespace
}  // namespace rotavox
