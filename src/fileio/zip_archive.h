// A reader for zip archives held in memory (the form of .xlsx and .ods workbooks): the central
// directory, zip64 included, and entries stored or deflated. Archives are taken as hostile:
// every size and offset is checked against the file, an entry must inflate to exactly the size
// and checksum the directory gives, and nothing is inflated beyond a limit the caller sets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace drumlo {

enum class ArchiveStatus : std::uint8_t {
  kOk,
  kNotArchive,         // no end-of-directory record, and no zip signature at the start either
  kTruncated,          // the directory or an entry's data reaches beyond the end of the file
  kCorruptDirectory,   // directory records that do not hold together
  kCorruptEntry,       // bad compressed data, or not the size or checksum the directory gives
  kEncryptedEntry,     // an entry that needs a password
  kUnsupportedMethod,  // compressed other than stored or deflated
  kTooLarge,           // an entry larger than the caller's limit
  kMissingEntry,       // no entry of the name asked for
  kNotEnoughMemory,
};

// A short fixed name for messages and logs ("truncated", "corrupt-entry", ...).
[[nodiscard]] std::string_view ArchiveStatusName(ArchiveStatus status);

struct ZipEntry {
  std::string name;  // as stored: UTF-8 or the archive's code page
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;  // uncompressed, as the directory gives it
  std::uint64_t local_header = 0;
  std::uint32_t crc = 0;
  std::uint16_t method = 0;
  std::uint16_t flags = 0;
};

// Inflates one entry bit by bit into the caller's buffers.
class ZipEntryStream {
 public:
  ZipEntryStream();
  ZipEntryStream(ZipEntryStream&&) noexcept;
  ZipEntryStream& operator=(ZipEntryStream&&) noexcept;
  ~ZipEntryStream();

  // Fills `into` with the next bytes of the entry; `got` tells how many. At the end of the
  // entry `got` is 0 and the status kOk, once the whole entry has been checked.
  [[nodiscard]] ArchiveStatus Read(std::span<std::uint8_t> into, std::size_t& got);
  // Bytes handed out so far.
  [[nodiscard]] std::uint64_t Produced() const;
  [[nodiscard]] bool AtEnd() const;

 private:
  friend class ZipArchive;
  class Impl;
  std::unique_ptr<Impl> impl_;
};

class ZipArchive {
 public:
  // Reads the directory of `file`, which must stay as it is while the archive is used.
  [[nodiscard]] ArchiveStatus Open(std::span<const std::uint8_t> file);
  [[nodiscard]] const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The entry of this name: exact, else with ASCII letters of either case (package part names
  // are case-insensitive); a leading "/" is ignored. Null when there is none.
  [[nodiscard]] const ZipEntry* Find(std::string_view name) const;

  // Begins inflating an entry whose directory size is at most `limit`.
  [[nodiscard]] ArchiveStatus OpenEntry(const ZipEntry& entry, std::uint64_t limit,
                                        ZipEntryStream& stream) const;
  // The whole entry, checked, into `out` (replacing its content).
  [[nodiscard]] ArchiveStatus ReadEntry(const ZipEntry& entry, std::uint64_t limit,
                                        std::string& out) const;

 private:
  [[nodiscard]] ArchiveStatus ReadDirectory(std::uint64_t offset, std::uint64_t size,
                                            std::uint64_t count);

  std::span<const std::uint8_t> file_;
  std::vector<ZipEntry> entries_;
  std::vector<std::pair<std::string, std::size_t>> index_;  // lower-case name, entry; sorted
};

}  // namespace drumlo
