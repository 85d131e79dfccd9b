#include "platform/fs/Mounts.h"

#include <algorithm>

namespace rotavox {

namespace {

// The mount table writes blanks, tabs, line feeds and backslashes in names as octal escapes.
std::string unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string_view> splitBlanks(std::string_view line) {
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) parts.push_back(line.substr(start, i - start));
  }
  return parts;
}

bool isRemovableMountPoint(std::string_view mountPoint) {
  for (std::string_view base : {"/media", "/run/media", "/mnt"})
    if (pathIsUnder(mountPoint, base) && mountPoint != "/media" && mountPoint != "/run/media") return true;
  return false;
}

}  // namespace

std::vector<MountEntry> parseMounts(std::string_view table) {
  std::vector<MountEntry> entries;
  while (!table.empty()) {
    const std::size_t end = table.find('\n');
    const std::string_view line = table.substr(0, end);
    table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
    const std::vector<std::string_view> parts = splitBlanks(line);
    if (parts.size() < 3 || parts[1].empty() || parts[1][0] != '/') continue;
    entries.push_back({unescape(parts[0]), unescape(parts[1]), std::string(parts[2])});
  }
  return entries;
}

bool pathIsUnder(std::string_view path, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (folder == "/") return !path.empty() && path[0] == '/';
  if (path.size() < folder.size() || path.substr(0, folder.size()) != folder) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
}

std::vector<std::string> pickDrives(const std::vector<MountEntry>& mounts, std::string_view home) {
  std::vector<std::string> drives{"/"};
  auto add = [&](const std::string& mountPoint) {
    if (std::find(drives.begin(), drives.end(), mountPoint) == drives.end()) drives.push_back(mountPoint);
  };
  if (!home.empty() && home[0] == '/') {
    std::string holder;
    for (const MountEntry& m : mounts)
      if (pathIsUnder(home, m.mountPoint) && m.mountPoint.size() > holder.size()) holder = m.mountPoint;
    if (!holder.empty()) add(holder);
  }
  for (const MountEntry& m : mounts)
    if (isRemovableMountPoint(m.mountPoint)) add(m.mountPoint);
  return drives;
}

std::string driveHolding(std::string_view path, const std::vector<std::string>& drives) {
  std::string best;
  for (const std::string& d : drives)
    if (pathIsUnder(path, d) && (best.empty() || d.size() > best.size())) best = d;
  return best;
}

}  // namespace rotavox
