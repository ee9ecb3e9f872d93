// Whole-file access and the byte forms of text. Result codes are Windows error codes on every
// platform: 0 success, 2 file not found, 3 path not found, 5 access denied, 32 sharing
// violation, 112 disk full, 223 file too large.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/text.h"

namespace drumlo {

using Bytes = std::vector<std::uint8_t>;

enum : std::int32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorNotEnoughMemory = 8,
  kErrorSharingViolation = 32,
  kErrorDiskFull = 112,
  kErrorFileTooLarge = 223,
  kErrorFileCorrupt = 1392,
};

// True for an existing file (and, on Windows, a directory carrying attribute bits beyond the
// directory bit).
[[nodiscard]] bool FileExists(TextView path);
// Reads the whole file into `buffer` (replacing its content). Files of 2 GiB or more give 223.
[[nodiscard]] std::int32_t ReadFileBytes(TextView path, Bytes& buffer);
// Receives a file piece by piece, in order.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  // The file's size, told once before the first piece. False when the sink cannot take a file
  // that large: the reading then stops and gives 8 (not enough memory).
  virtual bool Size(std::size_t bytes) = 0;
  virtual void Piece(std::span<const std::uint8_t> bytes) = 0;
};

// Pieces are at most this long: small enough that a piece, its decoded text and the rows cut
// from it stay in the core's own cache (1 MB pieces made a run about 15% slower).
inline constexpr std::size_t kPieceBytes = std::size_t{1} << 17;

// Reads the file as ReadFileBytes does, with the same result codes, but hands it over piece by
// piece instead of holding it whole. On an error the pieces handed over are not the whole file.
[[nodiscard]] std::int32_t ReadFilePieces(TextView path, PieceSink& sink);
// Creates or replaces the file with exactly `bytes`. The bytes are written into a temporary file
// beside it that is then moved over its name, so a write that fails or is killed part way leaves
// an existing file as it was; a file that may not be written (read-only, or open elsewhere on
// Windows) is refused as before.
[[nodiscard]] std::int32_t WriteFileBytes(TextView path, std::span<const std::uint8_t> bytes);

// UTF-16LE bytes of a text, nothing added.
[[nodiscard]] Bytes TextToBytes(TextView text);
// The same bytes without a copy where the machine is little-endian: the text's own storage,
// otherwise `scratch` filled by TextToBytes. Valid while both are.
[[nodiscard]] std::span<const std::uint8_t> TextAsBytes(TextView text, Bytes& scratch);
// Lenient UTF-8 decoding (malformed sequences become U+FFFD), one leading U+FEFF removed.
[[nodiscard]] Text Utf8ToText(std::span<const std::uint8_t> bytes);

// The same operations as an interface, so a run can be given a fake file system in tests.
class FileAccess {
 public:
  virtual ~FileAccess() = default;
  [[nodiscard]] virtual bool Exists(TextView path) = 0;
  [[nodiscard]] virtual std::int32_t Read(TextView path, Bytes& buffer) = 0;
  // ReadFilePieces; by default the file is read whole with Read and handed over in one piece.
  [[nodiscard]] virtual std::int32_t ReadPieces(TextView path, PieceSink& sink);
  [[nodiscard]] virtual std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) = 0;
};

// The real file system of the platform.
[[nodiscard]] FileAccess& SystemFiles();

}  // namespace drumlo
