#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/files/FileErrors.h"

namespace rotavox {

// Names found in a folder, or why the folder could not be read.
struct FolderListing {
  FileErrorCode error = FileErrorCode::None;
  std::vector<std::string> names;
  bool ok() const { return error == FileErrorCode::None; }
};

// What the file dialog needs of the file system: the drives to pick from, the folder the
// program started in, and the folders and sound files of a folder. Tests stand in their own.
class FileSystemView {
 public:
  virtual ~FileSystemView() = default;
  // Mount points, the root first.
  virtual std::vector<std::string> drives() = 0;
  virtual std::string currentFolder() = 0;
  // Sub-folder names, sorted; hidden ones left out.
  virtual FolderListing folders(const std::string& path) = 0;
  // Names of the files (not folders) that match the pattern, sorted; hidden ones left out.
  virtual FolderListing files(const std::string& path, std::string_view pattern) = 0;
};

// The machine's own file system: drives from /proc/self/mounts and $HOME.
class LocalFileSystem : public FileSystemView {
 public:
  std::vector<std::string> drives() override;
  std::string currentFolder() override;
  FolderListing folders(const std::string& path) override;
  FolderListing files(const std::string& path, std::string_view pattern) override;
};

// The order the lists show names in: letter case aside first, then byte by byte.
bool listsBefore(const std::string& a, const std::string& b);

}  // namespace rotavox
