// Reading a whole .xlsx archive held in a string into a short printable form, for tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "fileio/utf8.h"
#include "workbook/xlsx_reader.h"

namespace drumlo {

inline void PrintTo(XlsxStatus status, std::ostream* os) {
  *os << XlsxStatusName(status);
}

struct ReadResult {
  XlsxStatus status = XlsxStatus::kOk;
  std::string failed_part;
  std::vector<Text> sheets;
  // "sheet/row:column=value column=value" for each row, joined by "; ".
  std::string rows;
};

inline ReadResult ReadXlsx(const std::string& archive) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(archive.data()),
                                            archive.size());
  XlsxReader reader(bytes);
  ReadResult result;
  result.status = reader.Open();
  if (result.status == XlsxStatus::kOk) {
    result.sheets = reader.SheetNames();
    SheetRow row;
    while (reader.NextRow(row)) {
      if (!result.rows.empty()) result.rows += "; ";
      result.rows += std::to_string(row.sheet) + "/" + std::to_string(row.number) + ":";
      for (std::size_t k = 0; k < row.cells.size(); ++k) {
        result.rows += (k == 0 ? "" : " ") + std::to_string(row.cells[k].column) + "=" +
                       EncodeUtf8(row.cells[k].value);
      }
    }
    result.status = reader.Status();
  }
  result.failed_part = reader.FailedPart();
  return result;
}

}  // namespace drumlo
