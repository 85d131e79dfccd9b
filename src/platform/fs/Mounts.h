#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rotavox {

// One line of the kernel's mount table (/proc/self/mounts), escapes decoded.
struct MountEntry {
  std::string device;
  std::string mountPoint;
  std::string type;
};

// The mount table's lines; malformed lines are skipped.
std::vector<MountEntry> parseMounts(std::string_view table);

// The file systems a user picks sound folders from, as the drive list shows them: the root
// first, then the one that holds the home folder, then removable media (under /media,
// /run/media and /mnt) in table order. Each mount point appears once.
std::vector<std::string> pickDrives(const std::vector<MountEntry>& mounts, std::string_view home);

// True when `path` is `folder` or lies inside it, compared by whole path components.
bool pathIsUnder(std::string_view path, std::string_view folder);

// The drive (mount point) that holds `path`: the longest one it lies under; empty when none.
std::string driveHolding(std::string_view path, const std::vector<std::string>& drives);

}  // namespace rotavox
