// Arbitrary bytes as a workbook file: format detection, the zip reader and the xlsx reader
// must give a status for anything, and never more bytes than an entry's directory announces.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fileio/workbook_format.h"
#include "fileio/zip_archive.h"
#include "fuzz_input.h"
#include "workbook/xlsx_reader.h"

namespace {

constexpr std::uint64_t kEntryLimit = std::uint64_t{1} << 22;
constexpr std::size_t kMostEntries = 16;
constexpr std::size_t kMostRows = 100000;

void ReadEntries(std::span<const std::uint8_t> bytes) {
  using drumlo::fuzz::Check;
  drumlo::ZipArchive zip;
  if (zip.Open(bytes) != drumlo::ArchiveStatus::kOk) return;
  std::string content;
  for (std::size_t k = 0; k < zip.Entries().size() && k < kMostEntries; ++k) {
    const drumlo::ZipEntry& entry = zip.Entries()[k];
    if (zip.ReadEntry(entry, kEntryLimit, content) == drumlo::ArchiveStatus::kOk) {
      Check(content.size() == entry.size);
    }
  }
}

void ReadRows(std::span<const std::uint8_t> bytes) {
  using drumlo::fuzz::Check;
  drumlo::XlsxReader reader(bytes);
  if (reader.Open() != drumlo::XlsxStatus::kOk) return;
  drumlo::SheetRow row;
  for (std::size_t rows = 0; rows < kMostRows && reader.NextRow(row); ++rows) {
    Check(row.number >= 1 && row.sheet < reader.SheetNames().size());
    for (const drumlo::SheetCell& cell : row.cells)
      Check(cell.column >= 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const drumlo::WorkbookFormat format = drumlo::DetectWorkbookFormat(bytes);
  drumlo::fuzz::Check(!drumlo::WorkbookFormatName(format).empty());
  ReadEntries(bytes);
  ReadRows(bytes);
  return 0;
}
