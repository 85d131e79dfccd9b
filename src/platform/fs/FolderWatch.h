#pragma once

#include <string>
#include <vector>

namespace rotavox {

// Tells when the entries of one folder change, whoever changes them: files created, written,
// renamed, deleted or given other permissions, or the folder itself gone. Its descriptor
// becomes readable when there is news; the caller's event loop watches it.
class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches this folder instead of the one before; false when it cannot be watched (it is
  // gone, or the system has no watches left), and then none is.
  bool watch(const std::string& folder);
  // -1 when the system offers no watching at all.
  int fd() const { return fd_; }

  struct News {
    bool any = false;                // something in the folder changed
    bool everything = false;         // too much to tell, or the folder itself went
    std::vector<std::string> names;  // the entries that changed, their own bytes
  };
  // What has come since the last call. Never waits.
  News take();

 private:
  int fd_ = -1;
  int watch_ = -1;
};

}  // namespace rotavox
