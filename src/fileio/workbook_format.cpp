#include "fileio/workbook_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "fileio/byte_fields.h"
#include "fileio/compound_file.h"
#include "fileio/file_access.h"
#include "fileio/zip_archive.h"

namespace drumlo {
namespace {

constexpr std::size_t kScanBytes = 4096;
// The small parts read to tell one archive from another.
constexpr std::uint64_t kProbePartLimit = std::uint64_t{1} << 20;

constexpr std::string_view kOdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view kBinaryWorkbookType = "ms-excel.sheet.binary.macroEnabled.main";
constexpr std::array<std::string_view, 5> kXmlWorkbookTypes = {
    "spreadsheetml.sheet.main+xml", "spreadsheetml.template.main+xml",
    "ms-excel.sheet.macroEnabled.main+xml", "ms-excel.template.macroEnabled.main+xml",
    "ms-excel.addin.macroEnabled.main+xml"};

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool ContainsIgnoringCase(std::string_view text, std::string_view word) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

// '<' or white space, with which an XML text may begin.
bool MayBeginXml(std::uint8_t byte) {
  return byte == '<' || byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

bool IsAsciiUnit(std::uint8_t byte) {
  return byte != 0 && byte < 0x80;
}

// The encoding of a text file and the length of its byte-order mark.
struct TextEncoding {
  WorkbookFormat format;
  std::size_t mark_bytes;
};

TextEncoding EncodingOf(std::span<const std::uint8_t> head) {
  if (StartsWith(head, {0xEF, 0xBB, 0xBF})) return {WorkbookFormat::kXmlUtf8, 3};
  if (StartsWith(head, {0xFF, 0xFE})) return {WorkbookFormat::kXmlUtf16Le, 2};
  if (StartsWith(head, {0xFE, 0xFF})) return {WorkbookFormat::kXmlUtf16Be, 2};
  if (head.size() >= 4) {
    if (MayBeginXml(head[0]) && head[1] == 0 && IsAsciiUnit(head[2]) && head[3] == 0) {
      return {WorkbookFormat::kXmlUtf16Le, 0};
    }
    if (head[0] == 0 && MayBeginXml(head[1]) && head[2] == 0 && IsAsciiUnit(head[3])) {
      return {WorkbookFormat::kXmlUtf16Be, 0};
    }
  }
  return {WorkbookFormat::kXmlUtf8, 0};
}

// Whether the first 4 KB of the text look like XML: no NUL, and a '<' somewhere.
bool LooksLikeXml(std::span<const std::uint8_t> text, WorkbookFormat format) {
  if (format == WorkbookFormat::kXmlUtf8) {
    const auto scan = text.first(std::min(text.size(), kScanBytes));
    return std::find(scan.begin(), scan.end(), 0) == scan.end() &&
           std::find(scan.begin(), scan.end(), '<') != scan.end();
  }
  const std::size_t units = std::min(text.size(), kScanBytes) / 2;
  const std::size_t low = format == WorkbookFormat::kXmlUtf16Le ? 0 : 1;
  bool has_open = false;
  for (std::size_t k = 0; k < units; ++k) {
    const std::uint8_t low_byte = text[2 * k + low];
    const std::uint8_t high_byte = text[2 * k + 1 - low];
    if (low_byte == 0 && high_byte == 0) return false;
    has_open = has_open || (low_byte == '<' && high_byte == 0);
  }
  return has_open;
}

// ---------------------------------------------------------------------------------------------
// Archives.

WorkbookFormat FormatFromNames(bool has_workbook_xml, bool has_workbook_bin, bool ods_mimetype) {
  if (ods_mimetype) return WorkbookFormat::kOds;
  if (has_workbook_xml) return WorkbookFormat::kXlsx;
  if (has_workbook_bin) return WorkbookFormat::kXlsb;
  return WorkbookFormat::kNotWorkbook;
}

// The content types name the workbook's main part; nothing when they name none.
std::optional<WorkbookFormat> FormatFromContentTypes(std::string_view types) {
  if (ContainsIgnoringCase(types, kBinaryWorkbookType)) return WorkbookFormat::kXlsb;
  for (std::string_view type : kXmlWorkbookTypes) {
    if (ContainsIgnoringCase(types, type)) return WorkbookFormat::kXlsx;
  }
  return std::nullopt;
}

WorkbookFormat FormatOfReadableZip(const ZipArchive& zip) {
  std::string part;
  if (const ZipEntry* mimetype = zip.Find("mimetype");
      mimetype != nullptr &&
      zip.ReadEntry(*mimetype, kProbePartLimit, part) == ArchiveStatus::kOk &&
      part.starts_with(kOdsMimeType)) {
    return WorkbookFormat::kOds;
  }
  if (const ZipEntry* types = zip.Find("[Content_Types].xml");
      types != nullptr && zip.ReadEntry(*types, kProbePartLimit, part) == ArchiveStatus::kOk) {
    if (const auto format = FormatFromContentTypes(part)) return *format;
  }
  return FormatFromNames(zip.Find("xl/workbook.xml") != nullptr,
                         zip.Find("xl/workbook.bin") != nullptr, false);
}

// An archive whose directory cannot be read (cut off, say): the local headers from the start
// still name its parts, so that a damaged workbook is read and its damage reported.
WorkbookFormat FormatFromLocalHeaders(std::span<const std::uint8_t> file) {
  constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
  constexpr std::size_t kLocalHeaderBytes = 30;
  bool workbook_xml = false;
  bool workbook_bin = false;
  bool ods = false;
  bool office_part = false;
  std::uint64_t at = 0;
  while (FitsIn(file.size(), at, kLocalHeaderBytes) &&
         Le32(file, static_cast<std::size_t>(at)) == kLocalHeaderSignature) {
    const auto header = static_cast<std::size_t>(at);
    const std::size_t name_length = Le16(file, header + 26);
    const std::size_t extra_length = Le16(file, header + 28);
    const std::uint64_t compressed = Le32(file, header + 18);
    if (!FitsIn(file.size(), at + kLocalHeaderBytes, name_length)) break;
    const std::string_view name(
        reinterpret_cast<const char*>(file.data() + header + kLocalHeaderBytes), name_length);
    const std::uint64_t data = at + kLocalHeaderBytes + name_length + extra_length;
    workbook_xml = workbook_xml || name == "xl/workbook.xml";
    workbook_bin = workbook_bin || name == "xl/workbook.bin";
    office_part = office_part || name.starts_with("xl/");
    if (name == "mimetype" && Le16(file, header + 8) == 0 &&
        FitsIn(file.size(), data, compressed)) {
      const std::string_view content(reinterpret_cast<const char*>(file.data() + data),
                                     static_cast<std::size_t>(compressed));
      ods = content.starts_with(kOdsMimeType);
    }
    const bool sizes_follow_data = (Le16(file, header + 6) & 0x0008) != 0;
    if (sizes_follow_data) break;  // the next header cannot be found without inflating
    at = data + compressed;
  }
  const WorkbookFormat format = FormatFromNames(workbook_xml, workbook_bin, ods);
  if (format == WorkbookFormat::kNotWorkbook && office_part) return WorkbookFormat::kXlsx;
  return format;
}

WorkbookFormat ZipFormat(std::span<const std::uint8_t> file) {
  ZipArchive zip;
  if (zip.Open(file) != ArchiveStatus::kOk) return FormatFromLocalHeaders(file);
  return FormatOfReadableZip(zip);
}

bool EqualsIgnoringCase(TextView a, std::u16string_view b) {
  const auto lower = [](char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

WorkbookFormat CompoundFormat(std::span<const std::uint8_t> file) {
  const std::optional<std::vector<Text>> root = RootStreamNames(file);
  const std::vector<Text> names = root ? *root : ScanStreamNames(file);
  const auto holds = [&](std::u16string_view wanted) {
    return std::any_of(names.begin(), names.end(),
                       [&](const Text& name) { return EqualsIgnoringCase(name, wanted); });
  };
  if (holds(u"EncryptedPackage")) return WorkbookFormat::kEncrypted;
  if (holds(u"Workbook") || holds(u"Book")) return WorkbookFormat::kXls;
  return WorkbookFormat::kNotWorkbook;
}

}  // namespace

std::string_view WorkbookFormatName(WorkbookFormat format) {
  switch (format) {
    case WorkbookFormat::kXmlUtf8:
      return "xml-utf8";
    case WorkbookFormat::kXmlUtf16Le:
      return "xml-utf16le";
    case WorkbookFormat::kXmlUtf16Be:
      return "xml-utf16be";
    case WorkbookFormat::kXlsx:
      return "xlsx";
    case WorkbookFormat::kOds:
      return "ods";
    case WorkbookFormat::kXlsb:
      return "xlsb";
    case WorkbookFormat::kXls:
      return "xls";
    case WorkbookFormat::kEncrypted:
      return "encrypted";
    case WorkbookFormat::kNotWorkbook:
      return "not-a-workbook";
  }
  return "not-a-workbook";
}

bool IsXmlText(WorkbookFormat format) {
  return format == WorkbookFormat::kXmlUtf8 || format == WorkbookFormat::kXmlUtf16Le ||
         format == WorkbookFormat::kXmlUtf16Be;
}

FileSignature SignatureOf(std::span<const std::uint8_t> head) {
  // A local header, an empty archive's end record, or a spanned archive's marker.
  if (StartsWith(head, {'P', 'K', 3, 4}) || StartsWith(head, {'P', 'K', 5, 6}) ||
      StartsWith(head, {'P', 'K', 7, 8})) {
    return FileSignature::kZip;
  }
  if (head.size() >= sizeof kCompoundFileSignature &&
      std::memcmp(head.data(), kCompoundFileSignature, sizeof kCompoundFileSignature) == 0) {
    return FileSignature::kCompoundFile;
  }
  return FileSignature::kText;
}

WorkbookFormat TextFormatOf(std::span<const std::uint8_t> head) {
  const TextEncoding encoding = EncodingOf(head);
  const std::span<const std::uint8_t> text = head.subspan(encoding.mark_bytes);
  if (text.empty()) return encoding.format;  // nothing but a mark: an empty workbook
  return LooksLikeXml(text, encoding.format) ? encoding.format : WorkbookFormat::kNotWorkbook;
}

WorkbookFormat DetectWorkbookFormat(std::span<const std::uint8_t> file) {
  switch (SignatureOf(file)) {
    case FileSignature::kZip:
      return ZipFormat(file);
    case FileSignature::kCompoundFile:
      return CompoundFormat(file);
    case FileSignature::kText:
      break;
  }
  return TextFormatOf(file.first(std::min(file.size(), kTextProbeBytes)));
}

// ---------------------------------------------------------------------------------------------
// Decoding.

namespace {

std::variant<Utf8PieceDecoder, Utf16PieceDecoder> DecoderFor(WorkbookFormat format) {
  if (format == WorkbookFormat::kXmlUtf16Le) return Utf16PieceDecoder(ByteOrder::kLittle);
  if (format == WorkbookFormat::kXmlUtf16Be) return Utf16PieceDecoder(ByteOrder::kBig);
  return Utf8PieceDecoder();
}

}  // namespace

WorkbookTextDecoder::WorkbookTextDecoder(WorkbookFormat format) : decoder_(DecoderFor(format)) {}

void WorkbookTextDecoder::Add(std::span<const std::uint8_t> piece, Text& out) {
  std::visit([&](auto& decoder) { decoder.Add(piece, out); }, decoder_);
}

void WorkbookTextDecoder::Finish(Text& out) {
  std::visit([&](auto& decoder) { decoder.Finish(out); }, decoder_);
}

Text WorkbookText(WorkbookFormat format, std::span<const std::uint8_t> bytes) {
  switch (format) {
    case WorkbookFormat::kXmlUtf16Le:
      return Utf16ToText(bytes, ByteOrder::kLittle);
    case WorkbookFormat::kXmlUtf16Be:
      return Utf16ToText(bytes, ByteOrder::kBig);
    default:
      return Utf8ToText(bytes);
  }
}

}  // namespace drumlo
