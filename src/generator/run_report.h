// What a run met, for the report of the command-line tool, and the record of its list files.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "generator/run_host.h"

namespace drumlo {

// Rows are 1-based among the document's Row elements (the header is row 1); columns are
// 1-based workbook columns, 0 where no column applies.
enum class FindingKind {
  kIndexOutOfRange,  // row abandoned: INDEX 0, outside the range, or outside 32 bits
  kXmlRejected,      // row abandoned: XML name begins with "m"
  kPakRejected,      // row abandoned: PAK name begins with "m"
  kNoIndex,          // row skipped: no valued INDEX cell
  kOutsideColumns,   // cell passed over: its column lies outside the 21 columns
  kValueDoesNotFit,  // cell passed over: IMAGE, LV or ss:Index value outside its type
  kQuoteInValue,     // a value holding a double quote, which ends its attribute early
};

struct Finding {
  FindingKind kind;
  std::int32_t row;
  std::int32_t column;
};

struct ListFileRecord {
  Text path;
  std::int32_t first_index = 0;
  std::int32_t entries = 0;
  std::int32_t result = 0;      // result code of the write (0 when written or dry run)
  bool replaced_later = false;  // a later group of the same run wrote the same file
};

struct RunReport {
  std::int32_t rows_read = 0;  // data rows walked (the header row not counted)
  std::int32_t rows_accepted = 0;
  std::vector<Finding> findings;
  std::vector<ListFileRecord> files;
};

// The list files of a run in the order they were written: each with the code of its write, a
// file marked when a later group of the run wrote the same path, and the writes that failed.
class WriteLog {
 public:
  void Record(Text path, std::int32_t first_index, std::int32_t entries, std::int32_t code);
  [[nodiscard]] const std::vector<FailedWrite>& Failed() const { return failed_; }
  [[nodiscard]] std::vector<ListFileRecord> TakeFiles() { return std::move(files_); }

 private:
  std::vector<ListFileRecord> files_;
  std::vector<FailedWrite> failed_;
  std::unordered_map<Text, std::size_t> last_written_;  // path -> its last successful record
};

}  // namespace drumlo
