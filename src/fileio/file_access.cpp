// The interface form of the file operations, for code that takes its file system as a
// parameter.
#include "fileio/file_access.h"

namespace drumlo {
namespace {

class SystemFileAccess final : public FileAccess {
 public:
  bool Exists(TextView path) override { return FileExists(path); }
  std::int32_t Read(TextView path, Bytes& buffer) override { return ReadFileBytes(path, buffer); }
  std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) override {
    return WriteFileBytes(path, bytes);
  }
};

}  // namespace

FileAccess& SystemFiles() {
  static SystemFileAccess files;
  return files;
}

}  // namespace drumlo
