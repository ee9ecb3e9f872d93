// Stand-ins for what a run borrows: a host that records what the run showed, and an in-memory
// file system with failures on demand.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fileio/file_access.h"
#include "generator/run_host.h"

namespace drumlo {

// Records, in order, "status:<text>", "message:<text>" (no icon) or "warning:<text>",
// "hourglass", "default" and "beep", with the texts the user would read.
class RecordingHost : public RunHost {
 public:
  void ShowStatus(const RunStatus& status) override;
  void ShowMessage(const RunMessage& message) override;
  void SetHourglass(bool busy) override;
  void Beep() override;
  [[nodiscard]] std::vector<Text> Statuses() const;
  std::vector<Text> events;
};

class MemoryFiles : public FileAccess {
 public:
  void Put(TextView path, const std::string& bytes);
  bool Exists(TextView path) override;
  std::int32_t Read(TextView path, Bytes& buffer) override;
  // Hands a file over in pieces of `piece_bytes`; with `fail_after` set, the read stops after
  // that many bytes with 38 (the file ended early).
  std::int32_t ReadPieces(TextView path, PieceSink& sink) override;
  std::int32_t Write(TextView path, std::span<const std::uint8_t> bytes) override;

  std::map<Text, Bytes> files;
  std::map<Text, std::int32_t> write_errors;  // path -> code its writes fail with
  std::vector<Text> writes;                   // every path written, in order
  std::int32_t read_error = 0;
  std::size_t piece_bytes = kPieceBytes;
  std::size_t fail_after = SIZE_MAX;
};

}  // namespace drumlo
