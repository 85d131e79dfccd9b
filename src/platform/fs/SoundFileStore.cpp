#include "platform/fs/SoundFileStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "core/files/PathRule.h"
#include "platform/fs/FsErrors.h"

namespace rotavox {

namespace {

// A hidden name that no "*.rvs" list shows, should the program die before the rename.
constexpr std::string_view kTemporaryPrefix = ".rvs-save-";
// A temporary file this old is left over from a save that was killed, not one still writing.
constexpr time_t kStaleSeconds = 60;
// The kernel gives up on a path after as many links.
constexpr int kMostLinks = 40;

// Reads a file descriptor in the reader's chunks, retrying interrupted reads.
class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  Chunk read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return {static_cast<std::size_t>(n), FileErrorCode::None};
      if (errno != EINTR) return {0, fileErrorFromErrno(errno, FileAccess::Reading)};
    }
  }

 private:
  int fd_;
};

// A file descriptor, closed when it leaves scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes now; the close's own result, for a file whose last write it may report.
  int close() {
    const int result = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return result;
  }
  void reset() { close(); }

 private:
  int fd_;
};

mode_t currentUmask() {
  // The program is single-threaded, so reading the mask by setting it back is safe.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

bool folderExists(std::string_view path) {
  std::string folder(folderOf(path));
  if (folder.empty()) folder = ".";
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileErrorCode writeError(int error) { return fileErrorFromErrno(error, FileAccess::Writing); }

// The kernel's protected_symlinks rule, applied whatever the machine's setting: in a folder
// that is sticky and world-writable (/tmp) anyone may plant a link, so only a link of the
// saver's own or of the folder's owner is followed there.
bool mayFollowLink(const struct stat& link, const struct stat& folder, uid_t saver) {
  if (link.st_uid == saver) return true;
  if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
  return link.st_uid == folder.st_uid;
}

// Puts the components of `path` in front of `parts`, keeping their order. Empty and "."
// components go, except that a path ending in a separator or "." ends in "." so that it
// names a folder.
void pushComponents(std::deque<std::string>& parts, std::string_view path) {
  std::vector<std::string> found;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = path.find('/', begin);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(begin, end - begin);
    if (!part.empty() && part != ".") found.emplace_back(part);
    begin = end + 1;
  }
  const std::string_view last = fileNameOf(path);
  if (last.empty() || last == ".") found.emplace_back(".");
  parts.insert(parts.begin(), found.begin(), found.end());
}

FileErrorCode readLinkAt(int folder, const std::string& name, std::size_t size, std::string& target) {
  // The link may grow between the stat and the read; a full buffer is read again, larger.
  for (std::size_t room = size + 1;; room *= 2) {
    target.resize(room);
    const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), room);
    if (n < 0) return writeError(errno);
    if (static_cast<std::size_t>(n) < room) {
      target.resize(static_cast<std::size_t>(n));
      return FileErrorCode::None;
    }
  }
}

// The entry a save replaces: the folder that holds it, opened, and its name there.
struct SaveTarget {
  Fd folder;
  std::string name;
  bool exists = false;
  struct stat st {};  // the entry's own, when it exists
};

// Walks the path one component at a time from an open folder, as the kernel would, but
// follows a link only where mayFollowLink allows it. Every step works on the folder already
// opened, so a link swapped in after its check is never followed: the rename at the end
// replaces the entry itself, whatever it has become. A link whose target does not exist is
// itself the entry to replace.
FileErrorCode findSaveTarget(const std::string& path, SaveTarget& out) {
  std::deque<std::string> parts;
  pushComponents(parts, path);
  Fd folder(::open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.ok()) return writeError(errno);
  const uid_t saver = ::geteuid();
  int links = 0;
  std::optional<SaveTarget> lastLink;
  auto danglingOr = [&](FileErrorCode error) {
    if (!lastLink) return error;
    out = std::move(*lastLink);
    return FileErrorCode::None;
  };

  while (!parts.empty()) {
    const std::string part = std::move(parts.front());
    parts.pop_front();
    const bool last = parts.empty();
    struct stat st {};
    if (::fstatat(folder.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      const int error = errno;
      if (error != ENOENT) return writeError(error);
      if (!last) return danglingOr(FileErrorCode::PathNotFound);
      if (lastLink) return danglingOr(FileErrorCode::None);
      out.folder = std::move(folder);
      out.name = part;
      return FileErrorCode::None;
    }
    if (S_ISLNK(st.st_mode)) {
      struct stat holder {};
      if (::fstat(folder.get(), &holder) != 0) return writeError(errno);
      if (!mayFollowLink(st, holder, saver)) return FileErrorCode::PermissionDenied;
      if (++links > kMostLinks) return writeError(ELOOP);
      std::string target;
      if (const FileErrorCode e = readLinkAt(folder.get(), part, static_cast<std::size_t>(st.st_size), target);
          e != FileErrorCode::None)
        return e;
      if (target.empty()) return FileErrorCode::FileNotFound;
      if (last) {
        lastLink.emplace();
        lastLink->folder = Fd(::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0));
        if (!lastLink->folder.ok()) return writeError(errno);
        lastLink->name = part;
      }
      pushComponents(parts, target);
      if (target.front() == '/') {
        folder = Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.ok()) return writeError(errno);
      }
      continue;
    }
    if (last) {
      out.folder = std::move(folder);
      out.name = part;
      out.exists = true;
      out.st = st;
      return FileErrorCode::None;
    }
    // Not following a link here: a link that took the folder's place since the stat fails.
    Fd next(::openat(folder.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.ok()) return writeError(errno);
    folder = std::move(next);
  }
  return FileErrorCode::BadFileName;
}

// Removes the saver's own temporary files that a killed save left in the folder.
void removeStaleTemporaries(int folder) {
  Fd reading(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!reading.ok()) return;
  DIR* dir = ::fdopendir(reading.get());
  if (!dir) return;
  reading.release();  // closedir closes it
  const uid_t saver = ::geteuid();
  const time_t before = ::time(nullptr) - kStaleSeconds;
  while (const dirent* entry = ::readdir(dir)) {
    if (!std::string_view(entry->d_name).starts_with(kTemporaryPrefix)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && st.st_uid == saver && st.st_mtime < before) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// Creates a new temporary file in the folder; its name goes to `name`.
Fd createTemporary(int folder, std::string& name) {
  static constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char noise[6];
    if (::getrandom(noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise)) {
      timespec now {};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      const unsigned long mix = static_cast<unsigned long>(now.tv_nsec) * 2654435761UL + static_cast<unsigned long>(attempt);
      for (std::size_t i = 0; i < sizeof noise; ++i) noise[i] = static_cast<unsigned char>(mix >> (i * 5));
    }
    name = kTemporaryPrefix;
    for (const unsigned char n : noise) name += kLetters[n % kLetters.size()];
    Fd fd(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.ok() || errno != EEXIST) return fd;
  }
  return Fd();
}

}  // namespace

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

FileErrorCode checkSoundFilePath(std::string_view path) {
  const std::string_view name = fileNameOf(path);
  if (name.empty() || name == "." || name == ".." || holdsWildcard(name)) return FileErrorCode::BadFileName;
  if (path.find('\0') != std::string_view::npos) return FileErrorCode::BadFileName;
  // A line feed, an escape sequence or a tab in a name is a slip of a paste, and would garble
  // every list and message that shows the name.
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
    return FileErrorCode::BadFileName;
  return FileErrorCode::None;
}

FileErrorCode writeFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return FileErrorCode::BadFileName;
  SaveTarget target;
  if (const FileErrorCode e = findSaveTarget(path, target); e != FileErrorCode::None) return e;
  const int folder = target.folder.get();
  const struct stat& st = target.st;
  if (target.exists) {
    if (S_ISDIR(st.st_mode)) return FileErrorCode::IsFolder;
    if (!S_ISREG(st.st_mode)) return FileErrorCode::NotAFile;
    // Renaming would replace even a file its owner made read-only, and root passes every
    // access check: a file without any write bit is kept from everyone.
    if ((st.st_mode & 0222) == 0) return FileErrorCode::PermissionDenied;
    if (::faccessat(folder, target.name.c_str(), W_OK, AT_EACCESS) != 0) return writeError(errno);
  }

  removeStaleTemporaries(folder);
  std::string temporary;
  Fd fd = createTemporary(folder, temporary);
  if (!fd.ok()) return writeError(errno);
  auto fail = [&](int error) {
    fd.reset();
    ::unlinkat(folder, temporary.c_str(), 0);
    return writeError(error);
  };

  if (target.exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    // Root saving over another user's file leaves it theirs. Anyone else cannot give a file
    // away and keeps the new one (the group still passes where the saver belongs to it).
    if (::fchown(fd.get(), static_cast<uid_t>(-1), st.st_gid) != 0) {}
    if (::fchown(fd.get(), st.st_uid, static_cast<gid_t>(-1)) != 0) {}
  }
  const mode_t mode = target.exists ? (st.st_mode & 07777) : (0666 & ~currentUmask());
  if (::fchmod(fd.get(), mode) != 0) return fail(errno);

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd.get(), data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (fd.close() != 0) return fail(errno);
  if (::renameat(folder, temporary.c_str(), folder, target.name.c_str()) != 0) return fail(errno);
  // The rename itself reaches the disk with the folder; a failure here loses nothing already
  // written, so it is not reported.
  if (Fd syncing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); syncing.ok()) ::fsync(syncing.get());
  return FileErrorCode::None;
}

SoundFileOutcome saveSoundFile(const std::string& path, const SoundControls& controls) {
  if (const FileErrorCode bad = checkSoundFilePath(path); bad != FileErrorCode::None)
    return SoundFileOutcome::failed(bad);
  const ComposedSoundFile composed = composeSoundFile(controls);
  if (!composed.outcome.ok()) return composed.outcome;
  const FileErrorCode written = writeFileAtomically(path, composed.bytes);
  return written == FileErrorCode::None ? SoundFileOutcome::done() : SoundFileOutcome::failed(written);
}

SoundFileOutcome loadSoundFile(const std::string& path, SoundControls& controls) {
  if (const FileErrorCode bad = checkSoundFilePath(path); bad != FileErrorCode::None)
    return SoundFileOutcome::failed(bad);
  // Not blocking on open: a named pipe without a writer must not hang the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT && !folderExists(path)) return SoundFileOutcome::failed(FileErrorCode::PathNotFound);
    return SoundFileOutcome::failed(fileErrorFromErrno(error, FileAccess::Reading));
  }
  const Fd closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return SoundFileOutcome::failed(fileErrorFromErrno(errno, FileAccess::Reading));
  if (S_ISDIR(st.st_mode)) return SoundFileOutcome::failed(FileErrorCode::IsFolder);
  if (!S_ISREG(st.st_mode)) return SoundFileOutcome::failed(FileErrorCode::NotAFile);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FdSource source(fd);
  return applySoundFile(source, controls);
}

}  // namespace rotavox
