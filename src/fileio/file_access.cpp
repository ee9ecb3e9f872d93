// The interface form of the file operations, for code that takes its file system as a
// parameter.
#include "fileio/file_access.h"

#include <algorithm>
#include <new>

namespace drumlo {
namespace {

// Gathers the pieces into the caller's buffer, which is replaced only once room for the whole
// file has been had.
class WholeFile final : public PieceSink {
 public:
  explicit WholeFile(Bytes& buffer) : buffer_(buffer) {}
  bool Size(std::size_t bytes) override {
    try {
      Bytes fresh(bytes);
      buffer_.swap(fresh);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  void Piece(std::span<const std::uint8_t> bytes) override {
    const std::size_t room = buffer_.size() - filled_;
    const std::size_t taken = std::min(room, bytes.size());
    std::copy_n(bytes.begin(), taken, buffer_.begin() + static_cast<std::ptrdiff_t>(filled_));
    filled_ += taken;
  }

 private:
  Bytes& buffer_;
  std::size_t filled_ = 0;
};

class SystemFileAccess final : public FileAccess {
 public:
  bool Exists(TextView path) override { return FileExists(path); }
  std::int32_t Read(TextView path, Bytes& buffer) override { return ReadFileBytes(path, buffer); }
  std::int32_t ReadPieces(TextView path, PieceSink& sink) override {
    return ReadFilePieces(path, sink);
  }
  std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) override {
    return WriteFileBytes(path, bytes);
  }
};

}  // namespace

// A file shorter than its size leaves the rest of the buffer zero.
std::int32_t ReadFileBytes(TextView path, Bytes& buffer) {
  WholeFile whole(buffer);
  return ReadFilePieces(path, whole);
}

std::int32_t FileAccess::ReadPieces(TextView path, PieceSink& sink) {
  Bytes whole;
  const std::int32_t code = Read(path, whole);
  if (code != kErrorSuccess) return code;
  if (!sink.Size(whole.size())) return kErrorNotEnoughMemory;
  if (!whole.empty()) sink.Piece(whole);
  return kErrorSuccess;
}

FileAccess& SystemFiles() {
  static SystemFileAccess files;
  return files;
}

}  // namespace drumlo
