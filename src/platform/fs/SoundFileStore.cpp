#include "platform/fs/SoundFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/files/PathRule.h"
#include "platform/fs/FsErrors.h"

namespace rotavox {

namespace {

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

// Closes a descriptor when it leaves scope.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
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

}  // namespace

FileErrorCode checkSoundFilePath(std::string_view path) {
  const std::string_view name = fileNameOf(path);
  if (name.empty() || name == "." || name == ".." || holdsWildcard(name)) return FileErrorCode::BadFileName;
  if (path.find('\0') != std::string_view::npos) return FileErrorCode::BadFileName;
  return FileErrorCode::None;
}

FileErrorCode writeFileAtomically(const std::string& path, std::string_view bytes) {
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Replace what the link points to, not the link; a dangling link is replaced itself.
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }

  bool exists = false;
  if (::stat(target.c_str(), &st) == 0) {
    exists = true;
    if (S_ISDIR(st.st_mode)) return FileErrorCode::IsFolder;
    if (!S_ISREG(st.st_mode)) return FileErrorCode::NotAFile;
    // Renaming would replace even a file its owner made read-only; writing in place would not.
    if (::access(target.c_str(), W_OK) != 0) return fileErrorFromErrno(errno, FileAccess::Writing);
  } else if (errno != ENOENT) {
    return fileErrorFromErrno(errno, FileAccess::Writing);
  }

  std::string folder(folderOf(target));
  if (folder.empty()) folder = ".";
  // A hidden name that no "*.rvs" list shows, should the program die before the rename.
  std::string temporary = folder + (folder.back() == '/' ? "" : "/") + ".rvs-save-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return fileErrorFromErrno(errno, FileAccess::Writing);
  FdCloser closer{fd};
  auto fail = [&](int error) {
    ::close(closer.fd);
    closer.fd = -1;
    ::unlink(temporary.c_str());
    return fileErrorFromErrno(error, FileAccess::Writing);
  };

  const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~currentUmask());
  if (::fchmod(fd, mode) != 0) return fail(errno);

  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail(errno);
  closer.fd = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return fileErrorFromErrno(error, FileAccess::Writing);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return fileErrorFromErrno(error, FileAccess::Writing);
  }
  // The rename itself reaches the disk with the folder; a failure here loses nothing already
  // written, so it is not reported.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
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
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return SoundFileOutcome::failed(fileErrorFromErrno(errno, FileAccess::Reading));
  if (S_ISDIR(st.st_mode)) return SoundFileOutcome::failed(FileErrorCode::IsFolder);
  if (!S_ISREG(st.st_mode)) return SoundFileOutcome::failed(FileErrorCode::NotAFile);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FdSource source(fd);
  return applySoundFile(source, controls);
}

}  // namespace rotavox
