// Whole-file access through kernel32. The workbook is read with read sharing only. A file is
// replaced by writing it whole, held exclusively, into a temporary file beside it and moving
// that over its name with MoveFileExW, so a write that fails or is killed part way leaves the
// old file whole. Nothing is flushed to the disk (no FlushFileBuffers, no MOVEFILE_WRITE_THROUGH):
// this guards against failed writes and killed processes, not power loss.
#include <windows.h>

#include <algorithm>
#include <new>
#include <string>

#include "fileio/file_access.h"
#include "fileio/temporary_file.h"

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
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

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

// 0 when all `size` bytes went through, otherwise the platform's code, or `silent` when the call
// set none.
std::int32_t TransferResult(DWORD done, DWORD size, std::int32_t silent) {
  if (done == size) return kErrorSuccess;
  const std::int32_t error = LastError();
  return error != kErrorSuccess ? error : silent;
}

// Reads `size` bytes in one call. A file that shrank since the size query reads short without an
// error code of its own.
std::int32_t ReadExactly(HANDLE file, std::uint8_t* data, DWORD size) {
  DWORD read = 0;
  SetLastError(ERROR_SUCCESS);
  ReadFile(file, data, size, &read, nullptr);
  return TransferResult(read, size, kErrorHandleEof);
}

// Writes `size` bytes in one call.
std::int32_t WriteExactly(HANDLE file, const std::uint8_t* data, DWORD size) {
  // An empty buffer has no data pointer to hand over.
  if (size == 0) return kErrorSuccess;
  DWORD written = 0;
  SetLastError(ERROR_SUCCESS);
  WriteFile(file, data, size, &written, nullptr);
  return TransferResult(written, size, kErrorWriteFault);
}

// Writes all bytes in one call, or in two around the pause that tests may set.
std::int32_t PutAllBytes(HANDLE file, std::span<const std::uint8_t> bytes) {
  const auto size = static_cast<DWORD>(bytes.size());
  const DWORD first = pause_mid_write_for_tests != nullptr ? size / 2 : size;
  std::int32_t code = WriteExactly(file, bytes.data(), first);
  if (code == kErrorSuccess && first < size) {
    pause_mid_write_for_tests();
    code = WriteExactly(file, bytes.data() + first, size - first);
  }
  return code;
}

// Truncates and writes the file itself: the old way, kept for what cannot be replaced by a
// move. A failure part way leaves the file cut short.
std::int32_t WriteInPlace(const std::wstring& path, std::span<const std::uint8_t> bytes) {
  const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastError();
  return PutAllBytes(file.get(), bytes);
}

// The path of the file an open handle reaches, symbolic links followed; false if unknown.
bool FinalPathOf(HANDLE file, std::wstring& final_path) {
  constexpr DWORD kForm = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, kForm);
  if (size == 0) return false;
  final_path.assign(size, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(file, final_path.data(), size, kForm);
  if (length == 0 || length >= size) return false;
  final_path.resize(length);
  return true;
}

// How a path is to be written: refused with a code, written in place as it always was, or
// replaced at `path`, which for a symbolic link is the file it leads to, so that the link stays
// a link.
struct WritePlan {
  std::int32_t refusal = kErrorSuccess;
  bool in_place = false;
  std::wstring path;
};

// A move would replace a file that the truncating create refused, so an existing file is first
// opened as that call opened it, without sharing and without changing it: no right to write it
// or read-only (5), open elsewhere (32), a folder (5). Hidden and system files are refused with 5
// as well. What is not a plain file on a disk (a device, a link leading nowhere, a file whose
// final path cannot be had) is written in place.
WritePlan PlanWrite(const std::wstring& path) {
  WritePlan plan{kErrorSuccess, false, path};
  const FileHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!probe.valid()) {
    plan.refusal = LastError();
    if (plan.refusal != kErrorFileNotFound) return plan;
    plan.refusal = kErrorSuccess;
    plan.in_place = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return plan;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(probe.get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(probe.get(), &info)) {
    plan.in_place = true;
    return plan;
  }
  constexpr DWORD kRefused =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if ((info.dwFileAttributes & kRefused) != 0) {
    plan.refusal = kErrorAccessDenied;
  } else {
    plan.in_place = !FinalPathOf(probe.get(), plan.path);
  }
  return plan;
}

// Nobody may open it while it is written. A file of that name can only have been left by an
// earlier process of the same id.
HANDLE CreateTemporary(const std::wstring& path) {
  const auto create = [&path] {
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  };
  const HANDLE file = create();
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS &&
      DeleteFileW(path.c_str())) {
    return create();
  }
  return file;
}

// MoveFileExW rather than ReplaceFileW: one call for new and existing files, and the result
// carries the attributes of a newly created file as the truncating create gave it.
std::int32_t ReplaceThroughTemporary(const std::wstring& path,
                                     std::span<const std::uint8_t> bytes) {
  const std::wstring temporary = TemporaryPathFor(path).native();
  FileHandle out(CreateTemporary(temporary));
  if (!out.valid()) return LastError();
  std::int32_t code = PutAllBytes(out.get(), bytes);
  out.Close();
  if (code == kErrorSuccess &&
      !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    code = LastError();
  }
  if (code != kErrorSuccess) DeleteFileW(temporary.c_str());
  return code;
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
  const std::wstring wide = ToWide(path);
  const WritePlan plan = PlanWrite(wide);
  if (plan.refusal != kErrorSuccess) return plan.refusal;
  if (plan.in_place) return WriteInPlace(wide, bytes);
  RemoveLeftoversOf(plan.path);
  const std::int32_t code = ReplaceThroughTemporary(plan.path, bytes);
  // No right to make or move files in the folder: the file itself may still be writable.
  if (code == kErrorAccessDenied) return WriteInPlace(wide, bytes);
  return code;
}

std::uint64_t CurrentProcessId() {
  return GetCurrentProcessId();
}

bool ProcessIsAlive(std::uint64_t pid) {
  if (pid > MAXDWORD) return false;
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD exit_code = 0;
  const bool alive = !GetExitCodeProcess(process, &exit_code) || exit_code == STILL_ACTIVE;
  CloseHandle(process);
  return alive;
}

}  // namespace drumlo
