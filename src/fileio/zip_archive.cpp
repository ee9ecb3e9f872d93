#include "fileio/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

#include "fileio/byte_fields.h"

namespace drumlo {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kDirectorySignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kDirectoryRecordBytes = 46;
constexpr std::size_t kEndBytes = 22;
constexpr std::size_t kZip64EndBytes = 56;
constexpr std::size_t kZip64LocatorBytes = 20;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kAesMethod = 99;
constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint16_t kStrongEncryptionFlag = 0x0040;
constexpr std::uint32_t kSaturated32 = 0xFFFFFFFF;
constexpr std::uint16_t kSaturated16 = 0xFFFF;

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
  return lower;
}

// Where the directory lies, as the end records give it.
struct DirectoryPlace {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t count = 0;
  std::uint64_t ends_before = 0;  // the first end record; the directory must end before it
};

// The last end-of-directory record whose comment ends within the file; npos when none.
std::size_t FindEndRecord(std::span<const std::uint8_t> file) {
  if (file.size() < kEndBytes) return std::string::npos;
  const std::size_t last = file.size() - kEndBytes;
  const std::size_t first = last > kLongestComment ? last - kLongestComment : 0;
  for (std::size_t at = last + 1; at-- > first;) {
    if (Le32(file, at) == kEndSignature && Le16(file, at + 20) <= file.size() - at - kEndBytes) {
      return at;
    }
  }
  return std::string::npos;
}

// Replaces the fields of the end record with those of the zip64 end record where there is one.
ArchiveStatus ReadZip64End(std::span<const std::uint8_t> file, std::size_t end_at, bool saturated,
                           DirectoryPlace& place) {
  const bool has_locator = end_at >= kZip64LocatorBytes &&
                           Le32(file, end_at - kZip64LocatorBytes) == kZip64LocatorSignature;
  if (!has_locator) return saturated ? ArchiveStatus::kCorruptDirectory : ArchiveStatus::kOk;
  const std::uint64_t record = Le64(file, end_at - kZip64LocatorBytes + 8);
  if (!FitsIn(end_at - kZip64LocatorBytes, record, kZip64EndBytes) ||
      Le32(file, static_cast<std::size_t>(record)) != kZip64EndSignature) {
    return ArchiveStatus::kCorruptDirectory;
  }
  const auto at = static_cast<std::size_t>(record);
  place.count = Le64(file, at + 32);
  place.size = Le64(file, at + 40);
  place.offset = Le64(file, at + 48);
  place.ends_before = record;
  return ArchiveStatus::kOk;
}

// Fills the saturated fields of a directory record from its zip64 extra field.
bool ApplyZip64Extra(std::span<const std::uint8_t> extra, ZipEntry& entry, bool size_saturated,
                     bool compressed_saturated, bool offset_saturated) {
  if (!size_saturated && !compressed_saturated && !offset_saturated) return true;
  for (std::size_t at = 0; at + 4 <= extra.size();) {
    const std::uint16_t id = Le16(extra, at);
    const std::uint16_t length = Le16(extra, at + 2);
    if (length > extra.size() - at - 4) return false;
    if (id == kZip64ExtraId) {
      const std::span<const std::uint8_t> field = extra.subspan(at + 4, length);
      std::size_t next = 0;
      const auto take = [&](std::uint64_t& value) {
        if (next + 8 > field.size()) return false;
        value = Le64(field, next);
        next += 8;
        return true;
      };
      return (!size_saturated || take(entry.size)) &&
             (!compressed_saturated || take(entry.compressed_size)) &&
             (!offset_saturated || take(entry.local_header));
    }
    at += 4 + length;
  }
  return false;
}

}  // namespace

std::string_view ArchiveStatusName(ArchiveStatus status) {
  switch (status) {
    case ArchiveStatus::kOk:
      return "ok";
    case ArchiveStatus::kNotArchive:
      return "not-an-archive";
    case ArchiveStatus::kTruncated:
      return "truncated-archive";
    case ArchiveStatus::kCorruptDirectory:
      return "corrupt-directory";
    case ArchiveStatus::kCorruptEntry:
      return "corrupt-entry";
    case ArchiveStatus::kEncryptedEntry:
      return "encrypted-entry";
    case ArchiveStatus::kUnsupportedMethod:
      return "unsupported-compression";
    case ArchiveStatus::kTooLarge:
      return "too-large";
    case ArchiveStatus::kMissingEntry:
      return "missing-entry";
    case ArchiveStatus::kNotEnoughMemory:
      return "not-enough-memory";
  }
  return "unknown";
}

// ---------------------------------------------------------------------------------------------
// One entry's data and the checks of what it gives.

class ZipEntryStream::Impl {
 public:
  Impl(std::span<const std::uint8_t> data, const ZipEntry& entry)
      : data_(data),
        expected_size_(entry.size),
        expected_crc_(entry.crc),
        deflated_(entry.method == kDeflated) {}

  ~Impl() {
    if (zlib_ready_) inflateEnd(&zlib_);
  }

  ArchiveStatus Start() {
    if (!deflated_) {
      return data_.size() == expected_size_ ? ArchiveStatus::kOk : ArchiveStatus::kCorruptEntry;
    }
    zlib_ = z_stream{};
    const int code = inflateInit2(&zlib_, -MAX_WBITS);  // raw deflate, no zlib header
    if (code != Z_OK)
      return code == Z_MEM_ERROR ? ArchiveStatus::kNotEnoughMemory : ArchiveStatus::kCorruptEntry;
    zlib_ready_ = true;
    return ArchiveStatus::kOk;
  }

  ArchiveStatus Read(std::span<std::uint8_t> into, std::size_t& got) {
    got = 0;
    if (status_ != ArchiveStatus::kOk || ended_) return status_;
    const std::uint64_t remaining = expected_size_ - produced_;
    if (remaining == 0) return Conclude();
    if (into.empty()) return status_;
    return deflated_ ? Inflate(into, remaining, got) : Copy(into, remaining, got);
  }

  std::uint64_t Produced() const { return produced_; }
  bool AtEnd() const { return ended_; }

 private:
  ArchiveStatus Copy(std::span<std::uint8_t> into, std::uint64_t remaining, std::size_t& got) {
    got = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), remaining));
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(produced_), got, into.begin());
    Count(into.first(got));
    return status_;
  }

  // Never asks zlib for more than one byte beyond the announced size, so an entry that would
  // inflate far larger costs no more than that byte.
  ArchiveStatus Inflate(std::span<std::uint8_t> into, std::uint64_t remaining, std::size_t& got) {
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>({into.size(), remaining + 1, std::uint64_t{UINT_MAX}}));
    while (got == 0 && status_ == ArchiveStatus::kOk && !stream_end_) {
      const std::size_t made = InflateStep(into.first(room));
      got = made;
      if (produced_ + made > expected_size_) return Fail(ArchiveStatus::kCorruptEntry);
      Count(into.first(made));
    }
    if (stream_end_ && produced_ != expected_size_) return Fail(ArchiveStatus::kCorruptEntry);
    return status_;
  }

  // One call of inflate; the bytes it made.
  std::size_t InflateStep(std::span<std::uint8_t> out) {
    const auto offered =
        static_cast<uInt>(std::min<std::size_t>(data_.size() - consumed_, UINT_MAX));
    zlib_.next_in = const_cast<Bytef*>(data_.data() + consumed_);  // zlib does not write it
    zlib_.avail_in = offered;
    zlib_.next_out = out.data();
    zlib_.avail_out = static_cast<uInt>(out.size());
    const int code = inflate(&zlib_, Z_NO_FLUSH);
    const std::size_t used = offered - zlib_.avail_in;
    consumed_ += used;
    const std::size_t made = out.size() - zlib_.avail_out;
    if (code == Z_STREAM_END) {
      stream_end_ = true;
    } else if (code == Z_MEM_ERROR) {
      Fail(ArchiveStatus::kNotEnoughMemory);
    } else if (code != Z_OK && code != Z_BUF_ERROR) {
      Fail(ArchiveStatus::kCorruptEntry);
    } else if (made == 0 && used == 0) {
      Fail(ArchiveStatus::kCorruptEntry);  // the compressed data ends before the stream does
    }
    return made;
  }

  // All announced bytes are out: the stream must end here and the checksum must match.
  ArchiveStatus Conclude() {
    std::uint8_t extra = 0;
    while (deflated_ && !stream_end_ && status_ == ArchiveStatus::kOk) {
      if (InflateStep(std::span(&extra, 1)) != 0) return Fail(ArchiveStatus::kCorruptEntry);
    }
    if (status_ != ArchiveStatus::kOk) return status_;
    if (crc_ != expected_crc_) return Fail(ArchiveStatus::kCorruptEntry);
    ended_ = true;
    return status_;
  }

  void Count(std::span<const std::uint8_t> made) {
    if (made.empty()) return;
    crc_ = static_cast<std::uint32_t>(crc32(crc_, made.data(), static_cast<uInt>(made.size())));
    produced_ += made.size();
  }

  ArchiveStatus Fail(ArchiveStatus status) {
    status_ = status;
    return status_;
  }

  std::span<const std::uint8_t> data_;
  std::uint64_t expected_size_;
  std::uint32_t expected_crc_;
  bool deflated_;
  z_stream zlib_{};
  bool zlib_ready_ = false;
  std::size_t consumed_ = 0;
  std::uint64_t produced_ = 0;
  std::uint32_t crc_ = 0;
  bool stream_end_ = false;
  bool ended_ = false;
  ArchiveStatus status_ = ArchiveStatus::kOk;
};

ZipEntryStream::ZipEntryStream() = default;
ZipEntryStream::ZipEntryStream(ZipEntryStream&&) noexcept = default;
ZipEntryStream& ZipEntryStream::operator=(ZipEntryStream&&) noexcept = default;
ZipEntryStream::~ZipEntryStream() = default;

ArchiveStatus ZipEntryStream::Read(std::span<std::uint8_t> into, std::size_t& got) {
  got = 0;
  if (impl_ == nullptr) return ArchiveStatus::kMissingEntry;
  return impl_->Read(into, got);
}

std::uint64_t ZipEntryStream::Produced() const {
  return impl_ == nullptr ? 0 : impl_->Produced();
}

bool ZipEntryStream::AtEnd() const {
  return impl_ != nullptr && impl_->AtEnd();
}

// ---------------------------------------------------------------------------------------------
// The directory.

ArchiveStatus ZipArchive::Open(std::span<const std::uint8_t> file) {
  file_ = file;
  entries_.clear();
  index_.clear();
  const std::size_t end_at = FindEndRecord(file);
  if (end_at == std::string::npos) {
    const bool zip_start = file.size() >= 4 && Le32(file, 0) == kLocalHeaderSignature;
    return zip_start ? ArchiveStatus::kTruncated : ArchiveStatus::kNotArchive;
  }
  DirectoryPlace place;
  place.count = Le16(file, end_at + 10);
  place.size = Le32(file, end_at + 12);
  place.offset = Le32(file, end_at + 16);
  place.ends_before = end_at;
  const bool saturated =
      place.count == kSaturated16 || place.size == kSaturated32 || place.offset == kSaturated32;
  if (const ArchiveStatus status = ReadZip64End(file, end_at, saturated, place);
      status != ArchiveStatus::kOk) {
    return status;
  }
  if (!FitsIn(place.ends_before, place.offset, place.size)) {
    return ArchiveStatus::kCorruptDirectory;
  }
  if (place.count > place.size / kDirectoryRecordBytes) return ArchiveStatus::kCorruptDirectory;
  return ReadDirectory(place.offset, place.size, place.count);
}

ArchiveStatus ZipArchive::ReadDirectory(std::uint64_t offset, std::uint64_t size,
                                        std::uint64_t count) {
  const std::span<const std::uint8_t> directory =
      file_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
  try {
    entries_.reserve(static_cast<std::size_t>(count));
    std::size_t at = 0;
    for (std::uint64_t k = 0; k < count; ++k) {
      if (!FitsIn(directory.size(), at, kDirectoryRecordBytes) ||
          Le32(directory, at) != kDirectorySignature) {
        return ArchiveStatus::kCorruptDirectory;
      }
      const std::size_t name_length = Le16(directory, at + 28);
      const std::size_t extra_length = Le16(directory, at + 30);
      const std::size_t comment_length = Le16(directory, at + 32);
      const std::size_t record =
          kDirectoryRecordBytes + name_length + extra_length + comment_length;
      if (!FitsIn(directory.size(), at, record)) return ArchiveStatus::kCorruptDirectory;
      ZipEntry entry;
      entry.flags = Le16(directory, at + 8);
      entry.method = Le16(directory, at + 10);
      entry.crc = Le32(directory, at + 16);
      entry.compressed_size = Le32(directory, at + 20);
      entry.size = Le32(directory, at + 24);
      entry.local_header = Le32(directory, at + 42);
      const auto* name =
          reinterpret_cast<const char*>(directory.data() + at + kDirectoryRecordBytes);
      entry.name.assign(name, name_length);
      const std::span<const std::uint8_t> extra =
          directory.subspan(at + kDirectoryRecordBytes + name_length, extra_length);
      if (!ApplyZip64Extra(extra, entry, entry.size == kSaturated32,
                           entry.compressed_size == kSaturated32,
                           entry.local_header == kSaturated32)) {
        return ArchiveStatus::kCorruptDirectory;
      }
      entries_.push_back(std::move(entry));
      at += record;
    }
    index_.reserve(entries_.size());
    for (std::size_t k = 0; k < entries_.size(); ++k)
      index_.emplace_back(LowerAscii(entries_[k].name), k);
    std::stable_sort(index_.begin(), index_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  } catch (const std::bad_alloc&) {
    entries_.clear();
    index_.clear();
    return ArchiveStatus::kNotEnoughMemory;
  }
  return ArchiveStatus::kOk;
}

const ZipEntry* ZipArchive::Find(std::string_view name) const {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  const std::string lower = LowerAscii(name);
  const auto range =
      std::equal_range(index_.begin(), index_.end(), std::pair<std::string, std::size_t>(lower, 0),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
  if (range.first == range.second) return nullptr;
  for (auto it = range.first; it != range.second; ++it) {
    if (entries_[it->second].name == name) return &entries_[it->second];
  }
  return &entries_[range.first->second];  // the first of the names that differ in case only
}

ArchiveStatus ZipArchive::OpenEntry(const ZipEntry& entry, std::uint64_t limit,
                                    ZipEntryStream& stream) const {
  stream.impl_.reset();
  const bool encrypted =
      (entry.flags & (kEncryptedFlag | kStrongEncryptionFlag)) != 0 || entry.method == kAesMethod;
  if (encrypted) return ArchiveStatus::kEncryptedEntry;
  if (entry.method != kStored && entry.method != kDeflated) {
    return ArchiveStatus::kUnsupportedMethod;
  }
  if (entry.size > limit) return ArchiveStatus::kTooLarge;
  if (!FitsIn(file_.size(), entry.local_header, kLocalHeaderBytes) ||
      Le32(file_, static_cast<std::size_t>(entry.local_header)) != kLocalHeaderSignature) {
    return ArchiveStatus::kCorruptDirectory;
  }
  const auto header = static_cast<std::size_t>(entry.local_header);
  if ((Le16(file_, header + 6) & kEncryptedFlag) != 0) return ArchiveStatus::kEncryptedEntry;
  const std::uint64_t data =
      entry.local_header + kLocalHeaderBytes + Le16(file_, header + 26) + Le16(file_, header + 28);
  if (!FitsIn(file_.size(), data, entry.compressed_size)) return ArchiveStatus::kTruncated;
  try {
    auto impl = std::make_unique<ZipEntryStream::Impl>(
        file_.subspan(static_cast<std::size_t>(data),
                      static_cast<std::size_t>(entry.compressed_size)),
        entry);
    const ArchiveStatus status = impl->Start();
    if (status != ArchiveStatus::kOk) return status;
    stream.impl_ = std::move(impl);
  } catch (const std::bad_alloc&) {
    return ArchiveStatus::kNotEnoughMemory;
  }
  return ArchiveStatus::kOk;
}

ArchiveStatus ZipArchive::ReadEntry(const ZipEntry& entry, std::uint64_t limit,
                                    std::string& out) const {
  ZipEntryStream stream;
  if (const ArchiveStatus status = OpenEntry(entry, limit, stream); status != ArchiveStatus::kOk) {
    return status;
  }
  try {
    out.assign(static_cast<std::size_t>(entry.size), '\0');
  } catch (const std::bad_alloc&) {
    return ArchiveStatus::kNotEnoughMemory;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(out.data());
  std::size_t filled = 0;
  std::uint8_t probe = 0;
  for (;;) {
    const std::span<std::uint8_t> room =
        filled < out.size() ? std::span(bytes + filled, out.size() - filled) : std::span(&probe, 1);
    std::size_t got = 0;
    const ArchiveStatus status = stream.Read(room, got);
    if (status != ArchiveStatus::kOk) return status;
    if (got == 0) return filled == out.size() ? ArchiveStatus::kOk : ArchiveStatus::kCorruptEntry;
    filled += got;
  }
}

}  // namespace drumlo
