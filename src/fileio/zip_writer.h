// Writes zip archives in memory: entries deflated or stored, optionally with zip64 records.
// Used to make test archives and the benchmark's .xlsx workbooks; the tool itself only reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace drumlo {

class ZipWriter {
 public:
  enum class Method : std::uint8_t { kStored, kDeflated };

  // `zip64` writes the zip64 forms of every size and offset, as a streaming writer does.
  explicit ZipWriter(bool zip64 = false);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;
  ~ZipWriter();

  void Add(std::string_view name, std::string_view content, Method method = Method::kDeflated);

  // An entry written bit by bit, for content too large to hold whole.
  void Begin(std::string_view name, Method method = Method::kDeflated);
  void Write(std::string_view bytes);
  void End();

  // The archive: entries, directory and end records.
  [[nodiscard]] std::string Finish();

 private:
  struct Entry {
    std::string name;
    std::uint64_t header = 0;
    std::uint64_t compressed_size = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    Method method = Method::kDeflated;
  };
  class Deflater;

  void PatchLocalHeader(const Entry& entry);
  void WriteDirectoryRecord(const Entry& entry);

  bool zip64_;
  std::string out_;
  std::vector<Entry> entries_;
  std::unique_ptr<Deflater> deflater_;
};

}  // namespace drumlo
