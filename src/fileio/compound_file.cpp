#include "fileio/compound_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/byte_fields.h"

namespace drumlo {
namespace {

constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kEntryBytes = 128;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr std::uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr std::uint8_t kStreamObject = 2;
constexpr std::uint8_t kRootObject = 5;
constexpr std::size_t kLongestNameBytes = 64;

class CompoundFile {
 public:
  explicit CompoundFile(std::span<const std::uint8_t> file) : file_(file) {}

  bool ReadHeader() {
    if (file_.size() < kHeaderBytes ||
        std::memcmp(file_.data(), kCompoundFileSignature, sizeof kCompoundFileSignature) != 0) {
      return false;
    }
    const std::uint16_t shift = Le16(file_, 30);
    if (shift != 9 && shift != 12) return false;
    sector_bytes_ = std::size_t{1} << shift;
    sector_count_ = file_.size() / sector_bytes_;
    return true;
  }

  // The sectors of the allocation table, listed in the header and the chain after it.
  bool ReadFatSectors() {
    const std::uint32_t fat_count = Le32(file_, 44);
    if (fat_count > sector_count_) return false;
    for (std::size_t k = 0; k < kHeaderFatSlots && fat_sectors_.size() < fat_count; ++k)
      fat_sectors_.push_back(Le32(file_, 76 + 4 * k));
    std::uint32_t next = Le32(file_, 68);
    const std::size_t slots = sector_bytes_ / 4 - 1;
    for (std::size_t steps = 0; fat_sectors_.size() < fat_count; ++steps) {
      const std::span<const std::uint8_t> sector = Sector(next);
      if (sector.empty() || steps > sector_count_) return false;
      for (std::size_t k = 0; k < slots && fat_sectors_.size() < fat_count; ++k)
        fat_sectors_.push_back(Le32(sector, 4 * k));
      next = Le32(sector, 4 * slots);
    }
    return true;
  }

  // The directory's entries, following its sector chain.
  bool ReadDirectory() {
    std::uint32_t sector = Le32(file_, 48);
    for (std::size_t steps = 0; sector <= kLastRegularSector; ++steps) {
      const std::span<const std::uint8_t> bytes = Sector(sector);
      if (bytes.empty() || steps > sector_count_) return false;
      directory_.insert(directory_.end(), bytes.begin(), bytes.end());
      if (!NextSector(sector, sector)) return false;
    }
    return !directory_.empty();
  }

  // The root's children: a tree of siblings below the root entry's child.
  std::vector<Text> RootStreams() const {
    std::vector<Text> names;
    const std::size_t count = directory_.size() / kEntryBytes;
    if (count == 0 || Entry(0)[66] != kRootObject) return names;
    std::vector<std::uint32_t> pending = {Le32(Entry(0), 76)};
    std::vector<bool> seen(count, false);
    while (!pending.empty()) {
      const std::uint32_t id = pending.back();
      pending.pop_back();
      if (id >= count || seen[id]) continue;  // also ends cycles of a damaged tree
      seen[id] = true;
      const std::span<const std::uint8_t> entry = Entry(id);
      if (entry[66] == kStreamObject) names.push_back(NameOf(entry));
      pending.push_back(Le32(entry, 68));
      pending.push_back(Le32(entry, 72));
    }
    return names;
  }

  static Text NameOf(std::span<const std::uint8_t> entry) {
    const std::size_t bytes = std::min<std::size_t>(Le16(entry, 64), kLongestNameBytes);
    Text name;
    for (std::size_t at = 0; at + 1 < bytes; at += 2) {
      const auto unit = static_cast<char16_t>(Le16(entry, at));
      if (unit == 0) break;
      name.push_back(unit);
    }
    return name;
  }

 private:
  std::span<const std::uint8_t> Sector(std::uint32_t id) const {
    // Sector 0 follows the header, which takes a whole sector of its own.
    if (id >= sector_count_) return {};
    const std::size_t at = (std::size_t{id} + 1) * sector_bytes_;
    if (!FitsIn(file_.size(), at, sector_bytes_)) return {};
    return file_.subspan(at, sector_bytes_);
  }

  bool NextSector(std::uint32_t sector, std::uint32_t& next) const {
    const std::size_t per_sector = sector_bytes_ / 4;
    const std::size_t fat_index = sector / per_sector;
    if (fat_index >= fat_sectors_.size()) return false;
    const std::span<const std::uint8_t> fat = Sector(fat_sectors_[fat_index]);
    if (fat.empty()) return false;
    next = Le32(fat, 4 * (sector % per_sector));
    return true;
  }

  std::span<const std::uint8_t> Entry(std::size_t id) const {
    return std::span<const std::uint8_t>(directory_).subspan(id * kEntryBytes, kEntryBytes);
  }

  std::span<const std::uint8_t> file_;
  std::size_t sector_bytes_ = 512;
  std::size_t sector_count_ = 0;  // whole sectors in the file, the header's included
  std::vector<std::uint32_t> fat_sectors_;
  std::vector<std::uint8_t> directory_;
};

}  // namespace

std::optional<std::vector<Text>> RootStreamNames(std::span<const std::uint8_t> file) {
  try {
    CompoundFile compound(file);
    if (!compound.ReadHeader() || !compound.ReadFatSectors() || !compound.ReadDirectory()) {
      return std::nullopt;
    }
    return compound.RootStreams();
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::vector<Text> ScanStreamNames(std::span<const std::uint8_t> file) {
  std::vector<Text> names;
  for (std::size_t at = kHeaderBytes; at + kEntryBytes <= file.size(); at += kEntryBytes) {
    const std::span<const std::uint8_t> entry = file.subspan(at, kEntryBytes);
    const std::uint16_t name_bytes = Le16(entry, 64);
    const bool plausible = entry[66] == kStreamObject && name_bytes >= 4 &&
                           name_bytes <= kLongestNameBytes && name_bytes % 2 == 0 &&
                           Le16(entry, name_bytes - 2) == 0;
    if (plausible) names.push_back(CompoundFile::NameOf(entry));
  }
  return names;
}

}  // namespace drumlo
