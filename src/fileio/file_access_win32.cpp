// Whole-file access through kernel32: one CreateFileW, one ReadFile or WriteFile, one
// CloseHandle per operation. The workbook is read with read sharing only; a list file is held
// exclusively while it is written.
#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

#include "fileio/file_access.h"

namespace drumlo {
namespace {

constexpr std::int32_t kErrorWriteFault = 29;
constexpr std::int32_t kErrorHandleEof = 38;
constexpr std::int32_t kErrorInvalidName = 123;
constexpr DWORD kMaxReadSize = 0x7FFFFFFF;

// Paths go to the platform NUL-terminated; a NUL inside one would cut it short.
bool HasNul(TextView path) {
  return path.find(u'\0') != TextView::npos;
}

std::wstring ToWide(TextView path) {
  return std::wstring(path.begin(), path.end());
}

std::int32_t LastError() {
  return static_cast<std::int32_t>(GetLastError());
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  [[nodiscard]] HANDLE get() const { return handle_; }
  [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The size when it can be read in one call (under 2 GiB), otherwise the result code: the
// query's own code when it failed, 223 when the file is too large.
struct SizeQuery {
  DWORD size;
  std::int32_t error;
};

SizeQuery QuerySize(HANDLE file) {
  DWORD high = 0;
  SetLastError(ERROR_SUCCESS);
  const DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return {0, LastError()};
  if (high != 0 || low > kMaxReadSize) return {0, kErrorFileTooLarge};
  return {low, kErrorSuccess};
}

// The workbook is opened with read sharing only: a file being written elsewhere is refused.
HANDLE OpenForReading(TextView path) {
  return CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

// Reads `size` bytes in one call.
std::int32_t ReadExactly(HANDLE file, std::uint8_t* data, DWORD size) {
  DWORD read = 0;
  SetLastError(ERROR_SUCCESS);
  ReadFile(file, data, size, &read, nullptr);
  if (read == size) return kErrorSuccess;
  // A file that shrank since the size query reads short without an error code of its own.
  const std::int32_t error = LastError();
  return error != kErrorSuccess ? error : kErrorHandleEof;
}

}  // namespace

bool FileExists(TextView path) {
  if (HasNul(path)) return false;
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  // Not a test of the directory bit alone: a folder with any further attribute passes.
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & ~FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::int32_t ReadFilePieces(TextView path, PieceSink& sink) {
  if (HasNul(path)) return kErrorInvalidName;
  const FileHandle file(OpenForReading(path));
  if (!file.valid()) return LastError();
  const SizeQuery size = QuerySize(file.get());
  if (size.error != kErrorSuccess) return size.error;
  if (!sink.Size(size.size)) return kErrorNotEnoughMemory;
  Bytes piece;
  try {
    piece.resize(std::min<std::size_t>(size.size, kPieceBytes));
  } catch (const std::bad_alloc&) {
    return kErrorNotEnoughMemory;
  }
  for (DWORD done = 0; done < size.size;) {
    const DWORD wanted = std::min(static_cast<DWORD>(piece.size()), size.size - done);
    const std::int32_t code = ReadExactly(file.get(), piece.data(), wanted);
    if (code != kErrorSuccess) return code;
    sink.Piece(std::span(piece.data(), wanted));
    done += wanted;
  }
  return kErrorSuccess;
}

std::int32_t WriteFileBytes(TextView path, std::span<const std::uint8_t> bytes) {
  if (HasNul(path)) return kErrorInvalidName;
  // One WriteFile call carries at most a DWORD of bytes; refuse before touching the file.
  if (bytes.size() > MAXDWORD) return kErrorFileTooLarge;
  const FileHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastError();
  const auto size = static_cast<DWORD>(bytes.size());
  DWORD written = 0;
  SetLastError(ERROR_SUCCESS);
  // An empty buffer has no data pointer to hand over; the truncated file is the result.
  if (size != 0) WriteFile(file.get(), bytes.data(), size, &written, nullptr);
  if (written == size) return kErrorSuccess;
  const std::int32_t error = LastError();
  return error != kErrorSuccess ? error : kErrorWriteFault;
}

}  // namespace drumlo
