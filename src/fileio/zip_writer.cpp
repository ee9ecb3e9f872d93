#include "fileio/zip_writer.h"

#include <zlib.h>

#include <climits>
#include <stdexcept>

namespace drumlo {
namespace {

constexpr std::uint32_t kSaturated32 = 0xFFFFFFFF;
constexpr std::uint16_t kUtf8Names = 0x0800;
constexpr std::uint16_t kDosDate = (2026 - 1980) << 9 | 1 << 5 | 1;  // 2026-01-01
constexpr std::uint16_t kDosTime = 0;

void Put16(std::string& out, std::uint64_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint64_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}
void Put64(std::string& out, std::uint64_t value) {
  Put32(out, value & 0xFFFFFFFF);
  Put32(out, value >> 32);
}
void Patch32(std::string& out, std::uint64_t at, std::uint64_t value) {
  std::string bytes;
  Put32(bytes, value);
  out.replace(static_cast<std::size_t>(at), 4, bytes);
}

std::uint16_t MethodCode(ZipWriter::Method method) {
  return method == ZipWriter::Method::kDeflated ? 8 : 0;
}

}  // namespace

// Raw deflate of one entry, appended to the archive as it comes.
class ZipWriter::Deflater {
 public:
  explicit Deflater(bool compress) : compress_(compress) {
    if (compress_ && deflateInit2(&zlib_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                                  Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::runtime_error("deflateInit2 failed");
    }
  }
  ~Deflater() {
    if (compress_) deflateEnd(&zlib_);
  }

  void Write(std::string_view bytes, std::string& out, Entry& entry) {
    entry.crc = static_cast<std::uint32_t>(
        crc32_z(entry.crc, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    entry.size += bytes.size();
    if (!compress_) {
      out.append(bytes);
      return;
    }
    Run(bytes, Z_NO_FLUSH, out);
  }

  void Finish(std::string& out) {
    if (compress_) Run({}, Z_FINISH, out);
  }

 private:
  void Run(std::string_view bytes, int flush, std::string& out) {
    zlib_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    std::size_t left = bytes.size();
    char buffer[1 << 16];
    int code = Z_OK;
    do {
      const auto offered = static_cast<uInt>(std::min<std::size_t>(left, UINT_MAX));
      zlib_.avail_in = offered;
      zlib_.next_out = reinterpret_cast<Bytef*>(buffer);
      zlib_.avail_out = sizeof buffer;
      code = deflate(&zlib_, left > offered ? Z_NO_FLUSH : flush);
      left -= offered - zlib_.avail_in;
      out.append(buffer, sizeof buffer - zlib_.avail_out);
    } while (left > 0 || zlib_.avail_out == 0 || (flush == Z_FINISH && code != Z_STREAM_END));
  }

  bool compress_;
  z_stream zlib_{};
};

ZipWriter::ZipWriter(bool zip64) : zip64_(zip64) {}
ZipWriter::~ZipWriter() = default;

void ZipWriter::Add(std::string_view name, std::string_view content, Method method) {
  Begin(name, method);
  Write(content);
  End();
}

void ZipWriter::Begin(std::string_view name, Method method) {
  Entry entry;
  entry.name = name;
  entry.header = out_.size();
  entry.method = method;
  Put32(out_, 0x04034B50);
  Put16(out_, zip64_ ? 45 : 20);
  Put16(out_, kUtf8Names);
  Put16(out_, MethodCode(method));
  Put16(out_, kDosTime);
  Put16(out_, kDosDate);
  Put32(out_, 0);  // checksum and sizes: patched by End
  Put32(out_, zip64_ ? kSaturated32 : 0);
  Put32(out_, zip64_ ? kSaturated32 : 0);
  Put16(out_, name.size());
  Put16(out_, zip64_ ? 20 : 0);
  out_.append(name);
  if (zip64_) {
    Put16(out_, 0x0001);
    Put16(out_, 16);
    Put64(out_, 0);
    Put64(out_, 0);
  }
  entries_.push_back(std::move(entry));
  deflater_ = std::make_unique<Deflater>(method == Method::kDeflated);
}

void ZipWriter::Write(std::string_view bytes) {
  deflater_->Write(bytes, out_, entries_.back());
}

void ZipWriter::End() {
  Entry& entry = entries_.back();
  deflater_->Finish(out_);
  deflater_.reset();
  const std::uint64_t data = entry.header + 30 + entry.name.size() + (zip64_ ? 20 : 0);
  entry.compressed_size = out_.size() - data;
  PatchLocalHeader(entry);
}

void ZipWriter::PatchLocalHeader(const Entry& entry) {
  Patch32(out_, entry.header + 14, entry.crc);
  if (!zip64_) {
    Patch32(out_, entry.header + 18, entry.compressed_size);
    Patch32(out_, entry.header + 22, entry.size);
    return;
  }
  std::string sizes;
  Put64(sizes, entry.size);
  Put64(sizes, entry.compressed_size);
  out_.replace(static_cast<std::size_t>(entry.header + 30 + entry.name.size() + 4), 16, sizes);
}

void ZipWriter::WriteDirectoryRecord(const Entry& entry) {
  Put32(out_, 0x02014B50);
  Put16(out_, zip64_ ? 45 : 20);
  Put16(out_, zip64_ ? 45 : 20);
  Put16(out_, kUtf8Names);
  Put16(out_, MethodCode(entry.method));
  Put16(out_, kDosTime);
  Put16(out_, kDosDate);
  Put32(out_, entry.crc);
  Put32(out_, zip64_ ? kSaturated32 : entry.compressed_size);
  Put32(out_, zip64_ ? kSaturated32 : entry.size);
  Put16(out_, entry.name.size());
  Put16(out_, zip64_ ? 28 : 0);
  Put16(out_, 0);  // comment
  Put16(out_, 0);  // disk
  Put16(out_, 0);  // internal attributes
  Put32(out_, 0);  // external attributes
  Put32(out_, zip64_ ? kSaturated32 : entry.header);
  out_.append(entry.name);
  if (zip64_) {
    Put16(out_, 0x0001);
    Put16(out_, 24);
    Put64(out_, entry.size);
    Put64(out_, entry.compressed_size);
    Put64(out_, entry.header);
  }
}

std::string ZipWriter::Finish() {
  const std::uint64_t directory = out_.size();
  for (const Entry& entry : entries_)
    WriteDirectoryRecord(entry);
  const std::uint64_t directory_size = out_.size() - directory;
  if (zip64_) {
    const std::uint64_t record = out_.size();
    Put32(out_, 0x06064B50);
    Put64(out_, 44);  // the record's size after this field
    Put16(out_, 45);
    Put16(out_, 45);
    Put32(out_, 0);
    Put32(out_, 0);
    Put64(out_, entries_.size());
    Put64(out_, entries_.size());
    Put64(out_, directory_size);
    Put64(out_, directory);
    Put32(out_, 0x07064B50);
    Put32(out_, 0);
    Put64(out_, record);
    Put32(out_, 1);
  }
  Put32(out_, 0x06054B50);
  Put16(out_, 0);
  Put16(out_, 0);
  Put16(out_, zip64_ ? 0xFFFF : entries_.size());
  Put16(out_, zip64_ ? 0xFFFF : entries_.size());
  Put32(out_, zip64_ ? kSaturated32 : directory_size);
  Put32(out_, zip64_ ? kSaturated32 : directory);
  Put16(out_, 0);
  entries_.clear();
  return std::move(out_);
}

}  // namespace drumlo
