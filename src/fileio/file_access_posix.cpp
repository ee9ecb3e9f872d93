// Whole-file access on POSIX systems. Paths are encoded as UTF-8 (an unpaired surrogate becomes
// U+FFFD). Result codes are the Windows codes the callers know; see ErrnoToResult.
// Advisory locks are not taken: POSIX has no mandatory share modes, so a file open elsewhere
// is read or written as it stands; 32 (sharing violation) comes only from writing over a
// running program (ETXTBSY).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>
#include <string>

#include "fileio/file_access.h"
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
  FileDescriptor file(OpenRetrying(native, O_WRONLY | O_CREAT | O_TRUNC, 0666));
  if (!file.valid()) return ErrnoToResult(errno, native);
  int error = 0;
  const std::size_t put = WriteFully(file.get(), bytes.data(), bytes.size(), error);
  if (put != bytes.size()) return error != 0 ? ErrnoToResult(error, native) : kErrorWriteFault;
  // Some file systems report a failed write only when the file is closed.
  // An interrupted close has still closed the file on Linux; it is no write error.
  const int close_error = file.Close();
  if (close_error == 0 || close_error == EINTR) return kErrorSuccess;
  return ErrnoToResult(close_error, native);
}

}  // namespace drumlo
