// Telling a workbook's format from its bytes, never from its name, and decoding the text of
// the XML formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "fileio/utf16.h"
#include "fileio/utf8.h"

namespace drumlo {

enum class WorkbookFormat : std::uint8_t {
  kXmlUtf8,     // XML text, UTF-8 with or without a byte-order mark; also a file of 0 bytes
  kXmlUtf16Le,  // XML text, UTF-16 little endian, with or without a byte-order mark
  kXmlUtf16Be,  // XML text, UTF-16 big endian
  kXlsx,        // a zip holding an Office Open XML workbook (.xlsx, .xlsm, templates)
  kOds,         // a zip holding an OpenDocument spreadsheet
  kXlsb,        // a zip holding a binary Office Open XML workbook
  kXls,         // a compound file holding a Workbook or Book stream
  kEncrypted,   // a compound file holding an EncryptedPackage: a password-protected workbook
  kNotWorkbook,
};

// "xml-utf8", "xml-utf16le", "xml-utf16be", "xlsx", "ods", "xlsb", "xls", "encrypted",
// "not-a-workbook".
[[nodiscard]] std::string_view WorkbookFormatName(WorkbookFormat format);
[[nodiscard]] bool IsXmlText(WorkbookFormat format);

// What the first bytes of a file say.
enum class FileSignature : std::uint8_t { kText, kZip, kCompoundFile };

// The text formats are told from this many first bytes (4 KB after a byte-order mark).
inline constexpr std::size_t kTextProbeBytes = 3 + 4096;

[[nodiscard]] FileSignature SignatureOf(std::span<const std::uint8_t> head);
// For a file with the text signature: its XML encoding, or kNotWorkbook when its first 4 KB
// after the byte-order mark hold a NUL (a NUL unit for UTF-16) or no "<". `head` is the
// file's first kTextProbeBytes bytes, or the whole file when it is shorter.
[[nodiscard]] WorkbookFormat TextFormatOf(std::span<const std::uint8_t> head);
// The format of a whole file. Only the directory and a few small parts of an archive are read.
[[nodiscard]] WorkbookFormat DetectWorkbookFormat(std::span<const std::uint8_t> file);

// Decodes the text of an XML workbook piece by piece with the decoder its format needs.
class WorkbookTextDecoder {
 public:
  // `format` must be one of the XML formats. The text goes onto the end of `out`.
  explicit WorkbookTextDecoder(WorkbookFormat format);
  void Add(std::span<const std::uint8_t> piece, Text& out);
  // Decodes what is still held back; call once after the last piece.
  void Finish(Text& out);

 private:
  std::variant<Utf8PieceDecoder, Utf16PieceDecoder> decoder_;
};

// The whole text of an XML workbook in its format, one leading byte-order mark removed.
[[nodiscard]] Text WorkbookText(WorkbookFormat format, std::span<const std::uint8_t> bytes);

}  // namespace drumlo
