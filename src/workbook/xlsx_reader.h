// Reads the rows of an .xlsx or .xlsm workbook held in memory, sheet by sheet in workbook order,
// with each cell's value in the form the same table saved as an XML Spreadsheet 2003 workbook
// holds it (see cell_text.h). Only the parts that hold rows are inflated: the workbook, its
// relationships, the shared strings and the worksheets; styles, drawings and the rest are not.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace drumlo {

// A cell with a value. Cells without one (empty, styled only, a formula without a cached
// value) are left out.
struct SheetCell {
  std::uint32_t column = 0;  // 1-based: A is 1
  TextView value;
};

struct SheetRow {
  std::uint32_t sheet = 0;           // 0-based index into SheetNames()
  std::uint32_t number = 0;          // the spreadsheet's 1-based row number
  std::span<const SheetCell> cells;  // in the order the sheet lists them
};

enum class XlsxStatus : std::uint8_t {
  kOk,
  kNotXlsx,                 // a zip archive, but no workbook part in it (or no zip at all)
  kTruncatedArchive,        // the file ends before the archive does
  kCorruptArchive,          // the archive's directory does not hold together
  kCorruptEntry,            // a part does not inflate to the size and checksum it should
  kEncryptedEntry,          // a part needs a password
  kUnsupportedCompression,  // a part compressed other than stored or deflated
  kTooLarge,                // the parts to read come to more than 2 GiB
  kMissingPart,             // the workbook names a part the archive does not hold
  kMalformedPart,           // a part's XML cannot be read as a workbook part
  kNotEnoughMemory,
};

// A short fixed name for messages and reports ("truncated-archive", "malformed-part", ...).
[[nodiscard]] std::string_view XlsxStatusName(XlsxStatus status);

// The most that the parts read may inflate to, together: the largest workbook the tool reads.
inline constexpr std::uint64_t kXlsxInflateLimit = 2147483647;

class XlsxReader {
 public:
  // `file` is the whole .xlsx file; it must stay as it is while the reader is used.
  explicit XlsxReader(std::span<const std::uint8_t> file);
  XlsxReader(const XlsxReader&) = delete;
  XlsxReader& operator=(const XlsxReader&) = delete;
  ~XlsxReader();

  // Reads the archive's directory, the list of sheets and the shared strings. Call once,
  // before anything else.
  [[nodiscard]] XlsxStatus Open();
  // Every sheet in workbook order, chart sheets and hidden sheets included.
  [[nodiscard]] const std::vector<Text>& SheetNames() const;
  // The next row; false after the last row or on an error (Status() tells which). The row's
  // cells and values stay valid until the next call.
  [[nodiscard]] bool NextRow(SheetRow& row);
  [[nodiscard]] XlsxStatus Status() const;
  // The archive entry that the error was found in; empty when there is none.
  [[nodiscard]] std::string_view FailedPart() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace drumlo
