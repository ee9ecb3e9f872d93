// The interface form of the file operations, for code that takes its file system as a
// parameter.
#include "fileio/file_access.h"

namespace drumlo {
namespace {

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

std::int32_t FileAccess::ReadPieces(TextView path, PieceSink& sink) {
  Bytes whole;
  const std::int32_t code = Read(path, whole);
  if (code != kErrorSuccess) return code;
  sink.Size(whole.size());
  if (!whole.empty()) sink.Piece(whole);
  return kErrorSuccess;
}

FileAccess& SystemFiles() {
  static SystemFileAccess files;
  return files;
}

}  // namespace drumlo
