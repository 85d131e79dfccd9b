#include "platform/fs/FileSystemView.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/files/PathRule.h"
#include "platform/fs/FsErrors.h"
#include "platform/fs/Mounts.h"

namespace rotavox {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

enum class EntryKind { Folder, File, Other };

EntryKind kindOf(const std::string& folder, const dirent& entry) {
  if (entry.d_type == DT_DIR) return EntryKind::Folder;
  if (entry.d_type == DT_REG) return EntryKind::File;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::Other;
  // Links are shown as what they point to.
  struct stat st {};
  const std::string full = folder + (folder.back() == '/' ? "" : "/") + entry.d_name;
  if (::stat(full.c_str(), &st) != 0) return EntryKind::Other;
  if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
  return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

template <typename Keep>
FolderListing list(const std::string& path, Keep keep) {
  FolderListing listing;
  DIR* dir = path.empty() ? nullptr : ::opendir(path.c_str());
  if (!dir) {
    const int error = path.empty() ? ENOENT : errno;
    listing.error = error == ENOENT ? FileErrorCode::PathNotFound : fileErrorFromErrno(error, FileAccess::Reading);
    return listing;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.' && keep(*entry)) listing.names.emplace_back(entry->d_name);
    errno = 0;
  }
  if (errno != 0) listing.error = fileErrorFromErrno(errno, FileAccess::Reading);
  ::closedir(dir);
  std::sort(listing.names.begin(), listing.names.end(), listsBefore);
  return listing;
}

}  // namespace

bool listsBefore(const std::string& a, const std::string& b) {
  const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [](char x, char y) { return lower(x) < lower(y); });
  const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                    [](char x, char y) { return lower(x) < lower(y); });
  return less || (!greater && a < b);
}

std::vector<std::string> LocalFileSystem::drives() {
  std::ifstream in("/proc/self/mounts");
  std::stringstream table;
  table << in.rdbuf();
  const char* home = std::getenv("HOME");
  return pickDrives(parseMounts(table.str()), home ? home : "");
}

std::string LocalFileSystem::currentFolder() {
  std::string buffer(4096, '\0');
  if (::getcwd(buffer.data(), buffer.size())) return buffer.c_str();
  // The folder the program started in may be gone; the home folder stands in for it.
  const char* home = std::getenv("HOME");
  return home && home[0] == '/' ? home : "/";
}

FolderListing LocalFileSystem::folders(const std::string& path) {
  return list(path, [&](const dirent& e) { return kindOf(path, e) == EntryKind::Folder; });
}

FolderListing LocalFileSystem::files(const std::string& path, std::string_view pattern) {
  return list(path, [&](const dirent& e) {
    return matchesPattern(e.d_name, pattern) && kindOf(path, e) == EntryKind::File;
  });
}

}  // namespace rotavox
