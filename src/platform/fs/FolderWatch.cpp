#include "platform/fs/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace rotavox {

namespace {

// A save replaces its file by renaming a temporary one over it, so the moves tell of saves;
// a program that writes in place is heard when it closes the file.
constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB;
constexpr std::uint32_t kFolderEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED | IN_Q_OVERFLOW;

}  // namespace

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::watch(const std::string& folder) {
  if (fd_ < 0) return false;
  if (watch_ >= 0) ::inotify_rm_watch(fd_, watch_);
  take();  // what the old folder still had to say is no news of the new one
  watch_ = ::inotify_add_watch(fd_, folder.c_str(), kEntryEvents | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  return watch_ >= 0;
}

FolderWatch::News FolderWatch::take() {
  News news;
  if (fd_ < 0) return news;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof event;
      at += static_cast<ssize_t>(sizeof event + event.len);
      // Events of a watch removed before are left over from the folder shown before.
      if (event.wd != watch_ && !(event.mask & IN_Q_OVERFLOW)) continue;
      news.any = true;
      if (event.mask & kFolderEvents) news.everything = true;
      if ((event.mask & kEntryEvents) && event.len > 0) news.names.emplace_back(name, ::strnlen(name, event.len));
    }
  }
  return news;
}

}  // namespace rotavox
