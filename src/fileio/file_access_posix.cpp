// Whole-file access on POSIX systems. Paths are encoded as UTF-8 (an unpaired surrogate becomes
// U+FFFD). Result codes are the Windows codes the callers know; see ErrnoToResult.
// Advisory locks are not taken: POSIX has no mandatory share modes, so a file open elsewhere
// is read as it stands, and a reader of a file being replaced goes on seeing the old bytes;
// 32 (sharing violation) comes only from writing over a running program (ETXTBSY).
// A file is replaced by writing a temporary file beside it and renaming that over its name, so
// a write that fails or is killed part way leaves the old file whole. Nothing is flushed to the
// disk (no fsync): this guards against failed writes and killed processes, not power loss.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "fileio/file_access.h"
#include "fileio/temporary_file.h"
#include "fileio/utf8.h"

namespace drumlo {
namespace {

constexpr std::int32_t kErrorTooManyOpenFiles = 4;
constexpr std::int32_t kErrorWriteFault = 29;
constexpr std::int32_t kErrorGenFailure = 31;
constexpr std::int32_t kErrorHandleEof = 38;
constexpr std::int32_t kErrorFileExists = 80;
constexpr std::int32_t kErrorInvalidParameter = 87;
constexpr std::int32_t kErrorInvalidName = 123;
constexpr std::int32_t kErrorBusy = 170;
constexpr std::int32_t kErrorFilenameTooLong = 206;
constexpr std::int32_t kErrorIoDevice = 1117;
constexpr std::int32_t kErrorCantResolveFilename = 1921;
constexpr off_t kMaxReadSize = 0x7FFFFFFF;
// Links followed at the end of a path before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

// Windows tells a missing file (2) from a missing folder on the way (3); ENOENT covers both,
// so the parent folder decides.
std::int32_t MissingPathResult(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return kErrorFileNotFound;
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat info {};
  const bool parent_is_dir = ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return parent_is_dir ? kErrorFileNotFound : kErrorPathNotFound;
}

// errno -> Windows error code:
//   ENOENT 2 or 3 (see above), ENOTDIR 3, EACCES/EPERM/EROFS/EISDIR 5 (Windows refuses to open
//   a directory as a file with access denied), EMFILE/ENFILE 4, ENOMEM 8, ETXTBSY 32,
//   EEXIST 80, EINVAL 87, EBUSY 170, ENAMETOOLONG 206, ENOSPC/EDQUOT 112, EFBIG/EOVERFLOW 223,
//   EIO 1117, ELOOP 1921, anything else 31 (general failure).
std::int32_t ErrnoToResult(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
      return MissingPathResult(path);
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case ETXTBSY:
      return kErrorSharingViolation;
    case EEXIST:
      return kErrorFileExists;
    case EINVAL:
      return kErrorInvalidParameter;
    case EBUSY:
      return kErrorBusy;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EFBIG:
    case EOVERFLOW:
      return kErrorFileTooLarge;
    case EIO:
      return kErrorIoDevice;
    case ELOOP:
      return kErrorCantResolveFilename;
    default:
      return kErrorGenFailure;
  }
}

// A NUL inside the path would silently cut it short, so such a path names no file.
bool HasNul(TextView path) {
  return path.find(u'\0') != TextView::npos;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; returns 0 or the errno of a failed close (a late write error shows here).
  int Close() {
    const int result = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    // Non-blocking, so that a FIFO in the path cannot hang the caller.
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Moves `size` bytes with read or write, call after call, until all are through or the file
// ends early; returns the count moved. `error` gets the errno of a failed call, or 0.
template <typename Byte, typename Transfer>
std::size_t TransferFully(int fd, Byte* data, std::size_t size, int& error, Transfer transfer) {
  std::size_t done = 0;
  error = 0;
  while (done < size) {
    const ssize_t moved = transfer(fd, data + done, size - done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved < 0) error = errno;
    if (moved <= 0) break;
    done += static_cast<std::size_t>(moved);
  }
  return done;
}

std::size_t ReadFully(int fd, std::uint8_t* data, std::size_t size, int& error) {
  return TransferFully(fd, data, size, error, ::read);
}

std::size_t WriteFully(int fd, const std::uint8_t* data, std::size_t size, int& error) {
  return TransferFully(fd, data, size, error, ::write);
}

// Opens a file for reading and takes its size, with the checks both ways of reading share.
std::int32_t OpenForReading(const std::string& native, FileDescriptor& file, std::size_t& size) {
  file.Reset(OpenRetrying(native, O_RDONLY));
  if (!file.valid()) return ErrnoToResult(errno, native);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return ErrnoToResult(errno, native);
  // Windows refuses to open a folder or a device as a file with access denied.
  if (!S_ISREG(info.st_mode)) return kErrorAccessDenied;
  if (info.st_size > kMaxReadSize) return kErrorFileTooLarge;
  size = info.st_size <= 0 ? 0 : static_cast<std::size_t>(info.st_size);
  return kErrorSuccess;
}

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// What a path names once the symbolic links at its end are followed, as opening it would: the
// file is replaced where it lies, and a link stays a link.
struct FoundFile {
  std::string path;
  bool exists = false;
  struct stat info {};
};

// 0, or the errno that opening the path would give.
int FollowLinks(const std::string& path, FoundFile& file) {
  file.path = path;
  for (int links = 0;; ++links) {
    if (::lstat(file.path.c_str(), &file.info) != 0) {
      file.exists = false;
      return errno == ENOENT ? 0 : errno;
    }
    file.exists = true;
    if (!S_ISLNK(file.info.st_mode)) return 0;
    if (links == kMaxLinks) return ELOOP;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(file.path.c_str(), target.data(), target.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) == target.size()) return ENAMETOOLONG;
    target.resize(static_cast<std::size_t>(length));
    file.path = !target.empty() && target.front() == '/' ? target : FolderPart(file.path) + target;
  }
}

// Writes all bytes, in two parts around the pause that tests may set.
std::int32_t PutAllBytes(int fd, std::span<const std::uint8_t> bytes, const std::string& native) {
  const std::size_t first = pause_mid_write_for_tests != nullptr ? bytes.size() / 2 : bytes.size();
  int error = 0;
  std::size_t put = WriteFully(fd, bytes.data(), first, error);
  if (put == first && first < bytes.size()) {
    pause_mid_write_for_tests();
    put += WriteFully(fd, bytes.data() + first, bytes.size() - first, error);
  }
  if (put == bytes.size()) return kErrorSuccess;
  return error != 0 ? ErrnoToResult(error, native) : kErrorWriteFault;
}

// Some file systems report a failed write only when the file is closed.
// An interrupted close has still closed the file on Linux; it is no write error.
std::int32_t CloseWritten(FileDescriptor& file, const std::string& native) {
  const int close_error = file.Close();
  if (close_error == 0 || close_error == EINTR) return kErrorSuccess;
  return ErrnoToResult(close_error, native);
}

// Truncates and writes the file itself: the old way, kept for what cannot be replaced by a
// rename. A failure part way leaves the file cut short.
std::int32_t WriteInPlace(const std::string& native, std::span<const std::uint8_t> bytes) {
  FileDescriptor file(OpenRetrying(native, O_WRONLY | O_CREAT | O_TRUNC, 0666));
  if (!file.valid()) return ErrnoToResult(errno, native);
  const std::int32_t code = PutAllBytes(file.get(), bytes, native);
  return code != kErrorSuccess ? code : CloseWritten(file, native);
}

// A rename would replace even a file this process may not write, so an existing file is refused
// as the truncating open once refused it (no write permission, a read-only file system, a
// running program), by opening it for writing without changing it.
std::int32_t RefusalToWrite(const std::string& path, const std::string& native) {
  const FileDescriptor probe(OpenRetrying(path, O_WRONLY));
  return probe.valid() ? kErrorSuccess : ErrnoToResult(errno, native);
}

// A file of that name can only have been left by an earlier process of the same id.
int CreateTemporary(const std::string& path) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL;
  const int fd = OpenRetrying(path, flags, 0666);
  if (fd < 0 && errno == EEXIST && ::unlink(path.c_str()) == 0)
    return OpenRetrying(path, flags, 0666);
  return fd;
}

// A new file gets 0666 less the umask from the create call; a replaced one keeps its permission
// bits, and its owner where this process may give it away (root).
void KeepOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Not ours to give: the file now belongs to this process's user and group.
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) {
    // The create call's mode stays.
  }
}

std::int32_t ReplaceThroughTemporary(const FoundFile& file, const std::string& native,
                                     std::span<const std::uint8_t> bytes) {
  const std::string temporary = TemporaryPathFor(file.path).native();
  FileDescriptor out(CreateTemporary(temporary));
  if (!out.valid()) return ErrnoToResult(errno, native);
  if (file.exists) KeepOwnerAndMode(out.get(), file.info);
  std::int32_t code = PutAllBytes(out.get(), bytes, native);
  if (code == kErrorSuccess) code = CloseWritten(out, native);
  if (code == kErrorSuccess && ::rename(temporary.c_str(), file.path.c_str()) != 0) {
    code = ErrnoToResult(errno, native);
  }
  if (code != kErrorSuccess) ::unlink(temporary.c_str());
  return code;
}

// A new file is written unnamed in its folder (Linux's O_TMPFILE) and given its name once it is
// whole: the folder gets one entry, as a plain create gives it, and a process killed on the way
// leaves nothing behind. Nothing when the system or the folder cannot do so, or the name was
// taken meanwhile: the named temporary file serves then.
std::optional<std::int32_t> CreateWhole(const FoundFile& file, const std::string& native,
                                        std::span<const std::uint8_t> bytes) {
#ifdef O_TMPFILE
  const std::size_t slash = file.path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : file.path.substr(0, slash + 1);
  FileDescriptor out(OpenRetrying(folder, O_TMPFILE | O_WRONLY, 0666));
  if (!out.valid()) return std::nullopt;
  const std::int32_t code = PutAllBytes(out.get(), bytes, native);
  if (code != kErrorSuccess) return code;  // nothing was named
  const std::string self = "/proc/self/fd/" + std::to_string(out.get());
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, file.path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return std::nullopt;
  }
  return CloseWritten(out, native);
#else
  (void)file;
  (void)native;
  (void)bytes;
  return std::nullopt;
#endif
}

}  // namespace

bool FileExists(TextView path) {
  if (HasNul(path)) return false;
  struct stat info {};
  return ::stat(EncodeUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::int32_t ReadFilePieces(TextView path, PieceSink& sink) {
  if (HasNul(path)) return kErrorInvalidName;
  const std::string native = EncodeUtf8(path);
  FileDescriptor file(-1);
  std::size_t size = 0;
  if (const std::int32_t code = OpenForReading(native, file, size); code != kErrorSuccess) {
    return code;
  }
  if (!sink.Size(size)) return kErrorNotEnoughMemory;
  Bytes piece;
  try {
    piece.resize(std::min(size, kPieceBytes));
  } catch (const std::bad_alloc&) {
    return kErrorNotEnoughMemory;
  }
  for (std::size_t done = 0; done < size;) {
    const std::size_t wanted = std::min(piece.size(), size - done);
    int error = 0;
    const std::size_t got = ReadFully(file.get(), piece.data(), wanted, error);
    if (got > 0) sink.Piece(std::span(piece.data(), got));
    done += got;
    // A file that shrank while it was read.
    if (got < wanted) return error != 0 ? ErrnoToResult(error, native) : kErrorHandleEof;
  }
  return kErrorSuccess;
}

std::int32_t WriteFileBytes(TextView path, std::span<const std::uint8_t> bytes) {
  if (HasNul(path)) return kErrorInvalidName;
  const std::string native = EncodeUtf8(path);
  FoundFile file;
  if (const int error = FollowLinks(native, file); error != 0) return ErrnoToResult(error, native);
  // Folders, devices and pipes answer as they always did.
  if (file.exists && !S_ISREG(file.info.st_mode)) return WriteInPlace(native, bytes);
  if (file.exists) {
    if (const std::int32_t code = RefusalToWrite(file.path, native); code != kErrorSuccess) {
      return code;
    }
  }
  RemoveLeftoversOf(file.path);
  if (!file.exists) {
    if (const std::optional<std::int32_t> code = CreateWhole(file, native, bytes)) return *code;
  }
  const std::int32_t code = ReplaceThroughTemporary(file, native, bytes);
  // No right to make or rename files in the folder: the file itself may still be writable.
  if (code == kErrorAccessDenied) return WriteInPlace(native, bytes);
  return code;
}

// getpid is a system call of its own on every write; a forked child asks again.
std::uint64_t CurrentProcessId() {
  static std::atomic<pid_t> known{0};
  [[maybe_unused]] static const int forget_on_fork =
      ::pthread_atfork(nullptr, nullptr, [] { known = 0; });
  pid_t pid = known;
  if (pid == 0) known = pid = ::getpid();
  return static_cast<std::uint64_t>(pid);
}

bool ProcessIsAlive(std::uint64_t pid) {
  // 0 would ask about this process's group; larger ids than pid_t holds are nobody's.
  if (pid == 0) return true;
  if (pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max())) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace drumlo
